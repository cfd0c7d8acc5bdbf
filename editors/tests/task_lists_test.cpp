// The task explorer and the day task list: their rules without windows (icons, day filters,
// following midnight, the column table the explorer reads), and the windows over a temporary data
// folder with the task form and the other windows they open replaced by stand-ins.
#include "editors/task_lists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "datalib/date_string_functions.h"
#include "dialogs/tests/fixture.h"
#include "editors/register_windows.h"
#include "editors/task_list_rules.h"
#include "platform/libs/query_wizard/query_wizard.h"
#include "platform/rt/date_time.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/list_driver.h"
#include "scheduler/frame_commands.h"
#include "scheduler/main_frame.h"
#include "scheduler/open_window_list.h"
#include "scheduler/program_body.h"
#include "scheduler/program_windows.h"
#include "scheduler/services.h"
#include "editors/task_form.h"
#include "scheduler/temp_script_execution.h"
#include "winclasses/explore_root.h"

using namespace ov;
using files::SCH;
using ui::test::Driver;
using ui::test::ListDriver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

const int32_t kToday = rt::DATE(6, 15, 2026);  // a Monday

files::ScheduleRec task(const char* description, const char* type) {
  files::ScheduleRec t{};
  t.Description = description;
  t.TaskType = type;
  return t;
}

// ---- rules --------------------------------------------------------------------------------------

TEST(TaskListRules, StatusAndTaskTypeIcons) {
  struct Case {
    const char* name;
    uint8_t completed, skipped, skipNext, disabled;
    const char* icon;
  };
  const Case cases[] = {
      {"plain", 0, 0, 0, 0, "~notdone.ico"},
      {"completed", 1, 0, 0, 0, "~done.ico"},
      {"completed and skipping the next: done, not skip", 1, 0, 1, 0, "~done.ico"},
      {"skipping the next", 0, 0, 1, 0, "~skip.ico"},
      {"skipping and disabled: skip first", 0, 0, 1, 1, "~skip.ico"},
      {"disabled", 0, 0, 0, 1, "~disabled.ico"},
      {"completed by a skip", 1, 1, 0, 0, "~skipped.ico"},
      {"completed, disabled", 1, 0, 0, 1, "~done.ico"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    files::ScheduleRec t = task("x", "Run Program");
    t.Completed = c.completed;
    t.Skipped = c.skipped;
    t.SkipNextTime = c.skipNext;
    t.Disabled = c.disabled;
    EXPECT_STREQ(editors::kTaskListIcons[editors::statusIcon(t) - 1], c.icon);
  }
  const std::pair<const char*, const char*> types[] = {{"Run Program", "~progtsk2.ico"},
                                                       {"Display Message", "~msgtask.ico"},
                                                       {"Both", "~bothtask.ico"},
                                                       {"None", "~blank.ico"},
                                                       {"", "~blank.ico"}};
  for (const auto& [type, icon] : types)
    EXPECT_STREQ(editors::kTaskListIcons[editors::taskTypeIcon(task("x", type)) - 1], icon) << type;
}

TEST(TaskListRules, DayListDateColours) {
  files::ScheduleRec t = task("x", "Run Program");
  EXPECT_EQ(editors::dayListDateColours(t).fg, -1);
  t.SkipNextTime = 1;
  EXPECT_EQ(editors::dayListDateColours(t).fg, 0xFF0000);  // blue, in the runtime's colour order
  t.Disabled = 1;
  EXPECT_EQ(editors::dayListDateColours(t).fg, 0x808080);  // grey wins
  EXPECT_EQ(editors::dayListDateColours(t).sfg, 0xFFFFFF);
}

TEST(TaskListRules, DayFiltersOnAJuneDay) {
  files::FORMAT.DATE = "d10";
  struct Case {
    const char* choice;
    int32_t start, end;  // the Custom range going in
    std::string condition;
    int32_t shown;
    const char* text;
    const char* title;
  };
  const std::string june = std::to_string(rt::DATE(6, 1, 2026)), endOfJune = std::to_string(rt::DATE(6, 30, 2026));
  const Case cases[] = {
      {"All", 0, 0, "", kToday, "", "Scheduled Tasks"},
      {"Today", 0, 0, "SCH:Date=TODAY()", kToday, "2026/06/15", "Scheduled Tasks"},
      {"Yesterday", 0, 0, "SCH:Date=TODAY()-1", kToday - 1, "2026/06/14", "Scheduled Tasks"},
      {"Tomorrow", 0, 0, "SCH:Date=TODAY()+1", kToday + 1, "2026/06/16", "Scheduled Tasks"},
      {"This Week", 0, 0, "SCH:Date>=TODAY() AND SCH:Date<TODAY()+7", kToday, "2026/06/15-2026/06/21",
       "Scheduled Tasks"},
      // Only this June: the same month of another year is not this month.
      {"This Month", 0, 0, "SCH:Date>=" + june + " AND SCH:Date<=" + endOfJune, kToday, "2026/06/01-2026/06/30",
       "Scheduled Tasks"},
      {"Custom", 0, 0,
       "SCH:Date>=" + std::to_string(rt::DATE(1, 1, 1995)) + " AND SCH:Date<=" + std::to_string(rt::DATE(1, 1, 2099)),
       rt::DATE(1, 1, 1995), "1995/01/01-2099/01/01", "Scheduled Tasks - 1995/01/01-2099/01/01"},
      {"Custom", kToday + 3, kToday + 3,
       "SCH:Date>=" + std::to_string(kToday + 3) + " AND SCH:Date<=" + std::to_string(kToday + 3), kToday + 3,
       "2026/06/18-2026/06/18", "Scheduled Tasks - 2026/06/18"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.choice) + " " + std::to_string(c.start));
    const editors::DayFilter f = editors::applyDayFilter(c.choice, kToday, c.start, c.end);
    EXPECT_EQ(f.condition, c.condition);
    EXPECT_EQ(f.shownDate, c.shown);
    EXPECT_EQ(f.dateText, c.text);
    EXPECT_EQ(f.title, c.title);
    EXPECT_EQ(f.tip, *c.text ? c.text : "Select records by date");
  }
  EXPECT_EQ(editors::statusCondition("Active"), "~(SCH:Disabled OR SCH:Completed)");
  EXPECT_EQ(editors::statusCondition("All"), "");
  EXPECT_EQ(editors::categoryCondition("All"), "");
  EXPECT_EQ(editors::textCondition("   "), "");
}

