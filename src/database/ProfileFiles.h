#pragma once

#include <string>

namespace patchpav {

// Directory texts end with a backslash, and file paths are formed by appending a file name with
// no separator: these helpers keep to that convention. Paths are UTF-8 text.

// The path with one backslash appended, unless it is empty or already ends with one.
std::string AddBackslash(const std::string& path);

// True when no such file exists; otherwise deletes it and tells whether that worked. Never
// raises: a file that is locked or protected is simply left where it is.
bool DeleteIfExists(const std::string& path);

// True only when the directory (ending with a backslash) holds the five tables that mark a
// Paradox base of the product; the tests stop at the first missing one.
bool IsParadoxBase(const std::string& directory);

// True when path names a place below the directory it is appended to: not empty, not rooted
// ("\\x", "/x"), no drive or stream (":"), no ".." component.
bool IsRelativeBelow(const std::string& path);

// Creates the directory with every missing parent; false when it could not be made.
bool ForceDirectories(const std::string& path);

// The directory part of a file path, ending with its backslash ("" for a bare name).
std::string ExtractFilePath(const std::string& path);

}  // namespace patchpav
