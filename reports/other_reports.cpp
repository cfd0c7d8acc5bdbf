#include "reports/other_reports.h"

#include <algorithm>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/requests.h"
#include "platform/rt/date_time.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "platform/ui/progress_window.h"
#include "reports/criteria.h"
#include "reports/report_common.h"
#include "reports/report_run.h"

namespace ov::reports {

namespace {

using report::Align;
using report::Band;
using report::Canvas;
using report::Layout;

Layout portrait(int width = 7500) {
  Layout l;
  l.header = {500, 500, width, 0};
  l.detail = {500, 1300, width, 9000};
  l.footer = {500, 10400, width, 0};
  l.font.points = 10;
  return l;
}

// ---- category list ------------------------------------------------------------------------------

class CategoryList : public ReportRun {
 public:
  CategoryList() : ReportRun("CategoryListReport", portrait()) {
    report().setHeader({700, [](Canvas& c) {
                          c.text(0, 0, 7500, 220, "Category List", c.font(12, true));
                          headingBar(c, 350, 7500, 220, {{0, "Category"}}, c.font());
                        }});
    report().setFooter({200, [](Canvas& c) {
                          c.text(0, 0, 2000, 200, "Page " + std::to_string(c.pageNumber()), c.font(8));
                        }});
  }

 protected:
  db::FileManager& mainFile() override { return files::Access_CATEGORIES; }
  std::string fileLabel() const override { return "Categories"; }
  db::Key key() override { return files::CAT_KeyCategory; }
  std::string filter() override { return {}; }
  bool hasClosingBand() const override { return false; }
  int previewOption() const override { return 8; }
  std::string title() const override { return "Category List"; }
  void printRecord() override {
    const std::string name = files::CAT.Category.str();
    report().print({260, [name](Canvas& c) {
                      c.text(0, 30, 3000, 200, name);
                      c.line(0, 250, 3000);
                    }});
  }
};

// ---- to-do list ---------------------------------------------------------------------------------

class ToDoReport : public ReportRun {
 public:
  explicit ToDoReport(bool byCategory)
      : ReportRun(byCategory ? "ToDoByCategoryReport" : "ToDoByPriorityReport", portrait()), m_byCategory(byCategory) {
    report().setHeader({650, [this](Canvas& c) {
                          c.text(0, 0, 7500, 220, m_title, c.font(12, true));
                          headingBar(c, 330, 7500, 220,
                                     {{0, "Priority"}, {900, "Category"}, {2500, "To Do"}, {6500, "Done"}}, c.font());
                        }});
    report().setFooter({200, [this](Canvas& c) {
                          c.text(0, 0, 5000, 200, m_runDate);
                          c.text(5500, 0, 2000, 200, "Page " + std::to_string(c.pageNumber()), c.font(),
                                 Align::Right);
                        }});
  }

 protected:
  bool prepare() override {
    if (!m_byCategory) return true;
    files::CAT.Category = "General";
    files::GLOBALREQUEST = 4;
    criteriaDialogs().selectCategories();
    // A cancelled picker ends the run here: nothing further is asked.
    return files::GLOBALRESPONSE == 1;
  }
  void bindNames(rt::Bindings& names) override {
    if (m_byCategory) names.bindRecord(files::Desc_CATEGORIES, &files::CAT);
  }
  db::FileManager& mainFile() override { return files::Access_TODO; }
  std::vector<db::FileManager*> otherFiles() override {
    if (m_byCategory) return {&files::Access_CATEGORIES};
    return {};
  }
  std::string fileLabel() const override { return "Todo"; }
  bool filesOpened() override {
    ReportTitle = m_byCategory ? "To Do List - " + std::string(files::CAT.Category.view()) : std::string();
    files::GLOBALREQUEST = 4;
    criteriaDialogs().setReportTitle();
    return files::GLOBALRESPONSE != 2;  // a cancelled title ends the run before anything is read
  }
  db::Key key() override { return m_byCategory ? files::TDO_KeyCategory : files::TDO_KeyPriority; }
  std::string filter() override {
    return m_byCategory ? "UPPER(TDO:Category) = UPPER(CAT:Category)" : std::string();
  }
  bool hasClosingBand() const override { return false; }
  std::string title() const override { return m_title; }

