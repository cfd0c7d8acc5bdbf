// The clipboard history: what Run finds in an entry's text, the entry form with its search key and
// category lookup, the list's views, keep flag, Run and delete question, and the frame's command.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datalib/date_string_functions.h"
#include "dialogs/clipboard.h"
#include "dialogs/register_windows.h"
#include "dialogs/tests/fixture.h"
#include "editors/explore_binding.h"
#include "platform/rt/date_time.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/list_driver.h"
#include "scheduler/frame_commands.h"
#include "scheduler/program_windows.h"

using namespace ov;
using dialogs::ClipboardRunTarget;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

constexpr auto Link = ClipboardRunTarget::Link;
constexpr auto Program = ClipboardRunTarget::Program;

TEST(ClipboardRunTargets, FindsLinksAndProgramsAsRunStartsThem) {
  struct Case {
    const char* contents;
    std::vector<ClipboardRunTarget> targets;
  };
  const Case cases[] = {
      {"plain words only", {}},
      {"\"C:\\Program Files\\App\\app.exe\" /quiet", {{Program, "C:\\Program Files\\App\\app.exe"}}},
      {"run notepad.exe now please", {{Program, "notepad.exe"}}},
      {"see http://example.com/a?b=1 today", {{Link, "http://example.com/a?b=1"}}},
      {"write to mailto:joe@example.com\"x\"", {{Link, "mailto:joe@example.com"}}},
      // An address typed without its scheme gives its first word only; "http:" further on is
      // started as well.
      {"www.example.com and http://other.org/x", {{Link, "http://other.org/x"}, {Link, "http://www.example.com"}}},
      {"www.example.com\r\nsecond line", {{Link, "http://www.example.com"}}},
      {"WWW.EXAMPLE.COM", {}},
      {"Open C:\\Links\\NEWS.URL soon", {{Program, "C:\\Links\\NEWS.URL"}}},
      {"HTTP://UPPER.ORG", {{Link, "HTTP://UPPER.ORG"}}},
      // A line break ends a path even where a quote elsewhere keeps blanks in it.
      {"say \"hi\"\nmy tool.exe", {{Program, "my tool.exe"}}},
      {"link http://a.org/x and \"C:\\Desk Top\\App.lnk\"", {{Link, "http://a.org/x"}, {Program, "C:\\Desk Top\\App.lnk"}}},
  };
  for (const Case& c : cases) EXPECT_EQ(dialogs::clipboardRunTargets(c.contents), c.targets) << c.contents;
}

TEST(ClipboardRunTargets, LinkColourForLinksAndProgramsButNotInternetShortcuts) {
  EXPECT_TRUE(dialogs::clipboardShowsLink("go to HTTP://x.org"));
  EXPECT_TRUE(dialogs::clipboardShowsLink("mailto:a@b.c"));
  EXPECT_TRUE(dialogs::clipboardShowsLink("tool.EXE"));
  EXPECT_TRUE(dialogs::clipboardShowsLink("desk.lnk"));
  EXPECT_FALSE(dialogs::clipboardShowsLink("news.url"));
  EXPECT_FALSE(dialogs::clipboardShowsLink("www.example.com"));
}

class Clipboard : public dialogs::testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    rt::setTestClock(rt::DATE(3, 14, 2026), 4500001);
    m_saved = dialogs::clipboardStarter();
    dialogs::clipboardStarter() = [this](const ClipboardRunTarget& t) {
      started.push_back(t);
      return failWith;
    };
  }
  void TearDown() override {
    dialogs::clipboardStarter() = m_saved;
    DataFolder::TearDown();
  }

  std::vector<ClipboardRunTarget> started;
  int failWith = 0;

 private:
  dialogs::ClipboardStarter m_saved;
};

void addEntry(const std::string& text, const char* category, uint8_t keep, int32_t date) {
  ASSERT_EQ(files::Access_CLIPBOARD.Open(), rt::Err::None);
  files::CLIPBOARD.clear();
  files::CLI.ClipContents = text;
  files::CLI.ClipHashKey = files::GETHASH(text);
  files::CLI.Category = category;
  files::CLI.ClipKeep = keep;
  files::CLI.ClipDate = date;
  files::CLI.ClipTime = 100;
  ASSERT_EQ(files::CLIPBOARD.add(), rt::Err::None);
  (void)files::Access_CLIPBOARD.Close();
}

