// The data library's system classes: registry, shell file operations, hot keys, end of session
// and the tray icon, on a window of the window layer (offscreen; no X display needed here).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "datalib/key_names.h"
#include "datalib/qv_registry_class.h"
#include "datalib/sys_hot_key_class.h"
#include "datalib/sys_sh_file_op_class.h"
#include "datalib/sys_shutdown_class.h"
#include "datalib/sys_tray_class.h"
#include "platform/os/registry.h"
#include "platform/os/win_msg.h"
#include "platform/rt/paths.h"
#include "platform/ui/event.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "platform/ui/window_manager.h"
#include "platform/ui/window_proc.h"

using namespace ov;
using namespace ov::files;
using ov::ui::Level;
namespace fs = std::filesystem;

namespace {

struct TempDir {
  fs::path path;
  TempDir() {
    char tmpl[] = "/tmp/ov_sysclass_XXXXXX";
    path = ::mkdtemp(tmpl);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

void writeFile(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p) << text;
}

// ---- Registry ------------------------------------------------------------------------------

class Registry : public ::testing::Test {
 protected:
  TempDir dir;
  QVRegistryClass reg;
  void SetUp() override {
    reg.Init(1);
    reg.useStore(std::make_unique<os::Registry>(dir.path / "registry.ini"));
  }
};

TEST_F(Registry, DefaultMailAccountFromAPreparedStore) {
  os::Registry store(dir.path / "registry.ini");
  const std::string am = "Software\\Microsoft\\Internet Account Manager";
  ASSERT_EQ(store.setValue(os::RegRoot::CurrentUser, am, os::RegValue::text("Default Mail Account", "00000002")), 0);
  const std::string acct = am + "\\Accounts\\00000002";
  store.setValue(os::RegRoot::CurrentUser, acct, os::RegValue::text("SMTP Server", "mail.example.org  "));
  store.setValue(os::RegRoot::CurrentUser, acct, os::RegValue::text("SMTP Email Address", "ann@example.org"));
  store.setValue(os::RegRoot::CurrentUser, acct, os::RegValue::text("SMTP Display Name", "Ann Smith"));
  store.setValue(os::RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                 os::RegValue::text("RegisteredOwner", "Ann"));

  EXPECT_EQ(reg.GetEmailRoot(), acct);
  EXPECT_EQ(reg.GetEmailServer(), "mail.example.org");
  EXPECT_EQ(reg.GetEmailAddress(), "ann@example.org");
  EXPECT_EQ(reg.GetEmailReplyToAddress(), "");
  EXPECT_EQ(reg.GetEmailName(), "Ann Smith");
  EXPECT_EQ(reg.GetRegUserName(), "Ann");
  // Value names match without regard to case or leading blanks.
  EXPECT_EQ(reg.Fetch(HKEY_CURRENT_USER, acct, "  smtp SERVER"), "mail.example.org");
}

TEST_F(Registry, FailuresAreRecordedAndReadsGiveTheDefault) {
  EXPECT_EQ(reg.Fetch(HKEY_CURRENT_USER, "Software\\Nowhere", "x", "fallback"), "fallback");
  EXPECT_EQ(reg.LASTOP, "opening");
  EXPECT_EQ(reg.LASTKEYNAME, "Software\\Nowhere");
  EXPECT_EQ(reg.LASTERROR, std::to_string(os::winerr::kFileNotFound));
}

TEST_F(Registry, WriteLoadAndRemove) {
  reg.PutValue("Software\\Orvane\\Test", "b", "two", HKEY_CURRENT_USER);
  reg.PutValue("Software\\Orvane\\Test", "a", "one  ", HKEY_CURRENT_USER);
  reg.LoadQ(HKEY_CURRENT_USER, "Software\\Orvane\\Test");
  ASSERT_EQ(reg.Q->RECORDS(), 2);
  reg.Q->GET(1);
  EXPECT_EQ(reg.Q->buf.VALUENAME, "a");  // kept in name order
  EXPECT_EQ(reg.Q->buf.VALUE, "one");
  reg.DeleteValue("Software\\Orvane\\Test", "a", HKEY_CURRENT_USER);
  EXPECT_EQ(reg.GetValue("Software\\Orvane\\Test", "a", "gone", HKEY_CURRENT_USER), "gone");
  reg.LASTOP.clear();
  reg.DeleteValue("Software\\Orvane\\Test", HKEY_CURRENT_USER);  // only a key: the key goes
  EXPECT_EQ(reg.LASTOP, "");
  EXPECT_EQ(reg.GetValue("Software\\Orvane\\Test", "b", "gone", HKEY_CURRENT_USER), "gone");
  // A key without "\" lies directly under the root.
  reg.PutValue("Flat", "v", "1", HKEY_CURRENT_USER);
  reg.LASTOP.clear();
  reg.Remove(HKEY_CURRENT_USER, "Flat");
  EXPECT_EQ(reg.LASTOP, "");
  EXPECT_EQ(reg.Fetch(HKEY_CURRENT_USER, "Flat", "v", "none"), "none");
  EXPECT_EQ(reg.LASTOP, "opening");
}

TEST(RegistryRoots, NamesMapToRootHandles) {
  struct Case { const char* name; uint32_t root; };
  const Case cases[] = {
      {"HKEY_CURRENT_USER", HKEY_CURRENT_USER}, {"HKEY_USERS", HKEY_USERS},
      {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}, {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {"HKLM", HKEY_LOCAL_MACHINE},  // the short name means the machine root, not the user's
      {"hkcr", HKEY_CLASSES_ROOT},   {"Machine", HKEY_LOCAL_MACHINE}, {"anything", HKEY_CURRENT_USER},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(QVRegistryClass::StringToHKey(c.name), c.root);
  }
}

// ---- Shell file operations -----------------------------------------------------------------

TEST(ShellFileOps, ListsWildcardsAndTheirLongForm) {
  TempDir dir;
  auto cwd = fs::current_path();
  fs::current_path(dir.path);
  writeFile(dir.path / "a.txt", "a");
  writeFile(dir.path / "b.txt", "b");
  writeFile(dir.path / "c.log", "c");

  EXPECT_EQ(SysShFileOpClass::ConvertMulti("a.txt| b.txt;c.log"),
            (std::vector<std::string>{"a.txt", "b.txt", "c.log"}));
  // A bare name becomes its full path; a name with a folder part or a wildcard stays as written.
  EXPECT_EQ(SysShFileOpClass::ConvertMulti("a.txt"), std::vector<std::string>{(dir.path / "a.txt").string()});
  EXPECT_EQ(SysShFileOpClass::ConvertMulti("*.txt"), std::vector<std::string>{"*.txt"});
  EXPECT_EQ(SysShFileOpClass::ConvertMulti("sub\\a.txt"), std::vector<std::string>{"sub\\a.txt"});

  SysShFileOpClass op;
  op.Init(0);
  EXPECT_EQ(op.Copy("a.txt|b.txt", "out"), 0);  // both in one call, the folder made
  EXPECT_TRUE(fs::exists(dir.path / "out/a.txt"));
  EXPECT_TRUE(fs::exists(dir.path / "out/b.txt"));
  EXPECT_EQ(op.Move("*.LOG", "moved"), 0);  // wildcards ignore case
  EXPECT_TRUE(fs::exists(dir.path / "moved/c.log"));
  EXPECT_FALSE(fs::exists(dir.path / "c.log"));
  EXPECT_EQ(op.Rename("a.txt", "renamed.txt"), 0);
  EXPECT_TRUE(fs::exists(dir.path / "renamed.txt"));
  EXPECT_EQ(op.Delete("renamed.txt", 0), 0);
  EXPECT_FALSE(fs::exists(dir.path / "renamed.txt"));

  // A long list is handed over whole, never cut (a cut could make Delete act on another file).
  std::string list;
  for (int i = 0; i < 300; ++i) {
    std::string name = "file_with_a_rather_long_name_number_" + std::to_string(i) + ".dat";
    writeFile(dir.path / name, "x");
    list += (i ? "|" : "") + name;
  }
  ASSERT_GT(list.size(), 4096u);
  EXPECT_EQ(op.Delete(list, 0), 0);
  EXPECT_FALSE(fs::exists(dir.path / "file_with_a_rather_long_name_number_299.dat"));
  fs::current_path(cwd);
}

TEST(ShellFileOps, FolderPickerOpensOnTheGivenFolder) {
  ov::ui::test::application();
  ov::ui::test::ScriptedHost host;
  host.expectFolder("Pick", std::nullopt);  // cancelled
  SysShFileOpClass op;
  std::string folder = "/var/tmp";
  op.FolderDialog("Pick", folder, 1);
  EXPECT_EQ(folder, "/var/tmp");  // unchanged when cancelled
  host.expectFolder("Pick", std::string("/srv"));
  EXPECT_EQ(op.GetFolder("Pick", "/var/tmp", 1), "/srv");
}

// ---- Key names -----------------------------------------------------------------------------

TEST(KeyNames, TextsAndCodesBothWays) {
  KeyTranslations trn;
  appendKeyBlock(trn, hotKeyBlock());
  ASSERT_EQ(trn.size(), 92u);
  struct Case { const char* text; int32_t code; };
  const Case cases[] = {
      {"Ctrl-Alt-F5", 884}, {"^%F5", 884},         {"WinW", 2135},    {"F5KEY", 116},
      {"Ctrl+F5", 1652},    {"Ctrl-Nothing", 512}, {"Nothing", 0},    {"shift-pgdn", 1024 + 34},
      {"Pad7", 103},        {"caps", 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(translateKeyName(trn, c.text), c.code);
  }
  EXPECT_EQ(translateVirtKey(trn, 884), "Alt-Ctrl-F5");
  EXPECT_EQ(translateVirtKey(trn, 8), "Backspace");
  EXPECT_EQ(translateVirtKey(trn, 2048 + 1024 + 65), "Shift-Win-A");
  EXPECT_EQ(translateVirtKey(trn, 46), "Delete");

  KeyTranslations press;
  appendKeyBlock(press, pressKeyBlock());
  EXPECT_EQ(press.size(), 107u);
  EXPECT_EQ(translateKeyName(press, "NumLock"), 144);
  // The key-press names use the same modifier bits as the hot keys.
  EXPECT_EQ(translateKeyName(press, "Alt-LWin"), kKeyAlt + 91);
  // A block cut short ends the reading without running past its end.
  KeyTranslations cut;
  appendKeyBlock(cut, hotKeyBlock().substr(0, 10));
  EXPECT_LE(cut.size(), 2u);
}

// ---- Classes on a window -------------------------------------------------------------------

struct Recorder : ui::WindowManager {
  Recorder() : ui::WindowManager("Recorder") {}
  std::function<void()> setUp;
  std::vector<int> events;
  Level Init() override {
    window().setTitle("Recorder");
    Open();
    if (setUp) setUp();
    return Level::Benign;
  }
  Level TakeEvent() override {
    events.push_back(ui::EVENT());
    return WindowManager::TakeEvent();
  }
  bool saw(int e) const { return std::find(events.begin(), events.end(), e) != events.end(); }
};

class OnAWindow : public ::testing::Test {
 protected:
  Recorder* proc = nullptr;
  void open(std::function<void()> setUp) {
    ov::ui::test::application();
    ui::START([this, setUp] {
      auto p = std::make_unique<Recorder>();
      p->setUp = setUp;
      proc = p.get();
      return p;
    });
    ui::processEvents();
    ASSERT_NE(proc, nullptr);
  }
  void TearDown() override {
    ui::closeAllWindows();
    ui::processEvents();
  }
  ui::Handle hwnd() { return proc->window().handle(); }
};

class CountingHotKeys : public SysHotKeyClass {
 public:
  std::vector<std::string> invalid, taken;
  void TakeInvalidKey(std::string_view key) override { invalid.emplace_back(key); }
  void TakeKey(int32_t, std::string_view key) override { taken.emplace_back(key); }
};

TEST_F(OnAWindow, HotKeysKeepOneEntryPerCodeAndDeliverPresses) {
  CountingHotKeys keys;
  open([&] { keys.Init(); });
  keys.AddKey("Ctrl-Alt-F5");
  keys.AddKey("^%F5");  // the same code: the first text stays
  keys.AddKey("WinW");
  keys.AddKey("Nothing");
  ASSERT_EQ(keys.KEYQ.size(), 2u);
  EXPECT_EQ(keys.KEYQ[0].KEY, "Ctrl-Alt-F5");
  EXPECT_EQ(keys.KEYQ[1].ID, 2135);
  EXPECT_EQ(keys.invalid, std::vector<std::string>{"Nothing"});
  EXPECT_EQ(keys.KEYSREGISTERED, 0);  // inactive: nothing registered yet

  // A press arrives through the window's hooks as the hot-key message with its position.
  ui::SendMessage(hwnd(), ui::WM::HotKey, 2, 0);
  ui::SendMessage(hwnd(), ui::WM::HotKey, 9, 12345);  // no longer in the list
  ui::processEvents();
  ASSERT_EQ(keys.PRESSEDKEYQ.size(), 2u);
  EXPECT_EQ(keys.PRESSEDKEYQ[0].KEY, "WinW");
  EXPECT_EQ(keys.PRESSEDKEYQ[1].ID, 0);
  EXPECT_EQ(keys.PRESSEDKEYQ[1].KEY, "12345");
  EXPECT_TRUE(proc->saw(kEventHotKey));
  keys.RemoveKey("WinW");
  EXPECT_EQ(keys.KEYQ.size(), 1u);
  keys.Kill();
  EXPECT_NE(proc->window().propInt(0, ui::Prop::WndProc), 0);
}

TEST_F(OnAWindow, SessionEndAndPowerMessagesBecomeEvents) {
  SysShutdownClass watch;
  open([&] { watch.Init(1, 7, false); });
  EXPECT_EQ(ui::SendMessage(hwnd(), ui::WM::QueryEndSession, 0, 0), 1);
  EXPECT_EQ(ui::SendMessage(hwnd(), ui::WM::EndSession, 1, 0), 7);
  struct Case { unsigned wParam; int event; };
  const Case power[] = {{0, 2583}, {1, 2582}, {4, 2581}, {5, 2580}, {9, 2579}, {10, 2578}, {7, 2584}};
  for (const Case& c : power) ui::SendMessage(hwnd(), ui::WM::PowerBroadcast, c.wParam, 0);
  ui::SendMessage(hwnd(), ui::WM::DeviceChange, 7, 0);
  ui::processEvents();
  for (int e : {2065, 2070, 2583, 2582, 2581, 2580, 2579, 2578, 2584, 2585}) {
    SCOPED_TRACE(e);
    EXPECT_TRUE(proc->saw(e));
  }
  // Kill leaves a procedure that was hooked in later alone.
  ui::ProcNumber later = ui::registerWindowProc([](ui::Handle, uint32_t, ui::WPARAM, ui::LPARAM) { return 0; });
  proc->window().setProp(0, ui::Prop::WndProc, static_cast<int64_t>(later));
  watch.Kill();
  EXPECT_EQ(proc->window().propInt(0, ui::Prop::WndProc), later);
  ui::unregisterWindowProc(later);
}

class CountingTray : public SysTrayClass {
 public:
  int calls = 0;
 protected:
  int ShellNotify(ShellOp) override { return ++calls, 1; }
};

TEST_F(OnAWindow, TrayIconSkipsUnchangedValuesAndHidesInsteadOfMinimising) {
  CountingTray tray;
  open([&] { tray.Init(99, "tray_ico", "Orvane", 0, 0); });
  EXPECT_EQ(tray.calls, 1);
  EXPECT_EQ(tray.ChangeIcon("busykey.ico"), 1);
  EXPECT_EQ(tray.ChangeIcon("busykey.ico"), 1);
  EXPECT_EQ(tray.calls, 2);  // the second change was the same picture
  EXPECT_EQ(tray.ICON, "busykey_ico");
  tray.ALWAYSREFRESH = 1;
  tray.ChangeIcon("busykey.ico");
  EXPECT_EQ(tray.calls, 3);
  EXPECT_EQ(SysTrayClass::IconResourceName("a.ic"), "a.ic");
  const std::string longTip(100, 't');
  tray.ChangeTip(longTip);
  EXPECT_EQ(tray.GetTip(), longTip);  // kept whole; the tray shows 63

  // Minimising hides the window instead; a restore request shows it again.
  ui::SendMessage(hwnd(), ui::WM::SysCommand, ui::SC::Minimize, 0);
  ui::processEvents();
  EXPECT_EQ(proc->window().propInt(0, ui::Prop::Hide), 1);
  EXPECT_EQ(proc->window().propInt(0, ui::Prop::Iconize), 0);
  ui::SendMessage(hwnd(), ui::WM::SysCommand, ui::SC::Restore, 0);
  ui::processEvents();
  EXPECT_EQ(proc->window().propInt(0, ui::Prop::Hide), 0);
  // With minimising allowed, the window minimises as usual.
  tray.AllowMinimize();
  ui::SendMessage(hwnd(), ui::WM::SysCommand, ui::SC::Minimize, 0);
  ui::processEvents();
  EXPECT_EQ(proc->window().propInt(0, ui::Prop::Hide), 0);
  EXPECT_EQ(proc->window().propInt(0, ui::Prop::Iconize), 1);
  tray.Kill();
}

}  // namespace
