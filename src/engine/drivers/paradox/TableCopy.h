#pragma once

#include <filesystem>
#include <vector>

namespace patchpav {
class FileSystem;
}  // namespace patchpav

namespace patchpav::paradox {

// Copies a table's files into a folder byte for byte, as a backup taken before the table is
// written: NAME.DB and every other file of its directory named NAME.* in any letter case (.PX,
// .MB, .VAL, .Xnn, .Ynn...). Each copy keeps its file's name and is on the disk when this
// returns; the names copied are returned, the .DB first.
//
// The caller holds the table for writing, so that no other program changes the files while they
// are read (the files are read beside that lock, not through it). A file already in the folder is
// not overwritten. A copy that cannot be made is an EDatabaseError naming the file and the cause.
std::vector<std::filesystem::path> CopyTableFiles(const std::filesystem::path& dataFile,
                                                  const std::filesystem::path& folder,
                                                  FileSystem& files);

}  // namespace patchpav::paradox
