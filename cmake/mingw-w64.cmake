# Cross build of zuvdigi.exe for 64-bit Windows with Debian's mingw-w64
# (package g++-mingw-w64-x86-64-posix):
#
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#   cmake --build build-win
#
# The posix thread model is the one whose runtime links statically without
# further DLLs; ZUV_MINGW_PREFIX picks another triplet or installation.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZUV_MINGW_PREFIX "x86_64-w64-mingw32" CACHE STRING "mingw-w64 target triplet of the cross tools")
set(CMAKE_CXX_COMPILER ${ZUV_MINGW_PREFIX}-g++-posix)
set(CMAKE_C_COMPILER ${ZUV_MINGW_PREFIX}-gcc-posix)
set(CMAKE_RC_COMPILER ${ZUV_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZUV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
