// Starting programs for tasks and script steps, and queuing a task's script.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "datalib/date_string_functions.h"
#include "datalib/files.h"
#include "platform/rt/paths.h"
#include "platform/rt/text.h"
#include "scheduler/program_exits.h"
#include "scheduler/tests/script_fixture.h"

namespace ov::scheduler {
namespace {

namespace fs = std::filesystem;
using testing::kDelay;
using testing::Step;

class ProgramRunner : public ScriptFixture {
 protected:
  // Stores the task's script items in SCRIPTING.
  void addItems(int32_t task, const std::vector<Step>& steps) {
    ASSERT_EQ(files::Access_SCRIPTING.Open(), rt::Err::None);
    int sequence = 0;
    for (const Step& s : steps) {
      files::SCR = s.r;
      files::SCR.ID = task;
      files::SCR.Sequence = ++sequence;
      ASSERT_EQ(files::SCRIPTING.add(), rt::Err::None);
    }
    (void)files::Access_SCRIPTING.Close();
  }

  // An executable shell script in the temporary folder.
  fs::path script(const std::string& relative, const std::string& body) {
    const fs::path p = dir() / relative;
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "#!/bin/sh\n" << body << "\n";
    ::chmod(p.c_str(), 0755);
    return p;
  }

  static bool waitFor(const std::function<bool()>& pred) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!pred() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return pred();
  }

