#include "engine/Query.h"

#include <limits>

#include "engine/Database.h"
#include "engine/EngineText.h"
#include "engine/Session.h"
#include "engine/core/Errors.h"

namespace patchpav {

std::int32_t TField::AsInteger() const {
  const std::int64_t value = value_.AsInteger();
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    throw EConvertError("'" + value_.AsText() + "' n'est pas une valeur entière correcte");
  }
  return static_cast<std::int32_t>(value);
}

TQuery::TQuery() : sql_([this] { Close(); }) {}

TQuery::~TQuery() {
  ReleaseStatement();
  if (database_) database_->Detach(this);
}

void TQuery::SetDatabaseName(const std::string& name) {
  Close();
  if (name == databaseName_) return;
  ReleaseStatement();
  if (database_) database_->Detach(this);
  database_ = nullptr;
  databaseName_ = name;
}

void TQuery::ReleaseStatement() {
  open_ = false;
  result_ = {};
  eof_ = true;
  statement_.reset();
  preparedText_.clear();
  params_.clear();
}

TDatabase& TQuery::ResolveDatabase() {
  TDatabase* database = EngineSession().FindDatabase(databaseName_);
  if (!database) throw EDatabaseError("Base de données inconnue : '" + databaseName_ + "'");
  if (database != database_) {
    ReleaseStatement();
    if (database_) database_->Detach(this);
    database_ = database;
    database_->Attach(this);
  }
  if (!database->Connected()) database->SetConnected(true);
  return *database;
}

void TQuery::Prepare() {
  TDatabase& database = ResolveDatabase();
  const std::string text = sql_.Text();
  if (statement_ && text == preparedText_) return;
  ReleaseStatement();
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
    throw EDatabaseError("Aucune instruction SQL à exécuter");
  }
  statement_ = database.Connection().Prepare(text);
  ++prepareCount_;
  preparedText_ = text;
  params_.assign(statement_->ParameterCount(), TParam());
}

std::size_t TQuery::ParamCount() {
  Prepare();
  return params_.size();
}

TParam& TQuery::Params(std::size_t index) {
  Prepare();
  if (index >= params_.size()) {
    throw EDatabaseError("Paramètre n°" + std::to_string(index) + " inexistant : la requête a " +
                         std::to_string(params_.size()) + " paramètre(s)");
  }
  return params_[index];
}

void TQuery::Open() {
  if (open_) return;
  Prepare();
  std::vector<Value> values;
  values.reserve(params_.size());
  for (const TParam& param : params_) values.push_back(param.AsValue());
  result_ = statement_->Open(values);
  open_ = true;
  row_ = 0;
  eof_ = result_.RowCount() == 0;
}

void TQuery::Close() {
  open_ = false;
  result_ = {};
  row_ = 0;
  eof_ = true;
}

std::int64_t TQuery::ExecSQL() {
  Close();
  Prepare();
  std::vector<Value> values;
  values.reserve(params_.size());
  for (const TParam& param : params_) values.push_back(param.AsValue());
  return statement_->Execute(values);
}

bool TQuery::CheckWritable() {
  Prepare();
  return statement_->CheckWritable();
}

void TQuery::FlushWrites() {
  // A query that has run nothing has no connection of its own, and no write to flush.
  if (database_) database_->Flush();
}

void TQuery::RequireOpen() const {
  if (!open_) throw EDatabaseError("La requête n'est pas ouverte");
}

void TQuery::Next() {
  RequireOpen();
  if (eof_) return;
  // Past the last row the query stays on it, with Eof set.
  if (row_ + 1 < result_.RowCount()) {
    ++row_;
  } else {
    eof_ = true;
  }
}

bool TQuery::Eof() const { return !open_ || eof_; }

std::size_t TQuery::RecordCount() const {
  RequireOpen();
  return result_.RowCount();
}

TField TQuery::FieldByName(const std::string& name) const {
  RequireOpen();
  for (std::size_t i = 0; i < result_.columns.size(); ++i) {
    if (!EqualsIgnoreCase(result_.columns[i], name)) continue;
    if (result_.RowCount() == 0) return TField(result_.columns[i], Value());
    return TField(result_.columns[i], result_.At(row_, i));
  }
  throw EDatabaseError("Champ '" + name + "' non trouvé");
}

}  // namespace patchpav
