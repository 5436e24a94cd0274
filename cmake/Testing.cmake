# GoogleTest: Debian's package natively; for Windows, compiled with the cross toolchain from the
# sources that libgtest-dev installs.
include(GoogleTest)

if(WIN32)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(PATCHPAV_GTEST gtest)
  set(PATCHPAV_GTEST_MAIN gtest_main)
  set(PATCHPAV_GMOCK gmock)
else()
  find_package(GTest REQUIRED)
  set(PATCHPAV_GTEST GTest::gtest)
  set(PATCHPAV_GTEST_MAIN GTest::gtest_main)
  set(PATCHPAV_GMOCK GTest::gmock)
endif()

# patchpav_add_test(<name> SOURCES ... [LIBRARIES ...] [MAIN])
# Builds one GoogleTest executable and registers each of its tests with CTest. Under Wine the
# cases are listed before the tests run (PRE_TEST), so a build never starts a Wine prefix.
# MAIN: the test brings its own main() instead of gtest_main.
function(patchpav_add_test name)
  cmake_parse_arguments(T "MAIN" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  patchpav_target_defaults(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  if(T_MAIN)
    target_link_libraries(${name} PRIVATE ${T_LIBRARIES} ${PATCHPAV_GTEST} ${PATCHPAV_GMOCK})
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBRARIES} ${PATCHPAV_GTEST_MAIN} ${PATCHPAV_GMOCK})
  endif()
  if(WIN32)
    # Tests run against the same common controls as the application.
    target_sources(${name} PRIVATE ${PATCHPAV_MANIFEST_RC})
    patchpav_discover_wine_tests(${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300
                         WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
endfunction()

# patchpav_discover_wine_tests(<target> [gtest_discover_tests options...])
# Registers the cases of a Windows test program, to run under Wine. Where this build's Wine cannot
# start, the program is still built (a compile error fails the build on every host) but nothing is
# registered. Every case carries the label "wine", so a host can count the suite it skips.
function(patchpav_discover_wine_tests target)
  if(NOT PATCHPAV_WINE_RUNS)
    return()
  endif()
  cmake_parse_arguments(D "" "" "PROPERTIES" ${ARGN})
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 ${D_UNPARSED_ARGUMENTS}
                       PROPERTIES TIMEOUT 300 LABELS wine ENVIRONMENT "PATCHPAV_TEST_NAME=${target}"
                                  ${D_PROPERTIES})
endfunction()
