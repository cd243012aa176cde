# Cross-build for 64-bit Windows with the mingw-w64 x86_64 toolchain.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
# The 64-bit Wine loader, called directly: Debian's "wine" wrapper starts
# the 32-bit loader whenever it is installed, which fails on machines that
# cannot run 32-bit programs.
set(WINE_LOADER /usr/lib/wine/wine64 CACHE FILEPATH "Wine loader that runs the tests")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
