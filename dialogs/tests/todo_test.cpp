// The to-do list and form: the reminder text of a transfer, marking done, the form's defaults and
// checks, the list's orders, the transfer to the task form, and the frame's command.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dialogs/register_windows.h"
#include "dialogs/tests/fixture.h"
#include "dialogs/tests/records.h"
#include "dialogs/todo.h"
#include "editors/explore_binding.h"
#include "platform/report/output.h"
#include "platform/rt/date_time.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/print_job.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/list_driver.h"
#include "scheduler/frame_commands.h"
#include "scheduler/open_window_list.h"
#include "scheduler/program_body.h"
#include "scheduler/program_windows.h"

using namespace ov;
using dialogs::testing::addCategory;
using ui::test::Driver;
using ui::test::ListDriver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

files::TodoRec item(const char* notes, uint8_t priority, int32_t completed, const std::string& resolution) {
  files::TodoRec r;
  r.Notes = notes;
  r.Priority = priority;
  r.CompletionDate = completed;
  r.Resolution = resolution;
  return r;
}

TEST(ToDoTransfer, MessageFromNotesCompletionOrPriorityAndResolution) {
  rt::setSystemFormats({"MM/dd/yy", "dddd, MMMM d, yyyy", "HH:mm", "HH:mm:ss"});
  struct Case {
    const char* name;
    files::TodoRec item;
    std::string want;
  };
  const Case cases[] = {
      {"completed: the short date", item("Buy milk   ", 3, rt::DATE(3, 14, 2026), ""),
       "Buy milk\r\nCompleted 03/14/26\r\n"},
      {"no completion: the priority; empty notes start with a line break", item("", 7, 0, ""), "\r\nPriority 7\r\n"},
      {"a blank resolution adds nothing", item("n", 10, 0, "    "), "n\r\nPriority 10\r\n"},
      {"a resolution block", item("Call the bank", 2, 0, "Done by phone  "),
       "Call the bank\r\nPriority 2\r\nResolution:\r\nDone by phone\r\n"},
      {"only the resolution's first 1000 characters", item("", 1, 0, std::string(999, 'r') + "  tail"),
       "\r\nPriority 1\r\nResolution:\r\n" + std::string(999, 'r') + "\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(dialogs::toDoTransferMessage(c.item), c.want);
  }
  // Long notes: cut to 4096 bytes, never inside a character.
  const std::string notes = std::string(4095, 'a') + "\xc3\xa9" + "tail";
  const std::string message = dialogs::toDoTransferMessage(item(notes.c_str(), 1, 0, ""));
  EXPECT_EQ(message.size(), 4095u);
  EXPECT_EQ(message, notes.substr(0, 4095));
}

TEST(ToDoTransfer, DoneStampsTheCompletionAndNotDoneKeepsIt) {
  files::TodoRec r;
  dialogs::toggleToDoDone(r, 100, 500);
  EXPECT_EQ(r.Done, 1);
  EXPECT_EQ(r.CompletionDate, 100);
  EXPECT_EQ(r.CompletionTime, 500);
  dialogs::toggleToDoDone(r, 101, 600);
  EXPECT_EQ(r.Done, 0);
  EXPECT_EQ(r.CompletionDate, 100) << "turned back, the item keeps its completion";
  dialogs::toggleToDoDone(r, 102, 700);
  EXPECT_EQ(r.CompletionDate, 102);
  EXPECT_EQ(r.CompletionTime, 700);
}

// What the task form was opened with.
struct TaskFormCall {
  int calls = 0;
  int request = -1;
  std::string type, description, category, message;
  int32_t date = 0, time = 0;
};
TaskFormCall g_taskForm;

class TaskFormStandIn : public ui::WindowManager {
 public:
  TaskFormStandIn() : ui::WindowManager("UpdateSchedule") {}
  ui::Level Init() override {
    ++g_taskForm.calls;
    g_taskForm.request = files::GLOBALREQUEST;
    g_taskForm.type = rt::CLIP(scheduler::PresetTaskType().view());
    g_taskForm.description = files::SCH.Description.str();
    g_taskForm.category = rt::CLIP(files::SCH.Category.view());
    g_taskForm.message = files::SCH.Message.str();
    g_taskForm.date = files::SCH.Date;
    g_taskForm.time = files::SCH.Time;
    Response = ui::RequestCompleted;
    return ui::Level::Notify;
  }
};

class ToDo : public dialogs::testing::DataFolder {
 protected:
  static void TransferFromHere() {
    runScript([](Driver& d) { d.gui([] { dialogs::TransferToDoToSchedule(); }); });
  }
  void SetUp() override {
    DataFolder::SetUp();
    rt::setTestClock(rt::DATE(3, 14, 2026), 4500001);
    files::CATEGORIES.clear();
    files::TODO.clear();
    files::APP.USERID = "anna";
    g_taskForm = TaskFormCall{};
  }
  void TearDown() override {
    for (const char* name : {"UpdateSchedule", "BrowseToDoList", "BrowseClipboardCategories"})
      scheduler::registerProgramWindow(name, {});
    scheduler::startupSettings().multiUser = false;
    DataFolder::TearDown();
  }
};

void addItem(const char* text, uint8_t priority, const char* category, uint8_t done = 0, int32_t completed = 0,
             const char* notes = "") {
  ASSERT_EQ(files::Access_TODO.Open(), rt::Err::None);
  files::TODO.clear();
  files::TDO.ToDo = text;
  files::TDO.Priority = priority;
  files::TDO.Category = category;
  files::TDO.Done = done;
  files::TDO.CompletionDate = completed;
  files::TDO.CompletionTime = completed ? 360001 : 0;
  files::TDO.Notes = notes;
  ASSERT_EQ(files::TODO.add(), rt::Err::None);
  (void)files::Access_TODO.Close();
}

std::vector<files::TodoRec> storedItems() {
  std::vector<files::TodoRec> out;
  EXPECT_EQ(files::Access_TODO.Open(), rt::Err::None);
  rt::Err err = files::TODO.set();
  while (err == rt::Err::None && (err = files::TODO.next()) == rt::Err::None) out.push_back(files::TDO);
  (void)files::Access_TODO.Close();
  return out;
}

TEST_F(ToDo, NewItemDefaultsChecksAndStamps) {
  addCategory("Home");
  files::CAT.Category = "";
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([] {
      files::GLOBALREQUEST = ui::InsertRecord;
      (void)dialogs::UpdateTodo();
    });
    WindowDriver form = d.waitWindow("UpdateTodo");
    EXPECT_EQ(form.title(), "New To Do Item");
    EXPECT_EQ(form.text("?TDO:Priority"), " 5");
    EXPECT_EQ(form.text("?TDO:Category"), "General") << "a blank current category";

    host.expectMessage("\"To Do\" must be entered.", ui::BUTTON::Ok);
    form.press("?OK");
    d.settle();
    EXPECT_FALSE(host.pending());
    form.type("?TDO:ToDo", "Water the plants");

    for (const char* bad : {"0", "11"}) {
      host.expectMessage("The value of Priority must be between 1 and 10.", ui::BUTTON::Ok);
      form.enter("?TDO:Priority", bad);
      d.settle();
      EXPECT_FALSE(host.pending()) << bad;
    }
    // Still out of range at OK: nothing is stored.
    host.expectMessage("must be between 1 and 10", ui::BUTTON::Ok);
    form.press("?OK");
    d.settle();
    EXPECT_FALSE(host.pending());
    EXPECT_TRUE(form.isOpen());

    form.enter("?TDO:Priority", "10");
    form.choose("?TDO:Category", "Home");
    rt::setTestClock(rt::DATE(3, 15, 2026), 3600001);
    form.check("?TDO:Done", true);
    d.settle();
    EXPECT_EQ(form.text("?TDO:CompletionDate"), " 3/15/2026");
    form.press("?OK");
    d.waitClosed(form);
  });
  const auto items = storedItems();
  ASSERT_EQ(items.size(), 1u);
  const files::TodoRec& r = items[0];
  EXPECT_EQ(rt::CLIP(r.ToDo.str()), "Water the plants");
  EXPECT_EQ(r.Priority, 10);
  EXPECT_EQ(rt::CLIP(r.Category.str()), "Home");
  EXPECT_EQ(r.Done, 1);
  EXPECT_EQ(r.CompletionDate, rt::DATE(3, 15, 2026));
  EXPECT_EQ(r.CompletionTime, 3600001);
  EXPECT_EQ(rt::CLIP(r.NetworkUser.str()), "anna");
  EXPECT_EQ(r.LastChangeDate, rt::DATE(3, 15, 2026));
  EXPECT_EQ(r.OriginalID, 0) << "the file held no records when it was saved";
}

