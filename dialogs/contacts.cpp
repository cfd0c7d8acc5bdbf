#include "dialogs/contacts.h"

#include <cstddef>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "datalib/config.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "dialogs/contact_categories.h"
#include "dialogs/contact_text.h"
#include "dialogs/messages.h"
#include "dialogs/record_form.h"
#include "dialogs/single_instance.h"
#include "editors/calendar.h"
#include "editors/explore_binding.h"
#include "editors/item_sequence.h"
#include "editors/style_window_controls.h"
#include "platform/files/view_manager.h"
#include "platform/rt/date_time.h"
#include "platform/rt/expr.h"
#include "platform/rt/process.h"
#include "platform/rt/queue.h"
#include "platform/rt/text.h"
#include "platform/ui/browse_class.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/locator_class.h"
#include "platform/ui/prop.h"
#include "platform/ui/query_class.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "scheduler/main_frame.h"
#include "scheduler/services.h"
#include "scheduler/window_utils.h"
#include "winclasses/colour_tab_class.h"
#include "winclasses/qv_mouse_wheel_class.h"
#include "winclasses/entry_completion_class.h"
#include "winclasses/form_wizard_class.h"
#include "winclasses/req_fld_class.h"

namespace ov::dialogs {

namespace {

using files::C_;
using files::CC;
using files::CDT;
using files::SCH;

constexpr int kHistoryKey = 734;
constexpr int32_t kSelectedTabColour = 10987431;
constexpr int kReminderDays = 10;
constexpr const char* kReminderText = "Contact:";
constexpr const char* kReminderTaskType = "Display Message";
constexpr int kEmailEvent = 1545;

// The contact written last, which the history key brings back.
files::ContactRec& lastContact() {
  static files::ContactRec last;
  return last;
}

// Posts EVENT:RefreshAll to the threads that show tasks and to the frame.
void refreshTaskViews() {
  scheduler::BroadcastRefresh();
  if (scheduler::services().post)
    scheduler::services().post(scheduler::kEventRefreshAll, scheduler::kFrameThread);
  else
    ui::POST(scheduler::kEventRefreshAll, 0, scheduler::kFrameThread);
}

// ---- the form's details list --------------------------------------------------------------------

struct DetailRow {
  rt::String<30> DataLabel;
  rt::String<90> DataValue;
  int32_t Sequence = 0;
  int32_t ClientID = 0;
};
const rt::FieldDesc kDetailRowFields[] = {
    {"CDT:DataLabel", rt::FieldType::String, 30, 0, offsetof(DetailRow, DataLabel)},
    {"CDT:DataValue", rt::FieldType::String, 90, 30, offsetof(DetailRow, DataValue)},
    {"CDT:Sequence", rt::FieldType::Long, 4, 120, offsetof(DetailRow, Sequence)},
    {"CDT:ClientID", rt::FieldType::Long, 4, 124, offsetof(DetailRow, ClientID)},
};
const rt::RecordDesc kDetailRow{"ContactDetailRow", kDetailRowFields, 128};

// The labels of the contact that owns the physically last detail record, in that contact's
// order; none when there are no details.
std::vector<std::string> seedLabels() {
  std::vector<std::string> labels;
  const files::ContactDetailRec keep = CDT;
  int32_t owner = 0;
  bool any = false;
  rt::Err err = files::CONTACTDETAILS.set();
  while (err == rt::Err::None && (err = files::CONTACTDETAILS.next()) == rt::Err::None) {
    owner = CDT.ClientID;
    any = true;
  }
  if (any) {
    CDT.ClientID = owner;
    CDT.Sequence = 0;
    err = files::CONTACTDETAILS.setFrom(files::CDT_K_Contact);
    while (err == rt::Err::None && (err = files::CONTACTDETAILS.next()) == rt::Err::None && CDT.ClientID == owner)
      labels.push_back(CDT.DataLabel.str());
  }
  CDT = keep;
  return labels;
}

// Removes every detail of contact `client` (the details of a new contact that was not stored).
void deleteDetails(int32_t client) {
  const files::ContactDetailRec keep = CDT;
  for (;;) {
    CDT.ClientID = client;
    CDT.Sequence = 0;
    if (files::CONTACTDETAILS.setFrom(files::CDT_K_Contact) != rt::Err::None) break;
    if (files::CONTACTDETAILS.next() != rt::Err::None || CDT.ClientID != client) break;
    if (files::Access_CONTACTDETAILS.Delete() != rt::Err::None) break;
  }
  CDT = keep;
}

// ---- the form -----------------------------------------------------------------------------------

class UpdateContactsForm : public ui::WindowManager {
 public:
  UpdateContactsForm()
      : ui::WindowManager("UpdateContacts"), m_file(files::Relate_CONTACT), m_detailView(files::Access_CONTACTDETAILS) {}

