#include "editors/query_wizard.h"

#include "datalib/records.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window.h"
#include "platform/ui/window_manager.h"

namespace ov::editors {

namespace {

using Entry = QueryField::Entry;

std::string quoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

std::string upper(std::string_view s) { return rt::UPPER(std::string(rt::clipView(s))); }

bool isDateOrTime(const QueryField& f) {
  const std::string p = upper(f.picture);
  return p.rfind("@D", 0) == 0 || p.rfind("@T", 0) == 0;
}

bool isNumber(const QueryField& f) { return upper(f.picture).rfind("@N", 0) == 0 || isDateOrTime(f); }

}  // namespace

const std::vector<QueryField>& scheduleQueryFields() {
  static const std::vector<QueryField> fields = [] {
    auto flag = [](const char* description, const char* field, const char* text) {
      return QueryField{description, field, "@n3", Entry::Check, text};
    };
    std::vector<QueryField> all = {
        // The choices are the values the task form stores, so that a chosen value can match.
        {"Basic - Task Type (Message/Program/Both/Reminder)", "SCH:TaskType", "@s20", Entry::Choice,
         "Run Program|Display Message|Both|None"},
        {"Basic - Task Category", "SCH:Category", "@s20", Entry::Free, ""},
        {"Basic - Task Description/Title", "SCH:Description", "@s40", Entry::Free, ""},
        {"Program - Command to run", "SCH:Command", "@s255", Entry::Free, ""},
        {"Program - Start in folder", "SCH:Path", "@s255", Entry::Free, ""},
        {"Schedule - Schedule type", "SCH:ScheduleType", "@s15", Entry::Choice,
         "Once|Day of Week|Day of Month|Monthly|Yearly|Every"},
        flag("Schedule - Sunday", "SCH:Sunday", "Sunday"),
        flag("Schedule - Monday", "SCH:Monday", "Monday"),
        flag("Schedule - Tuesday", "SCH:Tuesday", "Tuesday"),
        flag("Schedule - Wednesday", "SCH:Wednesday", "Wednesday"),
        flag("Schedule - Thursday", "SCH:Thursday", "Thursday"),
        flag("Schedule - Friday", "SCH:Friday", "Friday"),
        flag("Schedule - Saturday", "SCH:Saturday", "Saturday"),
        {"Schedule - Monthly repeat", "SCH:MonthRepeat", "@s18", Entry::Choice,
         "Once|Twice - 1st, 15th|Twice - 15th, Last"},
        {"Schedule - Day offset", "SCH:Offset", "@n-7", Entry::Free, ""},
        {"Schedule - Every (number of units)", "SCH:Every", "@n7", Entry::Free, ""},
        flag("Schedule - Every 1st", "SCH:Every1st", "1st"),
        flag("Schedule - Every 2nd", "SCH:Every2nd", "2nd"),
        flag("Schedule - Every 3rd", "SCH:Every3rd", "3rd"),
        flag("Schedule - Every 4th", "SCH:Every4th", "4th"),
        flag("Schedule - Every last", "SCH:EveryLast", "Last"),
        flag("Schedule - Last day of the month", "SCH:LastDayofMonth", "Last day of month"),
        {"Schedule - Every (unit)", "SCH:EveryType", "@s20", Entry::Free, ""},
        {"Basic - Next Date to Perform Task", "SCH:Date", "@d17", Entry::Free, ""},
        {"Basic - Next Time to Perform Task", "SCH:Time", "@t7", Entry::Free, ""},
        {"Basic - Last performed on this date", "SCH:LastRunDate", "@d17", Entry::Free, ""},
        {"Basic - Last performed at this time", "SCH:LastRunTime", "@t7", Entry::Free, ""},
        flag("Status - Skip the next occurrence", "SCH:SkipNextTime", "Skip next occurrence"),
        flag("Alarm - Sound an alarm", "SCH:Alarm", "Alarm"),
        {"Alarm - Sound file", "SCH:AlarmFile", "@s255", Entry::Free, ""},
        {"Warning - Advance warning date", "SCH:AdvanceWarnDate", "@d17", Entry::Free, ""},
        {"Warning - Advance warning time", "SCH:AdvanceWarnTime", "@t7", Entry::Free, ""},
        flag("Warning - Advance warning given", "SCH:AdvanceWarned", "Warned"),
        flag("Warning - Warn in advance", "SCH:Warn", "Warn"),
        flag("Options - Skip if missed", "SCH:SkipIfMissed", "Skip if missed"),
        flag("Options - Skip if a script is active", "SCH:SkipIfScriptActive", "Skip if a script is active"),
        flag("Options - Keep no history", "SCH:NoHistory", "No history"),
        flag("Options - Skipped by the user", "SCH:UserSkip", "User skip"),
        flag("Status - Task disabled (True/False)", "SCH:Disabled", "Disabled"),
        flag("Status - Task skipped (True/False)", "SCH:Skipped", "Skipped"),
        flag("Expiry - Task expires", "SCH:Expiry", "Expires"),
        {"Expiry - Expiry date", "SCH:ExpiryDate", "@d17", Entry::Free, ""},
        {"Expiry - Expiry time", "SCH:ExpiryTime", "@t7", Entry::Free, ""},
        flag("Exceptions - Task has exceptions", "SCH:Exceptions", "Exceptions"),
        {"Exceptions - Shift type", "SCH:ShiftType", "@s20", Entry::Choice,
         "Skip (to Next Valid Day)|Previous Day|Next Day"},
        flag("Exceptions - Except weekends", "SCH:ExceptWeekends", "Weekends"),
        flag("Exceptions - Except weekdays", "SCH:ExceptWeekdays", "Weekdays"),
        flag("Exceptions - Except holidays", "SCH:ExceptHolidays", "Holidays"),
        flag("Exceptions - Except a time range", "SCH:ExceptTime", "Time range"),
        {"Exceptions - Time range begins", "SCH:ExceptTimeBegin", "@t7", Entry::Free, ""},
        {"Exceptions - Time range ends", "SCH:ExceptTimeEnd", "@t7", Entry::Free, ""},
        {"E-mail - Address", "SCH:Email", "@s60", Entry::Free, ""},
    };
    // Only fields the record stores can be queried (a group name is no field).
    std::erase_if(all, [](const QueryField& f) { return files::Desc_SCHEDULE.find(f.field) == nullptr; });
    return all;
  }();
  return fields;
}

std::string queryCondition(const QueryField& field, std::string_view comparison, std::string_view value) {
  const std::string name = field.field;
  std::string left, right;
  if (field.entry == Entry::Check) {
    const std::string v = upper(value);
    left = name;
    right = v == "TRUE" || v == "1" || v == "YES" || v == upper(field.choices) ? "1" : "0";
  } else if (isNumber(field)) {
    left = name;
    right = isDateOrTime(field) ? rt::DEFORMAT(rt::clipView(value), field.picture)
                                : rt::DEFORMAT(rt::clipView(value), "@n-20.4");
  } else {
    left = "UPPER(CLIP(" + name + "))";
    right = quoted(upper(value));
  }
  if (comparison == "equal to") return left + "=" + right;
  if (comparison == "not equal to") return left + "<>" + right;
  if (comparison == "less than") return left + "<" + right;
  if (comparison == "greater than") return left + ">" + right;
  if (comparison == "less than or equal to") return left + "<=" + right;
  if (comparison == "greater than or equal to") return left + ">=" + right;
  if (comparison == "contains") return "INSTRING(" + quoted(upper(value)) + ",UPPER(" + name + "),1)>0";
  if (comparison == "begins with") return "INSTRING(" + quoted(upper(value)) + ",UPPER(" + name + "),1)=1";
  return {};
}

namespace {

class QueryWizardWindow : public ui::WindowManager {
 public:
  QueryWizardWindow(const std::vector<QueryField>& fields, std::string query)
      : ui::WindowManager("QueryWizard"), m_fields(fields), m_query(std::move(query)) {}

  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle("Query Wizard");
    w.at(-1, -1, 300, 150);
    std::string names, comparisons;
    for (const QueryField& f : m_fields) names += (names.empty() ? "" : "|") + f.description;
    for (const char* c : kQueryComparisons) comparisons += (comparisons.empty() ? "" : "|") + std::string(c);
    m_fieldText = m_fields.empty() ? std::string() : m_fields.front().description;
    m_comparison = kQueryComparisons[0];
    w.prompt("?FieldPrompt", "&Field:").at(6, 8, 40, 10);
    m_field = w.dropList("?Field", names).use(m_fieldText).at(50, 6, 244, 12).feq();
    w.prompt("?ComparisonPrompt", "&Condition:").at(6, 24, 40, 10);
    m_compare = w.dropList("?Comparison", comparisons).use(m_comparison).at(50, 22, 120, 12).feq();
    w.prompt("?ValuePrompt", "&Value:").at(6, 40, 40, 10);
    m_value = w.combo("?Value", "").use(m_valueText).at(50, 38, 244, 12).feq();
    m_and = w.button("?And", "&And").at(50, 54, 40, 14).feq();
    m_or = w.button("?Or", "&Or").at(94, 54, 40, 14).feq();
    m_clear = w.button("?Clear", "C&lear").at(138, 54, 40, 14).feq();
    m_text = w.textBox("?Query").use(m_query).readOnly().at(6, 72, 288, 52).feq();
    OkControl = w.button("?OK", "&OK").setDefault().at(196, 130, 46, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(248, 130, 46, 14).feq();
    Open();
    offerValues();
    return ui::Level::Benign;
  }

