#include "engine/drivers/paradox/FieldCodec.h"

#include <cmath>
#include <cstdio>

#include "engine/core/ByteOrder.h"
#include "engine/core/DecimalText.h"
#include "engine/core/Errors.h"
#include "engine/drivers/paradox/CodePage.h"

namespace patchpav::paradox {
namespace {

constexpr int kBcdSize = 17;
constexpr int kBcdDigits = 32;

std::int64_t DecodeInteger(const std::byte* p, int size) {
  if (size == 2) return static_cast<std::int16_t>(LoadBigEndian16(p) ^ 0x8000u);
  return static_cast<std::int32_t>(LoadBigEndian32(p) ^ 0x80000000u);
}

void EncodeInteger(std::int64_t v, int size, std::byte* out) {
  if (size == 2) {
    StoreBigEndian16(out, static_cast<std::uint16_t>(static_cast<std::uint16_t>(v) ^ 0x8000u));
  } else {
    StoreBigEndian32(out, static_cast<std::uint32_t>(v) ^ 0x80000000u);
  }
}

std::string TrimmedBytes(const std::byte* p, int size) {
  int length = 0;
  while (length < size && p[length] != std::byte{0}) ++length;
  return std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(length));
}

// Bytes values are padded with zeros: the value ends at its last non-zero byte, and a zero before
// it is part of it.
std::string UnpaddedBytes(const std::byte* p, int size) {
  int length = size;
  while (length > 0 && p[length - 1] == std::byte{0}) --length;
  return std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(length));
}

// The decimals come from the field's descriptor: the low bits of the first byte repeat them in
// the tables pxlib writes, but a negative value may carry them complemented (as every other byte
// of it is), so they are not read there. Bit 7 of the first byte is the sign (set: positive), bit
// 6 is always set.
//
// The desktop product stores only the number's significant digits (18 to 20 of them) and leaves
// whatever its buffer held after them, nibbles above 9 included: the value is the digits up to the
// first nibble above 9, each in its place, the rest read as zeros, as the product's own reader
// does. Only a value with no digit at all before that nibble is damaged.
Value DecodeBcd(const std::byte* p, int decimals) {
  const unsigned head = std::to_integer<unsigned>(p[0]);
  if ((head & 0x40) == 0) throw EDatabaseError("valeur BCD invalide");
  const bool negative = (head & 0x80) == 0;
  // Read as the 32 digits, the ignored ones as zeros, over ten to the decimals: the text is
  // parsed once whatever the width, and rounds correctly however many digits it holds.
  char text[48];
  int at = 0;
  if (negative) text[at++] = '-';
  bool ignored = false;
  for (int i = 0; i < kBcdDigits; ++i) {
    auto b = std::to_integer<unsigned>(p[1 + i / 2]);
    if (negative) b ^= 0xFF;
    const unsigned digit = (i % 2 == 0) ? b >> 4 : b & 0x0F;
    if (digit > 9) {
      if (i == 0) throw EDatabaseError("valeur BCD invalide");
      ignored = true;
    }
    text[at++] = ignored ? '0' : static_cast<char>('0' + digit);
  }
  std::snprintf(text + at, sizeof text - static_cast<std::size_t>(at), "e-%d", decimals);
  return Value::Float(ParseDecimal(text).value());
}

std::string DescribeForError(const Value& value) { return "'" + value.AsText() + "'"; }

std::int64_t WholeNumber(const Value& value, std::int64_t limit) {
  std::int64_t v = 0;
  switch (value.GetKind()) {
    case Value::Kind::Integer:
      v = value.AsInteger();
      break;
    case Value::Kind::Float: {
      const double d = value.AsFloat();
      if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) > static_cast<double>(limit)) {
        throw EDatabaseError("valeur " + DescribeForError(value) + " hors des limites du champ");
      }
      v = static_cast<std::int64_t>(d);
      break;
    }
    default:
      try {
        v = value.AsInteger();
      } catch (const EConvertError& e) {
        throw EDatabaseError(e.what());
      }
  }
  // The most negative value encodes as all zeros, the blank, so it cannot be stored.
  if (v > limit || v < -limit) {
    throw EDatabaseError("valeur " + DescribeForError(value) + " hors des limites du champ");
  }
  return v;
}