TEST(TaskListRules, DayChangeMovesOnlyAWindowShowingToday) {
  int32_t remembered = kToday, shown = kToday;
  EXPECT_FALSE(editors::followDayChange(kToday, remembered, shown)) << "no change within the day";
  EXPECT_TRUE(editors::followDayChange(kToday + 1, remembered, shown));
  EXPECT_EQ(shown, kToday + 1);
  EXPECT_EQ(remembered, kToday + 1);
  shown = kToday - 5;  // another day chosen
  EXPECT_FALSE(editors::followDayChange(kToday + 2, remembered, shown));
  EXPECT_EQ(shown, kToday - 5);
  EXPECT_EQ(remembered, kToday + 2);
}

TEST(ExploreColumns, PackedTableReadsBackAsDescribed) {
  const std::vector<editors::ExploreColumn> columns = editors::taskListColumns(true);
  ASSERT_EQ(columns.size(), 12u);
  const std::vector<winclasses::XPGQ> read =
      winclasses::decodePackedColumns(editors::packExploreColumns(columns), static_cast<int>(columns.size()));
  ASSERT_EQ(read.size(), columns.size());
  for (size_t i = 0; i < columns.size(); ++i) {
    SCOPED_TRACE(columns[i].field);
    EXPECT_EQ(rt::CLIP(read[i].Field), columns[i].field);
    EXPECT_EQ(read[i].WidthDLU, columns[i].width);
    EXPECT_EQ(rt::CLIP(read[i].Header), columns[i].header);
    EXPECT_EQ(read[i].Picture, columns[i].picture);
    EXPECT_EQ(rt::CLIP(read[i].Description), columns[i].description);
    EXPECT_EQ(read[i].FJust, columns[i].just);
    EXPECT_EQ(read[i].Display, columns[i].shown);
    EXPECT_EQ(read[i].Colors, columns[i].colours);
    EXPECT_EQ(read[i].IconX != 0, columns[i].icon);
    EXPECT_EQ(read[i].SortField != 0, columns[i].sortable);
    EXPECT_EQ(read[i].GraphOK, columns[i].graph);
    EXPECT_EQ(read[i].GraphType, 0) << "graphs count rows";
  }
  EXPECT_FALSE(read[10].Display) << "SCH:Skipped is not shown";
  EXPECT_TRUE(read[4].GraphOK) << "a bar graph counts the tasks per category";
  EXPECT_EQ(read[11].FJust, 'R') << "SCH:ID is right-aligned";
  // The day list: nine shown columns, no message, "Last Run" and "Last Time".
  const std::vector<editors::ExploreColumn> day = editors::taskListColumns(false);
  ASSERT_EQ(day.size(), 11u);
  EXPECT_EQ(day[7].header, "Last Run");
  EXPECT_EQ(day[8].header, "Last Time");
  EXPECT_TRUE(std::none_of(day.begin(), day.end(), [](const auto& c) { return c.field == "SCH:Message"; }));
}

// ---- the windows --------------------------------------------------------------------------------

// What a stand-in window saw when it was called.
struct Call {
  std::string procedure;
  int request = 0;
  int32_t id = 0;
  std::string description;
  int32_t sourceTask = 0;
  std::string startDate;
  std::string preset;
};

// Records the call; the task form stand-in stores an insert as it finds it in SCH.
class StandIn : public ui::WindowManager {
 public:
  StandIn(std::string name, std::vector<Call>& calls) : ui::WindowManager(name), m_calls(calls) {}
  ui::Level Init() override {
    m_calls.push_back({procedureName(), files::GLOBALREQUEST, SCH.ID, rt::CLIP(SCH.Description.str()),
                       editors::TaskFormSourceID(), rt::CLIP(editors::TaskFormStartDate().str()),
                       rt::CLIP(scheduler::PresetTaskType().str())});
    Response = ui::RequestCancelled;
    if (procedureName() == "UpdateSchedule" && files::GLOBALREQUEST == ui::InsertRecord) {
      // The special-event copy leaves the source task in the buffer: the form primes a new one.
      if (m_calls.back().preset == "Reschedule") (void)files::Access_SCHEDULE.PrimeRecord(true);
      if (SCH.Description.str().find_first_not_of(' ') == std::string::npos) SCH.Description = "New task";
      if (SCH.Date == 0) SCH.Date = std::atoi(rt::CLIP(editors::TaskFormStartDate().str()).c_str());
      SCH.TaskType = SCH.TaskType.str().find_first_not_of(' ') == std::string::npos ? "Run Program" : SCH.TaskType.str();
      if (files::Access_SCHEDULE.Insert() == rt::Err::None) Response = ui::RequestCompleted;
    }
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    return ui::Level::Notify;
  }

 private:
  std::vector<Call>& m_calls;
};

struct Flags {
  uint8_t disabled = 0, completed = 0, skipNext = 0;
};

constexpr const char* kStandIns[] = {"UpdateSchedule", "BrowseScripting", "Script:EditAsText", "BrowseTaskCategories"};

