// The interaction host's statements, popup menus, and the scripted host of tests.
#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/popup_class.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "platform/ui/window_manager.h"

using namespace ov::ui;
using ov::ui::test::Driver;
using ov::ui::test::runScript;
using ov::ui::test::ScriptedHost;
using ov::ui::test::WindowDriver;

namespace {

// The tree of a menu text as "text(id)" with submenus in braces and flags ~ and +.
std::string show(const std::vector<PopupItem>& items) {
  std::string out;
  for (const PopupItem& i : items) {
    if (!out.empty()) out += " ";
    if (i.separator) {
      out += "-";
      continue;
    }
    out += (i.enabled ? "" : "~") + std::string(i.checked ? "+" : "") + i.text;
    if (!i.children.empty())
      out += "{" + show(i.children) + "}";
    else
      out += "(" + i.id + ")";
  }
  return out;
}

struct MenuCase {
  const char* menu;
  const char* tree;
};
const MenuCase kMenus[] = {
    {"Copy|Paste", "Copy(1) Paste(2)"},
    {"Copy|-|~Paste|+Wrap", "Copy(1) - ~Paste(2) +Wrap(3)"},
    {"Open|Send To{Mail|Desktop}|Exit", "Open(1) Send To{Mail(2) Desktop(3)} Exit(4)"},
    {"A{B{C|D}|E}|F", "A{B{C(1) D(2)} E(3)} F(4)"},
    {"", ""},
};

TEST(PopupMenu, MenuTextsParseIntoItemsNumberedInOrder) {
  for (const MenuCase& c : kMenus) {
    SCOPED_TRACE(c.menu);
    EXPECT_EQ(show(parsePopupMenu(c.menu)), c.tree);
  }
}

class Host : public ::testing::Test {
 protected:
  void SetUp() override { ov::ui::test::application(); }
};

TEST_F(Host, MessageBreaksLinesAtBarsAndAnswersTheChosenButton) {
  ScriptedHost host;
  host.expectMessage("Are you sure", BUTTON::No);
  host.expectMessage("Retry", 2);
  EXPECT_EQ(MESSAGE("Tasks will not execute.||Are you sure?", "Warning", Icon::Question, BUTTON::Yes | BUTTON::No,
                    BUTTON::No),
            BUTTON::No);
  EXPECT_EQ(MESSAGE("Unable to reach the server.", "Retry?", Icon::Exclamation, "&Retry|&Cancel"), 2);
  auto m = host.messages();
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0].text, "Tasks will not execute.\n\nAre you sure?");
  EXPECT_EQ(m[0].buttons, BUTTON::Yes | BUTTON::No);
  EXPECT_EQ(m[0].defaultButton, BUTTON::No);
  EXPECT_EQ(m[1].custom, (std::vector<std::string>{"&Retry", "&Cancel"}));
}

TEST_F(Host, AnUnexpectedPromptFailsTheTestWithItsText) {
  auto unexpected = [] {
    ScriptedHost host;
    int answer = MESSAGE("Error retrieving hot key.", "Ctrl-Alt-F5", Icon::Hand, BUTTON::Ok | BUTTON::Cancel);
    EXPECT_EQ(answer, BUTTON::Cancel) << "answered as closing the box would";
  };
  EXPECT_NONFATAL_FAILURE(unexpected(), "unexpected message box: \"Ctrl-Alt-F5\": \"Error retrieving hot key.\"");
  auto unmet = [] {
    ScriptedHost host;
    host.expectFile("Select LOG file", {});
  };
  EXPECT_NONFATAL_FAILURE(unmet(), "file dialog \"Select LOG file\" never came");
  auto wrongKind = [] {
    ScriptedHost host;
    host.expectMessage("x", BUTTON::Ok);
    std::string f;
    FILEDIALOG("Open", f);
    host.message(MessageRequest{"x", "", Icon::None, BUTTON::Ok, {}, 0});
  };
  EXPECT_NONFATAL_FAILURE(wrongKind(), "expected message box \"x\"");
}

TEST_F(Host, FileDialogsAnswerAPathOrAFolderWithNames) {
  ScriptedHost host;
  host.expectFile("Attach", {"/data/in/a.txt", "/data/in/b.doc"});
  host.expectFile("Attach", {"/data/in/c.txt"});
  host.expectFile("Export", {});
  host.expectFolder("Select data directory", std::string("/data/orvane"));
  std::string file = "start";
  EXPECT_TRUE(FILEDIALOG("Attach", file, "Text|*.txt|All files|*.*", FILE_::Multi));
  EXPECT_EQ(file, "/data/in|a.txt|b.doc");
  EXPECT_TRUE(FILEDIALOG("Attach", file, "Text|*.txt", FILE_::Multi));
  EXPECT_EQ(file, "/data/in/c.txt");
  std::string kept = "XPort.CSV";
  EXPECT_FALSE(FILEDIALOG("Export", kept, "CSV|*.csv", FILE_::Save));
  EXPECT_EQ(kept, "XPort.CSV") << "a cancelled dialog leaves the name";
  std::string folder;
  EXPECT_TRUE(FILEDIALOG("Select data directory", folder, {}, FILE_::Directory));
  EXPECT_EQ(folder, "/data/orvane");
}

TEST_F(Host, ClipboardBeepAndBusyCursorGoThroughTheHost) {
  ScriptedHost host;
  SETCLIPBOARD("copied text");
  EXPECT_EQ(CLIPBOARD(), "copied text");
  QImage img(4, 3, QImage::Format_RGB32);
  img.fill(Qt::red);
  host.setClipboardImage(img);
  QImage back;
  ASSERT_TRUE(host.clipboardImage(back));
  EXPECT_EQ(back.size(), QSize(4, 3));
  EXPECT_EQ(CLIPBOARD(), "") << "an image replaces the text";
  BEEP();
  EXPECT_EQ(host.beeps(), 1);
  {
    BusyCursor outer;
    BusyCursor inner;
    EXPECT_EQ(host.busyDepth(), 2);
  }
  EXPECT_EQ(host.busyDepth(), 0);
}

