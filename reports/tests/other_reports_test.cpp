#include "reports/other_reports.h"

#include <gtest/gtest.h>

#include "reports/criteria.h"
#include "reports/report_common.h"
#include "reports/tests/fixture.h"
#include "reports/tests/output_recorder.h"

namespace ov::reports {
namespace {

using testing::at;
using testing::linesWith;
using testing::OutputRecorder;
using ui::BUTTON::No;
using ui::BUTTON::Ok;
using ui::BUTTON::Yes;

class OtherReports : public testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    m_saved = criteriaDialogs();
    criteriaDialogs().selectCategories = [this] {
      ++m_pickerShown;
      files::CAT.Category = m_pick;
      files::GLOBALRESPONSE = m_pick.empty() ? 2 : 1;
    };
    criteriaDialogs().setReportTitle = [this] {
      m_offeredTitle = ReportTitle.str();
      ReportTitle = m_title;
      files::GLOBALRESPONSE = m_cancelTitle ? 2 : 1;
    };
  }
  void TearDown() override {
    criteriaDialogs() = m_saved;
    DataFolder::TearDown();
  }

  void addToDo(int priority, bool done, const char* category, const char* text, const char* notes,
               const char* resolution = "") {
    ASSERT_EQ(files::Access_TODO.Open(), rt::Err::None);
    files::TDO = files::TodoRec{};
    files::TDO.Priority = static_cast<uint8_t>(priority);
    files::TDO.Done = done;
    files::TDO.Category = category;
    files::TDO.ToDo = text;
    files::TDO.Notes = notes;
    files::TDO.Resolution = resolution;
    ASSERT_EQ(files::Access_TODO.Insert(), rt::Err::None);
    (void)files::Access_TODO.Close();
  }

  int32_t addContact(const char* last, const char* first, const char* company, const char* category,
                     const char* notes = "") {
    EXPECT_EQ(files::Access_CONTACT.Open(), rt::Err::None);
    files::C_ = files::ContactRec{};
    EXPECT_EQ(files::Access_CONTACT.PrimeRecord(), rt::Err::None);
    files::C_.LastName = last;
    files::C_.FirstName = first;
    files::C_.Company = company;
    files::C_.ContactCategory = category;
    files::C_.Notes = notes;
    EXPECT_EQ(files::Access_CONTACT.Insert(), rt::Err::None);
    const int32_t id = files::C_.ClientID;
    (void)files::Access_CONTACT.Close();
    return id;
  }

  void addDetail(int32_t client, int sequence, const char* label, const char* value) {
    ASSERT_EQ(files::Access_CONTACTDETAILS.Open(), rt::Err::None);
    files::CDT.ClientID = client;
    files::CDT.Sequence = sequence;
    files::CDT.DataLabel = label;
    files::CDT.DataValue = value;
    ASSERT_EQ(files::Access_CONTACTDETAILS.Insert(), rt::Err::None);
    (void)files::Access_CONTACTDETAILS.Close();
  }

  std::string m_pick, m_title, m_offeredTitle;
  bool m_cancelTitle = false;
  int m_pickerShown = 0;

 private:
  CriteriaDialogs m_saved;
};

TEST_F(OtherReports, CategoryListPrintsTheNamesInOrderOrNothing) {
  OutputRecorder out(dir());
  {
    ui::test::ScriptedHost host;
    host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
    host.expectMessage("Nothing to Preview.", Ok);
    EXPECT_EQ(CategoryListReport(), 2);
  }
  EXPECT_TRUE(out.previews.empty());
  addCategory("Work");
  addCategory("Errands");
  addCategory("Home");
  {
    ui::test::ScriptedHost host;
    host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
    CategoryListReport();
  }
  ASSERT_EQ(out.previews.size(), 1u);
  EXPECT_EQ(out.previews[0].option, 8);
  const std::string& text = out.previews[0].text;
  EXPECT_NE(at(text, "Category List"), std::string::npos) << text;
  ASSERT_NE(at(text, "Errands"), std::string::npos) << text;
  EXPECT_LT(at(text, "Errands"), at(text, "Home"));
  EXPECT_LT(at(text, "Home"), at(text, "Work"));
}