std::vector<files::ClipboardRec> storedEntries() {
  std::vector<files::ClipboardRec> out;
  EXPECT_EQ(files::Access_CLIPBOARD.Open(), rt::Err::None);
  rt::Err err = files::CLIPBOARD.set(files::CLI_K_Date);
  while (err == rt::Err::None && (err = files::CLIPBOARD.next()) == rt::Err::None) out.push_back(files::CLI);
  (void)files::Access_CLIPBOARD.Close();
  return out;
}

void addClipCategory(const char* name) {
  ASSERT_EQ(files::Access_CLIPBOARDCATEGORIES.Open(), rt::Err::None);
  files::CLIPBOARDCATEGORIES.clear();
  files::CLC.Category = name;
  ASSERT_EQ(files::CLIPBOARDCATEGORIES.add(), rt::Err::None);
  (void)files::Access_CLIPBOARDCATEGORIES.Close();
}

// The list's rows: column `column`'s text of each row.
std::vector<std::string> column(WindowDriver& w, int column) {
  std::vector<std::string> out;
  w.with([&](ui::Window& win) {
    auto* list = static_cast<ui::ListControl*>(win.control("?Browse:1"));
    for (int row = 1; row <= static_cast<int>(list->queue()->records()); ++row) out.push_back(list->cell(row, column).text);
  });
  return out;
}

void selectRow(WindowDriver& w, int row) {
  w.with([row](ui::Window& win) { win.setProp(win.feq("?Browse:1"), ui::Prop::Selected, row); });
}

TEST_F(Clipboard, NewEntryStoresTheClipboardTextWithItsKeyAndIsNotStoredTwice) {
  ScriptedHost host;
  host.setClipboardText("hello, world 2024!");
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseClipboard);
    WindowDriver list = d.waitWindow("BrowseClipboard");
    list.press("?Insert");
    WindowDriver form = d.waitWindow("UpdateClipboard");
    EXPECT_EQ(form.title(), "New clipboard entry");
    EXPECT_EQ(form.text("?CLI:ClipContents"), "hello, world 2024!");
    EXPECT_EQ(form.text("?CLI:ClipDate"), "MAR 14,2026");
    form.enter("?CLI:Category", "General");  // taken without a stored category
    form.check("?CLI:ClipKeep", true);
    form.press("?OK");
    d.waitClosed(form);
    EXPECT_EQ(column(list, 2), std::vector<std::string>{"hello, world 2024!"});

    // The same text again: the key refuses it and the form stays open with the text.
    list.press("?Insert");
    form = d.waitWindow("UpdateClipboard");
    host.expectMessage("would duplicate the key", ui::BUTTON::Ok);
    form.press("?OK");
    d.settle();
    ASSERT_TRUE(form.isOpen());
    EXPECT_FALSE(host.pending()) << "the data layer told of the duplicate";
    form.press("?Cancel");
    d.waitClosed(form);

    // Viewing: the text can be read and scrolled but not changed, and nothing is written.
    selectRow(list, 1);
    list.press("?View");
    form = d.waitWindow("UpdateClipboard");
    EXPECT_EQ(form.title(), "View clipboard entry");
    EXPECT_TRUE(form.enabled("?CLI:ClipContents"));
    EXPECT_EQ(form.prop("?CLI:ClipContents", ui::Prop::ReadOnly), "1");
    EXPECT_FALSE(form.enabled("?CLI:Category"));
    form.close();
    d.waitClosed(form);
    list.close();
    d.waitClosed(list);
  });
  const auto entries = storedEntries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].ClipContents, "hello, world 2024!");
  EXPECT_EQ(entries[0].ClipHashKey.str().substr(0, 11), "HELLOWORLD#");
  EXPECT_EQ(rt::CLIP(entries[0].ClipHashKey.str()), files::GETHASH("hello, world 2024!"));
  EXPECT_EQ(rt::CLIP(entries[0].Category.str()), "General");
  EXPECT_EQ(entries[0].ClipKeep, 1);
  EXPECT_EQ(entries[0].ClipDate, rt::DATE(3, 14, 2026));
}

