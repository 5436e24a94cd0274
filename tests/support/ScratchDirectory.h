#pragma once

#include <string>

#include "support/TemporaryDirectory.h"

namespace patchpav {

// A temporary directory as the product's Windows code takes a directory: a text ending with a
// backslash.
class ScratchDirectory : public testing::TemporaryDirectory {
 public:
  std::string Text() const { return Path().string() + "\\"; }
};

}  // namespace patchpav
