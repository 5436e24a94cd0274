#pragma once

#include <string>

namespace patchpav {

// What the last connection profile decided, kept for the whole run (GUI thread only).
// ParadoxMode: the kind of the last configured base, false until a profile says otherwise; a
// version file with an unknown DBType keeps it. ConnectionName: the connection's DatabaseName
// after the last successful profile, the name under which the queries reach the connection;
// empty until then, and a failed profile leaves it as it was.
inline bool ParadoxMode = false;
inline std::string ConnectionName;

}  // namespace patchpav