  void viewOpened() override { m_runDate = rt::FORMAT(rt::TODAY(), "@D18"); }
  void reportOpened() override {
    m_title = m_byCategory ? "To Do List - " + files::CAT.Category.str() : "To Do List - By Priority";
    if (!ReportTitle.isBlank()) m_title = ReportTitle.str();
  }

  void printRecord() override {
    const files::TodoRec& t = files::TDO;
    std::string text = rt::CLIP(t.Notes);
    if (m_byCategory && !rt::CLIP(t.Resolution).empty()) text += "\r" + t.Resolution;
    const bool done = t.Done != 0;
    const std::string priority = rt::FORMAT(t.Priority, "@n2"), category = t.Category.str(), todo = t.ToDo.str(),
                      completed = userDate(t.CompletionDate);
    report().print({280, [=](Canvas& c) {
                      c.check(0, 20, 200, 200, "", done);
                      c.text(300, 20, 500, 200, priority);
                      c.text(900, 20, 1550, 200, category);
                      c.text(2500, 20, 3950, 200, todo);
                      c.text(6500, 20, 1000, 200, completed);
                      if (!text.empty()) c.textBlock(900, 240, 6600, text, c.font(9));
                    }});
  }

 private:
  bool m_byCategory;
  std::string m_title, m_runDate;
};

// ---- contacts -----------------------------------------------------------------------------------

class ContactsRun : public ReportRun {
 public:
  explicit ContactsRun(bool byCategory)
      : ReportRun(byCategory ? "ContactsByCategoryReport" : "ContactsReport", portrait()), m_byCategory(byCategory) {
    report().setHeader({700, [this](Canvas& c) {
                          c.text(0, 0, 4500, 220, m_heading, c.font(12, true));
                          c.text(4500, 0, 2000, 200, m_printed);
                          c.text(6500, 0, 1000, 200, "Page " + std::to_string(c.pageNumber()), c.font(),
                                 Align::Right);
                          if (m_byCategory)
                            headingBar(c, 330, 7500, 220,
                                       {{0, "Category"}, {1500, "Contact Name/Address"}, {4000, "Phone Numbers"},
                                        {5800, "Default Contact/E-Mail/Web"}},
                                       c.font(9));
                          else
                            headingBar(c, 330, 7500, 220,
                                       {{0, "Contact #"}, {900, "Contact Name/Address"}, {4000, "Phone Numbers"},
                                        {6200, "Category"}},
                                       c.font(9));
                          c.line(0, 600, 7500);
                        }});
  }

