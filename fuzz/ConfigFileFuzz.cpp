// The engine configuration file's reader: any text is either refused with an EDatabaseError or
// read into a configuration that writes back to a text read again identically.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/Configuration.h"
#include "engine/core/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  patchpav::Configuration config;
  try {
    config = patchpav::Configuration::Parse(text, "fuzz");
  } catch (const patchpav::EDatabaseError&) {
    return 0;
  }
  const std::string written = config.Text();
  const std::string again = patchpav::Configuration::Parse(written, "written").Text();
  if (again != written) std::abort();
  return 0;
}
