# Cross build for Windows with Debian's mingw-w64 toolchain (the POSIX
# threads variant, for std::thread and std::mutex).
# Included by mingw-i686.cmake (the shipped 32-bit build) and
# mingw-x86_64.cmake (the 64-bit test build), which set TL_MINGW_PREFIX.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TL_MINGW_PREFIX}-windres)
set(CMAKE_AR ${TL_MINGW_PREFIX}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${TL_MINGW_PREFIX}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${TL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs and DLLs carry libgcc, libstdc++ and winpthread inside them: a
# user copies the DLLs and programs and nothing else.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Tests run the programs under Wine (TL_WINE: the loader to use).
if(NOT DEFINED TL_WINE)
  set(TL_WINE wine)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${TL_WINE} CACHE STRING "")

# GCC 12's -Wrestrict reports false positives inside libstdc++'s string code
# on 32-bit targets (GCC bug 105329); warnings stay errors otherwise.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")

# zlib (for archlib.dll) is linked in statically as well: no zlib1.dll.
set(ZLIB_USE_STATIC_LIBS ON)

# Release builds at -O2 like the native build: GCC 12 at -O3 reports false
# array-bounds errors inside libstdc++'s vector moves.
# CMake appends its own "-O3" to the _INIT values, so the cache entries are
# set outright.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Release flags" FORCE)
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Release flags" FORCE)