  ui::Level Init() override {
    int request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    if (request == 0) {
      m_wizard = true;
      request = ui::InsertRecord;
    }
    m_viewOnly = request == ui::ViewRecord;
    m_deleting = request == ui::DeleteRecord;
    Request = m_viewOnly ? ui::ChangeRecord : request;
    HistoryKey = kHistoryKey;
    AddUpdateFile(m_file);
    if (files::Relate_CONTACT.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;
    // Typed categories are looked up and completed from their file.
    if (files::Relate_CONTACTCATEGORIES.Open() != rt::Err::None) return ui::Level::Fatal;
    m_categoriesOpened = true;
    if (Request == ui::InsertRecord) {
      if (!files::Access_CONTACT.hasReservation() && m_file.PrimeRecord(false) != rt::Err::None) return ui::Level::Fatal;
      m_newClient = C_.ClientID;
      for (const std::string& label : seedLabels()) {
        if (files::Access_CONTACTDETAILS.PrimeRecord() != rt::Err::None) break;
        CDT.ClientID = m_newClient;
        CDT.DataLabel = label;
        if (files::Access_CONTACTDETAILS.Insert() != rt::Err::None) break;
      }
    }
    if (m_wizard) requestReminder();

    ui::Window& w = window();
    w.at(-1, -1, 340, 200).minSize(331, 180).resizable();
    m_sheet = w.sheet("?CurrentTab").at(4, 4, 332, 170).feq();
    declareBasic(w);
    declareDetails(w);
    declareNotes(w);
    declareSchedule(w);
    m_reminderButton = w.button("?ScheduleReminder", "").at(4, 180, 20, 14).icon("0msgwz2.ico")
                           .tip("Schedule a message for this contact.").feq();
    m_back = w.button("?Back", "&Back").at(146, 180, 45, 14).feq();
    m_next = w.button("?Next", "&Next").at(194, 180, 45, 14).feq();
    OkControl = w.button("?OK", "&OK").setDefault().at(242, 180, 45, 14).icon("OK.ICO").feq();
    CancelControl = w.button("?Cancel", "Cancel").at(290, 180, 45, 14).icon("CANCEL.ICO").feq();
    addHistoryFields();
    w.setTitle(formTitle(Request, m_viewOnly, "Contact"));
    showReminderPage();
    Open();

    m_steps.Init(m_sheet, m_back, m_next, OkControl, CancelControl, true, false, false, m_wizard ? 1 : 2);
    if (m_wizard) {
      for (int feq : m_wizardLines) w.setProp(feq, ui::Prop::Hide, 0);
      w.setProp(m_insertDetail, ui::Prop::Text, "New");
      C_.DefaultContact = "None";
      w.setProp(m_reminderButton, ui::Prop::Hide, 1);
      w.display();
    }
    m_required.Init("Missing Information", "@PROMPT must be entered.", false);
    m_required.AddField(m_lastName, "C_:LastName", "Last Name", "", "Last Name", true);
    m_required.AddField(m_date, "LOC:Date", "Next Date to Perform Task", "", "Next Date to Perform Task", true);
    m_required.AddField(m_time, "LOC:Time", "Next Time to Perform Task", "", "Next Time to Perform Task", true);
    m_completion.Init(C_.ContactCategory, m_category, CC.ContactCategory, false, files::Access_CONTACTCATEGORIES,
                      files::CC_KeyContactCategories);
    m_position.Init(*this, files::globalIni(), true);
    m_tabs.Init(kSelectedTabColour, -1, 0, -1, -1, 0, 0);
    m_wheel.Init();
    m_tabs.ColourTabs();
    if (m_viewOnly || m_deleting) style();
    if (m_deleting) FirstField = CancelControl;  // the focus as the window opens
    return ui::Level::Benign;
  }

  void Reset(bool force) override {
    ui::WindowManager::Reset(force);
    if (m_viewOnly || m_deleting) style();
  }

  ui::Level TakeEvent() override {
    if (window().isOpen()) m_completion.TakeEvent();
    return ui::WindowManager::TakeEvent();
  }

  ui::Level TakeFieldEvent() override {
    if (ui::FIELD() == m_detailList && ui::EVENT() == ui::EVENT::Drop) dropDetail();
    return ui::WindowManager::TakeFieldEvent();
  }

  ui::Level TakeNewSelection() override {
    if (ui::FIELD() == m_sheet) {
      if (window().isShown(m_detailList)) ui::SELECT(m_detailList);
      m_tabs.ColourTabs();
      if (m_viewOnly || m_deleting) ui::SELECT(CancelControl);
    }
    return ui::WindowManager::TakeNewSelection();
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == m_category && !isAcceptAllPass() && !m_viewOnly && !m_deleting) {
      if (!acceptCategory()) {
        ui::SELECT(m_category);
        return ui::Level::Notify;
      }
      window().display();
      return ui::Level::Notify;
    }
    if (isAcceptAllPass()) return ui::WindowManager::TakeAccepted();
    if (feq == m_categoryLookup) {
      Update();
      pickCategory();
      return ui::Level::Notify;
    }
    if (feq == m_reminderButton) {
      Update();
      requestReminder();
      showReminderPage();
      window().setProp(m_reminderLine, ui::Prop::Hide, 1);
      window().setProp(m_reminderButton, ui::Prop::Hide, 1);
      window().display();
      if (m_viewOnly || m_deleting) style();
      return ui::Level::Notify;
    }
    if (feq == m_dateLookup) {
      Update();
      m_dateValue = editors::Calendar(m_dateValue, "None", "Select Starting Date");
      window().display(m_date);
      return ui::Level::Notify;
    }
    if (feq == m_back) {
      m_steps.TakeAccepted();
      showWizardPage();
      return ui::Level::Notify;
    }
    if (feq == m_next) {
      Update();
      if (m_required.Incomplete(true)) {
        m_steps.CURTABNUM = static_cast<int32_t>(window().propInt(m_sheet, ui::Prop::Selected));
        m_steps.TakeNewSelection();
        return ui::Level::Notify;
      }
      m_steps.TakeAccepted();
      showWizardPage();
      return ui::Level::Notify;
    }
    if (feq == m_up || feq == m_top || feq == m_down || feq == m_bottom) {
      moveDetail(feq);
      return ui::Level::Notify;
    }
    if (feq == OkControl && !m_deleting && !m_viewOnly && m_required.Incomplete(false)) return ui::Level::Notify;
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level TakeCompleted() override {
    const ui::Level rv = ui::WindowManager::TakeCompleted();
    if (Response == ui::RequestCompleted && !m_deleting) {
      m_newClient = 0;  // the details now belong to the stored contact
      lastContact() = C_;
      if (m_reminder) writeReminderTask();
    }
    return rv;
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    // The details given to a new contact that was not stored would pass to the next contact
    // that is given its number.
    if (m_newClient != 0 && Response != ui::RequestCompleted) deleteDetails(m_newClient);
    m_required.Kill();
    m_tabs.Kill();
    m_wheel.Kill();
    m_steps.Kill();
    m_completion.Kill();
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_categoriesOpened) (void)files::Relate_CONTACTCATEGORIES.Close();
    if (m_opened) (void)files::Relate_CONTACT.Close();
    m_opened = m_categoriesOpened = false;
    return rv;
  }

