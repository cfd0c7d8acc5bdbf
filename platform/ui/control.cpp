#include "platform/ui/control.h"

#include <QAbstractSpinBox>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QStyleOptionTab>
#include <QStylePainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"
#include "platform/ui/detail/runtime_impl.h"
#include "platform/ui/detail/view_util.h"
#include "platform/ui/event.h"
#include "platform/ui/icons.h"
#include "platform/ui/runtime.h"
#include "platform/ui/toolbar_class.h"
#include "platform/ui/window.h"

namespace ov::ui {

using detail::q;
using detail::s8;

// ---- base --------------------------------------------------------------------------------------

Control::Control(Kind kind, std::string name) : m_kind(kind), m_name(std::move(name)) {}

Control::~Control() { destroyView(); }

Control& Control::at(int x, int y, int w, int h) {
  m_rect = Rect{x, y, w, h};
  changed();
  return *this;
}
Control& Control::on(int parentFeq) {
  m_parent = parentFeq;
  return *this;
}
Control& Control::tip(std::string_view t) {
  m_tip = t;
  changed();
  return *this;
}
Control& Control::msg(std::string_view t) {
  m_msg = t;
  return *this;
}
Control& Control::icon(std::string_view i) {
  m_icon = i;
  changed();
  return *this;
}
Control& Control::use(Binding b) {
  m_use = b;
  return *this;
}
Control& Control::hidden(bool on) {
  m_hide = on;
  changed();
  return *this;
}
Control& Control::disabled(bool on) {
  m_disable = on;
  changed();
  return *this;
}
Control& Control::readOnly(bool on) {
  m_readOnly = on;
  changed();
  return *this;
}
Control& Control::required(bool on) {
  m_req = on;
  return *this;
}
Control& Control::immediate(bool on) {
  m_immediate = on;
  return *this;
}
Control& Control::text(std::string_view t) {
  m_text = t;
  changed();
  return *this;
}

void Control::changed() {
  if (m_window && m_window->isOpen()) m_window->controlChanged(*this);
}

void Control::postEvent(int event, int keycode) {
  if (m_window && m_window->isOpen()) m_window->post(event, m_feq, keycode);
}

std::string Control::prop(int p) const {
  using detail::flag;
  switch (p) {
    case Prop::Text: return m_text;
    case Prop::ScreenText: return screenText();
    case Prop::Hide: return flag(m_hide);
    case Prop::Disable: return flag(m_disable);
    case Prop::ReadOnly: return flag(m_readOnly);
    case Prop::Skip: return flag(m_skip);
    case Prop::Req: return flag(m_req);
    case Prop::Immediate: return flag(m_immediate);
    case Prop::Auto: return flag(m_auto);
    case Prop::Touched: return flag(m_touched);
    case Prop::Tip: return m_tip;
    case Prop::Msg: return m_msg;
    case Prop::Icon: return m_icon;
    case Prop::Color: return std::to_string(m_color);
    case Prop::FontColor: return std::to_string(m_fontColor);
    case Prop::FontName: return m_fontName;
    case Prop::FontSize: return m_fontSize ? std::to_string(m_fontSize) : std::string();
    case Prop::FontStyle: return m_fontStyle ? std::to_string(m_fontStyle) : std::string();
    case Prop::Type: return std::to_string(static_cast<int>(m_kind));
    case Prop::Parent: return std::to_string(m_parent);
    case Prop::Handle: return std::to_string(m_handle);
    case Prop::WndProc: return std::to_string(m_wndProc);
    case Prop::Visible: return flag(m_window && m_window->isShown(m_feq));
    default: return {};
  }
}

bool Control::setProp(int p, std::string_view v) {
  using detail::isTrue;
  switch (p) {
    case Prop::Text: m_text = v; break;
    case Prop::Hide: m_hide = isTrue(v); break;
    case Prop::Disable: m_disable = isTrue(v); break;
    case Prop::ReadOnly: m_readOnly = isTrue(v); break;
    case Prop::Skip: m_skip = isTrue(v); break;
    case Prop::Req: m_req = isTrue(v); break;
    case Prop::Immediate: m_immediate = isTrue(v); break;
    case Prop::Auto: m_auto = isTrue(v); return true;
    case Prop::Touched: m_touched = isTrue(v); return true;
    case Prop::Tip: m_tip = v; break;
    case Prop::Msg: m_msg = v; return true;
    case Prop::Icon: m_icon = v; break;
    case Prop::Color: m_color = static_cast<int32_t>(detail::toInt(v, -1)); break;
    case Prop::FontColor: m_fontColor = static_cast<int32_t>(detail::toInt(v, -1)); break;
    case Prop::FontName: m_fontName = v; break;
    case Prop::FontSize: m_fontSize = static_cast<int>(detail::toInt(v)); break;
    case Prop::FontStyle: m_fontStyle = static_cast<int>(detail::toInt(v)); break;
    case Prop::Parent: m_parent = static_cast<int>(detail::toInt(v)); break;
    case Prop::WndProc: m_wndProc = static_cast<ProcNumber>(detail::toInt(v)); return true;
    case Prop::Alrt: {
      int64_t code = detail::toInt(v);
      if (code < 0) {
        std::erase(m_alerts, static_cast<int>(-code));
      } else if (code > 0) {
        m_alerts.push_back(static_cast<int>(code));
      } else {
        m_alerts.clear();
      }
      return true;
    }
    default: return false;
  }
  changed();
  return true;
}

void Control::syncView() {
  if (!m_view) return;
  detail::applyCommon(*this, *m_view);
}

void Control::destroyView() {
  if (m_view) {
    m_view->hide();
    m_view->deleteLater();
    m_view = nullptr;
  }
}

// ---- strings and prompts -----------------------------------------------------------------------

void Label::display() {
  if (m_kind != Kind::SString || !m_use.isBound()) return;
  std::string t = m_picture.empty() ? m_use.text() : detail::formatValue(m_use, m_picture);
  if (t != m_text) {
    m_text = t;
    changed();
  }
}

QWidget* Label::createView(QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setTextFormat(Qt::PlainText);
  m_view = l;
  return l;
}

void Label::syncView() {
  if (!m_view) return;
  Control::syncView();
  auto* l = static_cast<QLabel*>(m_view);
  // A text given room for two lines or more breaks between words where it meets the edge.
  l->setWordWrap(l->height() >= 2 * l->fontMetrics().lineSpacing());
  l->setText(q(m_text));
}

QWidget* Prompt::createView(QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setTextFormat(Qt::PlainText);
  m_view = l;
  return l;
}

void Prompt::syncView() {
  if (!m_view) return;
  Control::syncView();
  auto* l = static_cast<QLabel*>(m_view);
  l->setWordWrap(l->height() >= 2 * l->fontMetrics().lineSpacing());
  l->setText(q(m_text));
  // The prompt's letter goes to the next field that takes input.
  QWidget* buddy = nullptr;
  std::vector<int> fields = m_window->fields();
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i] != m_feq) continue;
    for (size_t j = i + 1; j < fields.size() && !buddy; ++j) {
      Control* c = m_window->control(fields[j]);
      if (c->takesInput() || c->kind() == Kind::Button) buddy = c->view();
    }
    break;
  }
  l->setBuddy(buddy);
}

