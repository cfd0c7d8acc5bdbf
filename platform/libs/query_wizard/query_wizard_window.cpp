// The wizard's window: a sheet of pages the buttons move between.
//
//   Current Query    the conditions; AND and OR add one, Change and Delete act on the highlighted
//                    one, Manual edits the whole text
//   Field Selection  the field of the condition
//   Operation        what to test on it
//   Value Entry      the value typed or chosen from the field's list; text fields may compare
//                    with case significant (flags skip this page)
//   Manual Override  the query as text
//
// A query that is not made of the wizard's own conditions (typed by hand, or from elsewhere) is
// kept as text and shown as one line; AND and OR then ask before they replace it.
#include <cstddef>

#include "platform/libs/query_wizard/query_wizard.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"
#include "platform/rt/queue.h"
#include "platform/ui/control.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_manager.h"

namespace ov::qwizard {

namespace {

struct ElementRow {
  rt::String<255> Text;
};
const rt::FieldDesc kElementRowFields[] = {
    {"QW:Text", rt::FieldType::String, 255, 0, offsetof(ElementRow, Text)},
};
const rt::RecordDesc kElementRow{"QW", kElementRowFields, 255};

enum Page { QueryPage = 1, FieldPage, OperationPage, ValuePage, ManualPage };

std::string join(const std::vector<std::string>& items) {
  std::string s;
  for (const std::string& item : items) {
    if (!s.empty()) s += '|';
    s += item;
  }
  return s;
}

class QueryWizardWindow : public ui::WindowManager {
 public:
  QueryWizardWindow(const QueryFields& fields, std::string text)
      : ui::WindowManager("QueryWizard"), m_fields(fields), m_original(std::move(text)) {}

  const std::string& result() const { return m_result; }

  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle(displayText(171));
    w.at(-1, -1, 300, 190);
    m_heading = w.string("?Heading", displayText(154)).at(6, 4, 288, 10).feq();
    m_sheet = w.sheet("?Pages").wizard().at(4, 16, 292, 150).feq();

    const int query = w.tab("?Tab:Query", displayText(154), m_sheet).feq();
    w.string("?Help:Add", displayText(155)).at(8, 20, 280, 10).on(query);
    w.string("?Help:Change", displayText(156)).at(8, 30, 280, 10).on(query);
    m_list = w.add<ui::ListControl>(0, "?Elements")
                 .from(m_rows, kElementRow)
                 .format("1020L(2)|M~" + displayText(154) + "~@s255@")
                 .at(8, 42, 216, 120)
                 .on(query)
                 .feq();
    m_and = button(w, "?And", 103, 101).at(230, 42, 60, 14).on(query).feq();
    m_or = button(w, "?Or", 127, 125).at(230, 60, 60, 14).on(query).feq();
    m_change = button(w, "?Change", 112, 110).at(230, 84, 60, 14).on(query).feq();
    m_delete = button(w, "?Delete", 115, 113).at(230, 102, 60, 14).on(query).feq();
    m_manual = button(w, "?Manual", 121, 119).at(230, 126, 60, 14).on(query).feq();

    const int field = w.tab("?Tab:Field", displayText(158), m_sheet).feq();
    w.group("?Group:Fields", displayText(159)).at(8, 20, 284, 60).on(field);
    w.string("?Help:Field", displayText(166)).at(14, 32, 270, 10).on(field);
    std::vector<std::string> labels;
    for (const QueryField& f : m_fields.fields) labels.push_back(listLabel(f));
    m_field = w.dropList("?Field", join(labels)).at(14, 46, 270, 12).on(field).feq();

    const int operation = w.tab("?Tab:Operation", displayText(164), m_sheet).feq();
    w.group("?Group:Operations", displayText(165)).at(8, 20, 284, 60).on(operation);
    w.string("?Help:Operation", displayText(168)).at(14, 32, 270, 10).on(operation);
    m_opField = w.string("?OperationField", "").at(14, 46, 270, 10).on(operation).feq();
    m_operation = w.dropList("?Operation", "").at(14, 60, 270, 12).on(operation).feq();

