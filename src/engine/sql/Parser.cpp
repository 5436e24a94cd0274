#include "engine/sql/Parser.h"

#include <array>
#include <charconv>
#include <optional>

#include "engine/core/AsciiCase.h"
#include "engine/core/DecimalText.h"
#include "engine/core/Errors.h"
#include "engine/sql/Lexer.h"

namespace patchpav::sql {
namespace {

// Deep enough for any hand-written condition, shallow enough that a hostile text cannot exhaust
// the stack through the recursive descent.
constexpr int kMaxNesting = 200;

constexpr std::array kReservedWords = {"SELECT", "FROM", "WHERE", "ORDER", "BY",  "ASC", "DESC",
                                       "UPDATE", "SET",  "AND",   "OR",    "NOT", "IS",  "NULL"};

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text), tokens_(Tokenize(text)) {}

  Statement ParseStatement() {
    Statement statement;
    if (IsKeyword("SELECT")) {
      statement.body = ParseSelect();
    } else if (IsKeyword("UPDATE")) {
      statement.body = ParseUpdate();
    } else {
      Fail();
    }
    if (IsSymbol(";")) Advance();
    if (Current().kind != TokenKind::End) Fail();
    statement.parameterNames = std::move(parameterNames_);
    return statement;
  }

 private:
  const Token& Current() const { return tokens_[next_]; }
  void Advance() {
    if (Current().kind != TokenKind::End) ++next_;
  }

  [[noreturn]] void Fail() const {
    const Token& token = Current();
    if (token.kind == TokenKind::End) {
      throw EDatabaseError("Erreur de syntaxe : fin de requête inattendue");
    }
    throw EDatabaseError("Erreur de syntaxe près de '" + ExcerptAt(text_, token.position) + "'");
  }

  bool IsKeyword(std::string_view word) const {
    return Current().kind == TokenKind::Identifier && EqualsIgnoreCase(Current().text, word);
  }
  bool IsSymbol(std::string_view symbol) const {
    return Current().kind == TokenKind::Symbol && Current().text == symbol;
  }
  void ExpectKeyword(std::string_view word) {
    if (!IsKeyword(word)) Fail();
    Advance();
  }
  void ExpectSymbol(std::string_view symbol) {
    if (!IsSymbol(symbol)) Fail();
    Advance();
  }

  bool IsColumnName() const {
    if (Current().kind != TokenKind::Identifier) return false;
    for (const char* word : kReservedWords) {
      if (EqualsIgnoreCase(Current().text, word)) return false;
    }
    return true;
  }

  ColumnRef ParseColumn() {
    if (!IsColumnName()) Fail();
    ColumnRef column{Current().text};
    Advance();
    return column;
  }

  // A table is a name, possibly with its file suffix (CPMAIN.DB), or a quoted name.
  std::string ParseTableName() {
    if (Current().kind == TokenKind::String) {
      std::string name = Current().text;
      Advance();
      return name;
    }
    if (!IsColumnName()) Fail();
    std::string name = Current().text;
    Advance();
    if (IsSymbol(".")) {
      Advance();
      if (Current().kind != TokenKind::Identifier) Fail();
      name += "." + Current().text;
      Advance();
    }
    return name;
  }

  SelectStatement ParseSelect() {
    SelectStatement select;
    ExpectKeyword("SELECT");
    if (IsSymbol("*")) {
      select.allColumns = true;
      Advance();
    } else {
      select.columns.push_back(ParseColumn());
      while (IsSymbol(",")) {
        Advance();
        select.columns.push_back(ParseColumn());
      }
    }
    ExpectKeyword("FROM");
    select.table = ParseTableName();
    if (IsKeyword("WHERE")) {
      Advance();
      select.where = ParseOr(0);
    }
    if (IsKeyword("ORDER")) {
      Advance();
      ExpectKeyword("BY");
      do {
        if (!select.orderBy.empty()) Advance();  // the comma
        OrderKey key;
        key.column = ParseColumn();
        if (IsKeyword("ASC")) {
          Advance();
        } else if (IsKeyword("DESC")) {
          key.descending = true;
          Advance();
        }
        select.orderBy.push_back(std::move(key));
      } while (IsSymbol(","));
    }
    return select;
  }