class TaskLists : public dialogs::testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    files::FORMAT.DATE = "d10";
    rt::setTestClock(kToday, 12 * 360000 + 1);
    for (const char* name : kStandIns)
      scheduler::registerProgramWindow(name, [this, name] { return std::make_unique<StandIn>(name, calls); });
    scheduler::services().post = [this](int event, int thread) { posted.push_back({event, thread}); };
    scheduler::startupSettings().multiUser = false;
    editors::TaskFormSourceID() = 0;
  }
  void TearDown() override {
    for (const char* name : kStandIns) scheduler::registerProgramWindow(name, {});
    DataFolder::TearDown();
  }

  static int32_t addTask(const char* description, const char* type, int32_t date, int32_t time,
                         const char* category = "General", Flags f = {}, const char* message = "") {
    EXPECT_EQ(files::Access_SCHEDULE.Open(), rt::Err::None);
    EXPECT_EQ(files::Access_SCHEDULE.PrimeRecord(), rt::Err::None);
    SCH.Description = description;
    SCH.TaskType = type;
    SCH.Date = date;
    SCH.Time = time;
    SCH.Category = category;
    SCH.Disabled = f.disabled;
    SCH.Completed = f.completed;
    SCH.SkipNextTime = f.skipNext;
    SCH.Message = message;
    SCH.ScheduleType = "Once";
    EXPECT_EQ(files::Access_SCHEDULE.Insert(), rt::Err::None);
    const int32_t id = SCH.ID;
    (void)files::Access_SCHEDULE.Close();
    return id;
  }
  static void addCategories(std::initializer_list<const char*> names) {
    ASSERT_EQ(files::Access_CATEGORIES.Open(), rt::Err::None);
    for (const char* n : names) {
      files::CAT = files::CategoryRec{};
      files::CAT.Category = n;
      ASSERT_EQ(files::CATEGORIES.add(), rt::Err::None);
    }
    (void)files::Access_CATEGORIES.Close();
  }
  static files::ScheduleRec storedTask(int32_t id) {
    EXPECT_EQ(files::Access_SCHEDULE.Open(), rt::Err::None);
    SCH.ID = id;
    EXPECT_EQ(files::SCHEDULE.get(files::SCH_KeyID), rt::Err::None);
    files::ScheduleRec t = SCH;
    (void)files::Access_SCHEDULE.Close();
    return t;
  }
  static std::vector<std::string> descriptions(const ListDriver& list) { return list.texts(6); }
  int callsTo(std::string_view name) const {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const Call& c) { return c.procedure == name; }));
  }
  int refreshesToFrame() const {
    return static_cast<int>(std::count(posted.begin(), posted.end(), std::pair<int, int>{scheduler::kEventRefreshAll, 1}));
  }
  static int rowOf(const ListDriver& list, const std::string& description) {
    const auto d = descriptions(list);
    auto it = std::find(d.begin(), d.end(), description);
    return it == d.end() ? 0 : static_cast<int>(it - d.begin()) + 1;
  }

  std::vector<Call> calls;
  std::vector<std::pair<int, int>> posted;
};

using Rows = std::vector<std::string>;

TEST_F(TaskLists, ExplorerFiltersByDayStatusCategoryAndText) {
  const int32_t hour = 360000;
  addCategories({"General", "Home", "Work"});
  addTask("Alpha call", "Display Message", kToday, 9 * hour, "Work");
  addTask("Beta backup", "Run Program", kToday, 10 * hour, "Home", {.disabled = 1});
  addTask("Hot Key Ctrl-A", "Hot Key", kToday, 11 * hour, "Hot Key");
  addTask("Other", "Both", kToday, 12 * hour, "Work", {}, "call alpha now");
  addTask("Yesterday's", "Run Program", kToday - 1, 9 * hour);
  addTask("Last June", "Run Program", rt::DATE(6, 10, 2025), 9 * hour);
  addTask("Later in June", "Run Program", rt::DATE(6, 28, 2026), 9 * hour, "Work", {.completed = 1});
  addTask("July", "Run Program", rt::DATE(7, 2, 2026), 9 * hour);
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(editors::makeExploreSchedule);
    WindowDriver w = d.waitWindow("ExploreSchedule");
    ListDriver list(d, w, "?Browse:1");
    EXPECT_EQ(w.title(), "Scheduled Tasks");
    EXPECT_EQ(descriptions(list), (Rows{"Alpha call", "Beta backup", "Other"})) << "hot-key tasks are never listed";
    EXPECT_EQ(w.text("?DateText"), "2026/06/15");
    w.with([](ui::Window& win) {
      auto* l = win.as<ui::ListControl>(win.feq("?Browse:1"));
      EXPECT_EQ(l->cell(2, 1).iconName, "~disabled.ico");
      EXPECT_EQ(l->cell(2, 2).iconName, "~progtsk2.ico");
      EXPECT_EQ(l->cell(1, 2).iconName, "~msgtask.ico");
      EXPECT_EQ(l->cell(1, 7).text, "Once");
    });

    w.choose("?Day", "Yesterday");
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Yesterday's"}));
    EXPECT_EQ(w.text("?DateText"), "2026/06/14");
    EXPECT_EQ(rt::CLIP(editors::TaskFormStartDate().str()), std::to_string(kToday - 1)) << "new tasks default to it";

    w.choose("?Day", "This Month");
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Yesterday's", "Alpha call", "Beta backup", "Other", "Later in June"}))
        << "June of last year is not this month";
    EXPECT_EQ(w.text("?DateText"), "2026/06/01-2026/06/30");

    w.choose("?Day", "All");
    w.choose("?Status", "Active");
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Last June", "Yesterday's", "Alpha call", "Other", "July"}))
        << "neither disabled nor completed";

    w.choose("?Status", "All");
    w.enter("?Text", "alpha");
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Alpha call"})) << "the description in any case, never the message alone";

    w.enter("?Text", "");
    w.choose("?Category", "Home");
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Beta backup"}));

    // A header click orders by the column; the filters stay.
    w.choose("?Category", "All");
    w.choose("?Day", "Today");
    d.settle();
    list.clickHeader(6);
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Alpha call", "Beta backup", "Other"}));
    list.clickHeader(6);
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Other", "Beta backup", "Alpha call"})) << "descending on the second click";
    EXPECT_EQ(list.propList(ui::PROPLIST::Header, 6), "<Description");
    w.close();
    d.waitClosed(w);
  });
  EXPECT_TRUE(host.messages().empty());
}