    const int value = w.tab("?Tab:Value", displayText(169), m_sheet).feq();
    w.string("?Help:Value", displayText(157)).at(14, 22, 270, 10).on(value);
    m_condition = w.string("?Condition", "").at(14, 36, 270, 10).on(value).feq();
    w.prompt("?Prompt:Value", displayText(151)).at(14, 52, 60, 10).on(value);
    m_value = w.entry("?Value", "@s255").at(80, 50, 204, 12).use(m_valueText).on(value).feq();
    m_choice = w.dropList("?Choice", "").at(80, 50, 204, 12).on(value).feq();
    m_case = w.check("?CaseSensitive", displayText(162)).at(14, 70, 270, 10).use(m_caseSensitive).on(value).feq();

    const int manual = w.tab("?Tab:Manual", displayText(160), m_sheet).feq();
    w.string("?Help:Manual", displayText(120)).at(8, 20, 280, 10).on(manual);
    m_expression = w.textBox("?Expression").at(8, 32, 284, 128).use(m_manualText).on(manual).feq();

    m_back = button(w, "?Back", 106, 104).at(70, 170, 54, 14).feq();
    m_next = button(w, "?Next", 124, 122).at(126, 170, 54, 14).feq();
    m_finish = button(w, "?Finish", 118, 116).at(182, 170, 54, 14).feq();
    CancelControl = button(w, "?Cancel", 109, 107).at(240, 170, 54, 14).feq();
    Open();

    loadQuery();
    showPage(QueryPage);
    return ui::Level::Benign;
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == m_and || feq == m_or) {
      addCondition(feq == m_and ? Link::And : Link::Or);
    } else if (feq == m_change ||
               (feq == m_list && (ui::KEYCODE() == ui::Key::MouseLeft2 || ui::KEYCODE() == ui::Key::Enter))) {
      changeCondition();
    } else if (feq == m_delete) {
      deleteCondition();
    } else if (feq == m_manual) {
      m_manualText = currentText();
      showPage(ManualPage);
    } else if (feq == m_back) {
      back();
    } else if (feq == m_next) {
      next();
    } else if (feq == m_finish) {
      finish();
    } else {
      return ui::WindowManager::TakeAccepted();
    }
    return ui::Level::Notify;
  }

 private:
  ui::Button& button(ui::Window& w, std::string name, int text, int tip) {
    ui::Button& b = w.button(std::move(name), displayText(text));
    b.tip(displayText(tip));
    return b;
  }

  // Two fields of one label are told apart by their names.
  std::string listLabel(const QueryField& f) const {
    int same = 0;
    for (const QueryField& other : m_fields.fields) same += other.label == f.label;
    return same > 1 ? f.label + " (" + f.name + ")" : f.label;
  }

  // ---- the query ----

  void loadQuery() {
    if (m_original.empty()) return;
    if (readQuery(m_fields, m_original, m_conditions)) return;
    // Not the wizard's own conditions: kept as text. Names the record no longer has are told.
    m_manualQuery = m_original;
    if (!m_fields.check(m_original))
      (void)ui::MESSAGE(displayText(38), displayText(37), ui::Icon::Exclamation);
  }

  std::string currentText() const {
    if (!m_manualQuery.empty()) return m_manualQuery;
    std::string text;
    (void)buildQuery(m_fields, m_conditions, text);
    return text;
  }

  void refreshList() {
    m_rows.FREE();
    if (!m_manualQuery.empty()) {
      m_rows.buf.Text = m_manualQuery.c_str();
      m_rows.ADD();
    } else if (m_conditions.empty()) {
      m_rows.buf.Text = displayText(163).c_str();
      m_rows.ADD();
    }
    for (size_t i = 0; i < m_conditions.size(); ++i) {
      const Condition& c = m_conditions[i];
      std::string line = describe(m_fields, c);
      if (i > 0) line = (c.link == Link::Or ? "OR  " : "AND  ") + line;
      m_rows.buf.Text = line.c_str();
      m_rows.ADD();
    }
    ui::DISPLAY(m_list);
    const bool any = !m_conditions.empty() || !m_manualQuery.empty();
    window().setProp(m_change, ui::Prop::Disable, any ? 0 : 1);
    window().setProp(m_delete, ui::Prop::Disable, any ? 0 : 1);
  }

  // The highlighted condition (0-based), or -1.
  int highlighted() const {
    const int row = ui::CHOICE(m_list);
    return row >= 1 && row <= static_cast<int>(m_conditions.size()) ? row - 1 : -1;
  }