 protected:
  bool prepare() override {
    m_order = GLO.ContactOrder.str();
    GLO.ContactOrder.clear();
    return true;
  }
  bool hasQueryStep() const override { return true; }
  std::span<const QueryField> queryFields() const override { return contactQueryFields(); }
  std::string queryTable() const override { return "CONTACTS"; }
  void bindNames(rt::Bindings& names) override { names.bindRecord(files::Desc_CONTACTDETAILS, &files::CDT); }
  db::FileManager& mainFile() override { return files::Access_CONTACT; }
  std::vector<db::FileManager*> otherFiles() override { return {&files::Access_CONTACTDETAILS}; }
  std::string fileLabel() const override { return "Contact"; }
  db::Key key() override {
    if (m_order == "Company") return files::C_KeyCompany;
    if (m_order == "First Name") return files::C_KeyFirstName;
    if (m_order == "Last Name") return files::C_KeyLastName;
    m_order = "Category";
    return files::C_KeyCategory;
  }
  // A query over the details selects a contact when any of its details matches it.
  std::string filter() override { return namesDetails() ? std::string() : queryText(); }
  void setRanges(db::ViewManager& view) override {
    if (!namesDetails()) return;
    auto expr = std::make_shared<rt::Expression>();
    rt::ExprError error;
    if (!expr->parse(queryText(), rt::threadBindings(), &error)) {
      ui::MESSAGE("Error: (" + error.message + ") attempting to frame the current VIEW. Filter and Range Limits "
                  "ignored.", "View Open Error", ui::Icon::Exclamation);
      return;
    }
    view.SetFilterHook([expr] {
      const files::ContactDetailRec saved = files::CDT;
      bool any = false, seen = false;
      files::CDT = files::ContactDetailRec{};
      files::CDT.ClientID = files::C_.ClientID;
      if (files::CONTACTDETAILS.setFrom(files::CDT_K_Contact) == rt::Err::None) {
        while (!any && files::CONTACTDETAILS.next() == rt::Err::None && files::CDT.ClientID == files::C_.ClientID) {
          seen = true;
          any = expr->isTrue();
        }
      }
      if (!seen) {
        files::CDT = files::ContactDetailRec{};
        any = expr->isTrue();
      }
      files::CDT = saved;
      return any;
    });
  }
  std::string title() const override { return m_heading; }
  void viewOpened() override {
    m_heading = "Contacts by " + m_order;
    m_count = 0;
  }
  void reportOpened() override {
    m_printed = rt::FORMAT(rt::TODAY(), "@d17") + " " + rt::FORMAT(rt::CLOCK(), "@t7");
  }

  void printRecord() override {
    const files::ContactRec c = files::C_;
    if (m_byCategory && !(c.ContactCategory == m_category.view())) {
      m_category = c.ContactCategory.view();
      const std::string category = m_category.str();
      report().print({300, [category](Canvas& cv) {
                        cv.box(0, 20, 2500, 240);
                        cv.text(60, 50, 2400, 200, category, cv.font(10, true));
                      }});
    }
    std::string name = c.LastName.str();
    if (c.FirstName > std::string_view(" ")) name += ", " + c.FirstName.str();
    if (c.Company > std::string_view(" ")) name += " (" + c.Company.str() + ")";
    ++m_count;
    const bool byCategory = m_byCategory;
    // The e-mail line stands under the postal code and the default contact, clear of both.
    report().print({byCategory ? 900 : 1000, [c, name, byCategory](Canvas& cv) {
                      const int x = byCategory ? 1500 : 900;
                      if (!byCategory) cv.text(0, 0, 800, 170, rt::FORMAT(c.ClientID, "@n_8"));
                      cv.text(x, 0, 2400, 170, name, cv.font(10, true));
                      int y = 170;
                      for (const auto* line : {&c.AddressLine1, &c.AddressLine2, &c.AddressLine3}) {
                        cv.text(x, y, 2400, 160, line->str());
                        y += 160;
                      }
                      cv.text(x, y, 2400, 160, c.PostalCode.str());
                      const std::pair<const char*, std::string> phones[] = {
                          {"Business:", c.WorkDayPhone.str()}, {"Residence:", c.HomeEveningPhone.str()},
                          {"Other:", c.OtherPhone.str()}, {"Fax:", c.Fax.str()}};
                      y = 0;
                      for (const auto& [caption, value] : phones) {
                        cv.text(4000, y, 750, 160, caption, cv.font(9));
                        cv.text(4750, y, byCategory ? 1000 : 1400, 160, value, cv.font(9));
                        y += 160;
                      }
                      if (byCategory) {
                        cv.text(5800, 0, 1700, 160, c.DefaultContact.str(), cv.font(9));
                        cv.text(5800, 160, 1700, 160, c.Email.str(), cv.font(9));
                        cv.text(5800, 320, 1700, 160, c.WebSite.str(), cv.font(9));
                      } else {
                        cv.text(6200, 0, 1300, 160, c.ContactCategory.str(), cv.font(9));
                        cv.text(4000, 660, 1100, 160, "Default Contact:", cv.font(9));
                        cv.text(5100, 660, 900, 160, c.DefaultContact.str(), cv.font(9));
                        cv.text(0, 820, 600, 160, "E-mail:", cv.font(9));
                        cv.text(600, 820, 3300, 160, c.Email.str(), cv.font(9));
                        cv.text(4000, 820, 500, 160, "Web:", cv.font(9));
                        cv.text(4500, 820, 3000, 160, c.WebSite.str(), cv.font(9));
                      }
                    }});
    if (!c.Notes.empty() && !rt::CLIP(c.Notes).empty()) {
      const std::string notes = c.Notes;
      report().print({200, [notes](Canvas& cv) {
                        cv.text(900, 0, 600, 170, "Notes:", cv.font(9, true));
                        cv.textBlock(1500, 0, 6000, notes, cv.font(9));
                      }});
    }
    // The contact's label and value pairs, lowest sequence first.
    files::CDT = files::ContactDetailRec{};
    files::CDT.ClientID = c.ClientID;
    bool first = true;
    if (files::CONTACTDETAILS.setFrom(files::CDT_K_Contact) == rt::Err::None) {
      while (files::CONTACTDETAILS.next() == rt::Err::None && files::CDT.ClientID == c.ClientID) {
        if (first && !m_byCategory)
          report().print({180, [](Canvas& cv) { cv.text(900, 0, 1000, 170, "Details:", cv.font(9, true)); }});
        first = false;
        std::string label = files::CDT.DataLabel.str();
        if (label.find(':') == std::string::npos) label += ":";
        const std::string value = files::CDT.DataValue.str();
        report().print({170, [label, value](Canvas& cv) {
                          cv.text(1500, 0, 2000, 160, label, cv.font(9));
                          cv.text(3500, 0, 4000, 160, value, cv.font(9));
                        }});
      }
    }
    if (!m_byCategory) report().print({120, [](Canvas& cv) { cv.line(0, 60, 7500, 0, report::kLightGrey); }});
  }