TEST_F(OtherReports, ToDoByPriorityListsOpenItemsFirstWithTheirNotes) {
  addToDo(2, false, "Home", "Fix the tap", "Washer size 12", "Done by plumber");
  addToDo(1, true, "Work", "Send invoice", "");
  addToDo(1, false, "Work", "Call the bank", "");
  OutputRecorder out(dir());
  ui::test::ScriptedHost host;
  host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
  ToDoByPriorityReport();
  EXPECT_EQ(m_offeredTitle, "");
  ASSERT_EQ(out.previews.size(), 1u);
  const std::string& text = out.previews[0].text;
  EXPECT_NE(at(text, "To Do List - By Priority"), std::string::npos) << text;
  ASSERT_NE(at(text, "Call the bank"), std::string::npos) << text;
  EXPECT_LT(at(text, "Call the bank"), at(text, "Send invoice"));  // open before done
  EXPECT_LT(at(text, "Send invoice"), at(text, "Fix the tap"));
  EXPECT_NE(at(text, "Washer size 12"), std::string::npos);
  EXPECT_EQ(at(text, "Done by plumber"), std::string::npos);  // no resolution in this report
  EXPECT_NE(at(text, "Tuesday, March 10, 2026"), std::string::npos) << text;  // the run date, long form
}

TEST_F(OtherReports, ToDoByCategoryTakesThePickedCategoryWhateverItsCase) {
  addToDo(3, false, "home", "Paint fence", "Buy paint", "Used white");
  addToDo(1, true, "Home", "Mow lawn", "");
  addToDo(1, false, "Work", "Report", "");
  m_pick = "Home";
  m_title = "Weekend jobs";
  OutputRecorder out(dir());
  ui::test::ScriptedHost host;
  host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
  ToDoByCategoryReport();
  EXPECT_EQ(m_offeredTitle, "To Do List - Home");
  ASSERT_EQ(out.previews.size(), 1u);
  const std::string& text = out.previews[0].text;
  EXPECT_NE(at(text, "Weekend jobs"), std::string::npos) << text;
  EXPECT_EQ(at(text, "Report"), std::string::npos);
  ASSERT_NE(at(text, "Mow lawn"), std::string::npos) << text;
  EXPECT_LT(at(text, "Mow lawn"), at(text, "Paint fence"));
  EXPECT_LT(at(text, "Buy paint"), at(text, "Used white"));  // notes, a line break, the resolution
}

TEST_F(OtherReports, ACancelledPickerOrTitleEndsTheToDoReportAtOnce) {
  addToDo(1, false, "Home", "Anything", "");
  OutputRecorder out(dir());
  {
    ui::test::ScriptedHost host;  // no preview question after a cancelled picker
    EXPECT_EQ(ToDoByCategoryReport(), 2);
  }
  m_pick = "Home";
  m_cancelTitle = true;
  {
    ui::test::ScriptedHost host;
    host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
    EXPECT_EQ(ToDoByCategoryReport(), 2);
  }
  EXPECT_TRUE(out.previews.empty());
  EXPECT_EQ(m_pickerShown, 2);
}