TEST_F(TaskLists, ExplorerNewCopyAndTheEmptyList) {
  ScriptedHost host;
  int32_t first = 0;
  runScript([&](Driver& d) {
    d.start(editors::makeExploreSchedule);
    WindowDriver w = d.waitWindow("ExploreSchedule");
    ListDriver list(d, w, "?Browse:1");
    EXPECT_TRUE(descriptions(list).empty());
    EXPECT_FALSE(w.enabled("?Copy")) << "nothing to copy";
    for (const char* name : {"?Quick", "?Execute", "?Special", "?EditAsText", "?Scripting", "?Disabled", "?Skip"})
      EXPECT_FALSE(w.enabled(name)) << name << " has no task to act on";
    EXPECT_FALSE(w.enabled("?ShowAll")) << "all tasks are shown already";
    w.press("?ShowActive");
    d.settle();
    EXPECT_EQ(w.text("?Status"), "Active");
    EXPECT_FALSE(w.enabled("?ShowActive"));
    EXPECT_TRUE(w.enabled("?ShowAll"));
    w.press("?ShowAll");
    d.settle();
    EXPECT_EQ(w.text("?Status"), "All");
    w.with([](ui::Window& win) { win.post(ui::EVENT::Accepted, win.feq("?Browse:1"), ui::Key::MouseLeft2); });
    d.settle();
    EXPECT_EQ(callsTo("UpdateSchedule"), 0) << "a double click on an empty list edits nothing";

    w.press("?Insert");
    d.settle();
    ASSERT_EQ(callsTo("UpdateSchedule"), 1);
    EXPECT_EQ(calls.back().request, ui::InsertRecord);
    EXPECT_EQ(calls.back().startDate, std::to_string(kToday));
    EXPECT_EQ(calls.back().sourceTask, 0);
    EXPECT_EQ(descriptions(list), (Rows{"New task"}));
    EXPECT_TRUE(w.enabled("?Copy"));
    EXPECT_TRUE(w.enabled("?Quick") && w.enabled("?Skip")) << "a row to act on";
    first = calls.back().id;

    list.select(1);
    w.press("?Copy");
    d.settle();
    ASSERT_EQ(callsTo("UpdateSchedule"), 2);
    EXPECT_EQ(calls.back().request, ui::InsertRecord);
    EXPECT_EQ(calls.back().description, "New task") << "the copy starts as the highlighted task";
    EXPECT_EQ(calls.back().sourceTask, first);
    EXPECT_NE(calls.back().id, first) << "with an identifier of its own";
    EXPECT_EQ(descriptions(list).size(), 2u);

    list.doubleClick(1);
    d.settle();
    ASSERT_EQ(callsTo("UpdateSchedule"), 3) << "a double click on a row edits it";
    EXPECT_EQ(calls.back().request, ui::ChangeRecord);
    w.close();
    d.waitClosed(w);
  });
  EXPECT_TRUE(host.messages().empty());
}

TEST_F(TaskLists, RowPopupTogglesAndScripting) {
  const int32_t skipper = addTask("Skipper", "Run Program", kToday, 100, "General", {.skipNext = 1});
  addTask("Note", "Display Message", kToday, 200);
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(editors::makeExploreSchedule);
    WindowDriver w = d.waitWindow("ExploreSchedule");
    ListDriver list(d, w, "?Browse:1");
    ASSERT_EQ(descriptions(list), (Rows{"Skipper", "Note"}));
    EXPECT_EQ(w.text("?Skip"), "Undo: Skip Next Occurrence") << "the toggles follow the highlighted task";
    list.select(2);
    EXPECT_EQ(w.text("?Skip"), "Skip Next Occurrence");
    list.select(1);

    host.expectPopup("");
    list.rightClick(1);
    d.settle();
    EXPECT_EQ(w.text("?Skip"), "Undo: Skip Next Occurrence");
    EXPECT_EQ(w.text("?Disabled"), "Disable");
    ASSERT_EQ(host.popups().size(), 1u);
    auto find = [](const std::vector<ui::PopupItem>& items, std::string_view text) -> const ui::PopupItem* {
      for (const ui::PopupItem& i : items)
        if (i.text == text) return &i;
      return nullptr;
    };
    std::vector<ui::PopupRequest> shown = host.popups();
    const ui::PopupItem* skip = find(shown[0].items, "Skip Next Occurrence");
    ASSERT_NE(skip, nullptr);
    EXPECT_TRUE(skip->checked);
    ASSERT_NE(find(shown[0].items, "&Scripting"), nullptr);
    EXPECT_TRUE(find(shown[0].items, "&Scripting")->enabled);

    host.expectPopup("");
    list.rightClick(2);
    d.settle();
    EXPECT_EQ(w.text("?Skip"), "Skip Next Occurrence");
    shown = host.popups();
    ASSERT_EQ(shown.size(), 2u);
    ASSERT_NE(find(shown[1].items, "&Scripting"), nullptr);
    EXPECT_FALSE(find(shown[1].items, "&Scripting")->enabled) << "a message has no script";

    host.expectMessage("This schedule type does not support scripting.", ui::BUTTON::Ok);
    w.press("?Scripting");
    d.settle();
    EXPECT_EQ(callsTo("BrowseScripting"), 0);

    list.select(1);
    w.press("?Scripting");
    d.settle();
    ASSERT_EQ(callsTo("BrowseScripting"), 1);
    EXPECT_EQ(calls.back().request, ui::ChangeRecord);
    EXPECT_EQ(calls.back().id, skipper);

    list.select(1);
    w.press("?Skip");  // the scheduler core's toggle
    d.settle();
    EXPECT_EQ(w.text("?Skip"), "Skip Next Occurrence") << "the caption shows the toggle took";
    w.press("?Special");
    d.settle();
    ASSERT_EQ(callsTo("UpdateSchedule"), 1);
    EXPECT_EQ(calls.back().request, ui::InsertRecord);
    EXPECT_EQ(calls.back().preset, "Reschedule");
    EXPECT_EQ(calls.back().sourceTask, skipper);
    w.close();
    d.waitClosed(w);
  });
  EXPECT_EQ(storedTask(skipper).SkipNextTime, 0);
  EXPECT_GE(refreshesToFrame(), 2) << "after the toggle and the special-event copy";
  EXPECT_FALSE(host.pending());
}

