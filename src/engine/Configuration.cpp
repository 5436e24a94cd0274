#include "engine/Configuration.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "engine/EngineText.h"
#include "engine/core/Errors.h"

namespace patchpav {
namespace {

bool HoldsLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Built by appending: GCC 12 warns falsely (-Wrestrict) on "'" + text + "'" here.
std::string FileText(const std::filesystem::path& file) {
  std::string text = "'";
  text += PathToUtf8(file);
  text += '\'';
  return text;
}

// Flushes the file's bytes to the disk, so the rename never publishes a file still in the cache.
bool FlushToDisk(std::FILE* stream) {
  if (std::fflush(stream) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(stream)) == 0;
#else
  return fsync(fileno(stream)) == 0;
#endif
}

// Renames the temporary file over the target. On Windows another program (an antivirus, an
// editor) may hold the target for a moment without sharing delete: retry a few times, then fail.
bool ReplaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
#ifdef _WIN32
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION &&
        error != ERROR_ACCESS_DENIED) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
#else
  std::error_code error;
  std::filesystem::rename(from, to, error);
  return !error;
#endif
}

}  // namespace

Configuration Configuration::Defaults() {
  Configuration config;
  config.ReplaceNode(
      "\\SYSTEM\\INIT\\",
      {{"LOCAL SHARE", "FALSE"}, {"MAXFILEHANDLES", "48"}, {"LANGDRIVER", "DBWINUS0"}});
  config.ReplaceNode("\\DRIVERS\\PARADOX\\INIT\\",
                     {{"TYPE", "FILE"}, {"NET DIR", ""}, {"LANGDRIVER", "ascii"}});
  config.ReplaceNode("\\DRIVERS\\MSSQL\\INIT\\", {{"TYPE", "SERVER"}, {"ODBC DRIVER", ""}});
  return config;
}

void Configuration::CheckFieldName(std::string_view name) {
  if (name.empty() || name.size() > kMaxFieldNameLength || name.find('=') != name.npos ||
      name.front() == '[' || name.front() == ';' || HoldsLineBreakOrNul(name)) {
    throw EDatabaseError("Nom de paramètre de configuration invalide : '" + std::string(name) +
                         "' (1 à 32 caractères, sans '=' ni saut de ligne)");
  }
}

void Configuration::CheckValue(std::string_view value) {
  if (HoldsLineBreakOrNul(value)) {
    throw EDatabaseError("Valeur de configuration invalide (saut de ligne) : '" +
                         std::string(value) + "'");
  }
}

std::string Configuration::NormaliseNodePath(std::string_view path) {
  std::string normalised(path);
  if (normalised.empty() || normalised.front() != '\\') normalised.insert(0, 1, '\\');
  if (normalised.back() != '\\') normalised.push_back('\\');
  if (normalised.size() < 2 || normalised.find("\\\\") != std::string::npos ||
      normalised.find(']') != std::string::npos || HoldsLineBreakOrNul(normalised)) {
    throw EDatabaseError("Chemin de configuration invalide : '" + std::string(path) + "'");
  }
  return normalised;
}

Configuration::Node* Configuration::FindNode(std::string_view normalisedPath) {
  for (Node& node : nodes_) {
    if (EqualsIgnoreCase(node.path, normalisedPath)) return &node;
  }
  return nullptr;
}

const Configuration::Node* Configuration::FindNode(std::string_view normalisedPath) const {
  return const_cast<Configuration*>(this)->FindNode(normalisedPath);
}

Configuration::Node& Configuration::NodeFor(std::string_view path) {
  const std::string normalised = NormaliseNodePath(path);
  if (Node* node = FindNode(normalised)) return *node;
  nodes_.push_back({normalised, {}});
  return nodes_.back();
}

bool Configuration::NodeExists(std::string_view path) const {
  const std::string normalised = NormaliseNodePath(path);
  for (const Node& node : nodes_) {
    if (node.path.size() >= normalised.size() &&
        EqualsIgnoreCase(std::string_view(node.path).substr(0, normalised.size()), normalised)) {
      return true;
    }
  }
  return false;
}

const std::vector<ConfigField>* Configuration::Fields(std::string_view path) const {
  const Node* node = FindNode(NormaliseNodePath(path));
  return node ? &node->fields : nullptr;
}

