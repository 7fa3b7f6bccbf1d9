# Cross-compiling for 32-bit Windows with MinGW-w64. The -posix compilers
# carry std::thread; the win32 thread model of GCC 12 does not.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

if(NOT TAVORO_DEPS_PREFIX)
  set(TAVORO_DEPS_PREFIX "$ENV{HOME}/.cache/tavoro-launcher/mingw-i686")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32 "${TAVORO_DEPS_PREFIX}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
