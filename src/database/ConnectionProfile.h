#pragma once

#include <exception>
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

// What the profiles of a run have decided so far; each profile starts from the last one's.
// ParadoxMode: the kind of the last configured base, false until a profile says otherwise; a
// version file with an unknown DBType keeps it. ConnectionName: the connection's DatabaseName
// after the last successful profile, the name under which the queries reach the connection;
// empty until then, and a failed profile leaves it as it was.
struct ConnectionState {
  bool ParadoxMode = false;
  std::string ConnectionName;
};

struct ProfileResult {
  bool configured = false;  // the connection is ready to be opened
  ConnectionState state;    // what the next profile starts from, whether this one failed or not
  // Why the profile failed, when an error stopped it (null when it was merely refused): the
  // selection shows it, since a base that cannot be selected must say why.
  std::exception_ptr error;
};

// Reads the version file of places.baseDirectory and configures the connection from it, starting
// from the state that the previous profile left. Configured when the connection is ready to be
// opened; ConnectionName then holds its DatabaseName. An error is caught and handed back in the
// result, not raised: the result is not configured, ConnectionName keeps its value, the mode is
// what DBType decided before the error, and whatever was done before the error (lock files
// deleted, aliases defined, engine settings written, connection names set) stays done.
ProfileResult OpenDatabaseProfile(const ProfilePlaces& places, const ConnectionState& previous,
                                  TDatabase& connection, TSession& session);

// The working step: sets paradoxMode from DBType (an unknown DBType leaves it as it is), clears
// the connection's parameter lines, then configures the Paradox or the SQL Server mode. False
// when an SQL Server profile names neither a server and database nor an alias. Errors (an open
// connection refusing a change, an engine error, a failed settings repair) go to the caller,
// with paradoxMode already set.
bool ConfigureConnection(const IniFile& versionFile, const ProfilePlaces& places, bool& paradoxMode,
                         TDatabase& connection, TSession& session);

}  // namespace patchpav
