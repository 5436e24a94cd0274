#include "engine/sql/RecordFilter.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

#include "engine/core/ByteOrder.h"
#include "engine/core/Errors.h"
#include "engine/drivers/paradox/FieldCodec.h"

namespace patchpav::sql {
namespace {

using paradox::FieldType;

// The same comparison with its operands swapped: "0 > x" is "x < 0".
CompareOp Mirror(CompareOp op) {
  switch (op) {
    case CompareOp::Less:
      return CompareOp::Greater;
    case CompareOp::LessEqual:
      return CompareOp::GreaterEqual;
    case CompareOp::Greater:
      return CompareOp::Less;
    case CompareOp::GreaterEqual:
      return CompareOp::LessEqual;
    default:
      return op;
  }
}

bool ReadsAsDouble(FieldType type) {
  return type == FieldType::Number || type == FieldType::Currency;
}

Truth CompareDoubles(CompareOp op, double x, double y) {
  bool holds = false;
  switch (op) {
    case CompareOp::Equal:
      holds = x == y;
      break;
    case CompareOp::NotEqual:
      holds = x != y;
      break;
    case CompareOp::Less:
      holds = x < y;
      break;
    case CompareOp::LessEqual:
      holds = x <= y;
      break;
    case CompareOp::Greater:
      holds = x > y;
      break;
    case CompareOp::GreaterEqual:
      holds = x >= y;
      break;
  }
  return holds ? Truth::True : Truth::False;
}

}  // namespace

RecordFilter::RecordFilter(const std::optional<Condition>& where, std::span<const Value> parameters,
                           const paradox::Table& table)
    : table_(table), parameters_(parameters) {
  if (where) {
    root_ = Compile(*where);
    BuildScreens();
  }
}

namespace {

std::uint64_t StoredForm(double number) {
  std::byte bytes[8];
  paradox::EncodeDoubleBytes(number, bytes);
  return LoadBigEndian64(bytes);
}

// The stored forms that bound the ordinary values, from the table's own encoder. Stored numbers
// sort as their values do; negative zero, which the encoder never writes, has the one stored
// form between the smallest negative number and zero.
struct StoredOrder {
  std::uint64_t low = StoredForm(-std::numeric_limits<double>::infinity());
  std::uint64_t high = StoredForm(std::numeric_limits<double>::infinity());
  std::uint64_t zero = StoredForm(0.0);
  std::uint64_t negativeZero = StoredForm(-std::numeric_limits<double>::denorm_min()) + 1;
  bool Usable() const {
    return 0 < low && low < negativeZero && negativeZero + 1 == zero && zero < high;
  }
};

const StoredOrder& Order() {
  static const StoredOrder order;
  return order;
}

}  // namespace

namespace {

struct LeadRange {
  std::uint8_t low;
  std::uint8_t high;
  bool operator==(const LeadRange&) const = default;
};

// The first bytes that a stored value satisfying "stored op key" can start with: the stored
// forms sort as unsigned big-endian integers. nullopt when no stored value can satisfy it.
std::optional<LeadRange> LeadRangeOf(CompareOp op, std::uint64_t key) {
  const auto first = static_cast<std::uint8_t>(key >> 56);
  const std::uint64_t rest = key & 0x00FF'FFFF'FFFF'FFFFu;
  switch (op) {
    case CompareOp::Equal:
      return LeadRange{first, first};
    case CompareOp::Less:
      if (rest != 0) return LeadRange{0, first};
      if (first == 0) return std::nullopt;
      return LeadRange{0, static_cast<std::uint8_t>(first - 1)};
    case CompareOp::LessEqual:
      return LeadRange{0, first};
    case CompareOp::Greater:
      if (rest != 0x00FF'FFFF'FFFF'FFFFu) return LeadRange{first, 0xFF};
      if (first == 0xFF) return std::nullopt;
      return LeadRange{static_cast<std::uint8_t>(first + 1), 0xFF};
    case CompareOp::GreaterEqual:
      return LeadRange{first, 0xFF};
    case CompareOp::NotEqual:
      break;
  }
  return std::nullopt;
}

}  // namespace

// The screen needs a single comparison of a number field with a number, or such comparisons all
// joined by OR, none of them "<>" (nearly every record passes it: nothing to sieve); one screen
// per distinct range of first bytes, and a comparison that no stored value can satisfy has none.
void RecordFilter::BuildScreens() {
  const StoredOrder& order = Order();
  if (!order.Usable()) return;
  const Node& root = nodes_[*root_];
  std::vector<const Node*> leaves;
  if (root.kind == Node::Kind::NumberField) {
    leaves.push_back(&root);
  } else if (root.kind == Node::Kind::Or) {
    for (std::size_t i = 0; i < root.childCount; ++i) {
      leaves.push_back(&nodes_[children_[root.firstChild + i]]);
    }
  }
  if (leaves.empty()) return;
  constexpr std::size_t kMostScreens = 4;
  std::vector<std::pair<LeadRange, std::vector<int>>> groups;
  for (const Node* leaf : leaves) {
    if (leaf->kind != Node::Kind::NumberField || std::isnan(leaf->number)) return;
    if (leaf->op == CompareOp::NotEqual) return;
    std::uint64_t key = StoredForm(leaf->number);
    if (key == order.zero) {
      // A stored negative zero equals zero but sorts just below it: ">= 0" starts at its
      // stored form, and "= 0", which would have to look at two forms, is not screened.
      if (leaf->op == CompareOp::Equal) return;
      if (leaf->op == CompareOp::GreaterEqual) key = order.negativeZero;
    }
    const std::optional<LeadRange> range = LeadRangeOf(leaf->op, key);
    if (!range) continue;
    auto group = std::find_if(groups.begin(), groups.end(),
                              [&](const auto& g) { return g.first == *range; });
    if (group == groups.end()) {
      if (groups.size() == kMostScreens) return;
      groups.push_back({*range, {}});
      group = groups.end() - 1;
    }
    group->second.push_back(leaf->offset);
  }
  const auto recordSize = static_cast<std::size_t>(table_.RecordSize());
  for (const auto& [range, offsets] : groups) {
    screens_.emplace_back(offsets, recordSize, range.low, range.high);
  }
  screened_ = true;
}

void RecordFilter::SelectInBlock(const std::byte* records, std::size_t count,
                                 std::size_t recordSize,
                                 std::vector<std::uint32_t>& matches) const {
  matches.clear();
  if (!screened_) {
    for (std::size_t i = 0; i < count; ++i) {
      if (Matches(records + i * recordSize)) matches.push_back(static_cast<std::uint32_t>(i));
    }
    return;
  }
  for (const LeadByteScreen& screen : screens_) screen.Mark(records, count, matches);
  if (screens_.size() > 1) {
    std::sort(matches.begin(), matches.end());
    matches.erase(std::unique(matches.begin(), matches.end()), matches.end());
  }
  // The screen's candidates are a superset: each is confirmed exactly, in place.
  std::size_t kept = 0;
  for (const std::uint32_t i : matches) {
    if (Matches(records + i * recordSize)) matches[kept++] = i;
  }
  matches.resize(kept);
}

std::size_t RecordFilter::Compile(const Condition& condition) {
  using K = Condition::Kind;
  switch (condition.kind) {
    case K::Compare:
      return CompileComparison(condition);
    case K::IsNull:
    case K::IsNotNull: {
      Node node;
      const bool wantNull = condition.kind == K::IsNull;
      if (const auto* column = std::get_if<ColumnRef>(&condition.left)) {
        node.kind = wantNull ? Node::Kind::Blank : Node::Kind::NotBlank;
        node.field = column->field;
      } else {
        const Value& v = std::holds_alternative<Literal>(condition.left)
                             ? std::get<Literal>(condition.left).value
                             : parameters_[std::get<ParameterRef>(condition.left).index];
        node.constant = v.IsNull() == wantNull ? Truth::True : Truth::False;
      }
      nodes_.push_back(std::move(node));
      return nodes_.size() - 1;
    }
    case K::And:
    case K::Or:
    case K::Not: {
      std::vector<std::size_t> compiled;
      for (const Condition& child : condition.children) compiled.push_back(Compile(child));
      Node node;
      node.kind = condition.kind == K::And  ? Node::Kind::And
                  : condition.kind == K::Or ? Node::Kind::Or
                                            : Node::Kind::Not;
      node.firstChild = children_.size();
      node.childCount = compiled.size();
      children_.insert(children_.end(), compiled.begin(), compiled.end());
      nodes_.push_back(std::move(node));
      return nodes_.size() - 1;
    }
  }
  assert(false && "every condition kind is compiled above");
  return 0;
}

std::size_t RecordFilter::CompileComparison(const Condition& condition) {
  const auto constantOf = [&](const Operand& operand) -> const Value* {
    if (const auto* literal = std::get_if<Literal>(&operand)) return &literal->value;
    if (const auto* parameter = std::get_if<ParameterRef>(&operand)) {
      return &parameters_[parameter->index];
    }
    return nullptr;
  };
  const Operand* left = &condition.left;
  const Operand* right = &condition.right;
  CompareOp op = condition.op;
  if (constantOf(*left) && !constantOf(*right)) {
    std::swap(left, right);
    op = Mirror(op);
  }
  Node node;
  node.op = op;
  const Value* leftValue = constantOf(*left);
  const Value* rightValue = constantOf(*right);
  if (leftValue) {
    node.constant = Holds(op, CompareValues(*leftValue, *rightValue));
  } else if (!rightValue) {
    node.kind = Node::Kind::Fields;
    node.field = std::get<ColumnRef>(*left).field;
    node.otherField = std::get<ColumnRef>(*right).field;
  } else if (rightValue->IsNull()) {
    node.constant = Truth::Unknown;
  } else {
    node.field = std::get<ColumnRef>(*left).field;
    const paradox::FieldDef& def = table_.Schema().fields[node.field];
    if (ReadsAsDouble(def.type)) {
      node.kind = Node::Kind::NumberField;
      node.offset = def.offset;
      if (rightValue->GetKind() == Value::Kind::Text) {
        const std::optional<double> number = ParseNumber(rightValue->AsText());
        if (!number) {
          throw EDatabaseError("Comparaison impossible entre la colonne numérique " + def.name +
                               " et le texte '" + rightValue->AsText() + "'");
        }
        node.number = *number;
      } else {
        node.number = rightValue->AsFloat();
      }
    } else {
      node.kind = Node::Kind::Field;
      node.value = *rightValue;
    }
  }
  nodes_.push_back(std::move(node));
  return nodes_.size() - 1;
}

Truth RecordFilter::Evaluate(std::size_t index, const std::byte* record) const {
  const Node& node = nodes_[index];
  switch (node.kind) {
    case Node::Kind::Constant:
      return node.constant;
    case Node::Kind::NumberField: {
      // The table's own codec, inlined: a virtual call per field would cost more than the
      // comparison on a scan of a million records.
      const std::byte* bytes = record + node.offset;
      if (paradox::IsBlankBytes(bytes, 8)) return Truth::Unknown;
      return CompareDoubles(node.op, paradox::DecodeDoubleBytes(bytes), node.number);
    }
    case Node::Kind::Field:
      return Holds(node.op, CompareValues(table_.Decode(record, node.field), node.value));
    case Node::Kind::Fields:
      return Holds(node.op, CompareValues(table_.Decode(record, node.field),
                                          table_.Decode(record, node.otherField)));
    case Node::Kind::Blank:
      return table_.IsBlank(record, node.field) ? Truth::True : Truth::False;
    case Node::Kind::NotBlank:
      return table_.IsBlank(record, node.field) ? Truth::False : Truth::True;
    case Node::Kind::Not:
      return Not(Evaluate(children_[node.firstChild], record));
    case Node::Kind::And: {
      Truth result = Truth::True;
      for (std::size_t i = 0; i < node.childCount; ++i) {
        const Truth t = Evaluate(children_[node.firstChild + i], record);
        if (t == Truth::False) return Truth::False;
        if (t == Truth::Unknown) result = Truth::Unknown;
      }
      return result;
    }
    case Node::Kind::Or: {
      Truth result = Truth::False;
      for (std::size_t i = 0; i < node.childCount; ++i) {
        const Truth t = Evaluate(children_[node.firstChild + i], record);
        if (t == Truth::True) return Truth::True;
        if (t == Truth::Unknown) result = Truth::Unknown;
      }
      return result;
    }
  }
  return Truth::Unknown;
}

}  // namespace patchpav::sql
