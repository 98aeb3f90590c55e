# 32-bit x86 Linux: the shipped Windows build's sizes (4-byte pointers,
# size_t and long) on a system whose programs the test machines can run
# through user-mode emulation. Used by tests/windows/linux32.sh:
#   cmake -S . -B build-linux32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/linux-i686.cmake
# Compiler: Debian's i686 cross compiler (g++-i686-linux-gnu). Libraries the
# build links (libcrypto, zlib) and the run-time libraries come from Debian's
# i386 architecture; GoogleTest is built from its sources with this compiler
# and named through CMAKE_PREFIX_PATH.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

# pkg-config sees the i386 libraries only.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig)

# Programs run under qemu's user-mode emulator, named explicitly: binfmt
# handlers are usually not registered on build machines.
if(NOT DEFINED TL_QEMU)
  set(TL_QEMU qemu-i386-static)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${TL_QEMU} CACHE STRING "")

# GCC 12's -Wrestrict reports false positives inside libstdc++'s string code
# on 32-bit targets (GCC bug 105329); warnings stay errors otherwise.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