TEST_F(ToDo, ChangedItemTakesTheRecordCountAndADoneItemKeepsItsDate) {
  addItem("first", 1, "General");
  addItem("second", 2, "General", 1, rt::DATE(1, 2, 2026));
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([] {
      ASSERT_EQ(files::Access_TODO.Open(), rt::Err::None);
      files::TODO.clear();
      files::TDO.ToDo = "second";
      ASSERT_EQ(files::TODO.get(files::TDO_KeyToDo), rt::Err::None);  // the current record, as the list leaves it
      files::GLOBALREQUEST = ui::ChangeRecord;
      (void)dialogs::UpdateTodo();
    });
    WindowDriver form = d.waitWindow("UpdateTodo");
    EXPECT_EQ(form.title(), "Edit To Do Item");
    form.check("?TDO:Done", false);
    form.check("?TDO:Done", true);
    d.settle();
    form.press("?OK");
    d.waitClosed(form);
  });
  const auto items = storedItems();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1].Done, 1);
  EXPECT_EQ(items[1].CompletionDate, rt::DATE(1, 2, 2026)) << "done when the form opened";
  EXPECT_EQ(items[1].OriginalID, 2);
}

TEST_F(ToDo, ViewChangesNothing) {
  addItem("look only", 4, "General");
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([] {
      ASSERT_EQ(files::Access_TODO.Open(), rt::Err::None);
      ASSERT_EQ(files::TODO.set(), rt::Err::None);
      ASSERT_EQ(files::TODO.next(), rt::Err::None);
      files::GLOBALREQUEST = ui::ViewRecord;
      (void)dialogs::UpdateTodo();
    });
    WindowDriver form = d.waitWindow("UpdateTodo");
    EXPECT_EQ(form.title(), "View To Do Item");
    for (const char* c : {"?TDO:ToDo", "?TDO:Priority", "?TDO:Category", "?TDO:Done", "?CallCalendar"})
      EXPECT_FALSE(form.enabled(c)) << c;
    EXPECT_EQ(form.prop("?Cancel", ui::Prop::Text), "Cl&ose");
    form.press("?Cancel");
    d.waitClosed(form);
  });
  const auto items = storedItems();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].LastChangeDate, 0);
  EXPECT_EQ(files::GLOBALRESPONSE, ui::RequestCancelled);
}

