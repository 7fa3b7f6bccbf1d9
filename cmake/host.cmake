# Native build of the portable logic and its unit tests.
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(ZLIB REQUIRED)
find_package(GTest REQUIRED)
# The host's TLS (platform/host/openssl_tls.cpp).
find_package(OpenSSL REQUIRED)
# Through pkg-config: Debian's libzip CMake package insists on the libzip
# command-line tools being installed as well.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)

if(TAVORO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
# The engine's worker, the slideshow and the window's thread share state.
if(TAVORO_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# The sanitizer presets build once per test run, in batches of sources
# (CMAKE_UNITY_BUILD), which takes about half the time. These files are
# built alone: each has a name of its own in an unnamed namespace that
# another file shares (the commands' option tables), or, for app/, needs
# the settings each program links itself. A file that breaks a batch build
# with "redefinition" goes here too.
set_source_files_properties(
  app/event_bindings.cpp app/launcher.cpp app/update_window.cpp
  publisher/pack_command.cpp publisher/serve_command.cpp publisher/show_command.cpp
  publisher/stamp_command.cpp publisher/verify_command.cpp
  ui/control_table.cpp update/kept_package.cpp update/package/package_signature.cpp
  tests/host/publisher/show_test.cpp tests/host/publisher/zip64_test.cpp
  tests/host/update/package/apply_package_test.cpp
  tests/host/update/package/journal_bound_test.cpp
  PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)

add_library(tavoro_logic STATIC ${TAVORO_LOGIC_SOURCES} ${TAVORO_HOST_SOURCES})
target_include_directories(tavoro_logic PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tavoro_logic PUBLIC PNG::PNG JPEG::JPEG ZLIB::ZLIB OpenSSL::SSL)
target_link_libraries(tavoro_logic PUBLIC PkgConfig::LIBZIP PkgConfig::SODIUM)

# The publisher's tool; its tests link the library.
add_library(tavoro_publisher STATIC ${TAVORO_PUBLISHER_SOURCES} ${TAVORO_PUBLISHER_HOST_SOURCES})
target_link_libraries(tavoro_publisher PUBLIC tavoro_logic)
add_executable(tavoro-publish publisher/host/main.cpp)
target_link_libraries(tavoro-publish PRIVATE tavoro_publisher)

include(cmake/tests-host.cmake)
