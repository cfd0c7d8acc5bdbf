#include "dialogs/lock_prompt.h"

#include <string>

#include "datalib/startup.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "platform/ui/window_manager.h"
#include "platform/ui/window_position.h"
#include "scheduler/program_body.h"
#include "scheduler/tick.h"

namespace ov::dialogs {

namespace {

class PasswordPrompt : public ui::WindowManager {
 public:
  PasswordPrompt() : ui::WindowManager("fPasswordValidation") {}

  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle("Password Required");
    w.at(-1, -1, 170, 70);
    w.prompt("?Prompt:Password", "Enter the system password:").at(8, 8, 150, 10);
    w.entry("?Password", "@s128").password().at(8, 20, 154, 12).use(m_password);
    w.check("?Unlock", "Unlock system for session").at(8, 36, 150, 10).tip("Unlock system for session").use(m_unlock);
    OkControl = w.button("?OK", "&OK").setDefault().at(62, 52, 48, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(114, 52, 48, 14).feq();
    Open();
    m_position.Init(*this, files::globalIni());
    return ui::Level::Benign;
  }

  ui::Level TakeCompleted() override {
    if (systemPasswordMatches(m_password.view(), scheduler::startupSettings().systemPassword)) {
      m_accepted = true;
      scheduler::tickState().unlocked = m_unlock != 0;
    } else {
      (void)ui::MESSAGE("The password you have entered is incorrect.", "Access Denied", ui::Icon::Hand);
    }
    SetResponse(m_accepted ? ui::RequestCompleted : ui::RequestCancelled);
    return ui::Level::Notify;
  }

  bool accepted() const { return m_accepted; }

 private:
  rt::String<128> m_password;
  uint8_t m_unlock = 0;
  bool m_accepted = false;
  ui::WindowPositionKeeper m_position;
};

}  // namespace

bool systemPasswordMatches(std::string_view entry, std::string_view stored) {
  return rt::UPPER(rt::CLIP(entry)) == rt::UPPER(rt::CLIP(stored.substr(0, 32)));
}

bool fPasswordValidation() {
  if (!scheduler::startupSettings().systemLock || scheduler::tickState().unlocked) return true;
  PasswordPrompt prompt;
  (void)prompt.Run();
  return prompt.accepted();
}

}  // namespace ov::dialogs
