# Cross-compilation for 32-bit Windows, the platform PatchPAV ships for.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PATCHPAV_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# The SSE2 code generation of this target is set in CMakeLists.txt, where it applies to build
# trees configured before it too.
