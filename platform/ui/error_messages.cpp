#include "platform/ui/error_messages.h"

#include "platform/ui/host.h"

namespace ov::ui {

db::ErrorClass::Sink messageBoxSink() {
  return [](const db::ErrorReport& r) {
    MessageRequest m;
    m.text = r.text;  // as it stands: a "|" in a file name is no line break
    m.title = r.title;
    m.icon = r.level == db::Level::Fatal ? Icon::Hand : Icon::Exclamation;
    if (r.level == db::Level::User) {  // a question: Yes goes on, No cancels
      m.icon = Icon::Question;
      m.buttons = BUTTON::Yes | BUTTON::No;
      m.defaultButton = BUTTON::Yes;
      return host().message(m) == BUTTON::Yes ? db::Level::User : db::Level::Cancel;
    }
    (void)host().message(m);
    return r.level;
  };
}

}  // namespace ov::ui