// ---- entries -----------------------------------------------------------------------------------

Entry::Entry(std::string name, std::string picture) : Control(Kind::Entry, std::move(name)) {
  m_text = std::move(picture);
}

namespace {
QLineEdit* lineEditOf(QWidget* view) {
  if (!view) return nullptr;
  if (auto* le = qobject_cast<QLineEdit*>(view)) return le;
  return view->findChild<QLineEdit*>();
}
// Characters of a UTF-8 text up to a byte offset, and back.
int charsOf(std::string_view text, size_t bytes) {
  return static_cast<int>(q(std::string(text.substr(0, std::min(bytes, text.size())))).size());
}
}  // namespace

void Entry::selection(int& start, int& end) const {
  if (QLineEdit* le = lineEditOf(m_view)) {
    if (le->hasSelectedText()) {
      start = le->selectionStart();
      end = le->selectionEnd();
    } else {
      start = end = le->cursorPosition();
    }
    return;
  }
  int length = charsOf(m_screen, m_screen.size());
  start = std::clamp(m_selStart, 0, length);
  end = std::clamp(m_selEnd, start, length);
}

void Entry::setSelection(int start, int end) {
  int length = charsOf(m_screen, m_screen.size());
  m_selStart = std::clamp(start, 0, length);
  m_selEnd = std::clamp(end, m_selStart, length);
  if (QLineEdit* le = lineEditOf(m_view)) {
    if (m_selEnd > m_selStart)
      le->setSelection(m_selStart, m_selEnd - m_selStart);
    else
      le->setCursorPosition(m_selStart);
  }
}

std::string Entry::prop(int p) const {
  if (p == Prop::Password) return detail::flag(m_password);
  if (p == Prop::Upper) return detail::flag(m_upper);
  if (p == Prop::SelStart || p == Prop::SelEnd) {
    int start = 0, end = 0;
    selection(start, end);
    return std::to_string(p == Prop::SelStart ? start + 1 : end);
  }
  return Control::prop(p);
}

bool Entry::setProp(int p, std::string_view v) {
  if (p == Prop::ScreenText) {
    // The caret stays where it was, as the program wrote the text and the user did not.
    int start = 0, end = 0;
    selection(start, end);
    m_screen = v;
    m_touched = true;
    changed();
    setSelection(start, start);
    return true;
  }
  if (p == Prop::SelStart) {
    int n = static_cast<int>(detail::toInt(v)) - 1;
    setSelection(n, n);
    return true;
  }
  if (p == Prop::SelEnd) {
    int start = 0, end = 0;
    selection(start, end);
    setSelection(start, static_cast<int>(detail::toInt(v)));
    return true;
  }
  if (p == Prop::Password) {
    m_password = detail::isTrue(v);
    changed();
    return true;
  }
  if (p == Prop::Upper) {
    m_upper = detail::isTrue(v);
    return true;
  }
  return Control::setProp(p, v);
}

void Entry::display() {
  if (!m_use.isBound()) return;
  std::string t = detail::formatValue(m_use, m_text);
  m_touched = false;
  if (t != m_screen) {
    m_screen = t;
    changed();
  }
}

bool Entry::update() {
  if (!m_use.isBound()) return true;
  std::string text = m_upper ? rt::UPPER(m_screen) : m_screen;
  return detail::deformatValue(m_use, text, m_text);
}

void Entry::userEdit(std::string_view text) {
  m_screen = text;
  m_selStart = m_selEnd = charsOf(m_screen, m_screen.size());
  m_touched = true;
  if (m_immediate) postEvent(EVENT::NewSelection);
}

void Entry::userAccept(int keycode) {
  detail::ThreadScope onThread(m_window ? m_window->thread() : kFrameThread);
  if (!update()) {
    postEvent(EVENT::Rejected, keycode);
    return;
  }
  m_touched = false;
  postEvent(EVENT::Accepted, keycode);
}

