// Hot keys: the key text built from the modifiers and the key and read back, checked against the
// data library's key codes; the form storing text and task hot keys over a temporary data folder
// and refusing keys it cannot store; the list deleting a hot key's own task with it, sorting from
// its header and keeping its column layout.
#include "editors/hot_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datalib/key_names.h"
#include "dialogs/tests/fixture.h"
#include "editors/hot_key_text.h"
#include "editors/register_windows.h"
#include "editors/script_item_list.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/list_driver.h"
#include "scheduler/frame_commands.h"
#include "scheduler/program_windows.h"
#include "scheduler/services.h"

using namespace ov;
using editors::HotKeyParts;
using ui::test::Driver;
using ui::test::ListDriver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

files::KeyTranslations dataLibraryKeys() {
  files::KeyTranslations t;
  files::appendKeyBlock(t, files::hotKeyBlock());
  return t;
}

TEST(HotKeyText, EveryModifierCombinationRoundTrips) {
  const files::KeyTranslations trn = dataLibraryKeys();
  for (const char* key : {"A", "F5", "F12", "DELETE", "PGDN", "BS", "SPACE", "SLASH"}) {
    const int32_t vk = files::translateKeyName(trn, key);
    ASSERT_NE(vk & 0xFF, 0) << key;
    for (int m = 0; m < 16; ++m) {
      const HotKeyParts parts{(m & 1) != 0, (m & 2) != 0, (m & 4) != 0, (m & 8) != 0, key};
      const std::string text = editors::buildHotKeyText(parts);
      const std::string where = text + " (" + std::to_string(m) + ")";
      std::string expected;
      if (parts.win) expected += "Win-";
      if (parts.ctrl) expected += "Ctrl-";
      if (parts.alt) expected += "Alt-";
      if (parts.shift) expected += "Shift-";
      EXPECT_EQ(text, expected + key) << where;
      EXPECT_EQ(editors::splitHotKeyText(text), parts) << where;
      const int32_t mods = (parts.win ? files::kKeyWin : 0) | (parts.ctrl ? files::kKeyCtrl : 0) |
                           (parts.alt ? files::kKeyAlt : 0) | (parts.shift ? files::kKeyShift : 0);
      EXPECT_EQ(editors::hotKeyCode(text), mods | vk) << where;
      // The data library's own text of the code (its modifier order) names the same key.
      EXPECT_EQ(editors::hotKeyCode(files::translateVirtKey(trn, mods | vk)), mods | vk) << where;
      if (text.size() <= editors::kHotKeyTextSize)
        EXPECT_EQ(editors::hotKeyTextProblem(text), "") << where;
      else
        EXPECT_NE(editors::hotKeyTextProblem(text).find("too long"), std::string::npos) << where;
    }
  }
  EXPECT_EQ(editors::hotKeyCode("Ctrl-Alt-F5"), files::kKeyCtrl | files::kKeyAlt | 116);
}

