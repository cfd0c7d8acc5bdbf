// The task categories: renaming and deleting under the relation to the tasks, the picker, and
// the frame's commands once the windows are registered.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/register_windows.h"
#include "dialogs/task_categories.h"
#include "dialogs/tests/fixture.h"
#include "dialogs/tests/records.h"
#include "editors/register_windows.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "scheduler/frame_commands.h"
#include "scheduler/program_windows.h"

using namespace ov;
using ov::dialogs::testing::addCategory;
using ov::dialogs::testing::addTask;
using ov::dialogs::testing::storedCategories;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

class TaskCategories : public dialogs::testing::DataFolder {};

void selectRow(WindowDriver& w, int row) {
  w.with([row](ui::Window& win) { win.setProp(win.feq("?Browse:1"), ui::Prop::Selected, row); });
}

TEST_F(TaskCategories, ACategoryInUseCannotBeRenamedOrDeleted) {
  addCategory("Home");
  addCategory("Work");
  addTask("Weekly report", "Work");
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseTaskCategories);
    WindowDriver list = d.waitWindow("BrowseTaskCategories");
    EXPECT_EQ(list.title(), "Task Categories");
    EXPECT_FALSE(list.shown("?Select")) << "a maintenance list";

    selectRow(list, 2);
    list.press("?Change");
    WindowDriver form = d.waitWindow("UpdateCategories");
    EXPECT_EQ(form.title(), "Edit Category");
    EXPECT_EQ(form.text("?CAT:Category"), "Work");
    form.enter("?CAT:Category", "Jobs");
    host.expectMessage("cannot be changed", ui::BUTTON::Ok);
    form.press("?OK");
    d.settle();
    ASSERT_TRUE(form.isOpen()) << "the refused change keeps the form open";
    form.press("?Cancel");
    d.waitClosed(form);

    selectRow(list, 2);
    list.press("?Delete");
    form = d.waitWindow("UpdateCategories");
    EXPECT_FALSE(form.enabled("?CAT:Category"));
    host.expectMessage("cannot be deleted", ui::BUTTON::Ok);
    form.press("?OK");
    d.settle();
    ASSERT_TRUE(form.isOpen());
    form.press("?Cancel");
    d.waitClosed(form);

    // An unused category goes; a new one comes.
    selectRow(list, 1);
    list.press("?Delete");
    form = d.waitWindow("UpdateCategories");
    form.press("?OK");
    d.waitClosed(form);
    list.press("?Insert");
    form = d.waitWindow("UpdateCategories");
    EXPECT_EQ(form.title(), "New Category");
    form.enter("?CAT:Category", "Garden");
    form.press("?OK");
    d.waitClosed(form);
    list.close();
    d.waitClosed(list);
  });
  EXPECT_EQ(storedCategories(), (std::vector<std::string>{"Garden", "Work"}));
}

TEST_F(TaskCategories, PickerOpensBesideTheListAndReturnsTheChosenCategory) {
  addCategory("Errands");
  addCategory("Home");
  addCategory("Work");
  ScriptedHost host;
  int response = 0;
  std::string picked;
  runScript([&](Driver& d) {
    const int maintenance = d.start(dialogs::makeBrowseTaskCategories);
    WindowDriver list = d.waitWindow("BrowseTaskCategories");
    d.later([&] {
      files::GLOBALREQUEST = ui::SelectRecord;
      response = dialogs::BrowseTaskCategories();
      picked = files::CAT.Category.str();
    });
    d.waitUntil([&] {
      int n = 0;
      for (ui::Window* w : ui::openWindows()) n += w->manager() && w->manager()->procedureName() == "BrowseTaskCategories";
      return n == 2;
    });
    WindowDriver picker = d.waitWindow("BrowseTaskCategories");
    ASSERT_NE(picker.handle(), list.handle());
    EXPECT_TRUE(picker.shown("?Select"));
    selectRow(picker, 3);
    picker.press("?Select");
    d.waitClosed(picker);
    d.gui([&] {
      ASSERT_EQ(scheduler::OpenWindowList().size(), 1u) << "the picker is never entered";
      EXPECT_EQ(scheduler::OpenWindowList()[0].thread, maintenance);
    });
    list.close();
    d.waitClosed(list);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  EXPECT_EQ(picked, "Work");
}

TEST_F(TaskCategories, FrameCommandsBecomeAvailableOnceRegistered) {
  using scheduler::Command::EventLog;
  using scheduler::Command::Holidays;
  using scheduler::Command::TaskCategories;
  using scheduler::Command::TaskCategories2;
  for (const char* name : {"BrowseHolidays", "BrowseTaskCategories", "ViewAscii:Log"})
    scheduler::registerProgramWindow(name, {});
  scheduler::services().calendar = nullptr;
  for (int feq : {Holidays, TaskCategories, TaskCategories2, EventLog}) EXPECT_FALSE(scheduler::CommandAvailable(feq)) << feq;

  editors::registerWindows();
  dialogs::registerWindows();
  for (int feq : {Holidays, TaskCategories, TaskCategories2, EventLog}) EXPECT_TRUE(scheduler::CommandAvailable(feq)) << feq;
  EXPECT_TRUE(static_cast<bool>(scheduler::services().calendar)) << "the date picker seam";

  ScriptedHost host;
  runScript([&](Driver& d) {
    d.gui([] { EXPECT_TRUE(scheduler::RunCommand(Holidays, {})); });
    WindowDriver list = d.waitWindow("BrowseHolidays");
    d.gui([] { EXPECT_TRUE(scheduler::RunCommand(Holidays, {})); });
    d.settle();
    d.gui([] {
      int n = 0;
      for (ui::Window* w : ui::openWindows()) n += w->manager() && w->manager()->procedureName() == "BrowseHolidays";
      EXPECT_EQ(n, 1);
    });
    list.close();
    d.waitClosed(list);
  });
}

}  // namespace
