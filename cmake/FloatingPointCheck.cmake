# The 32-bit build must do its double arithmetic on SSE2, as every other build does: a host-side
# check reads the disassembly of every object of the project's own targets (those that
# patchpav_target_defaults set up; GoogleTest and the static runtime are not ours) and fails on
# any x87 arithmetic instruction. A probe compiled for the x87 unit on purpose shows that the
# check does see such code.
function(patchpav_add_floating_point_check)
  get_property(targets GLOBAL PROPERTY PATCHPAV_TARGETS)
  set(objects)
  foreach(target IN LISTS targets)
    list(APPEND objects "$<TARGET_OBJECTS:${target}>")
  endforeach()
  set(list ${CMAKE_BINARY_DIR}/own-objects.txt)
  file(GENERATE OUTPUT ${list} CONTENT "$<JOIN:${objects},\n>\n")
  add_test(NAME PatchPAV.NoX87Arithmetic
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-executable x87 ${CMAKE_OBJDUMP} ${list})

  add_library(x87_probe OBJECT ${PROJECT_SOURCE_DIR}/tests/support/X87Probe.cpp)
  target_compile_options(x87_probe PRIVATE -Wall -Wextra -Werror -mfpmath=387)
  set(probe_list ${CMAKE_BINARY_DIR}/x87-probe-objects.txt)
  file(GENERATE OUTPUT ${probe_list} CONTENT "$<JOIN:$<TARGET_OBJECTS:x87_probe>,\n>\n")
  add_test(NAME PatchPAV.X87CheckSeesX87Code
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-executable x87 ${CMAKE_OBJDUMP} ${probe_list})
  set_tests_properties(PatchPAV.X87CheckSeesX87Code PROPERTIES
                       PASS_REGULAR_EXPRESSION "X87ProbeMean\\(double, double\\): fadd")
endfunction()