TEST_F(ToDo, ListOrdersMarksDoneAndTransfersToANewTask) {
  addCategory("Home");
  addCategory("Work");
  addItem("pay rent", 2, "Home", 1, rt::DATE(3, 1, 2026), "by transfer");
  addItem("write report", 5, "Work");
  addItem("call plumber", 1, "home");
  scheduler::registerProgramWindow("UpdateSchedule", [] { return std::make_unique<TaskFormStandIn>(); });
  files::CAT.Category = "Home";
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseToDoList);
    WindowDriver w = d.waitWindow("BrowseToDoList");
    EXPECT_EQ(w.title(), "To Do List");
    ListDriver list(d, w, "?Browse:1");
    // Open items first, then by priority.
    EXPECT_EQ(list.texts(3), (std::vector<std::string>{"call plumber", "write report", "pay rent"}));
    w.selectTab("By Priority");
    EXPECT_EQ(list.texts(3), (std::vector<std::string>{"call plumber", "pay rent", "write report"}));
    w.selectTab("By To Do");
    EXPECT_EQ(list.texts(3), (std::vector<std::string>{"call plumber", "pay rent", "write report"}));
    w.selectTab("By Category");
    EXPECT_EQ(list.texts(3), (std::vector<std::string>{"call plumber", "pay rent"})) << "the current category, any case";

    // Pay rent back to not done (its completion stays), call plumber done.
    list.select(2);
    w.press("?MarkDone");
    d.settle();
    list.select(1);
    w.press("?MarkDone");
    d.settle();
    EXPECT_EQ(list.texts(3), (std::vector<std::string>{"call plumber", "pay rent"}));

    // The popup ends with the mark-done mirror and the transfer.
    list.select(2);
    host.expectPopup("Transfer to Schedule");
    list.rightClick(2);
    d.settle();
    const auto popups = host.popups();
    ASSERT_FALSE(popups.empty());
    std::vector<std::string> texts;
    for (const ui::PopupItem& i : popups.back().items) {
      std::string text = i.separator ? "-" : i.text;
      std::erase(text, '&');
      texts.push_back(text);
    }
    ASSERT_GE(texts.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(texts.end() - 4, texts.end()),
              (std::vector<std::string>{"-", "Done/Not Done", "-", "Transfer to Schedule"}));
    w.close();
    d.waitClosed(w);
  });
  ASSERT_EQ(g_taskForm.calls, 1);
  EXPECT_EQ(g_taskForm.request, 0) << "no request: a new task";
  EXPECT_EQ(g_taskForm.type, "Display Message");
  EXPECT_EQ(rt::CLIP(g_taskForm.description), "pay rent");
  EXPECT_EQ(g_taskForm.category, "Home");
  EXPECT_EQ(g_taskForm.message, "by transfer\r\nCompleted 03/01/26\r\n");
  EXPECT_EQ(g_taskForm.date, rt::DATE(3, 15, 2026));
  EXPECT_EQ(g_taskForm.time, 4500001);

  const auto items = storedItems();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].Done, 0) << "pay rent";
  EXPECT_EQ(items[0].CompletionDate, rt::DATE(3, 1, 2026));
  EXPECT_EQ(items[2].Done, 1) << "call plumber";
  EXPECT_EQ(items[2].CompletionDate, rt::DATE(3, 14, 2026));
  EXPECT_EQ(items[2].CompletionTime, 4500001);
}

