// The contact form and list: the wizard with its reminder task, required fields, the details a new
// contact starts with, the category lookup, the read-only modes, the list's orders, texts, reports
// and single instance, and the frame's commands.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "datalib/config.h"
#include "dialogs/contacts.h"
#include "editors/explore_binding.h"
#include "dialogs/register_windows.h"
#include "dialogs/tests/fixture.h"
#include "dialogs/tests/records.h"
#include "platform/rt/date_time.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/list_driver.h"
#include "scheduler/frame_commands.h"
#include "scheduler/program_windows.h"
#include "scheduler/services.h"

using namespace ov;
using ui::test::Driver;
using ui::test::ListDriver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;
using Texts = std::vector<std::string>;
using dialogs::testing::addCategory;

namespace {

const int32_t kToday = rt::DATE(3, 14, 2026);

class Contacts : public dialogs::testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    rt::setTestClock(kToday, 4500001);  // 12:30
    scheduler::services().post = [this](int event, int thread) { posted.emplace_back(event, thread); };
    scheduler::services().runNoWait = [this](std::string_view line) {
      started.emplace_back(line);
      return failStart;
    };
  }
  std::vector<std::pair<int, int>> posted;
  std::vector<std::string> started;
  int failStart = 0;
};

int32_t addContact(const char* first, const char* last, const char* company, const char* category = "",
                   const char* email = "") {
  int32_t id = 0;
  EXPECT_EQ(files::Access_CONTACT.Open(), rt::Err::None);
  EXPECT_EQ(files::Access_CONTACT.PrimeRecord(), rt::Err::None);
  files::C_.FirstName = first;
  files::C_.LastName = last;
  files::C_.Company = company;
  files::C_.ContactCategory = category;
  files::C_.Email = email;
  EXPECT_EQ(files::Access_CONTACT.Insert(), rt::Err::None);
  id = files::C_.ClientID;
  (void)files::Access_CONTACT.Close();
  return id;
}

void addDetail(int32_t client, const char* label, const char* value) {
  ASSERT_EQ(files::Access_CONTACTDETAILS.Open(), rt::Err::None);
  files::C_.ClientID = client;
  ASSERT_EQ(files::Access_CONTACTDETAILS.PrimeRecord(), rt::Err::None);
  files::CDT.ClientID = client;
  files::CDT.DataLabel = label;
  files::CDT.DataValue = value;
  ASSERT_EQ(files::Access_CONTACTDETAILS.Insert(), rt::Err::None);
  (void)files::Access_CONTACTDETAILS.Close();
}

void addContactCategory(const char* name) {
  ASSERT_EQ(files::Access_CONTACTCATEGORIES.Open(), rt::Err::None);
  files::CONTACTCATEGORIES.clear();
  files::CC.ContactCategory = name;
  ASSERT_EQ(files::CONTACTCATEGORIES.add(), rt::Err::None);
  (void)files::Access_CONTACTCATEGORIES.Close();
}

std::vector<files::ContactRec> storedContacts() {
  std::vector<files::ContactRec> out;
  EXPECT_EQ(files::Access_CONTACT.Open(), rt::Err::None);
  rt::Err err = files::CONTACT.set(files::C_KeyClientID);
  while (err == rt::Err::None && (err = files::CONTACT.next()) == rt::Err::None) out.push_back(files::C_);
  (void)files::Access_CONTACT.Close();
  return out;
}

// (client, label, value) of every detail in key order.
std::vector<std::string> storedDetails() {
  std::vector<std::string> out;
  EXPECT_EQ(files::Access_CONTACTDETAILS.Open(), rt::Err::None);
  rt::Err err = files::CONTACTDETAILS.set(files::CDT_K_Contact);
  while (err == rt::Err::None && (err = files::CONTACTDETAILS.next()) == rt::Err::None)
    out.push_back(std::to_string(files::CDT.ClientID) + ":" + files::CDT.DataLabel.str() + "=" +
                  files::CDT.DataValue.str());
  (void)files::Access_CONTACTDETAILS.Close();
  return out;
}