namespace {
// An entry's text is selected when the entry gets the focus by the keyboard or the program, so
// that typing replaces a pre-filled value; a click puts the caret where it lands.
class SelectOnFocus : public QObject {
 public:
  explicit SelectOnFocus(QLineEdit* e) : QObject(e) { e->installEventFilter(this); }
  bool eventFilter(QObject* obj, QEvent* ev) override {
    if (ev->type() == QEvent::FocusIn) {
      auto reason = static_cast<QFocusEvent*>(ev)->reason();
      if (reason != Qt::MouseFocusReason && reason != Qt::PopupFocusReason)
        if (auto* e = qobject_cast<QLineEdit*>(obj); e && !e->hasSelectedText()) e->selectAll();
    }
    return false;
  }
};

// The characters a text picture holds ("@s80" holds 80); 0 for other pictures.
int stringPictureWidth(std::string_view picture) {
  if (!picture.empty() && picture.front() == '@') picture.remove_prefix(1);
  if (picture.empty() || (picture.front() != 's' && picture.front() != 'S')) return 0;
  int n = 0;
  for (char c : picture.substr(1)) {
    if (c < '0' || c > '9') break;
    n = n * 10 + (c - '0');
  }
  return n;
}
}  // namespace

QWidget* Entry::createView(QWidget* parent) {
  auto* e = new QLineEdit(parent);
  new SelectOnFocus(e);
  QObject::connect(e, &QLineEdit::textEdited, e, [this](const QString& t) { userEdit(s8(t)); });
  // Enter gives returnPressed and then editingFinished: one Accepted (or Rejected) for both.
  QObject::connect(e, &QLineEdit::returnPressed, e, [this] {
    m_enterPressed = true;
    userAccept(Key::Enter);
  });
  QObject::connect(e, &QLineEdit::editingFinished, e, [this] {
    bool enter = m_enterPressed;
    m_enterPressed = false;
    if (m_touched && !enter) userAccept(Key::Tab);
  });
  m_view = e;
  return e;
}

void Entry::syncView() {
  if (!m_view) return;
  Control::syncView();
  auto* e = static_cast<QLineEdit*>(m_view);
  QString t = q(m_screen);
  if (e->text() != t) e->setText(t);
  e->setReadOnly(m_readOnly);
  e->setEchoMode(m_password ? QLineEdit::Password : QLineEdit::Normal);
  // An entry takes no more than its picture shows nor its variable holds.
  size_t limit = m_use.width();
  if (int shown = stringPictureWidth(m_text); shown > 0) limit = limit ? std::min(limit, size_t(shown)) : size_t(shown);
  if (limit > 0 && limit < 32768) e->setMaxLength(static_cast<int>(limit));
}

// ---- spin --------------------------------------------------------------------------------------

namespace {
class SpinView : public QAbstractSpinBox {
 public:
  SpinView(QWidget* parent, Spin* spin) : QAbstractSpinBox(parent), m_spin(spin) {}
  void stepBy(int steps) override { m_spin->userStep(steps); }

 protected:
  StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }

 private:
  Spin* m_spin;
};
}  // namespace

Spin::Spin(std::string name, std::string picture) : Entry(std::move(name), std::move(picture)) {
  m_kind = Kind::Spin;
}

std::string Spin::prop(int p) const {
  switch (p) {
    case Prop::RangeLow: return detail::numberText(m_low);
    case Prop::RangeHigh: return detail::numberText(m_high);
    case Prop::Step: return detail::numberText(m_step);
    default: return Entry::prop(p);
  }
}

bool Spin::setProp(int p, std::string_view v) {
  switch (p) {
    case Prop::RangeLow: m_low = detail::toDouble(v); return true;
    case Prop::RangeHigh: m_high = detail::toDouble(v); return true;
    case Prop::Step: m_step = detail::toDouble(v); return true;
    default: return Entry::setProp(p, v);
  }
}

void Spin::userStep(int steps) {
  detail::ThreadScope onThread(m_window ? m_window->thread() : kFrameThread);
  if (!m_use.isBound()) return;
  if (m_touched && !update()) {
    postEvent(EVENT::Rejected);
    return;
  }
  double v = m_use.number() + steps * m_step;
  v = std::fmin(std::fmax(v, m_low), m_high);
  m_use.setNumber(v);
  display();
  postEvent(EVENT::NewSelection);
}

QWidget* Spin::createView(QWidget* parent) {
  auto* s = new SpinView(parent, this);
  QLineEdit* e = s->findChild<QLineEdit*>();
  if (e) {
    new SelectOnFocus(e);
    QObject::connect(e, &QLineEdit::textEdited, s, [this](const QString& t) { userEdit(s8(t)); });
    QObject::connect(e, &QLineEdit::returnPressed, s, [this] {
      m_enterPressed = true;
      userAccept(Key::Enter);
    });
  }
  QObject::connect(s, &QAbstractSpinBox::editingFinished, s, [this] {
    bool enter = m_enterPressed;
    m_enterPressed = false;
    if (m_touched && !enter) userAccept(Key::Tab);
  });
  m_view = s;
  return s;
}

void Spin::syncView() {
  if (!m_view) return;
  Control::syncView();
  auto* s = static_cast<SpinView*>(m_view);
  if (QLineEdit* e = s->findChild<QLineEdit*>(); e && e->text() != q(m_screen)) e->setText(q(m_screen));
  s->setReadOnly(m_readOnly);
}

// ---- text box ----------------------------------------------------------------------------------

namespace {
class TextView : public QPlainTextEdit {
 public:
  TextView(QWidget* parent, TextBox* box) : QPlainTextEdit(parent), m_box(box) {}

