#include "winclasses/entry_completion_class.h"

#include <QString>

#include "platform/rt/record.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/runtime.h"

namespace ov::winclasses {

namespace {

constexpr size_t kTypedMax = 255;

ui::Window* win() { return ui::currentWindow(); }

// The first `chars` characters of a UTF-8 text.
std::string leftChars(std::string_view text, int chars) {
  if (chars <= 0) return {};
  QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  return s.left(chars).toUtf8().toStdString();
}

int charCount(std::string_view text) {
  return static_cast<int>(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).size());
}

// Without its last character.
std::string dropLastChar(const std::string& text) { return leftChars(text, charCount(text) - 1); }

bool begins(std::string_view value, std::string_view typed) {
  std::string t(rt::clipView(typed));
  if (value.size() < t.size()) return false;
  return rt::UPPER(std::string(value.substr(0, t.size()))) == rt::UPPER(t);
}

bool matches(std::string_view value, std::string_view typed) {
  return begins(value, typed) || rt::wildcardMatch(rt::clipView(value), rt::clipView(typed));
}

}  // namespace

void EntryCompletionClass::Init(ui::Binding use, int32_t entry, ui::Binding fromField, bool mustValidate,
                                db::FileManager& fm, db::Key key) {
  MODE = 1;
  USEFIELD = use;
  ENTRYFIELD = entry;
  FROMFIELD = fromField;
  MUSTVALIDATE = mustValidate;
  FILEMGR = &fm;
  FILEKEY = key;
  ECON = 0;
  ui::Window* w = win();
  WINDOWAUTODISPLAY = w && w->propInt(0, ui::Prop::Auto) ? 1 : 0;
}

void EntryCompletionClass::Init(ui::Binding use, int32_t entry, ui::ListQueue& q, bool mustValidate) {
  MODE = 0;
  USEFIELD = use;
  ENTRYFIELD = entry;
  Q = &q;
  MUSTVALIDATE = mustValidate;
  ECON = 0;
  ui::Window* w = win();
  WINDOWAUTODISPLAY = w && w->propInt(0, ui::Prop::Auto) ? 1 : 0;
}

void EntryCompletionClass::TakeEvent() {
  ui::Window* w = win();
  if (!w) return;
  switch (ui::EVENT()) {
    case ui::EVENT::OpenWindow:
      w->setProp(ENTRYFIELD, ui::Prop::Immediate, 1);
      w->setProp(ENTRYFIELD, ui::Prop::Auto, 0);
      break;
    case ui::EVENT::Selected:
      if (ui::FIELD() == ENTRYFIELD) {
        w->setProp(0, ui::Prop::Auto, 0);
        ECON = 1;
      } else if (ECON) {
        if (WINDOWAUTODISPLAY) w->setProp(0, ui::Prop::Auto, 1);
        ECON = 0;
      }
      TakeNewSelection();
      break;
    case ui::EVENT::NewSelection: TakeNewSelection(); break;
    case ui::EVENT::Accepted:
      if (ui::FIELD() == ENTRYFIELD) TakeAccepted();
      break;
    default: break;
  }
}

void EntryCompletionClass::TakeNewSelection() { TakeNewSelection(ui::FIELD()); }

void EntryCompletionClass::TakeNewSelection(int control) {
  if (control != ENTRYFIELD) {
    ECON = 0;
    return;
  }
  if (!KeyValid()) return;
  if (!ECON) {
    ECON = 1;
    return;
  }
  ui::Window* w = win();
  if (!w) return;
  std::string typed;
  if (ui::KEYCODE() == ui::Key::Backspace) {
    typed = m_lastTyped.empty() ? m_lastTyped : dropLastChar(m_lastTyped);
  } else {
    typed = leftChars(w->prop(ENTRYFIELD, ui::Prop::ScreenText), static_cast<int>(w->propInt(ENTRYFIELD, ui::Prop::SelStart)) - 1);
  }
  if (typed == m_lastTyped) return;
  if (!typed.empty()) {
    if (GetQueueMatch(typed)) {
      USEFIELD.setText(m_matched);
      std::string value(rt::clipView(m_matched));
      int length = charCount(value);
      if (w->propInt(ENTRYFIELD, ui::Prop::SelStart) - 1 < length) {
        w->setProp(ENTRYFIELD, ui::Prop::ScreenText, value);
        int start = charCount(typed) + 1;
        if (w->propInt(ENTRYFIELD, ui::Prop::SelStart) < start) w->setProp(ENTRYFIELD, ui::Prop::SelStart, start);
        if (w->propInt(ENTRYFIELD, ui::Prop::SelEnd) < length) w->setProp(ENTRYFIELD, ui::Prop::SelEnd, length);
      }
    } else {
      ECON = 0;
    }
  }
  while (typed.size() > kTypedMax) typed = dropLastChar(typed);
  m_lastTyped = typed;
}

bool EntryCompletionClass::KeyValid() {
  int code = ui::KEYCODE();
  if (ui::KEYCHAR() == 0) return false;
  if (ui::KEYSTATE() & (ui::Key::Ctrl | ui::Key::Alt)) return false;
  switch (code) {
    case ui::Key::Left:
    case ui::Key::Right:
    case ui::Key::Left | ui::Key::Shift:
    case ui::Key::Right | ui::Key::Shift: return false;
    default: return true;
  }
}

std::string EntryCompletionClass::queueText(int position) const {
  const rt::RecordDesc& rec = Q->record();
  const void* entry = Q->entry(position);
  std::string text;
  for (const rt::FieldDesc& f : rec.fields) text += rt::fieldText(entry, f);
  return text;
}

int32_t EntryCompletionClass::GetQueueMatch(std::string_view text) {
  m_matched.clear();
  if (MODE == 1) {
    if (!FILEMGR || !FILEKEY.isValid()) return 0;
    db::File& file = FILEMGR->file();
    void* buffer = file.buffer();
    for (const db::KeyPart& part : FILEKEY.decl().parts)
      if (const rt::FieldDesc* f = file.record().find(part.field)) rt::setFieldText(buffer, *f, "");
    FILEMGR->PrimeFields();
    FROMFIELD.setText(text);
    if (file.setFrom(FILEKEY) != rt::Err::None) return 0;
    if (FILEMGR->TryNext() != rt::Err::None) return 0;
    std::string value = FROMFIELD.text();
    if (!matches(value, text)) return 0;
    m_matched = value;
    return 1;
  }
  if (!Q) return 0;
  for (int i = 1; i <= Q->records(); ++i) {
    std::string value = queueText(i);
    if (matches(value, text)) {
      (void)Q->get(i);
      m_matched = value;
      return i;
    }
  }
  return 0;
}

void EntryCompletionClass::TakeAccepted() {
  ui::Window* w = win();
  if (!w || ui::FIELD() != ENTRYFIELD) return;
  if (w->propInt(0, ui::Prop::AcceptAll) || !MUSTVALIDATE) return;
  std::string screen = w->prop(ENTRYFIELD, ui::Prop::ScreenText);
  USEFIELD.setText(screen);
  if (!GetQueueMatch(screen)) {
    w->select(ENTRYFIELD);
    USEFIELD.setText("");
    w->display(ENTRYFIELD);
  }
}

}  // namespace ov::winclasses
