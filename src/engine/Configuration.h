#pragma once

// The engine configuration: a tree of nodes addressed by paths such as "\SYSTEM\INIT\", each
// holding an ordered list of named text fields, kept in one plain text file.
//
// File format (UTF-8, lines ending in "\n"; "\r\n" is accepted when reading):
//
//   ; PatchPAV engine configuration 1
//   [\SYSTEM\INIT\]
//   LOCAL SHARE=FALSE
//   MAXFILEHANDLES=48
//
// - The first line is the signature above; a file without it is refused (it is not ours, for
//   example the binary configuration of another engine), so nothing of it is ever overwritten
//   by mistake.
// - "[path]" opens a node; the lines after it are its fields, "NAME=value", split at the first
//   '='. The value is the rest of the line, blanks included. Empty lines and lines beginning
//   with ';' are skipped. A node header may stand alone: a node without fields.
// - Field names are 1 to 32 bytes, hold no '=', and do not begin with '[' or ';'. Values hold no
//   line break or NUL, and are not limited in length here (an alias's path may be long); the
//   configuration calls refuse a value that does not fit their 128-byte slots.
// - Node paths begin and end with a backslash; they are compared without regard to letter case.
//   A node exists when it is stored or when a stored node lies below it ("\SYSTEM\" exists
//   because "\SYSTEM\INIT\" does).
//
// Saving writes a temporary file beside the target, flushes it to the disk and renames it over
// the target, so a crash or a full disk leaves either the old file or the new one, never half.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace patchpav {

struct ConfigField {
  std::string name;
  std::string value;
};

class Configuration {
 public:
  static constexpr std::size_t kMaxFieldNameLength = 32;
  static constexpr std::string_view kSignature = "; PatchPAV engine configuration 1";

  // What a new configuration file holds; Engine.h says what each setting does.
  static Configuration Defaults();
  // Reads a file; an unreadable or malformed file is an EDatabaseError naming it and the line.
  static Configuration Load(const std::filesystem::path& file);
  // Reads the text of a file; source names it in error messages.
  static Configuration Parse(std::string_view text, const std::string& source);
  // The file's text.
  std::string Text() const;
  // Writes the whole configuration atomically; failure is an EDatabaseError, and the old file is
  // then still whole.
  void Save(const std::filesystem::path& file) const;

  // Raise an EDatabaseError when a name, value or path cannot be kept in the file.
  static void CheckFieldName(std::string_view name);
  static void CheckValue(std::string_view value);
  // Gives the path with a leading and a trailing backslash; refuses an empty or malformed path.
  static std::string NormaliseNodePath(std::string_view path);

  bool NodeExists(std::string_view path) const;
  // The fields of a stored node, or nullptr (also for a node that exists only as an ancestor).
  const std::vector<ConfigField>* Fields(std::string_view path) const;
  // A field's value, the name compared exactly.
  std::optional<std::string> FieldValue(std::string_view path, std::string_view name) const;

  // Gives the field the value, adding the field (and the node) when missing.
  void SetField(std::string_view path, std::string_view name, std::string_view value);
  // Replaces every field of the node (creating it when missing).
  void ReplaceNode(std::string_view path, std::vector<ConfigField> fields);
  bool RemoveNode(std::string_view path);

 private:
  struct Node {
    std::string path;
    std::vector<ConfigField> fields;
  };
  Node* FindNode(std::string_view normalisedPath);
  const Node* FindNode(std::string_view normalisedPath) const;
  Node& NodeFor(std::string_view path);

  std::vector<Node> nodes_;
};

}  // namespace patchpav
