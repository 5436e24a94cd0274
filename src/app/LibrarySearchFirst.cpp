// Compiled into the executable itself, never through a library archive, so that the linker keeps
// it although nothing names it.
#include "engine/core/SystemLibrary.h"

namespace {

// Runs before every other initialiser of the program (the lowest priority number that a program
// may use): the visual-style binding loads its library from one of them, and nothing may be
// loaded before the search is restricted to the system directory.
struct RestrictLibrarySearchFirst {
  RestrictLibrarySearchFirst() { patchpav::RestrictLibrarySearch(); }
};
RestrictLibrarySearchFirst gRestrictLibrarySearchFirst __attribute__((init_priority(101)));

}  // namespace