TEST(HotKeyText, StoredTextsSplitAndAreChecked) {
  struct Case {
    const char* text;
    HotKeyParts parts;
    bool usable;
  };
  const Case cases[] = {
      {"Ctrl-Alt-F5", {false, true, true, false, "F5"}, true},
      {"F5", {false, false, false, false, "F5"}, true},
      {"Win-Ctrl-Alt-Shift-A", {true, true, true, true, "A"}, true},  // exactly 20
      {"Alt-Ctrl-F5", {false, true, true, false, "F5"}, true},         // written in another order
      {"Shift-PGUP  ", {false, false, false, true, "PGUP"}, true},      // as the fixed field pads it
      {"Ctrl--", {false, true, false, false, "-"}, false},              // "-" is no key of the table
      {"Ctrl-", {false, true, false, false, ""}, false},
      {"", {}, false},
      {"Ctrl-NOSUCHKEY", {false, true, false, false, "NOSUCHKEY"}, false},
      {"Win-Ctrl-Alt-Shift-D", {true, true, true, true, "D"}, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(editors::splitHotKeyText(c.text), c.parts) << c.text;
    EXPECT_EQ(editors::hotKeyTextProblem(c.text).empty(), c.usable) << c.text;
  }
  // All four modifiers leave no room for DELETE: refused, not cut to another key.
  EXPECT_NE(editors::hotKeyTextProblem("Win-Ctrl-Alt-Shift-DELETE").find("too long"), std::string::npos);
  // Every key the form offers is a key of the data library.
  const auto& choices = editors::hotKeyChoices();
  EXPECT_EQ(choices.size(), 26u + 6u + 12u + 12u);
  for (const std::string& name : choices) EXPECT_NE(editors::hotKeyCode(name), 0) << name;
}

// ---- the windows over a data folder --------------------------------------------------------------

struct StoredTask {
  int32_t id;
  std::string description, category;
  int32_t date;
};

class HotKeys : public dialogs::testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    scheduler::services().post = [this](int event, int thread) { posted.push_back({event, thread}); };
  }

  static void addHotKey(const char* key, const char* description, const char* action, int32_t task = 0) {
    ASSERT_EQ(files::Access_SYSHOTKEYS.Open(), rt::Err::None);
    files::HOT = files::HotKeyRec{};
    files::HOT.ID = task;
    files::HOT.HotKey = key;
    files::HOT.Description = description;
    files::HOT.QuickText = description;
    files::HOT.Action = action;
    files::HOT.TextType = "Type";
    files::HOT.Active = 1;
    ASSERT_EQ(files::Access_SYSHOTKEYS.Insert(), rt::Err::None);
    (void)files::Access_SYSHOTKEYS.Close();
  }

  static int32_t addTask(const char* description, const char* category, int32_t date, bool withItem) {
    EXPECT_EQ(files::Access_SCHEDULE.Open(), rt::Err::None);
    EXPECT_EQ(files::Access_SCHEDULE.PrimeRecord(), rt::Err::None);
    files::SCH.Description = description;
    files::SCH.Category = category;
    files::SCH.TaskType = "Hot Key";
    files::SCH.Date = date;
    files::SCH.Time = 0;
    EXPECT_EQ(files::Access_SCHEDULE.Insert(), rt::Err::None);
    const int32_t id = files::SCH.ID;
    (void)files::Access_SCHEDULE.Close();
    if (withItem) {
      EXPECT_EQ(files::Access_SCRIPTING.Open(), rt::Err::None);
      files::SCRIPTING.clear();
      files::SCR.ID = id;
      files::SCR.Sequence = 1;
      files::SCR.Action = "Display Message";
      EXPECT_EQ(files::SCRIPTING.add(), rt::Err::None);
      (void)files::Access_SCRIPTING.Close();
    }
    return id;
  }

  static std::vector<files::HotKeyRec> storedHotKeys() {
    std::vector<files::HotKeyRec> out;
    EXPECT_EQ(files::Access_SYSHOTKEYS.Open(), rt::Err::None);
    rt::Err err = files::SYSHOTKEYS.set(files::HOT_K_HotKey);
    while (err == rt::Err::None && (err = files::SYSHOTKEYS.next()) == rt::Err::None) out.push_back(files::HOT);
    (void)files::Access_SYSHOTKEYS.Close();
    return out;
  }

  static std::vector<StoredTask> storedTasks() {
    std::vector<StoredTask> out;
    EXPECT_EQ(files::Access_SCHEDULE.Open(), rt::Err::None);
    rt::Err err = files::SCHEDULE.set(files::SCH_KeyID);
    while (err == rt::Err::None && (err = files::SCHEDULE.next()) == rt::Err::None)
      out.push_back({files::SCH.ID, rt::CLIP(files::SCH.Description.str()), rt::CLIP(files::SCH.Category.str()),
                     files::SCH.Date});
    (void)files::Access_SCHEDULE.Close();
    return out;
  }

  static int scriptItems(int32_t task) {
    int n = 0;
    EXPECT_EQ(files::Access_SCRIPTING.Open(), rt::Err::None);
    rt::Err err = files::SCRIPTING.set();
    while (err == rt::Err::None && (err = files::SCRIPTING.next()) == rt::Err::None) n += files::SCR.ID == task;
    (void)files::Access_SCRIPTING.Close();
    return n;
  }

  // Opens the form on the current thread with `request` and the buffer as `prepare` leaves it.
  static void openForm(Driver& d, int request, int& response, std::function<void()> prepare = {}) {
    d.later([request, &response, prepare] {
      if (prepare) prepare();
      files::GLOBALREQUEST = static_cast<uint8_t>(request);
      response = editors::UpdateHotKeys();
    });
  }

  int hotKeysChangedPosts() const {
    int n = 0;
    for (const auto& [event, thread] : posted) n += event == editors::kEventHotKeysChanged && thread == 1;
    return n;
  }

  std::vector<std::pair<int, int>> posted;
};

