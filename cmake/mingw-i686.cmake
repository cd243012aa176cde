# Cross-build for 32-bit Windows with the mingw-w64 i686 toolchain.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
# The 32-bit Wine loader, called directly.
set(WINE_LOADER /usr/lib/wine/wine CACHE FILEPATH "Wine loader that runs the tests")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
