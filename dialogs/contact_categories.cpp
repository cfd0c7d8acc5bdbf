#include "dialogs/contact_categories.h"

#include <cstddef>

#include "datalib/files.h"
#include "datalib/records.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "dialogs/contacts.h"
#include "dialogs/record_form.h"
#include "dialogs/single_instance.h"
#include "editors/explore_binding.h"
#include "editors/style_window_controls.h"
#include "platform/files/view_manager.h"
#include "platform/rt/queue.h"
#include "platform/ui/browse_class.h"
#include "platform/ui/event.h"
#include "platform/ui/list_control.h"
#include "platform/ui/locator_class.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "winclasses/colour_tab_class.h"
#include "winclasses/req_fld_class.h"

namespace ov::dialogs {

namespace {

using files::C_;
using files::CC;

constexpr int kHistoryKey = 734;
constexpr int32_t kSelectedTabColour = 10987431;

struct CategoryRow {
  rt::String<20> ContactCategory;
};
const rt::FieldDesc kCategoryRowFields[] = {
    {"CC:ContactCategory", rt::FieldType::String, 20, 0, offsetof(CategoryRow, ContactCategory)},
};
const rt::RecordDesc kCategoryRow{"ContactCategoryRow", kCategoryRowFields, 20};

// ---- the picker ---------------------------------------------------------------------------------

class SelectContactCategoriesWindow : public ui::WindowManager {
 public:
  SelectContactCategoriesWindow()
      : ui::WindowManager("SelectContactCategories"), m_view(files::Access_CONTACTCATEGORIES) {}