// A preview that keeps the pages it was shown and answers as the user would.
class KeptPreview : public report::PreviewHost {
 public:
  int preview(const report::PageSource& pages, std::string_view title, int) override {
    shown.push_back(report::allPages(pages));
    titles.emplace_back(title);
    return 1;  // Print
  }
  std::vector<std::vector<report::Page>> shown;
  std::vector<std::string> titles;
};

TEST_F(ToDo, OutputPrintAllShowsThePreviewAndPrintsFromIt) {
  addItem("pay rent", 2, "Home");
  addItem("write report", 5, "Work");
  KeptPreview preview;
  report::setPreviewHost(&preview);
  std::vector<std::string> spooled;
  ui::setPrintSpooler([&](const std::string& file) {
    spooled.push_back(file);
    return std::filesystem::exists(file);
  });
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseToDoList);
    WindowDriver w = d.waitWindow("BrowseToDoList");
    ListDriver list(d, w, "?Browse:1");
    // The output commands are offered: a disabled one would fail the choice.
    host.expectPopup("Print All");
    list.rightClick(1);
    EXPECT_TRUE(d.waitUntil([&] { return spooled.size() == 1; }));
    host.expectPopup("Print Page");
    list.rightClick(1);
    EXPECT_TRUE(d.waitUntil([&] { return spooled.size() == 2; }));
    w.close();
    d.waitClosed(w);
  });
  report::setPreviewHost(nullptr);
  ui::setPrintSpooler({});
  ASSERT_EQ(preview.shown.size(), 1u) << "Print All previews first; Print Page prints at once";
  std::string texts;
  for (const report::Page& page : preview.shown[0]) {
    for (const std::string& t : report::pageTexts(page)) texts += t + "\n";
    EXPECT_EQ(report::overlappingTexts(page), std::vector<std::string>{}) << "the list's printout keeps its texts apart";
  }
  for (const char* want : {"To Do List", "pay rent", "write report", "2 Records"})
    EXPECT_NE(texts.find(want), std::string::npos) << want << "\n" << texts;
  EXPECT_EQ(texts.find("Order:"), std::string::npos) << "no empty order line\n" << texts;
  EXPECT_EQ(spooled.size(), 2u) << "printed from the preview, then the page";
}

