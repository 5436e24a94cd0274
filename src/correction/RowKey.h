#pragma once

#include <cstdint>
#include <optional>

#include "engine/core/Value.h"

namespace patchpav {

// The key of a selected row, as the UPDATE will look for it, or nullopt when the row has none
// that identifies it alone: blank, a fraction, or a text that is not written exactly as the
// integer it stands for (" 42", "042" or "+42" would make the server compare as numbers and
// reach another row, or none). Writing such a row "WHERE CPMain_ID = 0" could overwrite another
// row with its amounts, so it is never written.
std::optional<std::int64_t> RowKeyOf(const Value& key);

}  // namespace patchpav
