// Windows message numbers, and the form in which this layer hands a message to a window.
//
// The services here (hot keys, tray icon, end of session, power) report what happened as the Windows
// message the classes above them expect, so that their window procedures port one to one.
#pragma once

#include <cstdint>
#include <functional>

namespace ov::os {

struct WinMessage {
  unsigned msg = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

// Receives a message on the GUI thread and returns the window procedure's answer.
using MessageSink = std::function<std::intptr_t(const WinMessage&)>;

namespace wm {
constexpr unsigned kQueryEndSession = 17;
constexpr unsigned kEndSession = 22;
constexpr unsigned kPowerBroadcast = 536;
constexpr unsigned kDeviceChange = 537;
constexpr unsigned kHotKey = 786;
constexpr unsigned kLButtonUp = 0x202;
constexpr unsigned kLButtonDblClk = 0x203;
constexpr unsigned kRButtonUp = 0x205;
constexpr unsigned kRButtonDblClk = 0x206;
constexpr unsigned kMButtonUp = 0x208;
constexpr unsigned kUser = 0x400;
constexpr unsigned kTrayCallback = kUser + 64;  // 1088: the tray icon's callback message
}  // namespace wm

// wParam of wm::kPowerBroadcast.
namespace pbt {
constexpr unsigned kQuerySuspend = 0;
constexpr unsigned kQueryStandby = 1;
constexpr unsigned kSuspend = 4;
constexpr unsigned kStandby = 5;
constexpr unsigned kResumeSuspend = 7;
constexpr unsigned kBatteryLow = 9;
constexpr unsigned kPowerStatusChange = 10;
}  // namespace pbt

// Hot-key modifier flags (the high byte of a key code shifted down by 8).
namespace hotmod {
constexpr unsigned kAlt = 1;
constexpr unsigned kControl = 2;
constexpr unsigned kShift = 4;
constexpr unsigned kWin = 8;
}  // namespace hotmod

// Windows error codes that this layer returns.
namespace winerr {
constexpr int kSuccess = 0;
constexpr int kInvalidFunction = 1;
constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kAccessDenied = 5;
constexpr int kNotEnoughMemory = 8;
constexpr int kSharingViolation = 32;
constexpr int kInvalidParameter = 87;
constexpr int kDiskFull = 112;
constexpr int kAlreadyExists = 183;
constexpr int kNoMoreItems = 259;
constexpr int kDirectory = 267;        // ERROR_DIRECTORY: the name is not a folder
constexpr int kBadDatabase = 1009;     // ERROR_BADDB: the registry file cannot be read
constexpr int kCancelled = 1223;
constexpr int kHotKeyAlreadyRegistered = 1409;
constexpr int kHotKeyNotRegistered = 1419;
}  // namespace winerr

// Maps an errno value to the closest Windows error code.
int winErrorFromErrno(int err);

}  // namespace ov::os