std::vector<files::ScheduleRec> storedTasks() {
  std::vector<files::ScheduleRec> out;
  EXPECT_EQ(files::Access_SCHEDULE.Open(), rt::Err::None);
  rt::Err err = files::SCHEDULE.set(files::SCH_KeyID);
  while (err == rt::Err::None && (err = files::SCHEDULE.next()) == rt::Err::None) out.push_back(files::SCH);
  (void)files::Access_SCHEDULE.Close();
  return out;
}

// Chooses a tab of a form whose focus lies on another tab: the focus goes to the buttons first,
// or the sheet would follow it back, as the window layer keeps the focused control in sight.
void chooseTab(WindowDriver& form, const char* tab) {
  form.with([](ui::Window& w) { w.select(w.feq("?Cancel")); });
  form.selectTab(tab);
}

void callForm(Driver& d, int request) {
  d.later([request] {
    files::GLOBALREQUEST = static_cast<uint8_t>(request);
    (void)dialogs::UpdateContacts();
  });
}

TEST_F(Contacts, WizardFromTheFrameStoresTheContactAndItsReminderTask) {
  addCategory("Calls");
  files::PUTCONFIG("OVCATDisplay Message", "Personal");
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeUpdateContacts);  // started without a request
    WindowDriver form = d.waitWindow("UpdateContacts");
    EXPECT_EQ(form.title(), "New Contact");
    EXPECT_EQ(form.tabs("?CurrentTab"), (Texts{"Basic", "Details", "Notes", "Schedule"}));
    EXPECT_TRUE(form.shown("?BasicHint"));
    EXPECT_FALSE(form.shown("?ScheduleReminder"));
    EXPECT_TRUE(form.shown("?Next"));
    EXPECT_EQ(form.text("?C_:DefaultContact"), "None");

    // Next refuses to leave the first page without a last name.
    host.expectMessage("must be entered", ui::BUTTON::Ok);
    form.press("?Next");
    EXPECT_FALSE(host.pending());
    EXPECT_FALSE(form.shown("?DetailsHint"));
    form.type("?C_:LastName", "Lee");
    form.type("?C_:FirstName", "Ann");
    form.type("?C_:Company", "Acme");
    form.type("?C_:WorkDayPhone", "555");
    form.type("?C_:HomeEveningPhone", "777");
    form.press("?Next");
    EXPECT_TRUE(form.shown("?DetailsHint"));
    form.press("?Next");
    form.press("?Next");
    EXPECT_TRUE(form.shown("?LOC:Message"));
    EXPECT_EQ(form.text("?LOC:Date"), " 3/24/2026") << "today + 10 in the date picture d2";
    EXPECT_EQ(form.text("?LOC:Message"), "Contact:");
    form.type("?LOC:Message", "Contact: call about the offer");
    form.press("?OK");
    d.waitClosed(form);
  });
  const auto contacts = storedContacts();
  ASSERT_EQ(contacts.size(), 1u);
  EXPECT_EQ(contacts[0].LastName.str(), "Lee");
  const auto tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 1u);
  const files::ScheduleRec& t = tasks[0];
  EXPECT_EQ(t.Description.str(), "Ann Lee, Acme - Bus:555/Res:777");
  EXPECT_EQ(t.Message.str(), "Contact: call about the offer\r\n[CONTACT " + std::to_string(contacts[0].ClientID) + "]\r\n");
  EXPECT_EQ(t.Date, kToday + 10);
  EXPECT_EQ(t.Time, 4320001);
  EXPECT_EQ(t.TaskType.str(), "Display Message");
  EXPECT_EQ(t.ScheduleType.str(), "Once");
  EXPECT_EQ(t.Category.str(), "Personal");
  EXPECT_EQ(t.Disabled, 0);
  EXPECT_EQ(t.Warn, 1);
  EXPECT_EQ(t.EveryType.str(), "hour(s)");
  EXPECT_EQ(posted, (std::vector<std::pair<int, int>>{{scheduler::kEventRefreshAll, scheduler::kFrameThread}}));
}

