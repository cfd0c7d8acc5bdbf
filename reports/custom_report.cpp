#include "reports/custom_report.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <utility>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/requests.h"
#include "platform/rt/ini.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "platform/ui/text_list.h"
#include "platform/ui/window_manager.h"
#include "reports/filter_text.h"
#include "reports/report_common.h"
#include "reports/report_run.h"

namespace ov::reports {

namespace {

using report::Align;
using report::Canvas;

constexpr const char* kStore = "reports.tps";
constexpr const char* kBaseTitle = "Schedule - Custom Report";

const CustomField kFields[] = {
    {4, "SCH:TaskType", "Task Type", false},        {5, "SCH:Category", "Category", false},
    {6, "SCH:Description", "Description", false},   {7, "SCH:Command", "Command", false},
    {8, "SCH:Message", "Message", false},           {9, "SCH:Path", "Start in", false},
    {10, "SCH:ScheduleType", "Schedule Type", false}, {11, "SCH:Sunday", "Sunday", true},
    {12, "SCH:Monday", "Monday", true},             {13, "SCH:Tuesday", "Tuesday", true},
    {14, "SCH:Wednesday", "Wednesday", true},       {15, "SCH:Thursday", "Thursday", true},
    {16, "SCH:Friday", "Friday", true},             {17, "SCH:Saturday", "Saturday", true},
    {18, "SCH:MonthRepeat", "Month Repeat", false}, {19, "SCH:Offset", "Offset", true},
    {20, "SCH:Every", "Every", true},               {21, "SCH:Every1st", "1st", true},
    {22, "SCH:Every2nd", "2nd", true},              {23, "SCH:Every3rd", "3rd", true},
    {24, "SCH:Every4th", "4th", true},              {25, "SCH:EveryLast", "Last", true},
    {26, "SCH:LastDayofMonth", "Last Day of Month", true}, {27, "SCH:EveryType", "Every Type", false},
    {28, "SCH:Date", "Date", false},                {29, "SCH:Time", "Time", false},
    {30, "SCH:LastRunDate", "Last Run Date", false}, {31, "SCH:LastRunTime", "Last Run Time", false},
    {32, "SCH:SkipNextTime", "Skip Next Time", true}, {33, "SCH:Alarm", "Alarm", true},
    {34, "SCH:AlarmFile", "Alarm File", false},     {35, "SCH:AdvanceWarnDate", "Advance Warning Date", false},
    {36, "SCH:AdvanceWarnTime", "Advanced Warning Time", false},
    {37, "SCH:AdvanceWarned", "Advance Warning Given", true}, {38, "SCH:Warn", "Warn", true},
    {39, "SCH:SkipIfMissed", "Skip If Missed", true}, {40, "SCH:NoHistory", "No History", true},
    {41, "SCH:UserSkip", "Give option to skip before p", true}, {42, "SCH:Completed", "Completed", true},
    {43, "SCH:Disabled", "Disabled", true},         {44, "SCH:Skipped", "Skipped", true},
    {45, "SCH:ShiftType", "Shift Type", false},     {46, "SCH:ExceptWeekends", "Except Weekends", true},
    {47, "SCH:ExceptWeekdays", "Except Weekdays", true}, {48, "SCH:ExceptHolidays", "Except Holidays", true},
    {49, "SCH:ExceptTime", "Except Time", true},    {50, "SCH:ExceptTimeBegin", "Except Time Begin", false},
    {51, "SCH:ExceptTimeEnd", "Except Time End", false},
};
static_assert(std::size(kFields) == 48);

const SortOrder kSorts[] = {
    {"Date", "SCH:Date,SCH:Time"},
    {"Category", "UPPER(SCH:Category),UPPER(SCH:Description)"},
    {"Category/Date", "UPPER(SCH:Category),SCH:Date,SCH:Time"},
    {"Description", "UPPER(SCH:Description),UPPER(SCH:Category)"},
    {"Task Type", "UPPER(SCH:TaskType),UPPER(SCH:Description)"},
    {"Task Type/Date", "UPPER(SCH:TaskType),SCH:Date,SCH:Time"},
    {"Only used to determine if task is waitin", "SCH:Disabled,SCH:Date,SCH:Time"},
    {"Advanced Warning Date Order", "SCH:AdvanceWarned,SCH:AdvanceWarnDate,SCH:AdvanceWarnTime"},
    {"Original ID", "SCH:OriginalID"},
};

const CustomField* fieldNamed(std::string_view name) {
  for (const CustomField& f : kFields)
    if (rt::UPPER(f.name) == rt::UPPER(name)) return &f;
  return nullptr;
}

bool isFlag(const rt::FieldDesc& d) { return d.type == rt::FieldType::Byte; }
bool isText(const rt::FieldDesc& d) {
  return d.type == rt::FieldType::String || d.type == rt::FieldType::CString || d.type == rt::FieldType::Memo;
}

// The caption of a flag's check box.
std::string checkCaption(const CustomField& f) {
  const std::string n = f.name;
  if (n == "SCH:AdvanceWarned") return "Advanced Warning Given";
  if (n == "SCH:Warn") return "Warn if not run on specified date";
  if (n == "SCH:SkipIfMissed") return "Skip if not run on specified date";
  if (n == "SCH:UserSkip") return "Give option to skip before performing";
  if (n == "SCH:Completed") return "Done";
  return f.desc;
}

// The value of a field of the SCHEDULE buffer as the report shows it.
std::string shownValue(const CustomField& f, const rt::FieldDesc& d) {
  const std::string n = f.name;
  const double number = rt::fieldNumber(&files::SCH, d);
  if (n == "SCH:Date" || n == "SCH:LastRunDate" || n == "SCH:AdvanceWarnDate") return userDate(static_cast<int32_t>(number));
  if (n == "SCH:Time" || n == "SCH:LastRunTime" || n == "SCH:AdvanceWarnTime" || n == "SCH:ExceptTimeBegin" ||
      n == "SCH:ExceptTimeEnd")
    return userTime(static_cast<int32_t>(number));
  if (n == "SCH:Offset") return rt::FORMAT(number, "@n-2b");
  if (n == "SCH:Every") return rt::FORMAT(number, "@n6");
  std::string text = rt::CLIP(rt::fieldText(&files::SCH, d));
  if (n == "SCH:Message" && text.size() > 255) text.resize(255);
  return text;
}

// The width a column takes, in report units at 8 points.
int columnWidth(const CustomField& f, const rt::FieldDesc& d) {
  if (isFlag(d)) return 200 + static_cast<int>(checkCaption(f).size()) * 55;
  const std::string n = f.name;
  if (n.find("Date") != std::string::npos && d.type != rt::FieldType::String) return 800;
  if (n.find("Time") != std::string::npos && d.type != rt::FieldType::String) return 650;
  if (d.type != rt::FieldType::String && d.type != rt::FieldType::CString && d.type != rt::FieldType::Memo) return 600;
  const int chars = static_cast<int>(std::min<uint32_t>(d.width, 40));
  return std::max(700, std::max(chars, static_cast<int>(std::string_view(f.desc).size())) * 60);
}

// A chosen column: its field, its place and width.
struct Column {
  const CustomField* field;
  const rt::FieldDesc* desc;
  int x = 0, width = 0;
};

// Lays the chosen fields out left to right; a row wider than the portrait page turns the page,
// and one wider still is drawn smaller to fit.
struct Arrangement {
  std::vector<Column> columns;
  bool landscape = false;
  double points = 8;
};

Arrangement arrange(const CustomDefinition& def) {
  Arrangement a;
  int x = 0;
  for (const std::string& name : def.fields) {
    const CustomField* f = fieldNamed(name);
    const rt::FieldDesc* d = f ? files::Desc_SCHEDULE.find(f->name) : nullptr;
    if (!f || !d) continue;  // a design may name a field this program no longer prints
    Column c{f, d, x, columnWidth(*f, *d)};
    x += c.width + 60;
    a.columns.push_back(c);
  }
  const int portrait = 7500, landscape = 10000;
  if (x > portrait) a.landscape = true;
  if (x > landscape) {
    const double scale = static_cast<double>(landscape) / x;
    a.points = std::max(4.0, 8 * scale);
    for (Column& c : a.columns) {
      c.x = static_cast<int>(c.x * scale);
      c.width = static_cast<int>(c.width * scale);
    }
  }
  return a;
}

report::Layout customLayout(bool landscape) {
  report::Layout l;
  l.landscape = landscape;
  const int width = landscape ? 10000 : 7500;
  l.header = {500, 500, width, 600};
  l.detail = {500, 1150, width, landscape ? 6600 : 9100};
  l.footer = {500, landscape ? 7900 : 10400, width, 0};
  l.font.points = 8;
  return l;
}

class CustomRun : public ReportRun {
 public:
  explicit CustomRun(CustomDefinition def)
      : ReportRun("CustomScheduleReport", customLayout(arrange(def).landscape)),
        m_def(std::move(def)), m_arrangement(arrange(m_def)) {
    m_break = fieldNamed(m_def.breakField);
    m_breakDesc = m_break ? files::Desc_SCHEDULE.find(m_break->name) : nullptr;
    if (!m_breakDesc) m_break = nullptr;
    const int width = m_arrangement.landscape ? 10000 : 7500;
    report().setHeader({600, [this, width](Canvas& c) {
                          c.text(0, 0, width, 220, m_title, c.font(11, true));
                          c.filledBox(0, 300, width, 220, report::kLightGrey);
                          for (const Column& col : m_arrangement.columns)
                            c.text(col.x + 20, 320, col.width, 200, col.field->desc, c.font(m_arrangement.points, true));
                        }});
    report().setFooter({200, [width](Canvas& c) {
                          c.text(0, 0, width, 200, "Page " + std::to_string(c.pageNumber()), c.font(), Align::Right);
                        }});
  }