  ui::Level TakeNewSelection() override {
    if (ui::FIELD() == m_field) {
      window().update(m_field);
      m_valueText.clear();
      offerValues();
      window().display(m_value);
    }
    return ui::WindowManager::TakeNewSelection();
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    ui::Window& w = window();
    w.update();
    if (feq == m_and || feq == m_or) {
      add(feq == m_and ? " AND " : " OR ");
      return ui::Level::Notify;
    }
    if (feq == m_clear) {
      m_query.clear();
      w.display(m_text);
      return ui::Level::Notify;
    }
    if (feq == OkControl) {
      if (!rt::clipView(m_valueText).empty()) add(" AND ");
      m_accepted = true;
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level TakeCompleted() override {
    Response = ui::RequestCompleted;
    return ui::WindowManager::TakeCompleted();
  }

  bool accepted() const { return m_accepted; }
  const std::string& query() const { return m_query; }

 private:
  const QueryField* chosen() const {
    for (const QueryField& f : m_fields)
      if (f.description == m_fieldText) return &f;
    return nullptr;
  }

  void offerValues() {
    const QueryField* f = chosen();
    std::string from;
    if (f && f->entry == Entry::Choice) from = f->choices;
    if (f && f->entry == Entry::Check) from = "True|False";
    window().setProp(m_value, ui::Prop::From, from);
  }

  void add(std::string_view join) {
    const QueryField* f = chosen();
    if (!f) return;
    const std::string condition = queryCondition(*f, m_comparison, m_valueText);
    if (condition.empty()) return;
    m_query = m_query.empty() ? condition : "(" + m_query + ")" + std::string(join) + condition;
    m_valueText.clear();
    window().display();
  }

  const std::vector<QueryField>& m_fields;
  std::string m_query, m_fieldText, m_comparison, m_valueText;
  bool m_accepted = false;
  int m_field = 0, m_compare = 0, m_value = 0, m_and = 0, m_or = 0, m_clear = 0, m_text = 0;
};

}  // namespace

bool RunQueryWizard(const std::vector<QueryField>& fields, std::string& query) {
  QueryWizardWindow wizard(fields, query);
  (void)wizard.Run();
  if (!wizard.accepted()) return false;
  query = wizard.query();
  return true;
}

}  // namespace ov::editors
