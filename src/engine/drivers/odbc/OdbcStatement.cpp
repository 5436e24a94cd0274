#include "engine/drivers/odbc/OdbcStatement.h"

#include <algorithm>

#include "engine/core/EngineIdle.h"
#include "engine/core/Errors.h"
#include "engine/drivers/odbc/StatementText.h"
#include "engine/drivers/odbc/WideText.h"

namespace patchpav::odbc {
namespace {

enum class ColumnKind { Integer, Float, Text };

ColumnKind KindOfColumn(SQLSMALLINT sqlType) {
  switch (sqlType) {
    case SQL_INTEGER:
    case SQL_SMALLINT:
    case SQL_TINYINT:
    case SQL_BIGINT:
    case SQL_BIT:
      return ColumnKind::Integer;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return ColumnKind::Float;
    default:
      return ColumnKind::Text;
  }
}

}  // namespace

OdbcStatement::OdbcStatement(const std::shared_ptr<OdbcLink>& link, const std::string& sql)
    : link_(link) {
  const StatementText rewritten = RewriteStatement(sql, link->doubleQuotesAreStrings);
  statement_ = OdbcHandle(SQL_HANDLE_STMT, link->connection.Get());
  WideText text = ToWide(rewritten.text);
  statement_.Check(
      Odbc().PrepareW(statement_.Get(), text.data(), static_cast<SQLINTEGER>(text.size())),
      "Préparation de la requête impossible");
  slots_.resize(rewritten.parameterCount);
}

OdbcStatement::~OdbcStatement() {
  // A closed connection has freed this handle already (SQLDisconnect frees its statements).
  if (link_.expired()) statement_.Abandon();
}

std::shared_ptr<OdbcLink> OdbcStatement::Link() const {
  std::shared_ptr<OdbcLink> link = link_.lock();
  if (!link) {
    throw EDatabaseError("La connexion à la base de données est fermée",
                         DatabaseFault::ConnectionLost);
  }
  return link;
}

void OdbcStatement::BindParameters(std::span<const Value> parameters) {
  if (parameters.size() != slots_.size()) {
    throw EDatabaseError("La requête attend " + std::to_string(slots_.size()) + " paramètre(s), " +
                         std::to_string(parameters.size()) + " donné(s)");
  }
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    Slot& slot = slots_[i];
    const Value& value = parameters[i];
    const Value::Kind kind = value.GetKind();
    const bool rebind = !slot.bound || slot.kind != kind || kind == Value::Kind::Text;
    slot.kind = kind;
    SQLSMALLINT cType = SQL_C_CHAR;
    SQLSMALLINT sqlType = SQL_VARCHAR;
    SQLULEN columnSize = 1;
    SQLPOINTER buffer = nullptr;
    SQLLEN bufferLength = 0;
    switch (kind) {
      case Value::Kind::Null:
        slot.indicator = SQL_NULL_DATA;
        break;
      case Value::Kind::Integer:
        slot.integer = value.AsInteger();
        slot.indicator = 0;
        cType = SQL_C_SBIGINT;
        sqlType = SQL_BIGINT;
        columnSize = 19;
        buffer = &slot.integer;
        break;
      case Value::Kind::Float:
        slot.number = value.AsFloat();
        slot.indicator = 0;
        cType = SQL_C_DOUBLE;
        sqlType = SQL_DOUBLE;
        columnSize = 17;
        buffer = &slot.number;
        break;
      case Value::Kind::Text:
        slot.text = ToWide(value.AsText());
        slot.indicator = static_cast<SQLLEN>(slot.text.size() * sizeof(SQLWCHAR));
        cType = SQL_C_WCHAR;
        sqlType = SQL_WVARCHAR;
        columnSize = std::max<SQLULEN>(slot.text.size(), 1);
        buffer = slot.text.data();
        bufferLength = slot.indicator;
        break;
    }
    if (!rebind) continue;
    statement_.Check(
        Odbc().BindParameter(statement_.Get(), static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
                             cType, sqlType, columnSize, 0, buffer, bufferLength, &slot.indicator),
        "Paramètre " + std::to_string(i + 1) + " refusé");
    slot.bound = true;
  }
}

bool OdbcStatement::Run(std::span<const Value> parameters) {
  BindParameters(parameters);
  const SQLRETURN ret = Odbc().Execute(statement_.Get());
  if (ret == SQL_NO_DATA) return false;
  statement_.Check(ret, "Exécution de la requête impossible");
  return true;
}