 protected:
  bool hasQueryStep() const override { return true; }
  std::span<const QueryField> queryFields() const override { return scheduleQueryFields(); }
  std::string queryTable() const override { return "SCHEDULE"; }
  db::FileManager& mainFile() override { return files::Access_SCHEDULE; }
  std::string fileLabel() const override { return "Schedule"; }
  db::Key key() override { return files::SCH_KeyDate; }
  void setRanges(db::ViewManager& view) override {
    const std::string sort = customSortExpression(m_def);
    if (!sort.empty()) (void)view.SetOrder(sort);
  }

  // The group a task belongs to: texts compare without regard to case, as they are sorted.
  std::string groupKey() const {
    const std::string v = shownValue(*m_break, *m_breakDesc);
    return isText(*m_breakDesc) ? rt::UPPER(v) : v;
  }

  void printGroupHeader() {
    const std::string caption = std::string(m_break->desc) + ": " + shownValue(*m_break, *m_breakDesc);
    const int width = m_arrangement.landscape ? 10000 : 7500;
    const double points = m_arrangement.points;
    report().print({280, [caption, width, points](Canvas& cv) {
                      cv.text(0, 40, width, 200, caption, cv.font(points + 1, true));
                    }});
  }

  void printGroupFooter() {
    std::vector<std::pair<const Column*, std::string>> sums;
    for (const Column& c : m_arrangement.columns)
      if (c.field->total) sums.emplace_back(&c, rt::numberToText(m_groupSums[c.field->name]));
    const std::string caption = "Subtotal " + std::string(m_break->desc) + " " + m_groupValue + ": " +
                                std::to_string(m_groupCount) + (m_groupCount == 1 ? " task" : " tasks");
    const int width = m_arrangement.landscape ? 10000 : 7500;
    const double points = m_arrangement.points;
    const bool hasSums = !sums.empty();
    report().print({hasSums ? 480 : 300, [sums, caption, width, points](Canvas& cv) {
                      cv.line(0, 20, width, 0, report::kLightGrey);
                      cv.text(0, 50, width, 180, caption, cv.font(points, true));
                      for (const auto& [col, value] : sums)
                        cv.text(col->x + 20, 250, col->width, 170, value, cv.font(points, true));
                    }});
    m_groupSums.clear();
    m_groupCount = 0;
    m_groupOpen = false;
  }
  std::vector<std::span<const FieldLabel>> labelTables() const override { return {scheduleFieldLabels()}; }
  bool hasClosingBand() const override { return false; }
  std::string title() const override { return m_title; }

