#include "dialogs/messages.h"

#include <cstddef>
#include <string>
#include <vector>

#include "datalib/config.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "dialogs/contact_categories.h"
#include "dialogs/contacts.h"
#include "dialogs/message_layout.h"
#include "dialogs/record_form.h"
#include "dialogs/single_instance.h"
#include "editors/explore_binding.h"
#include "editors/style_window_controls.h"
#include "platform/files/view_manager.h"
#include "platform/rt/date_time.h"
#include "platform/rt/queue.h"
#include "platform/rt/text.h"
#include "platform/ui/browse_class.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/locator_class.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "scheduler/globals.h"
#include "scheduler/variables.h"
#include "scheduler/message_sending.h"
#include "scheduler/open_window_list.h"
#include "scheduler/script_queue.h"
#include "scheduler/services.h"
#include "scheduler/window_utils.h"
#include "winclasses/colour_tab_class.h"
#include "winclasses/qv_mouse_wheel_class.h"
#include "winclasses/req_fld_class.h"

namespace ov::dialogs {

namespace {

using files::C_;
using files::CC;
using files::M_;

constexpr int kHistoryKey = 734;
constexpr int32_t kSelectedTabColour = 10987431;
constexpr const char* kNoRecipient = "N/A";

// The message written last, which the history key brings back (for this run of the program).
files::MessageRec& lastMessage() {
  static files::MessageRec last;
  return last;
}

// The message becomes the one the script item being edited sends.
void linkToScriptItem() {
  const std::string title = messageLinkTitle(M_.Subject.str(), M_.EmailTo.str());
  files::SCR.EmailID = M_.EmailID;
  files::SCR.WindowTitleToCheckFor = title;
  files::OVD.EmailID = M_.EmailID;
  files::OVD.WindowTitleToCheckFor = title;
}

// Whether the M_ buffer holds what is stored under its number, field by field.
bool storedAsShown() {
  const files::MessageRec shown = M_;
  bool same = false;
  if (files::MESSAGES.get(files::M_KeyEmailID) == rt::Err::None) {
    same = true;
    for (const rt::FieldDesc& f : files::Desc_MESSAGES.fields)
      if (rt::fieldText(&M_, f) != rt::fieldText(&shown, f)) same = false;
  }
  M_ = shown;
  return same;
}

// ---- the form -----------------------------------------------------------------------------------

class UpdateMessagesForm : public ui::WindowManager {
 public:
  explicit UpdateMessagesForm(int32_t contactId)
      : ui::WindowManager("UpdateMessages"), m_file(files::Relate_MESSAGES), m_contactId(contactId) {}

