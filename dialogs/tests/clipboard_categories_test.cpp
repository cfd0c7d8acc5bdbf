// The clipboard categories: the entries shown beside each category, the category form's names
// (required, unique in any case), a rename carried into the entries, the entries' column sort and
// kept layout, and the frame's command.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "datalib/date_string_functions.h"
#include "dialogs/clipboard_categories.h"
#include "dialogs/register_windows.h"
#include "dialogs/tests/fixture.h"
#include "platform/rt/date_time.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/list_driver.h"
#include "scheduler/frame_commands.h"
#include "scheduler/open_window_list.h"
#include "scheduler/program_windows.h"

using namespace ov;
using ui::test::Driver;
using ui::test::ListDriver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

class ClipboardCategories : public dialogs::testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    rt::setTestClock(rt::DATE(3, 14, 2026), 4500001);
    files::CLIPBOARDCATEGORIES.clear();
    files::CLIPBOARD.clear();
  }
  void TearDown() override {
    scheduler::registerProgramWindow("BrowseClipboardCategories", {});
    DataFolder::TearDown();
  }
};

void addCategory(const char* name) {
  ASSERT_EQ(files::Access_CLIPBOARDCATEGORIES.Open(), rt::Err::None);
  files::CLIPBOARDCATEGORIES.clear();
  files::CLC.Category = name;
  ASSERT_EQ(files::CLIPBOARDCATEGORIES.add(), rt::Err::None);
  (void)files::Access_CLIPBOARDCATEGORIES.Close();
}

void addEntry(const std::string& text, const char* category, int32_t date, const char* abbreviation = "") {
  ASSERT_EQ(files::Access_CLIPBOARD.Open(), rt::Err::None);
  files::CLIPBOARD.clear();
  files::CLI.ClipContents = text;
  files::CLI.ClipHashKey = files::GETHASH(text);
  files::CLI.Category = category;
  files::CLI.ClipDate = date;
  files::CLI.Abbreviation = abbreviation;
  ASSERT_EQ(files::CLIPBOARD.add(), rt::Err::None);
  (void)files::Access_CLIPBOARD.Close();
}

std::vector<std::string> storedCategories() {
  std::vector<std::string> out;
  EXPECT_EQ(files::Access_CLIPBOARDCATEGORIES.Open(), rt::Err::None);
  rt::Err err = files::CLIPBOARDCATEGORIES.set(files::CLC_KeyCategory);
  while (err == rt::Err::None && (err = files::CLIPBOARDCATEGORIES.next()) == rt::Err::None)
    out.push_back(rt::CLIP(files::CLC.Category.str()));
  (void)files::Access_CLIPBOARDCATEGORIES.Close();
  return out;
}

// "text:category" of every entry, by text.
std::vector<std::string> storedEntries() {
  std::vector<std::string> out;
  EXPECT_EQ(files::Access_CLIPBOARD.Open(), rt::Err::None);
  rt::Err err = files::CLIPBOARD.set(files::CLI_K_Hash);
  while (err == rt::Err::None && (err = files::CLIPBOARD.next()) == rt::Err::None)
    out.push_back(rt::CLIP(files::CLI.ClipContents) + ":" + rt::CLIP(files::CLI.Category.str()));
  (void)files::Access_CLIPBOARD.Close();
  return out;
}