TEST_F(Contacts, APlainContactNeedsOnlyItsLastNameAndGetsNoTask) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    callForm(d, ui::InsertRecord);
    WindowDriver form = d.waitWindow("UpdateContacts");
    EXPECT_EQ(form.tabs("?CurrentTab"), (Texts{"Basic", "Details", "Notes"}));
    EXPECT_FALSE(form.shown("?Next"));
    host.expectMessage("\"Last Name\" must be entered.", ui::BUTTON::Ok);
    form.press("?OK");
    EXPECT_FALSE(host.pending());
    ASSERT_TRUE(form.isOpen());
    form.type("?C_:LastName", "Lee");
    form.press("?OK");  // the hidden reminder date and time are not asked for
    d.waitClosed(form);
  });
  EXPECT_EQ(storedContacts().size(), 1u);
  EXPECT_TRUE(storedTasks().empty());
  EXPECT_TRUE(posted.empty());
}

TEST_F(Contacts, TheReminderButtonAddsTheSchedulePage) {
  addCategory("First");
  ScriptedHost host;
  runScript([&](Driver& d) {
    callForm(d, ui::InsertRecord);
    WindowDriver form = d.waitWindow("UpdateContacts");
    form.type("?C_:LastName", "Lee");
    form.press("?ScheduleReminder");
    EXPECT_FALSE(form.shown("?ScheduleReminder"));
    EXPECT_EQ(form.tabs("?CurrentTab"), (Texts{"Basic", "Details", "Notes", "Schedule"}));
    chooseTab(form, "Schedule");
    EXPECT_FALSE(form.shown("?ScheduleHint"));
    EXPECT_EQ(form.text("?LOC:Message"), "Contact:");
    form.press("?OK");
    d.waitClosed(form);
  });
  const auto tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_EQ(tasks[0].Category.str(), "First") << "no category kept for reminders: the first on file";
  EXPECT_EQ(tasks[0].Description.str(), "Lee - Bus:/Res:");
}

TEST_F(Contacts, ANewContactStartsWithTheLabelsOfTheLastDetailsOwnerAndCancelLeavesNoDetails) {
  const int32_t ann = addContact("Ann", "Lee", "");
  const int32_t bob = addContact("Bob", "Ray", "");
  addDetail(ann, "Spouse", "Joe");
  addDetail(bob, "Birthday", "May 1");
  addDetail(bob, "Pager", "123");
  ScriptedHost host;
  runScript([&](Driver& d) {
    callForm(d, ui::InsertRecord);
    WindowDriver form = d.waitWindow("UpdateContacts");
    chooseTab(form, "Details");
    ListDriver details(d, form, "?List");
    EXPECT_EQ(details.texts(1), (Texts{"Birthday", "Pager"}));
    EXPECT_EQ(details.texts(2), (Texts{"", ""}));
    form.press("?Cancel");
    d.waitClosed(form);
  });
  const Texts before{std::to_string(ann) + ":Spouse=Joe", std::to_string(bob) + ":Birthday=May 1",
                     std::to_string(bob) + ":Pager=123"};
  EXPECT_EQ(storedDetails(), before) << "the cancelled contact's blank details are gone";

  // The next contact takes the number the cancelled one had and starts with blank details only.
  runScript([&](Driver& d) {
    callForm(d, ui::InsertRecord);
    WindowDriver form = d.waitWindow("UpdateContacts");
    form.type("?C_:LastName", "Kim");
    form.press("?OK");
    d.waitClosed(form);
  });
  const auto contacts = storedContacts();
  ASSERT_EQ(contacts.size(), 3u);
  const std::string kim = std::to_string(contacts[2].ClientID);
  EXPECT_EQ(storedDetails().size(), 5u);
  EXPECT_EQ(storedDetails()[3], kim + ":Birthday=");
}

