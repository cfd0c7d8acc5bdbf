// Triggers on files, windows, system events and the program's start, and hot-key actions, on a
// data folder with the scheduled tasks' scripts as the visible effect.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

#include "datalib/sys_hot_key_class.h"
#include "scheduler/tests/script_fixture.h"
#include "scheduler/triggers.h"

namespace ov::scheduler {
namespace {

namespace fs = std::filesystem;
using testing::ScriptFixture;

class Triggers : public ScriptFixture {
 protected:
  void SetUp() override {
    ScriptFixture::SetUp();
    triggerState() = TriggerState{};
    triggerFrame() = TriggerFrame{};
    triggerFrame().pause = [](int) {};
    triggerFrame().raise = [this] { ++raised; };
    triggerFrame().restore = [this] { ++restored; };
    triggerFrame().hotKeysChanged = [this] { ++hotKeysReloads; };
    triggerFrame().findWindow = [this](std::string_view pattern, std::string_view) -> os::WindowId {
      auto it = windows.find(std::string(pattern));
      return it == windows.end() ? 0 : it->second;
    };
    fs::create_directories(dir() / "in");
  }
  void TearDown() override {
    triggerState() = TriggerState{};
    triggerFrame() = TriggerFrame{};
    ScriptFixture::TearDown();
  }

  // A task with one script step; its runs show as that step in the script queue.
  int32_t task(const char* name) {
    files::ScheduleRec t{};
    t.Description = name;
    const int32_t id = addTask(t);
    addScriptItems(id, 1);
    return id;
  }
  void addTrigger(int32_t taskId, std::string_view type, std::string_view spec, uint8_t active = 1,
                  std::string_view description = "watch") {
    ASSERT_EQ(files::Access_TRIGGERS.Open(), rt::Err::None);
    files::TRIGGERS.clear();
    files::TRI.ID = taskId;
    files::TRI.TriggerType = type;
    files::TRI.Description = description;
    files::TRI.Active = active;
    if (type == "Window")
      files::TRI.WindowSpec = spec;
    else if (type == "Event")
      files::TRI.EventSpec = spec;
    else
      files::TRI.FileSpec = spec;
    ASSERT_EQ(files::Access_TRIGGERS.Insert(), rt::Err::None);
    (void)files::Access_TRIGGERS.Close();
  }
  // The tasks whose scripts were queued since the last call, by number; the queue is emptied.
  std::vector<int32_t> ran() {
    std::vector<int32_t> out;
    for (const ScriptEntry& e : ActiveScriptQueue)
      if (actionOf(e) == "Wait") out.push_back(e.RECORD.ID);
    StopScripts();
    std::sort(out.begin(), out.end());
    return out;
  }
  std::vector<int32_t> pollAndFire() {
    PollTriggers();
    FireTriggers();
    return ran();
  }
  void write(const fs::path& file, std::string_view text) { std::ofstream(file, std::ios::binary) << text; }
  // Moves the file's modification time on, so a rewrite of the same size is a change whatever the
  // file system's time resolution.
  void touchLater(const fs::path& file, int seconds) {
    fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(seconds));
  }

  int raised = 0, restored = 0, hotKeysReloads = 0;
  std::map<std::string, os::WindowId> windows;
};

TEST_F(Triggers, FileCreationFiresForNewFilesOnlyAndAgainWhenRemade) {
  write(dir() / "in" / "old.txt", "there before");
  const int32_t first = task("first"), second = task("second");
  addTrigger(first, "File creation", "in/*.txt");
  addTrigger(second, "File", "in/*.txt");  // the bare word means the same
  LoadTriggers();
  EXPECT_EQ(ran(), (std::vector<int32_t>{})) << "what exists at load time does not fire";
  EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{}));

  write(dir() / "in" / "a.txt", "new");
  write(dir() / "in" / "a.log", "not named");
  EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{first, second})) << "two triggers on one file both fire";
  EXPECT_EQ(var("NEWFILES"), "in/a.txt");
  EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{})) << "a file fires once";

  fs::remove(dir() / "in" / "a.txt");
  EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{}));
  write(dir() / "in" / "a.txt", "again");
  write(dir() / "in" / "b.txt", "and another");
  EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{first, second})) << "a re-created file fires again, once per poll";
  EXPECT_EQ(var("NEWFILES"), "in/a.txt;in/b.txt");
}

