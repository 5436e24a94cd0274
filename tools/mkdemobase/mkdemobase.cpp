// mkdemobase: writes a demo Klinova SQL base (see DemoBase.h).
//
//   mkdemobase --out DIR [--rows N] [--negative-share F] [--version V] [--seed S]

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "mkdemobase/DemoBase.h"

int main(int argc, char** argv) {
  patchpav::demo::DemoOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--out" && hasValue) {
      options.directory = argv[++i];
    } else if (arg == "--rows" && hasValue) {
      options.rows = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--negative-share" && hasValue) {
      options.negativeShare = std::strtod(argv[++i], nullptr);
    } else if (arg == "--version" && hasValue) {
      options.version = std::atoi(argv[++i]);
    } else if (arg == "--seed" && hasValue) {
      options.seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else {
      options.directory.clear();
      break;
    }
  }
  if (options.directory.empty()) {
    std::fprintf(stderr,
                 "usage: mkdemobase --out DIR [--rows N] [--negative-share F] [--version V] "
                 "[--seed S]\n");
    return 2;
  }
  try {
    patchpav::demo::WriteDemoBase(options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mkdemobase: %s\n", e.what());
    return 1;
  }
  return 0;
}