TEST_F(Contacts, DetailsAreWrittenAsEditedAndMoved) {
  const int32_t ann = addContact("Ann", "Lee", "");
  addDetail(ann, "Zero", "0");
  addDetail(ann, "One", "1");
  addDetail(ann, "Two", "2");
  addDetail(ann, "Three", "3");
  // The first goes: the rows no longer show their own numbers as sequences.
  ASSERT_EQ(files::Access_CONTACTDETAILS.Open(), rt::Err::None);
  files::CDT.ClientID = ann;
  files::CDT.Sequence = 0;
  ASSERT_EQ(files::CONTACTDETAILS.setFrom(files::CDT_K_Contact), rt::Err::None);
  ASSERT_EQ(files::CONTACTDETAILS.next(), rt::Err::None);
  ASSERT_EQ(files::CDT.DataLabel.str(), "Zero");
  ASSERT_EQ(files::CONTACTDETAILS.deleteRecord(), rt::Err::None);
  (void)files::Access_CONTACTDETAILS.Close();
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([ann] {
      files::C_.ClientID = ann;
      (void)files::Access_CONTACT.Open();
      (void)files::CONTACT.get(files::C_KeyClientID);
      files::GLOBALREQUEST = ui::ChangeRecord;
      (void)dialogs::UpdateContacts();
      (void)files::Access_CONTACT.Close();
    });
    WindowDriver form = d.waitWindow("UpdateContacts");
    EXPECT_EQ(form.title(), "Edit Contact");
    chooseTab(form, "Details");
    ListDriver details(d, form, "?List");
    details.select(3);
    form.press("?MoveTop");
    EXPECT_EQ(details.texts(1), (Texts{"Three", "One", "Two"}));
    EXPECT_EQ(details.selected(), 1);
    form.press("?MoveDown");
    EXPECT_EQ(details.texts(1), (Texts{"One", "Three", "Two"}));
    details.dragRow(3, 1);  // a dragged row takes the place of the row it is dropped on
    EXPECT_EQ(details.texts(1), (Texts{"Two", "One", "Three"}));
    details.dragRow(1, 3);
    EXPECT_EQ(details.texts(1), (Texts{"One", "Three", "Two"}));
    form.press("?Insert");
    form.type("?EIP:CDT:DataLabel", "Four");
    form.key("?EIP:CDT:DataLabel", ui::Key::Tab);
    form.type("?EIP:CDT:DataValue", "4");
    form.accept("?EIP:CDT:DataValue");
    EXPECT_EQ(details.texts(1), (Texts{"One", "Three", "Two", "Four"}));
    form.press("?Cancel");  // the details stay as edited
    d.waitClosed(form);
  });
  const std::string a = std::to_string(ann);
  EXPECT_EQ(storedDetails(), (Texts{a + ":One=1", a + ":Three=3", a + ":Two=2", a + ":Four=4"}));
}

TEST_F(Contacts, AnUnknownCategoryOpensThePicker) {
  addContactCategory("Family");
  addContactCategory("Work");
  ScriptedHost host;
  runScript([&](Driver& d) {
    callForm(d, ui::InsertRecord);
    WindowDriver form = d.waitWindow("UpdateContacts");
    form.type("?C_:LastName", "Lee");
    form.enter("?C_:ContactCategory", "Wrk");
    WindowDriver picker = d.waitWindow("SelectContactCategories");
    EXPECT_EQ(picker.title(), "Select a Category");
    picker.press("?Cancel");
    d.waitClosed(picker);
    EXPECT_EQ(form.text("?C_:ContactCategory"), "Wrk") << "a cancelled pick keeps the typed text";
    form.enter("?C_:ContactCategory", "Wrk");
    picker = d.waitWindow("SelectContactCategories");
    ListDriver rows(d, picker, "?Browse:1");
    EXPECT_EQ(rows.texts(1), (Texts{"Family", "Work"}));
    rows.type("w");  // a step to the first name starting with it
    EXPECT_EQ(rows.selected(), 2);
    picker.press("?Select");
    d.waitClosed(picker);
    EXPECT_EQ(form.text("?C_:ContactCategory"), "Work");
    form.enter("?C_:ContactCategory", "Family");  // on file: no picker
    d.settle();
    form.press("?OK");
    d.waitClosed(form);
  });
  const auto contacts = storedContacts();
  ASSERT_EQ(contacts.size(), 1u);
  EXPECT_EQ(contacts[0].ContactCategory.str(), "Family");
}