 protected:
  void focusOutEvent(QFocusEvent* e) override {
    QPlainTextEdit::focusOutEvent(e);
    if (m_box->isTouched()) m_box->userAccept();
  }

 private:
  TextBox* m_box;
};
}  // namespace

std::string TextBox::prop(int p) const { return Control::prop(p); }

bool TextBox::setProp(int p, std::string_view v) {
  if (p == Prop::ScreenText) {
    m_screen = v;
    m_touched = true;
    changed();
    return true;
  }
  return Control::setProp(p, v);
}

void TextBox::display() {
  if (!m_use.isBound()) return;
  std::string t = m_use.text();
  m_touched = false;
  if (t != m_screen) {
    m_screen = t;
    changed();
  }
}

bool TextBox::update() {
  if (m_use.isBound()) m_use.setText(m_screen);
  return true;
}

void TextBox::userEdit(std::string_view text) {
  m_screen = text;
  m_touched = true;
  if (m_immediate) postEvent(EVENT::NewSelection);
}

void TextBox::userAccept() {
  detail::ThreadScope onThread(m_window ? m_window->thread() : kFrameThread);
  update();
  m_touched = false;
  postEvent(EVENT::Accepted);
}

namespace {
// The editor shows CR LF as one line break and gives it back as LF alone: a text that differs only
// so is the text it was given, and a variable shown but not edited keeps its line breaks.
bool sameLines(std::string_view shown, std::string_view held) {
  size_t i = 0, j = 0;
  while (i < shown.size() && j < held.size()) {
    if (held[j] == '\r' && j + 1 < held.size() && held[j + 1] == '\n' && shown[i] == '\n') ++j;
    if (shown[i] != held[j]) return false;
    ++i, ++j;
  }
  return i == shown.size() && j == held.size();
}
}  // namespace

QWidget* TextBox::createView(QWidget* parent) {
  auto* t = new TextView(parent, this);
  // Tab and Shift+Tab go to the next and previous control, as in every other control of a form.
  t->setTabChangesFocus(true);
  QObject::connect(t, &QPlainTextEdit::textChanged, t, [this, t] {
    std::string now = s8(t->toPlainText());
    if (!sameLines(now, m_screen)) userEdit(now);
  });
  m_view = t;
  return t;
}

void TextBox::syncView() {
  if (!m_view) return;
  Control::syncView();
  auto* t = static_cast<QPlainTextEdit*>(m_view);
  if (!sameLines(s8(t->toPlainText()), m_screen)) {
    // A blank box filled in by the program while the user is in it (a suggested text) is
    // selected, so that typing replaces it instead of running into it.
    const bool suggested = t->hasFocus() && t->document()->isEmpty();
    t->setPlainText(q(m_screen));
    if (suggested) t->selectAll();
  }
  t->setReadOnly(m_readOnly);
}

// ---- check -------------------------------------------------------------------------------------

std::string Check::prop(int p) const {
  switch (p) {
    case Prop::TrueValue: return m_true;
    case Prop::FalseValue: return m_false;
    case Prop::Checked: return detail::flag(m_checked);
    case Prop::ScreenText: return m_checked ? m_true : m_false;
    default: return Control::prop(p);
  }
}

bool Check::setProp(int p, std::string_view v) {
  switch (p) {
    case Prop::TrueValue: m_true = v; return true;
    case Prop::FalseValue: m_false = v; return true;
    case Prop::Checked:
      m_checked = detail::isTrue(v);
      changed();
      return true;
    default: return Control::setProp(p, v);
  }
}

void Check::display() {
  if (!m_use.isBound()) return;
  bool on = m_use.isNumeric() ? m_use.number() == detail::toDouble(m_true)
                              : rt::compareText(m_use.text(), m_true) == 0;
  if (on != m_checked) {
    m_checked = on;
    changed();
  }
}

bool Check::update() {
  if (m_use.isBound()) m_use.setText(m_checked ? m_true : m_false);
  return true;
}

void Check::userToggle(bool checked) {
  detail::ThreadScope onThread(m_window ? m_window->thread() : kFrameThread);
  if (m_readOnly) {
    changed();  // puts the view back
    return;
  }
  m_checked = checked;
  update();
  postEvent(EVENT::Accepted, Key::MouseLeft);
}

QWidget* Check::createView(QWidget* parent) {
  auto* c = new QCheckBox(parent);
  QObject::connect(c, &QCheckBox::clicked, c, [this](bool on) { userToggle(on); });
  m_view = c;
  return c;
}

void Check::syncView() {
  if (!m_view) return;
  Control::syncView();
  auto* c = static_cast<QCheckBox*>(m_view);
  c->setText(q(m_text));
  c->setChecked(m_checked);
}

// ---- option and radios -------------------------------------------------------------------------

std::vector<int> Option::radios() const {
  std::vector<int> out;
  if (!m_window) return out;
  for (int feq : m_window->fields()) {
    Control* c = m_window->control(feq);
    if (c->kind() == Kind::Radio && c->parentFeq() == m_feq) out.push_back(feq);
  }
  return out;
}

std::string Option::prop(int p) const {
  if (p == Prop::Selected) return std::to_string(m_choice);
  if (p == Prop::ScreenText) {
    std::vector<int> r = radios();
    return m_choice >= 1 && m_choice <= static_cast<int>(r.size())
               ? static_cast<Radio*>(m_window->control(r[m_choice - 1]))->radioValue()
               : std::string();
  }
  return Control::prop(p);
}

