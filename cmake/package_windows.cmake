# The Windows package: cpack (or the package target) in the build folder writes
# zestrel-<version>-windows-x64.zip with both programs and a short read-me.
install(TARGETS zestrel RUNTIME DESTINATION .)
if(TARGET zestrel-upgrade)
  install(TARGETS zestrel-upgrade RUNTIME DESTINATION .)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/data/windows/README.txt DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME zestrel)
set(CPACK_PACKAGE_VENDOR "Zestrel")
set(CPACK_PACKAGE_FILE_NAME zestrel-${PROJECT_VERSION}-windows-x64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
include(CPack)