TEST_F(TaskLists, FindSelectsTheFirstListedMatchAndFindNextGoesOn) {
  addTask("Backup B", "Run Program", kToday, 100);
  addTask("Call", "Run Program", kToday, 200);
  addTask("backup A", "Run Program", kToday, 300);
  addTask("Backup C", "Run Program", kToday - 1, 100);  // not listed today
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(editors::makeExploreSchedule);
    WindowDriver w = d.waitWindow("ExploreSchedule");
    ListDriver list(d, w, "?Browse:1");
    ASSERT_EQ(descriptions(list), (Rows{"Backup B", "Call", "backup A"}));
    w.press("?Find");
    WindowDriver find = d.waitWindow("FindScheduleOnList");
    find.enter("?Find", "BACKUP");
    find.press("?OK");
    d.waitClosed(find);
    d.settle();
    EXPECT_EQ(descriptions(list)[list.selected() - 1], "backup A") << "the first by description, case ignored";
    w.press("?FindNext");
    d.settle();
    EXPECT_EQ(descriptions(list)[list.selected() - 1], "Backup B");
    w.press("?FindNext");
    d.settle();
    EXPECT_EQ(descriptions(list)[list.selected() - 1], "Backup B") << "Backup C is not listed: nothing more";
    EXPECT_EQ(host.beeps(), 1);
    w.close();
    d.waitClosed(w);
  });
}

TEST_F(TaskLists, ExplorerRunsQuickStartsAndPicksADay) {
  const int32_t program = addTask("Program", "Run Program", kToday, 100);
  files::EXEPATH = "/opt/orvane/";
  std::vector<std::string> started;
  std::vector<int32_t> ran;
  scheduler::services().runNoWait = [&](std::string_view line) {
    started.emplace_back(line);
    return 0;
  };
  scheduler::services().runTaskProgram = [&](int32_t id, std::string_view, std::string_view) {
    ran.push_back(id);
    return 0;
  };
  bool passwordOk = false;
  scheduler::services().passwordValidation = [&] { return passwordOk; };
  int32_t picked = kToday + 2;
  scheduler::services().calendar = [&](int32_t, std::string_view, std::string_view) { return picked; };
  scheduler::TempScriptExecution() = 0;
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(editors::makeExploreSchedule);
    WindowDriver w = d.waitWindow("ExploreSchedule");
    ListDriver list(d, w, "?Browse:1");
    w.press("?ViewCalendar");
    w.press("?Execute");
    d.settle();
    EXPECT_EQ(started, (Rows{"/opt/orvane/OV_RPTS.EXE ?ReportsCalendar"}));
    EXPECT_EQ(ran, (std::vector<int32_t>{program}));
    EXPECT_EQ(scheduler::TempScriptExecution(), 1);

    w.press("?Quick");  // the system lock refuses: nothing
    d.settle();
    EXPECT_EQ(descriptions(list).size(), 1u);
    passwordOk = true;
    host.expectPopup("1 hour");
    w.press("?Quick");
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Program", "Program"})) << "a one-time copy an hour from now";

    w.press("?Calendar");
    d.settle();
    EXPECT_EQ(w.text("?Day"), "Custom");
    EXPECT_EQ(w.title(), "Scheduled Tasks - 2026/06/17");
    EXPECT_TRUE(descriptions(list).empty());
    picked = kToday;
    w.press("?Calendar");
    d.settle();
    EXPECT_EQ(w.text("?Day"), "Today") << "today's date is Today, not Custom";
    EXPECT_EQ(descriptions(list).size(), 2u);
    w.close();
    d.waitClosed(w);
  });
  EXPECT_FALSE(host.pending());
}

TEST_F(TaskLists, DayListColumnSortKeepsToTheTabAndAllDaysStartsAtToday) {
  for (int i = -20; i <= 20; ++i) {
    const std::string name = i == 0 ? "today" : "day " + std::to_string(i + 100);
    addTask(name.c_str(), "Run Program", kToday + i, 100);
  }
  addTask("another today", "Run Program", kToday, 200);
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(editors::makeBrowseSchedule);
    WindowDriver w = d.waitWindow("BrowseSchedule");
    ListDriver list(d, w, "?Browse:1");
    EXPECT_EQ(descriptions(list), (Rows{"today", "another today"}));
    list.clickHeader(6);
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"another today", "today"})) << "ordered by description, still one day";
    w.close();
    d.waitClosed(w);
  });
  files::START.ALLDAYS = 1;
  runScript([&](Driver& d) {
    d.start(editors::makeBrowseSchedule);
    WindowDriver w = d.waitWindow("BrowseSchedule");
    ListDriver list(d, w, "?Browse:1");
    EXPECT_EQ(w.choice("?CurrentTab"), 2) << "All by Date";
    ASSERT_GT(list.selected(), 0);
    EXPECT_EQ(descriptions(list)[list.selected() - 1], "today");
    w.close();
    d.waitClosed(w);
  });
  files::START.ALLDAYS = 0;
}

TEST_F(TaskLists, CustomDaysAskForTheRangeFrom1999) {
  addTask("Old", "Run Program", rt::DATE(3, 1, 1998), 100);
  addTask("Now", "Run Program", kToday, 100);
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(editors::makeExploreSchedule);
    WindowDriver w = d.waitWindow("ExploreSchedule");
    ListDriver list(d, w, "?Browse:1");
    w.choose("?Day", "Custom");
    WindowDriver range = d.waitWindow("Function:SelectDateRange");
    EXPECT_EQ(range.text("?Start"), "1999/01/01");
    EXPECT_EQ(range.text("?End"), "2099/01/01");
    range.press("?Cancel");
    d.waitClosed(range);
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Now"})) << "from 1999 on";
    EXPECT_EQ(w.title(), "Scheduled Tasks - 1999/01/01-2099/01/01");
    w.close();
    d.waitClosed(w);
  });
}

