# The Windows test suite: every test that needs no Linux-only referee (mdbtools, node, fork),
# in two executables, each run in one wine process (wine starts slowly). The files the
# Windows programs write are checked by our own structural check here and by the referees in
# the Linux build.
add_library(zestrel_test_support support/process.cpp support/fixtures.cpp support/row_compare.cpp support/reference_readers.cpp
  support/index_leaves.cpp support/header_code_page.cpp support/genuine_text_indexes.cpp)
target_include_directories(zestrel_test_support PUBLIC ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(zestrel_test_support PUBLIC GTest::gtest nlohmann_json::nlohmann_json zestrel_dao zestrel_jet_check)
target_compile_definitions(zestrel_test_support PUBLIC
  ZESTREL_SHARED_DIR="${ZESTREL_SHARED_DIR}"
  ZESTREL_BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}"
  ZESTREL_TOOLS_DIR="${PROJECT_SOURCE_DIR}/tests/tools")

add_executable(windows_tests
  text/code_page_test.cpp
  store/jet/value_test.cpp
  store/jet/sort_key_test.cpp
  store/jet/page_cache_test.cpp
  store/jet/bad_input_test.cpp
  store/jet/new_database_layout_test.cpp
  store/dao/password_test.cpp
  store/dao/sql_source_test.cpp
  store/dao/recordset_test.cpp
  store/dao/streaming_recordset_test.cpp
  store/dao/write_test.cpp
  store/dao/write_property_test.cpp
  store/db_function_test.cpp
  format/create_cookbook_test.cpp
  upgrade/parse_quantity_test.cpp
  upgrade/file_name_of_test.cpp
  platform/file_system_test.cpp
  platform/file_replace_test.cpp
  platform/folder_lock_test.cpp
  platform/large_block_test.cpp
  platform/windows_platform_test.cpp
  upgrade/upgrade_support.cpp
  upgrade/upgrade_procedure_test.cpp
  upgrade/value_changes_test.cpp
  upgrade/rid_renames_test.cpp
  upgrade/upgrade_end_to_end_test.cpp
  upgrade/fault_injection_test.cpp
  upgrade/concurrent_upgrade_test.cpp
  upgrade/bad_input_matrix_test.cpp
  upgrade/hostile_conditions_test.cpp
  store/record_count_test.cpp
  window/frm_main_test.cpp
  store/jet/check/database_check_test.cpp
  cli/cli_test.cpp
  cli/json_writer_test.cpp
  cli/cookbook_commands_test.cpp)
target_link_libraries(windows_tests PRIVATE zestrel_test_support GTest::gtest_main zestrel_cli_lib)
add_dependencies(windows_tests zestrel)
# CTest runs it through CMAKE_CROSSCOMPILING_EMULATOR (wine), once for the whole suite.
add_test(NAME windows_tests COMMAND windows_tests --gtest_brief=1)
set_tests_properties(windows_tests PROPERTIES TIMEOUT 900 ENVIRONMENT "WINEDEBUG=-all")

# The kill at every file operation starts two programs a point, which under wine takes most of
# the suite's time: in an executable of its own it runs beside the rest (ctest -j).
add_executable(windows_crash_tests upgrade/upgrade_support.cpp upgrade/crash_test.cpp)
target_link_libraries(windows_crash_tests PRIVATE zestrel_test_support GTest::gtest_main zestrel_cli_lib)
add_dependencies(windows_crash_tests zestrel)
add_test(NAME windows_crash_tests COMMAND windows_crash_tests --gtest_brief=1)
set_tests_properties(windows_crash_tests PROPERTIES TIMEOUT 900 ENVIRONMENT "WINEDEBUG=-all")

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