  void addCondition(Link link) {
    if (!m_manualQuery.empty()) {
      if (ui::MESSAGE(displayText(36), displayText(35), ui::Icon::Question, ui::BUTTON::Yes | ui::BUTTON::No,
                      ui::BUTTON::No) != ui::BUTTON::Yes)
        return;
      m_manualQuery.clear();
      refreshList();
    }
    m_editing = -1;
    m_draft = Condition{};
    m_draft.link = link;
    showPage(FieldPage);
  }

  void changeCondition() {
    if (!m_manualQuery.empty()) {
      m_manualText = m_manualQuery;
      showPage(ManualPage);
      return;
    }
    const int at = highlighted();
    if (at < 0) return;
    m_editing = at;
    m_draft = m_conditions[at];
    showPage(FieldPage);
  }

  void deleteCondition() {
    if (!m_manualQuery.empty()) {
      m_manualQuery.clear();
    } else if (const int at = highlighted(); at >= 0) {
      m_conditions.erase(m_conditions.begin() + at);
      if (!m_conditions.empty()) m_conditions.front().link = Link::And;
    }
    refreshList();
  }

  // ---- pages ----

  void showPage(Page page) {
    m_page = page;
    ui::Window& w = window();
    w.setProp(m_sheet, ui::Prop::Selected, std::to_string(page));
    static const int kHeadings[] = {0, 154, 158, 164, 169, 160};
    w.setProp(m_heading, ui::Prop::Text, displayText(kHeadings[page]));
    w.setProp(m_back, ui::Prop::Disable, page == QueryPage ? 1 : 0);
    w.setProp(m_next, ui::Prop::Disable, page == FieldPage || page == OperationPage || page == ValuePage ? 0 : 1);
    w.setProp(m_finish, ui::Prop::Disable, page == FieldPage || page == OperationPage ? 1 : 0);
    if (page == QueryPage) {
      refreshList();
      ui::SELECT(m_list);
    } else if (page == FieldPage) {
      w.setProp(m_field, ui::Prop::Selected, std::to_string(m_draft.field + 1));
      ui::SELECT(m_field);
    } else if (page == OperationPage) {
      const QueryField& f = m_fields.fields[m_draft.field];
      w.setProp(m_opField, ui::Prop::Text, listLabel(f));
      m_ops = operationsFor(f);
      std::vector<std::string> names;
      int chosen = 1;
      for (size_t i = 0; i < m_ops.size(); ++i) {
        names.push_back(displayText(static_cast<int>(m_ops[i])));
        if (m_ops[i] == m_draft.op) chosen = static_cast<int>(i) + 1;
      }
      w.setProp(m_operation, ui::Prop::From, join(names));
      w.setProp(m_operation, ui::Prop::Selected, std::to_string(chosen));
      ui::SELECT(m_operation);
    } else if (page == ValuePage) {
      const QueryField& f = m_fields.fields[m_draft.field];
      w.setProp(m_condition, ui::Prop::Text, listLabel(f) + " " + displayText(static_cast<int>(m_draft.op)));
      const bool choice = f.entry == EntryKind::Choice;
      w.setProp(m_value, ui::Prop::Hide, choice ? 1 : 0);
      w.setProp(m_choice, ui::Prop::Hide, choice ? 0 : 1);
      w.setProp(m_case, ui::Prop::Hide, f.value == ValueKind::Text ? 0 : 1);
      m_caseSensitive = m_draft.caseSensitive ? 1 : 0;
      if (choice) {
        w.setProp(m_choice, ui::Prop::From, join(f.choices));
        int chosen = 1;
        for (size_t i = 0; i < f.choices.size(); ++i)
          if (f.choices[i] == m_draft.value) chosen = static_cast<int>(i) + 1;
        w.setProp(m_choice, ui::Prop::Selected, std::to_string(chosen));
        ui::SELECT(m_choice);
      } else {
        m_valueText = m_draft.value;
        ui::SELECT(m_value);
      }
      ui::DISPLAY();
    } else if (page == ManualPage) {
      ui::DISPLAY(m_expression);
      ui::SELECT(m_expression);
    }
  }

  void back() {
    switch (m_page) {
      case FieldPage: showPage(QueryPage); break;
      case OperationPage: showPage(FieldPage); break;
      case ValuePage: showPage(OperationPage); break;
      case ManualPage: leaveManual(); showPage(QueryPage); break;
      default: break;
    }
  }

