// The FTP client library against a pyftpdlib server on 127.0.0.1.
#include <gtest/gtest.h>

#include <atomic>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "platform/libs/ftp/ftp_library.h"
#include "platform/libs/ftp/tests/ftp_server.h"

namespace ov::ftplib {
namespace {

using test::FtpServer;
using test::TempFolder;

#define NEED_SERVER(server)                                                          \
  if (std::string why = FtpServer::unavailable(); !why.empty()) GTEST_SKIP() << why; \
  FtpServer& server = FtpServer::shared();                                           \
  ASSERT_TRUE(server.running()) << server.error()

// Notifications as they come from the library's thread.
class Notifications {
 public:
  Notify callback() {
    return [this](int event) {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_events.push_back(event);
      m_cv.notify_all();
    };
  }
  // The next notification, 0 after 10 s without one.
  int next() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_cv.wait_for(lock, std::chrono::seconds(10), [&] { return !m_events.empty(); })) return 0;
    int e = m_events.front();
    m_events.pop_front();
    return e;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::deque<int> m_events;
};

std::string pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = char('a' + (i * 7 + i / 1000) % 26);
  return s;
}

class FtpLibrary : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(FtpInitialize(), 0); }
  void TearDown() override {
    if (m_handle > 0) FtpDisconnect(m_handle);
  }
  // Connects and logs on; the handle.
  Handle logOn(const FtpServer& server, bool passive = false) {
    m_handle = FtpConnect("127.0.0.1", server.port(), 10);
    EXPECT_GT(m_handle, 0) << FtpGetErrorString(FtpGetLastError());
    EXPECT_EQ(FtpLogin(m_handle, "probe", "pw", ""), 0) << FtpGetErrorString(FtpGetLastError());
    FtpSetPassiveMode(m_handle, passive);
    return m_handle;
  }
  // Reads the open file to its end as notifications come; the bytes, or the error code after "!".
  std::string readAll(Handle h, Notifications& n) {
    std::string got;
    char buf[1024];
    for (;;) {
      int r = FtpRead(h, buf, sizeof buf);
      if (r > 0) {
        got.append(buf, size_t(r));
        continue;
      }
      if (r == 0) return got;
      if (FtpGetLastError() != err::WouldBlock) return "!" + std::to_string(FtpGetLastError());
      if (n.next() == 0) return "!stalled";
    }
  }
  Handle m_handle = -1;
};

TEST_F(FtpLibrary, LogsOnAndChangesFoldersOnlyToThoseThatExist) {
  NEED_SERVER(server);
  std::string mine = server.freshFolder();
  server.makeFolder(mine + "/in");
  Handle h = logOn(server);
  std::string folder;
  ASSERT_EQ(FtpGetDirectory(h, folder), 0);
  EXPECT_EQ(folder, "/");
  EXPECT_EQ(FtpChangeDirectory(h, mine + "/in"), 0);
  FtpGetDirectory(h, folder);
  EXPECT_EQ(folder, "/" + mine + "/in");
  EXPECT_EQ(FtpChangeDirectory(h, "missing"), -1);
  EXPECT_EQ(FtpGetLastError(), err::FolderNotFound);
  FtpGetDirectory(h, folder);
  EXPECT_EQ(folder, "/" + mine + "/in") << "a failed change stays where it was";
  EXPECT_EQ(FtpChangeDirectory(h, ".."), 0);
  FtpGetDirectory(h, folder);
  EXPECT_EQ(folder, "/" + mine);
}

TEST_F(FtpLibrary, WholeFilesBothWaysAndTheirLengths) {
  NEED_SERVER(server);
  std::string mine = server.freshFolder();
  TempFolder local;
  const std::string bytes = pattern(100000);
  local.write("up.bin", bytes);
  local.write("empty.bin", "");
  Handle h = logOn(server, true);
  ASSERT_EQ(FtpChangeDirectory(h, "/" + mine), 0);
  ASSERT_EQ(FtpPutFile(h, local.file("up.bin"), "up.bin", 0), 0) << FtpGetErrorString(FtpGetLastError());
  EXPECT_EQ(server.read(mine + "/up.bin"), bytes);
  ASSERT_EQ(FtpPutFile(h, local.file("empty.bin"), "empty.bin", 0), 0);
  EXPECT_TRUE(server.exists(mine + "/empty.bin"));

  int64_t length = -5;
  EXPECT_EQ(FtpGetFileLength(h, "up.bin", length), 100000);
  EXPECT_EQ(length, 100000);
  EXPECT_EQ(FtpGetFileLength(h, "empty.bin", length), 0);
  EXPECT_EQ(FtpGetFileLength(h, "nothing.bin", length), -1);
  EXPECT_EQ(FtpGetLastError(), err::FileNotFound);

  ASSERT_EQ(FtpGetFile(h, local.file("down.bin"), "up.bin", 0), 0);
  EXPECT_EQ(local.read("down.bin"), bytes);
  // A download that fails keeps the local file it would have replaced, and leaves no part behind.
  EXPECT_EQ(FtpGetFile(h, local.file("down.bin"), "nothing.bin", 0), -1);
  EXPECT_EQ(FtpGetLastError(), err::FileNotFound);
  EXPECT_EQ(local.read("down.bin"), bytes);
  EXPECT_EQ(local.list(), (std::vector<std::string>{"down.bin", "empty.bin", "up.bin"}));
  EXPECT_EQ(FtpPutFile(h, local.file("absent.bin"), "x.bin", 0), -1);
  EXPECT_EQ(FtpGetLastError(), err::LocalFile);
}