TEST_F(Contacts, ViewIsReadOnlyAndAnEditKeepsValuesLongerThanTheOldEntries) {
  const std::string longName = "Featherstonehaugh-Cholmondeley-Marjoriba";  // 40 characters
  ASSERT_EQ(longName.size(), 40u);
  const int32_t id = addContact("Ann", longName.c_str(), "");
  // The record stays current while the form runs, as the list leaves it.
  auto fetch = [id] {
    files::C_.ClientID = id;
    (void)files::Access_CONTACT.Open();
    (void)files::CONTACT.get(files::C_KeyClientID);
  };
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([&] {
      fetch();
      files::GLOBALREQUEST = ui::ViewRecord;
      (void)dialogs::UpdateContacts();
      (void)files::Access_CONTACT.Close();
    });
    WindowDriver form = d.waitWindow("UpdateContacts");
    EXPECT_EQ(form.title(), "View Contact");
    EXPECT_EQ(form.text("?Cancel"), "Cl&ose");
    EXPECT_FALSE(form.enabled("?C_:LastName"));
    for (const char* button : {"?Insert", "?Change", "?Delete", "?MoveUp"}) EXPECT_FALSE(form.enabled(button)) << button;
    form.press("?Cancel");
    d.waitClosed(form);

    d.later([&] {
      fetch();
      files::GLOBALREQUEST = ui::ChangeRecord;
      (void)dialogs::UpdateContacts();
      (void)files::Access_CONTACT.Close();
    });
    form = d.waitWindow("UpdateContacts");
    EXPECT_EQ(form.text("?C_:LastName"), longName);
    form.type("?C_:Company", "Acme");
    form.press("?OK");
    d.waitClosed(form);
  });
  const auto contacts = storedContacts();
  ASSERT_EQ(contacts.size(), 1u);
  EXPECT_EQ(contacts[0].LastName.str(), longName);
  EXPECT_EQ(contacts[0].Company.str(), "Acme");
}

TEST_F(Contacts, ListColumnsOrdersAndCopy) {
  addContact("", "Lee", "Acme", "Work");
  addContact("Ann", "Kim", "", "Family");
  addContact("Bob", "Ray", "Zeta", "Work");
  addContactCategory("Family");
  addContactCategory("Work");
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseContacts);
    WindowDriver list = d.waitWindow("BrowseContacts");
    EXPECT_EQ(list.title(), "Contacts");
    EXPECT_FALSE(list.shown("?Select"));
    ListDriver rows(d, list, "?Browse:1");
    EXPECT_EQ(rows.texts(1), (Texts{"Kim, Ann", "Lee (Acme)", "Ray, Bob (Zeta)"}));
    list.selectTab("First Name");
    EXPECT_EQ(rows.texts(1), (Texts{"Lee (Acme)", "Kim, Ann", "Ray, Bob (Zeta)"}));
    list.selectTab("Company");
    EXPECT_EQ(rows.texts(1), (Texts{"Kim, Ann", "Lee (Acme)", "Ray, Bob (Zeta)"}));
    EXPECT_FALSE(list.shown("?SelectCategory"));

    // Tab "Category": the contacts of the category picked.
    list.selectTab("Category");
    EXPECT_TRUE(list.shown("?SelectCategory"));
    list.press("?SelectCategory");
    WindowDriver picker = d.waitWindow("SelectContactCategories");
    ListDriver cats(d, picker, "?Browse:1");
    cats.select(2);
    picker.press("?Select");
    d.waitClosed(picker);
    EXPECT_EQ(rows.texts(1), (Texts{"Lee (Acme)", "Ray, Bob (Zeta)"}));

    // The locator entry.
    list.selectTab("Last Name");
    list.enter("?Locate", "L");
    EXPECT_EQ(rows.selected(), 2);

    rows.select(3);
    list.press("?CopyToClipboard");
    EXPECT_EQ(host.clipboardText().substr(0, 10), "Ray\r\nBob\r\n");

    // Copy: the form opens with the highlighted contact's fields as a new contact.
    rows.select(1);
    list.press("?Copy");
    WindowDriver form = d.waitWindow("UpdateContacts");
    EXPECT_EQ(form.title(), "New Contact");
    EXPECT_EQ(form.text("?C_:LastName"), "Kim");
    EXPECT_EQ(form.text("?C_:FirstName"), "Ann");
    form.press("?OK");
    d.waitClosed(form);
    EXPECT_EQ(rows.texts(1), (Texts{"Kim, Ann", "Kim, Ann", "Lee (Acme)", "Ray, Bob (Zeta)"}));
    list.close();
    d.waitClosed(list);
  });
  const auto contacts = storedContacts();
  ASSERT_EQ(contacts.size(), 4u);
  EXPECT_NE(contacts[3].ClientID, contacts[1].ClientID);
  EXPECT_EQ(contacts[3].ContactCategory.str(), "Family");
}