 private:
  // Viewing or deleting: the form shows the contact read-only, its details included.
  void style() {
    editors::StyleWindowControls(*this, m_deleting);
    for (int feq : {m_insertDetail, m_changeDetail, m_deleteDetail, m_up, m_top, m_down, m_bottom})
      window().setProp(feq, ui::Prop::Disable, 1);
  }

  void declareBasic(ui::Window& w) {
    const int tab = w.tab("?Tab:Basic", "Basic", m_sheet).feq();
    m_wizardLines.push_back(
        w.string("?BasicHint", "Enter basic information for this contact.").at(10, 20, 300, 10).hidden().on(tab).feq());
    // The entries take the whole width of their fields, so a longer value stored by another
    // program is shown whole and kept when the form writes the record back.
    w.prompt("?C_:LastName:Prompt", "&Last Name:").at(10, 32, 50, 10).on(tab);
    m_lastName = w.entry("?C_:LastName", "@s40").at(64, 30, 100, 12).tip("Last Name").required().use(C_.LastName).on(tab).feq();
    w.prompt("?C_:FirstName:Prompt", "First &Name:").at(170, 32, 44, 10).on(tab);
    m_history.push_back(w.entry("?C_:FirstName", "@s20").at(216, 30, 110, 12).tip("First Name").use(C_.FirstName).on(tab).feq());
    w.prompt("?C_:Company:Prompt", "&Company:").at(10, 46, 50, 10).on(tab);
    m_history.push_back(w.entry("?C_:Company", "@s40").at(64, 44, 262, 12).tip("Company").use(C_.Company).on(tab).feq());
    w.prompt("?C_:AddressLine1:Prompt", "Addres&s:").at(10, 60, 50, 10).on(tab);
    m_history.push_back(w.entry("?C_:AddressLine1", "@s40").at(64, 58, 150, 12).tip("Enter up to 40 characters").use(C_.AddressLine1).on(tab).feq());
    m_history.push_back(w.entry("?C_:AddressLine2", "@s40").at(64, 72, 150, 12).tip("Enter up to 40 characters").use(C_.AddressLine2).on(tab).feq());
    m_history.push_back(w.entry("?C_:AddressLine3", "@s40").at(64, 86, 150, 12).tip("Enter up to 40 characters").use(C_.AddressLine3).on(tab).feq());
    w.prompt("?C_:PostalCode:Prompt", "&Postal Code:").at(10, 102, 50, 10).on(tab);
    m_history.push_back(w.entry("?C_:PostalCode", "@s10").at(64, 100, 60, 12).tip("Postal Code").use(C_.PostalCode).on(tab).feq());
    w.group("?PhoneGroup", "Phone Numbers").at(220, 56, 108, 66).on(tab);
    w.prompt("?C_:WorkDayPhone:Prompt", "&Business:").at(224, 66, 30, 10).on(tab);
    m_history.push_back(w.entry("?C_:WorkDayPhone", "@s20").at(256, 64, 68, 12).tip("Business Phone").use(C_.WorkDayPhone).on(tab).feq());
    w.prompt("?C_:HomeEveningPhone:Prompt", "&Home:").at(224, 80, 30, 10).on(tab);
    m_history.push_back(w.entry("?C_:HomeEveningPhone", "@s20").at(256, 78, 68, 12).tip("Home Phone").use(C_.HomeEveningPhone).on(tab).feq());
    w.prompt("?C_:OtherPhone:Prompt", "O&ther:").at(224, 94, 30, 10).on(tab);
    m_history.push_back(w.entry("?C_:OtherPhone", "@s20").at(256, 92, 68, 12).tip("Other Phone Number").use(C_.OtherPhone).on(tab).feq());
    w.prompt("?C_:Fax:Prompt", "&Fax:").at(224, 108, 30, 10).on(tab);
    m_history.push_back(w.entry("?C_:Fax", "@s20").at(256, 106, 68, 12).tip("Fax Number").use(C_.Fax).on(tab).feq());
    w.prompt("?C_:ContactCategory:Prompt", "Cate&gory:").at(10, 118, 50, 10).on(tab);
    m_category = w.entry("?C_:ContactCategory", "@s20").at(64, 116, 80, 12).tip("Contact Category").use(C_.ContactCategory).on(tab).feq();
    m_history.push_back(m_category);
    // A lookup button without a tip of its own is named after the entry it serves.
    m_categoryLookup = w.button("?CallLookup", "...").at(146, 116, 14, 12).tip("Select Contact Category").on(tab).feq();
    w.prompt("?C_:DefaultContact:Prompt", "&Default #:").at(224, 126, 30, 10).on(tab);
    m_history.push_back(w.dropList("?C_:DefaultContact", "None|Business|Home|Fax|E-mail|Other").at(256, 124, 68, 12)
                            .tip("Default contact field").use(C_.DefaultContact).on(tab).feq());
    w.group("?InternetGroup", "Internet").at(6, 134, 322, 34).on(tab);
    w.prompt("?C_:Email:Prompt", "&E-mail:").at(10, 144, 50, 10).on(tab);
    m_history.push_back(w.entry("?C_:Email", "@s80").at(64, 142, 260, 12).tip("E-mail Address").use(C_.Email).on(tab).feq());
    w.prompt("?C_:WebSite:Prompt", "&Web Site:").at(10, 156, 50, 10).on(tab);
    m_history.push_back(w.entry("?C_:WebSite", "@s90").at(64, 154, 260, 12).tip("Web Site (URL)").use(C_.WebSite).on(tab).feq());
  }