TEST_F(Clipboard, AnUnknownCategoryOpensThePickerWhoseChoiceReplacesIt) {
  addClipCategory("Code");
  addClipCategory("Work");
  ScriptedHost host;
  host.setClipboardText("");
  runScript([&](Driver& d) {
    d.later([] {
      files::GLOBALREQUEST = ui::InsertRecord;
      (void)dialogs::UpdateClipboard();
    });
    WindowDriver form = d.waitWindow("UpdateClipboard");
    EXPECT_EQ(form.text("?CLI:ClipContents"), "") << "an empty clipboard gives an empty entry";
    form.type("?CLI:ClipContents", "some text");

    // Cancelling the picker leaves the form where it was.
    form.enter("?CLI:Category", "Wrk");
    WindowDriver picker = d.waitWindow("SelectClipboardCategory");
    EXPECT_EQ(picker.title(), "Select a Category");
    picker.press("?Cancel");
    d.waitClosed(picker);
    EXPECT_TRUE(form.isOpen());
    EXPECT_EQ(form.text("?CLI:Category"), "Wrk");

    form.enter("?CLI:Category", "Wrk");
    picker = d.waitWindow("SelectClipboardCategory");
    selectRow(picker, 2);
    picker.press("?Select");
    d.waitClosed(picker);
    EXPECT_EQ(form.text("?CLI:Category"), "Work");
    form.enter("?CLI:Category", "Code");  // stored: no picker
    d.settle();
    form.press("?OK");
    d.waitClosed(form);
  });
  const auto entries = storedEntries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(rt::CLIP(entries[0].Category.str()), "Code");
  EXPECT_EQ(entries[0].ClipContents, "some text");
}

TEST_F(Clipboard, ViewsKeepToggleAndDeleteQuestion) {
  addEntry("beta note", "Work", 0, 100);
  addEntry("alpha http://a.org/x", "Code", 1, 300);
  addEntry("gamma", "Base", 0, 200);
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseClipboard);
    WindowDriver list = d.waitWindow("BrowseClipboard");
    EXPECT_EQ(list.title(), "Clipboard Manager");
    // Newest first; the kept entry has the done icon and the link colours.
    EXPECT_EQ(column(list, 2), (std::vector<std::string>{"alpha http://a.org/x", "gamma", "beta note"}));
    list.with([](ui::Window& win) {
      auto* l = static_cast<ui::ListControl*>(win.control("?Browse:1"));
      EXPECT_EQ(l->cell(1, 1).iconName, "~done.ico");
      EXPECT_EQ(l->cell(2, 1).iconName, "~blank.ico");
      EXPECT_EQ(l->cell(1, 2).fg, 0xFF0000);
      EXPECT_EQ(l->cell(1, 2).selFg, 0xFFFF00);
      EXPECT_EQ(l->cell(2, 2).fg, -1);
    });
    list.selectTab("By Content");
    EXPECT_EQ(column(list, 2), (std::vector<std::string>{"alpha http://a.org/x", "beta note", "gamma"}));
    list.selectTab("By Category");
    EXPECT_EQ(column(list, 3), (std::vector<std::string>{"Base", "Code", "Work"}));
    list.selectTab("Saved Only");
    EXPECT_EQ(column(list, 2), std::vector<std::string>{"alpha http://a.org/x"});

    // Keep "gamma" too, from the date view.
    list.selectTab("By Date");
    selectRow(list, 2);
    list.press("?ToggleSave");
    d.settle();
    list.selectTab("Saved Only");  // kept entries, oldest first
    EXPECT_EQ(column(list, 2), (std::vector<std::string>{"gamma", "alpha http://a.org/x"}));

    // Deleting a kept entry asks first; No keeps it.
    selectRow(list, 2);
    host.expectMessage("\"Save\" indicator", ui::BUTTON::No);
    list.press("?Delete");
    d.settle();
    EXPECT_FALSE(host.pending());
    EXPECT_EQ(column(list, 2).size(), 2u);

    // Without the flag no question: the form opens to confirm.
    list.selectTab("By Date");
    selectRow(list, 3);
    list.press("?Delete");
    WindowDriver form = d.waitWindow("UpdateClipboard");
    EXPECT_EQ(form.text("?CLI:ClipContents"), "beta note");
    form.press("?OK");
    d.waitClosed(form);
    EXPECT_EQ(column(list, 2), (std::vector<std::string>{"alpha http://a.org/x", "gamma"}));
    EXPECT_TRUE(host.messages().size() == 1u) << "only the kept entry asked";
    list.close();
    d.waitClosed(list);
  });
  const auto entries = storedEntries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].ClipKeep, 1);
  EXPECT_EQ(entries[1].ClipKeep, 1);
}

TEST_F(Clipboard, RunStartsWhatTheEntryNamesAndCopyPutsItOnTheClipboard) {
  addEntry("www.example.com then \"C:\\My Apps\\tool.exe\" -x; rm -rf /", "", 0, 100);
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseClipboard);
    WindowDriver list = d.waitWindow("BrowseClipboard");
    selectRow(list, 1);
    list.press("?Run");
    d.settle();
    EXPECT_EQ(started, (std::vector<ClipboardRunTarget>{{Program, "C:\\My Apps\\tool.exe"}, {Link, "http://www.example.com"}}));

    failWith = 2;
    started.clear();
    host.expectMessage("could not be started", ui::BUTTON::Ok);
    host.expectMessage("could not be started", ui::BUTTON::Ok);
    list.press("?Run");
    d.settle();
    EXPECT_FALSE(host.pending()) << "each failed start is told";
    EXPECT_EQ(started.size(), 2u);

    list.press("?Copy");
    d.settle();
    EXPECT_EQ(host.clipboardText(), "www.example.com then \"C:\\My Apps\\tool.exe\" -x; rm -rf /");
    list.close();
    d.waitClosed(list);
  });
}