  void reportOpened() override {
    m_title = kBaseTitle;
    if (!rt::CLIP(m_def.title).empty()) m_title += " - " + rt::CLIP(m_def.title);
  }

  void printRecord() override {
    if (m_break) {
      const std::string key = groupKey();
      if (m_groupOpen && key != m_groupKey) printGroupFooter();
      if (!m_groupOpen) {
        m_groupKey = key;
        m_groupValue = shownValue(*m_break, *m_breakDesc);
        m_groupOpen = true;
        printGroupHeader();
      }
      ++m_groupCount;
    }
    std::vector<std::pair<const Column*, std::string>> values;
    for (const Column& c : m_arrangement.columns) {
      const std::string v = shownValue(*c.field, *c.desc);
      values.emplace_back(&c, v);
      if (c.field->total) {
        const double n = rt::fieldNumber(&files::SCH, *c.desc);
        m_sums[c.field->name] += n;
        m_groupSums[c.field->name] += n;
      }
    }
    ++m_count;
    const double points = m_arrangement.points;
    report().print({200, [values, points](Canvas& cv) {
                      for (const auto& [col, value] : values) {
                        if (isFlag(*col->desc))
                          cv.check(col->x, 20, col->width, 170, checkCaption(*col->field), value != "0" && !value.empty())
                              .font = cv.font(points);
                        else
                          cv.text(col->x + 20, 20, col->width, 170, value, cv.font(points));
                      }
                    }});
  }

