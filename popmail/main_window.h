// Main: the receiver's window "E-Mail (POP)" - a status text, a progress bar and Cancel - that
// runs one fetch of a PopReceiver and closes when the run ends.
#pragma once

#include <string>

#include "platform/ui/window_manager.h"
#include "popmail/pop_receiver.h"

namespace ov::pop {

// Exit codes of the program.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;      // an error was logged under "Error" in .\OV_POP.LOG
constexpr int kExitNoOptions = 2;   // the server or the user was not given
constexpr int kExitCancelled = 3;   // the user pressed Cancel before the run ended

class Main : public ui::WindowManager {
 public:
  // `missing` names the required options that were not given ("" when all were).
  Main(PopOptions options, std::string missing);

  ui::Level Init() override;
  ui::Level Kill() override;
  ui::Level TakeEvent() override;
  ui::Level TakeWindowEvent() override;
  ui::Level TakeAccepted() override;

  int exitCode() const;
  PopReceiver& receiver() { return m_receiver; }
  // Hands the library's events for the connection to the receiver (the program's event route).
  void takeNetworkEvent(int event) { m_receiver.TakeEvent(event); }

 private:
  void StartFetch();
  void showStatus();

  PopReceiver m_receiver;
  std::string m_missing;
  int m_status = 0;
  int m_progress = 0;
  int m_cancel = 0;
  bool m_cancelled = false;
  std::string m_statusText;  // shown at the next timer event: one repaint however many changes
  bool m_statusChanged = false;
};

}  // namespace ov::pop