TEST_F(Contacts, ColumnsSortWithinTheCategoryTabAndTheLayoutIsKept) {
  addContact("", "Lee", "Acme", "Work", "c@x.org");
  addContact("Ann", "Kim", "", "Family", "b@x.org");
  addContact("Bob", "Ray", "Zeta", "Work", "a@x.org");
  addContact("Cy", "Abe", "", "Work", "d@x.org");
  addContactCategory("Family");
  addContactCategory("Work");
  auto headers = [](const ListDriver& rows) {
    Texts h;
    for (int c = 1; c <= 6; ++c) h.push_back(rows.propList(ui::PROPLIST::Header, c));
    return h;
  };
  const Texts designed{"Name and Company", "Category", "Business #", "Home #", "Fax #", "E-mail Address"};
  Texts moved;
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseContacts);
    WindowDriver list = d.waitWindow("BrowseContacts");
    ListDriver rows(d, list, "?Browse:1");
    ASSERT_EQ(headers(rows), designed);
    rows.clickHeader(6);
    d.settle();
    EXPECT_EQ(rows.texts(1), (Texts{"Ray, Bob (Zeta)", "Kim, Ann", "Lee (Acme)", "Abe, Cy"}));
    host.expectPopup("Sort by default key");
    rows.rightClickHeader(6);
    d.settle();
    EXPECT_EQ(rows.texts(1), (Texts{"Abe, Cy", "Kim, Ann", "Lee (Acme)", "Ray, Bob (Zeta)"})) << "by last name again";

    // On tab "Category" a column sort keeps to the picked category, both ways.
    list.selectTab("Category");
    list.press("?SelectCategory");
    WindowDriver picker = d.waitWindow("SelectContactCategories");
    ListDriver cats(d, picker, "?Browse:1");
    cats.select(2);
    picker.press("?Select");
    d.waitClosed(picker);
    rows.clickHeader(6);
    d.settle();
    EXPECT_EQ(rows.texts(1), (Texts{"Ray, Bob (Zeta)", "Lee (Acme)", "Abe, Cy"}));
    rows.clickHeader(6);
    d.settle();
    EXPECT_EQ(rows.texts(1), (Texts{"Abe, Cy", "Lee (Acme)", "Ray, Bob (Zeta)"}));
    // Another tab drops the column sort and its mark.
    list.selectTab("Company");
    EXPECT_EQ(rows.texts(1), (Texts{"Abe, Cy", "Kim, Ann", "Lee (Acme)", "Ray, Bob (Zeta)"}));
    EXPECT_EQ(rows.propList(ui::PROPLIST::Header, 6), "E-mail Address");

    rows.dragHeader(6, 2);
    d.settle();
    moved = headers(rows);
    EXPECT_NE(moved, designed);
    rows.clickHeader(2);  // sorted as it closes
    d.settle();
    list.close();
    d.waitClosed(list);
  });
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseContacts);
    WindowDriver list = d.waitWindow("BrowseContacts");
    ListDriver rows(d, list, "?Browse:1");
    EXPECT_EQ(headers(rows), moved) << "the layout came back from POSITION.INI, without the sort mark";
    rows.select(1);
    rows.key(editors::ExploreBinding::kDefaultLayout);  // Alt+F12
    d.settle();
    EXPECT_EQ(headers(rows), designed);
    // The row popup: the explorer's items, then the list's own.
    host.expectPopup("");
    rows.rightClick(1);
    d.settle();
    const std::vector<ui::PopupRequest> shown = host.popups();
    ASSERT_FALSE(shown.empty());
    Texts items;
    for (const ui::PopupItem& i : shown.back().items) items.push_back(i.separator ? "-" : i.text);
    ASSERT_GE(items.size(), 5u);
    EXPECT_EQ(Texts(items.end() - 5, items.end()), (Texts{"-", "&Copy to Clipboard", "-", "Email...", "Cop&y"}));
    list.close();
    d.waitClosed(list);
  });
  EXPECT_FALSE(host.pending());
}

TEST_F(Contacts, EmptyListDisablesCopyAndEmail) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseContacts);
    WindowDriver list = d.waitWindow("BrowseContacts");
    EXPECT_FALSE(list.enabled("?Copy"));
    ListDriver rows(d, list, "?Browse:1");
    // The popup's "Cop&y" follows the button; "Email..." is the list's own item.
    bool sawEmail = false;
    for (const ui::PopupItem& item : rows.popup()) {
      if (item.text != "Email...") continue;
      sawEmail = true;
      EXPECT_FALSE(item.enabled);
    }
    EXPECT_TRUE(sawEmail);
    list.close();
    d.waitClosed(list);
  });
}

