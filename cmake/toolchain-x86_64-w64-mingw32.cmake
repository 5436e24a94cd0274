# Cross-compilation for 64-bit Windows. The product ships as 32-bit; this build exists only to run
# the Windows tests on hosts whose kernel cannot execute the 32-bit Wine loader.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PATCHPAV_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
