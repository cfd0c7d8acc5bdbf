#include "config.h"

#include <algorithm>
#include <mutex>
#include <string>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "platform/rt/ini.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"

namespace ov::files {
namespace {

constexpr const char* kNone = nullptr;  // default omitted

const Setting kSettings[] = {
    {"DEBUG:ACTIVE", nullptr, kNone, IniSource::Main},
    {"CLIP:DEFAULTACTION", "CM:Mode", "Normal", IniSource::Default},
    {"CLIP:ONTOP", "CM:OnTop", "1", IniSource::Default},
    {"CLIP:USEEXTERNAL", "CM:UseEx", "0", IniSource::Default},
    {"CLIP:MAXENTRIES", "MaxClipboardEntries", "50", IniSource::Default},
    {"CLIP:MONITOR", "MonitorClipboard", "", IniSource::Main},
    {"EMAIL:SENDER", "Sender", kNone, IniSource::Main},
    {"EMAIL:SENDERNAME", "SenderName", kNone, IniSource::Main},
    {"EMAIL:SMTPNAME", "SMTPName", kNone, IniSource::Main},
    {"EMAIL:SMTPPASSWORD", "SMTPPassword", kNone, IniSource::Main},
    {"EMAIL:HOST", "Host", kNone, IniSource::Main},
    {"EMAIL:ORGANIZATION", "Org", kNone, IniSource::Main},
    {"EMAIL:USEMAPI", "UseMAPI", "0", IniSource::Default},
    {"EMAIL:USEMAPINOBCC", "UseMAPINoBCC", "0", IniSource::Default},
    {"EMAIL:MAPINAME", "MAPIName", "", IniSource::Default},
    {"EMAIL:MAPIPASSWORD", "MAPIPassword", "", IniSource::Default},
    {"NEWS:USER", "NUser", kNone, IniSource::Main},
    {"NEWS:PASSWORD", "NPassword", kNone, IniSource::Main},
    {"NEWS:SENDER", "NSender", kNone, IniSource::Main},
    {"NEWS:SENDERNAME", "NSenderName", kNone, IniSource::Main},
    {"NEWS:HOST", "NHost", kNone, IniSource::Main},
    {"NEWS:ORGANIZATION", "NOrg", kNone, IniSource::Main},
    {"FORMAT:DATE", "DateFormat", "d7", IniSource::Default},
    {"FORMAT:TIME", "TimeFormat", "t7b", IniSource::Default},
    {"GLO:HIDETOOLBAR", "HideToolbar", kNone, IniSource::Main},
    {"GLO:NOTRAY", "NoTray", kNone, IniSource::Main},
    {"GLO:TRAYONCLOSE", "MinimizeOnCloseRequest", kNone, IniSource::Main},
    {"KEYS:MAXCHARSPERSEND", "BurstSize", kNone, IniSource::Main},
    {"LOG:ACTIVE", "LogEvents", "", IniSource::Main},
    {"LOG:ALLEXITCODES", "LogExitCodes", "0", IniSource::Default},
    {"LOG:MAXSIZE", "MaxLogSize", "0", IniSource::Default},
    {"LOG:USENTEVENT", "UseNTEventLog", "0", IniSource::Default},
    {"MSG:MAXALARMTIME", "MaxAlarmTime", kNone, IniSource::Main},
    {"MSG:REPEATALARMINTERVAL", "RepeatAlarmInterval", kNone, IniSource::Main},
    {"MSG:SNOOZEINTERVAL", "SnoozeInterval", kNone, IniSource::Main},
    {"MSG:USEEXTERNAL", "UseOVMsg", "1", IniSource::Main},
    {"MSG:USEMODAL", "UseModalMessage", "", IniSource::Main},
    {"MSG:USEWIN", "UseWinMessage", kNone, IniSource::Main},
    {"REPORT:IncludeFutureOccurances", "RIFO", kNone, IniSource::Main},
    {"SCRIPT:DELAYLEN", "ScriptingDelay", kNone, IniSource::Main},
    {"SCRIPT:EXCLUDEHIDDENWINDOWS", "ExclHidden", "", IniSource::Main},
    {"SCRIPT:SAVEONCOMPLETION", "SaveScripts", kNone, IniSource::Main},
    {"SCRIPT:TRANSLATEFILENAMES", "TranslateFilenames", kNone, IniSource::Main},
    {"START:ACTIVEONLY", "ActiveOnly", kNone, IniSource::Main},
    {"START:ALLDAYS", "FullSchedule", kNone, IniSource::Main},
    {"START:CLIPBOARD", "StartUpClipboardSaver", kNone, IniSource::Main},
    {"START:CONTACTS", "StartUpContacts", kNone, IniSource::Main},
    {"START:MINIMIZED", "StartUpMinimized", kNone, IniSource::Main},
    {"START:NOSPLASH", "NoSplash", kNone, IniSource::Default},
    {"START:SCHEDULE", "StartUpSchedule", kNone, IniSource::Main, true},
    {"START:TODO", "StartUpToDo", kNone, IniSource::Main},
    {"TASK:HISTORYEXPIRES", "HistoryExpires", kNone, IniSource::Main},
    {"TASK:NEWPROC16", "NewProc16", kNone, IniSource::Main},
    {"TASK:REMOVEUNCOMPLETED", "RemoveUncompleted", kNone, IniSource::Main},
    {"TASK:RESTOREONRUNPROGRAM", "MaximizeOnRun", kNone, IniSource::Main},
    {"TASK:SKIPIFDAYSPASSED", "SkipIfDaysPassed", kNone, IniSource::Main},
    {"TASK:ROUNDING", "Rounding", "Minute", IniSource::Main},
};

std::mutex g_mutex;  // the CF buffer is one per process

class TableConfigFile : public detail::ConfigFile {
 public:
  rt::Err get() override { return CONFIGURATION.get(CF_KeyDataType); }
  // The file manager opens shared (42h) and creates the table when it is missing.
  rt::Err open() override { return Access_CONFIGURATION.TryOpen(); }
  rt::Err add() override { return CONFIGURATION.add(); }
  rt::Err put() override { return CONFIGURATION.put(); }
};

TableConfigFile g_table;
detail::ConfigFile* g_file = &g_table;

// GET by key; a file that isn't open is opened shared once and the GET repeated.
rt::Err fetch(std::string_view key) {
  CF.DataType = key;
  rt::Err err = g_file->get();
  if (err == rt::Err::NotOpen) {
    (void)g_file->open();  // a failed open shows as the repeated GET's error
    CF.DataType = key;
    err = g_file->get();
  }
  return err;
}

// The blank INI name is the runtime's default INI file.
std::string iniValue(std::string_view key, std::string_view deflt, std::optional<std::string_view> iniFile) {
  return rt::GETINI("Settings", key, deflt, iniFile.value_or(std::string_view()));
}

}  // namespace

std::string GETCONFIG(std::string_view key, std::string_view deflt, std::optional<std::string_view> iniFile) {
  std::lock_guard lock(g_mutex);
  rt::Err err = fetch(key);
  if (err == rt::Err::NotFound) {
    CF = ConfigurationRec{};
    CF.DataValue = iniValue(key, deflt, iniFile);
    if (!CF.DataValue.isBlank()) {
      CF.DataType = key;
      if (rt::Err added = g_file->add(); added != rt::Err::None) {
        ui::MESSAGE("Error writing configuration information.  Code " + std::string(key) + " - " +
                        std::string(rt::errorText(added)),
                    "Error!");
      }
    }
  } else if (err != rt::Err::None) {
    // The buffer may hold another key's value here: the caller gets its own default instead.
    ui::MESSAGE("Error retrieving configuration information code " + std::string(String<40>(key).view()) +
                    " - " + std::string(rt::errorText(err)),
                "Error!");
    return std::string(rt::clipView(deflt));
  }
  return CF.DataValue.str();
}

void PUTCONFIG(std::string_view key, std::string_view value, std::optional<std::string_view>) {
  std::lock_guard lock(g_mutex);
  rt::Err err = fetch(key);
  if (err == rt::Err::NotFound) {
    CF = ConfigurationRec{};
    CF.DataType = key;
    CF.DataValue = value;
    err = g_file->add();
  } else if (err == rt::Err::None) {
    CF.DataValue = value;
    err = g_file->put();
  }
  if (err != rt::Err::None) {
    ui::MESSAGE("Error writing configuration information.  Code " + std::string(key) + " - " +
                    std::string(rt::errorText(err)),
                "Error!");
  }
}

std::span<const Setting> settingsTable() { return kSettings; }

void STANDARDCONFIGURATION() {
  for (const Setting& s : kSettings) {
    const GlobalEntry* g = findGlobal(s.global);
    if (g == nullptr) continue;  // every row names a global; the table test holds it to that
    std::string text;
    if (s.key == nullptr) {
      text = rt::GETINI("Debug", "Debug", "", INI.FILENAME.str());
    } else {
      std::optional<std::string_view> ini;
      std::string mainIni = INI.FILENAME.str();
      if (s.source == IniSource::Main) ini = mainIni;
      text = GETCONFIG(s.key, s.deflt ? s.deflt : "", ini);
    }
    if (g->desc.type == rt::FieldType::String) {
      rt::setFieldText(g->address, g->desc, text);  // cut to the global's width
    } else {
      // Flags and numbers take the text's numeric value (0 when it is no number), clamped to
      // what the global holds: "BurstSize" = 300 loads 255, never 44.
      double n = rt::textToNumber(text);
      rt::setFieldNumber(g->address, g->desc, s.inverted ? 1 - n : n);
    }
  }
  if (KEYS.MAXCHARSPERSEND == 0) KEYS.MAXCHARSPERSEND = 7;
  if (SCRIPT.DELAYLEN < 10) SCRIPT.DELAYLEN = 10;
}

namespace detail {

ConfigFile* setConfigFile(ConfigFile* file) {
  std::lock_guard lock(g_mutex);
  ConfigFile* old = g_file == &g_table ? nullptr : g_file;
  g_file = file ? file : &g_table;
  return old;
}

}  // namespace detail
}  // namespace ov::files
