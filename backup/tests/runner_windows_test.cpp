// The runner's windows offscreen under the scripted host: a backup and a restore picked in Main,
// the look-up dialog, Cancel in the middle of a backup, and the program itself run as a process.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "backup/runner_windows.h"
#include "backup/tests/test_util.h"
#include "platform/os/instance_lock.h"
#include "platform/os/win_msg.h"
#include "platform/rt/command_line.h"
#include "platform/rt/date_time.h"
#include "platform/rt/paths.h"
#include "platform/ui/host.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "platform/ui/window.h"

using namespace ov::backup;
using namespace ov::backup::test;
using ov::ui::BUTTON::Ok;
using ov::ui::test::Driver;
using ov::ui::test::runScript;
using ov::ui::test::ScriptedHost;
using ov::ui::test::WindowDriver;

namespace {

class BackupRunnerWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    ov::ui::test::application();
    GLO = {};
    writeFile(scratch.work() / "RO97.ZEZ", std::string(2000, 'r'));
    writeFile(scratch.work() / "OVCLPBRD.TPS", std::string(4000, 'c'));
  }
  Scratch scratch;
};

TEST_F(BackupRunnerWindows, BackupPickedInMainThenRestoreFromTheLookUp) {
  ScriptedHost host;
  int exitCode = -1;
  runScript([&](Driver& d) {
    ov::rt::setCommandLine("qmtback");
    d.later([&] {
      MainPlan plan = MainSetup(readRunnerCommand());
      BackupMainWindow w(readRunnerCommand(), plan.folder);
      w.Run();
      exitCode = w.exitCode();
    });
    WindowDriver main = d.waitWindow("Main");
    EXPECT_EQ(main.title(), "Backup / Restore");
    EXPECT_EQ(main.text("?GLO:ArchiveName"), "Backup.zip");
    EXPECT_EQ(main.choice("?GLO:Operation"), 1);
    main.type("?GLO:ArchiveName", "week.zip");
    host.expectMessage("Files were backed up successfully.", Ok);
    main.press("?OK");
    d.waitClosed(main, std::chrono::seconds(20));
  });
  EXPECT_EQ(exitCode, kExitSucceeded);
  EXPECT_EQ(zipNames(scratch.work() / "week.zip"), (std::set<std::string>{"OVCLPBRD.TPS", "RO97.ZEZ"}));
  EXPECT_EQ(GLO.ArchiveName, "week.zip") << "a window run keeps what the user chose";

  // Restore: picked by its radio, the archive chosen with the look-up, into a new folder.
  fs::create_directories(scratch.work() / "back");
  fs::current_path(scratch.work() / "back");
  runScript([&](Driver& d) {
    ov::rt::setCommandLine("qmtback");
    d.later([&] {
      BackupMainWindow w(readRunnerCommand(), ov::rt::SHORTPATH(ov::rt::PATH()));
      w.Run();
      exitCode = w.exitCode();
    });
    WindowDriver main = d.waitWindow("Main");
    main.press("&Restore from an archive");
    host.expectFile("Select Archive (Restore from...)", {(scratch.work() / "week.zip").string()});
    main.press("?LookupArchive");
    EXPECT_EQ(main.text("?GLO:ArchiveName"), (scratch.work() / "week.zip").string());
    host.expectMessage("Files were restored successfully.", Ok);
    main.press("?OK");
    d.waitClosed(main, std::chrono::seconds(20));
  });
  EXPECT_EQ(exitCode, kExitSucceeded);
  EXPECT_EQ(GLO.Operation, kRestoreOperation);
  EXPECT_EQ(readFile(scratch.work() / "back" / "OVCLPBRD.TPS"), std::string(4000, 'c'));
}

