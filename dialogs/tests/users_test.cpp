// The users list and form driven as a user would: a new user needing a name, the access option
// stored without its "&", the read-only view, deleting, and the list opened only once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/register_windows.h"
#include "dialogs/tests/fixture.h"
#include "dialogs/users.h"
#include "platform/ui/event.h"
#include "platform/ui/runtime.h"
#include "scheduler/frame_commands.h"

using namespace ov;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

std::vector<files::UserRec> storedUsers() {
  std::vector<files::UserRec> out;
  const files::UserRec saved = files::U_;
  EXPECT_EQ(files::Access_USERS.Open(), rt::Err::None);
  rt::Err err = files::USERS.set(files::U_KeyUser);
  while (err == rt::Err::None && (err = files::USERS.next()) == rt::Err::None) out.push_back(files::U_);
  (void)files::Access_USERS.Close();
  files::U_ = saved;
  return out;
}

void addUser(const char* name) {
  ASSERT_EQ(files::Access_USERS.Open(), rt::Err::None);
  files::USERS.clear();
  files::U_.User = name;
  files::U_.Security = "Personal";
  ASSERT_EQ(files::USERS.add(), rt::Err::None);
  (void)files::Access_USERS.Close();
}

int openCount(std::string_view procedure) {
  int n = 0;
  for (ui::Window* w : ui::openWindows())
    if (w->manager() && w->manager()->procedureName() == procedure) ++n;
  return n;
}

using Users = dialogs::testing::DataFolder;

TEST_F(Users, NewUserNeedsANameAndStoresTheAccessText) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseUsers);
    WindowDriver list = d.waitWindow("BrowseUsers");
    EXPECT_EQ(list.title(), "Users");
    EXPECT_FALSE(list.shown("?Select")) << "only a list opened to select a user selects";
    list.press("?Insert");
    WindowDriver form = d.waitWindow("UpdateUsers");
    EXPECT_EQ(form.title(), "New User");
    host.expectMessage("\"User\" must be entered.", ui::BUTTON::Ok);
    form.press("?OK");
    d.settle();
    ASSERT_TRUE(form.isOpen()) << "OK refused without a name";
    EXPECT_EQ(host.messages().back().title, "Missing Information");

    form.enter("?U_:USER", "alice");
    form.check("?U_:USEPASSWORD", true);
    form.enter("?U_:PASSWORD", "one");
    form.enter("?U_:CONFIRMPASSWORD", "two");
    form.press("?U_:SECURITY:Radio2");
    form.selectTab("Notes");
    form.enter("?U_:NOTES", "Shares the office folder");
    form.press("?OK");
    d.waitClosed(form);
    d.gui([] { EXPECT_EQ(files::GLOBALRESPONSE, ui::RequestCompleted); });
    list.close();
    d.waitClosed(list);
  });
  EXPECT_FALSE(host.pending());
  const auto users = storedUsers();
  ASSERT_EQ(users.size(), 1u);
  EXPECT_EQ(users[0].User.str(), "alice");
  EXPECT_EQ(users[0].Security.str(), "All Users");
  EXPECT_EQ(users[0].UsePassword, 1);
  EXPECT_EQ(users[0].Password.str(), "one") << "the passwords are stored as typed";
  EXPECT_EQ(users[0].ConfirmPassword.str(), "two");
  EXPECT_EQ(users[0].Notes.str(), "Shares the office folder");
}

TEST_F(Users, ViewIsReadOnlyAndDeleteConfirms) {
  addUser("bob");
  addUser("carol");
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([] {
      files::U_.User = "bob";
      files::U_.Security = "Personal";
      files::GLOBALREQUEST = ui::ViewRecord;
      (void)dialogs::UpdateUsers();
    });
    WindowDriver form = d.waitWindow("UpdateUsers");
    EXPECT_EQ(form.title(), "View User");
    EXPECT_FALSE(form.enabled("?U_:USER"));
    EXPECT_FALSE(form.enabled("?U_:SOURCEPATH"));
    EXPECT_EQ(form.prop("?Cancel", ui::Prop::Text), "Cl&ose");
    EXPECT_EQ(form.prop("?U_:USER:Prompt", ui::Prop::Text), "User:");
    form.press("?Cancel");
    d.waitClosed(form);

    d.start(dialogs::makeBrowseUsers);
    WindowDriver list = d.waitWindow("BrowseUsers");
    list.press("?Delete");
    form = d.waitWindow("UpdateUsers");
    EXPECT_EQ(form.title(), "User");
    EXPECT_TRUE(form.enabled("?OK"));
    EXPECT_EQ(form.text("?U_:USER"), "bob");
    form.press("?OK");
    d.waitClosed(form);
    list.close();
    d.waitClosed(list);
  });
  const auto users = storedUsers();
  ASSERT_EQ(users.size(), 1u);
  EXPECT_EQ(users[0].User.str(), "carol");
}

TEST_F(Users, SecondOpenBringsTheFirstForward) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseUsers);
    WindowDriver list = d.waitWindow("BrowseUsers");
    d.start(dialogs::makeBrowseUsers);
    d.settle();
    EXPECT_EQ(openCount("BrowseUsers"), 1);
    list.close();
    d.waitClosed(list);
    d.start(dialogs::makeBrowseUsers);
    list = d.waitWindow("BrowseUsers");
    EXPECT_EQ(openCount("BrowseUsers"), 1) << "closing removed it from the list of open windows";
    list.close();
    d.waitClosed(list);
  });
}

TEST_F(Users, FrameCommandOpensTheList) {
  dialogs::registerWindows();
  EXPECT_TRUE(scheduler::CommandAvailable(scheduler::Command::Users));
}

}  // namespace
