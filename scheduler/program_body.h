// The main program's life: the data folder, one instance per data folder, the managers, the frame,
// and the teardown; and the configuration the scheduler loads before anything runs.
#pragma once

#include <string>
#include <string_view>

namespace ov::scheduler {

// The instance name for a data folder: a braced 38-character name whose 32 digits are worked from
// "OV" + the folder's canonical path, upper-cased.
std::string instanceMutexName(std::string_view folder);

// What LoadConfiguration settled beside the data library's globals.
struct StartupSettings {
  bool systemLock = false;
  std::string systemPassword;
  bool gsa = false;
  bool explorerScheduleView = false;
  bool multiUser = false;
};
StartupSettings& startupSettings();

// Loads the system lock, SchedulerActive ("StartupActive", "/I"), the user (MultiUser, UserID,
// User=) and makes sure the user has a USERS record.
void LoadConfiguration();
void EnsureUserRecord();

// The whole program; returns its exit code.
int ProgramBody(int argc, char** argv);

}  // namespace ov::scheduler