  UpdateStatement ParseUpdate() {
    UpdateStatement update;
    ExpectKeyword("UPDATE");
    update.table = ParseTableName();
    ExpectKeyword("SET");
    do {
      if (!update.assignments.empty()) Advance();  // the comma
      Assignment assignment;
      assignment.column = ParseColumn();
      ExpectSymbol("=");
      if (Current().kind == TokenKind::Parameter) {
        assignment.value = ParseParameter();
      } else {
        assignment.value = ParseLiteral();
      }
      update.assignments.push_back(std::move(assignment));
    } while (IsSymbol(","));
    if (IsKeyword("WHERE")) {
      Advance();
      update.where = ParseOr(0);
    }
    return update;
  }

  Condition ParseOr(int depth) {
    Condition first = ParseAnd(depth);
    if (!IsKeyword("OR")) return first;
    Condition any;
    any.kind = Condition::Kind::Or;
    any.children.push_back(std::move(first));
    while (IsKeyword("OR")) {
      Advance();
      any.children.push_back(ParseAnd(depth));
    }
    return any;
  }

  Condition ParseAnd(int depth) {
    Condition first = ParseNot(depth);
    if (!IsKeyword("AND")) return first;
    Condition all;
    all.kind = Condition::Kind::And;
    all.children.push_back(std::move(first));
    while (IsKeyword("AND")) {
      Advance();
      all.children.push_back(ParseNot(depth));
    }
    return all;
  }

  Condition ParseNot(int depth) {
    if (depth > kMaxNesting) {
      throw EDatabaseError("Erreur de syntaxe : condition trop imbriquée près de '" +
                           ExcerptAt(text_, Current().position) + "'");
    }
    if (IsKeyword("NOT")) {
      Advance();
      Condition negation;
      negation.kind = Condition::Kind::Not;
      negation.children.push_back(ParseNot(depth + 1));
      return negation;
    }
    if (IsSymbol("(")) {
      Advance();
      Condition inner = ParseOr(depth + 1);
      ExpectSymbol(")");
      return inner;
    }
    Condition condition;
    condition.left = ParseOperand();
    if (IsKeyword("IS")) {
      Advance();
      condition.kind = Condition::Kind::IsNull;
      if (IsKeyword("NOT")) {
        Advance();
        condition.kind = Condition::Kind::IsNotNull;
      }
      ExpectKeyword("NULL");
      return condition;
    }
    condition.kind = Condition::Kind::Compare;
    condition.op = ParseCompareOp();
    condition.right = ParseOperand();
    return condition;
  }

  CompareOp ParseCompareOp() {
    static constexpr std::pair<std::string_view, CompareOp> kOperators[] = {
        {"=", CompareOp::Equal},        {"<>", CompareOp::NotEqual},  {"!=", CompareOp::NotEqual},
        {"<", CompareOp::Less},         {"<=", CompareOp::LessEqual}, {">", CompareOp::Greater},
        {">=", CompareOp::GreaterEqual}};
    for (const auto& [symbol, op] : kOperators) {
      if (IsSymbol(symbol)) {
        Advance();
        return op;
      }
    }
    Fail();
  }

  Operand ParseOperand() {
    if (Current().kind == TokenKind::Parameter) return ParseParameter();
    if (IsColumnName()) return ParseColumn();
    return ParseLiteral();
  }

  ParameterRef ParseParameter() {
    ParameterRef parameter{parameterNames_.size()};
    parameterNames_.push_back(Current().text);
    Advance();
    return parameter;
  }

  Literal ParseLiteral() {
    if (Current().kind == TokenKind::String) {
      Literal literal{Value::Text(Current().text)};
      Advance();
      return literal;
    }
    if (IsKeyword("NULL")) {
      Advance();
      return Literal{};
    }
    bool negative = false;
    if (IsSymbol("-") || IsSymbol("+")) {
      negative = IsSymbol("-");
      Advance();
    }
    if (Current().kind != TokenKind::Number) Fail();
    const std::string& digits = Current().text;
    Literal literal;
    std::int64_t whole = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), whole);
    if (error == std::errc() && end == digits.data() + digits.size()) {
      literal.value = Value::Integer(negative ? -whole : whole);
    } else {
      // A fraction, an exponent, or digits beyond 64 bits: a float, and one that a double holds.
      const std::optional<double> v = ParseDecimal(digits);
      if (!v) Fail();
      literal.value = Value::Float(negative ? -*v : *v);
    }
    Advance();
    return literal;
  }

  std::string_view text_;
  std::vector<Token> tokens_;
  std::size_t next_ = 0;
  std::vector<std::string> parameterNames_;
};

}  // namespace

Statement Parse(std::string_view text) { return Parser(text).ParseStatement(); }

}  // namespace patchpav::sql