  void printClosing() override {
    const int64_t count = m_count;
    report().print({300, [count](Canvas& cv) {
                      cv.text(0, 60, 1500, 200, "Contacts Printed:", cv.font(10, true));
                      cv.text(1500, 60, 1000, 200, rt::FORMAT(count, "@n_4"));
                    }});
  }

  void cancelled() override {
    openReport();
    report().print({300, [](Canvas& cv) {
                      cv.text(0, 60, 7500, 200, "** REPORT CANCELLED BY OPERATOR **", cv.font(10, true), Align::Center);
                    }});
  }

 private:
  bool namesDetails() const { return rt::UPPER(queryText()).find("CDT:") != std::string::npos; }

  bool m_byCategory;
  std::string m_order, m_heading, m_printed;
  rt::String<20> m_category;
  int64_t m_count = 0;
};

// ---- scheduled e-mail messages ----------------------------------------------------------------

bool isSendEmail(const files::ScriptingRec& s) {
  const std::string a = s.Action.str();
  return a == "Send Email" || a == "Send E-mail";
}

void addPair(std::vector<ScheduledEmail>& queue, ScheduledEmail e) {
  auto less = [](const ScheduledEmail& a, const ScheduledEmail& b) {
    return a.EMAIL_ID != b.EMAIL_ID ? a.EMAIL_ID < b.EMAIL_ID : a.SCH_ID < b.SCH_ID;
  };
  auto it = std::lower_bound(queue.begin(), queue.end(), e, less);
  if (it == queue.end() || !(*it == e)) queue.insert(it, e);
}

// One task of the scan: its "OVEMAIL" command, or its script's "Send Email" steps.
void scanTask(std::vector<ScheduledEmail>& queue) {
  const files::ScheduleRec& t = files::SCH;
  const std::string command(t.Command.view());
  if (command.compare(0, 7, "OVEMAIL") == 0) {
    const std::string number = rt::CLIP(rt::SUB(command, 8, 8));
    const int32_t id = rt::NUMERIC(number) ? static_cast<int32_t>(rt::textToNumber(number)) : 0;
    addPair(queue, {t.ID, id});
    return;
  }
  const std::string type = t.TaskType.str();
  if (type == "Display Message" || type == "None") return;
  files::SCR = files::ScriptingRec{};
  files::SCR.ID = t.ID;
  if (files::SCRIPTING.setFrom(files::SCR_KeyID) != rt::Err::None) return;
  while (files::SCRIPTING.next() == rt::Err::None && files::SCR.ID == t.ID)
    if (isSendEmail(files::SCR)) addPair(queue, {t.ID, files::SCR.EmailID});  // every sending task counts
}

class EmailsRun : public ReportRun {
 public:
  EmailsRun() : ReportRun("ScheduledEmailsReport", portrait()) {
    report().setHeader({400, [](Canvas& c) { c.text(0, 0, 7500, 240, "Scheduled E-mail Messages", c.font(12, true)); }});
    report().setFooter({200, [](Canvas& c) { c.text(0, 0, 2000, 200, "Page " + std::to_string(c.pageNumber())); }});
  }