  ui::Level Init() override {
    takeFormRequest(Request, m_viewOnly, m_deleting);
    HistoryKey = kHistoryKey;
    AddUpdateFile(m_file);
    if (files::Relate_MESSAGES.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;
    if (files::Relate_CONTACT.Open() != rt::Err::None) return ui::Level::Fatal;
    m_contactsOpened = true;
    if (Request == ui::InsertRecord && !files::Access_MESSAGES.hasReservation() &&
        m_file.PrimeRecord(false) != rt::Err::None)
      return ui::Level::Fatal;

    ui::Window& w = window();
    w.at(-1, -1, 364, 200).minSize(364, 178).resizable();
    m_sheet = w.sheet("?CurrentTab").at(4, 4, 356, 172).feq();
    declareGeneral(w);
    declareMessage(w);
    declareOverrides(w);
    m_sendNow = w.button("?SendNow", "Sen&d Now").at(4, 182, 50, 14).icon("MAIL.ICO").feq();
    OkControl = w.button("?OK", "&OK").setDefault().at(266, 182, 45, 14).icon("ok.ico").feq();
    CancelControl = w.button("?Cancel", "Cancel").at(314, 182, 45, 14).icon("cancel.ico").feq();
    for (int feq : w.fields()) {
      ui::Control* c = w.control(feq);
      if (c && c->takesInput() && c->binding().isBound()) {
        const rt::FieldDesc* f = fieldOf(*c);
        if (f) AddHistoryField(feq, [f] { rt::setFieldText(&M_, *f, rt::fieldText(&lastMessage(), *f)); });
      }
    }
    std::string title = formTitle(Request, m_viewOnly, "E-mail Message");
    w.setTitle(title);
    Open();
    m_required.Init("Missing Information", "@PROMPT must be entered.", false);
    m_required.AddField(m_to, "M_:EmailTo", "Recipient (Email Address)", "", "To (Email Address)", true);
    m_required.AddField(m_mergeFile, "M_:MergeFile", "External mail merge file in CSV format", "", "Merge file", true);
    m_required.AddField(m_subject, "M_:Subject", "Subject", "", "Subject", true);
    m_position.Init(*this, files::globalIni(), true);
    m_tabs.Init(kSelectedTabColour, -1, 0, -1, -1, 0, 0);
    m_wheel.Init();
    m_tabs.ColourTabs();
    if (m_contactId != 0) takeContact();
    layOut();
    if (m_viewOnly || m_deleting) editors::StyleWindowControls(*this, m_deleting);
    if (m_deleting) FirstField = CancelControl;  // the focus as the window opens
    return ui::Level::Benign;
  }

  void Reset(bool force) override {
    ui::WindowManager::Reset(force);
    if (!isAcceptAllPass() && (m_viewOnly || m_deleting)) editors::StyleWindowControls(*this, m_deleting);
  }

  ui::Level TakeNewSelection() override {
    if (ui::FIELD() == m_sheet) {
      m_tabs.ColourTabs();
      if (m_viewOnly || m_deleting) ui::SELECT(CancelControl);
    }
    if (!m_viewOnly && !m_deleting && (ui::FIELD() == m_mailType || ui::FIELD() == m_mailFormat)) {
      Update();
      layOut();
    }
    return ui::WindowManager::TakeNewSelection();
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == OkControl && !m_deleting && !m_viewOnly) {
      Update();
      if (m_required.Incomplete(false)) return ui::Level::Notify;
      remember();
      return ui::WindowManager::TakeAccepted();
    }
    if (isAcceptAllPass() || m_viewOnly || m_deleting) return ui::WindowManager::TakeAccepted();
    if (feq == m_mailType || feq == m_mailFormat) {
      Update();
      layOut();
      return ui::Level::Notify;
    }
    if (feq == m_to) {
      Update();
      findContactByAddress();
      return ui::Level::Notify;
    }
    if (feq == m_category) {
      Update();
      if (!M_.EmailToGroup.isBlank() && M_.EmailTo.isBlank()) M_.EmailTo = kNoRecipient;
      window().display();
      return ui::Level::Notify;
    }
    if (feq == m_categoryLookup) {
      Update();
      files::GLOBALREQUEST = ui::SelectRecord;
      if (SelectContactCategories() == ui::RequestCompleted) {
        M_.EmailToGroup = CC.ContactCategory;
        if (M_.EmailTo.isBlank()) M_.EmailTo = kNoRecipient;
      }
      Reset(true);
      return ui::Level::Notify;
    }
    if (feq == m_contactLookup) {
      Update();
      files::GLOBALREQUEST = ui::SelectRecord;
      if (BrowseContacts() == ui::RequestCompleted) takeContactInBuffer();
      window().display();
      return ui::Level::Notify;
    }
    if (feq == m_attachment) {
      Update();
      if (!M_.Attachment.isBlank() && M_.Subject.isBlank()) M_.Subject = M_.Attachment.str();
      window().display();
      return ui::Level::Notify;
    }
    if (feq == m_attachLookup) {
      Update();
      std::string file;
      if (ui::FILEDIALOG("Choose a File", file, "All Files|*.*", ui::FILE_::Multi | ui::FILE_::LongName))
        M_.Attachment = appendAttachments(M_.Attachment.str(), chosenFiles(file));
      window().display();
      return ui::Level::Notify;
    }
    if (feq == m_mergeLookup) {
      Update();
      std::string file = M_.MergeFile.str();
      if (ui::FILEDIALOG("Select Mail Merge File", file, "All Files|*.*", ui::FILE_::LongName)) M_.MergeFile = file;
      window().display();
      return ui::Level::Notify;
    }
    if (feq == m_htmlLookup) {
      Update();
      std::string file = M_.HTMLFile.str();
      if (ui::FILEDIALOG("Select HTML File", file, "HTML files|*.html|HTM files|*.htm|All files|*.*", ui::FILE_::LongName))
        M_.HTMLFile = file;
      window().display();
      return ui::Level::Notify;
    }
    if (feq == m_textLookup) {
      Update();
      std::string file = M_.HTMLFile.str();
      if (ui::FILEDIALOG("Select text file", file, "Text|*.TXT|All Files|*.*", ui::FILE_::KeepDir | ui::FILE_::LongName)) {
        M_.HTMLFile = file;
        window().display();
      }
      return ui::Level::Notify;
    }
    if (feq == m_sendNow) {
      Update();
      sendNow();
      return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level TakeCompleted() override {
    // After the OK pass has taken every field from the screen: a mail merge goes to its file.
    if (!m_deleting) {
      if (mailKind(M_.MailType.str()) == MailKind::MailMerge) {
        M_.EmailTo = M_.MergeFile.str();
        M_.EmailToName = M_.MergeFile.str();
      }
      linkToScriptItem();
    }
    const ui::Level rv = ui::WindowManager::TakeCompleted();
    if (Response == ui::RequestCompleted && !m_deleting) {
      linkToScriptItem();
      lastMessage() = M_;
    }
    return rv;
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    m_required.Kill();
    m_tabs.Kill();
    m_wheel.Kill();
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_contactsOpened) (void)files::Relate_CONTACT.Close();
    if (m_opened) (void)files::Relate_MESSAGES.Close();
    m_opened = m_contactsOpened = false;
    return rv;
  }

 private:
  void declareGeneral(ui::Window& w) {
    const int tab = w.tab("?Tab:General", "General", m_sheet).feq();
    w.string("?RequiredHint", "* indicates required field").at(10, 20, 120, 10).on(tab);
    w.prompt("?M_:MailType:Prompt", "&Mail type:").at(10, 34, 50, 10).on(tab);
    m_mailType = w.dropList("?M_:MailType", "E-mail|News|Mass Mailing|Mail Merge|Mail Script").at(64, 32, 80, 12)
                     .tip("Mail Type").use(M_.MailType).on(tab).feq();
    w.prompt("?M_:MailFormat:Prompt", "Mail &format").at(160, 34, 50, 10).on(tab);
    m_mailFormat = w.dropList("?M_:MailFormat", "Text|HTML|HTML file|Text file|Binary").at(214, 32, 80, 12)
                       .tip("Mail format").use(M_.MailFormat).on(tab).feq();
    m_toPrompt = w.prompt("?M_:EmailTo:Prompt", "*&To:").at(10, 50, 50, 10).on(tab).feq();
    m_to = w.entry("?M_:EmailTo", "@s254").at(64, 48, 260, 12).required().msg("Recipient (Email Address)").use(M_.EmailTo).on(tab).feq();
    m_contactLookup = w.button("?ContactLookup", "...").at(326, 48, 14, 12).tip("Select Contact to email").on(tab).feq();
    m_categoryPrompt = w.prompt("?M_:EmailToGroup:Prompt", "Cate&gory:").at(10, 50, 50, 10).on(tab).feq();
    m_category = w.entry("?M_:EmailToGroup", "@s20").at(64, 48, 100, 12).msg("E-mail to Contact Group")
                     .tip("E-mail to Group (Contact Category)").use(M_.EmailToGroup).on(tab).feq();
    m_categoryLookup = w.button("?CategoryLookup", "...").at(166, 48, 14, 12).tip("Select Contact Category").on(tab).feq();
    m_mergePrompt = w.prompt("?M_:MergeFile:Prompt", "&Merge file:").at(10, 64, 50, 10).on(tab).feq();
    m_mergeFile = w.entry("?M_:MergeFile", "@s255").at(64, 62, 260, 12).required().tip("External mail merge file in CSV format")
                      .use(M_.MergeFile).on(tab).feq();
    m_mergeLookup = w.button("?MergeLookup", "...").at(326, 62, 14, 12).on(tab).feq();
    m_namePrompt = w.prompt("?M_:EmailToName:Prompt", "&Name:").at(10, 64, 50, 10).on(tab).feq();
    m_name = w.entry("?M_:EmailToName", "@s254").at(64, 62, 260, 12).msg("Recipient (Email Address)")
                 .use(M_.EmailToName).on(tab).feq();
    m_mergeNote = w.string("?MergeNote", "The mail merge file must be a comma-delimited list of recipient names and e-mail addresses.")
                      .at(10, 78, 330, 10).on(tab).feq();
    m_scriptNote1 = w.string("?ScriptNote1", "The mail script file must be a comma-delimited list of recipient names, e-mail addresses,")
                        .at(10, 78, 330, 10).on(tab).feq();
    m_scriptNote2 = w.string("?ScriptNote2", "subjects, text files, and attachments.").at(10, 88, 330, 10).on(tab).feq();
    m_ccPrompt = w.prompt("?M_:CC:Prompt", "&CC:").at(10, 92, 50, 10).on(tab).feq();
    m_cc = w.entry("?M_:CC", "@s254").at(64, 90, 260, 12).msg("Carbon Copy").use(M_.CC).on(tab).feq();
    m_bccPrompt = w.prompt("?M_:BCC:Prompt", "&BCC:").at(10, 106, 50, 10).on(tab).feq();
    m_bcc = w.entry("?M_:BCC", "@s254").at(64, 104, 260, 12).msg("Blind Carbon Copy").use(M_.BCC).on(tab).feq();
    w.prompt("?M_:Subject:Prompt", "*&Subject:").at(10, 120, 50, 10).on(tab);
    m_subject = w.entry("?M_:Subject", "@s254").at(64, 118, 260, 12).required().msg("Subject").use(M_.Subject).on(tab).feq();
    w.prompt("?M_:Attachment:Prompt", "Attac&hment(s):").at(10, 134, 50, 10).on(tab);
    m_attachment = w.entry("?M_:Attachment", "@s254").at(64, 132, 260, 12).msg("Attachment file name")
                       .use(M_.Attachment).on(tab).feq();
    m_attachLookup = w.button("?AttachmentLookup", "...").at(326, 132, 14, 12).tip("Select file").on(tab).feq();
  }

  void declareMessage(ui::Window& w) {
    const int tab = w.tab("?Tab:Message", "Message", m_sheet).feq();
    m_messagePrompt = w.prompt("?M_:Message:Prompt", "Message:").at(10, 20, 50, 10).on(tab).feq();
    m_message = w.textBox("?M_:Message").at(10, 32, 336, 136).tip("Message").use(M_.Message).on(tab).feq();
    m_htmlPrompt = w.prompt("?HTMLFile:Prompt", "&HTML file name:").at(10, 22, 60, 10).on(tab).feq();
    m_htmlFile = w.entry("?HTMLFile", "@s255").at(74, 20, 250, 12).msg("HTML file to send as message")
                     .use(M_.HTMLFile).on(tab).feq();
    m_htmlLookup = w.button("?HTMLLookup", "...").at(326, 20, 14, 12).on(tab).feq();
    m_textPrompt = w.prompt("?TextFile:Prompt", "&Text file name:").at(10, 22, 60, 10).on(tab).feq();
    m_textFile = w.entry("?TextFile", "@s255").at(74, 20, 250, 12).msg("Text file to send as message")
                     .use(M_.HTMLFile).on(tab).feq();
    m_textLookup = w.button("?TextLookup", "...").at(326, 20, 14, 12).on(tab).feq();
  }

  void declareOverrides(ui::Window& w) {
    const int tab = w.tab("?Tab:Overrides", "Overrides", m_sheet).feq();
    w.group("?SenderGroup", "Sender").at(8, 20, 340, 46).on(tab);
    w.prompt("?M_:Sender:Prompt", "E-&mail address:").at(14, 32, 60, 10).on(tab);
    w.entry("?M_:Sender", "@s128").at(78, 30, 260, 12).msg("Mail:User").use(M_.Sender).on(tab);
    w.prompt("?M_:SenderName:Prompt", "&Name:").at(14, 48, 60, 10).on(tab);
    w.entry("?M_:SenderName", "@s128").at(78, 46, 260, 12).msg("Sender name").use(M_.SenderName).on(tab);
    w.group("?MailGroup", "Mail ").at(8, 70, 340, 28).on(tab);
    w.prompt("?M_:Mail:Server:Prompt", "&Server:").at(14, 82, 60, 10).on(tab);
    w.entry("?M_:Mail:Server", "@s128").at(78, 80, 260, 12).msg("Mail:Server").use(M_.Mail_Server).on(tab);
    w.group("?NewsGroup", "News").at(8, 102, 340, 62).on(tab);
    w.prompt("?M_:News:Server:Prompt", "Ser&ver:").at(14, 114, 60, 10).on(tab);
    w.entry("?M_:News:Server", "@s128").at(78, 112, 260, 12).msg("News:Server").use(M_.News_Server).on(tab);
    w.prompt("?M_:News:User:Prompt", "&User:").at(14, 130, 60, 10).on(tab);
    w.entry("?M_:News:User", "@s128").at(78, 128, 260, 12).msg("News:User").use(M_.News_User).on(tab);
    w.prompt("?M_:News:Password:Prompt", "&Password:").at(14, 146, 60, 10).on(tab);
    w.entry("?M_:News:Password", "@s128").password().at(78, 144, 260, 12).msg("News:Password").use(M_.News_Password).on(tab);
  }

  // The message field a control edits, for the history key.
  static const rt::FieldDesc* fieldOf(const ui::Control& c) {
    std::string name = c.name();
    if (name.size() < 2 || name[0] != '?') return nullptr;
    if (name == "?HTMLFile" || name == "?TextFile") name = "?M_:HTMLFile";
    return files::Desc_MESSAGES.find(name.substr(1));
  }

  void show(std::initializer_list<int> feqs, bool on) {
    for (int feq : feqs) window().setProp(feq, ui::Prop::Hide, on ? 0 : 1);
  }

  // The controls the mail type and the mail format use; a blank field a type remembers is filled
  // with its last-used value.
  void layOut() {
    const MailKind kind = mailKind(M_.MailType.str());
    const MailTypeLayout l = mailTypeLayout(kind);
    show({m_toPrompt, m_to}, l.to);
    window().setProp(m_toPrompt, ui::Prop::Text, l.toIsNewsgroup ? "*Newsgroup:" : "*&To:");
    show({m_contactLookup}, l.contactButton);
    show({m_categoryPrompt, m_category, m_categoryLookup}, l.category);
    show({m_namePrompt, m_name}, l.name);
    show({m_ccPrompt, m_cc, m_bccPrompt, m_bcc}, l.ccBcc);
    show({m_mergePrompt, m_mergeFile, m_mergeLookup}, l.mergeFile);
    show({m_mergeNote}, l.mergeNote);
    show({m_scriptNote1, m_scriptNote2}, l.scriptNote);
    if (fillsFromLastUsed(kind) && !m_viewOnly && !m_deleting) {
      switch (rememberedField(kind)) {
        case RememberedField::To:
          if (M_.EmailTo.isBlank()) M_.EmailTo = files::GETCONFIG(lastUsedKey(kind));
          break;
        case RememberedField::Category:
          if (M_.EmailToGroup.isBlank()) M_.EmailToGroup = files::GETCONFIG(lastUsedKey(kind));
          break;
        case RememberedField::MergeFile:
          if (M_.MergeFile.isBlank()) M_.MergeFile = files::GETCONFIG(lastUsedKey(kind));
          break;
      }
    }
    const MessageBody body = messageBody(M_.MailFormat.str());
    show({m_messagePrompt, m_message}, body == MessageBody::Text);
    show({m_textPrompt, m_textFile, m_textLookup}, body == MessageBody::TextFile);
    show({m_htmlPrompt, m_htmlFile, m_htmlLookup}, body == MessageBody::HtmlFile);
    window().display();
  }

  // OK: the value the mail type uses is the one its next new message starts with.
  void remember() {
    const MailKind kind = mailKind(M_.MailType.str());
    std::string value;
    switch (rememberedField(kind)) {
      case RememberedField::To: value = M_.EmailTo.str(); break;
      case RememberedField::Category: value = M_.EmailToGroup.str(); break;
      case RememberedField::MergeFile: value = M_.MergeFile.str(); break;
    }
    if (!value.empty()) files::PUTCONFIG(lastUsedKey(kind), value);
  }

  void takeContactInBuffer() {
    M_.ContactID = C_.ClientID;
    M_.EmailTo = C_.Email.str();
    M_.EmailToName = C_.FirstName.str() + " " + C_.LastName.str();
  }

  void takeContact() {
    if (C_.ClientID != m_contactId) {
      C_.ClientID = m_contactId;
      if (files::CONTACT.get(files::C_KeyClientID) != rt::Err::None) return;
    }
    takeContactInBuffer();
    window().display();
  }

  // An address typed in To that a contact has names the contact, unless a name was entered.
  void findContactByAddress() {
    if (M_.EmailTo.isBlank()) return;
    const files::ContactRec keep = C_;
    C_.Email = M_.EmailTo.str().substr(0, 80);
    if (files::CONTACT.get(files::C_KeyEmail) == rt::Err::None && M_.EmailToName.isBlank()) {
      M_.ContactID = C_.ClientID;
      M_.EmailToName = C_.FirstName.str() + " " + C_.LastName.str();
      window().display(m_name);
    }
    C_ = keep;
  }

  // "folder|name1|name2" of a multiple choice, or one path.
  static std::vector<std::string> chosenFiles(const std::string& answer) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
      const size_t bar = answer.find('|', start);
      parts.push_back(answer.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
      if (bar == std::string::npos) break;
      start = bar + 1;
    }
    if (parts.size() == 1) return parts;
    std::string folder = parts.front();
    if (!folder.empty() && folder.back() != '/') folder += '/';
    std::vector<std::string> files;
    for (size_t i = 1; i < parts.size(); ++i) files.push_back(folder + parts[i]);
    return files;
  }

  // Sends the message as the form shows it. The mail sender program reads the stored message,
  // so through it only a message stored as shown is sent.
  void sendNow() {
    if (files::EMAIL.USEMAPI && (Request == ui::InsertRecord || !storedAsShown())) {
      (void)ui::MESSAGE("The mail client sends the stored message.  Press OK to store this message, then send it "
                        "from the message list.",
                        "Mail Error", ui::Icon::Exclamation);
      return;
    }
    scheduler::SetVariable("", "MailError");  // what this send leaves there says why it failed
    const int32_t result = scheduler::SendMessageRecord(0, 1, 0);
    const std::string why = scheduler::TranslateVariable("MailError");
    if (result == 0)
      (void)ui::MESSAGE("Mail sent:  " + M_.EmailTo.str(), "Mail", ui::Icon::None, ui::BUTTON::Ok);
    else
      (void)ui::MESSAGE("Could not send:  " + M_.EmailTo.str() + (why.empty() ? "" : "\r\n\r\n" + why), "Mail Error",
                        ui::Icon::None, ui::BUTTON::Ok);
  }

  RelationUpdateFile m_file;
  int32_t m_contactId = 0;
  winclasses::ReqFldClass m_required;
  winclasses::ColourTabClass m_tabs;
  winclasses::QVMouseWheelClass m_wheel;
  ui::WindowPositionKeeper m_position;
  bool m_viewOnly = false, m_deleting = false, m_opened = false, m_contactsOpened = false;
  int m_sheet = 0, m_mailType = 0, m_mailFormat = 0;
  int m_toPrompt = 0, m_to = 0, m_contactLookup = 0;
  int m_categoryPrompt = 0, m_category = 0, m_categoryLookup = 0;
  int m_mergePrompt = 0, m_mergeFile = 0, m_mergeLookup = 0, m_mergeNote = 0, m_scriptNote1 = 0, m_scriptNote2 = 0;
  int m_namePrompt = 0, m_name = 0, m_ccPrompt = 0, m_cc = 0, m_bccPrompt = 0, m_bcc = 0;
  int m_subject = 0, m_attachment = 0, m_attachLookup = 0;
  int m_messagePrompt = 0, m_message = 0, m_htmlPrompt = 0, m_htmlFile = 0, m_htmlLookup = 0;
  int m_textPrompt = 0, m_textFile = 0, m_textLookup = 0;
  int m_sendNow = 0;
};

// ---- the list -----------------------------------------------------------------------------------

struct MessageRow {
  int32_t EmailID = 0;
  rt::String<255> EmailToName, EmailTo, Subject;
  int32_t LastDateSent = 0;
  rt::String<255> CC, BCC, Attachment;
  int32_t ContactID = 0;
};
const rt::FieldDesc kMessageRowFields[] = {
    {"M_:EmailID", rt::FieldType::Long, 4, 0, offsetof(MessageRow, EmailID)},
    {"M_:EmailToName", rt::FieldType::String, 255, 4, offsetof(MessageRow, EmailToName)},
    {"M_:EmailTo", rt::FieldType::String, 255, 259, offsetof(MessageRow, EmailTo)},
    {"M_:Subject", rt::FieldType::String, 255, 514, offsetof(MessageRow, Subject)},
    {"M_:LastDateSent", rt::FieldType::Long, 4, 769, offsetof(MessageRow, LastDateSent)},
    {"M_:CC", rt::FieldType::String, 255, 773, offsetof(MessageRow, CC)},
    {"M_:BCC", rt::FieldType::String, 255, 1028, offsetof(MessageRow, BCC)},
    {"M_:Attachment", rt::FieldType::String, 255, 1283, offsetof(MessageRow, Attachment)},
    {"M_:ContactID", rt::FieldType::Long, 4, 1538, offsetof(MessageRow, ContactID)},
};
const rt::RecordDesc kMessageRow{"MessageRow", kMessageRowFields, 1542};

class MessagesBrowse : public ui::BrowseClass {
 public:
  rt::Err PrimeRecord(bool suppressClear) override {
    const bool copy = m_copy;
    m_copy = false;
    return ui::BrowseClass::PrimeRecord(suppressClear || copy);
  }
  void markCopy() { m_copy = true; }