  // The totals band, once after the last task when the design asks for totals.
  void viewEnded() override {
    if (m_groupOpen && reportIsOpen()) printGroupFooter();
    if (!m_def.totals || m_count == 0 || !reportIsOpen()) return;
    std::vector<std::pair<const Column*, std::string>> sums;
    for (const Column& c : m_arrangement.columns)
      if (c.field->total) sums.emplace_back(&c, rt::numberToText(m_sums[c.field->name]));
    const int64_t count = m_count;
    const double points = m_arrangement.points;
    report().print({420, [sums, count, points](Canvas& cv) {
                      cv.line(0, 20, 10000);
                      cv.text(0, 60, 1500, 170, "Tasks: " + std::to_string(count), cv.font(points, true));
                      for (const auto& [col, value] : sums)
                        cv.text(col->x + 20, 240, col->width, 170, value, cv.font(points, true));
                    }});
  }

 private:
  CustomDefinition m_def;
  Arrangement m_arrangement;
  std::string m_title = kBaseTitle;
  std::map<std::string, double> m_sums;
  int64_t m_count = 0;
  // The group break: its field, the group being printed, its count and sums.
  const CustomField* m_break = nullptr;
  const rt::FieldDesc* m_breakDesc = nullptr;
  bool m_groupOpen = false;
  std::string m_groupKey, m_groupValue;
  std::map<std::string, double> m_groupSums;
  int64_t m_groupCount = 0;
};

std::string joinFields(const std::vector<std::string>& fields) {
  std::string s;
  for (const std::string& f : fields) s += (s.empty() ? "" : ",") + f;
  return s;
}

std::vector<std::string> splitFields(std::string_view text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(',', start);
    if (end == std::string_view::npos) end = text.size();
    std::string f = rt::CLIP(text.substr(start, end - start));
    while (!f.empty() && f.front() == ' ') f.erase(f.begin());
    if (!f.empty()) out.push_back(f);
    start = end + 1;
  }
  return out;
}

// The design window's form for one design.
class CustomDefinitionForm : public ui::WindowManager {
 public:
  explicit CustomDefinitionForm(CustomDefinition& def) : ui::WindowManager("UpdateCustomReport"), m_def(def) {}