 protected:
  bool prepare() override {
    FindEmailMessages_Schedule(m_queue);
    if (m_queue.empty()) {
      ui::MESSAGE("Nothing to print.", "Scheduled E-mails");
      return false;
    }
    return true;
  }
  void bindNames(rt::Bindings& names) override {
    names.bindRecord(files::Desc_SCHEDULE, &files::SCH);
    names.bindRecord(files::Desc_SCRIPTING, &files::SCR);
  }
  db::FileManager& mainFile() override { return files::Access_MESSAGES; }
  std::vector<db::FileManager*> otherFiles() override { return {&files::Access_SCHEDULE, &files::Access_SCRIPTING}; }
  bool filesOpened() override {
    m_savedSchedule = files::SCHEDULE.saveBuffer();
    m_savedScripting = files::SCRIPTING.saveBuffer();
    return true;
  }
  std::string fileLabel() const override { return "Messages"; }
  db::Key key() override { return files::M_KeyContact; }
  std::string filter() override { return {}; }
  std::string title() const override { return "Scheduled E-mail Messages"; }

  void printRecord() override {
    const files::MessageRec m = files::M_;
    auto first = std::find_if(m_queue.begin(), m_queue.end(),
                              [&](const ScheduledEmail& e) { return e.EMAIL_ID == m.EmailID; });
    if (first == m_queue.end()) return;
    report().print({1500, [m](Canvas& c) {
                      const std::pair<const char*, std::string> rows[] = {
                          {"Mail Type:", m.MailType.str()},     {"Mail Format:", m.MailFormat.str()},
                          {"Category:", m.EmailToGroup.str()},  {"Email To:", m.EmailTo.str()},
                          {"Email To Name:", m.EmailToName.str()}, {"CC:", m.CC.str()},
                          {"BCC:", m.BCC.str()},                {"Subject:", m.Subject.str()},
                          {"HTML File:", m.HTMLFile.str()},     {"Attachment:", m.Attachment.str()}};
                      int y = 0;
                      for (const auto& [label, value] : rows) {
                        c.text(0, y, 1300, 150, label, c.font(9, true));
                        c.text(1300, y, 6200, 150, value, c.font(9));
                        y += 150;
                      }
                    }});
    const std::string body = m.Message;
    report().print({200, [body](Canvas& c) {
                      c.text(0, 0, 1300, 150, "Message:", c.font(9, true));
                      c.textBlock(1300, 0, 6200, body, c.font(9));
                    }});
    if (!m.Sender.isBlank() || !m.SenderName.isBlank() || !m.Mail_Server.isBlank() || !m.News_Server.isBlank() ||
        !m.News_User.isBlank() || !m.News_Password.isBlank())
      report().print({780, [m](Canvas& c) {
                        const std::pair<const char*, std::string> rows[] = {
                            {"Sender:", m.Sender.str()},         {"Sender Name:", m.SenderName.str()},
                            {"Mail : Server:", m.Mail_Server.str()}, {"News : Server:", m.News_Server.str()},
                            {"News : User:", m.News_User.str()}};
                        int y = 0;
                        for (const auto& [label, value] : rows) {
                          c.text(0, y, 1300, 150, label, c.font(9, true));
                          c.text(1300, y, 6200, 150, value, c.font(9));
                          y += 150;
                        }
                      }});
    bool caption = true;
    const files::ScheduleRec saved = files::SCH;
    for (auto it = first; it != m_queue.end() && it->EMAIL_ID == m.EmailID; ++it) {
      files::SCH.ID = it->SCH_ID;
      if (files::SCHEDULE.get(files::SCH_KeyID) != rt::Err::None) break;
      const std::string date = userDate(files::SCH.Date), time = userTime(files::SCH.Time),
                        category = files::SCH.Category.str(), description = files::SCH.Description.str();
      report().print({200, [=](Canvas& c) {
                        if (caption) c.text(0, 0, 1000, 170, "Scheduled:", c.font(9, true));
                        c.text(1000, 0, 1100, 170, date, c.font(9));
                        c.text(2100, 0, 800, 170, time, c.font(9));
                        c.text(2900, 0, 1500, 170, category, c.font(9));
                        c.text(4400, 0, 3100, 170, description, c.font(9));
                      }});
      caption = false;
    }
    files::SCH = saved;
    report().print({150, [](Canvas& c) { c.line(0, 75, 7500, 0, report::kLightGrey); }});
  }