 private:
  bool m_copy = false;
};

struct MessageTab {
  const char* name;
  const char* text;
  db::Key* key;
  const char* locatorField;
};
const MessageTab kMessageTabs[] = {
    {"?Tab:EmailID", "E-mail ID", &files::M_KeyEmailID, "M_:EmailID"},
    {"?Tab:Contact", "E-mail To (Contact)", &files::M_KeyContact, "M_:ContactID"},
    {"?Tab:Subject", "Subject", &files::M_KeySubject, "M_:Subject"},
    {"?Tab:LastDateSent", "Last Date Sent", &files::M_KeyLastDateSent, "M_:LastDateSent"},
    {"?Tab:Controls", "Controls", &files::M_KeyEmailID, "M_:EmailID"},
};
constexpr int kMessageTabCount = 5;
static_assert(std::size(kMessageTabs) == kMessageTabCount);

class BrowseMessagesWindow : public ui::WindowManager {
 public:
  BrowseMessagesWindow() : ui::WindowManager("BrowseMessages"), m_view(files::Access_MESSAGES) {}

  ui::Level Init() override {
    Request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    if (scheduler::services().passwordValidation && !scheduler::services().passwordValidation())
      return ui::Level::Notify;
    if (Request != ui::SelectRecord && !m_single.Init(*this)) return ui::Level::Notify;
    if (files::Relate_MESSAGES.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;

    ui::Window& w = window();
    w.setTitle("E-mail Messages");
    if (Request != ui::SelectRecord) w.kind(ui::WindowKind::Mdi);
    w.at(-1, -1, 360, 196).minSize(355, 176).resizable();
    m_sheet = w.sheet("?CurrentTab").at(4, 4, 352, 156).feq();
    for (int i = 0; i < kMessageTabCount; ++i) m_tabs[i] = w.tab(kMessageTabs[i].name, kMessageTabs[i].text, m_sheet).feq();
    m_list = w.add<ui::ListControl>(0, "?Browse:1")
                 .from(m_queue, kMessageRow)
                 .format("40R(2)|M~E-mail ID~C(0)@n11@100L(2)|M~E-mail To Name~@s254@100L(2)|M~E-mail To~@s254@"
                         "120L(2)|M~Subject~@s254@50R(2)|M~Last Sent~C(0)@d17@80L(2)|M~CC~@s254@"
                         "80L(2)|M~BCC~@s254@80L(2)|M~Attachment~@s254@")
                 .at(8, 20, 344, 136)
                 .feq();
    m_browse.Init(m_list, m_view, *this, &files::Relate_MESSAGES);
    for (int i = 0; i < kMessageTabCount; ++i) {
      const std::string field = kMessageTabs[i].locatorField;
      const bool numeric = field != "M_:Subject";
      m_browse.AddSortOrder(numeric ? static_cast<ui::StepClass*>(&m_longSteps[i]) : &m_stringSteps[i],
                            *kMessageTabs[i].key);
      m_locators[i].Init(field);
      m_browse.AddLocator(m_locators[i]);
    }
    (void)m_browse.SetSort(1);
    m_explorer.columns = {
        {"M_:EmailID", 40, "E-mail ID", "@n11", "E-mail ID", 'R', true, false, false, true},
        {"M_:EmailToName", 100, "E-mail To Name", "@s254", "Name of the recipient", 'L', true, false, false, true},
        {"M_:EmailTo", 100, "E-mail To", "@s254", "Address of the recipient", 'L', true, false, false, true},
        {"M_:Subject", 120, "Subject", "@s254", "Subject", 'L', true, false, false, true},
        {"M_:LastDateSent", 50, "Last Sent", "@d17", "Date last sent", 'R', true, false, false, true},
        {"M_:CC", 80, "CC", "@s254", "Copies to", 'L', true, false, false, true},
        {"M_:BCC", 80, "BCC", "@s254", "Blind copies to", 'L', true, false, false, true},
        {"M_:Attachment", 80, "Attachment", "@s254", "Attached files", 'L', true, false, false, true},
        {"M_:ContactID", 40, "Contact ID", "@n11", "Contact ID of the recipient", 'R', false, false, false, true},
    };
    m_send = w.button("?SendEmail", "Send E-&mail").at(4, 164, 56, 14).icon("MAIL.ICO")
                 .tip("Send highlighted e-mail message").feq();
    m_browse.SelectControl = w.button("?Select", "&Select").at(62, 164, 40, 14).feq();
    m_browse.InsertControl = w.button("?Insert", "&New").at(104, 164, 40, 14).feq();
    m_copy = w.button("?Copy", "Cop&y").at(146, 164, 40, 14).feq();
    m_browse.ChangeControl = w.button("?Change", "&Edit").at(188, 164, 40, 14).feq();
    m_browse.DeleteControl = w.button("?Delete", "&Delete").at(230, 164, 40, 14).feq();
    CancelControl = w.button("?Close", "Cl&ose").at(316, 180, 40, 14).icon("EXIT.ICO").feq();
    m_browse.Selecting = Request == ui::SelectRecord;
    if (Request == ui::SelectRecord)
      w.setProp(m_send, ui::Prop::Hide, 1);
    else
      w.setProp(m_browse.SelectControl, ui::Prop::Hide, 1);
    m_browse.AskProcedure = 1;
    m_browse.Popup.AddItem("Cop&y", "Copy");
    m_browse.Popup.AddItemMimic("Copy", m_copy);
    m_binding.Bind(*this, m_browse, m_query, m_explorer, m_state, ".\\POSITION.INI");
    AddItem(m_browse);
    Open();
    scheduler::ApplyDatePicture(w, m_list, "d17");
    m_position.Init(*this, files::globalIni(), true);
    m_binding.Opened();
    return ui::Level::Benign;
  }

  using ui::WindowManager::Run;
  int Run(int /*number*/, int request) override {
    files::GLOBALREQUEST = static_cast<uint8_t>(request);
    return UpdateMessages(0);
  }

  ui::Level TakeEvent() override {
    const ui::Level rv = ui::WindowManager::TakeEvent();
    if (!Dead && window().isOpen() && !isAcceptAllPass())
      window().setProp(m_copy, ui::Prop::Disable, m_browse.HasRecords() > 0 ? 0 : 1);
    return rv;
  }

  ui::Level TakeNewSelection() override {
    if (ui::FIELD() == m_sheet) {
      const int tab = static_cast<ui::Sheet*>(window().control(m_sheet))->selectedTab();
      for (int i = 0; i < kMessageTabCount; ++i)
        if (m_tabs[i] == tab) m_tabOrder = i + 1;
      m_explorer.EraseVisual();  // while the sorted column is still known
      m_binding.clearColumnSort();
      Reset(true);
      ui::SELECT(m_list);
    }
    return ui::WindowManager::TakeNewSelection();
  }

  // The tab's order, or the column order while a column sort is active.
  void Reset(bool force) override {
    const bool changed = m_browse.SetSort(m_binding.chosenOrder(m_tabOrder));
    ui::WindowManager::Reset(force || changed);
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == m_send) {
      queueSend();
      return ui::Level::Notify;
    }
    if (feq == m_copy) {
      if (m_browse.HasRecords() && m_browse.UpdateBuffer() == rt::Err::None) {
        m_browse.markCopy();
        (void)m_browse.Ask(ui::InsertRecord);
      }
      return ui::Level::Notify;
    }
    if (feq == m_browse.SelectControl && Request == ui::SelectRecord) {
      if (m_browse.UpdateBuffer() == rt::Err::None) linkSelected();
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level TakeWindowEvent() override {
    if (ui::EVENT() == ui::EVENT::GainFocus) ui::SELECT(m_list);
    if (ui::EVENT() == scheduler::kEventRefreshAll) m_browse.ResetSort(true);
    return ui::WindowManager::TakeWindowEvent();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_MESSAGES.Close();
    m_opened = false;
    return rv;
  }

 private:
  // A one-step "Send Email" script for the highlighted message, due at once.
  void queueSend() {
    if (!m_browse.HasRecords() || m_browse.UpdateBuffer() != rt::Err::None || M_.EmailID == 0) {
      (void)ui::MESSAGE("There is no e-mail message to send.", "Status", ui::Icon::None, ui::BUTTON::Ok);
      return;
    }
    scheduler::ScriptEntry& entry = scheduler::ActiveScriptQueue.buf;
    entry = scheduler::ScriptEntry{};
    entry.RECORD.Action = "Send Email";
    entry.RECORD.EmailID = M_.EmailID;
    entry.DATE = rt::TODAY();
    entry.TIME = rt::CLOCK();
    scheduler::ActiveScriptQueue.ADD();
    scheduler::StatusBarNote = "Sending Email...";
    (void)ui::MESSAGE("The e-mail message has been queued for delivery.", "Status", ui::Icon::None, ui::BUTTON::Ok);
  }

  void linkSelected() {
    const std::string title = messageLinkTitle(M_.Subject.str(), M_.EmailTo.str());
    files::SCR.EmailID = M_.EmailID;
    files::SCR.WindowTitleToCheckFor = title;
    if (scheduler::openWindowThread("BrowseScriptTemplates") != 0) {
      files::OVD.EmailID = M_.EmailID;
      files::OVD.WindowTitleToCheckFor = title;
    }
  }

  rt::Queue<MessageRow> m_queue;
  db::ViewManager m_view;
  MessagesBrowse m_browse;
  ui::StepLongClass m_longSteps[kMessageTabCount];
  ui::StepStringClass m_stringSteps[kMessageTabCount];
  ui::StepLocatorClass m_locators[kMessageTabCount];
  ui::QueryClass m_query;
  editors::BoundExplorer m_explorer;
  editors::ExploreState m_state;
  editors::ExploreBinding m_binding;
  SingleInstance m_single;
  ui::WindowPositionKeeper m_position;
  bool m_opened = false;
  int m_tabOrder = 1;  // the chosen tab's order
  int m_sheet = 0, m_tabs[kMessageTabCount] = {}, m_list = 0, m_send = 0, m_copy = 0;
};

}  // namespace

std::unique_ptr<ui::WindowManager> makeBrowseMessages() { return std::make_unique<BrowseMessagesWindow>(); }

std::unique_ptr<ui::WindowManager> makeUpdateMessages() { return std::make_unique<UpdateMessagesForm>(0); }

int BrowseMessages() {
  BrowseMessagesWindow list;
  return list.Run();
}

int UpdateMessages(int32_t contactId) {
  UpdateMessagesForm form(contactId);
  return form.Run();
}

}  // namespace ov::dialogs
