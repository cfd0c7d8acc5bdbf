// The trigger form and list driven as a user would, over a temporary data folder: file, window
// and event triggers made through the form and read back by the trigger engine's loader; the
// type's details group; the file list append rule; a copy with a task of its own; delete;
// Execute; and the frame's commands once the windows are registered.
#include "editors/triggers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/tests/fixture.h"
#include "editors/register_windows.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "scheduler/frame_commands.h"
#include "scheduler/program_windows.h"
#include "scheduler/triggers.h"

using namespace ov;
using files::SCH;
using files::SCR;
using files::TRI;
using rt::Err;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

TEST(TriggerText, GroupsAppendRuleAndDetails) {
  EXPECT_EQ(editors::triggerGroup("File creation"), editors::TriggerGroup::File);
  EXPECT_EQ(editors::triggerGroup("File change"), editors::TriggerGroup::File);
  EXPECT_EQ(editors::triggerGroup("File"), editors::TriggerGroup::File) << "an old stored type";
  EXPECT_EQ(editors::triggerGroup("Window"), editors::TriggerGroup::Window);
  EXPECT_EQ(editors::triggerGroup("Event"), editors::TriggerGroup::Event);
  EXPECT_EQ(editors::triggerGroup("Startup"), editors::TriggerGroup::None);

  struct Case {
    const char* list;
    std::vector<std::string> files;
    const char* expected;
  };
  const Case cases[] = {
      {"", {}, ""},
      {"/a.txt", {}, "/a.txt"},
      {"", {"/d/a", "/d/b", "/d/c"}, "/d/a; /d/b; /d/c"},
      {"/a;/b", {"/c"}, "/a;/b; /c"},
      {"/a;", {"/b", "/c"}, "/a; /b; /c"},
      {"/a", {"/b"}, "/a; /b"},
  };
  for (const Case& c : cases) EXPECT_EQ(editors::appendFileSpec(c.list, c.files), c.expected) << c.list;

  files::TriggerRec t{};
  t.TriggerType = "Window";
  t.WindowSpec = "Untitled - Editor";
  EXPECT_EQ(editors::TriggerDetailsText(t), "Untitled - Editor ");
  t.WindowChildSpec = "Save";
  EXPECT_EQ(editors::TriggerDetailsText(t), "Untitled - Editor containing Save");
  t.TriggerType = "Startup";
  EXPECT_EQ(editors::TriggerDetailsText(t), "");
  t.TriggerType = "Event";
  t.EventSpec = "Standby";
  EXPECT_EQ(editors::TriggerDetailsText(t), "Standby");
  t.TriggerType = "File change";
  t.FileSpec = std::string(300, 'x');
  EXPECT_EQ(editors::TriggerDetailsText(t).size(), 255u);
}

class TriggerWindows : public dialogs::testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    scheduler::services().post = [this](int event, int thread) { posted.push_back({event, thread}); };
    scheduler::triggerFrame().findWindow = [](std::string_view, std::string_view) -> os::WindowId { return 0; };
    // Without the script list "&Next" stops on the task page (the script list's own tests go on).
    scheduler::registerProgramWindow("BrowseScripting", {});
  }
  void TearDown() override {
    scheduler::triggerFrame() = {};
    scheduler::triggerState() = {};
    DataFolder::TearDown();
  }
  std::vector<std::pair<int, int>> posted;
};

std::vector<files::TriggerRec> storedTriggers() {
  std::vector<files::TriggerRec> out;
  EXPECT_EQ(files::Access_TRIGGERS.Open(), Err::None);
  files::TRIGGERS.clear();
  Err err = files::TRIGGERS.setFrom(files::TRI_K_TRI_ID);
  while (err == Err::None && (err = files::TRIGGERS.next()) == Err::None) out.push_back(TRI);
  (void)files::Access_TRIGGERS.Close();
  return out;
}

std::vector<files::ScheduleRec> storedTasks() {
  std::vector<files::ScheduleRec> out;
  EXPECT_EQ(files::Access_SCHEDULE.Open(), Err::None);
  files::SCHEDULE.clear();
  Err err = files::SCHEDULE.setFrom(files::SCH_KeyID);
  while (err == Err::None && (err = files::SCHEDULE.next()) == Err::None) out.push_back(SCH);
  (void)files::Access_SCHEDULE.Close();
  return out;
}

