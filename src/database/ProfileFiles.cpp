#include "database/ProfileFiles.h"

#include <filesystem>
#include <system_error>

#include "engine/core/Paths.h"

namespace patchpav {
namespace {

bool FileExists(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

}  // namespace

std::string AddBackslash(const std::string& path) {
  if (path.empty() || path.back() == '\\') return path;
  return path + '\\';
}

bool DeleteIfExists(const std::string& path) {
  const std::filesystem::path file = PathFromUtf8(path);
  if (!FileExists(file)) return true;
  std::error_code error;
  return std::filesystem::remove(file, error) && !error;
}

bool IsParadoxBase(const std::string& directory) {
  for (const char* table :
       {"metatable.db", "metafield.db", "tablelink.db", "patients.db", "medecins.db"}) {
    if (!FileExists(PathFromUtf8(directory + table))) return false;
  }
  return true;
}

bool IsRelativeBelow(const std::string& path) {
  if (path.empty() || path.front() == '\\' || path.front() == '/') return false;
  if (path.find(':') != std::string::npos) return false;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    // Windows drops the dots and spaces that end a name, so "...", ".. " lead up as ".." does.
    const std::string component = path.substr(start, end - start);
    const bool onlyDotsAndSpaces = component.find_first_not_of(". ") == std::string::npos;
    if (onlyDotsAndSpaces && component.find("..") != std::string::npos) return false;
    start = end + 1;
  }
  return true;
}

bool ForceDirectories(const std::string& path) {
  const std::filesystem::path directory = PathFromUtf8(path);
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  return !error && std::filesystem::is_directory(directory, error);
}

std::string ExtractFilePath(const std::string& path) {
  const std::size_t separator = path.find_last_of("\\/:");
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

}  // namespace patchpav
