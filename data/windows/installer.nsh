; What the Zestrel setup program does besides installing the files (CPack's NSIS
; installer does that): the marker that makes the installed programs keep their
; folder in %LOCALAPPDATA%\Zestrel, and the cookbook file type. The uninstaller
; takes both away again; it never touches %LOCALAPPDATA%\Zestrel, where the
; backups are.

; A 64-bit installer for 64-bit programs: the registry and Program Files it sees are the 64-bit ones.
Target amd64-unicode

!define ZESTREL_PROG_ID "Zestrel.Cookbook"
!define ZESTREL_VERB "Open with Zestrel Cookbook Upgrade"
!define ZESTREL_CLASSES "Software\Classes"

!macro ZestrelInstall
  ; An installed program never writes beside itself (Program Files is not the user's to
  ; write): the programs read this file's presence. Its text is for a curious reader.
  FileOpen $0 "$INSTDIR\installed.txt" w
  FileWrite $0 "The programs in this folder were installed by the Zestrel setup program.$\r$\n"
  FileWrite $0 "They keep the temporary database and the Backup folder in$\r$\n"
  FileWrite $0 "%LOCALAPPDATA%\Zestrel, never here; uninstalling leaves that folder alone.$\r$\n"
  FileClose $0

  ; The cookbook file type: the window program opens a .rcp with the file chosen.
  WriteRegStr HKLM "${ZESTREL_CLASSES}\${ZESTREL_PROG_ID}" "" "Recipe cookbook"
  WriteRegStr HKLM "${ZESTREL_CLASSES}\${ZESTREL_PROG_ID}\DefaultIcon" "" "$INSTDIR\zestrel-upgrade.exe,0"
  WriteRegStr HKLM "${ZESTREL_CLASSES}\${ZESTREL_PROG_ID}\shell" "" "open"
  WriteRegStr HKLM "${ZESTREL_CLASSES}\${ZESTREL_PROG_ID}\shell\open" "" "${ZESTREL_VERB}"
  WriteRegStr HKLM "${ZESTREL_CLASSES}\${ZESTREL_PROG_ID}\shell\open\command" "" '"$INSTDIR\zestrel-upgrade.exe" "%1"'
  WriteRegStr HKLM "${ZESTREL_CLASSES}\.rcp\OpenWithProgids" "${ZESTREL_PROG_ID}" ""
  ; The cookbook program may own .rcp already: then it stays the default, and the verb
  ; below still offers the upgrade on every cookbook.
  ReadRegStr $0 HKCR ".rcp" ""
  StrCmp $0 "" 0 +2
    WriteRegStr HKLM "${ZESTREL_CLASSES}\.rcp" "" "${ZESTREL_PROG_ID}"
  WriteRegStr HKLM "${ZESTREL_CLASSES}\SystemFileAssociations\.rcp\shell\ZestrelUpgrade" "" "${ZESTREL_VERB}"
  WriteRegStr HKLM "${ZESTREL_CLASSES}\SystemFileAssociations\.rcp\shell\ZestrelUpgrade\command" "" '"$INSTDIR\zestrel-upgrade.exe" "%1"'
  WriteRegStr HKLM "${ZESTREL_CLASSES}\Applications\zestrel-upgrade.exe" "FriendlyAppName" "Zestrel Cookbook Upgrade"
  WriteRegStr HKLM "${ZESTREL_CLASSES}\Applications\zestrel-upgrade.exe\SupportedTypes" ".rcp" ""
  WriteRegStr HKLM "${ZESTREL_CLASSES}\Applications\zestrel-upgrade.exe\shell\open\command" "" '"$INSTDIR\zestrel-upgrade.exe" "%1"'
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'  ; the association changed
!macroend

!macro ZestrelUninstall
  Delete "$INSTDIR\installed.txt"
  DeleteRegKey HKLM "${ZESTREL_CLASSES}\${ZESTREL_PROG_ID}"
  DeleteRegValue HKLM "${ZESTREL_CLASSES}\.rcp\OpenWithProgids" "${ZESTREL_PROG_ID}"
  DeleteRegKey /ifempty HKLM "${ZESTREL_CLASSES}\.rcp\OpenWithProgids"
  ; .rcp goes back to no default only when the default is still ours.
  ReadRegStr $0 HKLM "${ZESTREL_CLASSES}\.rcp" ""
  StrCmp $0 "${ZESTREL_PROG_ID}" 0 +2
    DeleteRegValue HKLM "${ZESTREL_CLASSES}\.rcp" ""
  DeleteRegKey /ifempty HKLM "${ZESTREL_CLASSES}\.rcp"
  DeleteRegKey HKLM "${ZESTREL_CLASSES}\SystemFileAssociations\.rcp\shell\ZestrelUpgrade"
  DeleteRegKey /ifempty HKLM "${ZESTREL_CLASSES}\SystemFileAssociations\.rcp\shell"
  DeleteRegKey /ifempty HKLM "${ZESTREL_CLASSES}\SystemFileAssociations\.rcp"
  DeleteRegKey HKLM "${ZESTREL_CLASSES}\Applications\zestrel-upgrade.exe"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend
