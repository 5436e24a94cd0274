#include "engine/sql/RecordFilter.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>

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
    Flatten();
  }
}

namespace {

std::uint64_t LoadBigEndian64(const std::byte* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
  return v;
}

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

template <CompareOp kOp>
bool CompareStored(std::uint64_t x, std::uint64_t y) {
  if constexpr (kOp == CompareOp::Equal) return x == y;
  if constexpr (kOp == CompareOp::NotEqual) return x != y;
  if constexpr (kOp == CompareOp::Less) return x < y;
  if constexpr (kOp == CompareOp::LessEqual) return x <= y;
  if constexpr (kOp == CompareOp::Greater) return x > y;
  return x >= y;
}

}  // namespace

void RecordFilter::Flatten() {
  const StoredOrder& order = Order();
  if (!order.Usable()) return;
  const Node& root = nodes_[*root_];
  std::vector<const Node*> leaves;
  if (root.kind == Node::Kind::NumberField) {
    leaves.push_back(&root);
  } else if (root.kind == Node::Kind::Or || root.kind == Node::Kind::And) {
    for (std::size_t i = 0; i < root.childCount; ++i) {
      leaves.push_back(&nodes_[children_[root.firstChild + i]]);
    }
  }
  std::vector<NumberTest> tests;
  for (const Node* leaf : leaves) {
    if (leaf->kind != Node::Kind::NumberField || std::isnan(leaf->number)) return;
    NumberTest test{leaf->offset, leaf->op, StoredForm(leaf->number), leaf->number};
    if (test.key == order.zero) {
      // A stored negative zero equals zero but sorts just below it: ">= 0" starts at its
      // stored form, and "= 0", which would have to look at two forms, stays exact.
      if (test.op == CompareOp::Equal) return;
      if (test.op == CompareOp::GreaterEqual) test.key = order.negativeZero;
    }
    tests.push_back(test);
  }
  flat_ = std::move(tests);
  flatAny_ = root.kind == Node::Kind::Or;
  BuildScreens();
}

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

void RecordFilter::BuildScreens() {
  if (!flatAny_ && flat_.size() != 1) return;
  constexpr std::size_t kMostScreens = 4;
  std::vector<std::pair<LeadRange, std::vector<int>>> groups;
  for (const NumberTest& test : flat_) {
    if (test.op == CompareOp::NotEqual) return;  // nearly every record passes: nothing to sieve
    const std::optional<LeadRange> range = LeadRangeOf(test.op, test.key);
    if (!range) continue;
    auto group = std::find_if(groups.begin(), groups.end(),
                              [&](const auto& g) { return g.first == *range; });
    if (group == groups.end()) {
      if (groups.size() == kMostScreens) return;
      groups.push_back({*range, {}});
      group = groups.end() - 1;
    }
    group->second.push_back(test.offset);
  }
  const auto recordSize = static_cast<std::size_t>(table_.RecordSize());
  for (const auto& [range, offsets] : groups) {
    screens_.emplace_back(offsets, recordSize, range.low, range.high);
  }
  screened_ = true;
}

template <bool kAny, CompareOp kOp>
void RecordFilter::ApplyTest(const NumberTest& test, const std::byte* records, std::size_t count,
                             std::size_t recordSize, std::uint8_t* selected) const {
  // A local, not the member: the byte stores below may alias anything, which would make the
  // compiler reload it on each record.
  const std::uint64_t key = test.key;
  const std::byte* field = records + test.offset;
#pragma GCC unroll 4
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint64_t stored = LoadBigEndian64(field + i * recordSize);
    bool holds;
    if constexpr (kOp == CompareOp::Less) {
      holds = stored - 1 < key - 1;  // a blank (0) wraps to the top: never below
    } else if constexpr (kOp == CompareOp::LessEqual) {
      holds = stored - 1 <= key - 1;
    } else {
      holds = CompareStored<kOp>(stored, key);  // a blank is below every key
    }
    if constexpr (kAny) {
      selected[i] |= holds;
    } else {
      selected[i] &= holds;
    }
  }
}

void RecordFilter::SelectInBlock(const std::byte* records, std::size_t count,
                                 std::size_t recordSize,
                                 std::vector<std::uint32_t>& matches) const {
  matches.clear();
  const auto confirm = [&](std::size_t i) {
    if (Matches(records + i * recordSize)) matches.push_back(static_cast<std::uint32_t>(i));
  };
  if (screened_) {
    for (const LeadByteScreen& screen : screens_) screen.Mark(records, count, matches);
    if (screens_.size() > 1) {
      std::sort(matches.begin(), matches.end());
      matches.erase(std::unique(matches.begin(), matches.end()), matches.end());
    }
    // The screen's candidates are confirmed in place.
    std::size_t kept = 0;
    for (const std::uint32_t i : matches) {
      if (MatchesFlat(records + i * recordSize)) matches[kept++] = i;
    }
    matches.resize(kept);
    return;
  }
  if (flat_.empty()) {
    for (std::size_t i = 0; i < count; ++i) confirm(i);
    return;
  }
  std::vector<std::uint8_t>& selected = selected_;
  selected.assign(count, flatAny_ ? 0 : 1);
  for (const NumberTest& test : flat_) {
    const auto apply = [&]<bool kAny, CompareOp kOp>() {
      ApplyTest<kAny, kOp>(test, records, count, recordSize, selected.data());
    };
    const auto dispatch = [&]<bool kAny>() {
      switch (test.op) {
        case CompareOp::Equal:
          return apply.template operator()<kAny, CompareOp::Equal>();
        case CompareOp::NotEqual:
          return apply.template operator()<kAny, CompareOp::NotEqual>();
        case CompareOp::Less:
          return apply.template operator()<kAny, CompareOp::Less>();
        case CompareOp::LessEqual:
          return apply.template operator()<kAny, CompareOp::LessEqual>();
        case CompareOp::Greater:
          return apply.template operator()<kAny, CompareOp::Greater>();
        case CompareOp::GreaterEqual:
          return apply.template operator()<kAny, CompareOp::GreaterEqual>();
      }
    };
    if (flatAny_) {
      dispatch.template operator()<true>();
    } else {
      dispatch.template operator()<false>();
    }
  }
  // Comparing stored forms never misses a match, but a few stored values (a NaN, a negative
  // zero, a blank under "<>") can seem to match; the exact comparison has the last word on each.
  for (std::size_t i = 0; i < count; ++i) {
    if (selected[i] && MatchesFlat(records + i * recordSize)) {
      matches.push_back(static_cast<std::uint32_t>(i));
    }
  }
}

bool RecordFilter::MatchesFlat(const std::byte* record) const {
  // As Evaluate has it: a blank field compares as unknown, so it never makes a test hold; an OR
  // holds when one test holds, an AND when every test does.
  for (const NumberTest& test : flat_) {
    const std::byte* bytes = record + test.offset;
    std::uint64_t raw;
    std::memcpy(&raw, bytes, sizeof raw);
    const bool holds = raw != 0 && CompareDoubles(test.op, paradox::DecodeDoubleBytes(bytes),
                                                  test.number) == Truth::True;
    if (holds == flatAny_) return flatAny_;
  }
  return !flatAny_;
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
