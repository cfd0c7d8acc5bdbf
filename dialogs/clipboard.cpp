#include "dialogs/clipboard.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "datalib/date_string_functions.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "dialogs/record_form.h"
#include "dialogs/single_instance.h"
#include "editors/explore_binding.h"
#include "editors/style_window_controls.h"
#include "platform/files/view_manager.h"
#include "platform/libs/query_wizard/query_wizard.h"
#include "platform/rt/date_time.h"
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
#include "scheduler/program_runner.h"
#include "scheduler/window_utils.h"
#include "winclasses/req_fld_class.h"

namespace ov::dialogs {

namespace {

using files::CLC;
using files::CLI;

constexpr int kHistoryKey = 734;
constexpr size_t kContentsWidth = 16635;
constexpr size_t kRunTextWidth = 255;
constexpr int kRefreshTimerEvents = 100;  // the list is re-read on the timer event after these
constexpr const char* kGeneral = "General";

std::string lowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool isBreak(char c) { return c == '\r' || c == '\n' || c == '\t'; }

// From `from`: at most 255 characters, cut before the first blank, line break or double quote.
std::string linkAt(std::string_view contents, size_t from) {
  std::string_view s = contents.substr(from, kRunTextWidth);
  size_t end = 0;
  while (end < s.size() && s[end] != ' ' && s[end] != '"' && !isBreak(s[end])) ++end;
  return std::string(s.substr(0, end));
}

// The path that ends with the suffix found at `at` (4 characters long).
std::string pathEndingAt(std::string_view contents, size_t at) {
  const std::string_view taken = contents.substr(0, at + 4);
  const bool quoted = taken.find('"') != std::string_view::npos;
  size_t start = 0;
  for (size_t i = at; i-- > 0;) {
    const char c = taken[i];
    // A blank inside a quoted path is part of it; a line break never is.
    if (c == '"' || isBreak(c) || (c == ' ' && !quoted)) {
      start = i + 1;
      break;
    }
  }
  return std::string(taken.substr(start));
}

}  // namespace

std::vector<ClipboardRunTarget> clipboardRunTargets(std::string_view contents) {
  std::vector<ClipboardRunTarget> out;
  const std::string lower = lowerAscii(contents);
  for (const char* prefix : {"http:", "mailto:"}) {
    const size_t at = lower.find(prefix);
    if (at == std::string::npos) continue;
    std::string link = linkAt(contents, at);
    if (!link.empty()) out.push_back({ClipboardRunTarget::Link, std::move(link)});
  }
  for (const char* suffix : {".exe", ".lnk", ".url"}) {
    const size_t at = lower.find(suffix);
    if (at == std::string::npos) continue;
    std::string path = pathEndingAt(contents, at);
    if (!path.empty()) out.push_back({ClipboardRunTarget::Program, std::move(path)});
  }
  // An address typed without its scheme: only its first word, never the rest of the entry.
  if (contents.substr(0, 3) == "www") out.push_back({ClipboardRunTarget::Link, "http://" + linkAt(contents, 0)});
  return out;
}

bool clipboardShowsLink(std::string_view contents) {
  const std::string lower = lowerAscii(contents);
  for (const char* s : {"http:", "mailto:", ".exe", ".lnk"})
    if (lower.find(s) != std::string::npos) return true;
  return false;
}

std::string& clipboardQueryFields() {
  static std::string table =
      "Contents\xA6" "0\xA6" "CLI:ClipContents\xA6@s255\xA6" "16635\xA6" "1\xA6" "1\xA6\xA6\xA6\xA6\xAB"
      "Abbreviation\xA6" "0\xA6" "CLI:Abbreviation\xA6@s20\xA6" "20\xA6" "1\xA6" "1\xA6\xA6\xA6\xA6\xAB"
      "Category\xA6" "0\xA6" "CLI:Category\xA6@s20\xA6" "20\xA6" "1\xA6" "1\xA6\xA6\xA6\xA6\xAB"
      "Date\xA6" "0\xA6" "CLI:ClipDate\xA6@d3\xA6" "4\xA6" "2\xA6" "1\xA6\xA6\xA6\xA6\xAB"
      "Time\xA6" "0\xA6" "CLI:ClipTime\xA6@t3\xA6" "4\xA6" "2\xA6" "1\xA6\xA6\xA6\xA6\xAB"
      "Date\xA6" "0\xA6" "CLI:MRUDate\xA6@d3\xA6" "4\xA6" "2\xA6" "1\xA6\xA6\xA6\xA6\xAB"
      "MRU Time\xA6" "0\xA6" "CLI:MRUTime\xA6@t3\xA6" "4\xA6" "2\xA6" "1\xA6\xA6\xA6\xA6\xAB"
      "Keep\xA6" "0\xA6" "CLI:ClipKeep\xA6@n3\xA6" "1\xA6" "2\xA6" "2\xA6\xA6Keep this clipboard record\xA6\xA6\xAB"
      "Clipboard content format\xA6" "0\xA6" "CLI:Format\xA6@s20\xA6" "20\xA6" "1\xA6" "1\xA6\xA6\xA6\xA6\xAB";
  return table;
}

ClipboardStarter& clipboardStarter() {
  static ClipboardStarter starter = [](const ClipboardRunTarget& target) {
    const rt::Started started = rt::shellOpen(target.text);
    if (started.handle) rt::closeProgram(started.handle);
    return started.error;
  };
  return starter;
}

namespace {

// Starts what the entry names; a failed start is told with its reason.
void runEntry(std::string_view contents) {
  for (const ClipboardRunTarget& target : clipboardRunTargets(contents)) {
    const int error = clipboardStarter()(target);
    if (error != 0)
      (void)ui::MESSAGE("\"" + target.text + "\" could not be started.|" + scheduler::startErrorDescription(error),
                        "Run", ui::Icon::Exclamation);
  }
}

// ---- the category picker ------------------------------------------------------------------------

struct CategoryRow {
  rt::String<20> Category;
};
const rt::FieldDesc kCategoryRowFields[] = {
    {"CLC:Category", rt::FieldType::String, 20, 0, offsetof(CategoryRow, Category)},
};
const rt::RecordDesc kCategoryRow{"ClipboardCategoryRow", kCategoryRowFields, 20};

class SelectClipboardCategoryWindow : public ui::WindowManager {
 public:
  SelectClipboardCategoryWindow()
      : ui::WindowManager("SelectClipboardCategory"), m_view(files::Access_CLIPBOARDCATEGORIES) {}

