#include "engine/drivers/paradox/TableCopy.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <system_error>

#include "engine/core/AsciiCase.h"
#include "engine/core/EngineIdle.h"
#include "engine/core/Errors.h"
#include "engine/core/Paths.h"
#include "engine/core/TableFile.h"

namespace patchpav::paradox {
namespace {

constexpr std::uint64_t kChunkBytes = 1 << 20;

void CopyOne(const std::filesystem::path& from, const std::filesystem::path& to,
             FileSystem& files) {
  try {
    const std::unique_ptr<TableFile> source = files.Open(from, OpenMode::ReadBesideWriter);
    const std::unique_ptr<TableFile> copy = files.Open(to, OpenMode::Create);
    const std::uint64_t size = source->Size();
    std::vector<std::byte> buffer(static_cast<std::size_t>(std::min(size, kChunkBytes)));
    for (std::uint64_t done = 0; done < size;) {
      const std::size_t n = static_cast<std::size_t>(std::min(size - done, kChunkBytes));
      const std::span<std::byte> chunk(buffer.data(), n);
      source->ReadAt(done, chunk);
      copy->WriteAt(done, chunk);
      done += n;
      // A large table from a share takes seconds: the application's window keeps answering.
      EngineIdle();
    }
    copy->Flush();
  } catch (const FileError& e) {
    throw EDatabaseError("Copie impossible de " + PathToUtf8(from.filename()) + " : " + e.what());
  }
}

}  // namespace

std::vector<std::filesystem::path> CopyTableFiles(const std::filesystem::path& dataFile,
                                                  const std::filesystem::path& folder,
                                                  FileSystem& files) {
  // Every file named after the table belongs to it: its primary index, memo file, validity
  // checks, secondary indexes (.Xnn/.Ynn, .XGn/.YGn) and whatever else the base keeps beside it.
  // Put back without them, the indexes would describe another table than the .DB they sit by.
  std::vector<std::filesystem::path> sources{dataFile};
  const std::filesystem::path directory =
      dataFile.has_parent_path() ? dataFile.parent_path() : std::filesystem::path(".");
  const std::string stem = PathToUtf8(dataFile.stem());
  const std::string dataName = PathToUtf8(dataFile.filename());
  std::error_code error;
  for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
       it.increment(error)) {
    const std::filesystem::path& candidate = it->path();
    std::error_code kindError;
    if (!it->is_regular_file(kindError)) continue;
    if (EqualsIgnoreCase(PathToUtf8(candidate.stem()), stem) &&
        !EqualsIgnoreCase(PathToUtf8(candidate.filename()), dataName)) {
      sources.push_back(candidate);
    }
  }
  if (error) {
    throw EDatabaseError("Impossible de lire le répertoire " + PathToUtf8(directory) + " : " +
                         error.message());
  }
  // The .DB first, then the others in name order, whatever order the directory lists them in.
  std::sort(sources.begin() + 1, sources.end());
  std::vector<std::filesystem::path> copied;
  for (const std::filesystem::path& source : sources) {
    CopyOne(source, folder / source.filename(), files);
    copied.push_back(source.filename());
  }
  return copied;
}

}  // namespace patchpav::paradox
