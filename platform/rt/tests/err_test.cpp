// The last error of a thread, and errors reported while the thread (or the process) ends.
#include "platform/rt/err.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace ov::rt {
namespace {

TEST(LastError, KeptPerThreadUntilCleared) {
  setError(Err::NoFile, "A.TPS", "no such file");
  EXPECT_EQ(ERRORCODE(), 2);
  EXPECT_EQ(ERROR(), "File Not Found");
  EXPECT_EQ(ERRORFILE(), "A.TPS");
  EXPECT_EQ(FILEERROR(), "no such file");
  std::thread([] { EXPECT_EQ(ERRORCODE(), 0) << "another thread has its own"; }).join();
  clearError();
  EXPECT_EQ(ERRORCODE(), 0);
  EXPECT_EQ(ERROR(), "");
  EXPECT_EQ(ERRORFILE(), "");
}

// An object destroyed after the thread's last error (as a file manager of static storage is at
// the process's end, when it closes its file) may still report errors: they are dropped, and
// the freed error texts are never written to.
struct ReportsWhenDestroyed {
  int* seen = nullptr;
  ~ReportsWhenDestroyed() {
    setError(Err::NotOpen, std::string(64, 'f'), std::string(64, 'd'));
    if (seen) *seen = ERRORCODE();
  }
};
thread_local ReportsWhenDestroyed t_reporter;

TEST(LastError, ErrorsReportedAfterTheThreadsErrorIsGoneAreDropped) {
  int seen = -1;
  std::thread([&] {
    t_reporter.seen = &seen;                     // made first, so destroyed last
    setError(Err::NoFile, std::string(64, 'x'));  // the last error, with texts on the heap
  }).join();
  EXPECT_EQ(seen, 0);
}

}  // namespace
}  // namespace ov::rt