std::vector<std::string> itemsOf(int32_t task) {
  std::vector<std::string> out;
  EXPECT_EQ(files::Access_SCRIPTING.Open(), Err::None);
  files::SCRIPTING.clear();
  SCR.ID = task;
  Err err = files::SCRIPTING.setFrom(files::SCR_KeyID);
  while (err == Err::None && (err = files::SCRIPTING.next()) == Err::None && SCR.ID == task)
    out.push_back(std::string(rt::clipView(SCR.Keystrokes.view())));
  (void)files::Access_SCRIPTING.Close();
  return out;
}

// A stored trigger with its task and script items, as the form leaves them.
int32_t seedTrigger(const char* type, const char* description, bool active, std::vector<std::string> items) {
  EXPECT_EQ(files::Access_SCHEDULE.Open(), Err::None);
  files::SCHEDULE.clear();
  int32_t task = 0;
  for (const files::ScheduleRec& s : storedTasks()) task = std::max(task, s.ID);
  EXPECT_EQ(files::Access_SCHEDULE.Open(), Err::None);
  files::SCHEDULE.clear();
  SCH.ID = ++task;
  SCH.TaskType = "Trigger";
  SCH.Command = "N/A";
  SCH.Description = std::string("Trigger ") + description;
  EXPECT_EQ(files::SCHEDULE.add(), Err::None);
  (void)files::Access_SCHEDULE.Close();
  (void)files::Access_SCHEDULE.Close();
  EXPECT_EQ(files::Access_SCRIPTING.Open(), Err::None);
  int seq = 0;
  for (const std::string& k : items) {
    files::SCRIPTING.clear();
    SCR.ID = task;
    SCR.Sequence = ++seq;
    SCR.Action = "Keystrokes";
    SCR.Keystrokes = k;
    EXPECT_EQ(files::SCRIPTING.add(), Err::None);
  }
  (void)files::Access_SCRIPTING.Close();
  EXPECT_EQ(files::Access_TRIGGERS.Open(), Err::None);
  int32_t id = 0;
  for (const files::TriggerRec& t : storedTriggers()) id = std::max(id, t.TRI_ID);
  EXPECT_EQ(files::Access_TRIGGERS.Open(), Err::None);
  files::TRIGGERS.clear();
  TRI.TRI_ID = id + 1;
  TRI.ID = task;
  TRI.TriggerType = type;
  TRI.Description = description;
  TRI.Active = active ? 1 : 0;
  if (std::string(type) == "File creation") TRI.FileSpec = "/tmp/none/*.txt";
  EXPECT_EQ(files::TRIGGERS.add(), Err::None);
  (void)files::Access_TRIGGERS.Close();
  (void)files::Access_TRIGGERS.Close();
  return task;
}

// Opens a new trigger form on the GUI thread.
WindowDriver newForm(Driver& d, int& response) {
  d.later([&response] {
    files::GLOBALREQUEST = 1;
    response = editors::UpdateTriggers();
  });
  return d.waitWindow("UpdateTriggers");
}