TEST_F(TaskLists, ExplorerAndDayListOpenTogetherKeepTheirOwnFilters) {
  addCategories({"General", "Home", "Work"});
  addTask("Home task", "Run Program", kToday, 100, "Home");
  addTask("Work task", "Run Program", kToday, 200, "Work");
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(editors::makeExploreSchedule);
    WindowDriver explorer = d.waitWindow("ExploreSchedule");
    ListDriver list(d, explorer, "?Browse:1");
    explorer.choose("?Category", "Home");
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Home task"}));
    d.start(editors::makeBrowseSchedule);
    WindowDriver day = d.waitWindow("BrowseSchedule");
    ListDriver dayList(d, day, "?Browse:1");
    EXPECT_EQ(descriptions(dayList), (Rows{"Home task", "Work task"}));
    explorer.press("?Refresh");
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Home task"})) << "the day list changed nothing of the explorer's";
    day.close();
    d.waitClosed(day);
    explorer.choose("?Category", "Work");
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Work task"})) << "still bound after the day list closed";
    explorer.close();
    d.waitClosed(explorer);
  });
}

TEST_F(TaskLists, OneExplorerAtATime) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    const int first = d.start(editors::makeExploreSchedule);
    WindowDriver w = d.waitWindow("ExploreSchedule");
    w.with([](ui::Window& win) { win.setProp(0, ui::Prop::Iconize, 1); });
    const int second = d.start(editors::makeExploreSchedule);
    d.settle();
    EXPECT_EQ(w.prop("", ui::Prop::Iconize), "") << "the first window is restored";
    d.gui([&] {
      EXPECT_EQ(scheduler::openWindowThread("ExploreSchedule"), first);
      EXPECT_FALSE(ui::isThreadRunning(second)) << "the second request opened nothing";
      EXPECT_EQ(std::count(scheduler::RegisteredThreads().begin(), scheduler::RegisteredThreads().end(), first), 1);
    });
    w.close();
    d.waitClosed(w);
    d.gui([&] {
      EXPECT_EQ(scheduler::openWindowThread("ExploreSchedule"), 0);
      EXPECT_EQ(std::count(scheduler::RegisteredThreads().begin(), scheduler::RegisteredThreads().end(), first), 0);
    });
  });
}

TEST_F(TaskLists, DayListTabsActiveOnlyAndMidnight) {
  addTask("A today", "Run Program", kToday, 100);
  addTask("B disabled", "Run Program", kToday, 200, "General", {.disabled = 1});
  addTask("C tomorrow", "Run Program", kToday + 1, 100);
  addTask("D done", "Run Program", kToday, 300, "General", {.completed = 1});
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(editors::makeBrowseSchedule);
    WindowDriver w = d.waitWindow("BrowseSchedule");
    ListDriver list(d, w, "?Browse:1");
    EXPECT_EQ(w.title(), "Scheduled Tasks");
    EXPECT_EQ(w.text("?Tab:Day"), "2026/06/15");
    EXPECT_EQ(descriptions(list), (Rows{"A today", "B disabled", "D done"}));
    w.with([](ui::Window& win) {
      auto* l = win.as<ui::ListControl>(win.feq("?Browse:1"));
      EXPECT_EQ(l->cell(2, 3).fg, 0x808080) << "a disabled task's date is grey";
      EXPECT_EQ(l->cell(1, 3).fg, -1);
    });

    EXPECT_FALSE(w.enabled("?ShowAll")) << "all tasks are shown already";
    w.press("?ShowActive");
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"A today"}));
    EXPECT_FALSE(w.enabled("?ShowActive"));
    EXPECT_TRUE(w.enabled("?ShowAll"));
    w.selectTab("All by Date");
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"A today", "C tomorrow"})) << "active only on every tab";
    host.expectPopup("");
    list.rightClick(1);
    d.settle();
    ASSERT_EQ(host.popups().size(), 1u);
    const std::vector<ui::PopupRequest> shown = host.popups();
    for (const ui::PopupItem& i : shown[0].items) {
      if (i.text == "Show Active Only") {
        EXPECT_FALSE(i.enabled);
      }
      if (i.text == "Show All") {
        EXPECT_TRUE(i.enabled);
      }
    }
    w.press("?ShowAll");
    w.selectTab("2026/06/15");
    d.settle();

    // Midnight on today's date: the list moves to the new day.
    d.gui([] { rt::advanceTestClock(12 * 360000); });
    w.post(scheduler::EVENT::DayChanged);
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"C tomorrow"}));
    EXPECT_EQ(rt::CLIP(editors::TaskFormStartDate().str()), std::to_string(kToday + 1));

    // On another day it stays.
    scheduler::services().calendar = [](int32_t, std::string_view, std::string_view) { return kToday; };
    w.press("?SelectDay");
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"A today", "B disabled", "D done"}));
    d.gui([] { rt::advanceTestClock(24 * 360000); });
    w.post(scheduler::EVENT::DayChanged);
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"A today", "B disabled", "D done"}));
    EXPECT_EQ(rt::CLIP(editors::TaskFormStartDate().str()), std::to_string(kToday));
    w.close();
    d.waitClosed(w);
  });
}

TEST_F(TaskLists, DayListTitleInMultiUserMode) {
  scheduler::startupSettings().multiUser = true;
  files::APP.USERID = "maria";
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(editors::makeBrowseSchedule);
    WindowDriver w = d.waitWindow("BrowseSchedule");
    EXPECT_EQ(w.title(), "View Schedule - maria");
    w.close();
    d.waitClosed(w);
  });
  scheduler::startupSettings().multiUser = false;
}

