// The names of system error codes, as the event log and the program runner report them.
#include <gtest/gtest.h>

#include <cerrno>
#include <cctype>
#include <set>
#include <string>

#include "scheduler/script_services.h"
#include "scheduler/system_error_text.h"

namespace ov::scheduler {
namespace {

TEST(SystemErrorText, NamesKnownCodesAndAnswersUnknownStatusOtherwise) {
  struct Case {
    int32_t code;
    const char* want;
  };
  const Case cases[] = {
      {0, "SUCCESS"},
      {1, "INVALID FUNCTION"},
      {2, "FILE NOT FOUND"},
      {3, "PATH NOT FOUND"},
      {5, "ACCESS DENIED"},
      {8, "NOT ENOUGH MEMORY"},
      {14, "OUTOFMEMORY"},
      {32, "SHARING VIOLATION"},
      {87, "INVALID PARAMETER"},
      {112, "DISK FULL"},
      {183, "ALREADY EXISTS"},
      {259, "NO MORE ITEMS"},
      {995, "OPERATION ABORTED"},
      {1223, "CANCELLED"},
      {1460, "TIMEOUT"},
      {2108, "CONNECTED OTHER PASSWORD"},
      {2250, "NOT CONNECTED"},
      {2404, "DEVICE IN USE"},
      {4304, "MEDIA OFFLINE"},
      {35, "Unknown Status"},     // a gap in the list
      {1339, "Unknown Status"},   // another gap
      {1806, "Unknown Status"},   // past the last of a group
      {-1, "Unknown Status"},
      {-2147024894, "Unknown Status"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(SystemErrorText(true, c.code), c.want);
  }
}

TEST(SystemErrorText, TableHoldsEachCodeOnceWithNamesInItsOwnShape) {
  std::set<int32_t> codes;
  for (size_t i = 0; i < kSystemErrorNameCount; ++i) {
    const auto [code, name] = systemErrorRow(i);
    SCOPED_TRACE(code);
    EXPECT_TRUE(codes.insert(code).second) << "twice";
    EXPECT_FALSE(name.empty());
    EXPECT_LE(name.size(), 34u);
    for (char ch : name) EXPECT_TRUE(std::isupper(uint8_t(ch)) || std::isdigit(uint8_t(ch)) || ch == ' ') << name;
    EXPECT_EQ(SystemErrorText(true, code), name);
  }
  EXPECT_EQ(codes.size(), 649u);
  EXPECT_TRUE(systemErrorRow(kSystemErrorNameCount).second.empty());
}

TEST(SystemErrorText, NetworkCodesStandBeforeTheGroupFrom1200) {
  size_t at2108 = 0, at1200 = 0, at1173 = 0;
  for (size_t i = 0; i < kSystemErrorNameCount; ++i) {
    const int32_t code = systemErrorRow(i).first;
    if (code == 2108) at2108 = i;
    if (code == 1200) at1200 = i;
    if (code == 1173) at1173 = i;
  }
  EXPECT_EQ(at2108, at1173 + 1);
  EXPECT_EQ(at1200, at2108 + 6);  // 2108, 2202, 2250, 2401, 2402, 2404
  EXPECT_EQ(systemErrorRow(0).first, 0);
  EXPECT_EQ(systemErrorRow(kSystemErrorNameCount - 1).first, 4304);
}

TEST(SystemErrorText, LastErrorIsTheThreadsErrnoAsAWindowsCode) {
  errno = ENOENT;
  EXPECT_EQ(SystemErrorText(false), "FILE NOT FOUND");
  errno = EACCES;
  EXPECT_EQ(SystemErrorText(false), "ACCESS DENIED");
  errno = 0;
  EXPECT_EQ(SystemErrorText(false), "SUCCESS");
}

// Without a replacement installed, the program runner's error texts come from the table.
TEST(SystemErrorText, ScriptServicesAnswerFromTheTableByDefault) {
  scriptServices().systemErrorText = nullptr;
  EXPECT_EQ(systemErrorText(1460), "TIMEOUT");
  EXPECT_EQ(systemErrorText(35), "Unknown Status");
}

}  // namespace
}  // namespace ov::scheduler
