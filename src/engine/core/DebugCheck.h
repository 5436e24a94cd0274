#pragma once

// Checks of this program's own invariants and of its callers' arguments, in debug builds. A
// check that fails is a bug of the program, not bad data: it stops the program at once and says
// what broke (the table, the block, the counts), where the bug would otherwise show later as a
// wrong result. Release builds compile the checks away: the condition and the context are not
// evaluated, so they cost nothing there.

#include <cstdio>
#include <cstdlib>
#include <string>

namespace patchpav {

#ifdef NDEBUG
inline constexpr bool kDebugChecks = false;
#else
inline constexpr bool kDebugChecks = true;
#endif

[[noreturn]] inline void CheckFailed(const char* condition, const char* file, int line,
                                     const std::string& context) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n  %s\n", file, line, condition, context.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace patchpav

// Stops the program, in debug builds, when condition is false. context is a std::string
// expression, evaluated only then, that says what was found.
#define PATCHPAV_CHECK(condition, context)                                                  \
  do {                                                                                      \
    if constexpr (::patchpav::kDebugChecks) {                                               \
      if (!(condition)) ::patchpav::CheckFailed(#condition, __FILE__, __LINE__, (context)); \
    }                                                                                       \
  } while (false)