TEST_F(TaskLists, ColumnLayoutIsKeptAndAltF12RestoresIt) {
  addTask("A today", "Run Program", kToday, 100);
  ScriptedHost host;
  auto headers = [](const ListDriver& list) {
    std::vector<std::string> h;
    for (int c = 1; c <= 4; ++c) h.push_back(list.propList(ui::PROPLIST::Header, c));
    return h;
  };
  std::vector<std::string> moved;
  runScript([&](Driver& d) {
    d.start(editors::makeExploreSchedule);
    WindowDriver w = d.waitWindow("ExploreSchedule");
    ListDriver list(d, w, "?Browse:1");
    ASSERT_EQ(headers(list)[2], "Date");
    list.dragHeader(3, 5);
    d.settle();
    moved = headers(list);
    EXPECT_NE(moved[2], "Date");
    list.clickHeader(3);  // sorted as it closes
    d.settle();
    EXPECT_EQ(list.propList(ui::PROPLIST::Header, 3).substr(0, 1), ">");
    w.close();
    d.waitClosed(w);
  });
  runScript([&](Driver& d) {
    d.start(editors::makeExploreSchedule);
    WindowDriver w = d.waitWindow("ExploreSchedule");
    ListDriver list(d, w, "?Browse:1");
    EXPECT_EQ(headers(list), moved) << "the layout came back from POSITION.INI, without the sort mark";
    list.select(1);
    list.key(editors::ExploreBinding::kDefaultLayout);
    d.settle();
    EXPECT_EQ(headers(list)[2], "Date");
    host.expectPopup("");
    list.key(editors::ExploreBinding::kToggleBar);  // Ctrl+Alt+R: the column bar, on the first column
    d.settle();
    // Alt+M: the explorer's own popup under that column (posted: the key itself is also the
    // accelerator of "&More...").
    w.with([](ui::Window& win) {
      win.post(ui::EVENT::AlertKey, win.feq("?Browse:1"), editors::ExploreBinding::kPopup);
    });
    d.settle();
    const std::vector<ui::PopupRequest> shown = host.popups();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(std::any_of(shown[0].items.begin(), shown[0].items.end(),
                            [](const ui::PopupItem& i) { return i.text == "&Output"; }))
        << "the explorer's items follow the window's";
    EXPECT_EQ(shown[0].items.front().text, "Skip Next Occurrence");
    w.close();
    d.waitClosed(w);
  });
}

TEST_F(TaskLists, ScheduleCommandAvailableOnceRegistered) {
  for (const char* name : {"ExploreSchedule", "BrowseSchedule"}) scheduler::registerProgramWindow(name, {});
  EXPECT_FALSE(scheduler::CommandAvailable(scheduler::Command::Schedule));
  EXPECT_FALSE(scheduler::CommandAvailable(scheduler::Command::Explorer));
  editors::registerWindows();
  EXPECT_TRUE(scheduler::CommandAvailable(scheduler::Command::Schedule));
  EXPECT_TRUE(scheduler::CommandAvailable(scheduler::Command::Explorer));
}

}  // namespace

namespace {

TEST(TaskListQueryFields, ConditionsOfEachKindCheckAgainstTheRecord) {
  qwizard::QueryFields fields;
  ASSERT_EQ(qwizard::loadFields(editors::storedTaskListQueryFields(), "SCHEDULE", fields), qwizard::code::None);
  fields.allowRecord(files::Desc_SCHEDULE, &SCH);
  auto field = [&](std::string_view name) {
    for (size_t i = 0; i < fields.fields.size(); ++i)
      if (fields.fields[i].name == name) return static_cast<int>(i);
    ADD_FAILURE() << name;
    return 0;
  };
  using qwizard::Op;
  struct Case {
    const char* name;
    Op op;
    const char* value;
  };
  const Case cases[] = {
      {"SCH:Category", Op::Equal, "it's"},      {"SCH:Description", Op::BeginsWith, "Wo"},
      {"SCH:Command", Op::Contains, "ork"},     {"SCH:Date", Op::GreaterEqual, "June 15, 2026"},
      {"SCH:Time", Op::Less, "9:30AM"},         {"SCH:Offset", Op::Greater, "-2"},
      {"SCH:Every", Op::LessEqual, "15"},       {"SCH:Disabled", Op::Checked, ""},
      {"SCH:ShiftType", Op::NotEqual, "Next Day"},
  };
  std::vector<qwizard::Condition> all;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qwizard::Condition cond{qwizard::Link::And, field(c.name), c.op, c.value, false};
    std::string text, error, message;
    ASSERT_TRUE(qwizard::conditionText(fields.fields[cond.field], cond, text, &error)) << error;
    EXPECT_TRUE(fields.check(text, &message)) << text << ": " << message;
    all.push_back(cond);
  }
  std::string query;
  ASSERT_TRUE(qwizard::buildQuery(fields, all, query));
  EXPECT_TRUE(fields.check(query));
  std::vector<qwizard::Condition> back;
  ASSERT_TRUE(qwizard::readQuery(fields, query, back));
  EXPECT_EQ(back.size(), all.size());
}

TEST(TaskListQueryFields, OffersStoredFieldsWithStoredChoices) {
  qwizard::QueryFields fields;
  ASSERT_EQ(qwizard::loadFields(editors::storedTaskListQueryFields(), "SCHEDULE", fields), qwizard::code::None);
  EXPECT_GE(fields.fields.size(), 50u);
  for (const qwizard::QueryField& f : fields.fields) EXPECT_NE(files::Desc_SCHEDULE.find(f.name), nullptr) << f.name;
  ASSERT_EQ(fields.fields.front().name, "SCH:TaskType");
  EXPECT_EQ(fields.fields.front().choices, (std::vector<std::string>{"Run Program", "Display Message", "Both", "None"}))
      << "the values the form stores";

  // A row for a field the record does not store is left out; the others stay in their order.
  const std::string saved = editors::taskListQueryFields();
  editors::taskListQueryFields() =
      "Group\xA6" "0\xA6" "SCH:NoSuchField\xA6@s20\xA6" "20\xA6" "1\xA6" "1\xA6\xA6\xA6\xAB" + saved;
  const std::string stored = editors::storedTaskListQueryFields();
  editors::taskListQueryFields() = saved;
  qwizard::QueryFields again;
  ASSERT_EQ(qwizard::loadFields(stored, "SCHEDULE", again), qwizard::code::None);
  ASSERT_EQ(again.fields.size(), fields.fields.size());
  EXPECT_EQ(again.fields.front().name, "SCH:TaskType");
}