bool Option::setProp(int p, std::string_view v) {
  if (p == Prop::Selected) {
    m_choice = static_cast<int>(detail::toInt(v));
    for (int r : radios()) m_window->control(r)->syncView();
    return true;
  }
  return Control::setProp(p, v);
}

void Option::display() {
  if (!m_use.isBound()) return;
  std::vector<int> r = radios();
  int choice = 0;
  for (size_t i = 0; i < r.size(); ++i) {
    std::string value = static_cast<Radio*>(m_window->control(r[i]))->radioValue();
    bool same = m_use.isNumeric() ? m_use.number() == detail::toDouble(value)
                                  : rt::compareText(m_use.text(), value) == 0;
    if (same) {
      choice = static_cast<int>(i + 1);
      break;
    }
  }
  if (choice != m_choice) {
    m_choice = choice;
    for (int f : r) m_window->control(f)->syncView();
  }
}

bool Option::update() {
  std::vector<int> r = radios();
  if (m_use.isBound() && m_choice >= 1 && m_choice <= static_cast<int>(r.size()))
    m_use.setText(static_cast<Radio*>(m_window->control(r[m_choice - 1]))->radioValue());
  return true;
}

void Option::userChoose(int radioFeq) {
  detail::ThreadScope onThread(m_window ? m_window->thread() : kFrameThread);
  std::vector<int> r = radios();
  if (m_readOnly || m_window->control(radioFeq)->isReadOnly()) {
    for (int f : r) m_window->control(f)->syncView();  // puts the views back
    return;
  }
  for (size_t i = 0; i < r.size(); ++i)
    if (r[i] == radioFeq) m_choice = static_cast<int>(i + 1);
  update();
  for (int f : r) m_window->control(f)->syncView();
  postEvent(EVENT::Accepted, Key::MouseLeft);
}

QWidget* Option::createView(QWidget* parent) {
  auto* g = new QGroupBox(parent);
  m_view = g;
  return g;
}

void Option::syncView() {
  if (!m_view) return;
  Control::syncView();
  static_cast<QGroupBox*>(m_view)->setTitle(q(m_text));
}

std::string Radio::radioValue() const {
  if (m_hasValue) return m_value;
  std::string v;
  bool amp = false;
  for (char c : m_text) {
    if (c == '&' && !amp) {
      amp = true;
      continue;
    }
    v += c;
  }
  return v;
}

std::string Radio::prop(int p) const {
  if (p == Prop::Value) return radioValue();
  return Control::prop(p);
}

bool Radio::setProp(int p, std::string_view v) {
  if (p == Prop::Value) {
    m_value = v;
    m_hasValue = true;
    return true;
  }
  return Control::setProp(p, v);
}

QWidget* Radio::createView(QWidget* parent) {
  auto* r = new QRadioButton(parent);
  r->setAutoExclusive(false);
  QObject::connect(r, &QRadioButton::clicked, r, [this] {
    if (auto* o = dynamic_cast<Option*>(m_window->control(m_parent))) o->userChoose(m_feq);
  });
  m_view = r;
  return r;
}

void Radio::syncView() {
  if (!m_view) return;
  Control::syncView();
  auto* r = static_cast<QRadioButton*>(m_view);
  r->setText(q(m_text));
  bool on = false;
  if (auto* o = dynamic_cast<Option*>(m_window->control(m_parent))) {
    std::vector<int> all = o->radios();
    on = o->choice() >= 1 && o->choice() <= static_cast<int>(all.size()) && all[o->choice() - 1] == m_feq;
  }
  r->setChecked(on);
}

// ---- drop lists and combos ---------------------------------------------------------------------

ListChoice::ListChoice(std::string name, Kind kind) : Control(kind, std::move(name)) {}

ListChoice& ListChoice::from(std::string_view items) {
  m_items.clear();
  m_values.clear();
  if (!items.empty()) {
    size_t start = 0;
    while (true) {
      size_t p = items.find('|', start);
      std::string part(items.substr(start, p == std::string_view::npos ? std::string_view::npos : p - start));
      if (!part.empty() && part[0] == '#' && !m_items.empty()) {
        m_values.back() = part.substr(1);
      } else {
        m_items.push_back(part);
        m_values.push_back(part);
      }
      if (p == std::string_view::npos) break;
      start = p + 1;
    }
  }
  if (m_selected > static_cast<int>(m_items.size())) m_selected = 0;
  changed();
  return *this;
}

std::string ListChoice::valueOf(int index) const {
  if (index < 1 || index > static_cast<int>(m_values.size())) return {};
  return m_values[index - 1];
}

std::string ListChoice::prop(int p) const {
  switch (p) {
    case Prop::Selected: return std::to_string(m_selected);
    case Prop::From: {
      std::string out;
      for (size_t i = 0; i < m_items.size(); ++i) {
        if (i) out += '|';
        out += m_items[i];
        if (m_values[i] != m_items[i]) out += "|#" + m_values[i];
      }
      return out;
    }
    default: return Control::prop(p);
  }
}

bool ListChoice::setProp(int p, std::string_view v) {
  switch (p) {
    case Prop::Selected: {
      int i = static_cast<int>(detail::toInt(v));
      m_selected = i >= 1 && i <= static_cast<int>(m_items.size()) ? i : 0;
      if (m_selected) m_screen = m_items[m_selected - 1];
      changed();
      return true;
    }
    case Prop::From: from(v); return true;
    case Prop::ScreenText:
      m_screen = v;
      m_touched = true;
      changed();
      return true;
    default: return Control::setProp(p, v);
  }
}