  void next() {
    if (m_page == FieldPage) {
      const int chosen = ui::CHOICE(m_field);
      if (chosen < 1) return;
      if (chosen - 1 != m_draft.field) m_draft.value.clear();
      m_draft.field = chosen - 1;
      showPage(OperationPage);
    } else if (m_page == OperationPage) {
      const int chosen = ui::CHOICE(m_operation);
      if (chosen < 1 || chosen > static_cast<int>(m_ops.size())) return;
      m_draft.op = m_ops[chosen - 1];
      if (takesValue(m_draft.op))
        showPage(ValuePage);
      else
        (void)storeDraft();
    } else if (m_page == ValuePage) {
      (void)storeDraft();
    }
  }

  // The condition of the pages into the query; false (staying on the value page) when its value
  // cannot be read.
  bool storeDraft() {
    const QueryField& f = m_fields.fields[m_draft.field];
    if (m_page == ValuePage) {
      (void)ui::UPDATE();
      if (f.entry == EntryKind::Choice) {
        const int chosen = ui::CHOICE(m_choice);
        m_draft.value = chosen >= 1 && chosen <= static_cast<int>(f.choices.size()) ? f.choices[chosen - 1] : "";
      } else {
        m_draft.value = m_valueText;
      }
      m_draft.caseSensitive = f.value == ValueKind::Text && m_caseSensitive != 0;
    } else {
      m_draft.value.clear();
      m_draft.caseSensitive = false;
    }
    std::string text, error;
    if (!conditionText(f, m_draft, text, &error)) {
      (void)ui::MESSAGE(error, displayText(169), ui::Icon::Exclamation);
      ui::SELECT(f.entry == EntryKind::Choice ? m_choice : m_value);
      return false;
    }
    if (m_editing >= 0) {
      m_conditions[m_editing] = m_draft;
    } else {
      m_conditions.push_back(m_draft);
    }
    m_conditions.front().link = Link::And;
    m_editing = -1;
    showPage(QueryPage);
    return true;
  }

  // Leaving the manual page: a text the wizard made itself reads back into its conditions; any
  // other is kept as text.
  void leaveManual() {
    (void)ui::UPDATE(m_expression);
    const std::string text(rt::CLIP(m_manualText));
    if (text == currentText()) return;
    std::vector<Condition> conditions;
    if (readQuery(m_fields, text, conditions)) {
      m_conditions = std::move(conditions);
      m_manualQuery.clear();
    } else {
      m_manualQuery = text;  // replaces the conditions
      m_conditions.clear();
    }
  }

  void finish() {
    if (m_page == ValuePage && !storeDraft()) return;
    std::string text;
    if (m_page == ManualPage) {
      (void)ui::UPDATE(m_expression);
      text = rt::CLIP(m_manualText);
    } else {
      text = currentText();
    }
    if (!text.empty() && !m_fields.check(text)) {
      (void)ui::MESSAGE(displayText(34), displayText(33), ui::Icon::Exclamation);
      if (m_page == ManualPage) ui::SELECT(m_expression);
      return;
    }
    m_result = text;
    SetResponse(ui::RequestCompleted);
  }

  const QueryFields& m_fields;
  std::string m_original, m_result;
  std::vector<Condition> m_conditions;
  std::string m_manualQuery;  // a query kept as text
  Condition m_draft;
  int m_editing = -1;  // the condition Change works on
  std::vector<Op> m_ops;
  Page m_page = QueryPage;

  rt::Queue<ElementRow> m_rows;
  std::string m_valueText, m_manualText;
  uint8_t m_caseSensitive = 0;
  int m_heading = 0, m_sheet = 0, m_list = 0, m_and = 0, m_or = 0, m_change = 0, m_delete = 0, m_manual = 0;
  int m_field = 0, m_opField = 0, m_operation = 0, m_condition = 0, m_value = 0, m_choice = 0, m_case = 0;
  int m_expression = 0, m_back = 0, m_next = 0, m_finish = 0;
};

}  // namespace

bool runQueryWizard(const QueryFields& fields, std::string& queryText) {
  if (fields.fields.empty()) return false;
  QueryWizardWindow wizard(fields, queryText);
  if (wizard.Run() != ui::RequestCompleted) return false;
  queryText = wizard.result();
  return true;
}

}  // namespace ov::qwizard