  void declareDetails(ui::Window& w) {
    const int tab = w.tab("?Tab:Details", "Details", m_sheet).feq();
    m_wizardLines.push_back(w.string("?DetailsHint", "Enter any custom information for this contact.")
                                .at(10, 20, 300, 10).hidden().on(tab).feq());
    w.string("?DetailsCaption", "Custom Information:").at(10, 32, 100, 10).on(tab);
    m_detailList = w.add<ui::ListControl>(0, "?List")
                       .from(m_detailQueue, kDetailRow)
                       .format("120L(2)|M~Label~@s30@200L(2)|M~Value~@s90@")
                       .at(10, 44, 290, 104)
                       .on(tab)
                       .feq();
    w.setProp(m_detailList, ui::Prop::DragId, "ContactDetail");
    m_details.Init(m_detailList, m_detailView, *this, &files::Relate_CONTACTDETAILS);
    m_details.AddSortOrder(&m_detailStep, files::CDT_K_Contact);
    m_details.AddRange("CDT:ClientID", C_.ClientID);
    for (const rt::FieldDesc& f : kDetailRowFields) m_details.AddField(f.name, f.name);
    m_details.AddEditControl(1);
    m_details.AddEditControl(2);
    m_up = w.button("?MoveUp", "").at(304, 44, 20, 14).icon("QVMOVEUP.ICO").tip("Move record up one").on(tab).feq();
    m_top = w.button("?MoveTop", "").at(304, 60, 20, 14).icon("QVMOVEBG.ICO").tip("Move record to the top").on(tab).feq();
    m_down = w.button("?MoveDown", "").at(304, 76, 20, 14).icon("QVMOVEDN.ICO").tip("Move record down one").on(tab).feq();
    m_bottom = w.button("?MoveBottom", "").at(304, 92, 20, 14).icon("QVMOVEND.ICO").tip("Move record to the bottom").on(tab).feq();
    m_insertDetail = w.button("?Insert", "&New").at(160, 152, 45, 14).on(tab).feq();
    m_changeDetail = w.button("?Change", "&Edit").at(208, 152, 45, 14).on(tab).feq();
    m_deleteDetail = w.button("?Delete", "&Delete").at(256, 152, 45, 14).on(tab).feq();
    // Details are written as they are edited, so a form that only shows the contact leaves them
    // alone: their buttons and keys do nothing there.
    if (!m_viewOnly && !m_deleting) {
      m_details.InsertControl = m_insertDetail;
      m_details.ChangeControl = m_changeDetail;
      m_details.DeleteControl = m_deleteDetail;
    }
    AddItem(m_details);
  }

  void declareNotes(ui::Window& w) {
    const int tab = w.tab("?Tab:Notes", "Notes", m_sheet).feq();
    m_wizardLines.push_back(
        w.string("?NotesHint", "Enter any notes for this contact.").at(10, 20, 300, 10).hidden().on(tab).feq());
    m_notes = w.textBox("?C_:Notes").at(10, 32, 316, 134).use(C_.Notes).on(tab).feq();
  }

  void declareSchedule(ui::Window& w) {
    m_scheduleTab = w.tab("?Tab:Schedule", "Schedule", m_sheet).feq();
    const int tab = m_scheduleTab;
    m_reminderLine = w.string("?ScheduleHint", "Enter the date and time of the reminder, and the reminder text.")
                         .at(10, 20, 300, 10).on(tab).feq();
    w.prompt("?LOC:Date:Prompt", "&Date:").at(10, 36, 40, 10).on(tab);
    m_date = w.spin("?LOC:Date", datePicture()).at(54, 34, 70, 12).tip("Next Date to Perform Task").required()
                 .use(m_dateValue).on(tab).feq();
    m_dateLookup = w.button("?DateLookup", "...").at(126, 34, 14, 12).on(tab).feq();
    w.prompt("?LOC:Time:Prompt", "&Time:").at(150, 36, 30, 10).on(tab);
    m_time = w.spin("?LOC:Time", timePicture()).at(182, 34, 60, 12).tip("Next Time to Perform Task").required()
                 .use(m_timeValue).on(tab).feq();
    w.prompt("?LOC:Message:Prompt", "&Message:").at(10, 52, 40, 10).on(tab);
    w.textBox("?LOC:Message").at(54, 50, 272, 96).use(m_reminderText).on(tab);
    w.string("?ScheduleNote", "Note: The name and phone number will automatically be added to the end of the message.")
        .at(10, 152, 316, 10).on(tab);
  }

  static std::string datePicture() {
    return "@" + std::string(files::FORMAT.DATE.isBlank() ? "d2" : files::FORMAT.DATE.clipped());
  }
  static std::string timePicture() {
    return "@" + std::string(files::FORMAT.TIME.isBlank() ? "t7" : files::FORMAT.TIME.clipped());
  }

  void addHistoryFields() {
    AddHistoryField(m_lastName, [] { C_.LastName = lastContact().LastName; });
    AddHistoryField(m_history[0], [] { C_.FirstName = lastContact().FirstName; });
    AddHistoryField(m_history[1], [] { C_.Company = lastContact().Company; });
    AddHistoryField(m_history[2], [] { C_.AddressLine1 = lastContact().AddressLine1; });
    AddHistoryField(m_history[3], [] { C_.AddressLine2 = lastContact().AddressLine2; });
    AddHistoryField(m_history[4], [] { C_.AddressLine3 = lastContact().AddressLine3; });
    AddHistoryField(m_history[5], [] { C_.PostalCode = lastContact().PostalCode; });
    AddHistoryField(m_history[6], [] { C_.WorkDayPhone = lastContact().WorkDayPhone; });
    AddHistoryField(m_history[7], [] { C_.HomeEveningPhone = lastContact().HomeEveningPhone; });
    AddHistoryField(m_history[8], [] { C_.OtherPhone = lastContact().OtherPhone; });
    AddHistoryField(m_history[9], [] { C_.Fax = lastContact().Fax; });
    AddHistoryField(m_history[10], [] { C_.ContactCategory = lastContact().ContactCategory; });
    AddHistoryField(m_history[11], [] { C_.DefaultContact = lastContact().DefaultContact; });
    AddHistoryField(m_history[12], [] { C_.Email = lastContact().Email; });
    AddHistoryField(m_history[13], [] { C_.WebSite = lastContact().WebSite; });
    AddHistoryField(m_notes, [] { C_.Notes = lastContact().Notes; });
  }

  void requestReminder() {
    m_reminder = true;
    m_dateValue = rt::TODAY() + kReminderDays;
    m_timeValue = reminderHour(rt::CLOCK());
    m_reminderText = kReminderText;
  }