TEST_F(Clipboard, ColumnsSortWithinTheTabAndTheLayoutIsKept) {
  addEntry("beta note", "Work", 0, 100);
  addEntry("alpha http://a.org/x", "Code", 1, 300);
  addEntry("gamma", "Base", 0, 200);
  addEntry("delta", "Zeta", 1, 400);
  using Texts = std::vector<std::string>;
  ScriptedHost host;
  auto headers = [](const ui::test::ListDriver& rows) {
    Texts h;
    for (int c = 1; c <= 4; ++c) h.push_back(rows.propList(ui::PROPLIST::Header, c));
    return h;
  };
  Texts moved;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseClipboard);
    WindowDriver list = d.waitWindow("BrowseClipboard");
    ui::test::ListDriver rows(d, list, "?Browse:1");
    ASSERT_EQ(headers(rows), (Texts{"", "Contents", "Category", "Date"}));
    rows.clickHeader(3);
    d.settle();
    EXPECT_EQ(column(list, 3), (Texts{"Base", "Code", "Work", "Zeta"}));
    host.expectPopup("Sort by default key");
    rows.rightClickHeader(3);
    d.settle();
    EXPECT_EQ(column(list, 2), (Texts{"delta", "alpha http://a.org/x", "gamma", "beta note"})) << "by date again";

    // A column sort on "Saved Only" keeps to the kept entries, both ways.
    list.selectTab("Saved Only");
    rows.clickHeader(3);
    d.settle();
    EXPECT_EQ(column(list, 3), (Texts{"Code", "Zeta"}));
    rows.clickHeader(3);
    d.settle();
    EXPECT_EQ(column(list, 3), (Texts{"Zeta", "Code"}));
    // Another tab drops the column sort.
    list.selectTab("By Category");
    EXPECT_EQ(column(list, 3), (Texts{"Base", "Code", "Work", "Zeta"}));
    EXPECT_EQ(rows.propList(ui::PROPLIST::Header, 3), "Category") << "no sort mark left";

    // The row popup holds the list's own items; its copy copies the row.
    host.expectPopup("Copy to Clipboard");
    rows.rightClick(4);
    d.settle();
    const std::vector<ui::PopupRequest> shown = host.popups();
    ASSERT_EQ(shown.size(), 2u);
    Texts items;
    for (const ui::PopupItem& i : shown[1].items) items.push_back(i.text);
    EXPECT_EQ(Texts(items.begin(), items.begin() + 4), (Texts{"&Query", "&Reset", "-", "&Copy to Clipboard"}));
    EXPECT_EQ(host.clipboardText(), "delta");

    rows.dragHeader(3, 4);
    d.settle();
    moved = headers(rows);
    EXPECT_EQ(moved[3], "Category");
    rows.clickHeader(2);  // sorted as it closes
    d.settle();
    list.close();
    d.waitClosed(list);
  });
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseClipboard);
    WindowDriver list = d.waitWindow("BrowseClipboard");
    ui::test::ListDriver rows(d, list, "?Browse:1");
    EXPECT_EQ(headers(rows), moved) << "the layout came back from POSITION.INI, without the sort mark";
    rows.select(1);
    rows.key(editors::ExploreBinding::kDefaultLayout);  // Alt+F12
    d.settle();
    EXPECT_EQ(headers(rows), (Texts{"", "Contents", "Category", "Date"}));
    list.close();
    d.waitClosed(list);
  });
  EXPECT_FALSE(host.pending());
}

TEST_F(Clipboard, TheListIsReadAgainOnTheHundredAndFirstTimerEvent) {
  addEntry("first", "", 0, 100);
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseClipboard);
    WindowDriver list = d.waitWindow("BrowseClipboard");
    d.gui([] { addEntry("captured later", "", 0, 200); });
    list.tick(100);
    d.settle();
    EXPECT_EQ(column(list, 2), std::vector<std::string>{"first"});
    list.tick(1);
    d.settle();
    EXPECT_EQ(column(list, 2), (std::vector<std::string>{"captured later", "first"}));
    list.close();
    d.waitClosed(list);
  });
}

