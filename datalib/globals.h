// The data library's exported globals: the settings loaded by STANDARDCONFIGURATION, grouped by
// area (EMAIL.HOST, LOG.MAXSIZE, ...), and the program-wide GLO and APP values (data folder, user,
// file names). One instance each per process; the library clears them when it is loaded.
//
// A flag is a BYTE holding the number read (0 or 1 in practice), a number a LONG, a text a
// blank-padded String of the declared width.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/rt/fixed_string.h"
#include "platform/rt/record.h"

namespace ov::files {

using rt::String;

struct DebugGlobals {
  uint8_t ACTIVE{};  // debug lines of the script runner
};

struct ClipGlobals {
  String<10> DEFAULTACTION;
  uint8_t ONTOP{};
  uint8_t USEEXTERNAL{};
  int32_t MAXENTRIES{};
  uint8_t MONITOR{};
};

struct EmailGlobals {
  String<255> SENDER;
  String<255> SENDERNAME;
  String<40> SMTPNAME;
  String<50> SMTPPASSWORD;
  String<255> HOST;
  String<20> ORGANIZATION;
  uint8_t USEMAPI{};
  uint8_t USEMAPINOBCC{};
  String<40> MAPINAME;
  String<20> MAPIPASSWORD;
};

struct NewsGlobals {
  String<128> USER;
  String<128> PASSWORD;
  String<255> SENDER;
  String<255> SENDERNAME;
  String<255> HOST;
  String<255> ORGANIZATION;
};

struct FormatGlobals {
  String<6> DATE;  // date picture without its "@" ("d7")
  String<6> TIME;  // time picture without its "@" ("t7b")
};

struct KeysGlobals {
  uint8_t MAXCHARSPERSEND{};
};

struct LogGlobals {
  uint8_t ACTIVE{};
  uint8_t ALLEXITCODES{};
  int32_t MAXSIZE{};
  uint8_t USENTEVENT{};
};

struct MsgGlobals {
  int32_t MAXALARMTIME{};
  int32_t REPEATALARMINTERVAL{};
  int32_t SNOOZEINTERVAL{};
  uint8_t USEEXTERNAL{};
  uint8_t USEMODAL{};
  uint8_t USEWIN{};
};

struct ReportGlobals {
  uint8_t IncludeFutureOccurances{};
};

struct ScriptGlobals {
  int32_t DELAYLEN{};  // centiseconds between script steps, at least 10
  uint8_t EXCLUDEHIDDENWINDOWS{};
  uint8_t SAVEONCOMPLETION{};
  uint8_t TRANSLATEFILENAMES{};
};

struct StartGlobals {
  uint8_t ACTIVEONLY{};
  uint8_t ALLDAYS{};
  uint8_t CLIPBOARD{};
  uint8_t CONTACTS{};
  uint8_t MINIMIZED{};
  uint8_t NOSPLASH{};
  uint8_t SCHEDULE{};  // 1 minus the stored "StartUpSchedule"
  uint8_t TODO{};
};

struct TaskGlobals {
  int32_t HISTORYEXPIRES{};
  uint8_t NEWPROC16{};
  uint8_t REMOVEUNCOMPLETED{};
  uint8_t RESTOREONRUNPROGRAM{};
  int32_t SKIPIFDAYSPASSED{};
  String<20> ROUNDING;  // "Minute" or "Second"
};

// The owner password of every encrypted data file: one constant shared by every program that
// opens the data folder (the main program, the report program, import/export, the mail sender).
inline constexpr std::string_view kMasterFileOwner = "Qv$8rT2m!";
static_assert(kMasterFileOwner.size() == 9);

struct GloGlobals {
  static constexpr std::string_view MASTERFILEOWNER = kMasterFileOwner;
  String<40> USER;
  String<255> DATAPATH;     // the data folder, ending in "/"
  String<255> LOGFILENAME;  // the event log in the data folder
  String<255> EXPORTNAME;
  String<255> SCHEDULEWORKFILENAME;
  String<255> SYNCSCHEDULEFILENAME;
  String<255> SYNCSCRIPTINGFILENAME;
  String<255> SYNCTODOFILENAME;
  String<255> SYNCOVUSDFILENAME;
  uint8_t HIDETOOLBAR{};
  uint8_t NOTRAY{};
  uint8_t TRAYONCLOSE{};

  // Blank texts, zero flags, and the data-file names at their initial values.
  GloGlobals();
};

struct AppGlobals {
  int32_t STARTUPDATE{};
  int32_t STARTUPTIME{};
  String<30> USERID;
  String<40> USERNAME;
  String<255> PATH;
};

struct IniGlobals {
  String<128> FILENAME;  // the main INI file ("ov98.INI")
};

extern DebugGlobals DEBUG;
extern ClipGlobals CLIP;
extern EmailGlobals EMAIL;
extern NewsGlobals NEWS;
extern FormatGlobals FORMAT;
extern KeysGlobals KEYS;
extern LogGlobals LOG;
extern MsgGlobals MSG;
extern ReportGlobals REPORT;
extern ScriptGlobals SCRIPT;
extern StartGlobals START;
extern TaskGlobals TASK;
extern GloGlobals GLO;
extern AppGlobals APP;
extern IniGlobals INI;
extern String<255> EXEPATH;      // the program's own folder
extern String<32> PRODUCTNAME;
extern String<10> VERSIONNUMBER;

// One exported global by name, for binding and the globals dump: its descriptor reads and writes
// the value at `address` (the descriptor's member offset is 0).
struct GlobalEntry {
  void* address;
  rt::FieldDesc desc;  // name as declared: "EMAIL:HOST"
};

// Every global above, in declaration order.
std::span<const GlobalEntry> globalEntries();
// A global by its declared name, ignoring case ("email:host"); nullptr when unknown.
const GlobalEntry* findGlobal(std::string_view name);

// Back to the state at load: every text blank, every number 0, file names at their initial values.
void clearGlobals();

}  // namespace ov::files
