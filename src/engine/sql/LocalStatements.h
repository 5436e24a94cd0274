#pragma once

#include <memory>
#include <string_view>

#include "engine/core/Driver.h"
#include "engine/sql/TableCatalog.h"

namespace patchpav::sql {

// Parses a statement of the local dialect and binds it to its table: the result runs any number
// of times with parameters. Faults of the text (syntax, unknown table or column) are
// EDatabaseErrors raised here, before anything runs.
std::unique_ptr<PreparedStatement> PrepareLocalStatement(std::shared_ptr<TableCatalog> catalog,
                                                         std::string_view sql);

}  // namespace patchpav::sql
