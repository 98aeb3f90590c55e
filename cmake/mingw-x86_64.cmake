# The same sources for 64-bit Windows: the build the Windows tests run under
# Wine on machines that cannot execute 32-bit code (see docs/windows.md).
#   cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TL_MINGW_PREFIX x86_64-w64-mingw32)
# Debian's "wine" starts the 32-bit loader first; 64-bit programs run with
# the 64-bit loader directly.
set(TL_WINE /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
