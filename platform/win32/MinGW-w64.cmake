# Cross-building for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=platform/win32/MinGW-w64.cmake
# The posix flavour of the compiler is the one Debian installs by default for C++20 threads;
# the executable links its runtime statically (Win32.cmake), so no MinGW DLL is needed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VARDO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VARDO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARDO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VARDO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VARDO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
