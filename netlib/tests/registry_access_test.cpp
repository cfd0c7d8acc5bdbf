#include <gtest/gtest.h>

#include <filesystem>

#include "netlib/net_registry.h"
#include "netlib/tests/support.h"
#include "platform/os/registry.h"

namespace ov::net {
namespace {

using namespace std::string_literals;
using test::CapturedLog;
using test::loadWith;
using test::TempConfig;

const char* const kKey = "Software\\Hollin\\Wirelet\\Debug";

TEST(NetRegistry, ValuesComeBackByTheirType) {
  TempConfig config;
  struct Case {
    const char* name;
    long type;
    std::string written;
    std::string read;
  };
  const Case cases[] = {
      {"text loses trailing blanks", kRegText, "value   ", "value"},
      {"binary keeps every byte, blanks and zeros too", kRegBinary, "ab  \0\0 \0"s, "ab  \0\0 \0"s},
      {"number", kRegNumber, "4000000000", "4000000000"},
      {"a number that is no number is 0", kRegNumber, "abc", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(NetSetRegistry(kHkeyCurrentUser, c.type, kKey, c.name, c.written), 0);
    bool found = false;
    EXPECT_EQ(NetGetRegistry(kHkeyCurrentUser, c.type, found, kKey, c.name), c.read);
    EXPECT_TRUE(found);
  }
  os::RegValue stored;
  ASSERT_EQ(os::Registry().queryValue(os::RegRoot::CurrentUser, kKey, "number", stored), 0);
  EXPECT_EQ(stored.type, os::RegType::Dword);
  EXPECT_EQ(stored.asDword(), 4000000000u);
}

TEST(NetRegistry, WhatIsNotFoundAndWhatIsLogged) {
  TempConfig config;
  CapturedLog log;
  loadWith("prog /netdlllogerrors");
  ASSERT_EQ(NetSetRegistry(kHkeyCurrentUser, kRegText, kKey, "Empty", ""), 0);
  ASSERT_EQ(NetSetRegistry(kHkeyCurrentUser, kRegNumber, kKey, "Count", "7"), 0);
  bool found = true;

  log.clear();
  EXPECT_EQ(NetGetRegistry(kHkeyCurrentUser, kRegText, found, kKey, "Empty"), "");
  EXPECT_FALSE(found);
  found = true;
  EXPECT_EQ(NetGetRegistry(kHkeyCurrentUser, kRegText, found, kKey, "Count"), "");  // type mismatch
  EXPECT_FALSE(found);
  found = true;
  EXPECT_EQ(NetGetRegistry(kHkeyCurrentUser, kRegText, found, kKey, "Missing"), "");
  EXPECT_FALSE(found);
  EXPECT_TRUE(log.lines().empty());  // none of these is worth a line

  found = true;
  EXPECT_EQ(NetGetRegistry(kHkeyCurrentUser, kRegText, found, "Software\\Nowhere", "x"), "");
  EXPECT_FALSE(found);
  EXPECT_TRUE(log.contains("[NetDLL]  Reg_OpenKey() : Registry Entry not found. loc:ret = 2. Returning hkey = 0 "
                           "trying to open = Software\\Nowhere"));
}

TEST(NetRegistry, AStoreThatCannotBeWrittenGivesMinusOne) {
  TempConfig config;
  CapturedLog log;
  loadWith("prog /netdlllogerrors");
  std::filesystem::remove(config.registryFile());
  std::filesystem::create_directories(config.registryFile());  // a folder where the file should be
  EXPECT_EQ(NetSetRegistry(kHkeyCurrentUser, kRegText, kKey, "x", "y"), -1);
  EXPECT_TRUE(log.contains("Reg_CreateKey() : Error returned from RegCreateKey = "));
}

}  // namespace
}  // namespace ov::net
