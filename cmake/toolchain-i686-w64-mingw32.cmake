# Cross-compilation for 32-bit Windows, the platform PatchPAV ships for.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PATCHPAV_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# SSE2 for doubles and for the selection's first-byte screen, as in every other build, so the
# shipped executable computes the native build's results bit for bit. Windows hands a 32-bit
# program a stack aligned to 4 bytes only (a window procedure, a thread's entry): -mstackrealign
# realigns the stack in every function that keeps a 16-byte vector on it. GCC turns it on for
# this target once SSE is on; it is written here so that it stays.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
