; What the Zestrel setup program does besides installing the files (CPack's NSIS
; installer does that): the marker that makes the installed programs keep their
; folder in %LOCALAPPDATA%\Zestrel, the cookbook file type, and the program's
; folder on the user's PATH, so that zestrel runs in a new command prompt. The
; uninstaller first closes a running window (or says it cannot and stops), takes
; all three away again, and tells the owner that the backups stay in
; %LOCALAPPDATA%\Zestrel, which it never touches.

; A 64-bit installer for 64-bit programs: the registry and Program Files it sees are the 64-bit ones.
Target amd64-unicode

!define ZESTREL_PROG_ID "Zestrel.Cookbook"
!define ZESTREL_VERB "Open with Zestrel Cookbook Upgrade"
!define ZESTREL_CLASSES "Software\Classes"
!define ZESTREL_ENVIRONMENT "Environment"
!define ZESTREL_WINDOW_CLASS "ZestrelCookbookUpgrade"
!include "WinMessages.nsh"

; The user's Path ($R0) without the entry $R1 (compared without regard to case), into $R2.
!macro ZestrelPathWithout UN
Function ${UN}ZestrelPathWithout
  Push $R3
  Push $R4
  Push $R5
  StrCpy $R2 ""
  StrCpy $R3 ""   ; the entry being read
  StrCpy $R4 0    ; the position in $R0
  loop:
    StrCpy $R5 $R0 1 $R4
    StrCmp $R5 ";" entry
    StrCmp $R5 "" entry
    StrCpy $R3 "$R3$R5"
    IntOp $R4 $R4 + 1
    Goto loop
  entry:
    StrCmp $R3 "" next
    StrCmp $R3 $R1 next
    StrCmp $R2 "" 0 +3
      StrCpy $R2 $R3
      Goto next
    StrCpy $R2 "$R2;$R3"
  next:
    StrCpy $R3 ""
    IntOp $R4 $R4 + 1
    StrCmp $R5 "" 0 loop
  Pop $R5
  Pop $R4
  Pop $R3
FunctionEnd
!macroend
!insertmacro ZestrelPathWithout ""
!insertmacro ZestrelPathWithout "un."

; Running programs and new command prompts take the changed environment.
!macro ZestrelEnvironmentChanged
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
!macroend

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

  ; The program's folder at the end of the user's Path, once.
  ReadRegStr $R0 HKCU "${ZESTREL_ENVIRONMENT}" "Path"
  StrCpy $R1 "$INSTDIR"
  Call ZestrelPathWithout
  StrCmp $R2 "" 0 +3
    StrCpy $R2 "$INSTDIR"
    Goto +2
  StrCpy $R2 "$R2;$INSTDIR"
  WriteRegExpandStr HKCU "${ZESTREL_ENVIRONMENT}" "Path" $R2
  !insertmacro ZestrelEnvironmentChanged
!macroend

; A window left open would keep zestrel-upgrade.exe from being removed: it is asked to close (an
; upgrade running in it asks its owner first), and the uninstaller stops while it stays open.
!macro ZestrelCloseWindow
  FindWindow $R0 "${ZESTREL_WINDOW_CLASS}"
  IntCmp $R0 0 zestrel_closed
  SendMessage $R0 ${WM_CLOSE} 0 0 /TIMEOUT=2000
  StrCpy $R1 0
  zestrel_waiting:
    Sleep 200
    FindWindow $R0 "${ZESTREL_WINDOW_CLASS}"
    IntCmp $R0 0 zestrel_closed
    IntOp $R1 $R1 + 1
    IntCmp $R1 50 0 zestrel_waiting
  MessageBox MB_OK|MB_ICONSTOP "Zestrel Cookbook Upgrade is still open and could not be closed. Close it (let an upgrade that runs finish first), then uninstall again. Nothing was removed." /SD IDOK
  DetailPrint "Zestrel Cookbook Upgrade is still open: nothing was removed."
  SetErrorLevel 2
  Abort
  zestrel_closed:
!macroend

!macro ZestrelUninstall
  !insertmacro ZestrelCloseWindow
  ReadRegStr $R0 HKCU "${ZESTREL_ENVIRONMENT}" "Path"
  StrCpy $R1 "$INSTDIR"
  Call un.ZestrelPathWithout
  StrCmp $R2 "" 0 +3
    DeleteRegValue HKCU "${ZESTREL_ENVIRONMENT}" "Path"
    Goto +2
  WriteRegExpandStr HKCU "${ZESTREL_ENVIRONMENT}" "Path" $R2
  !insertmacro ZestrelEnvironmentChanged
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
  DetailPrint "Your cookbook backups stay in $LOCALAPPDATA\Zestrel\Backup."
  MessageBox MB_OK|MB_ICONINFORMATION "Zestrel Cookbook Upgrade is being removed. The backups of your cookbooks stay in $LOCALAPPDATA\Zestrel\Backup; delete that folder yourself when you no longer need them." /SD IDOK
!macroend
