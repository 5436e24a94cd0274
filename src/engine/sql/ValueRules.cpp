#include "engine/sql/ValueRules.h"

#include <cmath>
#include <string>

#include "engine/core/Errors.h"

namespace patchpav::sql {
namespace {

using paradox::FieldType;

bool IsNumber(const Value& v) {
  return v.GetKind() == Value::Kind::Integer || v.GetKind() == Value::Kind::Float;
}

int CompareNumbers(const Value& a, const Value& b) {
  if (a.GetKind() == Value::Kind::Integer && b.GetKind() == Value::Kind::Integer) {
    const std::int64_t x = a.AsInteger();
    const std::int64_t y = b.AsInteger();
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  const double x = a.AsFloat();
  const double y = b.AsFloat();
  return x < y ? -1 : (x > y ? 1 : 0);
}

double TextAsNumber(const Value& text, const Value& number) {
  const std::optional<double> parsed = ParseNumber(text.AsText());
  if (!parsed) {
    throw EDatabaseError("Comparaison impossible entre le texte '" + text.AsText() +
                         "' et le nombre " + number.AsText());
  }
  return *parsed;
}

}  // namespace

Truth Not(Truth t) {
  switch (t) {
    case Truth::False:
      return Truth::True;
    case Truth::True:
      return Truth::False;
    case Truth::Unknown:
      break;
  }
  return Truth::Unknown;
}

std::optional<double> ParseNumber(const std::string& text) {
  try {
    const double v = Value::Text(text).AsFloat();
    if (!std::isfinite(v)) return std::nullopt;
    return v;
  } catch (const EConvertError&) {
    return std::nullopt;
  }
}

std::optional<int> CompareValues(const Value& a, const Value& b) {
  if (a.IsNull() || b.IsNull()) return std::nullopt;
  if (IsNumber(a) && IsNumber(b)) return CompareNumbers(a, b);
  const bool aText = a.GetKind() == Value::Kind::Text;
  const bool bText = b.GetKind() == Value::Kind::Text;
  if (aText && bText) {
    const int order = a.AsText().compare(b.AsText());
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
  }
  if (aText) return CompareNumbers(Value::Float(TextAsNumber(a, b)), b);
  return CompareNumbers(a, Value::Float(TextAsNumber(b, a)));
}

Truth Holds(CompareOp op, std::optional<int> order) {
  if (!order) return Truth::Unknown;
  const int o = *order;
  bool holds = false;
  switch (op) {
    case CompareOp::Equal:
      holds = o == 0;
      break;
    case CompareOp::NotEqual:
      holds = o != 0;
      break;
    case CompareOp::Less:
      holds = o < 0;
      break;
    case CompareOp::LessEqual:
      holds = o <= 0;
      break;
    case CompareOp::Greater:
      holds = o > 0;
      break;
    case CompareOp::GreaterEqual:
      holds = o >= 0;
      break;
  }
  return holds ? Truth::True : Truth::False;
}

int OrderValues(const Value& a, const Value& b) {
  if (a.IsNull() || b.IsNull()) return a.IsNull() == b.IsNull() ? 0 : (a.IsNull() ? -1 : 1);
  return *CompareValues(a, b);
}

bool IsIntegerField(FieldType type) {
  switch (type) {
    case FieldType::Short:
    case FieldType::Long:
    case FieldType::AutoIncrement:
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::Logical:
      return true;
    default:
      return false;
  }
}

bool IsNumericField(FieldType type) {
  switch (type) {
    case FieldType::Number:
    case FieldType::Currency:
    case FieldType::Bcd:
    case FieldType::Timestamp:
      return true;
    default:
      return IsIntegerField(type);
  }
}

Value ConvertForField(const Value& value, const paradox::FieldDef& field) {
  if (value.IsNull()) return value;
  const auto refuse = [&](const std::string& what) {
    return EDatabaseError("Valeur incorrecte pour la colonne " + field.name + " : " + what);
  };
  if (field.type == FieldType::Alpha || field.type == FieldType::Memo ||
      field.type == FieldType::FormattedMemo) {
    return Value::Text(value.AsText());
  }
  if (!IsNumericField(field.type)) return value;  // the table checks the other types
  double number = 0;
  if (value.GetKind() == Value::Kind::Text) {
    const std::optional<double> parsed = ParseNumber(value.AsText());
    if (!parsed) throw refuse("'" + value.AsText() + "' n'est pas un nombre");
    number = *parsed;
  } else if (value.GetKind() == Value::Kind::Integer) {
    if (IsIntegerField(field.type)) return value;
    return Value::Float(static_cast<double>(value.AsInteger()));
  } else {
    number = value.AsFloat();
  }
  if (!std::isfinite(number)) throw refuse(value.AsText());
  if (!IsIntegerField(field.type)) return Value::Float(number);
  if (std::trunc(number) != number || number < -9.2e18 || number > 9.2e18) {
    throw refuse(value.AsText() + " n'est pas un nombre entier");
  }
  return Value::Integer(static_cast<std::int64_t>(number));
}

}  // namespace patchpav::sql
