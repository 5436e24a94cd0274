#pragma once

#include <string>
#include <vector>

namespace patchpav::test {

// Runs this test program again as a new process with the arguments (UTF-8) and waits for it;
// gives its exit code, or -1 when it could not be started.
int RunSelf(const std::vector<std::string>& arguments);

}  // namespace patchpav::test