TEST_F(Host, PopupClassPostsItsItemsEventsAndFollowsMimickedControls) {
  ScriptedHost host;
  struct List : WindowManager {
    List() : WindowManager("List") {}
    Level Init() override {
      insert = window().button("?Insert", "&Insert").at(4, 4, 40, 14).feq();
      remove = window().button("?Delete", "&Delete").at(50, 4, 40, 14).disabled().feq();
      Open();
      popup.Init();
      popup.AddItem("&Insert", "Insert");
      popup.AddItemMimic("Insert", insert);
      popup.AddItem("&Delete", "Delete");
      popup.AddItemMimic("Delete", remove);
      popup.AddItem("-");
      popup.AddSubMenu("&View", "+Details|Icons");
      popup.AddItem("E&mail...", "Email");
      popup.AddItemEvent("Email", EVENT::User + 521);
      return Level::Benign;
    }
    Level TakeEvent() override {
      if (EVENT() == EVENT::Accepted || EVENT() >= EVENT::User) seen.push_back({EVENT(), FIELD()});
      if (EVENT() == EVENT::User) chosen = popup.Ask();
      return WindowManager::TakeEvent();
    }
    PopupClass popup;
    std::vector<std::pair<int, int>> seen;
    std::string chosen;
    int insert = 0, remove = 0;
  };
  List* l = nullptr;
  host.expectPopup("Insert");
  host.expectPopup("Email...");
  host.expectPopup("Icons");
  host.expectPopup("");
  runScript([&](Driver& d) {
    d.start([&] {
      auto p = std::make_unique<List>();
      l = p.get();
      return p;
    });
    WindowDriver w = d.waitWindow("List");
    for (int i = 0; i < 4; ++i) w.post(EVENT::User);
    d.gui([&] {
      EXPECT_EQ(l->chosen, "");
      EXPECT_EQ(l->seen, (std::vector<std::pair<int, int>>{{EVENT::User, 0},
                                                            {EVENT::Accepted, l->insert},
                                                            {EVENT::User, 0},
                                                            {EVENT::User + 521, 0},
                                                            {EVENT::User, 0},
                                                            {EVENT::User, 0}}));
    });
  });
  auto shown = host.popups();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(show(shown[0].items), "&Insert(Insert) ~&Delete(Delete) - &View{+Details(Details) Icons(Icons)} E&mail...(Email)")
      << "the mimic of a disabled button is disabled";
}

}  // namespace

namespace {

// The program's own host: a real message box and a real popup menu, answered by a timer the way a
// user would click.
TEST_F(Host, TheQtHostShowsRealDialogsAndCountsThemAsModal) {
  setHost(nullptr);
  const std::string unattended = std::getenv("OV_UNATTENDED") ? std::getenv("OV_UNATTENDED") : "";
  ::unsetenv("OV_UNATTENDED");
  int depthWhileOpen = -1;
  QString shownText;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    depthWhileOpen = modalDepth(THREAD());
    shownText = box->text();
    for (QAbstractButton* b : box->buttons())
      if (b->text() == "&Cancel") b->click();
  });
  EXPECT_EQ(MESSAGE("Unable to start OV_RPTS.EXE.||Start it again.", "Error", Icon::Hand, "&Retry|&Cancel"), 2);
  EXPECT_EQ(depthWhileOpen, 1);
  EXPECT_EQ(shownText, "Unable to start OV_RPTS.EXE.\n\nStart it again.");
  EXPECT_EQ(modalDepth(THREAD()), 0);

  QTimer::singleShot(0, [] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    for (QAction* a : menu->actions())
      if (a->text() == "Paste") a->trigger();
    menu->close();
  });
  EXPECT_EQ(POPUP("Copy|Paste|-|Exit"), 2);
  if (!unattended.empty()) ::setenv("OV_UNATTENDED", unattended.c_str(), 1);
}

// A run nobody watches: a prompt ends the program with its text instead of waiting.
TEST_F(Host, AnUnattendedRunEndsAtAPromptWithItsText) {
  setHost(nullptr);
  ::setenv("OV_UNATTENDED", "1", 1);
  EXPECT_DEATH(MESSAGE("Disk full", "Backup"), "message box would wait for an answer: \"Backup\" Disk full");
  std::string file;
  EXPECT_DEATH(FILEDIALOG("Choose a file", file), "file dialog would wait for an answer: \"Choose a file\"");
}

TEST_F(Host, FontDialogAnswersTheChosenFontOrLeavesTheValues) {
  ScriptedHost host;
  host.expectFont("List font", FontChoice{"DejaVu Sans Mono", 10, 0x0000FF, 700 + 4096});
  host.expectFont("List font", std::nullopt);
  std::string face = "DejaVu Sans";
  int size = 8, style = 400;
  int32_t color = 0;
  EXPECT_TRUE(FONTDIALOG("List font", face, size, color, style));
  EXPECT_EQ(face, "DejaVu Sans Mono");
  EXPECT_EQ(size, 10);
  EXPECT_EQ(color, 0x0000FF);
  EXPECT_EQ(style, 4796);
  EXPECT_FALSE(FONTDIALOG("List font", face, size, color, style));
  EXPECT_EQ(face, "DejaVu Sans Mono");
}

}  // namespace