double FloatNumber(const Value& value) {
  double d = 0;
  try {
    d = value.AsFloat();
  } catch (const EConvertError& e) {
    throw EDatabaseError(e.what());
  }
  if (!std::isfinite(d)) throw EDatabaseError("valeur " + DescribeForError(value) + " invalide");
  return d;
}

void EncodeBcd(double d, int decimals, std::byte* out) {
  char text[400];
  std::snprintf(text, sizeof text, "%.*f", decimals, std::fabs(d));
  std::string digits;
  for (const char* c = text; *c; ++c) {
    if (*c >= '0' && *c <= '9') digits += *c;
  }
  // The integer part's leading zeros hold nothing: 0.123 fits a field of 32 decimals.
  const std::size_t lead = digits.find_first_not_of('0');
  digits.erase(0, std::min(lead, digits.size() - static_cast<std::size_t>(decimals)));
  if (digits.size() > static_cast<std::size_t>(kBcdDigits)) {
    throw EDatabaseError("valeur " + std::string(text) + " trop grande pour le champ BCD");
  }
  digits.insert(0, kBcdDigits - digits.size(), '0');
  const bool negative = d < 0 && digits.find_first_not_of('0') != std::string::npos;
  out[0] = static_cast<std::byte>((negative ? 0x40 : 0xC0) | decimals);
  for (int i = 0; i < kBcdDigits / 2; ++i) {
    unsigned b = static_cast<unsigned>((digits[2 * i] - '0') << 4 | (digits[2 * i + 1] - '0'));
    if (negative) b ^= 0xFF;
    out[1 + i] = static_cast<std::byte>(b);
  }
}

}  // namespace

std::optional<int> StoredFieldSize(std::uint8_t type, std::uint8_t sizeByte) {
  switch (static_cast<FieldType>(type)) {
    case FieldType::Alpha:
    case FieldType::Bytes:
      if (sizeByte >= 1) return sizeByte;
      return std::nullopt;
    case FieldType::Short:
      if (sizeByte == 2) return 2;
      return std::nullopt;
    case FieldType::Date:
    case FieldType::Long:
    case FieldType::Time:
    case FieldType::AutoIncrement:
      if (sizeByte == 4) return 4;
      return std::nullopt;
    case FieldType::Currency:
    case FieldType::Number:
    case FieldType::Timestamp:
      if (sizeByte == 8) return 8;
      return std::nullopt;
    case FieldType::Logical:
      if (sizeByte == 1) return 1;
      return std::nullopt;
    case FieldType::Memo:
    case FieldType::Blob:
    case FieldType::FormattedMemo:
    case FieldType::Ole:
    case FieldType::Graphic:
      if (sizeByte >= 10) return sizeByte;
      return std::nullopt;
    case FieldType::Bcd:
      if (sizeByte <= kBcdDigits) return kBcdSize;
      return std::nullopt;
  }
  return std::nullopt;
}

