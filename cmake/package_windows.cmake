# The Windows packages, written by cpack (or the package target) in the build folder:
#   zestrel-<version>-windows-x64.zip        both programs, the read-me, the licence and the
#                                            notices in one folder zestrel-<version>-windows-x64
#   zestrel-<version>-windows-x64-setup.exe  the installer (NSIS; only when makensis is found):
#                                            Program Files\Zestrel, a Start-menu entry, the .rcp
#                                            file type, an entry in Add or Remove Programs, an
#                                            uninstaller; /S installs and uninstalls silently
install(TARGETS zestrel RUNTIME DESTINATION .)
if(TARGET zestrel-upgrade)
  install(TARGETS zestrel-upgrade RUNTIME DESTINATION .)
endif()
# Text files with Windows line ends, named .txt so that a double click opens them.
configure_file(${PROJECT_SOURCE_DIR}/data/windows/README.txt ${CMAKE_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/NOTICE ${CMAKE_BINARY_DIR}/NOTICE.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/README.txt ${CMAKE_BINARY_DIR}/LICENSE.txt ${CMAKE_BINARY_DIR}/NOTICE.txt
        DESTINATION .)

set(CPACK_PACKAGE_NAME zestrel)
set(CPACK_PACKAGE_VENDOR "The Zestrel developers")
set(CPACK_PACKAGE_FILE_NAME zestrel-${PROJECT_VERSION}-windows-x64)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR ZIP)

find_program(ZESTREL_MAKENSIS makensis)
if(ZESTREL_MAKENSIS)
  list(APPEND CPACK_GENERATOR NSIS)
  set(CPACK_NSIS_EXECUTABLE ${ZESTREL_MAKENSIS})
else()
  message(STATUS "makensis not found: no Windows installer (scripts/setup.sh installs nsis)")
endif()
set(CPACK_PACKAGE_INSTALL_DIRECTORY Zestrel)        # Program Files\Zestrel, Start menu\Zestrel
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Zestrel)     # the key of the Add or Remove Programs entry
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "Zestrel Cookbook Upgrade")
set(CPACK_NSIS_DISPLAY_NAME "Zestrel Cookbook Upgrade")
set(CPACK_NSIS_MENU_LINKS zestrel-upgrade.exe "Zestrel Cookbook Upgrade")
set(CPACK_NSIS_INSTALLED_ICON_NAME zestrel-upgrade.exe)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/data/windows/zestrel-upgrade.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/data/windows/zestrel-upgrade.ico)
set(CPACK_NSIS_URL_INFO_ABOUT "https://zestrel.org")
set(CPACK_NSIS_CONTACT "maintainers@zestrel.org")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_BINARY_DIR}/LICENSE.txt)
set(CPACK_NSIS_MODIFY_PATH OFF)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)  # a new version replaces the old one
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
set(CPACK_NSIS_DEFINES "!include '${PROJECT_SOURCE_DIR}/data/windows/installer.nsh'")
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "!insertmacro ZestrelInstall")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "!insertmacro ZestrelUninstall")
# Per generator: the file names and the zip's one folder.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/package_windows_generator.cmake)
include(CPack)
