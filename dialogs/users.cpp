#include "dialogs/users.h"

#include <cstddef>

#include "datalib/files.h"
#include "datalib/records.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "dialogs/record_form.h"
#include "dialogs/single_instance.h"
#include "editors/style_window_controls.h"
#include "platform/files/view_manager.h"
#include "platform/rt/queue.h"
#include "platform/ui/browse_class.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/locator_class.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "winclasses/colour_tab_class.h"
#include "winclasses/req_fld_class.h"

namespace ov::dialogs {

namespace {

using files::U_;

constexpr int32_t kSelectedTabColour = 10987431;

class UpdateUsersForm : public ui::WindowManager {
 public:
  UpdateUsersForm() : ui::WindowManager("UpdateUsers"), m_file(files::Relate_USERS) {}

  ui::Level Init() override {
    takeFormRequest(Request, m_viewOnly, m_deleting);
    AddUpdateFile(m_file);
    if (files::Relate_USERS.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;
    if (Request == ui::InsertRecord && m_file.PrimeRecord(false) != rt::Err::None) return ui::Level::Fatal;

    ui::Window& w = window();
    w.at(-1, -1, 230, 170);
    const int sheet = w.sheet("?CurrentTab").at(4, 4, 222, 144).feq();
    const int basic = w.tab("?Tab:Basic", "Basic", sheet).feq();
    w.prompt("?U_:USER:Prompt", "&User:").at(10, 24, 60, 10).on(basic);
    m_user = w.entry("?U_:USER", "@s40").at(76, 22, 140, 12).required().use(U_.User).on(basic).feq();
    w.check("?U_:USEPASSWORD", "&Use Password").at(76, 38, 100, 10).use(U_.UsePassword).on(basic);
    w.prompt("?U_:PASSWORD:Prompt", "&Password:").at(10, 54, 60, 10).on(basic);
    w.entry("?U_:PASSWORD", "@s40").password().at(76, 52, 140, 12).use(U_.Password).on(basic);
    w.prompt("?U_:CONFIRMPASSWORD:Prompt", "&Confirm Password:").at(10, 70, 64, 10).on(basic);
    w.entry("?U_:CONFIRMPASSWORD", "@s40").password().at(76, 68, 140, 12).use(U_.ConfirmPassword).on(basic);
    const int security = w.option("?U_:SECURITY", "Access to Information").at(10, 86, 206, 24).use(U_.Security).on(basic).feq();
    w.radio("?U_:SECURITY:Radio1", "Pe&rsonal", security).value("Personal").at(16, 96, 60, 10);
    w.radio("?U_:SECURITY:Radio2", "&All Users", security).value("All Users").at(90, 96, 60, 10);
    w.prompt("?U_:SOURCEPATH:Prompt", "Source Pa&th:").at(10, 118, 60, 10).on(basic);
    w.entry("?U_:SOURCEPATH", "@s255").at(76, 116, 140, 12).tip("Source Path").use(U_.SourcePath).on(basic);
    const int notes = w.tab("?Tab:Notes", "Notes", sheet).feq();
    w.prompt("?U_:NOTES:Prompt", "&Notes:").at(10, 22, 60, 10).on(notes);
    w.textBox("?U_:NOTES").at(10, 34, 206, 106).use(U_.Notes).on(notes);
    OkControl = w.button("?OK", "&OK").setDefault().at(126, 152, 48, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(178, 152, 48, 14).feq();
    const std::string title = formTitle(Request, m_viewOnly, "User");
    w.setTitle(title.empty() ? "User" : title);
    Open();
    m_required.Init("Missing Information", "@PROMPT must be entered.", false);
    m_required.AddField(m_user, "U_:USER", "User", "", "User", true);
    m_position.Init(*this, files::globalIni(), true);
    m_tabs.Init(kSelectedTabColour, -1, 0, -1, -1, 0, 0);
    m_tabs.ColourTabs();
    if (m_viewOnly || m_deleting) {
      editors::StyleWindowControls(*this, m_deleting);
      FirstField = CancelControl;
    }
    return ui::Level::Benign;
  }

  void Reset(bool force) override {
    ui::WindowManager::Reset(force);
    if (m_viewOnly || m_deleting) editors::StyleWindowControls(*this, m_deleting);
  }

  ui::Level TakeAccepted() override {
    if (ui::ACCEPTED() == OkControl && !m_deleting && !m_viewOnly && m_required.Incomplete(false))
      return ui::Level::Notify;
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level TakeNewSelection() override {
    if (ui::FIELD() == window().feq("?CurrentTab")) m_tabs.ColourTabs();
    return ui::WindowManager::TakeNewSelection();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    m_required.Kill();
    m_tabs.Kill();
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_USERS.Close();
    m_opened = false;
    return rv;
  }

 private:
  RelationUpdateFile m_file;
  winclasses::ReqFldClass m_required;
  winclasses::ColourTabClass m_tabs;
  ui::WindowPositionKeeper m_position;
  bool m_viewOnly = false, m_deleting = false, m_opened = false;
  int m_user = 0;
};

struct UserRow {
  rt::String<40> User;
};
const rt::FieldDesc kUserRowFields[] = {
    {"U_:USER", rt::FieldType::String, 40, 0, offsetof(UserRow, User)},
};
const rt::RecordDesc kUserRow{"UserRow", kUserRowFields, 40};

class BrowseUsersWindow : public ui::WindowManager {
 public:
  BrowseUsersWindow() : ui::WindowManager("BrowseUsers"), m_view(files::Access_USERS) {}

  ui::Level Init() override {
    const int request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    Request = request;
    if (request != ui::SelectRecord && !m_single.Init(*this)) return ui::Level::Notify;
    if (files::Relate_USERS.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;

    ui::Window& w = window();
    w.setTitle("Users");
    w.kind(ui::WindowKind::Mdi);
    w.at(-1, -1, 200, 180).minSize(190, 160).resizable();
    const int sheet = w.sheet("?CurrentTab").at(4, 4, 192, 140).feq();
    m_tab = w.tab("?Tab:User", "User", sheet).feq();
    m_list = w.add<ui::ListControl>(0, "?Browse:1")
                 .from(m_queue, kUserRow)
                 .format("160L(2)|M~User~@s40@")
                 .at(8, 20, 184, 120)
                 .on(m_tab)
                 .feq();
    m_browse.Init(m_list, m_view, *this, &files::Relate_USERS);
    m_browse.AddSortOrder(&m_step, files::U_KeyUser);
    m_locator.Init("U_:USER");
    m_browse.AddLocator(m_locator);
    m_browse.AddField("U_:USER", "U_:USER");
    m_browse.SelectControl = w.button("?Select", "&Select").at(4, 148, 36, 14).feq();
    m_browse.InsertControl = w.button("?Insert", "&New").at(44, 148, 36, 14).feq();
    m_browse.ChangeControl = w.button("?Change", "&Edit").at(84, 148, 36, 14).feq();
    m_browse.DeleteControl = w.button("?Delete", "Delete").at(124, 148, 36, 14).feq();
    CancelControl = w.button("?Close", "Cl&ose").at(164, 148, 36, 14).feq();
    if (request != ui::SelectRecord) w.setProp(m_browse.SelectControl, ui::Prop::Hide, 1);
    m_browse.AskProcedure = 1;
    AddItem(m_browse);
    Open();
    m_position.Init(*this, files::globalIni(), true);
    m_tabs.Init(kSelectedTabColour, -1, 0, -1, -1, 0, 0);
    m_tabs.ColourTabs();
    return ui::Level::Benign;
  }

  ui::Level TakeNewSelection() override {
    if (ui::FIELD() == window().feq("?CurrentTab")) window().select(m_list);
    return ui::WindowManager::TakeNewSelection();
  }

  using ui::WindowManager::Run;
  int Run(int /*number*/, int request) override {
    ui::BusyCursor busy;
    files::GLOBALREQUEST = static_cast<uint8_t>(request);
    return UpdateUsers();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    m_tabs.Kill();
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_USERS.Close();
    m_opened = false;
    return rv;
  }

 private:
  rt::Queue<UserRow> m_queue;
  db::ViewManager m_view;
  ui::BrowseClass m_browse;
  ui::StepStringClass m_step;
  ui::IncrementalLocatorClass m_locator;
  SingleInstance m_single;
  ui::WindowPositionKeeper m_position;
  winclasses::ColourTabClass m_tabs;
  bool m_opened = false;
  int m_tab = 0, m_list = 0;
};

}  // namespace

std::unique_ptr<ui::WindowManager> makeBrowseUsers() { return std::make_unique<BrowseUsersWindow>(); }

int UpdateUsers() {
  UpdateUsersForm form;
  return form.Run();
}

}  // namespace ov::dialogs