Value DecodeField(const std::byte* p, const FieldDef& field, int codePage) {
  if (IsBlankBytes(p, field.size)) return Value();
  switch (field.type) {
    case FieldType::Alpha:
      return Value::Text(CodePageToUtf8(TrimmedBytes(p, field.size), codePage));
    case FieldType::Bytes:
      return Value::Text(UnpaddedBytes(p, field.size));
    case FieldType::Short:
      return Value::Integer(DecodeInteger(p, 2));
    case FieldType::Date:
    case FieldType::Long:
    case FieldType::Time:
    case FieldType::AutoIncrement:
      return Value::Integer(DecodeInteger(p, 4));
    case FieldType::Logical:
      return Value::Integer(p[0] == std::byte{0x80} ? 0 : 1);
    case FieldType::Currency:
    case FieldType::Number:
    case FieldType::Timestamp:
      return Value::Float(DecodeDoubleBytes(p));
    case FieldType::Bcd:
      return DecodeBcd(p, field.decimals);
    case FieldType::Memo:
    case FieldType::Blob:
    case FieldType::FormattedMemo:
    case FieldType::Ole:
    case FieldType::Graphic: {
      // The value's first bytes sit in the record: this is the value when it fits there (the
      // table reads a longer one from the .MB file, BlobFile.h).
      const int leader = field.size - 10;
      const std::uint32_t length = LoadLittleEndian32(p + leader + 4);
      const auto shown = static_cast<std::size_t>(
          std::min<std::uint32_t>(length, static_cast<std::uint32_t>(leader)));
      const std::string bytes(reinterpret_cast<const char*>(p), shown);
      if (field.type == FieldType::Memo || field.type == FieldType::FormattedMemo) {
        return Value::Text(CodePageToUtf8(bytes, codePage));
      }
      return Value::Text(bytes);
    }
  }
  return Value();
}

void EncodeField(const Value& value, const FieldDef& field, int codePage, std::byte* out) {
  std::memset(out, 0, static_cast<std::size_t>(field.size));
  if (value.IsNull()) return;
  switch (field.type) {
    case FieldType::Alpha:
    case FieldType::Bytes: {
      const std::string text = value.AsText();
      const std::optional<std::string> bytes =
          field.type == FieldType::Alpha ? Utf8ToCodePage(text, codePage) : std::optional(text);
      if (!bytes) {
        throw EDatabaseError("le texte '" + text + "' n'a pas d'équivalent dans la page de code " +
                             std::to_string(codePage));
      }
      if (bytes->size() > static_cast<std::size_t>(field.size)) {
        throw EDatabaseError("le texte '" + text + "' dépasse la taille du champ (" +
                             std::to_string(field.size) + ")");
      }
      std::memcpy(out, bytes->data(), bytes->size());
      return;
    }
    case FieldType::Short:
      EncodeInteger(WholeNumber(value, 32767), 2, out);
      return;
    case FieldType::Date:
    case FieldType::Long:
    case FieldType::Time:
    case FieldType::AutoIncrement:
      EncodeInteger(WholeNumber(value, 2147483647), 4, out);
      return;
    case FieldType::Logical:
      out[0] = WholeNumber(value, 2147483647) != 0 ? std::byte{0x81} : std::byte{0x80};
      return;
    case FieldType::Currency:
    case FieldType::Number:
    case FieldType::Timestamp:
      EncodeDoubleBytes(FloatNumber(value), out);
      return;
    case FieldType::Bcd:
      EncodeBcd(FloatNumber(value), field.decimals, out);
      return;
    case FieldType::Memo:
    case FieldType::Blob:
    case FieldType::FormattedMemo:
    case FieldType::Ole:
    case FieldType::Graphic: {
      // Only values that fit in the record are written: nothing goes to a .MB file.
      const std::string text = value.AsText();
      const bool isText = field.type == FieldType::Memo || field.type == FieldType::FormattedMemo;
      const std::optional<std::string> bytes =
          isText ? Utf8ToCodePage(text, codePage) : std::optional(text);
      if (!bytes)
        throw EDatabaseError("le texte '" + text + "' n'a pas d'équivalent dans la page de code");
      const int leader = field.size - 10;
      if (bytes->size() > static_cast<std::size_t>(leader)) {
        throw EDatabaseError(
            "valeur trop longue pour la partie du champ mémo tenue dans l'enregistrement");
      }
      if (bytes->empty()) return;
      std::memcpy(out, bytes->data(), bytes->size());
      StoreLittleEndian32(out + leader + 4, static_cast<std::uint32_t>(bytes->size()));
      return;
    }
  }
}

}  // namespace patchpav::paradox
