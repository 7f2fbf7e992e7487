# Cross build of the 32-bit Windows console program with MinGW-w64 (the
# posix thread model). SSE2 arithmetic instead of the x87 unit, so that every
# double is rounded as on x86-64 and the outputs are the same bytes.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOLMEK_MINGW_TRIPLET i686-w64-mingw32)
set(TOLMEK_MINGW_ARCH_FLAGS "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
