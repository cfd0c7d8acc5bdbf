// Whole operations without a window, against a pyftpdlib server on 127.0.0.1: downloads, uploads,
// wildcards, remote commands, failures and their logs, a cancel.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "ftp/ftp_command.h"
#include "ftp/ftp_log.h"
#include "ftp/ftp_operation.h"
#include "ftp/tests/support.h"
#include "platform/libs/ftp/tests/ftp_server.h"
#include "platform/rt/ini.h"

namespace ov::ftp {
namespace {

using ftplib::test::FtpServer;
using ftplib::test::TempFolder;
using test::LoopHost;

#define NEED_SERVER(server)                                                          \
  if (std::string why = FtpServer::unavailable(); !why.empty()) GTEST_SKIP() << why; \
  FtpServer& server = FtpServer::shared();                                           \
  ASSERT_TRUE(server.running()) << server.error()

struct Outcome {
  int result = 1;
  bool ended = false;
};

// Runs one command line with its logs in `logFolder`; `afterEvent` may act between events.
Outcome runOperation(const std::vector<std::string>& values, const TempFolder& logFolder,
                     const std::function<void(FtpOperation&, int)>& afterEvent = {}) {
  FtpCommand cmd;
  EXPECT_TRUE(parseFtpCommand(values, logFolder.file("OVFTP.INI"), cmd));
  LoopHost host;
  FtpSession session;
  session.Init(host, false);
  FtpOperation operation(cmd, logFolder.path(), session, [] {});
  Outcome out;
  out.ended = host.run(operation, session, 60000, [&](int event) {
    if (afterEvent) afterEvent(operation, event);
  });
  out.result = operation.result();
  session.Kill();
  return out;
}

std::string logged(const TempFolder& folder, const char* section, const char* key) {
  return rt::GETINI(section, key, "", folder.file(kFtpLog));
}

class FtpOperationRun : public ::testing::Test {
 protected:
  std::vector<std::string> args(std::vector<std::string> head, const FtpServer& server, const char* passive = "N",
                                const char* overwrite = "Y") {
    head.insert(head.end(), {"127.0.0.1", "probe", "pw", overwrite, passive, std::to_string(server.port())});
    return head;
  }
};

TEST_F(FtpOperationRun, DownloadsByNameFolderAndWildcard) {
  NEED_SERVER(server);
  const std::string t = "/" + server.freshFolder();
  server.write(t + "/a.txt", "alpha");
  server.write(t + "/B.TXT", "bravo");
  server.write(t + "/c.log", "charlie");
  server.write(t + "/empty.bin", "");
  server.write(t + "/lines.txt", "one\ntwo\n");
  struct Case {
    const char* name;
    const char* op;
    std::string from;
    std::string to;  // "@" stands for the local folder
    std::vector<std::pair<std::string, std::string>> files;  // what the local folder then holds
    const char* passive;
  };
  const Case kCases[] = {
      {"one file to a new name", "D", t + "/a.txt", "@/new.txt", {{"new.txt", "alpha"}}, "N"},
      {"one file into a folder keeps its name", "D", t + "/a.txt", "@", {{"a.txt", "alpha"}}, "Y"},
      {"backslashes in both paths", "D", "\\" + t.substr(1) + "\\a.txt", "@\\b.txt", {{"b.txt", "alpha"}}, "Y"},
      {"a pattern matches ignoring case", "D", t + "/*.txt", "@",
       {{"B.TXT", "bravo"}, {"a.txt", "alpha"}, {"lines.txt", "one\ntwo\n"}}, "N"},
      {"a remote folder gives every file", "G", t, "@",
       {{"B.TXT", "bravo"}, {"a.txt", "alpha"}, {"c.log", "charlie"}, {"empty.bin", ""}, {"lines.txt", "one\ntwo\n"}},
       "Y"},
      {"blocking download", "G", t + "/c.log", "@/c.log", {{"c.log", "charlie"}}, "N"},
      {"empty remote file", "D", t + "/empty.bin", "@/e.bin", {{"e.bin", ""}}, "Y"},
      {"text transfer", "AD", t + "/lines.txt", "@/l.txt", {{"l.txt", "one\ntwo\n"}}, "Y"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    TempFolder local, logs;
    std::string to = c.to;
    for (size_t at; (at = to.find('@')) != std::string::npos;) to.replace(at, 1, local.path());
    if (c.to.find('\\') != std::string::npos) std::replace(to.begin(), to.end(), '/', '\\');
    Outcome out = runOperation(args({c.op, c.from, to}, server, c.passive), logs);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(out.result, 0) << logged(logs, "FTPStatus", "Errormessage");
    EXPECT_FALSE(logs.exists(kFtpLog)) << "no result log after a success";
    std::vector<std::string> names;
    for (const auto& [name, bytes] : c.files) {
      names.push_back(name);
      std::string got = local.read(name);
      std::erase(got, '\r');  // a text transfer may bring the server's line ends
      EXPECT_EQ(got, bytes) << name;
    }
    EXPECT_EQ(local.list(), names);
  }
}

TEST_F(FtpOperationRun, UploadsByNamePatternAndEmptyFile) {
  NEED_SERVER(server);
  const std::string t = server.freshFolder();
  server.makeFolder(t + "/in");
  TempFolder local;
  local.write("one.txt", "1");
  local.write("TWO.TXT", "22");
  local.write("skip.dat", "x");
  local.write("zero.txt", "");
  std::string backslashed = local.path();
  std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
  struct Case {
    const char* name;
    const char* op;
    std::string from, to;
    std::vector<std::pair<std::string, std::string>> files;  // then on the server
  };
  const Case kCases[] = {
      {"one file to a new name", "U", local.file("one.txt"), "/" + t + "/in/renamed.txt", {{"in/renamed.txt", "1"}}},
      {"a pattern with backslashes into a folder", "U", backslashed + "\\*.txt", "/" + t,
       {{"TWO.TXT", "22"}, {"one.txt", "1"}, {"zero.txt", ""}}},
      {"an empty file completes", "U", local.file("zero.txt"), "/" + t + "/in/", {{"in/zero.txt", ""}}},
      {"blocking upload", "P", local.file("TWO.TXT"), "/" + t + "/in/p.txt", {{"in/p.txt", "22"}}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    TempFolder logs;
    Outcome out = runOperation(args({c.op, c.from, c.to}, server), logs);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(out.result, 0) << logged(logs, "FTPStatus", "Errormessage");
    EXPECT_FALSE(logs.exists(kFtpLog));
    for (const auto& [name, bytes] : c.files) {
      EXPECT_TRUE(server.exists(t + "/" + name)) << name;
      EXPECT_EQ(server.read(t + "/" + name), bytes) << name;
    }
  }
  EXPECT_FALSE(server.exists(t + "/skip.dat"));
}

TEST_F(FtpOperationRun, FailuresEndWithMinusOneAndAResultLog) {
  NEED_SERVER(server);
  const std::string t = "/" + server.freshFolder();
  server.write(t + "/a.txt", "alpha");
  TempFolder local;
  local.write("keep.txt", "mine");
  struct Case {
    const char* name;
    std::vector<std::string> head;
    const char* errorcode;  // a part of FTPStatus/Errorcode
    const char* state;
  };
  const Case kCases[] = {
      {"missing remote file", {"D", t + "/none.txt", local.file("keep.txt")}, "No such file", "Reading"},
      {"missing local folder", {"D", t + "/a.txt", local.file("no/such/x.txt")}, "Local folder not found", "Reading"},
      {"missing remote folder", {"U", local.file("keep.txt"), t + "/nofolder/x.txt"}, "No such folder", "Reading"},
      {"missing local file", {"U", local.file("none.txt"), t + "/"}, "Unable to open local file", "Writing"},
      {"wildcard that matches nothing", {"D", t + "/*.zip", local.path()}, "No such file", "Reading"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    TempFolder logs;
    Outcome out = runOperation(args(c.head, server), logs);
    ASSERT_TRUE(out.ended) << "a failure must end the run";
    EXPECT_EQ(out.result, -1);
    ASSERT_TRUE(logs.exists(kFtpLog));
    EXPECT_NE(logged(logs, "FTPStatus", "Errorcode").find(c.errorcode), std::string::npos)
        << logged(logs, "FTPStatus", "Errorcode");
    EXPECT_FALSE(logged(logs, "FTPStatus", "Errormessage").empty());
    EXPECT_EQ(logged(logs, "OperationSpec", "Param1 Op"), c.head[0]);
    EXPECT_EQ(logged(logs, "OperationSpec", "Param2 From"), c.head[1]);
    EXPECT_EQ(logged(logs, "OperationSpec", "LoginUser"), "probe");
    EXPECT_EQ(logged(logs, "OperationSpec", "LoginPassword"), "**");
    EXPECT_EQ(logged(logs, "OperationSpec", "Port"), std::to_string(server.port()));
    EXPECT_EQ(logged(logs, "OperationSpec", "State"), c.state);
  }
  // The failed download did not touch the file it would have replaced, nor left a part.
  EXPECT_EQ(local.read("keep.txt"), "mine");
  EXPECT_EQ(local.list(), std::vector<std::string>{"keep.txt"});
}

TEST_F(FtpOperationRun, OldLogGoesAtStartAndOverwriteNoKeepsExistingFiles) {
  NEED_SERVER(server);
  const std::string t = "/" + server.freshFolder();
  server.write(t + "/a.txt", "server a");
  server.write(t + "/b.txt", "server b");
  TempFolder local, logs;
  local.write("a.txt", "local a");
  logs.write(kFtpLog, "[FTPStatus]\nErrorcode=an old failure\n");
  Outcome out = runOperation(args({"D", t + "/*.txt", local.path()}, server, "Y", "N"), logs);
  EXPECT_EQ(out.result, 0);
  EXPECT_FALSE(logs.exists(kFtpLog)) << "the old log described another run";
  EXPECT_EQ(local.read("a.txt"), "local a");
  EXPECT_EQ(local.read("b.txt"), "server b");
  EXPECT_EQ(rt::GETINI("FTPStatus", "Errorcode", "", logs.file(kDebugIni)), "No error");

  local.write("up.txt", "new");
  Outcome up = runOperation(args({"U", local.file("up.txt"), t + "/a.txt"}, server, "Y", "N"), logs);
  EXPECT_EQ(up.result, 0);
  EXPECT_EQ(server.read(t + "/a.txt"), "server a");
  Outcome replace = runOperation(args({"U", local.file("up.txt"), t + "/a.txt"}, server, "Y", "Y"), logs);
  EXPECT_EQ(replace.result, 0);
  EXPECT_EQ(server.read(t + "/a.txt"), "new");
}

TEST_F(FtpOperationRun, RemoteFolderCommands) {
  NEED_SERVER(server);
  const std::string t = server.freshFolder();
  server.write(t + "/gone.txt", "x");
  TempFolder logs;
  EXPECT_EQ(runOperation(args({"MD", "/" + t + "/made", ""}, server), logs).result, 0);
  EXPECT_TRUE(server.exists(t + "/made"));
  EXPECT_EQ(runOperation(args({"RD", "\\" + t + "\\made", ""}, server), logs).result, 0);
  EXPECT_FALSE(server.exists(t + "/made"));
  EXPECT_EQ(runOperation(args({"RM", "/" + t + "/gone.txt", ""}, server), logs).result, 0);
  EXPECT_FALSE(server.exists(t + "/gone.txt"));
  EXPECT_FALSE(logs.exists(kFtpLog));
  EXPECT_EQ(runOperation(args({"RM", "/" + t + "/gone.txt", ""}, server), logs).result, -1);
  EXPECT_NE(logged(logs, "FTPStatus", "Errorcode").find("No such file"), std::string::npos);
}

TEST_F(FtpOperationRun, WrongPasswordAndNoServer) {
  NEED_SERVER(server);
  TempFolder local, logs;
  std::vector<std::string> wrong = {"D", "/x.txt", local.path(), "127.0.0.1", "probe", "wrong", "Y", "N",
                                    std::to_string(server.port())};
  Outcome out = runOperation(wrong, logs);
  ASSERT_TRUE(out.ended);
  EXPECT_EQ(out.result, -1);
  EXPECT_NE(rt::GETINI("FTP", "LoginError", "", logs.file(kDebugIni)).find("Unable to log on"), std::string::npos);
  EXPECT_EQ(logged(logs, "OperationSpec", "LoginPassword"), "*****");
  EXPECT_EQ(logs.read(kFtpLog).find("wrong"), std::string::npos) << "the password never reaches the log";
  EXPECT_EQ(logs.read(kDebugIni).find("wrong"), std::string::npos);

  std::vector<std::string> nobody = {"D", "/x.txt", local.path(), "127.0.0.1", "probe", "pw", "Y", "N",
                                     std::to_string(ftplib::test::deadPort())};
  out = runOperation(nobody, logs);
  ASSERT_TRUE(out.ended);
  EXPECT_EQ(out.result, -1);
  EXPECT_NE(logged(logs, "FTPStatus", "Errorcode").find("Unable to connect"), std::string::npos);
  EXPECT_EQ(logged(logs, "OperationSpec", "Param4 Host"), "127.0.0.1");
}

TEST_F(FtpOperationRun, CancelDuringATransferIsAFailureAndKeepsTheOldFile) {
  if (std::string why = FtpServer::unavailable(); !why.empty()) GTEST_SKIP() << why;
  FtpServer slow(4096);  // a 200 kB file takes almost a minute
  ASSERT_TRUE(slow.running()) << slow.error();
  slow.write("big.bin", std::string(200000, 'z'));
  TempFolder local, logs;
  local.write("big.bin", "old");
  std::vector<std::string> values = {"D", "/big.bin", local.path(), "127.0.0.1", "probe", "pw", "Y", "Y",
                                     std::to_string(slow.port())};
  Outcome out = runOperation(values, logs, [](FtpOperation& op, int event) {
    if (event == FtpEvent::LoggedIn) op.Cancel();  // the download is under way now
  });
  ASSERT_TRUE(out.ended);
  EXPECT_EQ(out.result, -1);
  EXPECT_EQ(logged(logs, "FTPStatus", "Errorcode"), "Cancelled by the user");
  EXPECT_EQ(local.read("big.bin"), "old");
  EXPECT_EQ(local.list(), std::vector<std::string>{"big.bin"});
}

// A server that takes the connection and never greets: Cancel ends the run at once (not after
// the 30 s connection time-out), as a failure, and leaves nothing behind.
TEST_F(FtpOperationRun, CancelWhileConnectingToASilentServerEndsAtOnce) {
  ftplib::test::SilentPort silent;
  TempFolder local, logs;
  FtpCommand cmd;
  ASSERT_TRUE(parseFtpCommand({"D", "/x.txt", local.path(), "127.0.0.1", "probe", "pw", "Y", "N",
                               std::to_string(silent.port())},
                              logs.file("OVFTP.INI"), cmd));
  LoopHost host;
  FtpSession session;
  session.Init(host, false);
  bool closed = false;
  FtpOperation operation(cmd, logs.path(), session, [&] { closed = true; });
  operation.Start();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(closed) << "still waiting for the greeting";
  EXPECT_FALSE(session.CONNECTED);
  const auto start = std::chrono::steady_clock::now();
  operation.Cancel();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_TRUE(closed);
  EXPECT_EQ(operation.result(), -1);
  EXPECT_EQ(logged(logs, "FTPStatus", "Errorcode"), "Cancelled by the user");
  EXPECT_EQ(host.statuses.back(), "Connection to 127.0.0.1 cancelled");
  EXPECT_TRUE(local.list().empty());
  session.Kill();
}

}  // namespace
}  // namespace ov::ftp