TEST_F(FtpLibrary, OpenFilesMoveChunkByChunkAsNotified) {
  NEED_SERVER(server);
  std::string mine = server.freshFolder();
  const std::string bytes = pattern(2500000);  // beyond the upload buffer: writes must wait
  for (bool passive : {false, true}) {
    SCOPED_TRACE(passive ? "passive" : "active");
    Handle h = logOn(server, passive);
    ASSERT_EQ(FtpChangeDirectory(h, mine), 0);
    Notifications n;
    ASSERT_EQ(FtpAsyncNotify(h, n.callback()), 0);

    ASSERT_EQ(FtpOpenFile(h, "stream.bin", kOpenWrite), 0);
    size_t sent = 0;
    bool partial = false;
    while (sent < bytes.size()) {
      int chunk = int(std::min<size_t>(1500000, bytes.size() - sent));
      int w = FtpWrite(h, bytes.data() + sent, chunk);
      if (w > 0) {
        partial = partial || w < chunk;
        sent += size_t(w);
        continue;
      }
      ASSERT_EQ(FtpGetLastError(), err::WouldBlock);
      ASSERT_NE(n.next(), 0) << "no notification while waiting to write";
    }
    EXPECT_TRUE(partial) << "a write beyond the buffer is taken in part";
    ASSERT_EQ(FtpCloseFile(h), 0) << FtpGetErrorString(FtpGetLastError());
    EXPECT_EQ(server.read(mine + "/stream.bin"), bytes);

    ASSERT_EQ(FtpOpenFile(h, "stream.bin", kOpenRead), 0);
    EXPECT_EQ(readAll(h, n), bytes);
    EXPECT_EQ(FtpCloseFile(h), 0);

    // An upload closed without a byte still makes the (empty) file.
    ASSERT_EQ(FtpOpenFile(h, "zero.bin", kOpenWrite), 0);
    EXPECT_EQ(FtpCloseFile(h), 0);
    EXPECT_TRUE(server.exists(mine + "/zero.bin"));
    EXPECT_EQ(server.read(mine + "/zero.bin"), "");

    // A missing file fails through the read, not by silence.
    ASSERT_EQ(FtpOpenFile(h, "missing.bin", kOpenRead), 0);
    EXPECT_EQ(readAll(h, n), "!" + std::to_string(err::FileNotFound));
    FtpCloseFile(h);
    FtpAsyncNotify(h, nullptr);
    FtpDisconnect(h);
    m_handle = -1;
  }
}