TEST_F(OtherReports, ContactsPrintNameLinesDetailsAndTheirCount) {
  const int32_t smith = addContact("Smith", "Anna", "Acme", "Friends", "Met at the fair");
  addContact("Brown", "", "Globex", "Work");
  const int32_t jones = addContact("Jones", "", "", "Work");
  addDetail(smith, 1, "Birthday", "1 May");
  addDetail(smith, 2, "Tel: home", "555-1234");
  addDetail(jones, 1, "Mobile:", "555-9999");
  OutputRecorder out(dir());
  GLO.ContactOrder = "Last Name";
  {
    ui::test::ScriptedHost host;
    host.expectMessage("Would you like to apply a query to this report?", No);
    host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
    ContactsReport();
  }
  EXPECT_TRUE(GLO.ContactOrder.isBlank());
  ASSERT_EQ(out.previews.size(), 1u);
  std::string text = out.previews[0].text;
  EXPECT_NE(at(text, "Contacts by Last Name"), std::string::npos) << text;
  EXPECT_NE(at(text, "Brown (Globex)"), std::string::npos) << text;
  EXPECT_NE(at(text, "Smith, Anna (Acme)"), std::string::npos);
  ASSERT_FALSE(linesWith(text, "Jones").empty());
  EXPECT_LT(at(text, "Brown"), at(text, "Jones"));
  EXPECT_LT(at(text, "Jones"), at(text, "Smith"));
  EXPECT_NE(at(text, "Birthday:"), std::string::npos);
  EXPECT_NE(at(text, "Tel: home"), std::string::npos);
  EXPECT_EQ(at(text, "Tel: home:"), std::string::npos);
  EXPECT_EQ(at(text, "Mobile::"), std::string::npos);
  EXPECT_NE(at(text, "Met at the fair"), std::string::npos);
  EXPECT_EQ(linesWith(text, "Notes:").size(), 1u);    // Smith only
  EXPECT_EQ(linesWith(text, "Details:").size(), 2u);  // Smith and Jones
  EXPECT_EQ(linesWith(text, "Contacts Printed:").size(), 1u);
  EXPECT_NE(linesWith(text, "Contacts Printed:")[0].find("3"), std::string::npos);

  // Grouped by category: a band per category; a query over the details selects by any detail.
  {
    ui::test::ScriptedHost host;
    host.expectMessage("Would you like to apply a query to this report?", Yes);
    host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
    testing::runWithQueryWizard([] { ContactsByCategoryReport(); }, [](ui::test::WindowDriver& q) {
      testing::addQueryCondition(q, "?And", "Value", "Is Equal To", "555-9999");
      testing::addQueryCondition(q, "?Or", "Last Name", "Is Equal To", "smith");  // case ignored
      q.press("?Finish");
    });
  }
  ASSERT_EQ(out.previews.size(), 2u);
  text = out.previews[1].text;
  EXPECT_NE(at(text, "Contacts by Category"), std::string::npos) << text;
  EXPECT_NE(at(text, "Friends"), std::string::npos);
  EXPECT_NE(at(text, "Jones"), std::string::npos);
  EXPECT_EQ(at(text, "Brown"), std::string::npos);
  EXPECT_LT(at(text, "Friends"), at(text, "Smith"));
  EXPECT_LT(at(text, "Smith"), at(text, "Work"));
  EXPECT_LT(at(text, "Work"), at(text, "Jones"));
  EXPECT_EQ(at(text, "Details:"), std::string::npos);
}

class ScheduledEmails : public OtherReports {
 protected:
  void addMessage(int32_t id, int32_t contact, const char* subject, const char* sender = "") {
    ASSERT_EQ(files::Access_MESSAGES.Open(), rt::Err::None);
    files::M_ = files::MessageRec{};
    ASSERT_EQ(files::Access_MESSAGES.PrimeRecord(), rt::Err::None);
    files::M_.EmailID = id;
    files::M_.ContactID = contact;
    files::M_.Subject = subject;
    files::M_.Sender = sender;
    files::M_.Message = std::string("Body of ") + subject;
    ASSERT_EQ(files::Access_MESSAGES.Insert(), rt::Err::None);
    (void)files::Access_MESSAGES.Close();
  }
  int32_t task(const char* description, const char* type, const char* command, int day) {
    int32_t id = 0;
    addTask([&](files::ScheduleRec& t) {
      t.Description = description;
      t.TaskType = type;
      t.Command = command;
      t.Date = today() + day;
    });
    ([&] {
      ASSERT_EQ(files::Access_SCHEDULE.Open(), rt::Err::None);
      (void)files::SCHEDULE.set(files::SCH_KeyID);
      while (files::SCHEDULE.next() == rt::Err::None) id = std::max(id, files::SCH.ID);
      (void)files::Access_SCHEDULE.Close();
    })();
    return id;
  }
  void step(int32_t taskId, int sequence, const char* action, int32_t email) {
    ASSERT_EQ(files::Access_SCRIPTING.Open(), rt::Err::None);
    files::SCR = files::ScriptingRec{};
    files::SCR.ID = taskId;
    files::SCR.Sequence = sequence;
    files::SCR.Action = action;
    files::SCR.EmailID = email;
    ASSERT_EQ(files::Access_SCRIPTING.Insert(), rt::Err::None);
    (void)files::Access_SCRIPTING.Close();
  }
};

