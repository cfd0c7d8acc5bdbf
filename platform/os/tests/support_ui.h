// A window of the window layer for tests that deliver messages to its hooks.
#pragma once

#include "platform/ui/runtime.h"
#include "platform/ui/window_manager.h"
#include "platform/ui/window_proc.h"

#include <vector>

namespace ov::os::test {

// Opens a plain window on a logical thread of its own and hooks its procedure; the hook records
// each message and answers `answer` for the messages in `answered`, passing the rest on.
class HookedWindow {
 public:
  struct Seen {
    uint32_t msg;
    ui::WPARAM wParam;
    ui::LPARAM lParam;
  };

  HookedWindow();
  ~HookedWindow();
  bool open() const { return m_proc != nullptr; }
  ui::Handle handle() const;
  // The messages seen with number `msg`, in order.
  std::vector<Seen> of(uint32_t msg) const;

  std::vector<uint32_t> answered;
  ui::LRESULT answer = 0;

 private:
  ui::WindowManager* m_proc = nullptr;
  ui::ProcNumber m_hook = 0;
  std::vector<Seen> m_seen;
};

}  // namespace ov::os::test
