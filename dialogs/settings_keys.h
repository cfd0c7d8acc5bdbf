// What the settings dialog (Setup) does besides showing its controls: the date and time pictures
// offered by sample text, the system-lock password check, and the save, which writes every
// setting through PUTCONFIG in one fixed order. The next start reads the same keys back
// (STANDARDCONFIGURATION, LoadConfiguration), so the key names and the form of each value are
// load-bearing.
//
// The dialog edits the live globals (datalib/globals.h, the scheduler's start-up settings and
// SchedulerActive); the save takes its values from there and from SettingsDialogState.
//
// Threading: the frame's thread (the configuration globals are not locked).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "platform/rt/fixed_string.h"

namespace ov::dialogs {

// One picture of the date or time lists: the sample the list shows and the picture code.
struct PictureSample {
  const char* sample;
  const char* code;
};

// The date samples offered by the list, in list order.
std::span<const PictureSample> offeredDateSamples();
// The time samples offered by the list, in list order.
std::span<const PictureSample> offeredTimeSamples();

// The sample shown for a FORMAT:DATE code: the codes d13 to d16 and n4b, not offered, still show
// their sample; an unknown code shows as itself.
std::string dateSampleFor(std::string_view code);
// The code of a date sample; a text that is no sample gives `current`.
std::string dateCodeFor(std::string_view sample, std::string_view current);
// The sample shown for a FORMAT:TIME code; an unknown code shows "Windows Default".
std::string timeSampleFor(std::string_view code);
// The code of a time sample; a text that is no sample gives "t7b".
std::string timeCodeFor(std::string_view sample);

// The dialog's own values beside the live globals.
struct SettingsDialogState {
  rt::String<32> password;  // the system-lock password and its confirmation
  rt::String<32> confirm;
  int32_t sendInterval = 0;  // hundredths of a second between script steps ("ScriptingDelay")
  int32_t burstSize = 0;     // characters per send group ("BurstSize")
  std::string dateSample, dateSampleAtOpen;
  std::string timeSample, timeSampleAtOpen;
  uint8_t hideToolbarAtOpen = 0;
};

// Fills the state from the live globals as the dialog opens.
SettingsDialogState openSettingsState();

enum class LockCheck : uint8_t {
  Ok,
  Mismatch,       // "The system lock passwords do not match."
  BlankPassword,  // the lock is on and no password was given
};
// With the lock on: the password and its confirmation must be equal (case counts, trailing blanks
// do not) and not blank. With the lock off anything passes.
LockCheck checkLockPasswords(bool locked, std::string_view password, std::string_view confirm);

// How the settings are stored: PUTCONFIG unless a test records the writes.
using ConfigWriter = std::function<void(std::string_view key, std::string_view value)>;
// How a setting is read back: GETCONFIG unless a test answers.
using ConfigReader = std::function<std::string(std::string_view key)>;

struct SaveOutcome {
  LockCheck lock = LockCheck::Ok;  // anything but Ok: nothing was written
  bool toolbarChanged = false;     // post EVENT:ToolbarChanged to the frame
  bool dateChanged = false;        // the date format changed (message for the user)
  bool timeChanged = false;
};

// OK of the dialog: checks the lock passwords (nothing written when they fail), takes the
// password when the lock is on, and writes the keys in their fixed order; applies the floors
// (a repeat-alarm interval of 1 to 4 seconds is 5; the send interval read back is at least 10 and
// a characters-per-group of 0 is 7) and the new date and time pictures; writes "Last Update" of
// OVNT.INI when the service program lies in the program's folder.
SaveOutcome saveSettings(SettingsDialogState& state, const ConfigWriter& put = {}, const ConfigReader& get = {});

// Fills blank e-mail settings from the system's default mail account: the host, the sender's
// name (the registered owner, when name and address are both blank), the reply-to address (else
// the account's address), and the news reply-to address from the e-mail one.
void loadRegistryEmailDefaults();

}  // namespace ov::dialogs
