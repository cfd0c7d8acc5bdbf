#include "editors/style_window_controls.h"

#include "platform/rt/text.h"
#include "platform/ui/control.h"
#include "platform/ui/prop.h"
#include "platform/ui/window.h"
#include "platform/ui/window_manager.h"

namespace ov::editors {

namespace {

constexpr size_t kTextWidth = 255;

void removeAccelerator(ui::Window& w, int feq) {
  const std::string text = w.prop(feq, ui::Prop::Text).substr(0, kTextWidth);
  if (text.find('&') != std::string::npos) w.setProp(feq, ui::Prop::Text, stripAccelerator(text));
}

// The chosen value stays readable and cannot be changed.
void freeze(ui::Window& w, int feq) {
  w.setProp(feq, ui::Prop::Skip, 1);
  w.setProp(feq, ui::Prop::ReadOnly, 1);
}

}  // namespace

std::string stripAccelerator(std::string_view text) {
  const size_t amp = text.find('&');
  if (amp == std::string_view::npos) return std::string(text);
  return std::string(text.substr(0, amp)) + rt::CLIP(text.substr(amp + 1));
}

void StyleWindowControls(ui::Window& w, int cancelFeq, int okFeq, bool deleting) {
  // Field order from the first control, as the runtime walks it.
  for (int feq : w.fields()) {
    switch (static_cast<ui::Kind>(w.propInt(feq, ui::Prop::Type))) {
      case ui::Kind::Entry:
      case ui::Kind::Check:
      case ui::Kind::Combo:
      case ui::Kind::Spin:
      case ui::Kind::Text:
      case ui::Kind::DropList:
      case ui::Kind::DropCombo:
        w.setProp(feq, ui::Prop::Disable, 1);
        break;
      case ui::Kind::Prompt:
        removeAccelerator(w, feq);
        break;
      case ui::Kind::Option:
        freeze(w, feq);
        removeAccelerator(w, feq);
        break;
      case ui::Kind::Radio: {
        const int option = static_cast<int>(w.propInt(feq, ui::Prop::Parent));
        const auto* group = w.as<ui::Option>(option);
        const int chosen = group ? group->choice() : 0;
        const std::vector<int> radios = group ? group->radios() : std::vector<int>{};
        const bool isChosen = chosen >= 1 && chosen <= static_cast<int>(radios.size()) && radios[chosen - 1] == feq;
        if (isChosen)
          freeze(w, feq);
        else
          w.setProp(feq, ui::Prop::Disable, 1);
        removeAccelerator(w, feq);
        break;
      }
      case ui::Kind::Button:
        if (w.prop(feq, ui::Prop::Text) == "...") w.setProp(feq, ui::Prop::Disable, 1);
        break;
      default:
        break;
    }
  }
  if (cancelFeq) {
    w.setProp(cancelFeq, ui::Prop::Disable, 0);
    w.setProp(cancelFeq, ui::Prop::Text, "Cl&ose");
    w.setProp(cancelFeq, ui::Prop::Icon, "~close.ico");
  }
  if (deleting && okFeq) w.setProp(okFeq, ui::Prop::Disable, 0);
}

void StyleWindowControls(ui::WindowManager& form, bool deleting) {
  StyleWindowControls(form.window(), form.CancelControl, form.OkControl, deleting);
}

}  // namespace ov::editors