TEST_F(ScheduledEmails, FindsTheTasksThatSendEachMessage) {
  const int32_t a = task("A ovemail 7", "Run Program", "OVEMAIL7", 3);
  const int32_t b = task("B ovemail 7", "Run Program", "OVEMAIL 7", 1);
  const int32_t c = task("C script", "Run Script", "", 2);
  const int32_t d = task("D script", "Run Script", "", 4);
  const int32_t e = task("E message with step", "Display Message", "", 1);
  const int32_t f = task("F lower case", "Run Program", "ovemail9", 1);
  const int32_t g = task("G no number", "Run Program", "OVEMAIL", 1);
  const int32_t h = task("H disabled", "Run Program", "OVEMAIL5", 1);
  step(c, 1, "Send Email", 9);
  step(c, 2, "Pause", 0);
  step(d, 1, "Send E-mail", 9);
  step(e, 1, "Send Email", 9);
  (void)f;
  ASSERT_EQ(files::Access_SCHEDULE.Open(), rt::Err::None);
  files::SCH.ID = h;
  ASSERT_EQ(files::SCHEDULE.get(files::SCH_KeyID), rt::Err::None);
  files::SCH.Disabled = 1;
  ASSERT_EQ(files::SCHEDULE.put(), rt::Err::None);
  (void)files::Access_SCHEDULE.Close();

  std::vector<ScheduledEmail> queue;
  FindEmailMessages_Schedule(queue, false);
  // Both script tasks send message 9: each is listed, not only the first found.
  const std::vector<ScheduledEmail> want{{g, 0}, {std::min(a, b), 7}, {std::max(a, b), 7}, {c, 9}, {d, 9}};
  EXPECT_EQ(queue, want);
}

TEST_F(ScheduledEmails, ReportListsEachSentMessageWithItsTasks) {
  OutputRecorder out(dir());
  {
    ui::test::ScriptedHost host;  // nothing sends a message: one box, no preview question
    host.expectMessage("Nothing to print.", Ok);
    EXPECT_EQ(ScheduledEmailsReport(), 2);
  }
  const int32_t a = task("Monthly newsletter", "Run Program", "OVEMAIL7", 3);
  task("Weekly newsletter", "Run Program", "OVEMAIL7", 1);
  addMessage(7, 2, "News of the month", "news@example.org");
  addMessage(8, 1, "Never sent");
  (void)a;
  {
    ui::test::ScriptedHost host;
    host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
    ScheduledEmailsReport();
  }
  ASSERT_EQ(out.previews.size(), 1u);
  const std::string& text = out.previews[0].text;
  EXPECT_NE(at(text, "Scheduled E-mail Messages"), std::string::npos) << text;
  EXPECT_NE(at(text, "News of the month"), std::string::npos) << text;
  EXPECT_EQ(at(text, "Never sent"), std::string::npos);
  EXPECT_NE(at(text, "Body of News of the month"), std::string::npos);
  EXPECT_NE(at(text, "news@example.org"), std::string::npos);
  EXPECT_EQ(linesWith(text, "Scheduled:").size(), 1u);  // the caption on the first task line only
  ASSERT_NE(at(text, "Monthly newsletter"), std::string::npos);
  EXPECT_LT(at(text, "Monthly newsletter"), at(text, "Weekly newsletter"));  // task id order
}

}  // namespace
}  // namespace ov::reports
