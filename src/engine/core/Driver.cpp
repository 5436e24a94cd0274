#include "engine/core/Driver.h"

#include "engine/core/Errors.h"

namespace patchpav {

std::vector<std::filesystem::path> DriverConnection::CopyTableFiles(const std::string& table,
                                                                    const std::filesystem::path&) {
  throw EDatabaseError("La table " + table +
                       " n'est pas gardée dans des fichiers : elle ne peut pas être copiée");
}

}  // namespace patchpav
