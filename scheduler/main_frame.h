// Main: the application frame. It owns the menus, toolbar, status bar and tray icon, turns the
// window timer into the scheduler tick, hosts the reminder display and the refresh broadcasts,
// and ends with the clean-exit mark in MUTEX.TMP.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/event.h"
#include "platform/ui/window_manager.h"

namespace ov::scheduler {

struct EVENT : ui::EVENT {
  static constexpr int TrayLeftClick = 1089;
  static constexpr int TrayRightClick = 1090;
  static constexpr int TrayLeftDoubleClick = 1091;
  static constexpr int TrayRightDoubleClick = 1092;
  static constexpr int TrayRecreated = 1093;
  static constexpr int StopScripts = 1103;
  static constexpr int HotKey = 1810;
  static constexpr int QueryEndSession = 2065;
  static constexpr int EndSession = 2070;
  static constexpr int PowerStatusChange = 2578;
  static constexpr int LowBattery = 2579;
  static constexpr int Standby = 2580;
  static constexpr int Suspend = 2581;
  static constexpr int QueryStandby = 2582;
  static constexpr int QuerySuspend = 2583;
  static constexpr int PowerOther = 2584;
  static constexpr int DeviceChange = 2585;
  static constexpr int HotKeysChanged = 3145;
  static constexpr int HideForCapture = 3217;
  static constexpr int ShowAfterCapture = 3218;
  static constexpr int TriggersChanged = 3352;
  static constexpr int RefreshAll = 3394;
  static constexpr int ToolbarChanged = 3395;
  static constexpr int TaskFormCancelled = 3396;
  static constexpr int DayChanged = 3397;
  static constexpr int TimerStep = 3398;
};

// Threads that take the refresh and day-change broadcasts (the schedule views register here).
std::vector<int>& RegisteredThreads();
// Posts `event` to every registered thread but the current one.
void BroadcastRefresh();
void BroadcastDayChange();

// How the frame meets the system; tests leave the system's watches out and send the messages.
struct FrameOptions {
  bool watchSystem = true;  // the session, power and device watches
};

class Main : public ui::WindowManager {
 public:
  explicit Main(FrameOptions options = {});
  ~Main() override;

  ui::Level Init() override;
  ui::Level Kill() override;
  ui::Level TakeEvent() override;
  ui::Level TakeAccepted() override;

  // A second start of the program asked this one to come to the front.
  void raiseFromOutside();
  void restore();
  void raise();
  bool isHidden() const;
  bool exitConfirmed() const { return m_exitConfirmed; }
  // The tray icon's popup (its right click).
  void trayPopup();

 private:
  struct Impl;
  void startupWork();
  void exitCommand();
  void showToolbar();
  // Carries out a menu, toolbar or tray-popup command; false when `feq` is none.
  bool command(int feq);
  void closeOtherThreads();
  void takeSystemEvent(int event);
  std::unique_ptr<Impl> m;
  bool m_exitConfirmed = false;
  bool m_shutdownPending = false;
  double m_shutdownMoment = 0;
};

}  // namespace ov::scheduler
