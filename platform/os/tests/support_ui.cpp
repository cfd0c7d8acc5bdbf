#include "platform/os/tests/support_ui.h"

#include "platform/os/tests/support.h"

#include <algorithm>

namespace ov::os::test {
namespace {

class Plain : public ui::WindowManager {
 public:
  Plain() : WindowManager("OsHooked") {}
  ui::Level Init() override {
    window().setTitle("Hooked by the os layer");
    Open();
    return ui::Level::Benign;
  }
};

}  // namespace

HookedWindow::HookedWindow() {
  ensureApp();
  ui::START([this] {
    auto p = std::make_unique<Plain>();
    m_proc = p.get();
    return p;
  });
  ui::processEvents();
  if (!m_proc || !m_proc->window().isOpen()) {
    m_proc = nullptr;
    return;
  }
  ui::Window& w = m_proc->window();
  auto former = static_cast<ui::ProcNumber>(w.propInt(0, ui::Prop::WndProc));
  m_hook = ui::registerWindowProc([this, former](ui::Handle h, uint32_t msg, ui::WPARAM wp, ui::LPARAM lp) {
    m_seen.push_back({msg, wp, lp});
    if (std::find(answered.begin(), answered.end(), msg) != answered.end()) return answer;
    return ui::CallWindowProc(former, h, msg, wp, lp);
  });
  w.setProp(0, ui::Prop::WndProc, m_hook);
}

HookedWindow::~HookedWindow() {
  ui::closeAllWindows();
  ui::processEvents();
  if (m_hook) ui::unregisterWindowProc(m_hook);
}

ui::Handle HookedWindow::handle() const { return m_proc ? m_proc->window().handle() : 0; }

std::vector<HookedWindow::Seen> HookedWindow::of(uint32_t msg) const {
  std::vector<Seen> out;
  for (const Seen& s : m_seen)
    if (s.msg == msg) out.push_back(s);
  return out;
}

}  // namespace ov::os::test
