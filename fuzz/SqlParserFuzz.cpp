// Any text given to the parser either parses or raises an EDatabaseError; nothing else may
// happen (no crash, no other exception, no unbounded recursion).

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/core/Errors.h"
#include "engine/sql/Parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const patchpav::sql::Statement statement = patchpav::sql::Parse(text);
    (void)statement;
  } catch (const patchpav::EDatabaseError&) {
  }
  return 0;
}