  ui::Level Init() override {
    m_name = m_def.name;
    m_title = m_def.title;
    m_sort = m_def.sort;
    m_totals = m_def.totals;
    m_break = m_def.breakField;
    std::string breaks = "(none)|#";
    for (const CustomField& f : kFields) breaks += std::string("|") + f.desc + "|#" + f.name;
    std::string sorts = "(none)|#";
    for (const SortOrder& o : kSorts) sorts += std::string("|") + o.desc + "|#" + o.desc;
    ui::Window& w = window();
    w.setTitle("Custom Report");
    w.at(-1, -1, 300, 216).resizable();
    w.prompt("?Name:Prompt", "&Name:").at(6, 8, 40, 10);
    w.entry("?Name", "@s30").at(50, 6, 120, 12).use(m_name);
    w.prompt("?Title:Prompt", "&Title:").at(6, 24, 40, 10);
    w.entry("?Title", "@s40").at(50, 22, 160, 12).use(m_title);
    w.prompt("?Sort:Prompt", "&Sort by:").at(6, 40, 40, 10);
    w.dropList("?Sort", sorts).at(50, 38, 160, 12).use(m_sort);
    m_available = w.add<ui::TextList>(0, "?Available").at(6, 56, 110, 110).feq();
    m_add = w.button("?Add", "&Add >").at(122, 70, 50, 14).feq();
    m_remove = w.button("?Remove", "< &Remove").at(122, 88, 50, 14).feq();
    m_up = w.button("?Up", "&Up").at(122, 106, 50, 14).feq();
    m_down = w.button("?Down", "&Down").at(122, 124, 50, 14).feq();
    m_chosen = w.add<ui::TextList>(0, "?Chosen").at(178, 56, 110, 110).feq();
    w.check("?Totals", "Print &totals").at(6, 172, 100, 10).use(m_totals);
    w.prompt("?Break:Prompt", "&Group by:").at(6, 188, 40, 10);
    w.dropList("?Break", breaks).at(50, 186, 120, 12).use(m_break);
    OkControl = w.button("?OK", "&OK").setDefault().at(178, 196, 50, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(232, 196, 50, 14).feq();
    Open();
    for (const std::string& f : m_def.fields)
      if (fieldNamed(f)) m_fields.push_back(f);
    showLists();
    return ui::Level::Benign;
  }

  ui::Level TakeNewSelection() override {
    if (ui::FIELD() == m_available || ui::FIELD() == m_chosen) offerButtons();
    return WindowManager::TakeNewSelection();
  }

  ui::Level TakeAccepted() override {
    const int f = ui::ACCEPTED();
    const int chosen = window().as<ui::TextList>(m_chosen)->selected();
    if (f == m_add || f == m_available) {
      const int row = window().as<ui::TextList>(m_available)->selected();
      const std::vector<const CustomField*> avail = available();
      if (row >= 1 && row <= static_cast<int>(avail.size())) m_fields.push_back(avail[row - 1]->name);
      showLists();
    } else if (f == m_remove && chosen >= 1 && chosen <= static_cast<int>(m_fields.size())) {
      m_fields.erase(m_fields.begin() + chosen - 1);
      showLists();
    } else if (f == m_up && chosen > 1 && chosen <= static_cast<int>(m_fields.size())) {
      std::swap(m_fields[chosen - 1], m_fields[chosen - 2]);
      showLists(chosen - 1);
    } else if (f == m_down && chosen >= 1 && chosen < static_cast<int>(m_fields.size())) {
      std::swap(m_fields[chosen - 1], m_fields[chosen]);
      showLists(chosen + 1);
    } else if (f == OkControl) {
      Update();
      if (m_name.isBlank()) {
        ui::MESSAGE("Name must be entered.", "Missing Information", ui::Icon::Exclamation);
        return ui::Level::Notify;
      }
      if (m_fields.empty()) {
        ui::MESSAGE("Choose at least one field to print.", "Missing Information", ui::Icon::Exclamation);
        return ui::Level::Notify;
      }
      CustomDefinition def{m_name.str(), m_title.str(), m_sort.str(), m_fields, m_totals != 0, m_break.str()};
      if (!saveCustomDefinition(def, m_def.name)) {
        ui::MESSAGE("A custom report named " + def.name + " exists already.", "Custom Report", ui::Icon::Exclamation);
        return ui::Level::Notify;
      }
      m_def = def;
      SetResponse(ui::RequestCompleted);
      return ui::Level::Notify;
    } else if (f == CancelControl) {
      SetResponse(ui::RequestCancelled);
      return ui::Level::Notify;
    }
    return WindowManager::TakeAccepted();
  }

 private:
  std::vector<const CustomField*> available() const {
    std::vector<const CustomField*> out;
    for (const CustomField& f : kFields)
      if (std::find(m_fields.begin(), m_fields.end(), f.name) == m_fields.end()) out.push_back(&f);
    std::stable_sort(out.begin(), out.end(),
                     [](const CustomField* a, const CustomField* b) { return std::string_view(a->desc) < b->desc; });
    return out;
  }
  void showLists(int select = 0) {
    std::vector<std::string> avail, chosen;
    for (const CustomField* f : available()) avail.push_back(f->desc);
    for (const std::string& n : m_fields) chosen.push_back(fieldNamed(n)->desc);
    window().as<ui::TextList>(m_available)->setLines(avail);
    window().as<ui::TextList>(m_chosen)->setLines(chosen);
    if (select) window().setProp(m_chosen, ui::Prop::Selected, select);
    offerButtons();
  }

  // A button that would change nothing is greyed: Add without a chosen available field, Remove,
  // Up and Down without a printed field that they can take away or move.
  void offerButtons() {
    const int row = window().as<ui::TextList>(m_available)->selected();
    const int chosen = window().as<ui::TextList>(m_chosen)->selected();
    const int count = static_cast<int>(m_fields.size());
    const std::pair<int, bool> able[] = {{m_add, row >= 1 && row <= static_cast<int>(available().size())},
                                         {m_remove, chosen >= 1 && chosen <= count},
                                         {m_up, chosen > 1 && chosen <= count},
                                         {m_down, chosen >= 1 && chosen < count}};
    for (const auto& [feq, on] : able) window().setProp(feq, ui::Prop::Disable, on ? 0 : 1);
  }

  CustomDefinition& m_def;
  rt::String<30> m_name;
  rt::String<40> m_title;
  rt::String<40> m_sort;
  rt::String<40> m_break;
  uint8_t m_totals = 0;
  std::vector<std::string> m_fields;
  int m_available = 0, m_chosen = 0, m_add = 0, m_remove = 0, m_up = 0, m_down = 0;
};

class CustomReportsWindow : public ui::WindowManager {
 public:
  CustomReportsWindow() : ui::WindowManager("CustomReports") {}
  std::optional<CustomDefinition> chosen;

  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle("Custom Reports");
    w.at(-1, -1, 220, 150).resizable();
    m_list = w.add<ui::TextList>(0, "?Definitions").at(6, 6, 208, 104).feq();
    m_new = w.button("?New", "&New").at(6, 116, 40, 14).feq();
    m_edit = w.button("?Edit", "&Edit").at(50, 116, 40, 14).feq();
    m_delete = w.button("?Delete", "&Delete").at(94, 116, 40, 14).feq();
    OkControl = w.button("?OK", "&OK").setDefault().at(130, 134, 40, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(174, 134, 40, 14).feq();
    Open();
    refresh(1);
    return ui::Level::Benign;
  }

