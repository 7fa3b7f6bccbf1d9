# Unit tests of the portable logic, native.
set(TAVORO_HOST_TESTS
  tests/host/app/state_test.cpp
  tests/host/base/cp936_test.cpp
  tests/host/base/file_name_test.cpp
  tests/host/base/path_test.cpp
  tests/host/base/text_test.cpp
  tests/host/core/config_test.cpp
  tests/host/core/launch_test.cpp
  tests/host/core/picture_file_test.cpp
  tests/host/core/slideshow_test.cpp
  tests/host/core/startup_test.cpp
  tests/host/platform/profile_file_test.cpp
  tests/host/publisher/entry_list_writer_test.cpp
  tests/host/publisher/ledger_test.cpp
  tests/host/publisher/package_writer_test.cpp
  tests/host/publisher/messages_test.cpp
  tests/host/publisher/pack_test.cpp
  tests/host/publisher/serve_test.cpp
  tests/host/publisher/show_test.cpp
  tests/host/publisher/stamp_test.cpp
  tests/host/publisher/traps_test.cpp
  tests/host/publisher/windows_names_test.cpp
  tests/host/publisher/zip64_test.cpp
  tests/host/publisher/zip_records_test.cpp
  tests/host/ui/chrome_test.cpp
  tests/host/ui/control_table_test.cpp
  tests/host/ui/image_test.cpp
  tests/host/update/download/download_engine_control_test.cpp
  tests/host/update/download/download_engine_nginx_test.cpp
  tests/host/update/download/download_engine_parsing_test.cpp
  tests/host/update/download/download_engine_test.cpp
  tests/host/update/download/download_resume_test.cpp
  tests/host/update/download/room_test.cpp
  tests/host/update/handoff_test.cpp
  tests/host/update/handover_test.cpp
  tests/host/update/http/http_request_test.cpp
  tests/host/update/http/http_test.cpp
  tests/host/update/package/apply_package_test.cpp
  tests/host/update/package/crafted_journal_test.cpp
  tests/host/update/package/journal_bound_test.cpp
  tests/host/update/package/package_digest_test.cpp
  tests/host/update/package/entry_list_test.cpp
  tests/host/update/package/fetch_plan_test.cpp
  tests/host/update/download/download_spans_test.cpp
  tests/host/update/package/record_file_test.cpp
  tests/host/update/package/recovery_rules_test.cpp
  tests/host/update/package/staged_apply_test.cpp
  tests/host/update/package/unzip_test.cpp
  tests/host/update/progress_text_test.cpp
  tests/host/update/record_names_test.cpp
  tests/host/update/version_test.cpp
)

include(cmake/test-authority.cmake)

add_executable(host_tests ${TAVORO_HOST_TESTS} app/update_settings.cpp)
# Support headers shared by the rooms' tests.
target_include_directories(host_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/host)
target_link_libraries(host_tests PRIVATE tavoro_logic tavoro_publisher GTest::gtest GTest::gtest_main)
target_compile_definitions(host_tests PRIVATE TAVORO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                           TAVORO_TEST_AUTHORITY_DIR="${TAVORO_TEST_AUTHORITY_DIR}"
                           TAVORO_PUBLISH_TOOL="$<TARGET_FILE:tavoro-publish>")
# Every test file includes GoogleTest: parsed once, the host rings build
# about a third faster.
target_precompile_headers(host_tests PRIVATE <gtest/gtest.h>)
# Precompiled, the header no longer counts as a system one, whose
# assertion macros in an unbraced if it would keep quiet.
target_compile_options(host_tests PRIVATE -Wno-dangling-else)
# Some tests run the built tool as a program of its own.
add_dependencies(host_tests test_authority tavoro-publish)
include(GoogleTest)
# Tests of tens of thousands of files or gigabytes: label `long`, run in a
# ring of their own (preset host-long), so the ring a developer runs after
# each change stays short. Single-threaded, they are left out of the
# sanitizer rings, where they would take most of the time and find nothing
# the smaller tests of the same code do not.
set(TAVORO_LONG_TESTS "Entries/Zip64ByCount.*:ShowTest.LooksAtAFileOfThreeGigabytesInBoundedMemory")
gtest_discover_tests(host_tests TEST_FILTER "-${TAVORO_LONG_TESTS}" PROPERTIES LABELS host)
gtest_discover_tests(host_tests TEST_FILTER "${TAVORO_LONG_TESTS}" PROPERTIES LABELS long)

# The folder order of README.md's developer notes, checked on the sources, and
# the checker's own tests. Once, in the plain host build: a sanitizer build
# would only repeat them.
if(NOT TAVORO_SANITIZE AND NOT TAVORO_TSAN)
  add_test(NAME layers.check
           COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/scripts/check-layers.py ${PROJECT_SOURCE_DIR})
  add_test(NAME layers.checker
           COMMAND /usr/bin/python3 -m pytest -q -p no:cacheprovider
                   ${PROJECT_SOURCE_DIR}/tests/layers/test_check_layers.py)
  add_test(NAME scripts.mutate_change
           COMMAND /usr/bin/python3 -m pytest -q -p no:cacheprovider
                   ${PROJECT_SOURCE_DIR}/tests/scripts/test_mutate_change.py)
  # What the publisher reads comes from the message catalogue, in both languages.
  add_test(NAME publisher.messages.check
           COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/scripts/check-messages.py ${PROJECT_SOURCE_DIR})
  add_test(NAME publisher.messages.checker
           COMMAND /usr/bin/python3 -m pytest -q -p no:cacheprovider
                   ${PROJECT_SOURCE_DIR}/tests/scripts/test_check_messages.py)
  set_tests_properties(layers.check layers.checker scripts.mutate_change publisher.messages.check
                       publisher.messages.checker PROPERTIES LABELS layers)
endif()

# The publisher's guide in the release archive against the README.
if(NOT TAVORO_SANITIZE AND NOT TAVORO_TSAN)
  add_test(NAME release.guide
           COMMAND /usr/bin/python3 -m pytest -q -p no:cacheprovider
                   ${PROJECT_SOURCE_DIR}/tests/release/test_guide.py)
  set_tests_properties(release.guide PROPERTIES LABELS publisher)
  # The guide's commands, run in its order on this build of the tool.
  add_test(NAME release.guide.commands
           COMMAND /usr/bin/python3 -m pytest -q -p no:cacheprovider
                   ${PROJECT_SOURCE_DIR}/tests/release/test_guide_commands.py)
  set_tests_properties(release.guide.commands PROPERTIES LABELS publisher
                       ENVIRONMENT "TAVORO_PUBLISH_TOOL=$<TARGET_FILE:tavoro-publish>")
endif()

# The built tool as a publisher calls it.
add_test(NAME publisher.cli
         COMMAND ${PROJECT_SOURCE_DIR}/tests/publisher/cli_round_trip.sh $<TARGET_FILE:tavoro-publish>)
set_tests_properties(publisher.cli PROPERTIES LABELS publisher)