TEST_F(BackupRunnerWindows, ARefusedRestoreKeepsMainOpenForASecondTry) {
  ScriptedHost host;
  ov::rt::setCommandLine("qmtback BACKUP=keep.zip");
  ASSERT_EQ(BackupOperation(MainSetup(readRunnerCommand()).backup).RunNow(), kExitSucceeded);
  writeFile(scratch.work() / "RO97.ZEZ", "changed since the backup");
  // The main program runs on this folder.
  auto mainProgram = std::make_unique<ov::os::InstanceLock>();
  ASSERT_EQ(mainProgram->acquire(ov::os::InstanceLock::dataFolderName(fs::canonical(scratch.work()).string())),
            ov::os::winerr::kSuccess);
  int exitCode = -1;
  GLO = {"keep.zip", kRestoreOperation};
  runScript([&](Driver& d) {
    ov::rt::setCommandLine("qmtback");
    d.later([&] {
      BackupMainWindow w(readRunnerCommand(), ov::rt::SHORTPATH(ov::rt::PATH()));
      w.Run();
      exitCode = w.exitCode();
    });
    WindowDriver main = d.waitWindow("Main");
    host.expectMessage("ov98 is running on the data folder", Ok);
    main.press("?OK");
    ASSERT_TRUE(d.waitUntil([&] { return host.messages().size() == 1; }, std::chrono::seconds(20)));
    d.settle();
    EXPECT_TRUE(main.isOpen());
    EXPECT_EQ(readFile(scratch.work() / "RO97.ZEZ"), "changed since the backup");
    // ov98 closed: the same OK now restores.
    mainProgram.reset();
    host.expectMessage("Files were restored successfully.", Ok);
    main.press("?OK");
    d.waitClosed(main, std::chrono::seconds(20));
  });
  EXPECT_EQ(exitCode, kExitSucceeded);
  EXPECT_EQ(readFile(scratch.work() / "RO97.ZEZ"), std::string(2000, 'r'));
}

TEST_F(BackupRunnerWindows, CancelInTheMiddleOfABackupLeavesNoArchive) {
  // Enough incompressible data that the library is still at work when Cancel arrives.
  std::mt19937 random(7);
  std::string block(1 << 20, '\0');
  for (int i = 0; i < 80; ++i) {
    for (char& c : block) c = static_cast<char>(random());
    writeFile(scratch.work() / "big" / ("part" + std::to_string(100 + i) + ".TPS"), block);
  }
  ScriptedHost host;
  int exitCode = -1;
  runScript(
      [&](Driver& d) {
        ov::rt::setCommandLine("qmtback BACKUP=big.zip PATH=big /V");
        d.later([&] {
          BackupWindow w(MainSetup(readRunnerCommand()).backup);
          w.Run();
          exitCode = w.exitCode();
        });
        WindowDriver progress = d.waitWindow("Backup");
        EXPECT_EQ(progress.title(), "Archiving...");
        // Wait until the list shows the first files done, then cancel.
        ov::ui::Window* window = nullptr;
        progress.with([&](ov::ui::Window& w) { window = &w; });
        EXPECT_TRUE(d.waitUntil([&] { return !window->control("?File")->screenText().empty(); },
                                std::chrono::seconds(20)));
        EXPECT_NE(progress.text("?Status").find("From "), std::string::npos);
        host.expectMessage("An internal errorcode of -30 was reported.", Ok);
        host.expectMessage("The operation was cancelled.", Ok);
        progress.press("?Cancel");
        d.waitClosed(progress, std::chrono::seconds(30));
      },
      std::chrono::seconds(60));
  EXPECT_EQ(exitCode, kExitCancelled);
  EXPECT_FALSE(fs::exists(scratch.work() / "big.zip"));
}

TEST_F(BackupRunnerWindows, TheProgramsExitCodeSaysWhetherTheRunWorked) {
  const std::string program = std::string(OV_BIN_DIR) + "/qmtback";
  const std::string env = "cd '" + scratch.work().string() + "' && XDG_CONFIG_HOME='" +
                          (scratch.root() / "config").string() + "' QT_QPA_PLATFORM=offscreen timeout 60 ";
  int status = -1;
  std::string out = run(env + program + " \"BACKUP=" + (scratch.work() / "p.zip").string() + "\"", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(zipNames(scratch.work() / "p.zip"), (std::set<std::string>{"OVCLPBRD.TPS", "RO97.ZEZ"}));

  writeFile(scratch.work() / "bad.zip", "not an archive at all, just text");
  out = run(env + program + " RESTORE=bad.zip PATH=out", &status);
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("Unzip Error: An error prevented unzipping files from bad.zip"), std::string::npos) << out;
  EXPECT_NE(out.find("ZIP format error."), std::string::npos) << out;
}

}  // namespace
