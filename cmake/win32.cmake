# launcher.exe for 32-bit Windows: static, GUI subsystem, ANSI API.
set(CMAKE_CROSSCOMPILING_EMULATOR "${PROJECT_SOURCE_DIR}/scripts/wine-run")

set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
# The static libzip built beside the other cross-built libraries; it links
# the static zlib found above.
find_package(libzip CONFIG REQUIRED)
# The static libsodium built beside them (autotools: no CMake package).
find_path(SODIUM_INCLUDE_DIR sodium.h REQUIRED)
find_library(SODIUM_LIBRARY NAMES libsodium.a REQUIRED)
add_library(sodium STATIC IMPORTED)
set_target_properties(sodium PROPERTIES IMPORTED_LOCATION "${SODIUM_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${SODIUM_INCLUDE_DIR}" INTERFACE_COMPILE_DEFINITIONS SODIUM_STATIC)

# ANSI functions and the Windows 7 API level; no MinGW DLL beside the exe.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX WIN32_LEAN_AND_MEAN
                        _CRT_NON_CONFORMING_SWPRINTFS)
add_compile_options(-UUNICODE -U_UNICODE)
add_link_options(-static -static-libgcc -static-libstdc++)

add_library(tavoro_logic STATIC ${TAVORO_LOGIC_SOURCES} ${TAVORO_WIN32_LOGIC_SOURCES})
target_include_directories(tavoro_logic PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tavoro_logic PUBLIC PNG::PNG JPEG::JPEG ZLIB::ZLIB)
target_link_libraries(tavoro_logic PUBLIC libzip::zip sodium)

add_library(tavoro_win32 STATIC ${TAVORO_WIN32_SOURCES})
# Common controls, COM, the shell, WinINet, Winsock and Schannel (secur32,
# crypt32) are bound on first use (platform/win32/late_bound_dll.h), not
# imported: the window shows before a click needs them. uuid is a static
# library of interface ids.
target_link_libraries(tavoro_win32 PUBLIC tavoro_logic uuid gdi32 msimg32 user32 kernel32)

# The end-to-end tests' launcher: the same program, its version page on a
# loopback server that the tests run.
set(TAVORO_E2E_VERSION_PAGE_URL "http://127.0.0.1:47811/version.html"
    CACHE STRING "Version page of launcher-e2e.exe")
# The same over https, by the name the tests' certificates are made for.
set(TAVORO_E2E_HTTPS_VERSION_PAGE_URL "https://localhost:47812/version.html"
    CACHE STRING "Version page of launcher-e2e-https.exe")

foreach(target launcher launcher_e2e launcher_e2e_https launcher_trace)
  add_executable(${target} WIN32 app/win32/winmain.cpp app/update_settings.cpp
                           ui/win32/launcher.rc)
  target_link_libraries(${target} PRIVATE tavoro_win32)
  target_link_options(${target} PRIVATE -s)
  target_compile_definitions(${target} PRIVATE
    TAVORO_UPDATE_PUBLIC_KEY="${TAVORO_UPDATE_PUBLIC_KEY}"
    TAVORO_LOCAL_VERSION="${TAVORO_LOCAL_VERSION}")
endforeach()
target_compile_definitions(launcher PRIVATE
  TAVORO_VERSION_PAGE_URL="${TAVORO_VERSION_PAGE_URL}")
target_compile_definitions(launcher_e2e PRIVATE
  TAVORO_VERSION_PAGE_URL="${TAVORO_E2E_VERSION_PAGE_URL}")
set_target_properties(launcher_e2e PROPERTIES OUTPUT_NAME launcher-e2e)
# The kill matrix's listener (app/win32/kill_points.h) and the trace file
# (app/win32/trace_file.h), in this build alone.
target_sources(launcher_e2e PRIVATE app/win32/kill_points.cpp app/win32/trace_file.cpp
                                    app/win32/taken_variable.cpp)
target_compile_definitions(launcher_e2e PRIVATE TAVORO_KILL_POINTS)
target_compile_definitions(launcher_e2e_https PRIVATE
  TAVORO_VERSION_PAGE_URL="${TAVORO_E2E_HTTPS_VERSION_PAGE_URL}")
set_target_properties(launcher_e2e_https PROPERTIES OUTPUT_NAME launcher-e2e-https)
# The start-up benchmark's traced launcher: launcher.exe that also writes
# when each start-up step ended to the file TAVORO_STARTUP_TRACE names.
target_sources(launcher_trace PRIVATE app/win32/startup_trace_file.cpp)
target_compile_definitions(launcher_trace PRIVATE TAVORO_STARTUP_TRACE
  TAVORO_VERSION_PAGE_URL="${TAVORO_VERSION_PAGE_URL}")
set_target_properties(launcher_trace PROPERTIES OUTPUT_NAME launcher-trace)
# windres reads the resource script as UTF-8 (see its code_page pragma); the
# pictures and the manifest it embeds must rebuild it when they change.
file(GLOB TAVORO_RESOURCE_FILES CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/ui/images/*")
set_source_files_properties(ui/win32/launcher.rc PROPERTIES
  OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/ui/win32/launcher.manifest;${TAVORO_RESOURCE_FILES}")

# The publisher's tool: a console program, static like the launcher; its
# tests link the library.
add_library(tavoro_publisher STATIC ${TAVORO_PUBLISHER_SOURCES} ${TAVORO_PUBLISHER_WIN32_SOURCES})
target_link_libraries(tavoro_publisher PUBLIC tavoro_win32 advapi32 ws2_32)
add_executable(tavoro_publish publisher/win32/main.cpp)
target_link_libraries(tavoro_publish PRIVATE tavoro_publisher)
target_link_options(tavoro_publish PRIVATE -s)
set_target_properties(tavoro_publish PROPERTIES OUTPUT_NAME tavoro-publish)

include(cmake/tests-win32.cmake)
# The end-to-end tests' certificates (their authority goes into the prefix).
include(cmake/test-authority.cmake)

# Helper programs for the demo game folder, end-to-end tests and benchmarks.
include(cmake/tools-win32.cmake OPTIONAL)
