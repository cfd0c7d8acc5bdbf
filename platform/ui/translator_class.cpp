#include "platform/ui/translator_class.h"

#include "platform/ui/window.h"

namespace ov::ui {

std::string TranslatorClass::TranslateString(std::string_view text) {
  if (text.empty()) return {};
  auto it = m_table.find(std::string(text));
  if (it != m_table.end()) return it->second;
  m_missing.insert(std::string(text));
  return std::string(text);
}

void TranslatorClass::TranslateWindow(Window& w) {
  w.setTitle(TranslateString(w.title()));
  for (int feq : w.allControls()) {
    Control* c = w.control(feq);
    switch (c->kind()) {
      case Kind::Entry:
      case Kind::Spin:
      case Kind::Text:
      case Kind::List:
      case Kind::Combo:
      case Kind::DropList:
      case Kind::DropCombo:
      case Kind::Image:
      case Kind::SString: break;  // their text is a picture, a file or the user's data
      default:
        if (!c->textProp().empty() && c->textProp() != "-") c->setProp(Prop::Text, TranslateString(c->textProp()));
    }
    std::string tip = c->prop(Prop::Tip);
    if (!tip.empty()) c->setProp(Prop::Tip, TranslateString(tip));
  }
}

}  // namespace ov::ui