TEST_F(ClipboardCategories, EachCategoryShowsItsOwnEntriesInAnyCase) {
  addCategory("Empty");
  addCategory("Mail - Inbox");
  addCategory("Work");
  addEntry("meeting at noon", "Work", rt::DATE(3, 1, 2026));
  addEntry("budget figures", "WORK", rt::DATE(3, 2, 2026));
  addEntry("re: your order", "Mail - Inbox", rt::DATE(3, 3, 2026));
  addEntry("stray", "Mail", rt::DATE(3, 4, 2026));
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseClipboardCategories);
    WindowDriver w = d.waitWindow("BrowseClipboardCategories");
    EXPECT_EQ(w.title(), "Clipboard Categories");
    ListDriver categories(d, w, "?CategoryList");
    ListDriver entries(d, w, "?List");
    EXPECT_EQ(categories.texts(1), (std::vector<std::string>{"Empty", "Mail - Inbox", "Work"}));
    EXPECT_TRUE(entries.texts(2).empty()) << "a category without entries";
    categories.select(2);
    d.settle();
    EXPECT_EQ(entries.texts(2), std::vector<std::string>{"re: your order"});
    EXPECT_EQ(entries.texts(1), std::vector<std::string>{"3/03/2026"});
    categories.select(3);
    d.settle();
    std::vector<std::string> work = entries.texts(2);
    std::sort(work.begin(), work.end());
    EXPECT_EQ(work, (std::vector<std::string>{"budget figures", "meeting at noon"}));
    w.close();
    d.waitClosed(w);
  });
}

TEST_F(ClipboardCategories, EntriesSortFromTheHeaderWithinTheCategoryAndKeepTheirLayout) {
  addCategory("Home");
  addCategory("Work");
  addEntry("zebra notes", "Work", rt::DATE(3, 2, 2026), "A");
  addEntry("apple pie", "Work", rt::DATE(3, 9, 2026), "C");
  addEntry("mango", "Work", rt::DATE(3, 5, 2026), "B");
  addEntry("kiwi", "Home", rt::DATE(3, 1, 2026), "A");
  using Texts = std::vector<std::string>;
  const Texts byAbbreviation{"zebra notes", "mango", "apple pie"}, byContents{"apple pie", "mango", "zebra notes"};
  auto headers = [](const ListDriver& rows) {
    Texts h;
    for (int c = 1; c <= 2; ++c) h.push_back(rows.propList(ui::PROPLIST::Header, c));
    return h;
  };
  ScriptedHost host;
  Texts moved;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseClipboardCategories);
    WindowDriver w = d.waitWindow("BrowseClipboardCategories");
    ListDriver categories(d, w, "?CategoryList");
    ListDriver entries(d, w, "?List");
    categories.select(2);
    d.settle();
    EXPECT_EQ(entries.texts(2), byAbbreviation);
    entries.clickHeader(2);
    d.settle();
    EXPECT_EQ(entries.texts(2), byContents) << "the column sort stays within the category";
    categories.select(1);
    d.settle();
    EXPECT_EQ(entries.texts(2), Texts{"kiwi"});
    categories.select(2);
    d.settle();
    EXPECT_EQ(entries.texts(2), byContents) << "the column sort outlives a new category";
    host.expectPopup("Sort by default key");
    entries.rightClickHeader(2);
    d.settle();
    EXPECT_EQ(entries.texts(2), byAbbreviation) << "back to the list's own order";
    entries.dragHeader(1, 2);
    d.settle();
    moved = headers(entries);
    EXPECT_EQ(moved, (Texts{"Contents", "Date Saved"}));
    w.close();
    d.waitClosed(w);
  });
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseClipboardCategories);
    WindowDriver w = d.waitWindow("BrowseClipboardCategories");
    ListDriver entries(d, w, "?List");
    EXPECT_EQ(headers(entries), moved) << "the layout came back from POSITION.INI";
    w.close();
    d.waitClosed(w);
  });
  EXPECT_FALSE(host.pending());
}