  ui::Level Init() override {
    Request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    if (Request != ui::SelectRecord && !m_single.Init(*this)) return ui::Level::Notify;
    if (files::Relate_CONTACTCATEGORIES.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;

    ui::Window& w = window();
    w.setTitle("Select a Category");
    w.at(-1, -1, 160, 150).minSize(157, 130).resizable();
    m_sheet = w.sheet("?CurrentTab").at(4, 4, 152, 124).feq();
    const int tab = w.tab("?Tab:Category", "Category", m_sheet).feq();
    m_list = w.add<ui::ListControl>(0, "?Browse:1")
                 .from(m_queue, kCategoryRow)
                 .format("80L(2)|M~Category~@s20@")
                 .at(8, 20, 144, 104)
                 .tip("Browsing Records")
                 .on(tab)
                 .feq();
    m_browse.Init(m_list, m_view, *this, &files::Relate_CONTACTCATEGORIES);
    m_browse.AddSortOrder(&m_step, files::CC_KeyContactCategories);
    m_locator.Init("CC:ContactCategory");
    m_browse.AddLocator(m_locator);
    m_browse.AddField("CC:ContactCategory", "CC:ContactCategory");
    m_browse.SelectControl = w.button("?Select", "&Select").at(66, 132, 44, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(112, 132, 44, 14).feq();
    m_browse.Selecting = true;
    AddItem(m_browse);
    Open();
    m_position.Init(*this, files::globalIni(), true);
    m_tabs.Init(kSelectedTabColour, -1, 0, -1, -1, 0, 0);
    m_tabs.ColourTabs();
    return ui::Level::Benign;
  }

  ui::Level TakeNewSelection() override {
    if (ui::FIELD() == m_sheet) {
      if (window().isShown(m_list)) ui::SELECT(m_list);
      m_tabs.ColourTabs();
    }
    return ui::WindowManager::TakeNewSelection();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    m_tabs.Kill();
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_CONTACTCATEGORIES.Close();
    m_opened = false;
    return rv;
  }

 private:
  rt::Queue<CategoryRow> m_queue;
  db::ViewManager m_view;
  ui::BrowseClass m_browse;
  ui::StepStringClass m_step;
  ui::StepLocatorClass m_locator;
  SingleInstance m_single;
  ui::WindowPositionKeeper m_position;
  winclasses::ColourTabClass m_tabs;
  bool m_opened = false;
  int m_sheet = 0, m_list = 0;
};

// ---- the form -----------------------------------------------------------------------------------

files::ContactCategoryRec& lastCategory() {
  static files::ContactCategoryRec last;
  return last;
}

class UpdateContactCategoriesForm : public ui::WindowManager {
 public:
  UpdateContactCategoriesForm()
      : ui::WindowManager("UpdateContactCategories"), m_file(files::Relate_CONTACTCATEGORIES) {}

  ui::Level Init() override {
    takeFormRequest(Request, m_viewOnly, m_deleting);
    HistoryKey = kHistoryKey;
    AddUpdateFile(m_file);
    if (files::Relate_CONTACTCATEGORIES.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;
    if (Request == ui::InsertRecord && !files::Access_CONTACTCATEGORIES.hasReservation() &&
        m_file.PrimeRecord(false) != rt::Err::None)
      return ui::Level::Fatal;

    ui::Window& w = window();
    w.at(-1, -1, 176, 54).minSize(176, 54).resizable();
    w.prompt("?CC:ContactCategory:Prompt", "&Category:").at(6, 10, 40, 10);
    // An empty name would be a category no contact can be filed under by name.
    m_name = w.entry("?CC:ContactCategory", "@s20").at(50, 8, 100, 12).tip("Contact Category").required()
                 .use(CC.ContactCategory).feq();
    OkControl = w.button("?OK", "&OK").setDefault().at(78, 34, 45, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(126, 34, 45, 14).feq();
    AddHistoryField(m_name, [] { CC.ContactCategory = lastCategory().ContactCategory; });
    w.setTitle(formTitle(Request, m_viewOnly, "Contact Category"));
    Open();
    m_required.Init("Missing Information", "@PROMPT must be entered.", false);
    m_position.Init(*this, files::globalIni(), true);
    if (m_deleting) {
      editors::StyleWindowControls(*this, true);
      FirstField = CancelControl;  // the focus as the window opens
    }
    return ui::Level::Benign;
  }

  void Reset(bool force) override {
    ui::WindowManager::Reset(force);
    if (m_viewOnly || m_deleting) editors::StyleWindowControls(*this, m_deleting);
  }

  ui::Level TakeAccepted() override {
    if (ui::ACCEPTED() == OkControl && !m_deleting && m_required.Incomplete(false)) return ui::Level::Notify;
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level TakeCompleted() override {
    const ui::Level rv = ui::WindowManager::TakeCompleted();
    if (Response == ui::RequestCompleted && !m_deleting) lastCategory() = CC;
    return rv;
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    m_required.Kill();
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_CONTACTCATEGORIES.Close();
    m_opened = false;
    return rv;
  }

 private:
  RelationUpdateFile m_file;
  winclasses::ReqFldClass m_required;
  ui::WindowPositionKeeper m_position;
  bool m_viewOnly = false, m_deleting = false, m_opened = false;
  int m_name = 0;
};

// ---- the two-pane window ------------------------------------------------------------------------

struct PaneContactRow {
  rt::String<20> FirstName;
  rt::String<40> LastName;
  rt::String<80> Email;
  rt::String<40> AddressLine1, AddressLine2, AddressLine3;
  rt::String<10> PostalCode;
  rt::String<20> WorkDayPhone, HomeEveningPhone, Fax;
  int32_t ClientID = 0;
  rt::String<20> ContactCategory;
};
const rt::FieldDesc kPaneContactRowFields[] = {
    {"C_:FirstName", rt::FieldType::String, 20, 0, offsetof(PaneContactRow, FirstName)},
    {"C_:LastName", rt::FieldType::String, 40, 20, offsetof(PaneContactRow, LastName)},
    {"C_:Email", rt::FieldType::String, 80, 60, offsetof(PaneContactRow, Email)},
    {"C_:AddressLine1", rt::FieldType::String, 40, 140, offsetof(PaneContactRow, AddressLine1)},
    {"C_:AddressLine2", rt::FieldType::String, 40, 180, offsetof(PaneContactRow, AddressLine2)},
    {"C_:AddressLine3", rt::FieldType::String, 40, 220, offsetof(PaneContactRow, AddressLine3)},
    {"C_:PostalCode", rt::FieldType::String, 10, 260, offsetof(PaneContactRow, PostalCode)},
    {"C_:WorkDayPhone", rt::FieldType::String, 20, 270, offsetof(PaneContactRow, WorkDayPhone)},
    {"C_:HomeEveningPhone", rt::FieldType::String, 20, 290, offsetof(PaneContactRow, HomeEveningPhone)},
    {"C_:Fax", rt::FieldType::String, 20, 310, offsetof(PaneContactRow, Fax)},
    {"C_:ClientID", rt::FieldType::Long, 4, 330, offsetof(PaneContactRow, ClientID)},
    {"C_:ContactCategory", rt::FieldType::String, 20, 334, offsetof(PaneContactRow, ContactCategory)},
};
const rt::RecordDesc kPaneContactRow{"PaneContactRow", kPaneContactRowFields, 354};

// The contacts of the highlighted category. A new contact is filed under it; "Cop&y" primes the
// new contact as a copy of the highlighted one.
class CategoryContactsBrowse : public ui::BrowseClass {
 public:
  rt::Err PrimeRecord(bool suppressClear) override {
    const bool copy = m_copy;
    m_copy = false;
    const rt::Err err = ui::BrowseClass::PrimeRecord(suppressClear || copy);
    if (err == rt::Err::None) C_.ContactCategory = CC.ContactCategory;
    return err;
  }
  void markCopy() { m_copy = true; }

 private:
  bool m_copy = false;
};

constexpr int kCategoryForm = 1, kContactForm = 2;

class BrowseContactCategories2PaneWindow : public ui::WindowManager {
 public:
  BrowseContactCategories2PaneWindow()
      : ui::WindowManager("BrowseContactCategories2Pane"),
        m_categoryView(files::Access_CONTACTCATEGORIES),
        m_contactView(files::Access_CONTACT) {}

  ui::Level Init() override {
    Request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    if (Request != ui::SelectRecord && !m_single.Init(*this)) return ui::Level::Notify;
    if (files::Relate_CONTACT.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;
    // The categories list reads its own file, which the contacts' relations only look into.
    if (files::Relate_CONTACTCATEGORIES.Open() != rt::Err::None) return ui::Level::Fatal;
    m_categoriesOpened = true;

    ui::Window& w = window();
    w.setTitle("Contact Categories");
    if (Request != ui::SelectRecord) w.kind(ui::WindowKind::Mdi);
    w.at(-1, -1, 400, 190).minSize(330, 164).resizable();
    m_categoryList = w.add<ui::ListControl>(0, "?Browse:1")
                         .from(m_categoryQueue, kCategoryRow)
                         .format("80L|M~Categories~L(1)@s20@")
                         .at(4, 4, 100, 150)
                         .tip("Browsing Functions")
                         .feq();
    m_categories.Init(m_categoryList, m_categoryView, *this, &files::Relate_CONTACTCATEGORIES);
    m_categories.AddSortOrder(&m_categoryStep, files::CC_KeyContactCategories);
    m_categoryLocator.Init("CC:ContactCategory");
    m_categories.AddLocator(m_categoryLocator);
    m_categoryExplorer.columns = {
        {"CC:ContactCategory", 80, "Categories", "@s20", "Contact category", 'L', true, false, false, true},
    };
    m_categoryBinding.Bind(*this, m_categories, m_categoryQuery, m_categoryExplorer, m_categoryState,
                           ".\\POSITION.INI");
    m_categories.InsertControl = w.button("?Insert", "&New").at(4, 158, 32, 14).feq();
    m_categories.ChangeControl = w.button("?Change", "&Edit").at(38, 158, 32, 14).feq();
    m_categories.DeleteControl = w.button("?Delete", "&Delete").at(72, 158, 32, 14).feq();
    m_categories.AskProcedure = kCategoryForm;

    w.string("?ContactsCaption", "Contacts for Highlighted Category").at(110, 4, 200, 10);
    m_contactList = w.add<ui::ListControl>(0, "?List")
                        .from(m_contactQueue, kPaneContactRow)
                        .format("80L(2)|M~First Name~@s20@80L(2)|M~Last Name~@s30@120L(2)|M~Email~@s40@"
                                "80L(2)|M~Address Line 1~@s30@80L(2)|M~Address Line 2~@s30@"
                                "80L(2)|M~Address Line 3~@s30@40L(2)|M~Postal Code~@s10@"
                                "60L(2)|M~Work/Day Phone~@s20@60L(2)|M~Home/Evening Phone~@s20@"
                                "60L(2)|M~Fax~@s20@")
                        .at(110, 16, 286, 138)
                        .tip("Browsing Tasks")
                        .feq();
    m_contacts.Init(m_contactList, m_contactView, *this, &files::Relate_CONTACT);
    m_contacts.AddSortOrder(&m_contactStep, files::C_KeyCategory);
    m_contacts.AddRange("C_:ContactCategory", CC.ContactCategory);
    m_contactLocator.Init("C_:LastName");
    m_contacts.AddLocator(m_contactLocator);
    m_contacts.AddResetField(CC.ContactCategory);
    m_contactExplorer.columns = {
        {"C_:FirstName", 80, "First Name", "@s20", "First name", 'L', true, false, false, true},
        {"C_:LastName", 80, "Last Name", "@s30", "Last name", 'L', true, false, false, true},
        {"C_:Email", 120, "Email", "@s40", "E-mail address", 'L', true, false, false, true},
        {"C_:AddressLine1", 80, "Address Line 1", "@s30", "Address line 1", 'L', true, false, false, true},
        {"C_:AddressLine2", 80, "Address Line 2", "@s30", "Address line 2", 'L', true, false, false, true},
        {"C_:AddressLine3", 80, "Address Line 3", "@s30", "Address line 3", 'L', true, false, false, true},
        {"C_:PostalCode", 40, "Postal Code", "@s10", "Postal code", 'L', true, false, false, true},
        {"C_:WorkDayPhone", 60, "Work/Day Phone", "@s20", "Work or day phone", 'L', true, false, false, true},
        {"C_:HomeEveningPhone", 60, "Home/Evening Phone", "@s20", "Home or evening phone", 'L', true, false, false,
         true},
        {"C_:Fax", 60, "Fax", "@s20", "Fax", 'L', true, false, false, true},
        {"C_:ClientID", 40, "Client ID", "@n11", "Client ID", 'R', false, false, false, true},
        {"C_:ContactCategory", 80, "Category", "@s20", "Contact category", 'L', false, false, false, true},
    };
    m_contactExplorer.ranges = {{"C_:ContactCategory", ui::Binding(CC.ContactCategory)}};
    m_contactExplorer.resetFields = {ui::Binding(CC.ContactCategory)};
    m_contacts.InsertControl = w.button("?InsertContact", "New").at(110, 158, 40, 14).feq();
    m_copy = w.button("?CopyContact", "Cop&y").at(152, 158, 40, 14).feq();
    m_contacts.ChangeControl = w.button("?ChangeContact", "Edit").at(194, 158, 40, 14).feq();
    m_contacts.DeleteControl = w.button("?DeleteContact", "Delete").at(236, 158, 40, 14).feq();
    m_contacts.AskProcedure = kContactForm;
    CancelControl = w.button("?Close", "Cl&ose").at(356, 172, 40, 14).feq();
    m_contacts.Popup.AddItem("Cop&y", "Copy");
    m_contacts.Popup.AddItemMimic("Copy", m_copy);
    m_contactBinding.Bind(*this, m_contacts, m_contactQuery, m_contactExplorer, m_contactState, ".\\POSITION.INI",
                          ">Header", "?List");
    AddItem(m_categories);
    AddItem(m_contacts);
    Open();
    m_position.Init(*this, files::globalIni(), true);
    m_categoryBinding.Opened();
    m_contactBinding.Opened();
    return ui::Level::Benign;
  }

  using ui::WindowManager::Run;
  int Run(int number, int request) override {
    files::GLOBALREQUEST = static_cast<uint8_t>(request);
    if (number == kCategoryForm) return UpdateContactCategories();
    // The contact form looks categories up in the CC buffer, which holds the contacts' range.
    const files::ContactCategoryRec highlighted = CC;
    const int response = UpdateContacts();
    CC = highlighted;
    return response;
  }

  void Reset(bool force) override {
    ui::WindowManager::Reset(force);
    if (!isAcceptAllPass()) window().setProp(m_copy, ui::Prop::Disable, m_contacts.HasRecords() == 0);
  }

  ui::Level TakeEvent() override {
    const ui::Level rv = ui::WindowManager::TakeEvent();
    // The contacts follow the highlighted category.
    if (ui::EVENT() == ui::EVENT::NewSelection && ui::FIELD() == m_categoryList) {
      m_contacts.ResetSort(true);
      window().setProp(m_copy, ui::Prop::Disable, m_contacts.HasRecords() == 0);
    }
    return rv;
  }

  ui::Level TakeAccepted() override {
    if (ui::ACCEPTED() == m_copy) {
      if (m_contacts.HasRecords() && m_contacts.UpdateBuffer() == rt::Err::None) {
        m_contacts.markCopy();
        (void)m_contacts.Ask(ui::InsertRecord);
      }
      return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level TakeWindowEvent() override {
    if (ui::EVENT() == ui::EVENT::GainFocus) ui::SELECT(m_categoryList);
    return ui::WindowManager::TakeWindowEvent();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_categoriesOpened) (void)files::Relate_CONTACTCATEGORIES.Close();
    if (m_opened) (void)files::Relate_CONTACT.Close();
    m_opened = m_categoriesOpened = false;
    return rv;
  }

 private:
  rt::Queue<CategoryRow> m_categoryQueue;
  rt::Queue<PaneContactRow> m_contactQueue;
  db::ViewManager m_categoryView, m_contactView;
  ui::BrowseClass m_categories;
  CategoryContactsBrowse m_contacts;
  ui::StepStringClass m_categoryStep, m_contactStep;
  ui::StepLocatorClass m_categoryLocator, m_contactLocator;
  ui::QueryClass m_categoryQuery, m_contactQuery;
  editors::BoundExplorer m_categoryExplorer, m_contactExplorer;
  editors::ExploreState m_categoryState, m_contactState;
  editors::ExploreBinding m_categoryBinding, m_contactBinding;
  SingleInstance m_single;
  ui::WindowPositionKeeper m_position;
  bool m_opened = false, m_categoriesOpened = false;
  int m_categoryList = 0, m_contactList = 0, m_copy = 0;
};

}  // namespace

std::unique_ptr<ui::WindowManager> makeBrowseContactCategories2Pane() {
  return std::make_unique<BrowseContactCategories2PaneWindow>();
}

std::unique_ptr<ui::WindowManager> makeSelectContactCategories() {
  return std::make_unique<SelectContactCategoriesWindow>();
}

int SelectContactCategories() {
  SelectContactCategoriesWindow picker;
  return picker.Run();
}

int UpdateContactCategories() {
  UpdateContactCategoriesForm form;
  return form.Run();
}

int BrowseContactCategories2Pane() {
  BrowseContactCategories2PaneWindow list;
  return list.Run();
}

}  // namespace ov::dialogs
