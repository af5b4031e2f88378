# Read by cpack once for each generator: the zip unpacks into one folder named like itself; the
# installer, named ...-setup.exe beside the zip, puts the files straight into its folder.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
