# Compiler settings shared by every target of the project (not by third-party code such as the
# GoogleTest sources that the Windows builds compile).

function(patchpav_target_defaults target)
  set_property(GLOBAL APPEND PROPERTY PATCHPAV_TARGETS ${target})
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  # GCC 12 for 32-bit targets reports overlaps that cannot happen inside std::string's inlined
  # concatenation ("x" + s), a known false positive of that version, wherever inlining puts it.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13
     AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(WIN32)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                                 _WIN32_WINNT=0x0601)
    # A fully static runtime: the executable needs no MinGW DLL beside it.
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
endfunction()

if(PATCHPAV_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# A portable library of the project: sources listed by the caller, headers found from src/.
function(patchpav_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  patchpav_target_defaults(${name})
endfunction()
