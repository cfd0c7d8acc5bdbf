#include "scheduler/message_hook.h"

#include <cstdio>
#include <utility>

namespace ov::scheduler {
namespace {
MessageHook& hook() {
  static MessageHook h;
  return h;
}
}  // namespace

Answer showMessage(const MessageBox& box) {
  if (hook()) return hook()(box);
  std::fprintf(stderr, "[%s] %s\n", box.title.c_str(), box.text.c_str());
  return box.defaultAnswer;
}

MessageHook setMessageHook(MessageHook h) { return std::exchange(hook(), std::move(h)); }

namespace {
PopupHook& popupHook() {
  static PopupHook h;
  return h;
}
}  // namespace

int showPopup(std::string_view items) { return popupHook() ? popupHook()(items) : 0; }

PopupHook setPopupHook(PopupHook h) { return std::exchange(popupHook(), std::move(h)); }

}  // namespace ov::scheduler
