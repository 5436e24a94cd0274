// pxdump: prints a Paradox table as CSV: a line of field names, then one line per record in
// chain order. Numbers keep full precision (%.17g), a blank field is an empty value, text is
// UTF-8 and quoted when it holds a comma, a quote or a line break. Binary values (Bytes, BLOb,
// graphic, OLE, formatted memo) are printed as hexadecimal digits, two per byte: they hold NUL
// bytes and bytes that are no text.
//
//   pxdump TABLE.DB [--codepage N]   (N: the code page for a table that names none; 1252)

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "engine/drivers/paradox/ParadoxTable.h"

namespace {

using patchpav::Value;
using patchpav::paradox::FieldType;
using patchpav::paradox::Table;

// The whole line, NUL bytes of a text included.
void PrintLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

std::string Quoted(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

bool IsBinary(FieldType type) {
  return type == FieldType::Bytes || type == FieldType::Blob || type == FieldType::Graphic ||
         type == FieldType::Ole || type == FieldType::FormattedMemo;
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(2 * bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
  return out;
}

std::string Cell(const Value& value, FieldType type) {
  if (IsBinary(type) && !value.IsNull()) return Hex(value.AsText());
  switch (value.GetKind()) {
    case Value::Kind::Null:
      return {};
    case Value::Kind::Float: {
      char buffer[40];
      std::snprintf(buffer, sizeof buffer, "%.17g", value.AsFloat());
      return buffer;
    }
    default:
      return Quoted(value.AsText());
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  int codePage = 1252;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--codepage" && i + 1 < argc) {
      codePage = std::atoi(argv[++i]);
    } else if (path.empty() && arg.rfind("--", 0) != 0) {
      path = arg;
    } else {
      path.clear();
      break;
    }
  }
  if (path.empty()) {
    std::fprintf(stderr, "usage: pxdump TABLE.DB [--codepage N]\n");
    return 2;
  }
  try {
    const auto table = Table::Open(path, Table::Access::ReadOnly, codePage);
    table->CheckChain();  // a damaged table prints nothing rather than its first blocks
    const auto& fields = table->Schema().fields;
    std::string line;
    for (std::size_t f = 0; f < fields.size(); ++f) {
      if (f) line += ',';
      line += Quoted(fields[f].name);
    }
    PrintLine(line);
    table->ForEachBlock([&](const std::byte* records, std::size_t count, auto) {
      for (std::size_t r = 0; r < count; ++r) {
        const std::byte* record = records + r * static_cast<std::size_t>(table->RecordSize());
        line.clear();
        for (std::size_t f = 0; f < fields.size(); ++f) {
          if (f) line += ',';
          line += Cell(table->Decode(record, static_cast<int>(f)), fields[f].type);
        }
        PrintLine(line);
      }
    });
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pxdump: %s\n", e.what());
    return 1;
  }
  return 0;
}