TEST_F(HotKeys, NewTextHotKeyIsBuiltFromModifiersAndKey) {
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    openForm(d, 0, response);
    WindowDriver form = d.waitWindow("UpdateHotKeys");
    EXPECT_EQ(form.title(), "New Hot Key");
    for (const char* flag : {"?Win", "?Control", "?Alt", "?Shift"}) EXPECT_EQ(form.prop(flag, ui::Prop::Checked), "") << flag;
    EXPECT_EQ(form.text("?Key"), "");
    EXPECT_EQ(form.prop("?HOT:Active", ui::Prop::Checked), "1");
    EXPECT_EQ(form.choice("?HOT:Action"), 1) << "Text";
    EXPECT_EQ(form.tabs("?CurrentTab"), (std::vector<std::string>{"Hot Key", "Text"}));

    form.check("?Control", true);
    form.check("?Alt", true);
    form.choose("?Key", "F5");
    EXPECT_EQ(form.text("?KeyText"), "Ctrl-Alt-F5");
    form.press("?Next");
    EXPECT_EQ(form.choice("?CurrentTab"), 2);
    EXPECT_EQ(form.choice("?HOT:TextType"), 1) << "Typing";
    form.press("?HOT:TextType:Radio3");
    form.type("?HOT:Text", "Kind regards from the whole team of the office");
    form.accept("?HOT:Text");
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  const auto stored = storedHotKeys();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].HotKey.str(), "Ctrl-Alt-F5");
  EXPECT_EQ(rt::CLIP(stored[0].Description.str()), "Ctrl-Alt-F5") << "a blank description takes the key";
  EXPECT_EQ(rt::CLIP(stored[0].QuickText.str()), "Ctrl-Alt-F5 : Kind regards from the whol");  // 40
  EXPECT_EQ(stored[0].Action.str(), "Text");
  EXPECT_EQ(rt::CLIP(stored[0].TextType.str()), "Paste");
  EXPECT_EQ(stored[0].ID, 0);
  EXPECT_EQ(stored[0].Active, 1);
  EXPECT_EQ(hotKeysChangedPosts(), 1);
}

TEST_F(HotKeys, TaskHotKeyGetsATaskOfItsOwn) {
  scheduler::registerProgramWindow("BrowseScripting", {});  // another test may have registered it
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    openForm(d, ui::InsertRecord, response);
    WindowDriver form = d.waitWindow("UpdateHotKeys");
    form.check("?Control", true);
    form.choose("?Key", "T");
    form.enter("?HOT:Description", "Start the backup");
    form.choose("?HOT:Action", "Task - Start/control programs with advanced options");
    EXPECT_EQ(form.tabs("?CurrentTab"), (std::vector<std::string>{"Hot Key", "Task"}));
    form.press("?Next");
    EXPECT_EQ(form.choice("?CurrentTab"), 3);
    EXPECT_EQ(form.text("?SCH:Description"), "Hot Key Ctrl-T");
    // Back and Next again find the task made the first time.
    form.press("?Back");
    form.press("?Next");
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  const auto tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_EQ(tasks[0].description, "Hot Key Ctrl-T");
  EXPECT_EQ(tasks[0].category, "Hot Key");
  EXPECT_EQ(tasks[0].date, 0);
  const auto keys = storedHotKeys();
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].ID, tasks[0].id);
  EXPECT_EQ(keys[0].Action.str(), "Task");
  EXPECT_EQ(rt::CLIP(keys[0].QuickText.str()), "Start the backup");
}

TEST_F(HotKeys, NextOnTheTaskPageEditsTheScriptAndTheListsOkCompletesTheForm) {
  scheduler::registerProgramWindow("BrowseScripting", editors::makeBrowseScripting);
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    openForm(d, ui::InsertRecord, response);
    WindowDriver form = d.waitWindow("UpdateHotKeys");
    form.check("?Alt", true);
    form.choose("?Key", "B");
    form.enter("?HOT:Description", "Browser");
    form.choose("?HOT:Action", "Task - Start/control programs with advanced options");
    form.press("?Next");
    WindowDriver list = d.waitWindow("BrowseScripting");
    EXPECT_EQ(list.title(), "Hot Key Scripting - Browser");
    // Cancel goes back to the first page; Next again opens the list on the same task.
    list.press("?Cancel");
    d.waitClosed(list);
    d.settle();
    EXPECT_EQ(form.choice("?CurrentTab"), 1);
    form.press("?Next");
    list = d.waitWindow("BrowseScripting");
    list.press("?OK");
    d.waitClosed(list);
    d.waitClosed(form);
  });
  scheduler::registerProgramWindow("BrowseScripting", {});
  EXPECT_EQ(response, ui::RequestCompleted);
  const auto tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_EQ(tasks[0].description, "Hot Key Alt-B");
  const auto keys = storedHotKeys();
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].ID, tasks[0].id);
}