TEST_F(TriggerWindows, FormShowsTheTypesGroupAndAppendsChosenFiles) {
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver form = newForm(d, response);
    EXPECT_EQ(form.title(), "Add Trigger");
    EXPECT_EQ(form.text("?TRI:TriggerType"), "File creation");
    form.with([](ui::Window&) { EXPECT_EQ(TRI.Active, 1); });
    EXPECT_TRUE(form.shown("?FileGroup"));
    EXPECT_FALSE(form.shown("?WindowGroup"));
    EXPECT_FALSE(form.shown("?EventGroup"));
    EXPECT_FALSE(form.enabled("?OK")) << "a new trigger is completed through Next";

    form.choose("?TRI:TriggerType", "Startup");
    EXPECT_FALSE(form.shown("?FileGroup"));
    EXPECT_FALSE(form.shown("?WindowGroup"));
    EXPECT_FALSE(form.shown("?EventGroup"));
    form.choose("?TRI:TriggerType", "Window");
    EXPECT_TRUE(form.shown("?WindowGroup"));
    EXPECT_FALSE(form.shown("?FileGroup"));
    EXPECT_FALSE(form.shown("?EventGroup"));
    form.choose("?TRI:TriggerType", "Event");
    EXPECT_TRUE(form.shown("?EventGroup"));
    EXPECT_FALSE(form.shown("?WindowGroup"));

    // Three files on an empty list; a cancelled dialog changes nothing; one more after a ";".
    form.choose("?TRI:TriggerType", "File change");
    host.expectFile("Select file", {"/data/a.txt", "/data/b.txt", "/data/c.txt"});
    form.press("?LookupFile");
    form.with([](ui::Window&) { EXPECT_EQ(TRI.FileSpec.str(), "/data/a.txt; /data/b.txt; /data/c.txt"); });
    host.expectFile("Select file", {});
    form.press("?LookupFile");
    form.with([](ui::Window&) { EXPECT_EQ(TRI.FileSpec.str(), "/data/a.txt; /data/b.txt; /data/c.txt"); });
    form.type("?TRI:FileSpec", "/x;/y");
    form.accept("?TRI:FileSpec");
    host.expectFile("Select file", {"/data/z.log"});
    form.press("?LookupFile");
    form.with([](ui::Window&) { EXPECT_EQ(TRI.FileSpec.str(), "/x;/y; /data/z.log"); });

    // A file trigger needs its names before Next goes on.
    form.type("?TRI:FileSpec", "");
    form.accept("?TRI:FileSpec");
    host.expectMessage("You have not entered a file name.", ui::BUTTON::Ok);
    form.press("?Next");
    d.settle();
    EXPECT_EQ(host.messages().back().title, "Trigger Incomplete");
    EXPECT_TRUE(form.shown("?FileGroup")) << "still on the first page";
    EXPECT_FALSE(form.enabled("?OK"));
    form.press("?Cancel");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCancelled);
  EXPECT_FALSE(host.pending());
  EXPECT_TRUE(storedTriggers().empty());
  EXPECT_TRUE(storedTasks().empty());
  ASSERT_EQ(posted.size(), 1u) << "a cancelled form tells the frame too";
  EXPECT_EQ(posted[0], std::make_pair(editors::kEventTriggersChanged, 1));
}

