# Windows builds: the application manifest shared by the executable and the test programs, and
# the Wine wrapper through which CTest runs every Windows program.

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(PATCHPAV_MANIFEST_ARCH amd64)
  set(PATCHPAV_WINE_ARCH win64)
else()
  set(PATCHPAV_MANIFEST_ARCH X86)
  set(PATCHPAV_WINE_ARCH win32)
endif()
configure_file(${PROJECT_SOURCE_DIR}/src/app/PatchPAV.manifest.in
               ${CMAKE_BINARY_DIR}/PatchPAV.manifest @ONLY)
file(WRITE ${CMAKE_BINARY_DIR}/manifest.rc
     "#pragma code_page(65001)\n1 24 \"${CMAKE_BINARY_DIR}/PatchPAV.manifest\"\n")
set(PATCHPAV_MANIFEST_RC ${CMAKE_BINARY_DIR}/manifest.rc)

# Some hosts (sandboxed kernels) cannot execute the 32-bit Wine loader at all; there the Windows
# tests run from the 64-bit test bed instead. This build still compiles every test program, so a
# compile error shows on every host, and runs only the checks made from the host side.
if(PATCHPAV_WINE_ARCH STREQUAL "win32")
  execute_process(COMMAND /usr/lib/wine/wine --version RESULT_VARIABLE wine_result
                  OUTPUT_QUIET ERROR_QUIET TIMEOUT 30)
else()
  execute_process(COMMAND /usr/lib/wine/wine64 --version RESULT_VARIABLE wine_result
                  OUTPUT_QUIET ERROR_QUIET TIMEOUT 30)
endif()
if(wine_result EQUAL 0)
  set(PATCHPAV_WINE_RUNS ON)
else()
  set(PATCHPAV_WINE_RUNS OFF)
  message(STATUS "Wine cannot run ${PATCHPAV_WINE_ARCH} programs here: test programs built, not run")
endif()

set(PATCHPAV_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run --arch ${PATCHPAV_WINE_ARCH}
    --prefix ${PATCHPAV_WINEPREFIX})
