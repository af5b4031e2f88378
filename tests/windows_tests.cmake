# The Windows test suite, built from the one list in CMakeLists.txt: every group not marked
# LINUX_ONLY, all in one executable run in one wine process (wine starts slowly), but the groups
# marked APART, each in an executable of its own. The files the Windows programs write are checked
# by our own structural check here and by the referees (mdbtools, mdb-reader) in the Linux build.

# zestrel_add_windows_test(NAME APART SOURCES files... LIBS libs... PROGRAMS targets...)
function(zestrel_add_windows_test name apart)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROGRAMS" ${ARGN})
  if(apart)
    zestrel_windows_executable(windows_${name} SOURCES ${ARG_SOURCES} LIBS ${ARG_LIBS} PROGRAMS ${ARG_PROGRAMS})
  else()
    set_property(GLOBAL APPEND PROPERTY zestrel_windows_sources ${ARG_SOURCES})
    set_property(GLOBAL APPEND PROPERTY zestrel_windows_libs ${ARG_LIBS})
    set_property(GLOBAL APPEND PROPERTY zestrel_windows_programs ${ARG_PROGRAMS})
  endif()
endfunction()

# The suite itself, once the list has been read.
function(zestrel_add_windows_suite)
  foreach(part sources libs programs)
    get_property(${part} GLOBAL PROPERTY zestrel_windows_${part})
    list(REMOVE_DUPLICATES ${part})
  endforeach()
  zestrel_windows_executable(windows_tests SOURCES ${sources} LIBS ${libs} PROGRAMS ${programs})
endfunction()

# One executable, which CTest runs whole through CMAKE_CROSSCOMPILING_EMULATOR (wine).
function(zestrel_windows_executable name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROGRAMS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE zestrel_test_support GTest::gtest_main ${ARG_LIBS})
  if(ARG_PROGRAMS)
    add_dependencies(${name} ${ARG_PROGRAMS})
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 900 ENVIRONMENT "WINEDEBUG=-all")
endfunction()

# The window program under wine on a virtual display, driven through a real upgrade.
add_test(NAME windows_window COMMAND ${PROJECT_SOURCE_DIR}/scripts/drive_windows_window.sh ${CMAKE_BINARY_DIR})
# Alone: beside the suite's wine processes its window can take more than a minute to appear.
set_tests_properties(windows_window PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 RUN_SERIAL TRUE)

# The window program's --help, --version and unknown options under wine: a box, no window.
add_test(NAME windows_window_arguments COMMAND ${PROJECT_SOURCE_DIR}/scripts/drive_windows_arguments.sh ${CMAKE_BINARY_DIR})
set_tests_properties(windows_window_arguments PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 RUN_SERIAL TRUE)

# What zestrel.exe writes, read by the Linux-only referees (mdbtools, mdb-reader).
add_test(NAME windows_files_referees COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/packaging/windows_files_referees.sh
                                             ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR})
set_tests_properties(windows_files_referees PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)

# The zip (one folder, version resources, the read-me) and the installer, installed, used and
# uninstalled under wine in a prefix of its own.
add_test(NAME windows_zip COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/packaging/windows_zip_test.sh
                                  ${CMAKE_BINARY_DIR} ${PROJECT_VERSION} ${PROJECT_SOURCE_DIR})
set_tests_properties(windows_zip PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
add_test(NAME windows_installer COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/packaging/windows_installer_test.sh
                                        ${CMAKE_BINARY_DIR} ${PROJECT_VERSION})
set_tests_properties(windows_installer PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)
