#pragma once

#include <stdexcept>
#include <string>

namespace patchpav {

// Every failure of the database engine: the message is the engine's own text, shown to the user
// as it stands (after "Erreur : " in the database selection).
class EDatabaseError : public std::runtime_error {
 public:
  explicit EDatabaseError(const std::string& message) : std::runtime_error(message) {}
};

// A value that cannot be converted to the type it is read as, for example a text read as an
// integer: "'abc' n'est pas une valeur entière correcte".
class EConvertError : public std::runtime_error {
 public:
  explicit EConvertError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace patchpav
