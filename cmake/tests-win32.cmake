# Tests that need the real Windows API, cross-compiled and run under Wine
# through scripts/wine-run (the crosscompiling emulator).
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)

set(TAVORO_WIN32_TESTS
  tests/win32/profile_reader_test.cpp
  tests/win32/launch_window_test.cpp
  tests/win32/control_kinds_test.cpp
  tests/win32/launcher_resources_test.cpp
  tests/win32/handle_owners_test.cpp
  tests/win32/trace_test.cpp
  tests/win32/processes_test.cpp
  tests/win32/files_and_links_test.cpp
  tests/win32/large_files_test.cpp
)

foreach(test_source IN LISTS TAVORO_WIN32_TESTS)
  get_filename_component(test_name "${test_source}" NAME_WE)
  add_executable(${test_name} ${test_source} app/update_settings.cpp)
  target_link_libraries(${test_name} PRIVATE tavoro_win32 GTest::gtest_main)
  add_test(NAME win32.${test_name} COMMAND ${test_name})
  set_tests_properties(win32.${test_name} PROPERTIES
    ENVIRONMENT "TAVORO_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endforeach()

# Texts and names on the launcher's code page and on a Western system's.
add_executable(code_page_test tests/win32/code_page_test.cpp app/update_settings.cpp)
target_link_libraries(code_page_test PRIVATE tavoro_win32 ws2_32 GTest::gtest_main)
add_test(NAME win32.code_page_test.936 COMMAND code_page_test)
set_tests_properties(win32.code_page_test.936 PROPERTIES ENVIRONMENT "TAVORO_EXPECTED_ACP=936")
add_test(NAME win32.code_page_test.1252 COMMAND code_page_test)
set_tests_properties(win32.code_page_test.1252 PROPERTIES
  ENVIRONMENT "TAVORO_EXPECTED_ACP=1252;TAVORO_WINE_LC_ALL=C.UTF-8")

# serve's clients on Winsock, with time limits short enough for a test.
add_executable(file_server_test tests/win32/file_server_test.cpp)
target_link_libraries(file_server_test PRIVATE tavoro_publisher GTest::gtest_main)
add_test(NAME win32.file_server_test COMMAND file_server_test)

# Programs the process tests start, built beside them: one records how it
# was run, one shows windows as its environment says.
add_executable(run_recorder WIN32 tests/win32/run_recorder.cpp)
add_executable(window_probe WIN32 tests/win32/window_probe.cpp)
add_dependencies(processes_test run_recorder window_probe)

# The publisher's tool under Wine: it stamps copies of a small program that
# carries the launcher's settings block and prints them as the launcher
# reads them, and packs a folder with Chinese names.
add_executable(settings_probe tests/win32/settings_probe.cpp app/update_settings.cpp)
target_include_directories(settings_probe PRIVATE ${PROJECT_SOURCE_DIR})
target_link_options(settings_probe PRIVATE -s)
add_test(NAME win32.publish_tool
         COMMAND /usr/bin/python3 -m pytest -q -p no:cacheprovider
                 ${PROJECT_SOURCE_DIR}/tests/win32/test_publish_tool.py)
set_tests_properties(win32.publish_tool PROPERTIES ENVIRONMENT
  "TAVORO_PUBLISH_EXE=$<TARGET_FILE:tavoro_publish>;TAVORO_SETTINGS_PROBE_EXE=$<TARGET_FILE:settings_probe>")