TEST_F(HotKeys, CancelledFormLeavesNoTaskBehind) {
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    openForm(d, ui::InsertRecord, response);
    WindowDriver form = d.waitWindow("UpdateHotKeys");
    form.choose("?Key", "F9");
    form.choose("?HOT:Action", "Task - Start/control programs with advanced options");
    form.press("?Next");
    EXPECT_EQ(form.text("?SCH:Description"), "Hot Key F9");
    form.press("?Cancel");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCancelled);
  EXPECT_TRUE(storedHotKeys().empty());
  EXPECT_TRUE(storedTasks().empty());
  EXPECT_EQ(hotKeysChangedPosts(), 1) << "posted on Cancel too";
}

TEST_F(HotKeys, KeysThatCannotBeStoredAreRefused) {
  addHotKey("Ctrl-Alt-F5", "Signature", "Text");
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    openForm(d, ui::InsertRecord, response);
    WindowDriver form = d.waitWindow("UpdateHotKeys");
    // No key and no description: the required description is asked for first.
    host.expectMessage("must be entered.", ui::BUTTON::Ok);
    form.press("?OK");
    d.settle();
    ASSERT_TRUE(form.isOpen());
    form.enter("?HOT:Description", "Greeting");
    host.expectMessage("Choose the key", ui::BUTTON::Ok);
    form.press("?OK");
    d.settle();
    ASSERT_TRUE(form.isOpen());
    // All four modifiers leave no room for DELETE.
    for (const char* flag : {"?Win", "?Control", "?Alt", "?Shift"}) form.check(flag, true);
    form.choose("?Key", "DELETE");
    host.expectMessage("too long", ui::BUTTON::Ok);
    form.press("?OK");
    d.settle();
    ASSERT_TRUE(form.isOpen());
    // The same key as "Signature", whatever order its text was written in.
    form.check("?Win", false);
    form.check("?Shift", false);
    form.choose("?Key", "F5");
    host.expectMessage("already used by the hot key \"Signature\"", ui::BUTTON::Ok);
    form.press("?OK");
    d.settle();
    ASSERT_TRUE(form.isOpen());
    EXPECT_FALSE(host.pending());
    form.press("?Cancel");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCancelled);
  const auto stored = storedHotKeys();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(rt::CLIP(stored[0].Description.str()), "Signature");
}

// Two text hot keys: neither has a task, so both carry the task link 0.
TEST_F(HotKeys, EditingKeepsItsOwnKeyAndReadsItBack) {
  addHotKey("Alt-Shift-PGDN", "Scroll", "Text");
  addHotKey("Ctrl-Alt-F5", "Signature", "Text");
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(editors::makeBrowseHotKeys);
    WindowDriver list = d.waitWindow("BrowseHotKeys");
    EXPECT_EQ(list.title(), "Hot Keys");
    list.press("?Change");  // the first by key: Alt-Shift-PGDN
    WindowDriver form = d.waitWindow("UpdateHotKeys");
    EXPECT_EQ(form.title(), "Edit Hot Key");
    EXPECT_EQ(form.prop("?Alt", ui::Prop::Checked), "1");
    EXPECT_EQ(form.prop("?Shift", ui::Prop::Checked), "1");
    EXPECT_EQ(form.prop("?Control", ui::Prop::Checked), "");
    EXPECT_EQ(form.text("?Key"), "PGDN");
    form.enter("?HOT:Description", "Scroll down");
    form.press("?OK");  // its own key is no duplicate
    d.waitClosed(form);
    list.close();
    d.waitClosed(list);
  });
  EXPECT_TRUE(host.messages().empty());
  const auto stored = storedHotKeys();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(rt::CLIP(stored[0].HotKey.str()), "Alt-Shift-PGDN");
  EXPECT_EQ(rt::CLIP(stored[0].QuickText.str()), "Scroll down :");
  EXPECT_EQ(rt::CLIP(stored[1].Description.str()), "Signature");
}