TEST_F(ToDo, ColumnsSortWithinTheCategoryTabAndTheLayoutIsKept) {
  addCategory("Home");
  addCategory("Work");
  addItem("pay rent", 2, "Home");
  addItem("write report", 5, "Work");
  addItem("call plumber", 1, "home");
  addItem("buy paint", 3, "Home");
  files::CAT.Category = "Home";
  using Texts = std::vector<std::string>;
  auto headers = [](const ListDriver& list) {
    Texts h;
    for (int c = 1; c <= 6; ++c) h.push_back(list.propList(ui::PROPLIST::Header, c));
    return h;
  };
  const Texts designed{"", "Priority", "To Do", "Category", "Completion Date", "Completion Time"};
  Texts moved;
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseToDoList);
    WindowDriver w = d.waitWindow("BrowseToDoList");
    ListDriver list(d, w, "?Browse:1");
    ASSERT_EQ(headers(list), designed);
    list.clickHeader(3);
    d.settle();
    EXPECT_EQ(list.texts(3), (Texts{"buy paint", "call plumber", "pay rent", "write report"}));
    host.expectPopup("Sort by default key");
    list.rightClickHeader(3);
    d.settle();
    EXPECT_EQ(list.texts(3), (Texts{"call plumber", "pay rent", "buy paint", "write report"})) << "by done again";

    // On the category tab a column sort keeps to the current category, both ways.
    w.selectTab("By Category");
    EXPECT_EQ(list.texts(3), (Texts{"call plumber", "pay rent", "buy paint"}));
    list.clickHeader(3);
    d.settle();
    EXPECT_EQ(list.texts(3), (Texts{"buy paint", "call plumber", "pay rent"}));
    list.clickHeader(3);
    d.settle();
    EXPECT_EQ(list.texts(3), (Texts{"pay rent", "call plumber", "buy paint"}));
    // Another tab drops the column sort and its mark.
    w.selectTab("By Priority");
    EXPECT_EQ(list.texts(3), (Texts{"call plumber", "pay rent", "buy paint", "write report"}));
    EXPECT_EQ(list.propList(ui::PROPLIST::Header, 3), "To Do");

    list.dragHeader(3, 5);
    d.settle();
    moved = headers(list);
    EXPECT_NE(moved, designed);
    list.clickHeader(2);  // sorted as it closes
    d.settle();
    w.close();
    d.waitClosed(w);
  });
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseToDoList);
    WindowDriver w = d.waitWindow("BrowseToDoList");
    ListDriver list(d, w, "?Browse:1");
    EXPECT_EQ(headers(list), moved) << "the layout came back from POSITION.INI, without the sort mark";
    list.select(1);
    list.key(editors::ExploreBinding::kDefaultLayout);  // Alt+F12
    d.settle();
    EXPECT_EQ(headers(list), designed);
    w.close();
    d.waitClosed(w);
  });
  EXPECT_FALSE(host.pending());
}

TEST_F(ToDo, TheListAddsAndDeletesThroughTheFormAndTheHistoryKeyRecallsTheLastItem) {
  addCategory("Home");
  files::CAT.Category = "Home";
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseToDoList);
    WindowDriver w = d.waitWindow("BrowseToDoList");
    ListDriver list(d, w, "?Browse:1");
    w.press("?Insert");
    WindowDriver form = d.waitWindow("UpdateTodo");
    EXPECT_EQ(form.text("?TDO:Category"), "Home") << "the current category";
    form.type("?TDO:ToDo", "sweep the yard");
    form.selectTab("Notes");
    form.enter("?TDO:Notes", "before Sunday");
    form.press("?OK");
    d.waitClosed(form);
    EXPECT_EQ(list.texts(3), std::vector<std::string>{"sweep the yard"});

    w.press("?Insert");
    form = d.waitWindow("UpdateTodo");
    form.key("?TDO:ToDo", 734);
    form.selectTab("Notes");
    form.key("?TDO:Notes", 734);
    EXPECT_EQ(form.text("?TDO:ToDo"), "sweep the yard");
    EXPECT_EQ(form.text("?TDO:Notes"), "before Sunday");
    form.selectTab("General");
    form.type("?TDO:ToDo", "sweep the porch");
    form.press("?OK");
    d.waitClosed(form);

    list.select(2);
    w.press("?Delete");
    form = d.waitWindow("UpdateTodo");
    EXPECT_FALSE(form.enabled("?TDO:ToDo"));
    EXPECT_TRUE(form.enabled("?OK")) << "OK confirms the deletion";
    form.press("?OK");
    d.waitClosed(form);
    EXPECT_EQ(list.texts(3).size(), 1u);
    w.close();
    d.waitClosed(w);
  });
  const auto items = storedItems();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].Notes, "before Sunday");
  EXPECT_EQ(rt::CLIP(items[0].Category.str()), "Home");
  EXPECT_EQ(items[0].Priority, 5);
}