  ui::Level TakeAccepted() override {
    const int f = ui::ACCEPTED();
    const int row = window().as<ui::TextList>(m_list)->selected();
    const bool picked = row >= 1 && row <= static_cast<int>(m_defs.size());
    if (f == m_new || (f == m_edit && picked)) {
      CustomDefinition def = f == m_new ? CustomDefinition{} : m_defs[row - 1];
      CustomDefinitionForm form(def);
      if (form.Run() == ui::RequestCompleted) refresh(0, def.name);
    } else if (f == m_delete && picked) {
      if (ui::MESSAGE("Delete the custom report " + m_defs[row - 1].name + "?", "Custom Reports",
                      ui::Icon::Question, ui::BUTTON::Yes | ui::BUTTON::No) == ui::BUTTON::Yes) {
        removeCustomDefinition(m_defs[row - 1].name);
        refresh(std::max(1, row - 1));
      }
    } else if ((f == OkControl || f == m_list) && picked) {
      chosen = m_defs[row - 1];
      SetResponse(ui::RequestCompleted);
      return ui::Level::Notify;
    } else if (f == CancelControl) {
      SetResponse(ui::RequestCancelled);
      return ui::Level::Notify;
    }
    return ui::Level::Notify;
  }

 private:
  void refresh(int select, const std::string& name = {}) {
    m_defs = loadCustomDefinitions();
    std::vector<std::string> lines;
    for (size_t i = 0; i < m_defs.size(); ++i) {
      lines.push_back(m_defs[i].name);
      if (!name.empty() && m_defs[i].name == name) select = static_cast<int>(i) + 1;
    }
    window().as<ui::TextList>(m_list)->setLines(lines);
    if (!lines.empty()) window().setProp(m_list, ui::Prop::Selected, std::min<int>(std::max(1, select), lines.size()));
    // Without a definition there is nothing to edit, delete or run.
    for (int feq : {m_edit, m_delete, OkControl}) window().setProp(feq, ui::Prop::Disable, lines.empty() ? 1 : 0);
  }

