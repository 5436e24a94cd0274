#pragma once

#include <string>

namespace patchpav {

// Single entries of the engine's configuration file, addressed as a node path, a semicolon and a
// field name ("\SYSTEM\INIT\;LOCAL SHARE"), and the repair of the engine's global settings that
// a base's version file asks for.
//
// Each call opens the configuration, does its one read or write and closes it again. When the
// engine is not running, the call starts it for itself and shuts it down before returning, on
// every way out; a running engine (an active session) is used and left running.

// Sets value to the entry's current value. Raises EDatabaseError for an address without a
// semicolon or an entry that the node does not hold; value is then left as it was.
void GetEngineConfigEntry(const std::string& entryAddress, std::string& value);

// Gives the entry the value and writes the configuration file back. A value longer than the
// engine's 127-character field slot is refused before anything is opened, rather than cut.
void SetEngineConfigEntry(const std::string& entryAddress, const std::string& value);

// Reads [Troubles] InitBDESettings of baseDirectory's "VARDOMEX.VER" (baseDirectory ends with a
// backslash). Absent (or -1): writes 0 there, creating the section and the file, and changes
// nothing else; a version file that refuses that write is left as it is, without an error. 1: local
// sharing on, at least 200 file handles, the "intl" language driver for the engine and for its
// Paradox driver, each written only when it differs. Any other value: nothing. Errors (an entry
// missing, a file-handle limit that is no integer, an engine configuration that can't be written)
// end the repair and reach the caller; corrections already written stay.
void RepairEngineSettings(const std::string& baseDirectory);

}  // namespace patchpav
