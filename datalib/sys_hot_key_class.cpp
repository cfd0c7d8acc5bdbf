#include "datalib/sys_hot_key_class.h"

#include <algorithm>

#include "platform/os/hot_keys.h"
#include "platform/os/win_msg.h"
#include "platform/os/window_sink.h"
#include "platform/rt/fixed_string.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window.h"
#include "platform/ui/window_proc.h"

namespace ov::files {
SysHotKeyClass::SysHotKeyClass() = default;

SysHotKeyClass::~SysHotKeyClass() {
  if (m_procNumber) Kill();
}

void SysHotKeyClass::AddTrn(std::string_view keyBlock) { appendKeyBlock(TRNQ, keyBlock); }

int32_t SysHotKeyClass::TrnKeyName(std::string_view text) const { return translateKeyName(TRNQ, text); }

std::string SysHotKeyClass::TrnVirtKey(uint32_t code) const { return translateVirtKey(TRNQ, code); }

void SysHotKeyClass::Init() {
  KEYQ.clear();
  PRESSEDKEYQ.clear();
  FAILEDKEYQ.clear();
  TRNQ.clear();
  AddTrn(hotKeyBlock());
  ui::Window* w = ui::currentWindow();
  if (w) {
    HWND = w->handle();
    HWNDPROC = static_cast<int32_t>(w->propInt(0, ui::Prop::WndProc));
    m_procNumber = ui::registerWindowProc([this](ui::Handle h, uint32_t m, ui::WPARAM wp, ui::LPARAM lp) {
      return HotKeyWindowProc(h, m, wp, lp);
    });
    w->setProp(0, ui::Prop::WndProc, static_cast<int64_t>(m_procNumber));
  }
  m_keys = std::make_unique<os::HotKeys>(os::sendTo(HWND));
}

void SysHotKeyClass::Kill() {
  UnActivate();
  KEYQ.clear();
  PRESSEDKEYQ.clear();
  FAILEDKEYQ.clear();
  TRNQ.clear();
  m_keys.reset();
  if (m_procNumber) {
    for (ui::Window* w : ui::openWindows()) {
      if (w->handle() == HWND && w->propInt(0, ui::Prop::WndProc) == m_procNumber)
        w->setProp(0, ui::Prop::WndProc, static_cast<int64_t>(HWNDPROC));
    }
    ui::unregisterWindowProc(m_procNumber);
    m_procNumber = 0;
  }
}

void SysHotKeyClass::RegisterHotKeys() {
  if (KEYQ.empty() || ACTIVE == 0) return;
  FAILEDKEYQ.clear();
  for (size_t i = 0; i < KEYQ.size(); ++i) {
    const HotKeyEntry& e = KEYQ[i];
    unsigned mods = static_cast<unsigned>(e.ID & 0xFF00) / 256;
    int rc = m_keys ? m_keys->registerHotKey(static_cast<int>(i + 1), mods, e.ID & 0xFF) : os::winerr::kInvalidFunction;
    if (rc != os::winerr::kSuccess) FAILEDKEYQ.push_back(e);
  }
  KEYSREGISTERED = 1;
}

void SysHotKeyClass::UnregisterHotKeys() {
  if (KEYQ.empty() || ACTIVE == 0) return;
  FAILEDKEYQ.clear();
  for (size_t i = 0; i < KEYQ.size(); ++i) {
    int rc = m_keys ? m_keys->unregisterHotKey(static_cast<int>(i + 1)) : os::winerr::kInvalidFunction;
    if (rc != os::winerr::kSuccess) FAILEDKEYQ.push_back(KEYQ[i]);
  }
  KEYSREGISTERED = 0;
}

void SysHotKeyClass::Activate() {
  ACTIVE = 1;
  RegisterHotKeys();
}

void SysHotKeyClass::UnActivate() {
  UnregisterHotKeys();
  ACTIVE = 0;
}

void SysHotKeyClass::AddKey(std::string_view text) {
  int32_t code = TrnKeyName(text);
  if (code == 0) {
    TakeInvalidKey(text);
    return;
  }
  UnregisterHotKeys();
  auto it = std::lower_bound(KEYQ.begin(), KEYQ.end(), code, [](const HotKeyEntry& e, int32_t c) { return e.ID < c; });
  if (it == KEYQ.end() || it->ID != code) {
    std::string_view t = text.substr(0, rt::utf8CutLength(text, 32));
    KEYQ.insert(it, HotKeyEntry{code, std::string(t)});
  }
  RegisterHotKeys();
}

void SysHotKeyClass::RemoveKey(std::string_view text) {
  int32_t code = TrnKeyName(text);
  if (code == 0) {
    TakeInvalidKey(text);
    return;
  }
  UnregisterHotKeys();
  auto it = std::find_if(KEYQ.begin(), KEYQ.end(), [code](const HotKeyEntry& e) { return e.ID == code; });
  if (it != KEYQ.end()) KEYQ.erase(it);
  RegisterHotKeys();
}

intptr_t SysHotKeyClass::HotKeyWindowProc(int32_t hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  if (msg == ui::WM::HotKey) {
    HotKeyEntry pressed;
    std::string key;
    if (wParam >= 1 && wParam <= KEYQ.size()) {
      pressed = KEYQ[wParam - 1];
      key = pressed.KEY;
    } else {
      pressed.ID = 0;
      pressed.KEY = std::to_string(lParam);
    }
    PRESSEDKEYQ.push_back(pressed);
    TakeKey(static_cast<int32_t>(wParam), key);
    ui::POST(kEventHotKey);
  }
  return ui::CallWindowProc(HWNDPROC, hwnd, msg, wParam, lParam);
}

}  // namespace ov::files
