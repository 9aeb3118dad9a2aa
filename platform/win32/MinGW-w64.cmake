# Cross-building for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=platform/win32/MinGW-w64.cmake
# The posix flavour of Debian's compiler (winpthread threads; the program starts none). The
# executable links that runtime statically (Win32.cmake), so it needs no MinGW DLL.
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