ResultSet OdbcStatement::Open(std::span<const Value> parameters) {
  const std::shared_ptr<OdbcLink> link = Link();
  ResultSet result;
  if (!Run(parameters)) return result;
  struct CursorCloser {
    OdbcStatement* statement;
    ~CursorCloser() { statement->CloseCursor(); }
  } closer{this};
  return FetchAll();
}

std::int64_t OdbcStatement::Execute(std::span<const Value> parameters) {
  const std::shared_ptr<OdbcLink> link = Link();
  // SQL_NO_DATA: a searched UPDATE or DELETE that matched no row.
  if (!Run(parameters)) return 0;
  SQLLEN count = 0;
  const SQLRETURN ret = Odbc().RowCount(statement_.Get(), &count);
  // A statement that returns rows leaves a cursor open; the next run needs it closed. Asked once,
  // after the first run, where the driver knows without asking the server.
  if (!returnsRowsKnown_) {
    SQLSMALLINT columns = 0;
    returnsRows_ = Succeeded(Odbc().NumResultCols(statement_.Get(), &columns)) && columns > 0;
    returnsRowsKnown_ = true;
  }
  if (returnsRows_) CloseCursor();
  statement_.Check(ret, "Nombre de lignes modifiées inconnu");
  // -1 is the driver's "unknown" (SQL Server under SET NOCOUNT ON), not "none": it stays -1.
  return count < 0 ? -1 : static_cast<std::int64_t>(count);
}

ResultSet OdbcStatement::FetchAll() {
  ResultSet result;
  SQLSMALLINT columnCount = 0;
  statement_.Check(Odbc().NumResultCols(statement_.Get(), &columnCount),
                   "Lecture des colonnes impossible");
  std::vector<ColumnKind> kinds;
  for (SQLUSMALLINT column = 1; column <= columnCount; ++column) {
    SQLWCHAR name[256] = {};
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT sqlType = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT nullable = 0;
    statement_.Check(Odbc().DescribeColW(statement_.Get(), column, name, 256, &nameLength, &sqlType,
                                         &size, &digits, &nullable),
                     "Lecture des colonnes impossible");
    result.columns.push_back(ToUtf8(name, std::min<std::size_t>(nameLength, 255)));
    kinds.push_back(KindOfColumn(sqlType));
  }
  for (;;) {
    const SQLRETURN fetched = Odbc().Fetch(statement_.Get());
    if (fetched == SQL_NO_DATA) break;
    statement_.Check(fetched, "Lecture des lignes impossible");
    // A large table from a server takes seconds to come: the application's window keeps answering.
    EngineIdle();
    std::vector<Value>& row = result.rows.emplace_back();
    row.reserve(kinds.size());
    for (SQLUSMALLINT column = 1; column <= columnCount; ++column) {
      SQLLEN indicator = 0;
      const std::string what =
          "Lecture de la colonne " + result.columns[column - 1] + " impossible";
      switch (kinds[column - 1]) {
        case ColumnKind::Integer: {
          std::int64_t v = 0;
          statement_.Check(
              Odbc().GetData(statement_.Get(), column, SQL_C_SBIGINT, &v, sizeof v, &indicator),
              what);
          row.push_back(indicator == SQL_NULL_DATA ? Value() : Value::Integer(v));
          break;
        }
        case ColumnKind::Float: {
          double v = 0;
          statement_.Check(
              Odbc().GetData(statement_.Get(), column, SQL_C_DOUBLE, &v, sizeof v, &indicator),
              what);
          row.push_back(indicator == SQL_NULL_DATA ? Value() : Value::Float(v));
          break;
        }
        case ColumnKind::Text: {
          // Long texts come in pieces: each call returns what fits and says whether more is left.
          WideText text;
          SQLWCHAR piece[1024];
          bool isNull = false;
          for (;;) {
            const SQLRETURN ret = Odbc().GetData(statement_.Get(), column, SQL_C_WCHAR, piece,
                                                 sizeof piece, &indicator);
            if (ret == SQL_NO_DATA) break;
            statement_.Check(ret, what);
            if (indicator == SQL_NULL_DATA) {
              isNull = true;
              break;
            }
            constexpr std::size_t kRoom = sizeof piece / sizeof(SQLWCHAR) - 1;
            const std::size_t available =
                indicator == SQL_NO_TOTAL ? kRoom
                                          : static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR);
            text.append(piece, std::min(available, kRoom));
            const bool truncated =
                ret == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || available > kRoom);
            if (!truncated) break;
          }
          row.push_back(isNull ? Value() : Value::Text(ToUtf8(text)));
          break;
        }
      }
    }
  }
  return result;
}

void OdbcStatement::CloseCursor() noexcept { Odbc().FreeStmt(statement_.Get(), SQL_CLOSE); }

}  // namespace patchpav::odbc
