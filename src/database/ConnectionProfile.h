#pragma once

#include <string>

namespace patchpav {

class IniFile;
class TDatabase;
class TSession;

// The connection profile of a database directory: section [DBKERNEL] of its version file
// "VARDOMEX.VER" says whether the base is a local Paradox base or an SQL Server database, and
// the connection is configured accordingly (see ConfigureConnection).
//
// The directories are inputs so that the profile works without the wizard window: the base
// directory is the selected directory (the wizard's LSource text, ending with a backslash), the
// executable directory the one that holds the running program (stale Paradox lock files are also
// looked for there).
struct ProfilePlaces {
  std::string baseDirectory;
  std::string executableDirectory;
};

// Reads the version file of places.baseDirectory and configures the connection from it. True
// when the connection is ready to be opened; ConnectionName then holds its DatabaseName. Every
// error is swallowed: the result is false, nothing is shown, ConnectionName keeps its value, and
// whatever was done before the error (lock files deleted, aliases defined, engine settings
// written, connection names set) stays done.
bool OpenDatabaseProfile(const ProfilePlaces& places, TDatabase& connection, TSession& session);

// The working step: sets ParadoxMode from DBType, clears the connection's parameter lines, then
// configures the Paradox or the SQL Server mode. False when an SQL Server profile names neither
// a server and database nor an alias. Errors (an open connection refusing a change, an engine
// error, a failed settings repair) go to the caller.
bool ConfigureConnection(const IniFile& versionFile, const ProfilePlaces& places,
                         TDatabase& connection, TSession& session);

}  // namespace patchpav