  std::vector<CustomDefinition> m_defs;
  int m_list = 0, m_new = 0, m_edit = 0, m_delete = 0;
};

}  // namespace

std::span<const CustomField> reportControlList() { return kFields; }
std::span<const SortOrder> sortOrderList() { return kSorts; }

std::vector<CustomDefinition> loadCustomDefinitions() {
  std::vector<CustomDefinition> out;
  std::ifstream in(kStore);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      out.push_back({line.substr(1, line.size() - 2), "", "", {}, false});
      continue;
    }
    const size_t eq = line.find('=');
    if (out.empty() || eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    CustomDefinition& d = out.back();
    if (key == "Title") d.title = value.substr(0, 40);
    else if (key == "Sort") d.sort = value;
    else if (key == "Fields") d.fields = splitFields(value);
    else if (key == "Totals") d.totals = value == "1";
    else if (key == "Break") d.breakField = value;
  }
  std::sort(out.begin(), out.end(), [](const CustomDefinition& a, const CustomDefinition& b) {
    return rt::UPPER(a.name) < rt::UPPER(b.name);
  });
  return out;
}

namespace {

bool writeDefinitions(const std::vector<CustomDefinition>& defs) {
  const std::string tmp = std::string(kStore) + ".new";
  {
    std::ofstream out(tmp, std::ios::trunc);
    for (const CustomDefinition& d : defs)
      out << '[' << d.name << "]\nTitle=" << d.title << "\nSort=" << d.sort << "\nFields=" << joinFields(d.fields)
          << "\nTotals=" << (d.totals ? 1 : 0) << "\nBreak=" << d.breakField << "\n";
    if (!out) return false;
  }
  std::error_code ec;
  std::filesystem::rename(tmp, kStore, ec);
  return !ec;
}

// A name stored whole on its section line.
std::string cleanName(std::string name) {
  std::replace_if(name.begin(), name.end(), [](char c) { return c == '[' || c == ']' || c == '\n' || c == '\r'; }, ' ');
  return rt::CLIP(name);
}

}  // namespace

bool saveCustomDefinition(const CustomDefinition& def, const std::string& old) {
  CustomDefinition d = def;
  d.name = cleanName(d.name);
  if (d.name.empty()) return false;
  if (d.title.size() > 40) d.title.resize(40);
  std::vector<CustomDefinition> defs = loadCustomDefinitions();
  for (const CustomDefinition& e : defs)
    if (rt::UPPER(e.name) == rt::UPPER(d.name) && rt::UPPER(e.name) != rt::UPPER(old)) return false;
  std::erase_if(defs, [&](const CustomDefinition& e) { return !old.empty() && rt::UPPER(e.name) == rt::UPPER(old); });
  defs.push_back(d);
  return writeDefinitions(defs);
}

void removeCustomDefinition(const std::string& name) {
  std::vector<CustomDefinition> defs = loadCustomDefinitions();
  std::erase_if(defs, [&](const CustomDefinition& e) { return rt::UPPER(e.name) == rt::UPPER(name); });
  (void)writeDefinitions(defs);  // a failed write leaves the old file whole
}

std::string customSortExpression(const CustomDefinition& def) {
  std::string sort;
  for (const SortOrder& o : kSorts)
    if (def.sort == o.desc) sort = o.sort;
  const CustomField* f = fieldNamed(def.breakField);
  const rt::FieldDesc* d = f ? files::Desc_SCHEDULE.find(f->name) : nullptr;
  if (!d) return sort;
  const std::string name = f->name;
  return (isText(*d) ? "UPPER(" + name + ")" : name) + "," + (sort.empty() ? "SCH:Date,SCH:Time" : sort);
}

std::optional<CustomDefinition> CustomReports() {
  CustomReportsWindow w;
  w.Run();
  return w.chosen;
}

int CustomScheduleReport() {
  std::optional<CustomDefinition> def = criteriaDialogs().customReports();
  if (!def) {
    files::GLOBALRESPONSE = 2;
    return 2;
  }
  return CustomRun(*def).Run();
}

}  // namespace ov::reports