TEST_F(Clipboard, QueryFiltersEveryViewAndResetClearsIt) {
  addEntry("beta note", "Work", 0, 100);
  addEntry("alpha http://a.org/x", "Code", 1, 300);
  addEntry("gamma", "work", 0, 200);
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseClipboard);
    WindowDriver list = d.waitWindow("BrowseClipboard");
    EXPECT_TRUE(list.enabled("?Query"));
    EXPECT_FALSE(list.enabled("?Reset")) << "no query yet";

    // Cancelling the wizard changes nothing.
    list.press("?Query");
    WindowDriver wizard = d.waitWindow("QueryWizard");
    wizard.press("?Cancel");
    d.waitClosed(wizard);
    EXPECT_FALSE(list.enabled("?Reset"));
    EXPECT_EQ(column(list, 2).size(), 3u);

    // Category "WORK" in any case, or contents holding a link.
    list.press("?Query");
    wizard = d.waitWindow("QueryWizard");
    wizard.press("?And");
    wizard.choose("?Field", "Category");
    wizard.press("?Next");
    wizard.choose("?Operation", "Is Equal To");
    wizard.press("?Next");
    wizard.type("?Value", "WORK");
    wizard.press("?Next");
    wizard.press("?Or");
    wizard.choose("?Field", "Contents");
    wizard.press("?Next");
    wizard.choose("?Operation", "Contains");
    wizard.press("?Next");
    wizard.type("?Value", "HTTP:");
    wizard.press("?Finish");
    d.waitClosed(wizard);
    d.settle();
    EXPECT_TRUE(list.enabled("?Reset"));
    EXPECT_EQ(column(list, 2), (std::vector<std::string>{"alpha http://a.org/x", "gamma", "beta note"}));

    // Only the kept entries among them, then by category: the query holds in every view.
    list.press("?Query");
    wizard = d.waitWindow("QueryWizard");
    ui::test::ListDriver elements(d, wizard, "?Elements");
    elements.select(2);
    wizard.press("?Delete");
    wizard.press("?Finish");
    d.waitClosed(wizard);
    d.settle();
    EXPECT_EQ(column(list, 2), (std::vector<std::string>{"gamma", "beta note"}));
    list.selectTab("By Category");
    EXPECT_EQ(column(list, 3), (std::vector<std::string>{"Work", "work"}));
    list.selectTab("Saved Only");
    EXPECT_TRUE(column(list, 2).empty());

    list.press("?Reset");
    d.settle();
    EXPECT_FALSE(list.enabled("?Reset"));
    list.selectTab("By Date");
    EXPECT_EQ(column(list, 2).size(), 3u);

    // Finishing the wizard without a condition leaves no query to reset.
    list.press("?Query");
    wizard = d.waitWindow("QueryWizard");
    wizard.press("?Finish");
    d.waitClosed(wizard);
    d.settle();
    EXPECT_FALSE(list.enabled("?Reset"));
    EXPECT_EQ(column(list, 2).size(), 3u);
    list.close();
    d.waitClosed(list);
  });
}

TEST_F(Clipboard, AFieldTableTheWizardCannotLoadLeavesQueryAndResetOff) {
  const std::string saved = dialogs::clipboardQueryFields();
  dialogs::clipboardQueryFields() = "Contents\xA6" "0\xA6" "CLI:ClipContents\xA6";  // cut short
  ScriptedHost host;
  host.expectMessage("Query Wizard Error# 2", ui::BUTTON::Ok);
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseClipboard);
    WindowDriver list = d.waitWindow("BrowseClipboard");
    EXPECT_FALSE(list.enabled("?Query"));
    EXPECT_FALSE(list.enabled("?Reset"));
    list.close();
    d.waitClosed(list);
  });
  dialogs::clipboardQueryFields() = saved;
  ASSERT_EQ(host.messages().size(), 1u);
  EXPECT_EQ(host.messages()[0].text, "An error has prevented the Query Wizard from initializing.");
}

TEST_F(Clipboard, FrameCommandAvailableOnceRegistered) {
  using scheduler::Command::Clipboard;
  scheduler::registerProgramWindow("BrowseClipboard", {});
  EXPECT_FALSE(scheduler::CommandAvailable(Clipboard));
  dialogs::registerWindows();
  EXPECT_TRUE(scheduler::CommandAvailable(Clipboard));
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.gui([] { EXPECT_TRUE(scheduler::RunCommand(Clipboard, {})); });
    WindowDriver list = d.waitWindow("BrowseClipboard");
    list.close();
    d.waitClosed(list);
  });
}

}  // namespace