TEST_F(Triggers, FileChangeFiresOnEachChangeAndOnceOnDeletionWithABoundedWatch) {
  const fs::path data = dir() / "in" / "data.csv";
  write(data, "1,2,3");
  const int32_t first = task("first"), second = task("second");
  addTrigger(first, "File change", data.string());
  addTrigger(second, "File change", (dir() / "in" / "*.csv").string());
  LoadTriggers();
  EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{}));

  for (int round = 1; round <= 5; ++round) {
    write(data, "4,5,6");  // same size: only the time tells
    touchLater(data, round);
    EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{first, second})) << "round " << round;
    EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{})) << "round " << round;
  }
  EXPECT_EQ(var("CHANGEDFILES"), data.string());
  for (const TriggerEntry& t : triggerState().queue) EXPECT_EQ(t.watched.size(), 1u) << "one stamp per file";

  const fs::file_time_type stamped = fs::last_write_time(data);
  write(data, "a longer line");  // a size change under the same time stamp
  fs::last_write_time(data, stamped);
  EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{first, second}));

  fs::remove(data);
  EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{first, second})) << "a deletion is a change";
  EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{})) << "and it is reported once";
  for (const TriggerEntry& t : triggerState().queue) EXPECT_TRUE(t.watched.empty());
}

TEST_F(Triggers, WindowTriggerFiresOnceWhileTheWindowStaysAndAgainWhenItReturns) {
  const int32_t id = task("window");
  addTrigger(id, "Window", "*Report Viewer");
  windows["*Report Viewer"] = 4711;
  LoadTriggers();
  EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{})) << "open at load time";
  windows.clear();
  EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{}));
  windows["*Report Viewer"] = 4712;
  EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{id}));
  EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{}));
  windows["*Report Viewer"] = 4713;  // another window of that title took its place
  EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{id}));
}

TEST_F(Triggers, EventTriggersFireOnTheNextPollWhileTheSchedulerIsActive) {
  const int32_t shutdown = task("shutdown"), standby = task("standby"), inactive = task("inactive");
  addTrigger(shutdown, "Event", "Shutdown");
  addTrigger(standby, "Event", "Standby");
  addTrigger(inactive, "Event", "Shutdown", 0);
  LoadTriggers();
  ASSERT_EQ(triggerState().queue.size(), 2u) << "inactive records are left out";

  QueueEventTrigger("Shutdown");
  QueueEventTrigger("Shutdown");
  EXPECT_EQ(ran(), (std::vector<int32_t>{})) << "not at once";
  EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{shutdown})) << "once per poll, only the trigger of that event";
  EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{})) << "the event queue is emptied by the poll";

  SchedulerActive = 0;
  QueueEventTrigger("Standby");
  SchedulerActive = 1;
  EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{})) << "events while inactive are not noted";
}

TEST_F(Triggers, StartupTriggersRunAtTheFirstLoadOnly) {
  const int32_t id = task("startup");
  addTrigger(id, "Startup", "");
  LoadTriggers();
  EXPECT_EQ(ran(), (std::vector<int32_t>{id}));
  EXPECT_TRUE(triggerState().queue.empty()) << "not queued";
  LoadTriggers();
  EXPECT_EQ(ran(), (std::vector<int32_t>{}));
}

TEST_F(Triggers, ATriggerWhoseTaskIsGoneShowsItsErrorAndRunsNothing) {
  addTrigger(999, "Event", "Device change", 1, "USB stick");
  LoadTriggers();
  QueueEventTrigger("Device change");
  prompts.expectMessage("Unable to retrieve associated task.", ui::BUTTON::Ok);
  EXPECT_EQ(pollAndFire(), (std::vector<int32_t>{}));
  ASSERT_EQ(prompts.messages().size(), 1u);
  EXPECT_EQ(prompts.messages()[0].title, "Trigger USB stick Error");
  EXPECT_EQ(raised, 1);
}

// --- hot keys -------------------------------------------------------------------------------