  // The reminder's page is there only once a reminder is asked for; until then its date and time
  // are not required either.
  void showReminderPage() {
    window().setProp(m_scheduleTab, ui::Prop::Hide, m_reminder ? 0 : 1);
    for (int feq : {m_date, m_time}) window().setProp(feq, ui::Prop::Hide, m_reminder ? 0 : 1);
  }

  void showWizardPage() {
    window().select(CancelControl);
    window().setProp(m_sheet, ui::Prop::Selected, m_steps.CURTABNUM);
  }

  // The category typed: a stored one (or none) is taken; another opens the picker, whose choice
  // replaces it. False when the picker was cancelled.
  bool acceptCategory() {
    Update();
    if (C_.ContactCategory.isBlank()) return true;
    CC.ContactCategory = C_.ContactCategory;
    if (files::CONTACTCATEGORIES.get(files::CC_KeyContactCategories) == rt::Err::None) return true;
    files::GLOBALREQUEST = ui::SelectRecord;
    if (SelectContactCategories() != ui::RequestCompleted) return false;
    C_.ContactCategory = CC.ContactCategory;
    return true;
  }

  void pickCategory() {
    CC.ContactCategory = C_.ContactCategory;
    files::GLOBALREQUEST = ui::SelectRecord;
    if (SelectContactCategories() == ui::RequestCompleted) {
      C_.ContactCategory = CC.ContactCategory;
      window().display(m_category);
      ui::SELECT(window().feq("?C_:DefaultContact"));
    } else {
      ui::SELECT(m_categoryLookup);
    }
  }

  void moveDetail(int button) {
    if (m_viewOnly || m_deleting || m_details.UpdateBuffer() != rt::Err::None) return;
    editors::ItemSequencer sequencer(editors::ItemSequencer::contactDetails());
    const int32_t client = C_.ClientID, sequence = CDT.Sequence;
    editors::ItemSequencer::Result r;
    if (button == m_up) r = sequencer.moveUp(client, sequence);
    if (button == m_top) r = sequencer.moveToTop(client, sequence);
    if (button == m_down) r = sequencer.moveDown(client, sequence);
    if (button == m_bottom) r = sequencer.moveToBottom(client, sequence);
    showMoved(r, sequence);
  }

  // A detail row dropped onto another takes its place. The rows stand for the sequences they
  // show, which need not be their row numbers (the list may be scrolled, the numbers have gaps).
  void dropDetail() {
    if (m_viewOnly || m_deleting) return;
    auto* list = window().as<ui::ListControl>(m_detailList);
    const int from = std::atoi(list->propList(ui::PROPLIST::MouseDownRow, 0).c_str());
    const int onto = std::atoi(list->propList(ui::PROPLIST::MouseUpRow, 0).c_str());
    const auto sequenceAt = [this](int row) {
      return row >= 1 && m_detailQueue.GET(row) == rt::Err::None ? m_detailQueue.buf.Sequence : 0;
    };
    const int32_t fromSequence = sequenceAt(from), ontoSequence = sequenceAt(onto);
    if (fromSequence == 0 || ontoSequence == 0 || fromSequence == ontoSequence) return;
    editors::ItemSequencer sequencer(editors::ItemSequencer::contactDetails());
    showMoved(sequencer.dragTo(C_.ClientID, fromSequence, ontoSequence), fromSequence);
  }

  void showMoved(const editors::ItemSequencer::Result& r, int32_t sequence) {
    if (r.err != rt::Err::None && !r.report.empty()) (void)ui::MESSAGE(r.report, "Error", ui::Icon::Exclamation);
    m_details.ResetSort(true);
    // The moved detail stays highlighted.
    const int32_t at = r.moved ? r.sequence : sequence;
    for (int row = 1; row <= static_cast<int>(m_detailQueue.RECORDS()); ++row) {
      if (m_detailQueue.GET(row) == rt::Err::None && m_detailQueue.buf.Sequence == at) {
        window().setProp(m_detailList, ui::Prop::Selected, row);
        break;
      }
    }
    ui::SELECT(m_detailList);
  }

  // The reminder: a one-time "Display Message" task for the contact just stored. The task is
  // made in the shared SCHEDULE buffer, which is given back as it was.
  void writeReminderTask() {
    const files::ScheduleRec keep = SCH;
    if (files::Access_SCHEDULE.Open() != rt::Err::None) return;
    if (files::Access_SCHEDULE.PrimeRecord() == rt::Err::None) {
      SCH.Date = m_dateValue;
      SCH.Time = m_timeValue;
      SCH.Message = contactReminderMessage(m_reminderText, C_.ClientID);
      SCH.Description = contactReminderDescription(C_);
      SCH.TaskType = kReminderTaskType;
      SCH.ScheduleType = "Once";
      SCH.Sunday = SCH.Saturday = 0;
      SCH.Monday = SCH.Tuesday = SCH.Wednesday = SCH.Thursday = SCH.Friday = 1;
      SCH.EveryLast = 1;
      SCH.Every = 1;
      SCH.EveryType = "hour(s)";
      SCH.Warn = 1;
      SCH.SkipNextTime = 0;
      SCH.AdvanceWarnDate = SCH.AdvanceWarnTime = 0;
      SCH.AdvanceWarned = 0;
      SCH.Disabled = SCH.Completed = SCH.Skipped = 0;
      SCH.Category = reminderCategory();
      if (files::Access_SCHEDULE.Insert() != rt::Err::None && files::Access_SCHEDULE.hasReservation())
        (void)files::Access_SCHEDULE.CancelAutoInc();
    }
    (void)files::Access_SCHEDULE.Close();
    SCH = keep;
    refreshTaskViews();
  }

  // The category last used for reminders, else the first category on file.
  static std::string reminderCategory() {
    std::string category = files::GETCONFIG(std::string("OVCAT") + kReminderTaskType, "");
    if (!category.empty()) return category;
    const files::CategoryRec keep = files::CAT;
    if (files::Access_CATEGORIES.Open() == rt::Err::None) {
      if (files::CATEGORIES.set() == rt::Err::None && files::CATEGORIES.next() == rt::Err::None)
        category = files::CAT.Category.str();
      (void)files::Access_CATEGORIES.Close();
    }
    files::CAT = keep;
    return category;
  }

