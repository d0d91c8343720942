# Cross build of Windows x64 programs on Debian with mingw-w64 (the compilers
# with POSIX threads, which std::thread and std::mutex need).  Executables are
# linked statically: a program runs with no DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(JW_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${JW_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${JW_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${JW_MINGW_TRIPLET}-windres)

# Headers and libraries come from the mingw-w64 tree only, never from the
# build machine's /usr/include or /usr/lib.
set(CMAKE_FIND_ROOT_PATH /usr/${JW_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
