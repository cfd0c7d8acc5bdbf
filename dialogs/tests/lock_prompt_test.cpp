// The system-lock prompt: how an entry is compared with the stored password, and the prompt's
// answers (lock off, wrong password, right password with and without unlocking the session).
#include <gtest/gtest.h>

#include "dialogs/lock_prompt.h"
#include "dialogs/tests/fixture.h"
#include "scheduler/program_body.h"
#include "scheduler/tick.h"

using namespace ov;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

class LockPrompt : public dialogs::testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    scheduler::startupSettings() = {};
    scheduler::startupSettings().systemLock = true;
    scheduler::startupSettings().systemPassword = "Open Sesame";
    scheduler::tickState().unlocked = false;
  }
  void TearDown() override {
    scheduler::startupSettings() = {};
    scheduler::tickState().unlocked = false;
    DataFolder::TearDown();
  }

  // Answers one prompt with `entry`; the prompt's answer.
  bool answer(const char* entry, bool unlock, ScriptedHost& host) {
    bool result = false;
    runScript([&](Driver& d) {
      d.later([&] { result = dialogs::fPasswordValidation(); });
      WindowDriver w = d.waitWindow("fPasswordValidation");
      EXPECT_EQ(w.title(), "Password Required");
      w.type("?Password", entry);
      w.check("?Unlock", unlock);
      w.press("?OK");
      d.waitClosed(w);
    });
    return result;
  }
};

TEST_F(LockPrompt, EntryMatchesStoredPassword) {
  struct Case {
    const char* name;
    const char* entry;
    bool matches;
  };
  const Case kCases[] = {
      {"same text", "Open Sesame", true},
      {"letter case does not count", "OPEN sesame", true},
      {"trailing blanks do not count", "open sesame   ", true},
      {"a leading blank counts", " Open Sesame", false},
      {"shorter", "Open", false},
      {"empty", "", false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(dialogs::systemPasswordMatches(c.entry, "Open Sesame"), c.matches);
  }
  EXPECT_FALSE(dialogs::systemPasswordMatches(std::string(33, 'A'), std::string(40, 'A')))
      << "only 32 characters of the stored password count";
}

TEST_F(LockPrompt, NoPromptWhileOffOrUnlocked) {
  ScriptedHost host;
  scheduler::startupSettings().systemLock = false;
  EXPECT_TRUE(dialogs::fPasswordValidation());
  scheduler::startupSettings().systemLock = true;
  scheduler::tickState().unlocked = true;
  EXPECT_TRUE(dialogs::fPasswordValidation());
}

TEST_F(LockPrompt, WrongPasswordIsRefusedOnce) {
  ScriptedHost host;
  host.expectMessage("The password you have entered is incorrect.", ui::BUTTON::Ok);
  EXPECT_FALSE(answer("Open Sesam", true, host));
  EXPECT_FALSE(host.pending());
  ASSERT_EQ(host.messages().size(), 1u);
  EXPECT_EQ(host.messages()[0].title, "Access Denied");
  EXPECT_FALSE(scheduler::tickState().unlocked);
}

TEST_F(LockPrompt, RightPasswordUnlocksTheSessionOnlyWhenAsked) {
  ScriptedHost host;
  EXPECT_TRUE(answer("open sesame", false, host));
  EXPECT_FALSE(scheduler::tickState().unlocked) << "the next guarded operation asks again";
  EXPECT_TRUE(answer("open sesame", true, host));
  EXPECT_TRUE(scheduler::tickState().unlocked);
  EXPECT_TRUE(dialogs::fPasswordValidation()) << "no further prompt";
  EXPECT_TRUE(host.messages().empty());
}

TEST_F(LockPrompt, CancelRefuses) {
  ScriptedHost host;
  bool result = true;
  runScript([&](Driver& d) {
    d.later([&] { result = dialogs::fPasswordValidation(); });
    WindowDriver w = d.waitWindow("fPasswordValidation");
    w.type("?Password", "Open Sesame");
    w.press("?Cancel");
    d.waitClosed(w);
  });
  EXPECT_FALSE(result);
}

}  // namespace