TEST_F(TriggerWindows, FormStoresFileWindowAndEventTriggersThatTheEngineLoads) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    int response = 0;
    // A file trigger.
    WindowDriver form = newForm(d, response);
    EXPECT_FALSE(form.enabled("?Back")) << "nothing before the first page";
    form.enter("?TRI:Description", "New reports");
    host.expectFile("Select file", {"/srv/in/*.csv"});
    form.press("?LookupFile");
    form.press("?Next");
    EXPECT_TRUE(form.shown("?Tab:Task"));
    EXPECT_EQ(form.text("?TaskDescription"), "Trigger New reports");
    EXPECT_TRUE(form.enabled("?OK"));
    EXPECT_TRUE(form.enabled("?Back"));
    // Back and Next again: still one task to make.
    form.press("?Back");
    EXPECT_TRUE(form.shown("?FileGroup"));
    EXPECT_FALSE(form.enabled("?Back"));
    form.press("?Next");
    form.press("?OK");
    d.waitClosed(form);
    EXPECT_EQ(response, ui::RequestCompleted);

    // A window trigger.
    form = newForm(d, response);
    EXPECT_TRUE(form.shown("?TRI:Description"));
    form.choose("?TRI:TriggerType", "Window");
    EXPECT_TRUE(form.shown("?TRI:Description"));
    form.enter("?TRI:Description", "Editor opens");
    form.enter("?TRI:WindowSpec", "*Editor*");
    form.enter("?TRI:WindowChildSpec", "Save");
    form.press("?Next");
    form.press("?OK");
    d.waitClosed(form);
    EXPECT_EQ(response, ui::RequestCompleted);

    // An event trigger, left inactive; the description is required.
    form = newForm(d, response);
    form.choose("?TRI:TriggerType", "Event");
    form.choose("?TRI:EventSpec", "Standby");
    form.check("?TRI:Active", false);
    form.press("?Next");
    host.expectMessage("must be entered", ui::BUTTON::Ok);
    form.press("?OK");
    d.settle();
    EXPECT_TRUE(form.isOpen());
    EXPECT_EQ(host.messages().back().title, "Missing Information");
    form.enter("?TRI:Description", "Going to sleep");
    form.press("?OK");
    d.waitClosed(form);
    EXPECT_EQ(response, ui::RequestCompleted);
  });
  EXPECT_FALSE(host.pending());
  EXPECT_EQ(posted.size(), 3u);

  const std::vector<files::TriggerRec> triggers = storedTriggers();
  const std::vector<files::ScheduleRec> tasks = storedTasks();
  ASSERT_EQ(triggers.size(), 3u);
  ASSERT_EQ(tasks.size(), 3u) << "one task per trigger, none left over from Back and Next";
  const char* descriptions[] = {"Trigger New reports", "Trigger Editor opens", "Trigger Going to sleep"};
  const char* categories[] = {"File creation", "Window", "Event"};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_NE(triggers[i].ID, 0);
    EXPECT_NE(triggers[i].ID, triggers[(i + 1) % 3].ID);
    const files::ScheduleRec* task = nullptr;
    for (const files::ScheduleRec& s : tasks)
      if (s.ID == triggers[i].ID) task = &s;
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(task->TaskType.str(), "Trigger");
    EXPECT_EQ(task->Description.str(), descriptions[i]);
    EXPECT_EQ(task->Category.str(), categories[i]);
    EXPECT_EQ(task->Command.str(), "N/A");
    EXPECT_EQ(task->Date, 0);
    EXPECT_EQ(task->Time, 0);
  }
  EXPECT_EQ(triggers[2].EventSpec.str(), "Standby");
  EXPECT_EQ(triggers[2].Active, 0);

  // The engine loads the active ones as the form stored them.
  scheduler::LoadTriggers();
  const auto& queue = scheduler::triggerState().queue;
  ASSERT_EQ(queue.size(), 2u);
  EXPECT_EQ(queue[0].kind, scheduler::TriggerKind::FileCreation);
  EXPECT_EQ(queue[0].spec, "/srv/in/*.csv");
  EXPECT_EQ(queue[0].task, triggers[0].ID);
  EXPECT_EQ(queue[1].kind, scheduler::TriggerKind::Window);
  EXPECT_EQ(queue[1].spec, "*Editor*");
  EXPECT_EQ(queue[1].childSpec, "Save");
  EXPECT_EQ(queue[1].task, triggers[1].ID);

  // Made active, the event trigger loads too.
  ASSERT_EQ(files::Access_TRIGGERS.Open(), Err::None);
  TRI.TRI_ID = triggers[2].TRI_ID;
  ASSERT_EQ(files::TRIGGERS.get(files::TRI_K_TRI_ID), Err::None);
  TRI.Active = 1;
  ASSERT_EQ(files::TRIGGERS.put(), Err::None);
  (void)files::Access_TRIGGERS.Close();
  scheduler::LoadTriggers();
  ASSERT_EQ(queue.size(), 3u);
  bool event = false;
  for (const auto& t : queue) event |= t.kind == scheduler::TriggerKind::Event && t.spec == "Standby";
  EXPECT_TRUE(event);
}

int openCount(std::string_view procedure) {
  int n = 0;
  for (ui::Window* w : ui::openWindows())
    if (w->manager() && w->manager()->procedureName() == procedure) ++n;
  return n;
}