  RelationUpdateFile m_file;
  winclasses::ReqFldClass m_required;
  winclasses::FormWizardClass m_steps;
  winclasses::EntryCompletionClass m_completion;
  winclasses::ColourTabClass m_tabs;
  winclasses::QVMouseWheelClass m_wheel;
  ui::WindowPositionKeeper m_position;
  rt::Queue<DetailRow> m_detailQueue;
  db::ViewManager m_detailView;
  ui::BrowseClass m_details;
  ui::StepLongClass m_detailStep;
  bool m_viewOnly = false, m_deleting = false, m_wizard = false, m_reminder = false;
  bool m_opened = false, m_categoriesOpened = false;
  int32_t m_newClient = 0;
  int32_t m_dateValue = 0, m_timeValue = 0;
  std::string m_reminderText;
  std::vector<int> m_wizardLines, m_history;
  int m_sheet = 0, m_scheduleTab = 0, m_reminderLine = 0;
  int m_lastName = 0, m_category = 0, m_categoryLookup = 0, m_notes = 0;
  int m_detailList = 0, m_up = 0, m_top = 0, m_down = 0, m_bottom = 0;
  int m_insertDetail = 0, m_changeDetail = 0, m_deleteDetail = 0;
  int m_date = 0, m_time = 0, m_dateLookup = 0;
  int m_reminderButton = 0, m_back = 0, m_next = 0;
};

// ---- the list -----------------------------------------------------------------------------------

struct ContactRow {
  rt::String<100> NameAndCompany;
  rt::String<20> ContactCategory;
  rt::String<20> WorkDayPhone, HomeEveningPhone, Fax;
  rt::String<80> Email;
  rt::String<40> AddressLine1, AddressLine2, AddressLine3;
  rt::String<10> PostalCode;
  int32_t ClientID = 0;
  rt::String<20> FirstName;
  rt::String<40> LastName, Company;
};
const rt::FieldDesc kContactRowFields[] = {
    {"NameAndCompany", rt::FieldType::String, 100, 0, offsetof(ContactRow, NameAndCompany)},
    {"C_:ContactCategory", rt::FieldType::String, 20, 100, offsetof(ContactRow, ContactCategory)},
    {"C_:WorkDayPhone", rt::FieldType::String, 20, 120, offsetof(ContactRow, WorkDayPhone)},
    {"C_:HomeEveningPhone", rt::FieldType::String, 20, 140, offsetof(ContactRow, HomeEveningPhone)},
    {"C_:Fax", rt::FieldType::String, 20, 160, offsetof(ContactRow, Fax)},
    {"C_:Email", rt::FieldType::String, 80, 180, offsetof(ContactRow, Email)},
    {"C_:AddressLine1", rt::FieldType::String, 40, 260, offsetof(ContactRow, AddressLine1)},
    {"C_:AddressLine2", rt::FieldType::String, 40, 300, offsetof(ContactRow, AddressLine2)},
    {"C_:AddressLine3", rt::FieldType::String, 40, 340, offsetof(ContactRow, AddressLine3)},
    {"C_:PostalCode", rt::FieldType::String, 10, 380, offsetof(ContactRow, PostalCode)},
    {"C_:ClientID", rt::FieldType::Long, 4, 390, offsetof(ContactRow, ClientID)},
    {"C_:FirstName", rt::FieldType::String, 20, 394, offsetof(ContactRow, FirstName)},
    {"C_:LastName", rt::FieldType::String, 40, 414, offsetof(ContactRow, LastName)},
    {"C_:Company", rt::FieldType::String, 40, 454, offsetof(ContactRow, Company)},
};
const rt::RecordDesc kContactRow{"ContactRow", kContactRowFields, 494};

// The list's columns: the first ten shown, the number and the parts of the name ready to be shown
// from the header's popup. The name with the company is made per row, so it does not sort.
std::vector<editors::ExploreColumn> contactColumns() {
  auto text = [](const char* field, int width, const char* header, const char* picture, bool shown = true) {
    return editors::ExploreColumn{field, width, header, picture, header, 'L', shown, false, false, true};
  };
  std::vector<editors::ExploreColumn> c = {
      {"NameAndCompany", 120, "Name and Company", "@s100", "Name and Company", 'L', true, false, false, false},
      text("C_:ContactCategory", 60, "Category", "@s20"),
      text("C_:WorkDayPhone", 60, "Business #", "@s20"),
      text("C_:HomeEveningPhone", 60, "Home #", "@s20"),
      text("C_:Fax", 60, "Fax #", "@s20"),
      text("C_:Email", 100, "E-mail Address", "@s40"),
      text("C_:AddressLine1", 80, "Address (Line 1)", "@s30"),
      text("C_:AddressLine2", 80, "Address (Line 2)", "@s30"),
      text("C_:AddressLine3", 80, "Address (Line 3)", "@s30"),
      text("C_:PostalCode", 40, "Postal Code", "@s10"),
      {"C_:ClientID", 40, "Client ID", "@n10", "Client ID", 'R', false, false, false, true},
      text("C_:FirstName", 80, "First Name", "@s20", false),
      text("C_:LastName", 120, "Last Name", "@s40", false),
      text("C_:Company", 120, "Company", "@s40", false),
  };
  return c;
}

// Tab "Category"'s contacts, for a column order (the tab's own order has the category's range).
constexpr const char* kPickedCategoryFilter = "UPPER(C_:ContactCategory)=UPPER(CC:ContactCategory)";

class ContactsBrowse : public ui::BrowseClass {
 public:
  // Chooses the order to read (the tab's, or a column's) before the view is read.
  std::function<void()> ChooseOrder;