std::string ListChoice::screenText() const {
  if (m_kind == Kind::DropList) return m_selected ? m_items[m_selected - 1] : std::string();
  return m_screen;
}

void ListChoice::display() {
  if (!m_use.isBound()) return;
  std::string v = m_use.text();
  int found = 0;
  for (size_t i = 0; i < m_values.size(); ++i) {
    bool same = m_use.isNumeric() ? m_use.number() == detail::toDouble(m_values[i])
                                  : rt::compareText(v, m_values[i]) == 0;
    if (same) {
      found = static_cast<int>(i + 1);
      break;
    }
  }
  std::string screen = found ? m_items[found - 1] : (isEditable() ? v : std::string());
  m_touched = false;
  if (found != m_selected || screen != m_screen) {
    m_selected = found;
    m_screen = screen;
    changed();
  }
}

bool ListChoice::update() {
  if (!m_use.isBound()) return true;
  if (!isEditable()) {
    if (m_selected) m_use.setText(valueOf(m_selected));
    return true;
  }
  for (size_t i = 0; i < m_items.size(); ++i) {
    if (m_items[i] == m_screen) {
      m_use.setText(m_values[i]);
      return true;
    }
  }
  m_use.setText(m_screen);
  return true;
}

void ListChoice::userChoose(int index) {
  detail::ThreadScope onThread(m_window ? m_window->thread() : kFrameThread);
  if (index < 1 || index > static_cast<int>(m_items.size())) return;
  if (m_readOnly) {
    changed();
    return;
  }
  m_selected = index;
  m_screen = m_items[index - 1];
  update();
  m_touched = false;
  postEvent(EVENT::NewSelection);
  postEvent(EVENT::Accepted);
}

void ListChoice::userEdit(std::string_view text) {
  m_screen = text;
  m_selected = 0;
  m_touched = true;
  if (m_immediate) postEvent(EVENT::NewSelection);
}

void ListChoice::userAccept() {
  detail::ThreadScope onThread(m_window ? m_window->thread() : kFrameThread);
  update();
  m_touched = false;
  postEvent(EVENT::Accepted, Key::Enter);
}

QWidget* ListChoice::createView(QWidget* parent) {
  auto* c = new QComboBox(parent);
  c->setEditable(isEditable());
  QObject::connect(c, &QComboBox::activated, c, [this](int i) { userChoose(i + 1); });
  if (QLineEdit* e = c->lineEdit()) {
    QObject::connect(e, &QLineEdit::textEdited, c, [this](const QString& t) { userEdit(s8(t)); });
    QObject::connect(e, &QLineEdit::editingFinished, c, [this] {
      if (m_touched) userAccept();
    });
  }
  m_view = c;
  return c;
}

void ListChoice::syncView() {
  if (!m_view) return;
  Control::syncView();
  auto* c = static_cast<QComboBox*>(m_view);
  QStringList items;
  for (const std::string& i : m_items) items << q(i);
  QStringList now;
  for (int i = 0; i < c->count(); ++i) now << c->itemText(i);
  if (now != items) {
    c->clear();
    c->addItems(items);
  }
  c->setCurrentIndex(m_selected - 1);
  if (isEditable() && c->lineEdit() && c->lineEdit()->text() != q(m_screen)) c->lineEdit()->setText(q(m_screen));
}

// ---- sheets and tabs ---------------------------------------------------------------------------

std::vector<int> Sheet::tabs() const {
  std::vector<int> out;
  if (!m_window) return out;
  for (int feq : m_window->allControls()) {
    Control* c = m_window->control(feq);
    if (c->kind() == Kind::Tab && c->parentFeq() == m_feq) out.push_back(feq);
  }
  return out;
}

int Sheet::selectedTab() const {
  std::vector<int> t = tabs();
  return m_choice >= 1 && m_choice <= static_cast<int>(t.size()) ? t[m_choice - 1] : 0;
}

std::string Sheet::prop(int p) const {
  if (p == Prop::Selected) return std::to_string(m_choice);
  if (p == Prop::Wizard) return detail::flag(m_wizard);
  return Control::prop(p);
}

bool Sheet::setProp(int p, std::string_view v) {
  if (p == Prop::Selected) {
    int n = static_cast<int>(detail::toInt(v));
    if (n >= 1 && n <= static_cast<int>(tabs().size())) m_choice = n;
    if (m_window && m_window->isOpen()) m_window->controlChanged(*this);
    return true;
  }
  if (p == Prop::Wizard) {
    m_wizard = detail::isTrue(v);
    changed();
    return true;
  }
  return Control::setProp(p, v);
}

void Sheet::userSelectTab(int tabFeq) {
  detail::ThreadScope onThread(m_window ? m_window->thread() : kFrameThread);
  std::vector<int> t = tabs();
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] != tabFeq) continue;
    if (m_choice == static_cast<int>(i + 1)) return;
    m_choice = static_cast<int>(i + 1);
    m_window->controlChanged(*this);
    postEvent(EVENT::NewSelection);
    return;
  }
}

namespace {
// A tab's header in its own colours and font style (tab data: background, text, style; -1 and 0
// for none).
class ColourTabBar : public QTabBar {
 public:
  using QTabBar::QTabBar;