  // Ticks until the queue is empty, letting real time pass for the programs it waits for.
  void runWithPrograms() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ActiveScriptQueue.RECORDS() > 0 && std::chrono::steady_clock::now() < deadline) {
      run(1);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
};

TEST_F(ProgramRunner, ShownNameHidesCredentialsAndPasswords) {
  struct Case {
    const char *name, *command, *shown;
  };
  const Case cases[] = {
      {"plain command", "notepad.exe c:\\a.txt", "notepad.exe c:\\a.txt"},
      {"run-as: what follows the password", R"(ExecuteAs u="joe" p="se cret" notepad.exe)", "notepad.exe"},
      {"run-as: what follows a later domain", R"(executeas u="joe" p="x" d="HOME" show=2 calc.exe)", "show=2 calc.exe"},
      {"run-as without quotes shows nothing", "ExecuteAs u=joe p=secret calc.exe", ""},
      {"run-as with a password file", R"(/opt/ov/ExecuteAs u="joe" PASSWORDFILE="/run/x/secret-1" d="" tool p=zz)",
       "tool p=zz"},
      {"transfer password masked", R"(ovftp U "/r/a.txt" "c:\a.txt" ftp.prompts.org joe "my pw")",
       R"(ovftp U "/r/a.txt" "c:\a.txt" ftp.prompts.org joe "*****")"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(commandShownName(c.command), c.shown);
  }
}

TEST_F(ProgramRunner, NotApplicableStartsNothingAndQueuesTheScript) {
  addItems(7, {Step("Send Keys").keys("a"), Step("If Value...").condition("X", "=", "1"), Step("Wait").seconds(5).elapsed(99),
               Step("...End If"), Step("Comment")});
  addItems(8, {});
  RunOptions o;
  o.task = 7;
  EXPECT_EQ(RunTaskProgram("n/a", o), 0);
  o.task = 8;
  EXPECT_EQ(RunTaskProgram("N/A", o), 0);  // no items: nothing queued, no marker
  const int32_t start = rt::CLOCK() + 2 * kDelay;
  struct Due {
    const char* action;
    int32_t time;
  };
  const Due want[] = {{"Send Keys", start + kDelay},     {"If Value...", start + kDelay}, {"Wait", start + kDelay},
                      {"...End If", start + kDelay},     {"Comment", start + 2 * kDelay}, {"**End**", start + 2 * kDelay}};
  ASSERT_EQ(ActiveScriptQueue.RECORDS(), int(std::size(want)));
  for (int i = 0; i < int(std::size(want)); ++i) {
    SCOPED_TRACE(want[i].action);
    const ScriptEntry& e = ActiveScriptQueue.at(i + 1);
    EXPECT_EQ(actionOf(e), want[i].action);
    EXPECT_EQ(e.DATE, rt::TODAY());
    EXPECT_EQ(e.TIME, want[i].time);
  }
  EXPECT_EQ(ActiveScriptQueue.at(3).RECORD.TimeElapsed, 0);  // a wait's deadline is fresh
  EXPECT_TRUE(logWith("Run Program").empty());

  // A second task's script starts after the last queued step when that is due later.
  ActiveScriptQueue.GET(ActiveScriptQueue.RECORDS());
  ActiveScriptQueue.buf.TIME = rt::CLOCK() + 360000;
  ActiveScriptQueue.PUT();
  o.task = 7;
  EXPECT_EQ(RunTaskProgram("N/A", o), 0);
  EXPECT_EQ(ActiveScriptQueue.at(7).TIME, rt::CLOCK() + 360000 + 2 * kDelay);
}

TEST_F(ProgramRunner, StartsInTheFolderGivenAndReturnsToTheCurrentOne) {
  files::LOG.ACTIVE = 1;
  fs::create_directories(dir() / "work");
  const std::string before = rt::PATH();
  rt::ProcessHandle handle = 0;
  RunOptions o;
  o.handle = &handle;
  o.folder = (dir() / "work").string();
  EXPECT_EQ(RunTaskProgram("/bin/sh -c \"pwd > where.txt\"", o), 0);
  EXPECT_EQ(rt::PATH(), before);
  ASSERT_NE(handle, 0);
  EXPECT_EQ(rt::waitProgram(handle, 10000), rt::WaitResult::Ended);
  rt::closeProgram(handle);
  std::string where;
  std::getline(std::ifstream(dir() / "work" / "where.txt"), where);
  EXPECT_EQ(fs::path(where), fs::canonical(dir() / "work"));
  EXPECT_EQ(var("ExitCode"), "0");
  EXPECT_EQ(var("ExitCodesh"), "0");
  const std::vector<std::string> run = logWith("Run Program");
  ASSERT_EQ(run.size(), 1u);
  EXPECT_TRUE(run[0].ends_with("(Successful CreateProcess)")) << run[0];
}

TEST_F(ProgramRunner, ShellFallbackFindsAPathWithBlanksFromTheEnd) {
  files::LOG.ACTIVE = 0;  // no handle, no logging: the shell is tried first
  const fs::path prog = script("dir with blank/mark.sh", "touch \"$1\"");
  EXPECT_EQ(RunTaskProgram(prog.string() + " marker.txt", RunOptions{}), 0);
  EXPECT_TRUE(waitFor([&] { return fs::exists(dir() / "marker.txt"); }));

  // With a task, its steps know the program by its handle until the script's end lets go of it.
  addItems(6, {Step("Comment")});
  RunOptions o;
  o.task = 6;
  EXPECT_EQ(RunTaskProgram(prog.string() + " second.txt", o), 0);
  ASSERT_EQ(ActiveScriptQueue.RECORDS(), 2);
  const uint32_t handle = ActiveScriptQueue.at(1).WINDOWHANDLE;
  EXPECT_NE(handle, 0u);
  EXPECT_EQ(ActiveScriptQueue.at(2).WINDOWHANDLE, handle);
  EXPECT_TRUE(waitFor([&] { return fs::exists(dir() / "second.txt"); }));
  run();
  int code = 0;
  EXPECT_FALSE(rt::programExitCode(rt::ProcessHandle(handle), code));
}

TEST_F(ProgramRunner, FailedStartIsLoggedOrShownAndSetsExitCode) {
  addItems(3, {Step("Comment")});
  RunOptions o;
  o.task = 3;
  EXPECT_EQ(RunTaskProgram("no-such-program-4711 /x", o), 2);
  EXPECT_EQ(ActiveScriptQueue.RECORDS(), 0);  // the script of a failed start is not queued
  EXPECT_EQ(var("ExitCode"), "2");
  EXPECT_EQ(var("ExitCodeno-such-program-4711"), "2");
  EXPECT_EQ(logWith("Run Program (3)"), std::vector<std::string>{"Run Program (3)|FAILED: no-such-program-4711 /x"});
  EXPECT_EQ(logWith("Error code 2"),
            std::vector<std::string>{
                "Error code 2|FILE NOT FOUND.  CHECK THE TASK/SCRIPT PARAMETERS OR NETWORK CONNECTIONS."});

  files::LOG.ACTIVE = 0;
  prompts.expectMessage("Could not start no-such-program-4711.", ui::BUTTON::Ok);
  EXPECT_EQ(RunTaskProgram("no-such-program-4711", RunOptions{}), 2);
  ASSERT_EQ(prompts.messages().size(), 1u);
  EXPECT_EQ(prompts.messages()[0].title,
            "Error Code 2 FILE NOT FOUND.  CHECK THE TASK/SCRIPT PARAMETERS OR NETWORK CONNECTIONS.");
}

TEST_F(ProgramRunner, PseudoCommandsMailAndChain) {
  std::vector<int32_t> sent;
  scriptServices().sendMessageRecord = [&](int32_t m) {
    sent.push_back(m);
    return 1001;
  };
  addItems(4, {Step("Comment")});
  RunOptions o;
  o.task = 4;
  EXPECT_EQ(RunTaskProgram("OVEMAIL12", o), 0);
  EXPECT_EQ(sent, std::vector<int32_t>{12});
  EXPECT_EQ(var("EmailExitCode"), "1001");
  EXPECT_EQ(ActiveScriptQueue.RECORDS(), 2);  // the task's script still runs
  EXPECT_TRUE(logWith("Run Program").empty());

  // The chain program is not installed: the main program stays and says why.
  EXPECT_EQ(RunTaskProgram("OVCHAIN.EXE", RunOptions{}), 2);
  EXPECT_EQ(RunTaskProgram("OVCHAIN.EXE TASK=5", RunOptions{}), 2);
  EXPECT_TRUE(posted.empty());
  EXPECT_EQ(logWith("Error code 2").size(), 2u);
}

TEST_F(ProgramRunner, ExitCodesAreKeptForLoggingWhenAsked) {
  files::LOG.ALLEXITCODES = 1;
  EXPECT_EQ(RunTaskProgram("/bin/sh -c \"exit 4\"", RunOptions{}), 0);
  ASSERT_EQ(ProgramExitQueue.RECORDS(), 1);
  const ProgramExitEntry e = ProgramExitQueue.at(1);
  EXPECT_EQ(e.COMMANDLINE.str(), "/bin/sh -c \"exit 4\"");
  EXPECT_EQ(rt::waitProgram(e.HPROCESS, 10000), rt::WaitResult::Ended);
  int code = 0;
  EXPECT_TRUE(rt::programExitCode(e.HPROCESS, code));
  EXPECT_EQ(code, 4);
  rt::closeProgram(e.HPROCESS);
}

TEST_F(ProgramRunner, EndedProgramsAreLoggedWithTheirCodesName) {
  files::LOG.ALLEXITCODES = 1;
  EXPECT_EQ(RunTaskProgram("/bin/sh -c \"exit 2\"", RunOptions{}), 0);
  EXPECT_EQ(RunTaskProgram("/bin/sh -c \"exit 35\"", RunOptions{}), 0);
  EXPECT_EQ(RunTaskProgram("/bin/sh -c \"sleep 30\"", RunOptions{}), 0);
  ASSERT_EQ(ProgramExitQueue.RECORDS(), 3);
  const rt::ProcessHandle running = ProgramExitQueue.at(3).HPROCESS;
  for (int i = 1; i <= 2; ++i) ASSERT_EQ(rt::waitProgram(ProgramExitQueue.at(i).HPROCESS, 10000), rt::WaitResult::Ended);
  ReapExitedPrograms();
  // Walked from the last entry: the program with code 35 is logged first.
  EXPECT_EQ(logWith("Program Exit Code"),
            (std::vector<std::string>{"Program Exit Code 35|/bin/sh -c \"exit 35\" (Unknown Status)",
                                      "Program Exit Code 2|/bin/sh -c \"exit 2\" (FILE NOT FOUND)"}));
  ASSERT_EQ(ProgramExitQueue.RECORDS(), 1) << "the program still running stays";
  EXPECT_EQ(ProgramExitQueue.at(1).HPROCESS, running);
  (void)rt::endProgram(running);
  ASSERT_EQ(rt::waitProgram(running, 10000), rt::WaitResult::Ended);
  ReapExitedPrograms();
  EXPECT_EQ(ProgramExitQueue.RECORDS(), 0);
  EXPECT_EQ(logWith("Program Exit Code").size(), 3u);
}

TEST_F(ProgramRunner, ProgramAScriptStepWaitsForIsLeftToThatStep) {
  files::LOG.ALLEXITCODES = 1;
  EXPECT_EQ(RunTaskProgram("/bin/sh -c \"exit 3\"", RunOptions{}), 0);
  ASSERT_EQ(ProgramExitQueue.RECORDS(), 1);
  const rt::ProcessHandle h = ProgramExitQueue.at(1).HPROCESS;
  ASSERT_EQ(rt::waitProgram(h, 10000), rt::WaitResult::Ended);
  queue({Step("Wait for Program End").command("/bin/sh")});
  ASSERT_EQ(ActiveScriptQueue.GET(1), rt::Err::None);
  ActiveScriptQueue.buf.RECORD.ID = int32_t(h);
  ASSERT_EQ(ActiveScriptQueue.PUT(), rt::Err::None);
  ReapExitedPrograms();
  EXPECT_EQ(ProgramExitQueue.RECORDS(), 1);
  EXPECT_TRUE(logWith("Program Exit Code").empty());
  int code = 0;
  EXPECT_TRUE(rt::programExitCode(h, code)) << "the step can still read its exit code";
  EXPECT_EQ(code, 3);
  StopScripts();
  ReapExitedPrograms();
  EXPECT_EQ(logWith("Program Exit Code"), (std::vector<std::string>{"Program Exit Code 3|/bin/sh -c \"exit 3\" (PATH NOT FOUND)"}));
}

TEST_F(ProgramRunner, EndOfTheScriptsOwnProgramSetsTheExitCodeVariables) {
  files::LOG.ALLEXITCODES = 1;
  EXPECT_EQ(RunTaskProgram("/bin/sh -c \"exit 5\"", RunOptions{}), 0);
  ASSERT_EQ(ProgramExitQueue.RECORDS(), 1);
  const rt::ProcessHandle h = ProgramExitQueue.at(1).HPROCESS;
  ASSERT_EQ(rt::waitProgram(h, 10000), rt::WaitResult::Ended);
  scriptState().processHandle = int32_t(h);
  scriptState().command = "/bin/sh";
  ReapExitedPrograms();
  EXPECT_EQ(var("ExitCode"), "5");
  EXPECT_EQ(var("ExitCode" + files::EXTRACTFILENAME("/bin/sh")), "5");
  EXPECT_EQ(ProgramExitQueue.RECORDS(), 0);
  int code = 0;
  EXPECT_TRUE(rt::programExitCode(h, code)) << "the script still holds its program";
  scriptState() = ScriptState{};
  rt::closeProgram(h);
}

TEST_F(ProgramRunner, HeldScriptingLockIsLoggedAndPassed) {
  ScriptingLock = true;
  RunOptions o;
  o.task = 9;
  EXPECT_EQ(RunTaskProgram("N/A", o), 0);
  EXPECT_EQ(logWith("Scripting"), std::vector<std::string>{"Scripting|Lock Error"});
  EXPECT_FALSE(ScriptingLock);
}

// --- "Start Program" steps ---------------------------------------------------------------------

TEST_F(ProgramRunner, StartProgramWaitsForTheExitCode) {
  queue({Step("Start Program").command("/bin/sh -c \"exit 3\"").name("1"), Step("Comment").command("[ExitCode]")});
  runWithPrograms();
  EXPECT_EQ(var("ExitCode"), "3");
  EXPECT_EQ(var("ExitCodesh"), "3");
  EXPECT_EQ(logWith("Script:  Wait for Program End").size(), 1u);
  EXPECT_EQ(logWith("Script:  Start Program").size(), 0u);  // it became the wait
}

TEST_F(ProgramRunner, StartProgramTimeOutLeavesTheProgramRunning) {
  const fs::path prog = dir() / ("ovwait" + std::to_string(::getpid()));
  fs::copy_file("/bin/sleep", prog);
  queue({Step("Start Program").command(prog.string() + " 30").name("1").elapsed(2)});
  const int ticks = run(20);
  EXPECT_EQ(ActiveScriptQueue.RECORDS(), 0);
  EXPECT_EQ(ticks, 5);  // started on the first tick, 2 seconds, then the marker
  EXPECT_EQ(var("ExitCode"), "0");  // from the start; the wait set no code
  int code = 0;
  ASSERT_NE(scriptState().processHandle, 0);
  EXPECT_TRUE(rt::programExitCode(scriptState().processHandle, code));
  EXPECT_EQ(code, rt::winerr::StillActive);
}

// python3's http.server on a free loopback port, serving `folder`; stopped by pid.
class HttpServer {
 public:
  explicit HttpServer(const fs::path& folder) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    m_port = ntohs(a.sin_port);
    rt::StartOptions options;
    options.folder = folder.string();
    const rt::Started started =
        rt::startProgram("/usr/bin/python3 -m http.server --bind 127.0.0.1 " + std::to_string(m_port), options);
    m_handle = started.handle;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (m_handle != 0 && !answers() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ~HttpServer() {
    if (m_handle != 0) (void)rt::endProgram(m_handle, 2000);
    rt::closeProgram(m_handle);
  }
  bool answers() const {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(m_port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
  }
  std::string url(const std::string& name) const { return "http://127.0.0.1:" + std::to_string(m_port) + "/" + name; }

 private:
  int m_port = 0;
  rt::ProcessHandle m_handle = 0;
};

TEST_F(ProgramRunner, HttpDownloadStepFetchesThroughTheCompanion) {
  fs::create_directories(dir() / "served");
  std::ofstream(dir() / "served" / "page.html") << "<p>fetched by a script</p>";
  HttpServer server(dir() / "served");
  ASSERT_TRUE(server.answers());
  addItems(11, {Step("File Actions").kind("HTTP Download").command(server.url("page.html")).path("[DIR]/got.html"),
                Step("Comment").command("[ExitCodehttpget]"),
                Step("File Actions").kind("HTTP Download").command(server.url("none.html")).path("[DIR]/none.html")});
  SetVariable(dir().string(), "DIR");
  files::SCRIPT.TRANSLATEFILENAMES = 1;  // [DIR] in the command lines
  RunOptions o;
  o.task = 11;
  ASSERT_EQ(RunTaskProgram("N/A", o), 0);
  ASSERT_EQ(actionOf(ActiveScriptQueue.at(1)), "Start Program");  // rewritten to start the companion
  runWithPrograms();
  EXPECT_EQ(ActiveScriptQueue.RECORDS(), 0);
  std::ifstream got(dir() / "got.html");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(got), {}), "<p>fetched by a script</p>");
  const std::vector<std::string> comment = logWith("Script:  Comment");
  ASSERT_EQ(comment.size(), 1u);
  EXPECT_TRUE(comment[0].ends_with(" *0*")) << comment[0];
  EXPECT_EQ(var("ExitCodehttpget"), "2");  // the second page is not there
  EXPECT_FALSE(fs::exists(dir() / "none.html"));
}

// The run-as step starts the run-as program of the program's folder (build/bin) and waits for it.
// As root the command runs as "nobody"; as anyone else as that user, which needs no password.
TEST_F(ProgramRunner, RunAsStepRunsTheCommandAsTheUserWithoutItsPasswordOnAnyCommandLine) {
  files::DEBUG.ACTIVE = 1;
  const passwd* pw = ::geteuid() == 0 ? ::getpwnam("nobody") : ::getpwuid(::geteuid());
  ASSERT_NE(pw, nullptr);
  const std::string user = pw->pw_name;
  const uid_t uid = pw->pw_uid;
  std::string credentials(192, ' ');
  credentials.replace(0, user.size(), user);
  credentials.replace(64, 9, "s3cret pw");
  credentials.replace(128, 7, "DOM4711");
  // The command, run as the user, writes where that user may.
  std::string out = (fs::temp_directory_path() / "ov-runas-XXXXXX").string();
  ASSERT_NE(::mkdtemp(out.data()), nullptr);
  ::chmod(out.c_str(), 0777);
  // Its parent is the run-as program: the command keeps that program's command line.
  const std::string command = "/bin/sh -c \"cat /proc/$PPID/cmdline > " + out + "/cmdline; id -u > " + out +
                              "/uid; exit 6\"";
  queue({Step("Start Program").command(command).name("10001").ddeCommand(credentials),
         Step("Comment").command("[ExitCode]")});
  runWithPrograms();

  std::ifstream in(out + "/cmdline", std::ios::binary);
  std::vector<std::string> words;
  for (std::string w; std::getline(in, w, '\0');) words.push_back(w);
  std::ifstream uidFile(out + "/uid");
  std::string ranAs;
  uidFile >> ranAs;
  fs::remove_all(out);

  ASSERT_GE(words.size(), 4u);
  EXPECT_EQ(rt::LOWER(fs::path(words[0]).filename().string()), "executeas");
  EXPECT_EQ(words[1], "u=" + user);
  ASSERT_TRUE(words[2].starts_with("PASSWORDFILE=")) << words[2];
  EXPECT_FALSE(fs::exists(words[2].substr(13))) << "the run-as program deletes the password file";
  for (const std::string& w : words) EXPECT_EQ(w.find("s3cret"), std::string::npos) << w;
  EXPECT_EQ(ranAs, std::to_string(uid));
  EXPECT_EQ(var("ExitCode"), "6");
  EXPECT_EQ(var("ExitCodeExecuteAs"), "6");
  const std::string log = allLog();
  EXPECT_EQ(log.find("s3cret"), std::string::npos) << log;
  EXPECT_EQ(log.find("PASSWORDFILE"), std::string::npos) << log;
  EXPECT_EQ(log.find("DOM4711"), std::string::npos) << log;
}

TEST_F(ProgramRunner, RunAsStepWhosePasswordCannotBeHandedOverIsNotRun) {
  // A secret folder that another user may enter is refused.
  const fs::path runtime = dir() / "runtime";
  fs::create_directories(runtime / "orvane");
  ::chmod((runtime / "orvane").c_str(), 0755);
  const char* old = ::getenv("XDG_RUNTIME_DIR");
  const std::string saved = old ? old : "";
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  std::string credentials(192, ' ');
  credentials.replace(0, 3, "bob");
  credentials.replace(64, 2, "pw");
  queue({Step("Start Program").command("/bin/sh -c \"touch " + (dir() / "ran").string() + "\"").name("10001")
             .ddeCommand(credentials)});
  runWithPrograms();
  if (old) ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  else ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_FALSE(fs::exists(dir() / "ran"));
  const std::vector<std::string> refusal = logWith("Run As");
  ASSERT_EQ(refusal.size(), 1u) << allLog();
  EXPECT_TRUE(refusal[0].starts_with("Run As|Not run: the password could not be handed over: ")) << refusal[0];
  EXPECT_TRUE(fs::is_empty(runtime / "orvane"));
}

TEST_F(ProgramRunner, CloseProgramEndsTheProgramTheScriptStarted) {
  std::vector<std::string> ran;
  services().runNoWait = [&](std::string_view line) {
    ran.emplace_back(line);
    return 0;
  };
  const fs::path prog = dir() / ("ovclose" + std::to_string(::getpid()));
  fs::copy_file("/bin/sleep", prog);
  queue({Step("Start Program").command(prog.string() + " 60"), Step("Close Program")});
  run();
  const rt::ProcessHandle h = scriptState().processHandle;
  ASSERT_NE(h, 0);
  EXPECT_EQ(rt::waitProgram(h, 10000), rt::WaitResult::Ended);
  EXPECT_TRUE(ran.empty());

  // A program that did not start leaves only the last resort: every process of that name.
  queue({Step("Start Program").command("no-such-program-4711 /q"), Step("Close Program")});
  run();
  EXPECT_EQ(ran, std::vector<std::string>{"KillProc no-such-program-4711 /q"});
  EXPECT_EQ(logWith("Close Program"),
            std::vector<std::string>{
                "Close Program|Ending every process named no-such-program-4711: KillProc no-such-program-4711 /q"});
}

}  // namespace
}  // namespace ov::scheduler
