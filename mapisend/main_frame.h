// Main: the mail sender's application frame. It opens minimised, sends the message of the command
// line while it opens (send_message.h) and closes itself; its status bar shows the date and time.
#pragma once

#include <string>

#include "platform/ui/window_manager.h"

namespace ov::mapisend {

inline constexpr std::string_view kProductName = "ZO RUVO Zeri";
inline constexpr std::string_view kVersionNumber = "3.42";

class Main : public ui::WindowManager {
 public:
  Main();

  void Ask() override;
  ui::Level Init() override;
  ui::Level Kill() override;
  ui::Level TakeWindowEvent() override;

 private:
  void run();
  void showClock();

  std::string m_folder;  // the folder the run works in
  bool m_filesOpen = false;
};

// The program: the data library's start, the frame's run and its end; returns the exit code.
int runProgram();

}  // namespace ov::mapisend