TEST_F(ToDo, TransferTakesTheFirstFortyCharactersAndNeedsTheTaskForm) {
  ScriptedHost host;
  files::TDO.ToDo = std::string(39, 'x') + "\xc3\xa9" + std::string(39, 'y');  // 80 bytes, a character across 40
  files::TDO.Category = "Work";
  files::TDO.Priority = 4;
  files::TDO.Notes = "";
  files::TDO.CompletionDate = 0;
  TransferFromHere();
  EXPECT_EQ(g_taskForm.calls, 0) << "no task form registered: nothing opens";

  scheduler::registerProgramWindow("UpdateSchedule", [] { return std::make_unique<TaskFormStandIn>(); });
  files::GLOBALREQUEST = ui::ChangeRecord;  // left over from elsewhere: the form must get none
  TransferFromHere();
  ASSERT_EQ(g_taskForm.calls, 1);
  EXPECT_EQ(g_taskForm.request, 0);
  EXPECT_EQ(g_taskForm.description, std::string(39, 'x')) << "cut before the character that would not fit";
  EXPECT_EQ(g_taskForm.message, "\r\nPriority 4\r\n");
  EXPECT_EQ(g_taskForm.date, rt::DATE(3, 15, 2026)) << "tomorrow";
  EXPECT_EQ(rt::CLIP(files::TDO.ToDo.str()).size(), 80u) << "the item is not changed";
}

TEST_F(ToDo, TheCategoriesButtonChoosesTheCurrentCategory) {
  addCategory("Home");
  addCategory("Work");
  addItem("pay rent", 2, "Home");
  addItem("write report", 5, "Work");
  files::CAT.Category = "Home";
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseToDoList);
    WindowDriver w = d.waitWindow("BrowseToDoList");
    ListDriver list(d, w, "?Browse:1");
    w.selectTab("By Category");
    EXPECT_EQ(list.texts(3), std::vector<std::string>{"pay rent"});
    w.press("?Categories");
    WindowDriver picker = d.waitWindow("BrowseTaskCategories");
    ListDriver categories(d, picker, "?Browse:1");
    categories.select(2);
    picker.press("?Select");
    d.waitClosed(picker);
    d.settle();
    EXPECT_EQ(list.texts(3), std::vector<std::string>{"write report"});
    w.close();
    d.waitClosed(w);
  });
}

TEST_F(ToDo, OneListPerProgramAndTheUserInTheTitle) {
  scheduler::startupSettings().multiUser = true;
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseToDoList);
    WindowDriver w = d.waitWindow("BrowseToDoList");
    EXPECT_EQ(w.title(), "To Do List - anna");
    d.start(dialogs::makeBrowseToDoList);
    d.settle();
    int lists = 0;
    d.gui([&] {
      for (const auto& e : scheduler::OpenWindowList()) lists += e.name == "BrowseToDoList";
    });
    EXPECT_EQ(lists, 1);
    w.close();
    d.waitClosed(w);
  });
}

TEST_F(ToDo, FrameCommandAvailableOnceRegistered) {
  using scheduler::Command::ToDo;
  scheduler::registerProgramWindow("BrowseToDoList", {});
  EXPECT_FALSE(scheduler::CommandAvailable(ToDo));
  dialogs::registerWindows();
  EXPECT_TRUE(scheduler::CommandAvailable(ToDo));
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.gui([] { EXPECT_TRUE(scheduler::RunCommand(ToDo, {})); });
    WindowDriver list = d.waitWindow("BrowseToDoList");
    list.close();
    d.waitClosed(list);
  });
}

}  // namespace
