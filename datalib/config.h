// The configuration store: settings as key and value records of CONFIGURATION, read with
// GETCONFIG, written with PUTCONFIG and loaded into the settings globals (globals.h) by
// STANDARDCONFIGURATION.
//
// A key missing from the table is read from section "Settings" of an INI file and copied into the
// table when that value is not empty, so settings kept in INI files are carried over on first
// read. Keys ignore case. The calls serialise on one lock, since they share the CONFIGURATION
// record buffer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/rt/err.h"

namespace ov::files {

// The value of setting `key`, without trailing blanks. Missing from the table: the INI value of
// `key` in section "Settings" of `iniFile` (the runtime's default INI file when omitted), with
// `deflt` as the INI default; a non-empty result is stored. Any other read error shows "Error!"
// and returns `deflt`.
std::string GETCONFIG(std::string_view key, std::string_view deflt = {},
                      std::optional<std::string_view> iniFile = std::nullopt);

// Stores `value` under `key`, adding the record when it is missing; a failure shows "Error!" and
// stores nothing. `iniFile` is accepted for callers that pass one and not used.
void PUTCONFIG(std::string_view key, std::string_view value,
               std::optional<std::string_view> iniFile = std::nullopt);

// Loads every setting of settingsTable() into its global, then applies the floors
// (KEYS:MAXCHARSPERSEND 0 becomes 7, SCRIPT:DELAYLEN below 10 becomes 10).
void STANDARDCONFIGURATION();

// Where a missing setting is looked up.
enum class IniSource : uint8_t {
  Main,     // the main INI file, INI:FILENAME
  Default,  // the runtime's default INI file
};

// One row of the settings that STANDARDCONFIGURATION loads, in load order.
struct Setting {
  const char* global;   // "EMAIL:HOST", a name of globalEntries()
  const char* key;      // "Host"; null for DEBUG:ACTIVE, read from the main INI only
  const char* deflt;    // null when the default is omitted; "" when it is given empty
  IniSource source;
  bool inverted = false;  // the global is 1 minus the stored number
};
std::span<const Setting> settingsTable();

namespace detail {

// The statements the store runs on CONFIGURATION, with the record in the CF buffer. The real
// file is used unless a test installs a replacement to provoke errors the table never gives.
struct ConfigFile {
  virtual ~ConfigFile() = default;
  virtual rt::Err get() = 0;   // GET by CF:KeyDataType
  virtual rt::Err open() = 0;  // OPEN shared for reading and writing
  virtual rt::Err add() = 0;
  virtual rt::Err put() = 0;
};
// Installs `file` (nullptr: the real file) and returns the previous one.
ConfigFile* setConfigFile(ConfigFile* file);

}  // namespace detail
}  // namespace ov::files