TEST_F(Contacts, PrintStartsTheReportOfTheTabFromTheProgramFolder) {
  addContact("Ann", "Lee", "");
  files::EXEPATH = "/opt/orvane";
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseContacts);
    WindowDriver list = d.waitWindow("BrowseContacts");
    for (const char* tab : {"Last Name", "First Name", "Company", "Email"}) {
      list.selectTab(tab);
      list.press("?Print");
    }
    failStart = 2;
    host.expectMessage("Unable to start OV_RPTS.EXE.", ui::BUTTON::Ok);
    list.press("?Print");
    EXPECT_FALSE(host.pending());
    list.close();
    d.waitClosed(list);
  });
  EXPECT_EQ(started, (Texts{"/opt/orvane/OV_RPTS.EXE ?ReportsContactsByName",
                            "/opt/orvane/OV_RPTS.EXE ?ReportsContactsByFirstName",
                            "/opt/orvane/OV_RPTS.EXE ?ReportsContactsByCompany",
                            "/opt/orvane/OV_RPTS.EXE ?ReportsContactsWithinCategory",
                            "/opt/orvane/OV_RPTS.EXE ?ReportsContactsWithinCategory"}));
}

TEST_F(Contacts, ASecondListBringsTheFirstForwardAPickerAlwaysOpensAndEmailWritesToTheContact) {
  addContact("Ann", "Lee", "", "", "ann@example.org");
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseContacts);
    WindowDriver first = d.waitWindow("BrowseContacts");
    first.with([](ui::Window& w) { w.setProp(0, ui::Prop::Iconize, 1); });
    d.start(dialogs::makeBrowseContacts);
    d.settle();
    first.with([](ui::Window& w) { EXPECT_EQ(w.propInt(0, ui::Prop::Iconize), 0) << "restored"; });
    int opened = 0;
    d.gui([&] { opened = static_cast<int>(scheduler::OpenWindowList().size()); });
    EXPECT_EQ(opened, 1);

    int response = 0;
    d.later([&] {
      files::GLOBALREQUEST = ui::SelectRecord;
      response = dialogs::BrowseContacts();
    });
    WindowDriver picker = d.waitWindow("BrowseContacts");
    EXPECT_NE(picker.handle(), first.handle());
    EXPECT_TRUE(picker.shown("?Select"));
    picker.press("?Select");
    d.waitClosed(picker);
    EXPECT_EQ(response, ui::RequestCompleted);
    d.gui([] { EXPECT_EQ(files::C_.LastName.str(), "Lee"); });

    // "Email..." writes a new message to the highlighted contact.
    first.post(1545);
    WindowDriver message = d.waitWindow("UpdateMessages");
    EXPECT_EQ(message.title(), "New E-mail Message");
    EXPECT_EQ(message.text("?M_:EmailTo"), "ann@example.org");
    EXPECT_EQ(message.text("?M_:EmailToName"), "Ann Lee");
    message.press("?Cancel");
    d.waitClosed(message);
    first.close();
    d.waitClosed(first);
  });
}

TEST_F(Contacts, FrameCommandsAvailableOnceRegistered) {
  namespace C = scheduler::Command;
  const int commands[] = {C::Contacts, C::NewContact, C::Messages, C::ContactCategories};
  for (const char* name : {"BrowseContacts", "UpdateContacts", "BrowseMessages", "BrowseContactCategories2Pane"})
    scheduler::registerProgramWindow(name, {});
  for (int command : commands) EXPECT_FALSE(scheduler::CommandAvailable(command));
  dialogs::registerWindows();
  for (int command : commands) EXPECT_TRUE(scheduler::CommandAvailable(command));
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.gui([] { EXPECT_TRUE(scheduler::RunCommand(C::NewContact, {})); });
    WindowDriver form = d.waitWindow("UpdateContacts");
    EXPECT_TRUE(form.shown("?Next")) << "the frame opens the wizard";
    form.press("?Cancel");
    d.waitClosed(form);
  });
}

}  // namespace
