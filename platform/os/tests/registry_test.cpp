#include "platform/os/registry.h"

#include "platform/os/tests/support.h"
#include "platform/os/win_msg.h"

#include <gtest/gtest.h>

#include <thread>

namespace ov::os {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

constexpr RegRoot kCU = RegRoot::CurrentUser;
constexpr RegRoot kLM = RegRoot::LocalMachine;
const char* const kMail = "Software\\Microsoft\\Internet Account Manager\\Accounts\\00000001";

TEST(Registry, ValuesComeBackFromTheFileAsTheyWereSet) {
  TempDir dir;
  const std::vector<RegValue> kValues = {
      RegValue::text("SMTP Server", "mail.example.org"),
      RegValue::text("Quoted \"name\" \\ path", "C:\\Program Files\\x \"y\"\nsecond line\ttab"),
      RegValue::text("Empty", ""),
      RegValue::text("Umlaut Ä", "Grüße €"),
      RegValue::text("", "the default value"),
      RegValue::dword("RunID", 42),
      RegValue::dword("Max", 0xFFFFFFFFu),
      RegValue::binary("GUID", std::string("\x00\x01\xfe\xff\x00", 5)),
      RegValue::binary("Nothing", ""),
  };
  {
    Registry reg(dir.path() / "registry.ini");
    for (const RegValue& v : kValues) ASSERT_EQ(reg.setValue(kCU, kMail, v), winerr::kSuccess) << v.name;
  }
  Registry reg(dir.path() / "registry.ini");
  std::vector<RegValue> back;
  ASSERT_EQ(reg.enumValues(kCU, kMail, back), winerr::kSuccess);
  ASSERT_EQ(back.size(), kValues.size());
  for (size_t i = 0; i < kValues.size(); ++i) {
    SCOPED_TRACE(kValues[i].name);
    EXPECT_EQ(back[i].name, kValues[i].name);
    EXPECT_EQ(back[i].type, kValues[i].type);
    EXPECT_EQ(back[i].data, kValues[i].data);
  }
  RegValue v;
  ASSERT_EQ(reg.queryValue(kCU, kMail, "RunID", v), winerr::kSuccess);
  EXPECT_EQ(v.asDword(), 42u);

  std::string text = readFile(reg.file());
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Account Manager\\Accounts\\00000001]\n"
                      "\"SMTP Server\"=\"mail.example.org\"\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\"RunID\"=dword:0000002a\n"), std::string::npos);
  EXPECT_NE(text.find("\"GUID\"=hex:00,01,fe,ff,00\n"), std::string::npos);
  EXPECT_NE(text.find("@=\"the default value\"\n"), std::string::npos);
}

TEST(Registry, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
  TempDir dir;
  Registry reg(dir.path() / "r.ini");
  ASSERT_EQ(reg.setValue(kCU, kMail, RegValue::text("SMTP Server", "a")), winerr::kSuccess);
  ASSERT_EQ(reg.setValue(kCU, "software\\MICROSOFT\\internet account manager\\accounts\\00000001",
                         RegValue::text("smtp server", "b")),
            winerr::kSuccess);
  std::vector<RegValue> back;
  ASSERT_EQ(reg.enumValues(kCU, kMail, back), winerr::kSuccess);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].name, "SMTP Server");
  EXPECT_EQ(back[0].data, "b");
  RegValue v;
  EXPECT_EQ(reg.queryValue(kCU, kMail, "SMTP SERVER", v), winerr::kSuccess);
  EXPECT_EQ(reg.queryValue(kCU, "\\" + std::string(kMail) + "\\", "smtp server", v), winerr::kSuccess)
      << "stray separators";
  // The roots are separate trees.
  EXPECT_EQ(reg.queryValue(kLM, kMail, "SMTP Server", v), winerr::kFileNotFound);
}