TEST_F(HotKeys, ListDeletesAPureHotKeyTaskWithItsKey) {
  const int32_t pure = addTask("Hot Key Ctrl-A", "Hot Key", 0, true);
  const int32_t shared = addTask("Weekly report", "Work", 46000, true);
  addHotKey("Ctrl-A", "Pure", "Task", pure);
  addHotKey("Ctrl-B", "Shared", "Task", shared);
  addHotKey("Ctrl-C", "Text", "Text");
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(editors::makeBrowseHotKeys);
    WindowDriver list = d.waitWindow("BrowseHotKeys");
    // A cancelled delete keeps the key and its task.
    list.press("?Delete");
    WindowDriver form = d.waitWindow("UpdateHotKeys");
    EXPECT_EQ(form.title(), "Delete Hot Key");
    EXPECT_FALSE(form.enabled("?HOT:Description"));
    form.press("?Cancel");
    d.waitClosed(form);
    d.gui([&] { EXPECT_EQ(storedTasks().size(), 2u); });
    // Ctrl-A, then Ctrl-B, then Ctrl-C.
    for (int i = 0; i < 3; ++i) {
      list.press("?Delete");
      form = d.waitWindow("UpdateHotKeys");
      form.press("?OK");
      d.waitClosed(form);
    }
    list.close();
    d.waitClosed(list);
  });
  EXPECT_TRUE(storedHotKeys().empty());
  const auto tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_EQ(tasks[0].id, shared);
  EXPECT_EQ(scriptItems(pure), 0);
  EXPECT_EQ(scriptItems(shared), 1);
}

TEST_F(HotKeys, ListSortsFromTheHeaderUntilATabIsChosenAndKeepsItsLayout) {
  addHotKey("Ctrl-A", "Zulu", "Text");
  addHotKey("Ctrl-B", "Alpha", "Text");
  addHotKey("Ctrl-C", "Mike", "Text");
  using Names = std::vector<std::string>;
  const Names byKey{"Ctrl-A", "Ctrl-B", "Ctrl-C"}, byDescription{"Ctrl-B", "Ctrl-C", "Ctrl-A"};
  auto headers = [](const ListDriver& rows) {
    Names h;
    for (int c = 1; c <= 3; ++c) h.push_back(rows.propList(ui::PROPLIST::Header, c));
    return h;
  };
  ScriptedHost host;
  Names moved;
  runScript([&](Driver& d) {
    d.start(editors::makeBrowseHotKeys);
    WindowDriver list = d.waitWindow("BrowseHotKeys");
    ListDriver rows(d, list, "?Browse:1");
    EXPECT_EQ(rows.texts(1), byKey);
    rows.clickHeader(3);
    d.settle();
    EXPECT_EQ(rows.texts(1), byDescription) << "the description column's order";
    list.selectTab("Description");
    d.settle();
    EXPECT_EQ(rows.texts(1), byDescription);
    rows.clickHeader(1);
    d.settle();
    EXPECT_EQ(rows.texts(1), byKey) << "the column sort comes before the tab's order";
    host.expectPopup("Sort by default key");
    rows.rightClickHeader(1);
    d.settle();
    EXPECT_EQ(rows.texts(1), byDescription) << "back to the chosen tab's order";
    rows.clickHeader(1);
    d.settle();
    ASSERT_EQ(rows.texts(1), byKey);
    list.selectTab("Hot Key");
    d.settle();
    list.selectTab("Description");
    d.settle();
    EXPECT_EQ(rows.texts(1), byDescription) << "choosing a tab ends the column sort";
    rows.dragHeader(1, 3);
    d.settle();
    moved = headers(rows);
    EXPECT_NE(moved[0], "Key");
    list.close();
    d.waitClosed(list);
  });
  runScript([&](Driver& d) {
    d.start(editors::makeBrowseHotKeys);
    WindowDriver list = d.waitWindow("BrowseHotKeys");
    ListDriver rows(d, list, "?Browse:1");
    EXPECT_EQ(headers(rows), moved) << "the layout came back from POSITION.INI";
    list.close();
    d.waitClosed(list);
  });
  EXPECT_FALSE(host.pending());
}

TEST_F(HotKeys, FrameCommandsBecomeAvailableOnceRegistered) {
  using scheduler::Command::HotKeys;
  using scheduler::Command::NewHotKey;
  for (const char* name : {"BrowseHotKeys", "UpdateHotKeys"}) scheduler::registerProgramWindow(name, {});
  EXPECT_FALSE(scheduler::CommandAvailable(HotKeys));
  EXPECT_FALSE(scheduler::CommandAvailable(NewHotKey));
  editors::registerWindows();
  EXPECT_TRUE(scheduler::CommandAvailable(HotKeys));
  EXPECT_TRUE(scheduler::CommandAvailable(NewHotKey));
}

}  // namespace
