#pragma once

#include <stdexcept>
#include <string>

namespace patchpav {

// What a driver can tell of a failure beyond its text, for a caller that must decide whether the
// failure concerns the one row it was writing or every row it would write after it.
enum class DatabaseFault {
  Unspecified,       // nothing more is known: a value refused, a constraint, a syntax error...
  ConnectionLost,    // the link to the server is gone (or was closed under the statement)
  PermissionDenied,  // the server refuses this login the change
  ReadOnly,          // the table's file, its folder or the database can only be read
  InUse,             // another program holds the table's file (sharing or lock violation)
  IndexedField,      // a field the statement changes is covered by an index
  Deadlock,          // the server gave the statement up to end a deadlock; it may be run again
};

// Every failure of the database engine: the message is the engine's own text, shown to the user
// as it stands (after "Erreur : " in the database selection).
class EDatabaseError : public std::runtime_error {
 public:
  explicit EDatabaseError(const std::string& message,
                          DatabaseFault fault = DatabaseFault::Unspecified)
      : std::runtime_error(message), fault_(fault) {}
  DatabaseFault Fault() const { return fault_; }

 private:
  DatabaseFault fault_;
};

// A write that failed while its bytes were being written or flushed: the record may hold the old
// values, the new ones, or (for a torn write) a mix; what the file holds is not known.
class EUncertainWrite : public EDatabaseError {
 public:
  using EDatabaseError::EDatabaseError;
};

// A value that cannot be converted to the type it is read as, for example a text read as an
// integer: "'abc' n'est pas une valeur entière correcte".
class EConvertError : public std::runtime_error {
 public:
  explicit EConvertError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace patchpav