  void Reset(bool force) override {
    if (ChooseOrder) ChooseOrder();
    ui::BrowseClass::Reset(force);
  }
  void SetQueueRecord() override {
    ui::BrowseClass::SetQueueRecord();
    static_cast<ContactRow*>(list().queue()->buffer())->NameAndCompany = contactNameAndCompany(C_);
  }
  rt::Err PrimeRecord(bool suppressClear) override {
    const bool copy = m_copy;
    m_copy = false;
    return ui::BrowseClass::PrimeRecord(suppressClear || copy);
  }
  void markCopy() { m_copy = true; }

 private:
  bool m_copy = false;
};

struct ContactTab {
  const char* name;
  const char* text;
  db::Key* key;
  const char* locatorField;
};
const ContactTab kContactTabs[] = {
    {"?Tab:LastName", "Last Name", &files::C_KeyLastName, "C_:LastName"},
    {"?Tab:FirstName", "First Name", &files::C_KeyFirstName, "C_:FirstName"},
    {"?Tab:Company", "Company", &files::C_KeyCompany, "C_:Company"},
    {"?Tab:BusinessPhone", "Business Phone", &files::C_KeyWorkPhone, "C_:WorkDayPhone"},
    {"?Tab:HomePhone", "Home Phone", &files::C_KeyHomePhone, "C_:HomeEveningPhone"},
    {"?Tab:Fax", "Fax", &files::C_KeyFaxNumber, "C_:Fax"},
    {"?Tab:Email", "Email", &files::C_KeyEmail, "C_:Email"},
    {"?Tab:Category", "Category", &files::C_KeyCategory, "C_:LastName"},
};
constexpr int kTabCount = 8;
static_assert(std::size(kContactTabs) == kTabCount);
constexpr int kCategoryTab = 8;

// The report of the list's order; the program is named in the program's folder, since the
// current folder is the data folder.
std::string reportCommand(int tab) {
  std::string folder(files::EXEPATH.clipped());
  if (folder.empty()) folder = rt::programFolder();
  if (!folder.empty() && folder.back() != '/') folder += '/';
  const char* report = tab == 1   ? "?ReportsContactsByName"
                       : tab == 2 ? "?ReportsContactsByFirstName"
                       : tab == 3 ? "?ReportsContactsByCompany"
                                  : "?ReportsContactsWithinCategory";
  return folder + "OV_RPTS.EXE " + report;
}

class BrowseContactsWindow : public ui::WindowManager {
 public:
  BrowseContactsWindow() : ui::WindowManager("BrowseContacts"), m_view(files::Access_CONTACT) {}

