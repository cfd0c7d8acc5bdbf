// The ovftp program as a process (exit codes, logs beside the program, OVFTP.INI), and its window
// offscreen under the scripted host (the syntax message, the progress display, Cancel).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "ftp/ftp_log.h"
#include "ftp/ftp_window.h"
#include "ftp/tests/support.h"
#include "platform/libs/ftp/tests/ftp_server.h"
#include "platform/rt/ini.h"
#include "platform/rt/secret_file.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"

namespace ov::ftp {
namespace {

using ftplib::test::FtpServer;
using ftplib::test::TempFolder;
using test::ProgramFolder;
using namespace std::chrono_literals;

#define NEED_SERVER(server)                                                          \
  if (std::string why = FtpServer::unavailable(); !why.empty()) GTEST_SKIP() << why; \
  FtpServer& server = FtpServer::shared();                                           \
  ASSERT_TRUE(server.running()) << server.error()

TEST(FtpProgramRun, ExitCodesAndTheResultLog) {
  NEED_SERVER(server);
  const std::string t = "/" + server.freshFolder();
  server.write(t + "/a.txt", "alpha");
  TempFolder local;
  const std::string port = std::to_string(server.port());
  const std::string dead = std::to_string(ftplib::test::deadPort());
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
  };
  const Case kCases[] = {
      {"download", {"D", t + "/a.txt", local.file("a.txt"), "127.0.0.1", "probe", "pw", "Y", "N", port}, 0},
      {"passive upload", {"U", local.file("a.txt"), t + "/copy.txt", "127.0.0.1", "probe", "pw", "Y", "Y", port}, 0},
      {"missing remote file", {"D", t + "/none.txt", local.path(), "127.0.0.1", "probe", "pw", "Y", "N", port}, -1},
      {"no server there", {"D", t + "/a.txt", local.path(), "127.0.0.1", "probe", "pw", "Y", "N", dead}, -1},
      {"wrong password", {"D", t + "/a.txt", local.path(), "127.0.0.1", "probe", "nope", "Y", "N", port}, -1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ProgramFolder program;
    EXPECT_EQ(program.run(c.args), c.exitCode);
    EXPECT_EQ(program.exists(kFtpLog), c.exitCode != 0) << "a result log after a failure only";
    if (c.exitCode != 0) {
      EXPECT_NE(rt::GETINI("FTPStatus", "Errorcode", "", program.file(kFtpLog)), "No error");
      EXPECT_EQ(rt::GETINI("OperationSpec", "Param2 From", "", program.file(kFtpLog)), c.args[1]);
    }
  }
  EXPECT_EQ(local.read("a.txt"), "alpha");
  EXPECT_EQ(server.read(t + "/copy.txt"), "alpha");
}

TEST(FtpProgramRun, OverridesInTheProgramFolderReplaceTheCommandLine) {
  NEED_SERVER(server);
  const std::string t = "/" + server.freshFolder();
  server.write(t + "/a.txt", "alpha");
  TempFolder local;
  ProgramFolder program;
  // The command line as the script steps build it: six values, so port 21 and active mode.
  const std::vector<std::string> args = {"D", t + "/a.txt", local.file("b.txt"), "127.0.0.1", "probe", "pw"};
  program.write("OVFTP.INI", "[Overrides]\nPort=" + std::to_string(server.port()) + "\nPassive=Y\nOverwrite=\n");
  EXPECT_EQ(program.run(args), 0);
  EXPECT_EQ(local.read("b.txt"), "alpha");
  // Without the override the port is 21, where no server of the test listens.
  program.write("OVFTP.INI", "[Overrides]\nPort=\n");
  if (ftplib::test::deadPort() != 21) {
    EXPECT_EQ(program.run(args), -1);
    EXPECT_EQ(rt::GETINI("OperationSpec", "Port", "", program.file(kFtpLog)), "21");
  }
}

// The password handed over in a private file (as the script steps do) logs in, and the file is
// gone after the run.
TEST(FtpProgramRun, PasswordFromAFileIsReadAndDeleted) {
  NEED_SERVER(server);
  const std::string t = "/" + server.freshFolder();
  server.write(t + "/a.txt", "alpha");
  TempFolder local;
  ProgramFolder program;
  const char* old = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = old ? old : "";
  ::setenv("XDG_RUNTIME_DIR", program.runtimeFolder().c_str(), 1);  // the program's, to write the file there
  std::string error;
  const std::string file = rt::writeSecretFile("pw", &error);
  if (old) ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  else ::unsetenv("XDG_RUNTIME_DIR");
  ASSERT_FALSE(file.empty()) << error;
  EXPECT_EQ(program.run({"D", t + "/a.txt", local.file("a.txt"), "127.0.0.1", "probe", "", "PASSWORDFILE=" + file, "Y",
                         "N", std::to_string(server.port()), "/AUTO"}),
            0);
  EXPECT_EQ(local.read("a.txt"), "alpha");
  EXPECT_FALSE(std::filesystem::exists(file));
}

// A run nobody watches (a task's, "/AUTO", or one without a display) shows no box: a command line
// it cannot use ends with -1 and FTPLOG.INI saying why. A box would have kept it waiting.
TEST(FtpProgramRun, UnattendedRunsReportABadCommandLineInTheLog) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    bool display;
    const char* code;
    std::string message;
  };
  const Case kCases[] = {
      {"unknown operation, started by a task", {"X", "a", "b", "127.0.0.1", "/AUTO"}, true, "Syntax", kSyntax},
      {"unknown operation, no display", {"X", "a"}, false, "Syntax", kSyntax},
      {"a password file that is none of ours",
       {"D", "a", "b", "127.0.0.1", "u", "", "PASSWORDFILE=/etc/passwd", "/auto"}, true, "Password",
       "No password: /etc/passwd is not a password file of this program"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ProgramFolder program;
    EXPECT_EQ(program.run(c.args, 20000, c.display), -1);
    EXPECT_EQ(rt::GETINI("FTPStatus", "Errorcode", "", program.file(kFtpLog)), c.code);
    EXPECT_EQ(rt::GETINI("FTPStatus", "Errormessage", "", program.file(kFtpLog)), c.message);
  }
  EXPECT_TRUE(std::filesystem::exists("/etc/passwd"));
}

TEST(FtpProgramWindow, UnknownOperationShowsTheSyntaxAndOpensNoWindow) {
  ui::test::application();
  ui::test::ScriptedHost host;
  host.expectMessage("OVFTP Operation RemotePath LocalPath Host User Password OverwriteYN PassiveModeYN Port#",
                     ui::BUTTON::Ok);
  TempFolder folder;
  EXPECT_EQ(FtpProgram({"X", "a", "b", "127.0.0.1"}, folder.path()), -1);
  ASSERT_EQ(host.messages().size(), 1u);
  EXPECT_EQ(host.messages()[0].title, "Syntax");
  EXPECT_TRUE(ui::openWindows().empty());
  EXPECT_FALSE(folder.exists(kFtpLog));
}

TEST(FtpProgramWindow, ShowsProgressAndCancelEndsWithAFailure) {
  if (std::string why = FtpServer::unavailable(); !why.empty()) GTEST_SKIP() << why;
  FtpServer slow(8192);
  ASSERT_TRUE(slow.running()) << slow.error();
  slow.write("big.bin", std::string(400000, 'z'));
  ui::test::application();
  ui::test::ScriptedHost host;
  TempFolder local, folder, config;
  struct ConfigHome {  // the window's place is kept there; put back at the end
    std::string saved;
    bool had;
    explicit ConfigHome(const std::string& path) : had(::getenv("XDG_CONFIG_HOME") != nullptr) {
      if (had) saved = ::getenv("XDG_CONFIG_HOME");
      ::setenv("XDG_CONFIG_HOME", path.c_str(), 1);
    }
    ~ConfigHome() { had ? (void)::setenv("XDG_CONFIG_HOME", saved.c_str(), 1) : (void)::unsetenv("XDG_CONFIG_HOME"); }
  } configHome(config.path());
  int result = 1;
  const std::vector<std::string> args = {"D", "/big.bin", local.path(), "127.0.0.1", "probe", "pw", "Y", "Y",
                                         std::to_string(slow.port())};
  ui::test::runScript([&](ui::test::Driver& d) {
    d.later([&] { result = FtpProgram(args, folder.path()); });
    ui::test::WindowDriver w = d.waitWindow("FTPAction");
    EXPECT_EQ(w.title(), "FTP 127.0.0.1");
    // The display follows the timer while the bytes come.
    bool counting = false;
    for (int i = 0; i < 200 && !counting; ++i) {
      counting = w.text("?Bytes").find("/400000") != std::string::npos && w.text("?Bytes") != "0/400000";
      if (!counting) std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(counting) << w.text("?Bytes");
    EXPECT_EQ(w.text("?Status"), "Status - File 1 of 1");
    EXPECT_EQ(w.text("?StatusText"), "Downloading big.bin from 127.0.0.1");
    EXPECT_EQ(w.text("?Percent").back(), '%');
    EXPECT_NE(w.text("?Rate").find("k/s"), std::string::npos);

    host.expectMessage("Do you want to cancel this operation?", 2);  // No: the transfer goes on
    w.press("Cancel");
    EXPECT_TRUE(w.isOpen());
    host.expectMessage("Do you want to cancel this operation?", 1);  // Yes
    w.press("Cancel");
    d.waitClosed(w);
  }, 60s);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(rt::GETINI("FTPStatus", "Errorcode", "", folder.file(kFtpLog)), "Cancelled by the user");
  EXPECT_TRUE(local.list().empty()) << "no part of the download is left";
  EXPECT_NE(rt::GETINI("FTPAction", "Maximize", "", config.file("orvane/ovftp.INI")), "");
}

// The window takes its Cancel while the server has not answered the connection: the run ends
// then, not after the 30 s time-out, and leaves no file behind.
TEST(FtpProgramWindow, CancelWhileConnectingEndsAtOnce) {
  ftplib::test::SilentPort silent;
  ASSERT_NE(silent.port(), 0);
  ui::test::application();
  ui::test::ScriptedHost host;
  TempFolder local, folder;
  int result = 1;
  const std::vector<std::string> args = {"D", "/x.bin", local.path(), "127.0.0.1", "probe", "pw", "Y", "Y",
                                         std::to_string(silent.port())};
  ui::test::runScript([&](ui::test::Driver& d) {
    d.later([&] { result = FtpProgram(args, folder.path()); });
    ui::test::WindowDriver w = d.waitWindow("FTPAction");
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(w.text("?StatusText"), "Connecting to 127.0.0.1");
    host.expectMessage("Do you want to cancel this operation?", 1);  // Yes
    const auto pressed = std::chrono::steady_clock::now();
    w.press("Cancel");
    d.waitClosed(w);
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, 10s) << "closed by the cancel, not the time-out";
  }, 60s);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(rt::GETINI("FTPStatus", "Errorcode", "", folder.file(kFtpLog)), "Cancelled by the user");
  EXPECT_TRUE(local.list().empty());
}

}  // namespace
}  // namespace ov::ftp