 protected:
  static bool styled(const QVariant& d) { return d.isValid() && d.toList().size() == 3; }
  static QColor colour(int64_t ref) { return QColor(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF); }
  QFont fontOf(int index) const {
    QFont f = font();
    QVariant d = tabData(index);
    if (!styled(d)) return f;
    int64_t style = d.toList().at(2).toLongLong();
    if (style % 4096) f.setWeight(static_cast<QFont::Weight>(std::clamp<int64_t>(style % 4096, 100, 900)));
    if (style & 4096) f.setItalic(true);
    if (style & 8192) f.setUnderline(true);
    return f;
  }
  QSize tabSizeHint(int index) const override {
    QSize s = QTabBar::tabSizeHint(index);
    if (!styled(tabData(index))) return s;
    int plain = QFontMetrics(font()).horizontalAdvance(tabText(index));
    int styledWidth = QFontMetrics(fontOf(index)).horizontalAdvance(tabText(index));
    return QSize(s.width() + std::max(0, styledWidth - plain), s.height());
  }
  void paintEvent(QPaintEvent* e) override {
    bool any = false;
    for (int i = 0; i < count() && !any; ++i) any = styled(tabData(i));
    if (!any) {
      QTabBar::paintEvent(e);
      return;
    }
    QStylePainter p(this);
    for (int i = 0; i < count(); ++i) {
      if (!isTabVisible(i)) continue;
      QStyleOptionTab opt;
      initStyleOption(&opt, i);
      p.drawControl(QStyle::CE_TabBarTabShape, opt);
      QVariant d = tabData(i);
      if (styled(d)) {
        QVariantList l = d.toList();
        if (l.at(0).toLongLong() >= 0) p.fillRect(opt.rect.adjusted(2, 2, -2, 0), colour(l.at(0).toLongLong()));
        if (l.at(1).toLongLong() >= 0) opt.palette.setColor(QPalette::WindowText, colour(l.at(1).toLongLong()));
        p.setFont(fontOf(i));
      } else {
        p.setFont(font());
      }
      p.drawControl(QStyle::CE_TabBarTabLabel, opt);
    }
  }
};

class SheetView : public QTabWidget {
 public:
  explicit SheetView(QWidget* parent) : QTabWidget(parent) { setTabBar(new ColourTabBar(this)); }
};
}  // namespace

QWidget* Sheet::createView(QWidget* parent) {
  auto* t = new SheetView(parent);
  QObject::connect(t, &QTabWidget::currentChanged, t, [this, t](int index) {
    if (m_syncing || index < 0) return;
    QWidget* page = t->widget(index);
    if (page) userSelectTab(page->property("ovFeq").toInt());
  });
  m_view = t;
  return t;
}

void Sheet::syncView() {
  if (!m_view) return;
  Control::syncView();
  auto* t = static_cast<QTabWidget*>(m_view);
  m_syncing = true;
  std::vector<int> tabFeqs = tabs();
  while (t->count() > static_cast<int>(tabFeqs.size())) t->removeTab(t->count() - 1);
  for (size_t i = 0; i < tabFeqs.size(); ++i) {
    Control* tab = m_window->control(tabFeqs[i]);
    if (static_cast<int>(i) >= t->count()) {
      auto* page = new QWidget;
      page->setProperty("ovFeq", tabFeqs[i]);
      t->addTab(page, QString());
    }
    t->setTabText(static_cast<int>(i), q(tab->textProp()));
    t->setTabVisible(static_cast<int>(i), !tab->isHidden());
    t->setTabEnabled(static_cast<int>(i), !tab->isDisabled());
    t->setTabToolTip(static_cast<int>(i), q(tab->prop(Prop::Tip)));
    QVariant style;
    if (detail::isTrue(systemProp(Prop::ColorTabs)))
      style = QVariantList{QVariant::fromValue<qlonglong>(detail::toInt(tab->prop(Prop::Color), -1)),
                           QVariant::fromValue<qlonglong>(detail::toInt(tab->prop(Prop::FontColor), -1)),
                           QVariant::fromValue<qlonglong>(detail::toInt(tab->prop(Prop::FontStyle)))};
    if (t->tabBar()->tabData(static_cast<int>(i)) != style) {
      t->tabBar()->setTabData(static_cast<int>(i), style);
      t->tabBar()->update();
    }
  }
  t->tabBar()->setVisible(!m_wizard);
  if (m_choice >= 1 && m_choice <= t->count()) t->setCurrentIndex(m_choice - 1);
  m_syncing = false;
}

QWidget* Tab::createView(QWidget*) { return nullptr; }

void Tab::syncView() {
  if (auto* sheet = dynamic_cast<Sheet*>(m_window->control(m_parent))) sheet->syncView();
}

// ---- groups, buttons, images, progress, regions ------------------------------------------------

QWidget* Group::createView(QWidget* parent) {
  auto* g = new QGroupBox(parent);
  m_view = g;
  return g;
}

void Group::syncView() {
  if (!m_view) return;
  Control::syncView();
  static_cast<QGroupBox*>(m_view)->setTitle(q(m_text));
}

std::string Button::prop(int p) const {
  if (p == Prop::Default) return detail::flag(m_default);
  return Control::prop(p);
}

bool Button::setProp(int p, std::string_view v) {
  if (p == Prop::Default) {
    m_default = detail::isTrue(v);
    changed();
    return true;
  }
  return Control::setProp(p, v);
}

void Button::userPress(int keycode) {
  detail::ThreadScope onThread(m_window ? m_window->thread() : kFrameThread);
  // The frame's standard toolbar buttons act on the active MDI child.
  if (Toolbar::isStandard(m_feq) && m_window && m_window->windowKind() == WindowKind::Frame &&
      activeMdiThread() != m_window->thread()) {
    detail::Runtime::get().post(
        detail::Posted{EVENT::Accepted, m_feq, keycode, detail::TargetKind::Innermost, 0}, activeMdiThread());
    return;
  }
  postEvent(EVENT::Accepted, keycode);
}