  ui::Level Init() override {
    Request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    if (Request != ui::SelectRecord && !m_single.Init(*this)) return ui::Level::Notify;
    if (files::Relate_CONTACT.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;

    ui::Window& w = window();
    w.setTitle("Contacts");
    if (Request != ui::SelectRecord) w.kind(ui::WindowKind::Mdi);
    w.at(-1, -1, 400, 210).minSize(380, 180).resizable();
    m_sheet = w.sheet("?CurrentTab").at(4, 4, 392, 168).feq();
    for (int i = 0; i < kTabCount; ++i) m_tabs[i] = w.tab(kContactTabs[i].name, kContactTabs[i].text, m_sheet).feq();
    w.prompt("?Locate:Prompt", "&Locate:").at(8, 22, 30, 10);
    m_locate = w.entry("?Locate", "@s40").at(40, 20, 120, 12).feq();
    m_list = w.add<ui::ListControl>(0, "?Browse:1")
                 .from(m_queue, kContactRow)
                 .at(8, 36, 384, 132)
                 .feq();
    m_browse.Init(m_list, m_view, *this, &files::Relate_CONTACT);
    for (int i = 0; i < kTabCount; ++i) {
      m_browse.AddSortOrder(&m_steps[i], *kContactTabs[i].key);
      if (i + 1 == kCategoryTab) m_browse.AddRange("C_:ContactCategory", CC.ContactCategory);
      m_locators[i].Init(kContactTabs[i].locatorField, m_locate);
      m_browse.AddLocator(m_locators[i]);
    }
    (void)m_browse.SetSort(1);
    m_tabOrder = 1;
    rt::BIND("CC:ContactCategory", CC.ContactCategory);
    m_bound = true;
    m_browse.ChooseOrder = [this] {
      const int order = m_binding.chosenOrder(m_tabOrder);
      (void)m_browse.SetSort(order);
      if (order != m_tabOrder) m_browse.SetFilter(m_tabOrder == kCategoryTab ? kPickedCategoryFilter : "");
    };
    m_explorer.columns = contactColumns();

    m_clip = w.button("?CopyToClipboard", "&Copy to Clipboard").at(4, 176, 70, 14).feq();
    m_browse.RowControls = {m_clip};
    m_browse.InsertControl = w.button("?Insert", "&New").at(78, 176, 40, 14).feq();
    m_browse.SelectControl = w.button("?Select", "&Select").at(122, 176, 40, 14).feq();
    m_copy = w.button("?Copy", "Cop&y").at(166, 176, 40, 14).tip("Copy record").feq();
    m_browse.ChangeControl = w.button("?Change", "&Edit").at(210, 176, 40, 14).feq();
    m_browse.DeleteControl = w.button("?Delete", "&Delete").at(254, 176, 40, 14).feq();
    m_print = w.button("?Print", "&Print").at(298, 176, 40, 14).feq();
    m_pickCategory = w.button("?SelectCategory", "Select Cate&gory").at(4, 192, 70, 14).hidden().feq();
    CancelControl = w.button("?Close", "Cl&ose").at(352, 192, 40, 14).icon("EXIT.ICO").feq();
    m_browse.Selecting = Request == ui::SelectRecord;
    if (Request != ui::SelectRecord) w.setProp(m_browse.SelectControl, ui::Prop::Hide, 1);
    m_browse.AskProcedure = 1;
    m_binding.Bind(*this, m_browse, m_query, m_explorer, m_state, ".\\POSITION.INI");
    AddItem(m_browse);
    Open();
    // The list's own items follow the explorer's and the browse's.
    m_browse.Popup.AddItem("-");
    m_browse.Popup.AddItem("&Copy to Clipboard", "CopyToClipboard");
    m_browse.Popup.AddItemMimic("CopyToClipboard", m_clip);
    m_browse.Popup.AddItem("-");
    m_browse.Popup.AddItem("Email...", "Email");
    m_browse.Popup.AddItemEvent("Email", kEmailEvent);
    m_browse.Popup.AddItem("Cop&y", "Copy");
    m_browse.Popup.AddItemMimic("Copy", m_copy);
    scheduler::ApplyDatePicture(w, m_list, "");
    scheduler::ApplyTimePicture(w, m_list);
    m_position.Init(*this, files::globalIni(), true);
    m_binding.Opened();
    m_colours.Init(kSelectedTabColour, -1, 0, -1, -1, 0, 0);
    m_colours.ColourTabs();
    return ui::Level::Benign;
  }

  using ui::WindowManager::Run;
  int Run(int /*number*/, int request) override {
    files::GLOBALREQUEST = static_cast<uint8_t>(request);
    // The contact form looks categories up in the CC buffer, which holds tab "Category"'s range.
    const files::ContactCategoryRec picked = CC;
    const int response = UpdateContacts();
    CC = picked;
    return response;
  }

  void Reset(bool force) override {
    ui::WindowManager::Reset(force);
    if (isAcceptAllPass()) return;
    const bool rows = m_browse.HasRecords() > 0;
    window().setProp(m_copy, ui::Prop::Disable, rows ? 0 : 1);
    m_browse.Popup.SetItemEnable("Email", rows);
  }

  ui::Level TakeEvent() override {
    const ui::Level rv = ui::WindowManager::TakeEvent();
    if (!Dead && window().isOpen()) {
      const bool rows = m_browse.HasRecords() > 0;
      window().setProp(m_copy, ui::Prop::Disable, rows ? 0 : 1);
      m_browse.Popup.SetItemEnable("Email", rows);
    }
    return rv;
  }

  ui::Level TakeNewSelection() override {
    if (ui::FIELD() == m_sheet) {
      const int tab = currentTab();
      m_explorer.EraseVisual();  // while the sorted column is still known
      m_binding.clearColumnSort();
      m_tabOrder = tab;
      (void)m_browse.SetSort(tab);
      window().setProp(m_pickCategory, ui::Prop::Hide, tab == kCategoryTab ? 0 : 1);
      m_browse.ResetSort(true);
      ui::SELECT(m_list);
      m_colours.ColourTabs();
    }
    return ui::WindowManager::TakeNewSelection();
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == m_clip) {
      if (m_browse.UpdateBuffer() == rt::Err::None) ui::SETCLIPBOARD(contactClipboardText(C_));
      ui::SELECT(m_list);
      return ui::Level::Notify;
    }
    if (feq == m_copy) {
      if (m_browse.HasRecords() && m_browse.UpdateBuffer() == rt::Err::None) {
        m_browse.markCopy();
        (void)m_browse.Ask(ui::InsertRecord);
      }
      return ui::Level::Notify;
    }
    if (feq == m_print) {
      if (runNoWait(reportCommand(currentTab())) != 0)
        (void)ui::MESSAGE(
            "Unable to start OV_RPTS.EXE.||Start using the Windows shortcut in the Orvane folder.  If this fails, "
            "re-install Orvane.",
            "Error", ui::Icon::Exclamation);
      return ui::Level::Notify;
    }
    if (feq == m_pickCategory) {
      files::GLOBALREQUEST = ui::SelectRecord;
      (void)SelectContactCategories();
      m_browse.ResetSort(true);
      return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level TakeWindowEvent() override {
    if (ui::EVENT() == kEmailEvent) {
      if (m_browse.HasRecords() && m_browse.UpdateBuffer() == rt::Err::None) {
        files::GLOBALREQUEST = ui::InsertRecord;
        (void)UpdateMessages(C_.ClientID);
      }
      return ui::Level::Notify;
    }
    if (ui::EVENT() == scheduler::kEventRefreshAll) m_browse.ResetSort(true);
    return ui::WindowManager::TakeWindowEvent();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    m_colours.Kill();
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_CONTACT.Close();
    m_opened = false;
    if (m_bound) rt::UNBIND("CC:ContactCategory");
    m_bound = false;
    return rv;
  }

 private:
  int currentTab() const {
    const int tab = static_cast<const ui::Sheet*>(window().control(m_sheet))->selectedTab();
    for (int i = 0; i < kTabCount; ++i)
      if (m_tabs[i] == tab) return i + 1;
    return 1;
  }

  static int runNoWait(const std::string& commandLine) {
    if (scheduler::services().runNoWait) return scheduler::services().runNoWait(commandLine);
    rt::RUN(commandLine, false);
    return rt::RUNCODE();
  }

  rt::Queue<ContactRow> m_queue;
  db::ViewManager m_view;
  ContactsBrowse m_browse;
  ui::StepStringClass m_steps[kTabCount];
  ui::EntryLocatorClass m_locators[kTabCount];
  SingleInstance m_single;
  ui::WindowPositionKeeper m_position;
  winclasses::ColourTabClass m_colours;
  ui::QueryClass m_query;
  editors::BoundExplorer m_explorer;
  editors::ExploreState m_state;
  editors::ExploreBinding m_binding;
  int m_tabOrder = 1;  // the order of the current tab
  bool m_opened = false, m_bound = false;
  int m_sheet = 0, m_tabs[kTabCount] = {}, m_locate = 0, m_list = 0;
  int m_clip = 0, m_copy = 0, m_print = 0, m_pickCategory = 0;
};

}  // namespace

std::unique_ptr<ui::WindowManager> makeBrowseContacts() { return std::make_unique<BrowseContactsWindow>(); }
std::unique_ptr<ui::WindowManager> makeUpdateContacts() { return std::make_unique<UpdateContactsForm>(); }

int BrowseContacts() {
  BrowseContactsWindow list;
  return list.Run();
}

int UpdateContacts() {
  UpdateContactsForm form;
  return form.Run();
}

}  // namespace ov::dialogs