  ui::Level Init() override {
    Request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    if (Request != ui::SelectRecord && !m_single.Init(*this)) return ui::Level::Notify;
    if (files::Relate_CLIPBOARDCATEGORIES.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;

    ui::Window& w = window();
    w.setTitle("Select a Category");
    w.at(-1, -1, 160, 150).minSize(157, 130).resizable();
    const int list = w.add<ui::ListControl>(0, "?Browse:1")
                         .from(m_queue, kCategoryRow)
                         .format("80L(2)|M~Category~@s20@")
                         .at(4, 4, 152, 122)
                         .feq();
    m_browse.Init(list, m_view, *this, &files::Relate_CLIPBOARDCATEGORIES);
    m_browse.AddSortOrder(&m_step, files::CLC_KeyCategory);
    m_locator.Init("CLC:Category");
    m_browse.AddLocator(m_locator);
    m_browse.AddField("CLC:Category", "CLC:Category");
    m_browse.SelectControl = w.button("?Select", "&Select").at(66, 130, 44, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(112, 130, 44, 14).feq();
    m_browse.Selecting = true;
    AddItem(m_browse);
    Open();
    scheduler::ApplyDatePicture(w, list, "");
    scheduler::ApplyTimePicture(w, list);
    m_position.Init(*this, files::globalIni(), true);
    return ui::Level::Benign;
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_CLIPBOARDCATEGORIES.Close();
    m_opened = false;
    return rv;
  }

 private:
  rt::Queue<CategoryRow> m_queue;
  db::ViewManager m_view;
  ui::BrowseClass m_browse;
  ui::StepStringClass m_step;
  ui::IncrementalLocatorClass m_locator;
  SingleInstance m_single;
  ui::WindowPositionKeeper m_position;
  bool m_opened = false;
};

// ---- the entry form -----------------------------------------------------------------------------

// The record written last, which the history key brings back.
files::ClipboardRec& lastEntry() {
  static files::ClipboardRec last;
  return last;
}

class UpdateClipboardForm : public ui::WindowManager {
 public:
  UpdateClipboardForm() : ui::WindowManager("UpdateClipboard"), m_file(files::Relate_CLIPBOARD) {}

  ui::Level Init() override {
    takeFormRequest(Request, m_viewOnly, m_deleting);
    HistoryKey = kHistoryKey;
    AddUpdateFile(m_file);
    if (files::Relate_CLIPBOARD.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;
    if (files::Relate_CLIPBOARDCATEGORIES.Open() != rt::Err::None) return ui::Level::Fatal;
    m_categoriesOpened = true;
    if (Request == ui::InsertRecord) {
      (void)m_file.PrimeRecord(false);
      std::string text = ui::CLIPBOARD();
      if (text.size() > kContentsWidth) text.resize(kContentsWidth);
      CLI.ClipContents = std::move(text);
      CLI.ClipDate = rt::TODAY();
      CLI.ClipTime = rt::CLOCK();
    }

    ui::Window& w = window();
    w.at(-1, -1, 300, 170).minSize(295, 166).resizable();
    m_contents = w.textBox("?CLI:ClipContents").at(4, 4, 292, 112).use(CLI.ClipContents).feq();
    m_lookup = w.button("?CallLookup", "...").at(4, 122, 14, 12).feq();
    w.prompt("?CLI:Category:Prompt", "Category:").at(22, 124, 34, 10);
    m_category = w.entry("?CLI:Category", "@s20").at(58, 122, 90, 12).tip("Category").use(CLI.Category).feq();
    m_keep = w.check("?CLI:ClipKeep", "Keep").at(156, 124, 40, 10).tip("Keep this clipboard record").use(CLI.ClipKeep).feq();
    m_date = w.sstring("?CLI:ClipDate", "@d3").at(200, 124, 50, 10).use(CLI.ClipDate).feq();
    m_time = w.sstring("?CLI:ClipTime", "@t3").at(252, 124, 44, 10).use(CLI.ClipTime).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(4, 150, 45, 14).feq();
    OkControl = w.button("?OK", "&OK").setDefault().at(251, 150, 45, 14).feq();
    AddHistoryField(m_contents, [] { CLI.ClipContents = lastEntry().ClipContents; });
    AddHistoryField(m_category, [] { CLI.Category = lastEntry().Category; });
    AddHistoryField(m_keep, [] { CLI.ClipKeep = lastEntry().ClipKeep; });
    AddHistoryField(m_date, [] { CLI.ClipDate = lastEntry().ClipDate; });
    AddHistoryField(m_time, [] { CLI.ClipTime = lastEntry().ClipTime; });
    w.setTitle(formTitle(Request, m_viewOnly, "clipboard entry"));
    Open();
    m_required.Init("Missing Information", "@PROMPT must be entered.", false);
    m_position.Init(*this, files::globalIni(), true);
    if (m_viewOnly || m_deleting) style();
    if (m_deleting) FirstField = CancelControl;  // the focus as the window opens
    return ui::Level::Benign;
  }

  void Reset(bool force) override {
    ui::WindowManager::Reset(force);
    if (m_viewOnly || m_deleting) style();
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == m_lookup) {
      Update();
      CLC.Category = CLI.Category;
      files::GLOBALREQUEST = ui::SelectRecord;
      if (SelectClipboardCategory() == ui::RequestCompleted) CLI.Category = CLC.Category;
      Reset(true);
      return ui::Level::Notify;
    }
    if (feq == m_category && !m_deleting && !m_viewOnly && !acceptCategory()) {
      ui::SELECT(m_category);
      return ui::Level::Notify;
    }
    if (feq == OkControl && !m_deleting && m_required.Incomplete(false)) return ui::Level::Notify;
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level TakeCompleted() override {
    if (!m_deleting) {
      if (CLI.ClipContents.size() > kContentsWidth) CLI.ClipContents.resize(kContentsWidth);
      CLI.ClipHashKey = files::GETHASH(CLI.ClipContents);
    }
    const ui::Level rv = ui::WindowManager::TakeCompleted();
    if (Response == ui::RequestCompleted && !m_deleting) lastEntry() = CLI;
    return rv;
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    m_required.Kill();
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_categoriesOpened) (void)files::Relate_CLIPBOARDCATEGORIES.Close();
    if (m_opened) (void)files::Relate_CLIPBOARD.Close();
    m_opened = m_categoriesOpened = false;
    return rv;
  }

 private:
  // Viewing or deleting: every control read-only; the text stays scrollable and selectable, but
  // read-only, since a view never saves what is typed there.
  void style() {
    editors::StyleWindowControls(*this, m_deleting);
    window().setProp(m_contents, ui::Prop::Disable, 0);
    window().setProp(m_contents, ui::Prop::ReadOnly, 1);
  }

  // The category box left: "General", an empty name and a stored category are taken; another
  // name opens the picker on it, whose choice replaces it. False when the picker was cancelled.
  bool acceptCategory() {
    const std::string name = rt::CLIP(CLI.Category.str());
    if (name == kGeneral) return true;
    if (!name.empty()) {
      CLC.Category = CLI.Category;
      if (files::CLIPBOARDCATEGORIES.get(files::CLC_KeyCategory) != rt::Err::None) {
        CLC.Category = CLI.Category;
        files::GLOBALREQUEST = ui::SelectRecord;
        if (SelectClipboardCategory() != ui::RequestCompleted) return false;
        CLI.Category = CLC.Category;
      }
    }
    Reset(false);
    return true;
  }

  RelationUpdateFile m_file;
  winclasses::ReqFldClass m_required;
  ui::WindowPositionKeeper m_position;
  bool m_viewOnly = false, m_deleting = false, m_opened = false, m_categoriesOpened = false;
  int m_contents = 0, m_lookup = 0, m_category = 0, m_keep = 0, m_date = 0, m_time = 0;
};

// ---- the list -----------------------------------------------------------------------------------

struct ClipboardRow {
  uint8_t ClipKeep = 0;
  int32_t KeepIcon = 0;
  rt::String<255> ClipContents;
  std::array<int32_t, 4> ContentsColours{-1, -1, -1, -1};
  rt::String<20> Category;
  int32_t ClipDate = 0;
  rt::String<120> ClipHashKey;
  rt::String<20> Abbreviation;
  int32_t ClipTime = 0;
};
const rt::FieldDesc kClipboardRowFields[] = {
    {"CLI:ClipKeep", rt::FieldType::Byte, 1, 0, offsetof(ClipboardRow, ClipKeep)},
    {"KeepIcon", rt::FieldType::Long, 4, 1, offsetof(ClipboardRow, KeepIcon)},
    {"CLI:ClipContents", rt::FieldType::String, 255, 5, offsetof(ClipboardRow, ClipContents)},
    {"ContentsFg", rt::FieldType::Long, 4, 260, offsetof(ClipboardRow, ContentsColours) + 0},
    {"ContentsBg", rt::FieldType::Long, 4, 264, offsetof(ClipboardRow, ContentsColours) + 4},
    {"ContentsSelFg", rt::FieldType::Long, 4, 268, offsetof(ClipboardRow, ContentsColours) + 8},
    {"ContentsSelBg", rt::FieldType::Long, 4, 272, offsetof(ClipboardRow, ContentsColours) + 12},
    {"CLI:Category", rt::FieldType::String, 20, 276, offsetof(ClipboardRow, Category)},
    {"CLI:ClipDate", rt::FieldType::Long, 4, 296, offsetof(ClipboardRow, ClipDate)},
    {"CLI:ClipHashKey", rt::FieldType::String, 120, 300, offsetof(ClipboardRow, ClipHashKey)},
    {"CLI:Abbreviation", rt::FieldType::String, 20, 420, offsetof(ClipboardRow, Abbreviation)},
    {"CLI:ClipTime", rt::FieldType::Long, 4, 440, offsetof(ClipboardRow, ClipTime)},
};
const rt::RecordDesc kClipboardRow{"ClipboardRow", kClipboardRowFields, 444};

// The list's columns: the keep icon, the contents in the link colours, category and date shown;
// the search key, abbreviation and time ready to be shown from the header's popup.
std::vector<editors::ExploreColumn> clipboardColumns() {
  return {
      {"CLI:ClipKeep", 12, "", "@n1b", "Keep", 'L', true, false, true, true},
      {"CLI:ClipContents", 1020, "Contents", "@s255", "Contents", 'L', true, true, false, true},
      {"CLI:Category", 80, "Category", "@s20", "Category", 'L', true, false, false, true},
      {"CLI:ClipDate", 44, "Date", "@d17", "Date", 'R', true, false, false, true},
      {"CLI:ClipHashKey", 480, "Clip Hash Key", "@s120", "Hash key (no spaces or graphic characters)", 'L', false,
       false, false, true},
      {"CLI:Abbreviation", 80, "Abbreviation", "@s20", "Abbreviation", 'L', false, false, false, true},
      {"CLI:ClipTime", 28, "Clip Time", "@t3", "Time", 'R', false, false, false, true},
  };
}

constexpr const char* kSavedOnlyFilter = "(CLI:ClipKeep=1)";
constexpr int kSavedOnlyOrder = 4;

constexpr int32_t kLinkText = 0xFF0000, kLinkSelectedText = 0xFFFF00;  // blue and cyan (BGR)

// The rows show the keep icon and colour entries that hold links or programs; deleting a kept
// entry asks first.
class ClipboardBrowse : public ui::BrowseClass {
 public:
  // The query text, given to every order as its filter "6 Query" before the view is read.
  const std::string* Query = nullptr;
  // Chooses the order to read (the tab's, or a column's) before the query is applied to it.
  std::function<void()> ChooseOrder;

  void Reset(bool force) override {
    if (ChooseOrder) ChooseOrder();
    if (Query) SetFilter(*Query, "6 Query");
    ui::BrowseClass::Reset(force);
  }

  void SetQueueRecord() override {
    ui::BrowseClass::SetQueueRecord();
    auto& row = *static_cast<ClipboardRow*>(list().queue()->buffer());
    row.ClipKeep = CLI.ClipKeep;
    row.KeepIcon = CLI.ClipKeep ? 2 : 1;
    row.ClipContents = CLI.ClipContents.substr(0, 255).c_str();
    const bool link = clipboardShowsLink(CLI.ClipContents);
    row.ContentsColours = {link ? kLinkText : -1, -1, link ? kLinkSelectedText : -1, -1};
    row.Category = CLI.Category;
    row.ClipDate = CLI.ClipDate;
    row.ClipHashKey = CLI.ClipHashKey;
    row.Abbreviation = CLI.Abbreviation;
    row.ClipTime = CLI.ClipTime;
  }

  int Ask(int request) override {
    if (request == ui::DeleteRecord && UpdateBuffer() == rt::Err::None && CLI.ClipKeep &&
        ui::MESSAGE("This clipboard record has a \"Save\" indicator.  Are you sure you want to delete it?",
                    "Delete Record", ui::Icon::Question, ui::BUTTON::Yes | ui::BUTTON::No, ui::BUTTON::No) !=
            ui::BUTTON::Yes) {
      ui::SELECT(listControl());
      return ui::RequestCancelled;
    }
    return ui::BrowseClass::Ask(request);
  }
};

// The history over the explorer list: columns sorted, moved and fitted from the header, the
// layout kept under "?Browse:1"; a column sort keeps to the records of the current tab.
class BrowseClipboardWindow : public ui::WindowManager {
 public:
  BrowseClipboardWindow() : ui::WindowManager("BrowseClipboard"), m_view(files::Access_CLIPBOARD) {}

  ui::Level Init() override {
    Request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    if (Request != ui::ViewRecord && !m_single.Init(*this)) return ui::Level::Notify;
    m_wizardError = qwizard::loadFields(clipboardQueryFields(), "CLIPBOARD", m_queryFields);
    if (m_wizardError != qwizard::code::None)
      (void)ui::MESSAGE("An error has prevented the Query Wizard from initializing.",
                        "Query Wizard Error# " + std::to_string(m_wizardError), ui::Icon::Information);
    m_queryFields.allowRecord(files::Desc_CLIPBOARD, &CLI);
    if (files::Relate_CLIPBOARD.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;

    ui::Window& w = window();
    w.setTitle("Clipboard Manager");
    w.kind(ui::WindowKind::Mdi);
    w.at(-1, -1, 320, 200).minSize(199, 141).resizable().timer(100);
    m_sheet = w.sheet("?CurrentTab").at(4, 4, 312, 150).feq();
    m_tabs[0] = w.tab("?Tab:Date", "By Date", m_sheet).feq();
    m_tabs[1] = w.tab("?Tab:Content", "By Content", m_sheet).feq();
    m_tabs[2] = w.tab("?Tab:Category", "By Category", m_sheet).feq();
    m_tabs[3] = w.tab("?Tab:Saved", "Saved Only", m_sheet).feq();
    m_list = w.add<ui::ListControl>(0, "?Browse:1")
                 .from(m_queue, kClipboardRow)
                 .at(8, 20, 304, 130)
                 .feq();
    w.setProp(m_list, ui::Prop::IconList, "~blank.ico|~done.ico");
    m_browse.Init(m_list, m_view, *this, &files::Relate_CLIPBOARD);
    m_browse.Query = &m_query;
    // The sort orders follow the tabs: by date, by contents, by category, kept only.
    m_browse.AddSortOrder(&m_dateStep, files::CLI_K_Date);
    m_dateLocator.Init("CLI:ClipDate");
    m_browse.AddLocator(m_dateLocator);
    m_browse.AddSortOrder(&m_hashStep, files::CLI_K_Hash);
    m_hashLocator.Init("CLI:ClipHashKey");
    m_browse.AddLocator(m_hashLocator);
    m_browse.AddSortOrder(&m_categoryStep, files::CLI_K_Category);
    m_categoryLocator.Init("CLI:Category");
    m_browse.AddLocator(m_categoryLocator);
    m_browse.AddSortOrder(&m_keepStep, files::CLI_K_Save);
    m_keepLocator.Init("CLI:ClipKeep");
    m_browse.AddLocator(m_keepLocator);
    m_browse.SetFilter(kSavedOnlyFilter);
    (void)m_browse.SetSort(1);
    m_browse.ChooseOrder = [this] {
      const int order = m_binding.chosenOrder(m_tabOrder);
      (void)m_browse.SetSort(order);
      if (order != m_tabOrder) m_browse.SetFilter(m_tabOrder == kSavedOnlyOrder ? kSavedOnlyFilter : "");
    };
    m_explorer.columns = clipboardColumns();

    m_run = w.button("?Run", "&Run").at(4, 158, 40, 14).tip("Try to execute embedded programs/URLs").feq();
    m_copy = w.button("?Copy", "&Copy to Clipboard").at(46, 158, 72, 14).tip("Copy the highlighted record to the clipboard").feq();
    m_toggle = w.button("?ToggleSave", "&Toggle Save").at(120, 158, 52, 14).feq();
    m_viewButton = w.button("?View", "&View").at(174, 158, 40, 14).tip("View the highlighted record").feq();
    m_browse.RowControls = {m_run, m_copy, m_toggle, m_viewButton};
    m_queryButton = w.button("?Query", "&Query").at(232, 158, 40, 14).feq();
    m_resetButton = w.button("?Reset", "&Reset").at(276, 158, 40, 14).feq();
    m_browse.InsertControl = w.button("?Insert", "&New").at(4, 178, 40, 14).feq();
    m_browse.ChangeControl = w.button("?Change", "&Edit").at(46, 178, 40, 14).feq();
    m_browse.DeleteControl = w.button("?Delete", "&Delete").at(88, 178, 40, 14).tip("Delete the highlighted record").feq();
    CancelControl = w.button("?Close", "Cl&ose").at(276, 178, 40, 14).feq();
    // Says why nothing new comes into the list while the program does not capture the clipboard.
    m_captureNote = w.prompt("?CaptureNote", "Capture is off: File > Options > Clipboard").at(132, 181, 142, 10).feq();
    m_browse.AskProcedure = 1;
    buildPopup();  // the window's items first: the explorer adds its own after them
    m_binding.Bind(*this, m_browse, m_explorerQuery, m_explorer, m_state, ".\\POSITION.INI");
    AddItem(m_browse);
    Open();
    scheduler::ApplyDatePicture(w, m_list, "");
    scheduler::ApplyTimePicture(w, m_list);
    m_position.Init(*this, files::globalIni(), true);
    m_binding.Opened();
    // A wizard that could not load its fields leaves Query and Reset off for the window's life.
    w.setProp(m_queryButton, ui::Prop::Disable, m_wizardError != qwizard::code::None ? 1 : 0);
    w.setProp(m_resetButton, ui::Prop::Disable, m_wizardError != qwizard::code::None || m_query.empty() ? 1 : 0);
    showCaptureNote();
    return ui::Level::Benign;
  }

  using ui::WindowManager::Run;
  int Run(int /*number*/, int request) override {
    files::GLOBALREQUEST = static_cast<uint8_t>(request);
    return UpdateClipboard();
  }

  ui::Level TakeNewSelection() override {
    if (ui::FIELD() == m_sheet) {
      const int tab = static_cast<ui::Sheet*>(window().control(m_sheet))->selectedTab();
      int order = 1;
      for (int i = 0; i < 4; ++i)
        if (m_tabs[i] == tab) order = i + 1;
      ui::SELECT(m_list);
      m_explorer.EraseVisual();  // while the sorted column is still known
      m_binding.clearColumnSort();
      m_tabOrder = order;
      (void)m_browse.SetSort(order);
      m_browse.ResetSort(true);
    }
    return ui::WindowManager::TakeNewSelection();
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == m_list && (ui::KEYCODE() == 5 || ui::KEYCODE() == 13)) {
      if (window().prop(m_list, ui::Prop::Column) == "1")
        toggleKeep();
      else
        copyEntry();
      return ui::Level::Notify;
    }
    if (feq == m_run) {
      if (m_browse.UpdateBuffer() == rt::Err::None) runEntry(rt::CLIP(CLI.ClipContents));
      ui::SELECT(m_list);
      return ui::Level::Notify;
    }
    if (feq == m_copy) {
      copyEntry();
      return ui::Level::Notify;
    }
    if (feq == m_toggle) {
      toggleKeep();
      return ui::Level::Notify;
    }
    if (feq == m_queryButton) {
      if (qwizard::runQueryWizard(m_queryFields, m_query)) {
        // Reset stays off while there is no query to clear.
        window().setProp(m_resetButton, ui::Prop::Disable, m_query.empty() ? 1 : 0);
        m_browse.ResetSort(true);
      }
      return ui::Level::Notify;
    }
    if (feq == m_resetButton) {
      window().setProp(m_resetButton, ui::Prop::Disable, 1);
      m_query.clear();
      m_browse.ResetSort(true);
      return ui::Level::Notify;
    }
    if (feq == m_viewButton) {
      if (m_browse.UpdateBuffer() == rt::Err::None) {
        files::GLOBALREQUEST = ui::ViewRecord;
        (void)UpdateClipboard();
        m_browse.ResetSort(true);
      }
      return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

  void showCaptureNote() {
    const int hide = files::CLIP.MONITOR && !files::CLIP.USEEXTERNAL ? 1 : 0;
    if (window().propInt(m_captureNote, ui::Prop::Hide) != hide) window().setProp(m_captureNote, ui::Prop::Hide, hide);
  }

  ui::Level TakeWindowEvent() override {
    if (ui::EVENT() == ui::EVENT::Timer) showCaptureNote();  // the settings may have changed meanwhile
    if (ui::EVENT() == ui::EVENT::Timer && ++m_timerCount > kRefreshTimerEvents) {
      m_timerCount = 0;
      m_browse.ResetSort(true);
    } else if (ui::EVENT() == ui::EVENT::GainFocus) {
      ui::SELECT(m_list);
      m_browse.ResetSort(true);
    }
    return ui::WindowManager::TakeWindowEvent();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_CLIPBOARD.Close();
    m_opened = false;
    return rv;
  }

 private:
  // The explorer's popup starts with the list's own: the query, its reset and the copy.
  void buildPopup() {
    ui::PopupClass& p = m_browse.Popup;
    p.Init();
    p.AddItem("&Query", "PopupQuery");
    p.AddItemMimic("PopupQuery", m_queryButton);
    p.AddItem("&Reset", "PopupReset");
    p.AddItemMimic("PopupReset", m_resetButton);
    p.AddItem("-", "PopupS1");
    p.AddItem("&Copy to Clipboard", "PopupCopy");
    p.AddItemMimic("PopupCopy", m_copy);
  }

  void copyEntry() {
    if (m_browse.UpdateBuffer() == rt::Err::None) ui::SETCLIPBOARD(rt::CLIP(CLI.ClipContents));
    ui::SELECT(m_list);
  }

  // Re-reads the highlighted entry, inverts its keep flag and writes it back.
  void toggleKeep() {
    if (m_browse.UpdateBuffer() == rt::Err::None && files::Access_CLIPBOARD.Fetch(files::CLI_K_Hash) == rt::Err::None) {
      CLI.ClipKeep = CLI.ClipKeep ? 0 : 1;
      (void)files::Access_CLIPBOARD.Update();
    }
    m_browse.ResetSort(true);
    ui::SELECT(m_list);
  }

  rt::Queue<ClipboardRow> m_queue;
  db::ViewManager m_view;
  ClipboardBrowse m_browse;
  ui::StepLongClass m_dateStep;
  ui::StepStringClass m_hashStep, m_categoryStep;
  ui::StepLongClass m_keepStep;
  ui::StepLocatorClass m_dateLocator, m_keepLocator;
  ui::IncrementalLocatorClass m_hashLocator, m_categoryLocator;
  SingleInstance m_single;
  ui::WindowPositionKeeper m_position;
  bool m_opened = false;
  int m_sheet = 0, m_tabs[4] = {}, m_list = 0;
  int m_run = 0, m_copy = 0, m_toggle = 0, m_viewButton = 0, m_queryButton = 0, m_resetButton = 0;
  int m_timerCount = 0, m_captureNote = 0;
  int m_tabOrder = 1;  // the order of the current tab
  ui::QueryClass m_explorerQuery;
  editors::BoundExplorer m_explorer;
  editors::ExploreState m_state;
  editors::ExploreBinding m_binding;
  std::string m_query;  // the query wizard's filter; empty when there is none
  qwizard::QueryFields m_queryFields;
  int m_wizardError = qwizard::code::None;
};

}  // namespace

std::unique_ptr<ui::WindowManager> makeBrowseClipboard() { return std::make_unique<BrowseClipboardWindow>(); }

int BrowseClipboard() {
  BrowseClipboardWindow list;
  return list.Run();
}

int UpdateClipboard() {
  UpdateClipboardForm form;
  return form.Run();
}

int SelectClipboardCategory() {
  SelectClipboardCategoryWindow picker;
  return picker.Run();
}

}  // namespace ov::dialogs
