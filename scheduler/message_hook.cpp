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

}  // namespace ov::scheduler
