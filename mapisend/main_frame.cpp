#include "mapisend/main_frame.h"

#include "datalib/config.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/startup.h"
#include "mapisend/send_message.h"
#include "mapisend/tessel_log.h"
#include "platform/files/error_class.h"
#include "platform/rt/command_line.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/rt/picture.h"
#include "platform/rt/process.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/prop.h"
#include "platform/ui/window_position.h"

namespace ov::mapisend {

Main::Main() : WindowManager("Main") {}

void Main::Ask() {
  const int64_t timer = window().propInt(0, ui::Prop::Timer);
  if (timer < 1 || timer > 100) window().setProp(0, ui::Prop::Timer, 100);
  WindowManager::Ask();
}

ui::Level Main::Init() {
  m_folder = rt::SHORTPATH(rt::PATH());
  if (!rt::EXISTS(files::kDataFileName)) {
    // Started from elsewhere: the data lies beside the program.
    (void)rt::SETPATH(rt::programFolder());  // a folder that can't be made current leaves it
    m_folder = rt::SHORTPATH(rt::PATH());
    logKey("Path", m_folder);
  }
  ExitCode = kExitOk;
  (void)files::Access_CONFIGURATION.Open();  // failures go through the error manager
  (void)files::Access_CONTACT.Open();
  m_filesOpen = true;

  ui::Window& w = window();
  w.kind(ui::WindowKind::Frame).at(-1, -1, 260, 60).timer(100).iconized();
  w.statusZones({60, -1, 110, 50});
  Open();
  return ui::Level::Benign;
}

ui::Level Main::Kill() {
  if (m_filesOpen) {
    (void)files::Access_CONFIGURATION.Close();
    (void)files::Access_CONTACT.Close();
    m_filesOpen = false;
  }
  closeEventLog();
  return WindowManager::Kill();
}

ui::Level Main::TakeWindowEvent() {
  switch (ui::EVENT()) {
    case ui::EVENT::OpenWindow:
      run();
      break;
    case ui::EVENT::Timer:
      showClock();
      break;
    case ui::EVENT::Moved:
    case ui::EVENT::Sized:
      ui::FixNegativePosition(window());
      break;
    default:
      break;
  }
  return WindowManager::TakeWindowEvent();
}

void Main::showClock() {
  static constexpr std::string_view kDays = "Sunday   Monday   Tuesday  WednesdayThursday Friday   Saturday ";
  const int32_t today = rt::TODAY();
  const std::string day = rt::CLIP(kDays.substr(size_t(today % 7) * 9, 9));
  window().setStatusText(3, day + ", " + rt::FORMAT(double(today), "D3"));
  window().setStatusText(4, rt::FORMAT(double(rt::CLOCK()), "T3"));
}

void Main::run() {
  logKey("Path", rt::SHORTPATH(rt::PATH()));
  logKey("LastUsed", rt::FORMAT(double(rt::TODAY()), "@d17"));
  (void)rt::SETPATH(m_folder);  // the folder it was; a folder gone meanwhile leaves the current one

  files::PRODUCTNAME = kProductName;
  files::VERSIONNUMBER = kVersionNumber;
  window().setTitle(std::string(files::PRODUCTNAME.clipped()) + " " + std::string(files::VERSIONNUMBER.clipped()));
  (void)files::Access_CONFIGURATION.TryOpen();  // not fatal: the settings fall back to their defaults

  files::INI.FILENAME = "ov98.INI";
  files::STANDARDCONFIGURATION();
  files::APP.USERID = files::GETCONFIG("UserID", {}, files::INI.FILENAME.clipped());
  files::APP.USERNAME = "";
  window().setProp(0, ui::Prop::Iconize, 1);

  const int32_t message = int32_t(rt::textToNumber(rt::COMMAND("1")));
  SendStoredMessage(message, chooseWay());

  (void)files::Access_CONFIGURATION.Close();
  window().post(ui::EVENT::CloseWindow);
}

int runProgram() {
  db::ErrorClass errors;
  rt::INIClass positions;
  positions.Init(".\\POSITION.INI");
  files::OV_FILES_INIT(&errors, &positions);
  files::APP.PATH = rt::SHORTPATH(rt::PATH());
  {
    Main frame;
    frame.Run();
  }
  files::OV_FILES_KILL();
  files::OV_FILES_UNLOAD();  // the tables close now, while `errors` (their error state) still lives
  return ExitCode;
}

}  // namespace ov::mapisend
