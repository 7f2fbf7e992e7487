# Shared part of the MinGW-w64 toolchain files; the including file sets
# TOLMEK_MINGW_TRIPLET (and TOLMEK_MINGW_ARCH_FLAGS when it needs any).
set(CMAKE_C_COMPILER ${TOLMEK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLMEK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TOLMEK_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOLMEK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The ANSI entry points of the Win32 API, and C99 formatting in printf
# (the same texts as the C library of Linux).
set(CMAKE_CXX_FLAGS_INIT "${TOLMEK_MINGW_ARCH_FLAGS} -D__USE_MINGW_ANSI_STDIO=1")
# Statically linked: the program runs without the MinGW runtime DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built here run under Wine when the build runs them (the tests).
find_program(TOLMEK_WINE wine)
if(TOLMEK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TOLMEK_WINE})
endif()
