#pragma once

#include <string_view>

#include "engine/sql/Ast.h"

namespace patchpav::sql {

// Parses one SELECT or UPDATE of the local dialect (an optional ";" may end it). Keywords are
// read without regard to letter case. A fault is an EDatabaseError "Erreur de syntaxe près de
// '...'" quoting the text where it stands.
Statement Parse(std::string_view text);

}  // namespace patchpav::sql
