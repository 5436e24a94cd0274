#include "engine/drivers/odbc/WideText.h"

#include <cstdint>

#include "engine/core/Errors.h"
#include "engine/core/Utf8.h"

namespace patchpav::odbc {
namespace {

EDatabaseError InvalidUtf8() { return EDatabaseError("Texte UTF-8 invalide"); }

}  // namespace

WideText ToWide(std::string_view utf8) {
  WideText out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const std::optional<char32_t> decoded = NextCodePoint(utf8, i);
    if (!decoded) throw InvalidUtf8();
    char32_t c = *decoded;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<SQLWCHAR>(0xD800 + (c >> 10));
      out += static_cast<SQLWCHAR>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<SQLWCHAR>(c);
    }
  }
  return out;
}

std::string ToUtf8(const SQLWCHAR* text, std::size_t length) {
  std::string out;
  out.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

}  // namespace patchpav::odbc
