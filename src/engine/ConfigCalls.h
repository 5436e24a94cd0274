#pragma once

// The entry-level configuration calls of the engine: read the global configuration record, start
// and stop the engine, and read and write the configuration file node by node through fixed-size
// records. They return a result code instead of raising; ConfigCallMessage() turns a code into a
// text, and ConfigCallError() raises it as an EDatabaseError.
//
// Records:
// - system configuration: kSystemConfigSize bytes, zero-filled; bytes 0-1 are 1 when
//   "\SYSTEM\INIT\;LOCAL SHARE" is TRUE (16-bit little-endian), and the path of the configuration
//   file is NUL-terminated UTF-8 text from byte kConfigPathOffset.
// - field descriptor: kFieldDescriptorSize bytes, zero-filled; bytes 0-1 the field's number
//   from 1 (16-bit little-endian); the field's name from byte kFieldNameOffset, at most
//   kMaxFieldNameLength bytes, NUL-terminated when shorter.
// - values: the value of field i is NUL-terminated text at byte i × kValueSlotSize of the value
//   buffer, so a value holds at most 127 bytes.
//
// Every buffer comes with its size in bytes and nothing is written past it: a record that does
// not fit is refused (kDbiBufferTooSmall), and a value longer than 127 bytes is refused
// (kDbiValueTooLong) rather than cut, in both directions. A refused call changes nothing.

#include <cstddef>
#include <cstdint>
#include <string>

namespace patchpav {

// Result codes. 0 and 10758 are those every caller of such an engine knows; the others are
// this engine's own.
inline constexpr int kDbiOk = 0;
inline constexpr int kDbiNotInitialised = 0x2A06;  // 10758
inline constexpr int kDbiInvalidParameter = 0x2702;
inline constexpr int kDbiInvalidHandle = 0x2706;
inline constexpr int kDbiBufferTooSmall = 0x2707;
inline constexpr int kDbiValueTooLong = 0x2708;
inline constexpr int kDbiNodeNotFound = 0x2208;
inline constexpr int kDbiFileNotFound = 0x2104;
inline constexpr int kDbiFileError = 0x2102;  // unreadable, malformed or unwritable
inline constexpr int kDbiNotSupported = 0x3E04;

inline constexpr std::uint16_t kDbiInterfaceVersion = 500;
inline constexpr std::size_t kSystemConfigSize = 346;
inline constexpr std::size_t kConfigPathOffset = 53;
inline constexpr std::size_t kFieldDescriptorSize = 62;
inline constexpr std::size_t kFieldNameOffset = 2;
inline constexpr std::size_t kMaxFieldNameLength = 32;
inline constexpr std::size_t kValueSlotSize = 128;

using ConfigHandle = std::uint32_t;

// Fills the record; kDbiNotInitialised while the engine is not initialised.
int GetSystemConfig(std::byte* record, std::size_t recordSize);
// Initialises the engine for this process (counted: each call needs its DbiExit). Only interface
// version 500 and no environment (nullptr) are accepted.
int DbiInitFn(std::uint16_t version, const void* environment);
// Undoes one DbiInitFn.
int DbiExit();

// Opens a configuration file (UTF-8 path). The engine's own file is read from memory, so aliases
// the session has defined are seen; another file is read from the disk, or begins with the
// default contents when create is true and it does not exist.
int OpenConfigFile(const char* path, bool create, ConfigHandle* handle);
// With descriptors and values both null: sets fieldCount to the node's field count. With both
// given: fills one descriptor and one value slot per field. A node that does not exist is
// kDbiNodeNotFound; a node that exists without fields has the count 0.
int GetConfigRecord(ConfigHandle handle, const char* nodePath, std::uint16_t* fieldCount,
                    std::byte* descriptors, std::size_t descriptorsSize, char* values,
                    std::size_t valuesSize);
// Gives the named fields of an existing node the values of the slots (a name the node lacks is
// added to it). Names and values are checked first; a refused call changes nothing.
int ModifyConfigRecord(ConfigHandle handle, const char* nodePath, std::uint16_t fieldCount,
                       const std::byte* descriptors, std::size_t descriptorsSize,
                       const char* values, std::size_t valuesSize);
// With save: writes the configuration, changed or not, back to its file (for the engine's own
// file, the changed nodes are merged into the engine's configuration first). With makeDefault
// and another file: that file becomes the engine's configuration. The 16-bit format is not
// supported (kDbiNotSupported, the handle stays open). Otherwise the handle is released and set
// to 0, even when writing failed.
int CloseConfigFile(ConfigHandle* handle, bool save, bool makeDefault, bool format16);

// The text of a result code, with the detail of the last failing call when it had one.
std::string ConfigCallMessage(int result);
// Raises the result as an EDatabaseError when it is not kDbiOk.
void CheckConfigCall(int result);

}  // namespace patchpav