TEST(Registry, KeysAndTheirFailures) {
  TempDir dir;
  Registry reg(dir.path() / "r.ini");
  RegValue v;
  std::vector<RegValue> values;
  EXPECT_EQ(reg.openKey(kCU, "Software\\Nothing"), winerr::kFileNotFound) << "no file yet";
  EXPECT_EQ(reg.queryValue(kCU, "Software\\Nothing", "x", v), winerr::kFileNotFound);
  EXPECT_EQ(reg.enumValues(kCU, "Software\\Nothing", values), winerr::kFileNotFound);
  EXPECT_EQ(reg.openKey(kCU, ""), winerr::kSuccess) << "the root itself";

  ASSERT_EQ(reg.createKey(kCU, "A\\B\\C"), winerr::kSuccess);
  EXPECT_EQ(reg.openKey(kCU, "a\\b"), winerr::kSuccess) << "parents are made too";
  EXPECT_EQ(reg.queryValue(kCU, "A\\B\\C", "missing", v), winerr::kFileNotFound);
  EXPECT_EQ(reg.deleteValue(kCU, "A\\B\\C", "missing"), winerr::kFileNotFound);
  EXPECT_EQ(reg.deleteKey(kCU, "A\\B"), winerr::kAccessDenied) << "it has a subkey";
  EXPECT_EQ(reg.deleteKey(kCU, "a\\b\\c"), winerr::kSuccess);
  EXPECT_EQ(reg.openKey(kCU, "A\\B\\C"), winerr::kFileNotFound);
  EXPECT_EQ(reg.openKey(kCU, "A\\B"), winerr::kSuccess) << "the parent stays";
  EXPECT_EQ(reg.deleteKey(kCU, "A\\B\\C"), winerr::kFileNotFound);
  EXPECT_EQ(reg.deleteKey(kCU, ""), winerr::kAccessDenied);
  EXPECT_EQ(reg.setValue(kCU, "Bad\x01Key", RegValue::text("x", "y")), winerr::kInvalidParameter);
  EXPECT_EQ(reg.setValue(kCU, std::string(256, 'k'), RegValue::text("x", "y")), winerr::kInvalidParameter);

  ASSERT_EQ(reg.setValue(kCU, "A\\B", RegValue::text("x", "1")), winerr::kSuccess);
  ASSERT_EQ(reg.deleteValue(kCU, "A\\B", "X"), winerr::kSuccess);
  ASSERT_EQ(reg.enumValues(kCU, "A\\B", values), winerr::kSuccess);
  EXPECT_TRUE(values.empty());
}

TEST(Registry, LinesItCannotReadAreKept) {
  TempDir dir;
  auto file = dir.path() / "r.ini";
  writeFile(file,
            "; written by hand\n"
            "[HKEY_CURRENT_USER\\Software\\X]\n"
            "\"Good\"=\"1\"\n"
            "this line is not a value\n"
            "\"Half=\"open\n"
            "\"Number\"=dword:12\n");
  Registry reg(file);
  std::vector<RegValue> values;
  ASSERT_EQ(reg.enumValues(kCU, "Software\\X", values), winerr::kSuccess);
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, "Good");
  ASSERT_EQ(reg.setValue(kCU, "Software\\X", RegValue::text("New", "2")), winerr::kSuccess);
  std::string text = readFile(file);
  for (const char* kept : {"; written by hand\n", "this line is not a value\n", "\"Half=\"open\n",
                           "\"Number\"=dword:12\n", "\"New\"=\"2\"\n"})
    EXPECT_NE(text.find(kept), std::string::npos) << kept << " in\n" << text;
}

TEST(Registry, TwoWritersLoseNothing) {
  TempDir dir;
  auto file = dir.path() / "r.ini";
  auto writer = [&](char who) {
    Registry reg(file);
    for (int i = 0; i < 40; ++i)
      EXPECT_EQ(reg.setValue(kCU, "Software\\Race", RegValue::dword(std::string(1, who) + std::to_string(i), i)),
                winerr::kSuccess);
  };
  std::thread a(writer, 'a'), b(writer, 'b');
  a.join();
  b.join();
  std::vector<RegValue> values;
  ASSERT_EQ(Registry(file).enumValues(kCU, "Software\\Race", values), winerr::kSuccess);
  EXPECT_EQ(values.size(), 80u);
}

TEST(Registry, UsersStoreLivesInTheConfigFolder) {
  TempDir dir;
  test::EnvGuard env("XDG_CONFIG_HOME", dir.path().string());
  EXPECT_EQ(Registry().file(), dir.path() / "orvane" / "registry.ini");
  ASSERT_EQ(Registry().setValue(kLM, "Software\\Microsoft\\Windows\\CurrentVersion",
                                RegValue::text("RegisteredOwner", "Ann")),
            winerr::kSuccess);
  RegValue v;
  ASSERT_EQ(Registry().queryValue(kLM, "Software\\Microsoft\\Windows\\CurrentVersion", "registeredowner", v),
            winerr::kSuccess);
  EXPECT_EQ(v.data, "Ann");
}

TEST(Registry, RootNames) {
  struct Case {
    const char* name;
    bool known;
    RegRoot root;
  };
  const Case kCases[] = {
      {"HKEY_CURRENT_USER", true, RegRoot::CurrentUser}, {"hkcu", true, RegRoot::CurrentUser},
      {"HKEY_LOCAL_MACHINE", true, RegRoot::LocalMachine}, {"HKLM", true, RegRoot::LocalMachine},
      {"HKEY_CLASSES_ROOT", true, RegRoot::ClassesRoot}, {"HKU", true, RegRoot::Users},
      {"HKEY_CURRENT_CONFIG", true, RegRoot::CurrentConfig}, {"HKEY_NOWHERE", false, RegRoot::CurrentUser},
      {"", false, RegRoot::CurrentUser},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    RegRoot root = RegRoot::CurrentUser;
    EXPECT_EQ(Registry::rootFromName(c.name, root), c.known);
    if (c.known) {
      EXPECT_EQ(root, c.root);
      RegRoot again{};
      EXPECT_TRUE(Registry::rootFromName(Registry::rootName(root), again));
      EXPECT_EQ(again, root);
    }
  }
}

}  // namespace
}  // namespace ov::os