TEST_F(ClipboardCategories, NamesAreRequiredAndUniqueAndARenameMovesTheEntries) {
  addCategory("Work");
  addEntry("meeting at noon", "Work", rt::DATE(3, 1, 2026));
  addEntry("budget figures", "work", rt::DATE(3, 2, 2026));
  addEntry("lunch menu", "Home", rt::DATE(3, 2, 2026));
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseClipboardCategories);
    WindowDriver w = d.waitWindow("BrowseClipboardCategories");
    ListDriver categories(d, w, "?CategoryList");

    w.press("?Insert");
    WindowDriver form = d.waitWindow("UpdateClipboardCategories");
    EXPECT_EQ(form.title(), "Add Clipboard Category");
    host.expectMessage("\"Category\" must be entered.", ui::BUTTON::Ok);
    form.press("?OK");
    d.settle();
    EXPECT_FALSE(host.pending());
    host.expectMessage("would duplicate the key", ui::BUTTON::Ok);
    form.type("?CLC:Category", "WORK");
    form.press("?OK");
    d.settle();
    EXPECT_FALSE(host.pending());
    ASSERT_TRUE(form.isOpen()) << "a duplicate keeps the form open";
    form.type("?CLC:Category", "Code");
    form.press("?OK");
    d.waitClosed(form);
    EXPECT_EQ(categories.texts(1), (std::vector<std::string>{"Code", "Work"}));

    categories.select(2);
    w.press("?Change");
    form = d.waitWindow("UpdateClipboardCategories");
    EXPECT_EQ(form.title(), "Change Clipboard Category");
    form.type("?CLC:Category", "Office");
    form.press("?OK");
    d.waitClosed(form);
    EXPECT_EQ(categories.texts(1), (std::vector<std::string>{"Code", "Office"}));
    w.close();
    d.waitClosed(w);
  });
  EXPECT_EQ(storedCategories(), (std::vector<std::string>{"Code", "Office"}));
  std::vector<std::string> entries = storedEntries();
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"budget figures:Office", "lunch menu:Home", "meeting at noon:Office"}));
}

TEST_F(ClipboardCategories, ACategoryInUseIsNotDeletedAndViewingChangesNothing) {
  addCategory("Work");
  addEntry("meeting at noon", "Work", rt::DATE(3, 1, 2026));
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([] {
      files::CLC.Category = "Work";
      files::GLOBALREQUEST = ui::ViewRecord;
      (void)dialogs::UpdateClipboardCategories();
    });
    WindowDriver form = d.waitWindow("UpdateClipboardCategories");
    EXPECT_EQ(form.title(), "View Clipboard Category");
    EXPECT_FALSE(form.enabled("?CLC:Category"));
    form.press("?Cancel");
    d.waitClosed(form);

    d.start(dialogs::makeBrowseClipboardCategories);
    WindowDriver w = d.waitWindow("BrowseClipboardCategories");
    ListDriver(d, w, "?CategoryList").select(1);
    w.press("?Delete");
    form = d.waitWindow("UpdateClipboardCategories");
    host.expectMessage("", ui::BUTTON::Ok);  // the data layer tells why
    form.press("?OK");
    d.settle();
    EXPECT_FALSE(host.pending());
    if (form.isOpen()) {
      form.press("?Cancel");
      d.waitClosed(form);
    }
    w.close();
    d.waitClosed(w);
  });
  EXPECT_EQ(storedCategories(), std::vector<std::string>{"Work"});
  EXPECT_EQ(storedEntries(), std::vector<std::string>{"meeting at noon:Work"});
}

TEST_F(ClipboardCategories, FrameCommandAvailableOnceRegistered) {
  using scheduler::Command::ClipboardCategories;
  scheduler::registerProgramWindow("BrowseClipboardCategories", {});
  EXPECT_FALSE(scheduler::CommandAvailable(ClipboardCategories));
  dialogs::registerWindows();
  EXPECT_TRUE(scheduler::CommandAvailable(ClipboardCategories));
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.gui([] { EXPECT_TRUE(scheduler::RunCommand(ClipboardCategories, {})); });
    WindowDriver list = d.waitWindow("BrowseClipboardCategories");
    // A second start only brings the open list forward.
    d.gui([] { EXPECT_TRUE(scheduler::RunCommand(ClipboardCategories, {})); });
    d.settle();
    int lists = 0;
    d.gui([&] {
      for (const auto& e : scheduler::OpenWindowList()) lists += e.name == "BrowseClipboardCategories";
    });
    EXPECT_EQ(lists, 1);
    list.close();
    d.waitClosed(list);
  });
}

}  // namespace
