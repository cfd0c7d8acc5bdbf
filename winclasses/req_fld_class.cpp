#include "winclasses/req_fld_class.h"

#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window.h"

namespace ov::winclasses {

namespace {

std::string cut(std::string_view s, size_t n) { return std::string(s.substr(0, std::min(n, s.size()))); }

std::string withoutAmpersandsAndColons(std::string_view s) {
  std::string out;
  for (char c : s)
    if (c != '&' && c != ':') out += c;
  return out;
}

bool isRequirable(ui::Kind k) {
  switch (k) {
    case ui::Kind::Entry:
    case ui::Kind::Option:
    case ui::Kind::Combo:
    case ui::Kind::Spin:
    case ui::Kind::Text:
    case ui::Kind::DropCombo: return true;
    default: return false;
  }
}

// The name of a control's variable: its record field's, else the control's name without "?".
std::string useName(const ui::Control& c) {
  std::string n = c.name();
  if (!n.empty() && n.front() == '?') n.erase(0, 1);
  return cut(n, 40);
}

bool onlyBlankLines(std::string_view s) { return s.find_first_not_of(" \r\n") == std::string_view::npos; }

}  // namespace

std::string ReqFldClass::ReplaceToken(std::string_view text, std::string_view token, std::string_view value,
                                      size_t limit) {
  std::string out(text);
  if (token.empty()) return cut(out, limit);
  std::string upperToken = rt::UPPER(token);
  size_t from = 0;
  while (true) {
    std::string upper = rt::UPPER(out);
    size_t at = upper.find(upperToken, from);
    if (at == std::string::npos) break;
    out.replace(at, token.size(), value);
    from = at + value.size();
  }
  return cut(out, limit);
}

bool ReqFldClass::ready() const {
  if (REQFLDQ && REQFLDTEXTQ) return true;
  ui::MESSAGE("ReqFldClass not initialized.", "Error");
  return false;
}

void ReqFldClass::Init(std::string_view title, std::string_view text, bool validateOnFieldAccept) {
  REQFLDQ = std::make_unique<std::map<int32_t, ReqField>>();
  REQFLDTEXTQ = std::make_unique<std::map<int32_t, ReqFieldText>>();
  TITLE = cut(title, 255);
  TEXT = cut(text, 1024);
  VALIDATEONFIELDACCEPT = validateOnFieldAccept;
  m_window = ui::currentWindow();
  if (!m_window) return;
  std::string prompt;
  for (int feq : m_window->allControls()) {
    ui::Control* c = m_window->control(feq);
    if (!c) continue;
    if (c->kind() == ui::Kind::Prompt) {
      prompt = cut(withoutAmpersandsAndColons(c->textProp()), 40);
    } else if (isRequirable(c->kind()) && c->isRequired()) {
      (*REQFLDQ)[feq] = ReqField{feq, prompt, cut(c->prop(ui::Prop::Msg), 80), cut(c->prop(ui::Prop::Tip), 80),
                                 useName(*c)};
    }
  }
}

void ReqFldClass::AddField(int32_t control, std::string_view title, std::string_view text) {
  if (!ready()) return;
  if (m_window) m_window->setProp(control, ui::Prop::Req, 1);  // checked like the fields Init found
  (*REQFLDQ)[control] = ReqField{control, {}, {}, {}, {}};
  (*REQFLDTEXTQ)[control] = ReqFieldText{control, cut(title, 255), cut(text, 1024)};
}

void ReqFldClass::AddField(int32_t control, std::string_view fieldName, std::string_view tip,
                           std::string_view message, std::string_view prompt, bool replace) {
  if (!ready()) return;
  if (!replace && !REQFLDQ->count(control)) return;
  (*REQFLDQ)[control] = ReqField{control, cut(withoutAmpersandsAndColons(prompt), 80), cut(message, 80),
                                 cut(tip, 80), cut(fieldName, 40)};
}

void ReqFldClass::RemoveField(int32_t control) {
  if (!ready()) return;
  REQFLDQ->erase(control);
}

void ReqFldClass::Kill() {
  REQFLDQ.reset();
  REQFLDTEXTQ.reset();
}

std::string ReqFldClass::MessageText(int32_t control) const {
  if (REQFLDTEXTQ)
    if (auto it = REQFLDTEXTQ->find(control); it != REQFLDTEXTQ->end()) return it->second.TEXT;
  ReqField f;
  if (REQFLDQ)
    if (auto it = REQFLDQ->find(control); it != REQFLDQ->end()) f = it->second;
  std::string t = TEXT;
  t = ReplaceToken(t, "@PROMPT", "\"" + std::string(rt::clipView(f.PROMPT)) + "\"");
  t = ReplaceToken(t, "@MSG", rt::clipView(f.MSG));
  t = ReplaceToken(t, "@TIP", rt::clipView(f.TIP));
  t = ReplaceToken(t, "@FIELD", "\"" + std::string(rt::clipView(f.FLDNAME)) + "\"");
  return t;
}

void ReqFldClass::showMessage(int32_t control) const {
  std::string title = TITLE;
  if (REQFLDTEXTQ)
    if (auto it = REQFLDTEXTQ->find(control); it != REQFLDTEXTQ->end()) title = it->second.TITLE;
  ui::MESSAGE(MessageText(control), title, ui::Icon::Exclamation, "&OK");
}

int32_t ReqFldClass::Incomplete(bool visibleOnly) {
  if (!REQFLDQ || !m_window) return 0;
  ui::Window& w = *m_window;
  w.update();
  for (const auto& [feq, f] : *REQFLDQ) {
    ui::Control* c = w.control(feq);
    if (!c) continue;
    bool textBox = c->kind() == ui::Kind::Text;
    if (!w.isEnabled(feq) || c->isHidden()) continue;
    if (visibleOnly && !w.isShown(feq)) continue;
    if (!c->isRequired() && !textBox) continue;
    const ui::Binding& use = c->binding();
    std::string contents = use.isBound() ? use.text() : c->screenText();
    std::string picture = rt::UPPER(c->kind() == ui::Kind::Entry || c->kind() == ui::Kind::Spin ? c->textProp() : "");
    if (!picture.empty() && picture.front() == '@') picture.erase(0, 1);
    bool filled;
    if (textBox) {
      filled = !onlyBlankLines(contents);
      if (!filled && use.isBound()) {
        ui::Binding b = use;
        b.setText("");
        w.display(feq);
      }
    } else if (!picture.empty() && (picture.front() == 'N' || picture.front() == 'D')) {
      filled = use.isBound() ? use.number() != 0 : rt::clipView(contents) != "" && contents != "0";
    } else {
      filled = !rt::clipView(contents).empty();
    }
    if (!filled) {
      w.select(feq);
      showMessage(feq);
      return feq;
    }
  }
  return 0;
}

void ReqFldClass::TakeAccepted() {
  if (!REQFLDQ || !m_window) return;
  ui::Window& w = *m_window;
  int feq = ui::ACCEPTED();
  if (!feq || !REQFLDQ->count(feq) || w.propInt(0, ui::Prop::AcceptAll)) return;
  ui::Control* c = w.control(feq);
  if (!c) return;
  std::string screen = c->screenText();
  if (screen.empty()) {
    w.select(feq);
    showMessage(feq);
  } else if (c->kind() == ui::Kind::Text && onlyBlankLines(screen)) {
    w.setProp(feq, ui::Prop::ScreenText, "");
    if (c->binding().isBound()) {
      ui::Binding b = c->binding();
      b.setText("");
    }
    w.select(feq);
    showMessage(feq);
  }
}

void ReqFldClass::TakeSelected() {
  if (!REQFLDQ || !m_window) return;
  int feq = ui::SELECTED();
  if (!feq || !REQFLDQ->count(feq) || m_window->propInt(0, ui::Prop::AcceptAll)) return;
  m_window->setProp(feq, ui::Prop::Touched, 1);
}

}  // namespace ov::winclasses
