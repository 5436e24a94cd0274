#pragma once

#include <exception>

namespace patchpav {

// Whether an UPDATE that raised this error may still have changed its row. A lost link to the
// server leaves it unknown whether the server ran the statement and committed it before the
// link broke; a table file that failed while the record was being written or flushed may hold
// it. Any other error was raised before anything was written.
bool WriteMayHaveHappened(const std::exception& error);

}  // namespace patchpav
