// The backup runner without windows: its command line as a table, the set-up of a backup and a
// restore, real round trips over a temporary tree with Info-ZIP as the oracle, the result boxes,
// quiet runs that never show a box, and the error texts.
#include <gtest/gtest.h>

#include <vector>

#include "backup/backup_runner.h"
#include "backup/zip_error_text.h"
#include "backup/tests/test_util.h"
#include "platform/rt/command_line.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/ui/host.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"

using namespace ov::backup;
using namespace ov::backup::test;
using ov::ui::BUTTON::Ok;
using ov::ui::test::ScriptedHost;

namespace {

std::vector<std::string> g_log;
void captureLog(const std::string& line) { g_log.push_back(line); }

class BackupRunner : public ::testing::Test {
 protected:
  void SetUp() override {
    ov::ui::test::application();
    g_log.clear();
    setQuietLog(captureLog);
    GLO = {};
    ov::rt::setTestClock(ov::rt::DATE(12, 10, 2026), 1);
    // A data folder with tables, a setting file and a sub-folder.
    writeFile(scratch.work() / "data" / "RO97.ZEZ", std::string(3000, 'r'));
    writeFile(scratch.work() / "data" / "OVCLPBRD.TPS", std::string(9000, 'c'));
    writeFile(scratch.work() / "data" / "notes.tps", "lower-case name");
    writeFile(scratch.work() / "data" / "old.bak", "backup copy");
    writeFile(scratch.work() / "data" / "OV98.INI", "[Settings]");
    writeFile(scratch.work() / "data" / "arch" / "2025.TPS", std::string(500, '5'));
    writeFile(scratch.work() / "data" / "arch" / "2025.BAK", "old");
  }
  void TearDown() override {
    setQuietLog(nullptr);
    ov::rt::clearTestClock();
  }
  MainPlan plan(const std::string& line) {
    ov::rt::setCommandLine("qmtback " + line);
    return MainSetup(readRunnerCommand());
  }
  Scratch scratch;
};

TEST_F(BackupRunner, CommandLineKeysAndSwitches) {
  const std::string here = ov::rt::SHORTPATH(ov::rt::PATH());
  struct Case {
    const char* name;
    const char* line;
    MainPlan::Kind kind;
    const char* archive;
    const char* files;
    const char* exclusion;
    const char* folder;  // "" = the current folder
    bool subfolders, quiet, verbose;
  };
  const Case cases[] = {
      {"backup alone: every file, quiet", "BACKUP=a.zip", MainPlan::Kind::Backup, "a.zip", "*.*", "", "", false, true, false},
      {"backup wins over restore", "RESTORE=r.zip BACKUP=a.zip", MainPlan::Kind::Backup, "a.zip", "*.*", "", "",
       false, true, false},
      {"keys and switches in any case and order", "/v files=*.INI;*.TPS /s path=/x exclude=*.BAK backup=\"b c.zip\" /verbose",
       MainPlan::Kind::Backup, "b c.zip", "*.INI;*.TPS", "*.BAK", "/x", true, false, true},
      {"restore: *.*, quiet, sub-folders", "RESTORE=r.zip EXCLUDE=*.BAK", MainPlan::Kind::Restore, "r.zip", "*.*", "", "",
       true, true, false},
      {"restore /NOSUB /V", "RESTORE=r.zip /NOSUB /V FILES=*.TPS", MainPlan::Kind::Restore, "r.zip", "*.TPS", "", "",
       false, false, false},
      {"/VOID is not /V", "BACKUP=a.zip /VOID", MainPlan::Kind::Backup, "a.zip", "*.*", "", "", false, true, false},
      {"no archive: the window", "/S FILES=*.x", MainPlan::Kind::Window, "", "", "", "", false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GLO = {"kept.zip", "Restore"};
    MainPlan p = plan(c.line);
    ASSERT_EQ(p.kind, c.kind);
    EXPECT_EQ(p.folder, *c.folder ? std::string(c.folder) : here);
    if (c.kind == MainPlan::Kind::Backup) {
      EXPECT_EQ(p.backup.archive, c.archive);
      EXPECT_EQ(p.backup.fileSpec, c.files);
      EXPECT_EQ(p.backup.exclusion, c.exclusion);
      EXPECT_EQ(p.backup.subfolders, c.subfolders);
      EXPECT_EQ(p.backup.quiet, c.quiet);
      EXPECT_EQ(p.backup.verbose, c.verbose);
    } else if (c.kind == MainPlan::Kind::Restore) {
      EXPECT_EQ(p.restore.archive, c.archive);
      EXPECT_EQ(p.restore.fileSpec, c.files);
      EXPECT_EQ(p.restore.subfolders, c.subfolders);
      EXPECT_EQ(p.restore.quiet, c.quiet);
    }
    // A command-line run never changes the preserved values; the window keeps them too.
    EXPECT_EQ(GLO.ArchiveName, "kept.zip");
    EXPECT_EQ(GLO.Operation, "Restore");
  }
  // Empty preserved values get their defaults when the window opens.
  GLO = {};
  EXPECT_EQ(plan("").kind, MainPlan::Kind::Window);
  EXPECT_EQ(GLO.ArchiveName, "Backup.zip");
  EXPECT_EQ(GLO.Operation, "Backup to an archive");
  // A window backup takes "/S" and "/VERBOSE" but is never quiet.
  ov::rt::setCommandLine("qmtback /S /VERBOSE");
  BackupJob w = BackupSetup(readRunnerCommand(), "w.zip", "", "", here);
  EXPECT_TRUE(w.subfolders && w.verbose && !w.quiet);
  EXPECT_EQ(w.fileSpec, "*.*");
  RestoreJob r = RestoreSetup(readRunnerCommand(), "w.zip", "", here);
  EXPECT_TRUE(r.subfolders && !r.quiet);
}

TEST_F(BackupRunner, FileSpecificationsAndTheArchiverCommand) {
  struct Split {
    const char* spec;
    std::vector<std::string> want;
  };
  const Split splits[] = {{"*.TPS", {"*.TPS"}},
                          {"*.TPS;*.INI", {"*.TPS", "*.INI"}},
                          {"*.TPS;;*.INI", {"*.TPS", "*.INI"}},
                          {"*.TPS; *.INI;", {"*.TPS", "*.INI"}},
                          {"", {"*.*"}},
                          {";;", {"*.*"}}};
  for (const Split& s : splits) EXPECT_EQ(splitFileSpec(s.spec, "*.*"), s.want) << s.spec;

  struct Advanced {
    std::vector<std::string> words;
    const char* want;
  };
  const Advanced advanced[] = {
      {{"RO97.ZEZ", "", ""}, "QMTBACKA.EXE RO97.ZEZ \"\" \"\""},
      {{"\"my file.tps\"", "a/b", "x  "}, "QMTBACKA.EXE \"my file.tps\" \"a/b\" x"},
  };
  for (const Advanced& a : advanced) {
    RunnerCommand c;
    for (int i = 0; i < 3; ++i) c.args[i] = a.words[i];
    EXPECT_EQ(advancedCommand(c), a.want);
  }
}

TEST_F(BackupRunner, BackupSetUpPrefixesARelativeArchiveAndSplitsEveryPattern) {
  ScriptedHost host;
  const std::string start = ov::rt::SHORTPATH(ov::rt::PATH());
  ov::rt::setCommandLine("qmtback BACKUP=b.zip PATH=data \"FILES=*.TPS;;my data.*\" EXCLUDE=*.BAK;ov98.ini /S");
  MainPlan p = MainSetup(readRunnerCommand());
  {
    BackupOperation op(p.backup);
    ASSERT_TRUE(op.Prepare());
    EXPECT_EQ(ov::rt::SHORTPATH(ov::rt::PATH()), start + "/data") << "the folder is current while zipping";
    EXPECT_EQ(op.archiveName(), start + "/b.zip");
    EXPECT_EQ(op.zip().SZFILESPEC, "*.TPS \"my data.*\"");
    EXPECT_EQ(op.zip().SZEXCFILESPEC, "*.BAK ov98.ini");
    EXPECT_EQ(op.zip().LFLAG, 1ul | 0x80000 | 0x10000 | 128 | 2048 | 32);
    EXPECT_EQ(op.statusLine(), "From " + start + "/data with Subfolders in QuietMode: *.TPS;;my data.*");
    op.Close();
  }
  EXPECT_EQ(ov::rt::SHORTPATH(ov::rt::PATH()), start) << "the folder is current again";
}

TEST_F(BackupRunner, BackupAndRestoreRoundTripWithInfoZipAsOracle) {
  ScriptedHost host;  // a quiet run shows nothing: any box fails the test
  ov::rt::setCommandLine("qmtback BACKUP=b.zip PATH=data /S EXCLUDE=*.bak;OV98.* FILES=*.TPS;*.ZEZ;*.INI");
  MainPlan p = MainSetup(readRunnerCommand());
  EXPECT_EQ(BackupOperation(p.backup).RunNow(), kExitSucceeded);
  int status = -1;
  std::string out = run("unzip -t b.zip", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Backup made 12/10/26"), std::string::npos) << out;
  EXPECT_EQ(zipNames(scratch.work() / "b.zip"),
            (std::set<std::string>{"RO97.ZEZ", "OVCLPBRD.TPS", "notes.tps", "arch/2025.TPS"}));

  ov::rt::setCommandLine("qmtback RESTORE=b.zip PATH=restored");
  p = MainSetup(readRunnerCommand());
  EXPECT_EQ(RestoreOperation(p.restore).RunNow(), kExitSucceeded);
  for (const char* f : {"RO97.ZEZ", "OVCLPBRD.TPS", "notes.tps", "arch/2025.TPS"})
    EXPECT_EQ(readFile(scratch.work() / "restored" / f), readFile(scratch.work() / "data" / f)) << f;

  // /NOSUB: every file into the folder itself.
  ov::rt::setCommandLine("qmtback RESTORE=b.zip PATH=flat /NOSUB FILES=*.TPS");
  p = MainSetup(readRunnerCommand());
  EXPECT_EQ(RestoreOperation(p.restore).RunNow(), kExitSucceeded);
  EXPECT_TRUE(fs::exists(scratch.work() / "flat" / "2025.TPS"));
  EXPECT_FALSE(fs::exists(scratch.work() / "flat" / "RO97.ZEZ"));
  EXPECT_TRUE(g_log.empty());
}

TEST_F(BackupRunner, RestoreToDotDotGoesToTheParentWrittenOut) {
  ScriptedHost host;
  ov::rt::setCommandLine("qmtback BACKUP=b.zip PATH=data");
  EXPECT_EQ(BackupOperation(MainSetup(readRunnerCommand()).backup).RunNow(), kExitSucceeded);
  fs::current_path(scratch.work() / "data");
  ov::rt::setCommandLine("qmtback RESTORE=../b.zip PATH=..");
  MainPlan p = MainSetup(readRunnerCommand());
  RestoreOperation op(p.restore);
  op.Prepare();
  EXPECT_EQ(op.folder(), ov::rt::SHORTPATH(scratch.work().string()) + "/");
  EXPECT_EQ(op.Finish(op.Run()), kExitSucceeded);
  op.Close();
  EXPECT_EQ(readFile(scratch.work() / "OVCLPBRD.TPS"), readFile(scratch.work() / "data" / "OVCLPBRD.TPS"));
}

TEST_F(BackupRunner, QuietFailuresLogAndEndNonZeroWithoutABox) {
  ScriptedHost host;  // no expectations: a box would fail the test
  writeFile(scratch.work() / "junk.zip", std::string(100, 'j'));
  ov::rt::setCommandLine("qmtback RESTORE=junk.zip PATH=out");
  EXPECT_EQ(RestoreOperation(MainSetup(readRunnerCommand()).restore).RunNow(), kExitFailed);
  ASSERT_EQ(g_log.size(), 1u);
  EXPECT_NE(g_log[0].find("junk.zip"), std::string::npos) << g_log[0];
  EXPECT_NE(g_log[0].find("-2"), std::string::npos) << g_log[0];

  g_log.clear();
  ov::rt::setCommandLine("qmtback BACKUP=b.zip PATH=data FILES=*.none");
  EXPECT_EQ(BackupOperation(MainSetup(readRunnerCommand()).backup).RunNow(), kExitFailed);
  ASSERT_EQ(g_log.size(), 1u);
  EXPECT_NE(g_log[0].find("Zip Error"), std::string::npos) << g_log[0];

  g_log.clear();
  ov::rt::setCommandLine("qmtback BACKUP=b.zip PATH=no-such-folder");
  EXPECT_EQ(BackupOperation(MainSetup(readRunnerCommand()).backup).RunNow(), kExitFailed);
  ASSERT_EQ(g_log.size(), 1u);
  EXPECT_NE(g_log[0].find("no-such-folder"), std::string::npos) << g_log[0];
  EXPECT_FALSE(fs::exists(scratch.work() / "b.zip")) << "nothing was zipped from the wrong folder";
}

TEST_F(BackupRunner, ShownRunsReportTheResultInBoxes) {
  ScriptedHost host;
  host.expectMessage("Files were backed up successfully.", Ok);
  ov::rt::setCommandLine("qmtback BACKUP=b.zip PATH=data /V");
  EXPECT_EQ(BackupOperation(MainSetup(readRunnerCommand()).backup).RunNow(), kExitSucceeded);

  host.expectMessage("An error prevented zipping files to", Ok);
  host.expectMessage("An error prevented zipping files (*.none) to \"", Ok);
  ov::rt::setCommandLine("qmtback BACKUP=b.zip PATH=data /V FILES=*.none");
  EXPECT_EQ(BackupOperation(MainSetup(readRunnerCommand()).backup).RunNow(), kExitFailed);
  auto boxes = host.messages();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[2].title, "Backup (Zip) Error");
  EXPECT_NE(boxes[2].text.find("Nothing to do.\nAn internal errorcode of -167 was reported."), std::string::npos)
      << boxes[2].text;

  host.expectMessage("An error prevented unzipping files from", Ok);
  host.expectMessage("If the error persists, the zip file may not be usable.", Ok);
  ov::rt::setCommandLine("qmtback RESTORE=missing.zip /V");
  EXPECT_EQ(RestoreOperation(MainSetup(readRunnerCommand()).restore).RunNow(), kExitFailed);

  // Cancel: the library ends with -30 and the run says it was cancelled.
  ov::rt::setCommandLine("qmtback BACKUP=c.zip PATH=data /V");
  BackupOperation op(MainSetup(readRunnerCommand()).backup);
  op.Prepare();
  op.zip().Cancel();
  host.expectMessage("An internal errorcode of -30", Ok);
  host.expectMessage("Files were not backed up successfully.  The operation was cancelled.", Ok);
  EXPECT_EQ(op.Finish(op.Run()), kExitCancelled);
  op.Close();
  EXPECT_FALSE(fs::exists(scratch.work() / "c.zip"));
  EXPECT_TRUE(g_log.empty());
}

TEST_F(BackupRunner, PreservedValuesLiveInTheIniFile) {
  GLO = {"/x/y.zip", "Restore from an archive"};
  savePreserved();
  GLO = {};
  loadPreserved();
  EXPECT_EQ(GLO.ArchiveName, "/x/y.zip");
  EXPECT_EQ(GLO.Operation, "Restore from an archive");
  EXPECT_EQ(ov::rt::GETINI("Preserved", "GLO:ArchiveName", "", "QMTBACK.INI"), "/x/y.zip");
}

TEST(ZipErrorText, KnownUnknownAndEmpty) {
  struct Case {
    long code;
    const char* text;
  };
  const Case cases[] = {{0, ""},
                        {-30, "Application cancelled operation."},
                        {-157, "Cannot support multiple volumes on this device."},
                        {-189, "Replave archive error."},
                        {-803, "Can\u00b4t modify Self-Extracting archive"},
                        {-805, "Can\u00b4t modify elf-Extracting archive"},
                        {-15, "CRC-32 error."},
                        {-61, "Bad or missing decryption key."},
                        {-999, "Unknown error code #-999"},
                        {-160, "Unknown error code #-160"},
                        {7, "Unknown error code #7"}};
  for (const Case& c : cases) EXPECT_EQ(ZipErrorText(c.code), c.text) << c.code;
}

TEST(BackupZipClass, SpecListsAndOptions) {
  BackupZipClass z;
  z.Init();
  z.AddFirstSpec("*.TPS   ");
  z.AddSpec("my file.txt");
  z.AddSpec("b");
  EXPECT_EQ(z.SZFILESPEC, "*.TPS \"my file.txt\" b");
  z.AddFirstSpec("only");
  EXPECT_EQ(z.SZFILESPEC, "only");
  z.AddExclude("*.bak ");
  z.AddExclude("old files");
  EXPECT_EQ(z.SZEXCFILESPEC, "*.bak \"old files\"");
  z.SetOption(1 | 128);
  z.SetOption(2048);
  EXPECT_EQ(z.LFLAG, 1ul | 128 | 2048);
  z.SetOption(0);
  EXPECT_EQ(z.LFLAG, 0ul) << "0 clears every bit";
  EXPECT_EQ(z.LCOMPRESSIONLEVEL, 6);
  z.Kill();

  BackupUnzipClass u;
  u.Init();
  u.AddFirstSpec("");
  EXPECT_EQ(u.SZFILESPEC, "") << "an empty pattern adds nothing";
  u.AddSpec("a b");
  EXPECT_EQ(u.SZFILESPEC, "\"a b\"");
  EXPECT_EQ(u.SetOption(2), 1);
  EXPECT_EQ(u.SetOption(2 | 16), 0) << "bits already set are refused";
  EXPECT_EQ(u.LFLAG, 2ul);
  EXPECT_EQ(u.OptionClear(16), 1);
  EXPECT_EQ(u.OptionClear(2), 0);
  u.Kill();
}

}  // namespace
