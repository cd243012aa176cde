# Cross-build for 64-bit Windows with the mingw-w64 x86_64 toolchain (the
# POSIX thread model, which the C++ library threads and GoogleTest need).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_MC_COMPILER ${TOOLCHAIN_PREFIX}-windmc)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Tests of the cross build run under the 64-bit Wine loader, called
# directly: Debian's "wine" wrapper starts the 32-bit loader whenever it is
# installed, which fails on machines that cannot run 32-bit programs.
set(WINE_LOADER /usr/lib/wine/wine64 CACHE FILEPATH "Wine loader that runs the tests")
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_LOADER})
