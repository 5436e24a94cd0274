#include "engine/sql/LocalStatements.h"

#include "engine/sql/Binding.h"
#include "engine/sql/LocalSelect.h"
#include "engine/sql/LocalUpdate.h"
#include "engine/sql/Parser.h"

namespace patchpav::sql {

std::unique_ptr<PreparedStatement> PrepareLocalStatement(std::shared_ptr<TableCatalog> catalog,
                                                         std::string_view sql) {
  Statement statement = Parse(sql);
  const std::size_t parameterCount = statement.parameterNames.size();
  if (auto* select = std::get_if<SelectStatement>(&statement.body)) {
    std::shared_ptr<TableCatalog::Entry> table = catalog->Find(select->table);
    Bind(*select, table->schema);
    return std::make_unique<LocalSelect>(std::move(catalog), std::move(table), std::move(*select),
                                         parameterCount);
  }
  auto& update = std::get<UpdateStatement>(statement.body);
  std::shared_ptr<TableCatalog::Entry> table = catalog->Find(update.table);
  Bind(update, table->schema);
  return std::make_unique<LocalUpdate>(std::move(catalog), std::move(table), std::move(update),
                                       parameterCount);
}

}  // namespace patchpav::sql
