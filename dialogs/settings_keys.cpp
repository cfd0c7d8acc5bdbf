#include "dialogs/settings_keys.h"

#include <algorithm>
#include <string>

#include "datalib/config.h"
#include "datalib/globals.h"
#include "datalib/qv_registry_class.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "scheduler/globals.h"
#include "scheduler/program_body.h"

namespace ov::dialogs {

namespace {

constexpr PictureSample kDateSamples[] = {
    {"Windows Default", "d17"}, {"October 31, 1959", "d4"}, {"OCT 31,1959", "d3"},
    {"10/31/59", "d1"},         {"10/31/1959", "d2"},       {"31 OCT 59", "d7"},
    {"31 OCT 1959", "d8"},      {"31/10/59", "d5"},         {"31/10/1959", "d6"},
    {"Windows Default 2", "d18"},
    // Shown when configured, never offered.
    {"59/10", "d15"}, {"1959/10", "d16"}, {"10/59", "d13"}, {"10/1959", "d14"}, {"Year Only", "n4b"},
};
constexpr size_t kOfferedDates = 10;

constexpr PictureSample kTimeSamples[] = {
    {"17:30", "t1b"},     {"5:30PM", "t3b"},          {"05:30PM", "t03b"},
    {"17:30:00", "t4b"},  {"5:30:00PM", "t6b"},       {"05:30:00PM", "t06b"},
    {"Windows Default", "t7b"}, {"Windows Default (Long)", "t8b"},
};

bool sameText(std::string_view a, std::string_view b) { return rt::CLIP(a) == rt::CLIP(b); }

std::string flag(int v) { return std::to_string(v); }

}  // namespace

std::span<const PictureSample> offeredDateSamples() { return std::span(kDateSamples, kOfferedDates); }
std::span<const PictureSample> offeredTimeSamples() { return kTimeSamples; }

std::string dateSampleFor(std::string_view code) {
  for (const PictureSample& p : kDateSamples)
    if (sameText(p.code, code)) return p.sample;
  return rt::CLIP(code);
}

std::string dateCodeFor(std::string_view sample, std::string_view current) {
  for (const PictureSample& p : kDateSamples)
    if (sameText(p.sample, sample)) return p.code;
  return rt::CLIP(current);
}

std::string timeSampleFor(std::string_view code) {
  for (const PictureSample& p : kTimeSamples)
    if (sameText(p.code, code)) return p.sample;
  return "Windows Default";
}

std::string timeCodeFor(std::string_view sample) {
  for (const PictureSample& p : kTimeSamples)
    if (sameText(p.sample, sample)) return p.code;
  return "t7b";
}

SettingsDialogState openSettingsState() {
  SettingsDialogState s;
  s.password = scheduler::startupSettings().systemPassword;
  s.confirm = scheduler::startupSettings().systemPassword;
  s.sendInterval = files::SCRIPT.DELAYLEN;
  s.burstSize = files::KEYS.MAXCHARSPERSEND;
  s.dateSample = s.dateSampleAtOpen = dateSampleFor(files::FORMAT.DATE.str());
  s.timeSample = s.timeSampleAtOpen = timeSampleFor(files::FORMAT.TIME.str());
  s.hideToolbarAtOpen = files::GLO.HIDETOOLBAR;
  return s;
}

LockCheck checkLockPasswords(bool locked, std::string_view password, std::string_view confirm) {
  if (!locked) return LockCheck::Ok;
  if (rt::CLIP(password.substr(0, 32)) != rt::CLIP(confirm.substr(0, 32))) return LockCheck::Mismatch;
  // A lock without a password would open for an empty entry: no lock at all.
  if (rt::CLIP(password).empty()) return LockCheck::BlankPassword;
  return LockCheck::Ok;
}

SaveOutcome saveSettings(SettingsDialogState& state, const ConfigWriter& writer, const ConfigReader& reader) {
  using namespace files;
  scheduler::StartupSettings& start = scheduler::startupSettings();
  SaveOutcome out;
  out.lock = checkLockPasswords(start.systemLock, state.password.view(), state.confirm.view());
  if (out.lock != LockCheck::Ok) return out;
  if (start.systemLock) start.systemPassword = state.password.str();

  const auto put = [&](std::string_view key, std::string_view value) {
    if (writer)
      writer(key, value);
    else
      PUTCONFIG(key, value);
  };
  const auto get = [&](std::string_view key) { return reader ? reader(key) : GETCONFIG(key); };

  put("SysLock", flag(start.systemLock));
  put("SysPwd", rt::String<32>(start.systemPassword).str());
  put("Rounding", TASK.ROUNDING.str());
  put("NewProc16", flag(TASK.NEWPROC16));
  put("LogExitCodes", flag(LOG.ALLEXITCODES));
  put("SkipIfDaysPassed", flag(TASK.SKIPIFDAYSPASSED));
  put("HistoryExpires", flag(TASK.HISTORYEXPIRES));
  put("RemoveUncompleted", flag(TASK.REMOVEUNCOMPLETED));
  put("StartUpSchedule", flag(1 - START.SCHEDULE));
  put("StartUpToDo", flag(START.TODO));
  put("StartUpClipboardSaver", flag(START.CLIPBOARD));
  put("StartUpContacts", flag(START.CONTACTS));
  put("StartupActive", flag(1 - scheduler::SchedulerActive));
  put("StartUpMinimized", flag(START.MINIMIZED));
  put("MinimizeOnCloseRequest", flag(GLO.TRAYONCLOSE));
  put("FullSchedule", flag(START.ALLDAYS));
  put("HideToolbar", flag(GLO.HIDETOOLBAR));
  put("RIFO", flag(REPORT.IncludeFutureOccurances));
  put("NoTray", flag(GLO.NOTRAY));
  put("SaveScripts", flag(SCRIPT.SAVEONCOMPLETION));
  put("TranslateFilenames", flag(SCRIPT.TRANSLATEFILENAMES));
  put("MaximizeOnRun", flag(TASK.RESTOREONRUNPROGRAM));
  put("UseExternalMessage", flag(MSG.USEEXTERNAL));
  put("UseOVMsg", flag(MSG.USEEXTERNAL));
  put("MultiUser", flag(start.multiUser));
  put("UserID", APP.USERID.str());
  put("LogEvents", flag(LOG.ACTIVE));
  put("MonitorClipboard", flag(CLIP.MONITOR));
  put("UseModalMessage", flag(MSG.USEMODAL));
  put("MaxClipboardEntries", flag(CLIP.MAXENTRIES));
  put("ActiveOnly", flag(START.ACTIVEONLY));
  put("ExclHidden", flag(SCRIPT.EXCLUDEHIDDENWINDOWS));
  put("Sender", EMAIL.SENDER.str());
  put("SenderName", EMAIL.SENDERNAME.str());
  put("Host", EMAIL.HOST.str());
  put("Org", EMAIL.ORGANIZATION.str());
  put("NPassword", NEWS.PASSWORD.str());
  put("NUser", NEWS.USER.str());
  put("NSender", NEWS.SENDER.str());
  put("NSenderName", NEWS.SENDERNAME.str());
  put("NHost", NEWS.HOST.str());
  put("NOrg", NEWS.ORGANIZATION.str());
  out.toolbarChanged = GLO.HIDETOOLBAR != state.hideToolbarAtOpen;

  put("NoSplash", flag(START.NOSPLASH));
  if (MSG.REPEATALARMINTERVAL != 0 && MSG.REPEATALARMINTERVAL < 5) MSG.REPEATALARMINTERVAL = 5;
  put("RepeatAlarmInterval", flag(MSG.REPEATALARMINTERVAL));
  put("MaxAlarmTime", flag(MSG.MAXALARMTIME));
  put("SnoozeInterval", flag(MSG.SNOOZEINTERVAL));
  put("ScriptingDelay", flag(state.sendInterval));
  put("BurstSize", flag(state.burstSize));
  put("UseMAPI", flag(EMAIL.USEMAPI));
  put("UseMAPINoBCC", flag(EMAIL.USEMAPINOBCC));
  put("UseNTEventLog", flag(LOG.USENTEVENT));
  put("MAPIName", EMAIL.MAPINAME.str());
  put("MAPIPassword", EMAIL.MAPIPASSWORD.str());
  put("SMTPName", EMAIL.SMTPNAME.str());
  put("SMTPPassword", EMAIL.SMTPPASSWORD.str());

  SCRIPT.DELAYLEN = std::max<int32_t>(int32_t(rt::textToNumber(get("ScriptingDelay"))), 10);
  const double burst = std::clamp(rt::textToNumber(get("BurstSize")), 0.0, 255.0);
  KEYS.MAXCHARSPERSEND = burst == 0 ? 7 : uint8_t(burst);
  put("AltFmt", flag(start.explorerScheduleView));

  out.dateChanged = state.dateSample != state.dateSampleAtOpen;
  if (out.dateChanged) {
    FORMAT.DATE = dateCodeFor(state.dateSample, FORMAT.DATE.str());
    put("DateFormat", FORMAT.DATE.str());
  }
  out.timeChanged = state.timeSample != state.timeSampleAtOpen;
  if (out.timeChanged) {
    FORMAT.TIME = timeCodeFor(state.timeSample);
    put("TimeFormat", FORMAT.TIME.str());
  }
  put("CM:Mode", CLIP.DEFAULTACTION.str());
  put("CM:OnTop", flag(CLIP.ONTOP));
  put("CM:UseEx", flag(CLIP.USEEXTERNAL));
  put("MaxLogSize", flag(LOG.MAXSIZE));

  // The service program is looked for where the frame looks for it: beside this program.
  if (rt::EXISTS(EXEPATH.str() + "/OVNT.EXE"))
    (void)rt::PUTINI("Main", "Last Update",
                     rt::FORMAT(rt::TODAY(), "@d17") + " " + rt::FORMAT(rt::CLOCK(), "@t4"), ".\\OVNT.INI");
  return out;
}

void loadRegistryEmailDefaults() {
  using files::EMAIL;
  files::QVRegistryClass registry;
  registry.Init(1);
  if (EMAIL.HOST.isBlank()) EMAIL.HOST = registry.GetEmailServer();
  if (EMAIL.SENDERNAME.isBlank() && EMAIL.SENDER.isBlank()) EMAIL.SENDERNAME = registry.GetRegUserName();
  if (EMAIL.SENDER.isBlank()) {
    EMAIL.SENDER = registry.GetEmailReplyToAddress();
    if (EMAIL.SENDER.isBlank()) EMAIL.SENDER = registry.GetEmailAddress();
  }
  if (files::NEWS.SENDER.isBlank()) files::NEWS.SENDER = EMAIL.SENDER.str();
  registry.Kill();
}

}  // namespace ov::dialogs