class HotKeys : public Triggers {
 protected:
  void addHotKey(std::string_view key, int32_t taskId, std::string_view action, std::string_view textType = {},
                 std::string_view text = {}, uint8_t active = 1) {
    ASSERT_EQ(files::Access_SYSHOTKEYS.Open(), rt::Err::None);
    files::SYSHOTKEYS.clear();
    files::HOT.HotKey = key;
    files::HOT.ID = taskId;
    files::HOT.Action = action;
    files::HOT.TextType = textType;
    files::HOT.Text = std::string(text);
    files::HOT.Active = active;
    ASSERT_EQ(files::Access_SYSHOTKEYS.Insert(), rt::Err::None);
    (void)files::Access_SYSHOTKEYS.Close();
  }
  void press(files::SysHotKeyClass& keys, std::string_view key) {
    keys.PRESSEDKEYQ.push_back({keys.TrnKeyName(key), std::string(key)});
    HotKeyPressed(keys);
  }
};

TEST_F(HotKeys, LoadRegistersTheFrameKeyAndTheActiveKeys) {
  addHotKey("Ctrl-Alt-K", task("k"), "Task");
  addHotKey("Ctrl-Alt-J", task("j"), "Task", {}, {}, 0);
  addHotKey("Shift-F9", task("f9"), "Task");
  files::SysHotKeyClass keys;
  keys.Init();
  LoadHotKeys(keys);
  std::vector<std::string> names;
  for (const files::HotKeyEntry& e : keys.KEYQ) names.push_back(e.KEY);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Ctrl-Alt-K", "Shift-F9", "WinW"}));
  keys.Kill();
}

TEST_F(HotKeys, APressRunsItsTaskOrSaysWhatIsWrong) {
  const int32_t id = task("k");
  addHotKey("Ctrl-Alt-K", id, "Task");
  addHotKey("Ctrl-Alt-G", 999, "Task");
  addHotKey("Ctrl-Alt-U", task("u"), "Open");
  addHotKey("Ctrl-Alt-C", task("c"), "Text", "COPYPASTE", "hello");
  addHotKey("Ctrl-Alt-I", task("i"), "Task", {}, {}, 0);
  files::SysHotKeyClass keys;
  keys.Init();

  press(keys, "Ctrl-Alt-K");
  EXPECT_EQ(ran(), (std::vector<int32_t>{id}));
  EXPECT_TRUE(keys.PRESSEDKEYQ.empty()) << "the press is taken off the queue";

  press(keys, "Ctrl-Alt-I");
  EXPECT_EQ(ran(), (std::vector<int32_t>{})) << "an inactive record does nothing";

  press(keys, "WinW");
  EXPECT_EQ(restored, 1) << "the frame's own key restores the frame";

  prompts.expectMessage("Unable to retrieve associated task.", ui::BUTTON::Ok);
  prompts.expectMessage("Unknown Action:  Open", ui::BUTTON::Ok);
  prompts.expectMessage("Unknown Text Automation:  COPYPASTE", ui::BUTTON::Ok);
  prompts.expectMessage("Error retrieving hot key.", ui::BUTTON::Ok);
  press(keys, "Ctrl-Alt-G");
  press(keys, "Ctrl-Alt-U");
  press(keys, "Ctrl-Alt-C");
  press(keys, "Ctrl-Alt-Q");  // no record
  EXPECT_EQ(ran(), (std::vector<int32_t>{}));
  const std::vector<ui::MessageRequest> shown = prompts.messages();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].title, "Hot-Key Ctrl-Alt-G Error");
  EXPECT_EQ(shown[1].title, "Hot-Key Ctrl-Alt-U Error");
  EXPECT_EQ(shown[2].title, "Hot-Key Ctrl-Alt-C Error");
  EXPECT_EQ(shown[3].title, "Ctrl-Alt-Q");
  EXPECT_EQ(hotKeysReloads, 1) << "a key without its record reloads the keys";
  EXPECT_EQ(raised, 4);
  keys.Kill();
}

TEST_F(HotKeys, CopyPutsTheTextOnTheClipboard) {
  addHotKey("Ctrl-Alt-C", task("c"), "Text", "copy", "Kind regards,\r\nAnn   ");
  files::SysHotKeyClass keys;
  keys.Init();
  press(keys, "Ctrl-Alt-C");
  EXPECT_EQ(ui::CLIPBOARD(), "Kind regards,\r\nAnn");
  EXPECT_EQ(ran(), (std::vector<int32_t>{}));
  keys.Kill();
}

}  // namespace
}  // namespace ov::scheduler