  void printClosing() override {
    files::SCHEDULE.restoreBuffer(m_savedSchedule);
    files::SCRIPTING.restoreBuffer(m_savedScripting);
    ReportRun::printClosing();
  }

 private:
  std::vector<ScheduledEmail> m_queue;
  db::RecordImage m_savedSchedule, m_savedScripting;
};

}  // namespace

void FindEmailMessages_Schedule(std::vector<ScheduledEmail>& queue, bool withWindow) {
  if (files::Access_SCHEDULE.Open() != rt::Err::None) return;
  if (files::Access_SCRIPTING.Open() != rt::Err::None) {
    (void)files::Access_SCHEDULE.Close();
    return;
  }
  (void)files::SCHEDULE.send("QUICKSCAN=on");
  const int64_t total = std::max<int64_t>(1, files::SCHEDULE.records());
  int64_t done = 0;
  files::SCH = files::ScheduleRec{};
  files::SCH.Disabled = 0;
  files::SCH.Date = INT32_MIN;
  files::SCH.Time = INT32_MIN;
  bool ok = files::SCHEDULE.setFrom(files::SCH_KeyDateEnabled) == rt::Err::None;
  auto step = [&](int tasks) {
    for (int i = 0; ok && i < tasks; ++i) {
      if (files::SCHEDULE.next() != rt::Err::None || files::SCH.Disabled != 0) return false;
      ++done;
      scanTask(queue);
    }
    return ok;
  };
  if (withWindow) {
    ui::ProgressWindow progress(
        "Processing Records",
        [&](ui::ProgressWindow& w) {
          const bool more = step(25);
          w.setProgress(done, total);
          return more ? ui::ProgressWindow::Step::More : ui::ProgressWindow::Step::Done;
        },
        "FindEmailMessages:Schedule");
    progress.setText("Reading schedule...");
    progress.Run();
  } else {
    while (step(100)) {
    }
  }
  (void)files::SCHEDULE.send("QUICKSCAN=off");
  (void)files::Access_SCRIPTING.Close();
  (void)files::Access_SCHEDULE.Close();
}

int CategoryListReport() { return CategoryList().Run(); }
int ToDoByPriorityReport() { return ToDoReport(false).Run(); }
int ToDoByCategoryReport() { return ToDoReport(true).Run(); }
int ContactsReport() { return ContactsRun(false).Run(); }
int ContactsByCategoryReport() { return ContactsRun(true).Run(); }
int ScheduledEmailsReport() { return EmailsRun().Run(); }

}  // namespace ov::reports