QWidget* Button::createView(QWidget* parent) {
  auto* b = new QPushButton(parent);
  QObject::connect(b, &QPushButton::clicked, b, [this] { userPress(Key::MouseLeft); });
  m_view = b;
  return b;
}

void Button::syncView() {
  if (!m_view) return;
  Control::syncView();
  auto* b = static_cast<QPushButton*>(m_view);
  b->setText(q(m_text));
  b->setIcon(detail::loadIcon(m_icon));
  b->setDefault(m_default);
}

namespace {

// A picture control. A picture file is stretched over the control; one of the programs' own
// pictures (drawn scalable) is drawn afresh at the control's size, keeping its proportions.
class PictureView : public QLabel {
 public:
  explicit PictureView(QWidget* parent) : QLabel(parent) {
    setScaledContents(true);
    setAlignment(Qt::AlignCenter);
  }
  void showFile(const QString& path) {
    m_drawing = QIcon();
    setScaledContents(true);
    setPixmap(path.isEmpty() ? QPixmap() : QPixmap(path));
  }
  void showDrawing(QIcon drawing) {
    m_drawing = std::move(drawing);
    setScaledContents(false);
    redraw();
  }

 protected:
  void resizeEvent(QResizeEvent* e) override {
    QLabel::resizeEvent(e);
    if (!m_drawing.isNull()) redraw();
  }

 private:
  void redraw() {
    const QSize room = contentsRect().size();
    setPixmap(room.isEmpty() ? QPixmap() : m_drawing.pixmap(room, devicePixelRatioF()));
  }

  QIcon m_drawing;
};

}  // namespace

QWidget* Image::createView(QWidget* parent) {
  auto* l = new PictureView(parent);
  m_view = l;
  return l;
}

void Image::syncView() {
  if (!m_view) return;
  Control::syncView();
  auto* l = static_cast<PictureView*>(m_view);
  // A file of that name wins; else the programs' own picture or icon of that name ("~wrka.ico"),
  // drawn at the control's size, or on a toolbar at the toolbar's icon size with a little room on
  // either side.
  if (const std::string path = detail::findImageFile(m_text); !path.empty()) {
    l->showFile(q(path));
    return;
  }
  QIcon drawing = programPicture(m_text);
  if (drawing.isNull()) drawing = programIcon(m_text);
  if (auto* toolbar = qobject_cast<QToolBar*>(l->parentWidget())) {
    const QSize size = toolbar->iconSize();
    l->setContentsMargins(4, 0, 4, 0);
    l->setFixedSize(size.width() + 8, size.height());
  }
  if (drawing.isNull())
    l->showFile(QString());
  else
    l->showDrawing(std::move(drawing));
}

std::string ProgressBar::prop(int p) const {
  switch (p) {
    case Prop::Progress: return std::to_string(m_value);
    case Prop::RangeLow: return std::to_string(m_low);
    case Prop::RangeHigh: return std::to_string(m_high);
    default: return Control::prop(p);
  }
}

bool ProgressBar::setProp(int p, std::string_view v) {
  switch (p) {
    case Prop::Progress: m_value = static_cast<int>(detail::toInt(v)); break;
    case Prop::RangeLow: m_low = static_cast<int>(detail::toInt(v)); break;
    case Prop::RangeHigh: m_high = static_cast<int>(detail::toInt(v)); break;
    default: return Control::setProp(p, v);
  }
  changed();
  return true;
}

void ProgressBar::display() {
  if (!m_use.isBound()) return;
  int v = static_cast<int>(m_use.number());
  if (v != m_value) {
    m_value = v;
    changed();
  }
}

QWidget* ProgressBar::createView(QWidget* parent) {
  auto* p = new QProgressBar(parent);
  m_view = p;
  return p;
}

void ProgressBar::syncView() {
  if (!m_view) return;
  Control::syncView();
  auto* p = static_cast<QProgressBar*>(m_view);
  p->setRange(m_low, m_high > m_low ? m_high : m_low + 1);
  p->setValue(std::min(std::max(m_value, m_low), m_high));
}

namespace {
class RegionView : public QWidget {
 public:
  RegionView(QWidget* parent, Region* r) : QWidget(parent), m_region(r) {}

 protected:
  void mousePressEvent(QMouseEvent* e) override {
    int code = e->button() == Qt::RightButton ? Key::MouseRight
               : e->button() == Qt::MiddleButton ? Key::MouseCenter
                                                 : Key::MouseLeft;
    m_region->userClick(code);
  }

 private:
  Region* m_region;
};
}  // namespace

QWidget* Region::createView(QWidget* parent) {
  m_view = new RegionView(parent, this);
  return m_view;
}

void Region::userClick(int keycode) { postEvent(EVENT::Accepted, keycode); }

// ---- menus and toolbar -------------------------------------------------------------------------

std::string MenuControl::prop(int p) const {
  if (p == Prop::Checked) return detail::flag(m_checked);
  return Control::prop(p);
}

bool MenuControl::setProp(int p, std::string_view v) {
  if (p == Prop::Checked) {
    m_checked = detail::isTrue(v);
    m_checkable = true;
    changed();
    return true;
  }
  return Control::setProp(p, v);
}

QWidget* MenuControl::createView(QWidget*) { return nullptr; }

void MenuControl::syncView() { detail::syncMenuControl(*this); }

void MenuControl::userChoose() {
  detail::ThreadScope onThread(m_window ? m_window->thread() : kFrameThread);
  if (m_checkable) m_checked = !m_checked;
  postEvent(EVENT::Accepted, Key::MouseLeft);
}

}  // namespace ov::ui
