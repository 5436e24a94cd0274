#include "correction/UncertainWrite.h"

#include "engine/core/Errors.h"

namespace patchpav {

bool WriteMayHaveHappened(const std::exception& error) {
  if (dynamic_cast<const EUncertainWrite*>(&error)) return true;
  const auto* database = dynamic_cast<const EDatabaseError*>(&error);
  return database && database->Fault() == DatabaseFault::ConnectionLost;
}

}  // namespace patchpav
