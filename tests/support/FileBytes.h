#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace patchpav::testing {

// A whole file's bytes, to compare a file byte for byte with what it was or to search it; a file
// that cannot be read is an error, never an empty file.
std::string FileBytes(const std::filesystem::path& path);

// Replaces the file's content with the bytes, as a program that writes whatever it likes would.
void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

}  // namespace patchpav::testing