TEST_F(FtpLibrary, AStalledReaderOrWriterEndsTheTransferAfterTheTimeout) {
  NEED_SERVER(server);
  std::string mine = server.freshFolder();
  server.write(mine + "/big.bin", pattern(3 << 20));  // more than the download buffer holds
  Handle h = logOn(server, true);
  ASSERT_EQ(FtpChangeDirectory(h, mine), 0);
  FtpSetTimeout(h, 1);
  Notifications n;
  FtpAsyncNotify(h, n.callback());

  // The writer opens and then gives nothing: the upload fails instead of waiting for ever.
  ASSERT_EQ(FtpOpenFile(h, "never.bin", kOpenWrite), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(FtpWrite(h, "x", 1), -1);
  EXPECT_EQ(FtpGetLastError(), err::Timeout);
  EXPECT_EQ(FtpCloseFile(h), -1);

  // The reader takes nothing: the download ends with a time-out after the buffered part.
  ASSERT_EQ(FtpOpenFile(h, "big.bin", kOpenRead), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  std::string got = readAll(h, n);
  EXPECT_EQ(got.substr(got.find('!') == std::string::npos ? got.size() : got.find('!')),
            "!" + std::to_string(err::Timeout));
  FtpCloseFile(h);
  FtpAsyncNotify(h, nullptr);
}

TEST_F(FtpLibrary, ListsFoldersAndRunsFolderCommands) {
  NEED_SERVER(server);
  std::string mine = server.freshFolder();
  server.write(mine + "/a.txt", "hello\n");
  server.write(mine + "/B.TXT", "");
  server.makeFolder(mine + "/sub");
  Handle h = logOn(server);
  ASSERT_EQ(FtpOpenDirectory(h, "/" + mine), 0) << FtpGetErrorString(FtpGetLastError());
  std::map<std::string, DirEntry> seen;
  DirEntry e;
  for (int more = FtpGetFirstFile(h, e); more; more = FtpGetNextFile(h, e)) seen[e.name] = e;
  FtpCloseDirectory(h);
  ASSERT_TRUE(seen.count("a.txt") && seen.count("B.TXT") && seen.count("sub"));
  EXPECT_EQ(seen["a.txt"].size, 6);
  EXPECT_FALSE(seen["a.txt"].isDirectory);
  EXPECT_TRUE(seen["sub"].isDirectory);
  EXPECT_GT(seen["a.txt"].year, 2000);
  EXPECT_EQ(FtpOpenDirectory(h, "/nowhere"), -1);

  ASSERT_EQ(FtpChangeDirectory(h, mine), 0);
  EXPECT_EQ(FtpMakeDirectory(h, "made"), 0) << FtpGetErrorString(FtpGetLastError());
  EXPECT_TRUE(server.exists(mine + "/made"));
  EXPECT_EQ(FtpMakeDirectory(h, "made"), -1);
  EXPECT_EQ(FtpRemoveDirectory(h, "made"), 0) << FtpGetErrorString(FtpGetLastError());
  EXPECT_FALSE(server.exists(mine + "/made"));
  EXPECT_EQ(FtpDeleteFile(h, "a.txt"), 0);
  EXPECT_FALSE(server.exists(mine + "/a.txt"));
  EXPECT_EQ(FtpDeleteFile(h, "a.txt"), -1);
  EXPECT_EQ(FtpGetLastError(), err::FileNotFound);
}

TEST_F(FtpLibrary, ConnectionFailuresAreReportedWithTheirCause) {
  NEED_SERVER(server);
  EXPECT_EQ(FtpConnect("127.0.0.1", test::deadPort(), 5), -1);
  EXPECT_EQ(FtpGetLastError(), err::ConnectFailed);
  EXPECT_EQ(FtpConnect("", 21, 5), -1);
  EXPECT_EQ(FtpGetLastError(), err::BadArgument);

  Handle h = FtpConnect("127.0.0.1", server.port(), 10);
  ASSERT_GT(h, 0);
  m_handle = h;
  EXPECT_EQ(FtpLogin(h, "probe", "wrong", ""), -1);
  EXPECT_EQ(FtpGetLastError(), err::LoginDenied);
  const std::string text = FtpGetErrorString(err::LoginDenied);
  EXPECT_EQ(text.find("wrong"), std::string::npos) << "the password never shows: " << text;
  std::string folder;
  EXPECT_EQ(FtpChangeDirectory(h, "/"), -1);
  EXPECT_EQ(FtpGetLastError(), err::NotLoggedIn);
}

// A server that takes the connection and never greets: FtpCancelConnect ends the wait at once,
// not after the connection's time-out.
TEST_F(FtpLibrary, CancelConnectStopsAConnectionThatWaitsForItsGreeting) {
  test::SilentPort silent;
  ASSERT_NE(silent.port(), 0);
  const uint32_t port = silent.port();
  EXPECT_EQ(FtpCancelConnect(), 0) << "nothing to stop";
  std::atomic<bool> returned{false};
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(returned) << "the connection did not wait for the greeting";
    EXPECT_NE(FtpCancelConnect(), 0);
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(FtpConnect("127.0.0.1", port, 30), -1);
  returned = true;
  const auto waited = std::chrono::steady_clock::now() - start;
  canceller.join();
  EXPECT_EQ(FtpGetLastError(), err::Cancelled);
  EXPECT_LT(waited, std::chrono::seconds(10)) << "ended by the cancel, not by the 30 s time-out";
  EXPECT_EQ(FtpCancelConnect(), 0);
}

TEST_F(FtpLibrary, CancelStopsABlockingCallAndAnUploadWithoutFinishingIt) {
  if (std::string why = FtpServer::unavailable(); !why.empty()) GTEST_SKIP() << why;
  FtpServer slow(4096);
  ASSERT_TRUE(slow.running()) << slow.error();
  slow.write("big.bin", pattern(200000));  // almost a minute at that speed
  TempFolder local;
  local.write("big.bin", "old");
  Handle h = logOn(slow, true);
  std::thread canceller([h] {
    for (int i = 0; i < 500 && !FtpIsBlocking(h); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_NE(FtpCancel(h), 0);
  });
  EXPECT_EQ(FtpGetFile(h, local.file("big.bin"), "big.bin", 0), -1);
  canceller.join();
  EXPECT_EQ(FtpGetLastError(), err::Cancelled);
  EXPECT_EQ(local.read("big.bin"), "old");
  EXPECT_EQ(local.list(), std::vector<std::string>{"big.bin"});

  // An upload stopped half-way is not closed as a complete one.
  ASSERT_EQ(FtpOpenFile(h, "half.bin", kOpenWrite), 0);
  const std::string bytes = pattern(50000);
  int taken = 0;
  for (int i = 0; i < 100 && taken == 0; ++i) {
    taken = std::max(0, FtpWrite(h, bytes.data(), int(bytes.size())));
    if (taken == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_GT(taken, 0);
  EXPECT_NE(FtpCancel(h), 0);
  EXPECT_EQ(FtpCloseFile(h), -1);
  EXPECT_EQ(FtpGetLastError(), err::Cancelled);
  EXPECT_EQ(FtpCancel(h), 0) << "nothing left to stop";
}

struct ListLine {
  const char* name;
  const char* line;
  bool parsed;
  const char* file;
  bool isDirectory;
  int64_t size;
  int year, month, day, hour, minute;
};

const ListLine kLines[] = {
    {"Unix file with a year", "-rw-r--r--   1 owner group  1234 Mar  5  2024 report 2024.txt", true,
     "report 2024.txt", false, 1234, 2024, 3, 5, 0, 0},
    {"Unix folder", "drwxr-xr-x   2 ftp ftp  4096 Jan 01  1999 pub", true, "pub", true, 4096, 1999, 1, 1, 0, 0},
    {"Unix link without group", "lrwxrwxrwx 1 root 7 Feb  2  2020 latest -> v2.0", true, "latest", false, 7, 2020, 2, 2, 0, 0},
    {"DOS folder", "12-10-26  11:35PM       <DIR>          sub dir", true, "sub dir", true, 0, 2026, 12, 10, 23, 35},
    {"DOS file, morning", "01-02-1998  12:05AM                 6 a.txt", true, "a.txt", false, 6, 1998, 1, 2, 0, 5},
    {"total line", "total 12", false, "", false, 0, 0, 0, 0, 0, 0},
    {"empty line", "", false, "", false, 0, 0, 0, 0, 0, 0},
    {"Unix line cut short", "-rw-r--r--   1 owner group  1234 Mar", false, "", false, 0, 0, 0, 0, 0, 0},
    {"DOS line with a bad time", "12-10-26  xx:35PM 6 a.txt", false, "", false, 0, 0, 0, 0, 0, 0},
};

TEST(FtpListLine, ParsesUnixAndDosLinesAndRefusesOthers) {
  for (const ListLine& c : kLines) {
    SCOPED_TRACE(c.name);
    DirEntry e;
    ASSERT_EQ(parseListLine(c.line, e), c.parsed);
    if (!c.parsed) continue;
    EXPECT_EQ(e.name, c.file);
    EXPECT_EQ(e.isDirectory, c.isDirectory);
    EXPECT_EQ(e.size, c.size);
    EXPECT_EQ(e.year, c.year);
    EXPECT_EQ(e.month, c.month);
    EXPECT_EQ(e.day, c.day);
    EXPECT_EQ(e.hour, c.hour);
    EXPECT_EQ(e.minute, c.minute);
  }
}

TEST(FtpListLine, MlsdFactsGiveTypeSizeAndName) {
  DirEntry e;
  ASSERT_TRUE(parseListLine("modify=20240305101500;perm=r;size=42;type=file;unique=1; my file.txt", e));
  EXPECT_EQ(e.name, "my file.txt");
  EXPECT_EQ(e.size, 42);
  EXPECT_FALSE(e.isDirectory);
  EXPECT_EQ(e.year, 2024);
  ASSERT_TRUE(parseListLine("type=pdir;modify=20240305101500; whatever", e));
  EXPECT_EQ(e.name, "..");
  EXPECT_TRUE(e.isDirectory);
}

}  // namespace
}  // namespace ov::ftplib