std::optional<std::string> Configuration::FieldValue(std::string_view path,
                                                     std::string_view name) const {
  if (const auto* fields = Fields(path)) {
    for (const ConfigField& field : *fields) {
      if (field.name == name) return field.value;
    }
  }
  return std::nullopt;
}

void Configuration::SetField(std::string_view path, std::string_view name, std::string_view value) {
  CheckFieldName(name);
  CheckValue(value);
  Node& node = NodeFor(path);
  for (ConfigField& field : node.fields) {
    if (field.name == name) {
      field.value = std::string(value);
      return;
    }
  }
  node.fields.push_back({std::string(name), std::string(value)});
}

void Configuration::ReplaceNode(std::string_view path, std::vector<ConfigField> fields) {
  for (const ConfigField& field : fields) {
    CheckFieldName(field.name);
    CheckValue(field.value);
  }
  NodeFor(path).fields = std::move(fields);
}

bool Configuration::RemoveNode(std::string_view path) {
  const std::string normalised = NormaliseNodePath(path);
  for (auto it = nodes_.begin(); it != nodes_.end(); ++it) {
    if (EqualsIgnoreCase(it->path, normalised)) {
      nodes_.erase(it);
      return true;
    }
  }
  return false;
}

Configuration Configuration::Load(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    throw EDatabaseError("Impossible de lire le fichier de configuration " + FileText(file));
  }
  std::stringstream content;
  content << in.rdbuf();
  if (in.bad()) {
    throw EDatabaseError("Impossible de lire le fichier de configuration " + FileText(file));
  }
  return Parse(content.str(), FileText(file));
}

Configuration Configuration::Parse(std::string_view text, const std::string& source) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);

  Configuration config;
  Node* current = nullptr;
  std::size_t lineNumber = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const auto malformed = [&](const std::string& why) {
      return EDatabaseError("Fichier de configuration " + source + " invalide, ligne " +
                            std::to_string(lineNumber) + " : " + why);
    };
    if (lineNumber == 1) {
      if (line != kSignature) throw malformed("ce n'est pas un fichier de configuration PatchPAV");
      continue;
    }
    if (line.empty() || line.front() == ';') continue;
    try {
      if (line.front() == '[') {
        if (line.back() != ']') throw malformed("crochet fermant manquant");
        const std::string path = NormaliseNodePath(line.substr(1, line.size() - 2));
        if (config.FindNode(path)) throw malformed("noeud en double " + path);
        config.nodes_.push_back({path, {}});
        current = &config.nodes_.back();
        continue;
      }
      if (!current) throw malformed("paramètre hors de tout noeud");
      const std::size_t equals = line.find('=');
      if (equals == std::string_view::npos) throw malformed("'=' manquant");
      ConfigField field{std::string(line.substr(0, equals)), std::string(line.substr(equals + 1))};
      CheckFieldName(field.name);
      CheckValue(field.value);
      for (const ConfigField& existing : current->fields) {
        if (existing.name == field.name) throw malformed("paramètre en double " + field.name);
      }
      current->fields.push_back(std::move(field));
    } catch (const EDatabaseError& error) {
      const std::string message = error.what();
      if (message.starts_with("Fichier de configuration")) throw;
      throw malformed(message);
    }
  }
  if (lineNumber == 0) {
    throw EDatabaseError("Fichier de configuration " + source + " invalide : il est vide");
  }
  return config;
}

std::string Configuration::Text() const {
  std::string text(kSignature);
  text += '\n';
  for (const Node& node : nodes_) {
    text += '[' + node.path + "]\n";
    for (const ConfigField& field : node.fields) text += field.name + '=' + field.value + '\n';
  }
  return text;
}

void Configuration::Save(const std::filesystem::path& file) const {
  const std::string text = Text();

  const auto failure = [&] {
    return EDatabaseError("Impossible d'écrire le fichier de configuration " + FileText(file));
  };
  std::error_code ignored;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ignored);
  std::filesystem::path temporary = file;
  temporary += ".tmp";
#ifdef _WIN32
  std::FILE* stream = _wfopen(temporary.c_str(), L"wb");
#else
  std::FILE* stream = std::fopen(temporary.c_str(), "wb");
#endif
  if (!stream) throw failure();
  const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
  const bool flushed = written && FlushToDisk(stream);
  const bool closed = std::fclose(stream) == 0;
  if (!written || !flushed || !closed || !ReplaceFile(temporary, file)) {
    std::filesystem::remove(temporary, ignored);
    throw failure();
  }
}

}  // namespace patchpav
