#include "engine/sql/RecordFilter.h"

#include <cassert>

#include "engine/core/Errors.h"

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
  if (where) root_ = Compile(*where);
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
    case Node::Kind::NumberField:
      if (table_.IsBlank(record, node.field)) return Truth::Unknown;
      return CompareDoubles(node.op, table_.DecodeDouble(record, node.field), node.number);
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
