#include "datalib/prepare_script_record.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include "datalib/globals.h"
#include "datalib/program_hooks.h"
#include "datalib/script_status.h"
#include "platform/rt/date_time.h"
#include "platform/rt/process.h"
#include "platform/rt/secret_file.h"

using namespace ov::files;
using Args = std::vector<std::string>;

namespace {

struct TempDir {
  std::string path;
  explicit TempDir(const char* tmplName = "/tmp/ov_prepare_XXXXXX") {
    std::string tmpl = tmplName;
    path = ::mkdtemp(tmpl.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  void touch(const std::string& name) const { std::ofstream(path + "/" + name) << "#!/bin/sh\n"; }
};

// The program's own folder holding the companions (one of them in upper case), the settings and
// hooks as a test needs them, all restored afterwards.
struct Fixture {
  TempDir exe;
  TempDir runtime{"/tmp/ov_runtime_XXXXXX"};  // where the password files go
  std::string oldRuntime;
  std::vector<std::pair<std::string, std::string>> log;
  bool hidden = false;
  EventLogWriter oldWriter;
  WindowHiddenProbe oldProbe;

  Fixture() {
    if (const char* r = std::getenv("XDG_RUNTIME_DIR")) oldRuntime = r;
    ::setenv("XDG_RUNTIME_DIR", runtime.path.c_str(), 1);
    for (const char* name : {"ov_pop", "OVFTP", "qmtback", "tessel", "httpget.exe"}) exe.touch(name);
    EXEPATH = exe.path + "/";
    EMAIL.USEMAPI = 1;
    oldWriter = setEventLogWriter([this](std::string_view text, std::string_view label) {
      log.emplace_back(std::string(text), std::string(label));
    });
    oldProbe = setWindowHiddenProbe([this] { return hidden; });
  }
  ~Fixture() {
    if (oldRuntime.empty()) ::unsetenv("XDG_RUNTIME_DIR");
    else ::setenv("XDG_RUNTIME_DIR", oldRuntime.c_str(), 1);
    EXEPATH.clear();
    EMAIL.USEMAPI = 0;
    setEventLogWriter(std::move(oldWriter));
    setWindowHiddenProbe(std::move(oldProbe));
  }
  std::string dir() const { return exe.path + "/"; }
  // The password files waiting to be read.
  size_t secretFiles() const {
    std::error_code ec;
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(runtime.path + "/orvane", ec)) ++n;
    return n;
  }
};

// The words of a prepared command line, each "PASSWORDFILE=<file>" read (as the companion reads
// it, deleting the file) and shown as "<password: ...>".
Args withPasswords(Args words) {
  for (std::string& w : words) {
    if (!w.starts_with("PASSWORDFILE=")) continue;
    std::string secret, error;
    EXPECT_TRUE(ov::rt::takeSecretFile(w.substr(13), secret, &error)) << error;
    w = "<password: " + secret + ">";
  }
  return words;
}
Args wordsWithPasswords(std::string_view command) { return withPasswords(ov::rt::splitCommandLine(command)); }

ScriptingRec step(std::string_view action, const std::function<void(ScriptingRec&)>& fill = {}) {
  ScriptingRec r;
  r.Action = action;
  if (fill) fill(r);
  return r;
}

void setTopicHalves(ScriptingRec& r, std::string_view user, std::string_view password) {
  std::string topic(255, ' ');
  topic.replace(0, user.size(), user);
  topic.replace(128, password.size(), password);
  r.DDEApplicationTopic = topic;
}

void expectSameStep(const ScriptingRec& got, const ScriptingRec& want) {
  for (const ov::rt::FieldDesc& f : Desc_SCRIPTING.fields) {
    SCOPED_TRACE(f.name);
    EXPECT_EQ(ov::rt::fieldText(&got, f), ov::rt::fieldText(&want, f));
  }
}

void expectStartProgram(const ScriptingRec& r, std::string_view mode = "12800") {
  EXPECT_EQ(r.Action.clipped(), "Start Program");
  EXPECT_EQ(r.DDEApplicationName.clipped(), mode);
  EXPECT_EQ(r.TimeElapsed, 360000);
  EXPECT_TRUE(r.DDEApplicationTopic.isBlank());
}

}  // namespace

TEST(PrepareScriptRecord, CompanionCommandLinesSplitBackIntoTheirValues) {
  Fixture fx;
  const std::string d = fx.dir();
  struct Case { const char* name; ScriptingRec step; Args want; };
  const Case kCases[] = {
      {"get email, server and user only",
       step("Get Email", [](auto& r) { r.Command = "pop.x.org"; r.Path = "bob"; r.WindowTitleToCheckFor = "/F:x"; }),
       {d + "ov_pop", "SERVER=pop.x.org", "USER=bob", "/F:x"}},
      {"get email, every option",
       step("Get Email", [](auto& r) {
         r.Command = "mail server"; r.Path = "bob"; r.DDECommand = "p\"w d"; r.DDEApplicationName = "/tmp/att";
         r.DDEApplicationTopic = "/tmp/My Text"; r.EmailID = 1;
       }),
       {d + "ov_pop", "SERVER=mail server", "USER=bob", "<password: p\"w d>", "SAVEATTACH=/tmp/att",
        "SAVETEXT=/tmp/My Text", "SAVEHTML=/tmp/My Text", "/DELETE"}},
      {"send email through the mail sender", step("Send Email", [](auto& r) { r.EmailID = 42; }),
       {d + "tessel", "42", "/AUTO"}},
      {"send e-mail", step("Send E-mail", [](auto& r) { r.EmailID = 7; }), {d + "tessel", "7", "/AUTO"}},
      {"ftp upload",
       step("File Actions", [](auto& r) {
         r.DDEType = "FTP Upload"; r.Command = "/remote/a b.txt"; r.Path = "/local/a.txt";
         r.DDEApplicationName = "ftp.x.org"; setTopicHalves(r, "bob", "s3 cret");
       }),
       {d + "OVFTP", "U", "/remote/a b.txt", "/local/a.txt", "ftp.x.org", "bob", "", "<password: s3 cret>", "/AUTO"}},
      {"ftp download, empty user and password",
       step("File Actions", [](auto& r) {
         r.DDEType = "FTP Download"; r.Command = "pub/x"; r.Path = "C:\\In\\"; r.DDEApplicationName = "h";
       }),
       {d + "OVFTP", "D", "pub/x", "C:\\In\\", "h", "", "", "/AUTO"}},
      {"http download",
       step("File Actions", [](auto& r) {
         r.DDEType = "HTTP Download"; r.Command = "https://x.org/a?b=c d"; r.Path = "/tmp/a.html";
       }),
       {d + "httpget.exe", "https://x.org/a?b=c d", "/tmp/a.html", "/AUTO"}},
      {"zip, one quoted path split into folder and pattern",
       step("File Actions", [](auto& r) {
         r.DDEType = "Zip"; r.Command = "/backup/data.zip"; r.Path = "\"/home/u/my data/*.TPS\""; r.DDEApplicationTopic = "/S";
       }),
       {d + "qmtback", "BACKUP=/backup/data.zip", "FILES=*.TPS", "PATH=/home/u/my data/", "/S"}},
      {"zip, a drive path with backslashes",
       step("File Actions", [](auto& r) { r.DDEType = "Zip"; r.Command = "D:\\b.zip"; r.Path = "C:\\Data\\*.TPS"; }),
       {d + "qmtback", "BACKUP=D:\\b.zip", "FILES=*.TPS", "PATH=C:\\Data\\"}},
      {"zip with its own folder",
       step("File Actions", [](auto& r) {
         r.DDEType = "Zip"; r.Command = "b.zip"; r.Path = "/x/*.txt"; r.DDEApplicationName = "/y";
       }),
       {d + "qmtback", "BACKUP=b.zip", "FILES=/x/*.txt", "PATH=/y"}},
      {"unzip",
       step("File Actions", [](auto& r) {
         r.DDEType = "Unzip"; r.Command = "/b/x.zip"; r.Path = "*.*"; r.DDEApplicationName = "/restore";
         r.DDEApplicationTopic = "/S";
       }),
       {d + "qmtback", "RESTORE=/b/x.zip", "FILES=*.*", "PATH=/restore"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ScriptingRec r = c.step;
    EXPECT_EQ(PREPARESCRIPTRECORD(r, 100, 1), 0);
    expectStartProgram(r);
    EXPECT_EQ(wordsWithPasswords(std::string(r.Command.clipped())), c.want) << r.Command.clipped();
  }
  EXPECT_TRUE(fx.log.empty());
  EXPECT_EQ(fx.secretFiles(), 0u);
}

TEST(PrepareScriptRecord, PlainValuesStayUnquoted) {
  Fixture fx;
  ScriptingRec r = step("Get Email", [](auto& s) { s.Command = "pop"; s.Path = "bob"; s.WindowTitleToCheckFor = "/F"; });
  PREPARESCRIPTRECORD(r, 100, 1);
  EXPECT_EQ(r.Command.clipped(), fx.dir() + "ov_pop SERVER=pop USER=bob /F");
  ScriptingRec z = step("File Actions", [](auto& s) { s.DDEType = "Zip"; s.Command = "b.zip"; s.Path = "C:\\D\\*.TPS"; });
  PREPARESCRIPTRECORD(z, 100, 1);
  EXPECT_EQ(z.Command.clipped(), fx.dir() + "qmtback BACKUP=b.zip FILES=*.TPS PATH=\"C:\\D\\\\\"");
}

TEST(PrepareScriptRecord, StepsWithoutCompanionStayAsTheyAre) {
  Fixture fx;
  fx.log.clear();
  const std::pair<const char*, ScriptingRec> kSteps[] = {
      {"comment", step("Comment", [](auto& r) { r.Command = "x"; })},
      {"copy", step("File Actions", [](auto& r) { r.DDEType = "Copy"; r.Command = "a"; r.TimeElapsed = 5; })},
      {"send keys", step("Send Keys", [](auto& r) { r.Keystrokes = "mail"; })},
      {"get something else", step("Get Emails", [](auto& r) { r.Command = "pop"; })},
      {"kind in other case", step("File Actions", [](auto& r) { r.DDEType = "ftp upload"; r.Command = "a"; })},
  };
  for (const auto& [name, original] : kSteps) {
    SCOPED_TRACE(name);
    ScriptingRec r = original;
    EXPECT_EQ(PREPARESCRIPTRECORD(r, 100, 1), 0);
    expectSameStep(r, original);
  }
  EMAIL.USEMAPI = 0;  // the main program sends it itself
  ScriptingRec mail = step("Send Email", [](auto& r) { r.EmailID = 3; });
  ScriptingRec r = mail;
  PREPARESCRIPTRECORD(r, 100, 1);
  expectSameStep(r, mail);
}

TEST(PrepareScriptRecord, IfTimeGetsItsDueMoment) {
  Fixture fx;
  const int32_t day = ov::rt::DATE(3, 9, 2007);
  const int32_t at235900 = (23 * 3600 + 59 * 60) * 100 + 1;
  struct Case { const char* name; const char* action; int32_t seconds; int32_t wantDay, wantTime; };
  const Case kCases[] = {
      {"90 s at 23:59:00 is 00:00:30 the next day", "If Time Elapsed...", 90, day + 1, 30 * 100 + 1},
      {"30 s stays that day", "If Time...", 30, day, at235900 + 3000},
      {"two days later", "If Time Elapsed...", 2 * 86400, day + 2, at235900},
      // 2e9 s = 23148 days and 3:33:20; from 23:59:00 that ends at 03:32:20 one day later
      {"a long time without overflow", "If Time Elapsed...", 2000000000, day + 23149, 1274001},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ScriptingRec r = step(c.action, [&](auto& s) { s.TimeElapsed = c.seconds; s.IfTimeElapsed = "Greater than"; });
    EXPECT_EQ(PREPARESCRIPTRECORD(r, day, at235900), 0);
    EXPECT_EQ(r.Action.clipped(), c.action);
    EXPECT_EQ(r.SecondsToWait, c.wantDay);
    EXPECT_EQ(r.TimeElapsed, c.wantTime);
  }
}

TEST(PrepareScriptRecord, HiddenWindowGivesTheOtherWindowMode) {
  Fixture fx;
  fx.hidden = true;
  ScriptingRec r = step("Send Email", [](auto& s) { s.EmailID = 1; });
  PREPARESCRIPTRECORD(r, 100, 1);
  expectStartProgram(r, "12700");
}

TEST(PrepareScriptRecord, CompanionsComeFromTheProgramsOwnFolderOnly) {
  Fixture fx;
  // A program planted in the current (data) folder is never named: without a companion in the
  // program's folder the bare name goes to the program start, which searches that folder first.
  TempDir data;
  data.touch("tessel");
  std::filesystem::remove(fx.exe.path + "/tessel");
  std::string cwd = std::filesystem::current_path();
  ASSERT_EQ(::chdir(data.path.c_str()), 0);
  struct Back { std::string dir; ~Back() { (void)::chdir(dir.c_str()); } } back{cwd};
  EXPECT_EQ(companionProgram("TESSEL.EXE"), "tessel");
  EXPECT_EQ(companionProgram("OV_POP.EXE"), fx.dir() + "ov_pop");
  EXPECT_EQ(companionProgram("ovftp"), fx.dir() + "OVFTP");

  // A folder with a blank is quoted as a whole.
  TempDir spaced("/tmp/ov prepare XXXXXX");
  spaced.touch("ov_pop");
  EXEPATH = spaced.path;  // no closing "/"
  ScriptingRec r = step("Get Email", [](auto& s) { s.Command = "pop"; });
  PREPARESCRIPTRECORD(r, 100, 1);
  EXPECT_EQ(r.Command.clipped(), "\"" + spaced.path + "/ov_pop\" SERVER=pop");
  EXPECT_EQ(ov::rt::splitCommandLine(r.Command.clipped()), (Args{spaced.path + "/ov_pop", "SERVER=pop"}));
}

TEST(PrepareScriptRecord, TooLongCommandLineIsRefusedNotCut) {
  Fixture fx;
  ScriptingRec r = step("File Actions", [](auto& s) {
    s.DDEType = "FTP Upload"; s.Command = "/" + std::string(120, 'r'); s.Path = "/" + std::string(120, 'l');
    s.DDEApplicationName = "ftp.x.org"; setTopicHalves(s, "bob", "topsecret");
  });
  EXPECT_EQ(PREPARESCRIPTRECORD(r, 100, 1), 1);
  EXPECT_EQ(r.Action.clipped(), "Comment");
  EXPECT_TRUE(r.Command.clipped().starts_with("Not run: command line for OVFTP needs ")) << r.Command.clipped();
  ASSERT_EQ(fx.log.size(), 1u);
  EXPECT_EQ(fx.log[0].second, "Script");
  EXPECT_TRUE(fx.log[0].first.starts_with("Step not run: command line for OVFTP needs ")) << fx.log[0].first;
  EXPECT_EQ(fx.log[0].first.find("topsecret"), std::string::npos);
  EXPECT_EQ(SCRIPTSTATUS(r).find("topsecret"), std::string::npos);
  EXPECT_EQ(fx.secretFiles(), 0u);  // the step does not run: its password file went with it
}

TEST(PrepareScriptRecord, PasswordThatCannotBeHandedOverStopsTheStep) {
  Fixture fx;
  // A runtime folder that others may enter is no place for a password.
  std::filesystem::create_directory(fx.runtime.path + "/orvane");
  std::filesystem::permissions(fx.runtime.path + "/orvane", std::filesystem::perms::all);
  ScriptingRec r = step("Get Email", [](auto& s) { s.Command = "pop"; s.Path = "bob"; s.DDECommand = "hunter2"; });
  EXPECT_EQ(PREPARESCRIPTRECORD(r, 100, 1), 1);
  EXPECT_EQ(r.Action.clipped(), "Comment");
  EXPECT_TRUE(r.Command.clipped().starts_with("Not run: the password could not be handed over: ")) << r.Command.clipped();
  EXPECT_EQ(r.Command.clipped().find("hunter2"), std::string::npos);
  ASSERT_EQ(fx.log.size(), 1u);
  EXPECT_EQ(fx.log[0].first.find("hunter2"), std::string::npos);
}

TEST(PrepareScriptRecord, RewrittenMailStepShowsNoPassword) {
  Fixture fx;
  ScriptingRec r = step("Get Email", [](auto& s) { s.Command = "pop"; s.Path = "bob"; s.DDECommand = "hunter2"; });
  PREPARESCRIPTRECORD(r, 100, 1);
  // The status is the command and the step's folder field, which still holds the user name.
  EXPECT_EQ(SCRIPTSTATUS(r).find("hunter2"), std::string::npos) << SCRIPTSTATUS(r);
  EXPECT_TRUE(SCRIPTSTATUS(r).starts_with(fx.dir() + "ov_pop SERVER=pop USER=bob PASSWORDFILE=")) << SCRIPTSTATUS(r);
  EXPECT_EQ(wordsWithPasswords(std::string(r.Command.clipped())).at(3), "<password: hunter2>");
}


TEST(PrepareScriptRecord, CompanionStartsWithExactlyItsArgumentsAndNoPasswordInSight) {
  Fixture fx;
  // Stand-in companions that write their command line as every local user sees it
  // (/proc/<pid>/cmdline, what ps shows), then each argument on a line of its own.
  const std::string out = fx.exe.path + "/args.txt", seen = fx.exe.path + "/cmdline.txt";
  for (const char* name : {"ov_pop", "OVFTP"}) {
    std::ofstream(fx.exe.path + "/" + name) << "#!/bin/sh\ncat /proc/$$/cmdline > '" << seen
                                            << "'\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << out << "'\n";
    std::filesystem::permissions(fx.exe.path + "/" + name, std::filesystem::perms::owner_all);
  }
  struct Case {
    const char* name;
    ScriptingRec step;
    const char* password;
    Args want;
  };
  const Case kCases[] = {
      {"get email",
       step("Get Email", [](auto& s) {
         s.Command = "pop x.org"; s.Path = "C:\\Mail\\"; s.DDECommand = "a\"b c"; s.WindowTitleToCheckFor = "/F";
         s.EmailID = 1;
       }),
       "a\"b c", {"SERVER=pop x.org", "USER=C:\\Mail\\", "<password: a\"b c>", "/F", "/DELETE"}},
      {"ftp upload",
       step("File Actions", [](auto& s) {
         s.DDEType = "FTP Upload"; s.Command = "/r/a.txt"; s.Path = "/l/a.txt"; s.DDEApplicationName = "ftp.x.org";
         setTopicHalves(s, "bob", "s3 cret!");
       }),
       "s3 cret!", {"U", "/r/a.txt", "/l/a.txt", "ftp.x.org", "bob", "", "<password: s3 cret!>", "/AUTO"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ScriptingRec r = c.step;
    ASSERT_EQ(PREPARESCRIPTRECORD(r, 100, 1), 0);
    int exitCode = -1;
    ASSERT_EQ(ov::rt::runProgram(r.Command.clipped(), exitCode, {}, 10000), 0) << r.Command.clipped();
    EXPECT_EQ(exitCode, 0);
    std::ifstream in(out);
    Args got;
    for (std::string line; std::getline(in, line);) got.push_back(line);
    std::ifstream cmdline(seen, std::ios::binary);
    const std::string shown((std::istreambuf_iterator<char>(cmdline)), std::istreambuf_iterator<char>());
    EXPECT_NE(shown.find(c.want[0]), std::string::npos) << shown;
    EXPECT_EQ(shown.find(c.password), std::string::npos) << shown;
    EXPECT_EQ(withPasswords(got), c.want);
  }
  EXPECT_EQ(fx.secretFiles(), 0u);
}