TEST_F(TriggerWindows, ListShowsDetailsCopiesWithANewTaskDeletesAndExecutes) {
  const int32_t source = seedTrigger("File creation", "Incoming", true, {"one", "two", "three"});
  seedTrigger("Startup", "At start", false, {});
  std::vector<std::pair<int32_t, std::string>> ran;
  scheduler::services().runTaskProgram = [&](int32_t task, std::string_view command, std::string_view) {
    ran.push_back({task, std::string(command)});
    return 0;
  };
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(editors::makeBrowseTriggers);
    WindowDriver list = d.waitWindow("BrowseTriggers");
    EXPECT_EQ(list.title(), "Triggers");
    d.start(editors::makeBrowseTriggers);
    d.settle();
    d.gui([] { EXPECT_EQ(openCount("BrowseTriggers"), 1) << "one list per program"; });

    list.with([](ui::Window& w) {
      auto* l = w.as<ui::ListControl>(w.feq("?Browse:1"));
      ASSERT_NE(l, nullptr);
      EXPECT_EQ(l->cell(1, 2).text, "File creation");
      EXPECT_EQ(l->cell(1, 4).text, "/tmp/none/*.txt");
      EXPECT_EQ(l->cell(1, 1).iconName, "~notdone.ico");
      EXPECT_EQ(l->cell(2, 2).text, "Startup");
      EXPECT_EQ(l->cell(2, 4).text, "");
      EXPECT_EQ(l->cell(2, 1).iconName, "~disabled.ico");
    });
    list.selectTab("Active Triggers Only");
    d.settle();
    list.with([](ui::Window& w) {
      auto* l = w.as<ui::ListControl>(w.feq("?Browse:1"));
      EXPECT_EQ(l->cell(1, 3).text, "Incoming");
      EXPECT_EQ(l->cell(2, 3).text, "") << "the inactive trigger is left out";
    });

    // Execute: no chain program here, so the task runs with its own script items.
    list.selectTab("Trigger Type");
    d.settle();
    list.press("?Execute");
    d.settle();

    // A cancelled copy stores nothing.
    list.press("?Copy");
    WindowDriver form = d.waitWindow("UpdateTriggers");
    EXPECT_EQ(form.text("?TRI:Description"), "Incoming");
    form.press("?Cancel");
    d.waitClosed(form);
    // A completed one gets a task of its own with copies of the items.
    list.press("?Copy");
    form = d.waitWindow("UpdateTriggers");
    form.enter("?TRI:Description", "Incoming copy");
    form.press("?Next");
    EXPECT_EQ(form.text("?TaskDescription"), "Trigger Incoming copy");
    form.press("?OK");
    d.waitClosed(form);
    list.close();
    d.waitClosed(list);
  });
  ASSERT_EQ(ran.size(), 1u);
  EXPECT_EQ(ran[0], std::make_pair(source, std::string("N/A")));

  const std::vector<files::TriggerRec> triggers = storedTriggers();
  ASSERT_EQ(triggers.size(), 3u);
  ASSERT_EQ(storedTasks().size(), 3u) << "the cancelled copy left no task";
  const files::TriggerRec& copy = triggers[2];
  EXPECT_EQ(copy.Description.str(), "Incoming copy");
  EXPECT_EQ(copy.FileSpec.str(), "/tmp/none/*.txt");
  EXPECT_NE(copy.ID, source);
  EXPECT_NE(copy.ID, 0);
  EXPECT_EQ(itemsOf(copy.ID), (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(itemsOf(source), (std::vector<std::string>{"one", "two", "three"}));

  // Deleting the copy takes its task and items; the source keeps its own.
  runScript([&](Driver& d) {
    d.start(editors::makeBrowseTriggers);
    WindowDriver list = d.waitWindow("BrowseTriggers");
    list.selectTab("Description");
    d.settle();
    list.with([](ui::Window& w) {
      auto* l = w.as<ui::ListControl>(w.feq("?Browse:1"));
      EXPECT_EQ(l->cell(3, 3).text, "Incoming copy");
      w.setProp(w.feq("?Browse:1"), ui::Prop::Selected, 3);
    });
    list.press("?Delete");
    WindowDriver form = d.waitWindow("UpdateTriggers");
    EXPECT_EQ(form.text("?TRI:Description"), "Incoming copy");
    form.press("?OK");
    d.waitClosed(form);
    list.close();
    d.waitClosed(list);
  });
  ASSERT_EQ(storedTriggers().size(), 2u);
  EXPECT_EQ(storedTasks().size(), 2u);
  EXPECT_TRUE(itemsOf(copy.ID).empty());
  EXPECT_EQ(itemsOf(source).size(), 3u);
}

TEST_F(TriggerWindows, CopyIsDisabledOnAnEmptyList) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(editors::makeBrowseTriggers);
    WindowDriver list = d.waitWindow("BrowseTriggers");
    EXPECT_FALSE(list.enabled("?Copy"));
    list.close();
    d.waitClosed(list);
  });
}

TEST_F(TriggerWindows, FrameCommandsBecomeAvailableOnceRegistered) {
  constexpr int kList = scheduler::Command::Triggers, kNew = scheduler::Command::NewTrigger;
  for (const char* name : {"BrowseTriggers", "UpdateTriggers"}) scheduler::registerProgramWindow(name, {});
  EXPECT_FALSE(scheduler::CommandAvailable(kList));
  EXPECT_FALSE(scheduler::CommandAvailable(kNew));
  editors::registerWindows();
  EXPECT_TRUE(scheduler::CommandAvailable(kList));
  EXPECT_TRUE(scheduler::CommandAvailable(kNew));
}

}  // namespace