// On the wizard's query page: adds one condition through its field, operation and value pages.
void addCondition(WindowDriver& q, const char* button, const char* field, const char* op, const char* value) {
  q.press(button);
  q.choose("?Field", field);
  q.press("?Next");
  q.choose("?Operation", op);
  q.press("?Next");
  q.type("?Value", value);
  q.press("?Next");
}

TEST_F(TaskLists, QueryNarrowsTheListUntilReset) {
  addCategories({"General", "Home", "Work"});
  addTask("Alpha", "Run Program", kToday, 100, "Home");
  addTask("Beta", "Run Program", kToday, 200, "Work");
  addTask("Gamma", "Run Program", kToday, 300, "home");
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(editors::makeBrowseSchedule);
    WindowDriver w = d.waitWindow("BrowseSchedule");
    ListDriver list(d, w, "?Browse:1");
    EXPECT_FALSE(w.enabled("?ResetQuery")) << "no query yet";
    w.press("?Query");
    WindowDriver q = d.waitWindow("QueryWizard");
    addCondition(q, "?And", "Basic - Task Category", "Is Equal To", "HOME");
    q.press("?Finish");
    d.waitClosed(q);
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Alpha", "Gamma"}));
    EXPECT_TRUE(w.enabled("?ResetQuery"));
    w.selectTab("All by Date");
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Alpha", "Gamma"})) << "the query holds on every tab";

    w.press("?Query");
    q = d.waitWindow("QueryWizard");
    addCondition(q, "?And", "Basic - Task Description/Title", "Begins With", "g");
    q.press("?Finish");
    d.waitClosed(q);
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Gamma"})) << "a second condition joins the first";

    w.press("?Query");
    q = d.waitWindow("QueryWizard");
    q.press("?Cancel");
    d.waitClosed(q);
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Gamma"})) << "a cancelled wizard keeps the query";

    w.press("?ResetQuery");
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Alpha", "Beta", "Gamma"}));
    EXPECT_FALSE(w.enabled("?ResetQuery"));
    w.close();
    d.waitClosed(w);
  });
  EXPECT_TRUE(host.messages().empty());
}

TEST_F(TaskLists, AFieldTableTheWizardCannotLoadLeavesQueryOff) {
  const std::string saved = editors::taskListQueryFields();
  editors::taskListQueryFields() = "Category\xA6" "0\xA6" "SCH:Category\xA6";  // cut short
  ScriptedHost host;
  host.expectMessage("Query Wizard Error# 2", ui::BUTTON::Ok);
  runScript([&](Driver& d) {
    d.start(editors::makeBrowseSchedule);
    WindowDriver w = d.waitWindow("BrowseSchedule");
    EXPECT_FALSE(w.enabled("?Query"));
    EXPECT_FALSE(w.enabled("?ResetQuery"));
    w.close();
    d.waitClosed(w);
  });
  editors::taskListQueryFields() = saved;
  ASSERT_EQ(host.messages().size(), 1u);
  EXPECT_EQ(host.messages()[0].text, "An error has prevented the Query Wizard from initializing.");
}

}  // namespace

namespace {

// The category picker answering with one category in the CAT buffer.
class CategoryPicker : public ui::WindowManager {
 public:
  explicit CategoryPicker(int& requests) : ui::WindowManager("BrowseTaskCategories"), m_requests(requests) {}
  ui::Level Init() override {
    if (files::GLOBALREQUEST == ui::SelectRecord) ++m_requests;
    files::CAT.Category = "Home";
    Response = ui::RequestCompleted;
    files::GLOBALRESPONSE = ui::RequestCompleted;
    return ui::Level::Notify;
  }

 private:
  int& m_requests;
};

TEST_F(TaskLists, DayListCategoryTabListsThePickedCategoryByDescription) {
  addTask("Water plants", "Run Program", kToday + 3, 100, "Home");
  addTask("Report", "Run Program", kToday, 100, "Work");
  addTask("Clean", "Run Program", kToday + 5, 100, "Home");
  int selects = 0;
  scheduler::registerProgramWindow("BrowseTaskCategories", [&] { return std::make_unique<CategoryPicker>(selects); });
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(editors::makeBrowseSchedule);
    WindowDriver w = d.waitWindow("BrowseSchedule");
    ListDriver list(d, w, "?Browse:1");
    w.selectTab("All in Category");
    d.settle();
    w.press("?SelectCategory");
    d.settle();
    EXPECT_EQ(selects, 1) << "the picker is asked to select";
    EXPECT_EQ(descriptions(list), (Rows{"Clean", "Water plants"}));
    // A task stored elsewhere shows after the refresh event.
    d.gui([] { addTask("Bake", "Run Program", kToday + 1, 100, "Home"); });
    w.post(scheduler::EVENT::RefreshAll);
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Bake", "Clean", "Water plants"}));
    w.selectTab("All by Date");
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Report", "Bake", "Water plants", "Clean"}));
    w.close();
    d.waitClosed(w);
  });
}

}  // namespace

namespace {

TEST_F(TaskLists, CopyOpensTheTaskFormOnTheHighlightedTask) {
  addTask("Water plants", "Display Message", kToday, 100, "Home");
  addTask("Report", "Display Message", kToday, 200, "Work");
  scheduler::registerProgramWindow("UpdateSchedule", editors::makeUpdateSchedule);
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(editors::makeExploreSchedule);
    WindowDriver w = d.waitWindow("ExploreSchedule");
    ListDriver list(d, w, "?Browse:1");
    ASSERT_EQ(descriptions(list), (Rows{"Water plants", "Report"}));
    list.select(2);
    w.press("?Copy");
    WindowDriver form = d.waitWindow("UpdateSchedule");
    EXPECT_EQ(form.text("?SCH:Description"), "Report") << "the copy starts as the highlighted task";
    form.press("?Cancel");
    d.waitClosed(form);
    d.settle();
    EXPECT_EQ(descriptions(list), (Rows{"Water plants", "Report"})) << "a cancelled copy stores nothing";
    w.close();
    d.waitClosed(w);
  });
  EXPECT_EQ(editors::TaskFormSourceID(), 0) << "the form took the source";
}

}  // namespace
