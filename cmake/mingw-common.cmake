# What both mingw-w64 cross-builds share; the including toolchain file sets
# CMAKE_SYSTEM_PROCESSOR, TOOLCHAIN_PREFIX and WINE_LOADER first. The POSIX
# thread model is the one the C++ library threads and GoogleTest need.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_MC_COMPILER ${TOOLCHAIN_PREFIX}-windmc)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The Wine loader runs the tests of the cross build.
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_LOADER})
