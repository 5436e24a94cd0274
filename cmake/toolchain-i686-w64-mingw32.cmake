# Cross-compilation for 32-bit Windows, the platform PatchPAV ships for.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PATCHPAV_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Doubles on SSE2, as in every other build: the x87 unit would keep 80-bit intermediates and round
# some results differently from the native build (Windows 8 and later require SSE2 anyway).
# Windows aligns a 32-bit thread's stack to 4 bytes only (callbacks, new threads), so functions
# that keep 16-byte SSE values on the stack realign it on entry; GCC does that by default for
# MinGW once SSE is on, and the flag says so for any compiler.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
