#include "scheduler/keystrokes.h"

#include <array>
#include <utility>

#include "datalib/globals.h"
#include "platform/os/input.h"
#include "platform/rt/process.h"
#include "platform/rt/text.h"
#include "scheduler/detail/script_util.h"
#include "scheduler/variables.h"

namespace ov::scheduler {

std::vector<WindowEntry> TopWindowList;
std::vector<WindowEntry> ChildWindowList;
rt::String<255> TargetWindowTitle;

namespace {

using detail::cut;
using detail::upperClip;

constexpr size_t kTitleWidth = 1023;

WindowEntry entryOf(const os::TopWindow& w) {
  return {w.id, cut(w.title, kTitleWidth), cut(w.className, kTitleWidth)};
}

constexpr int kVkShift = 16, kVkCtrl = 17, kVkAlt = 18, kVkWin = 91;
constexpr std::array<std::pair<int, int>, 4> kModifiers{{{kShift, kVkShift}, {kCtrl, kVkCtrl}, {kAlt, kVkAlt}, {kWin, kVkWin}}};

bool isMouseCode(int vk) { return (vk >= 1 && vk <= 3) || (vk >= 5 && vk <= 7); }

// The window `title` names, brought to the front when it lacks the focus; 0 when there is none.
os::WindowId focusTarget(std::string_view title) {
  const os::WindowId w = FindWindowByTitle(title);
  if (w == 0) {
    detail::debugLog(std::string(rt::clipView(title)) + " Failed Set Focus", "Debug");
    return 0;
  }
  if (!os::hasFocus(w)) (void)os::bringToFront(w);  // typing below checks the focus itself
  return w;
}

}  // namespace

void ListTopWindows() {
  TopWindowList.clear();
  for (const os::TopWindow& w : os::listTopWindows()) {
    if (w.title.empty()) continue;
    if (files::SCRIPT.EXCLUDEHIDDENWINDOWS && !os::isWindowVisible(w.id)) continue;
    TopWindowList.push_back(entryOf(w));
  }
}

void ListChildWindows(os::WindowId window) {
  ChildWindowList.clear();
  for (const os::TopWindow& w : os::listChildWindows(window))
    if (!w.title.empty()) ChildWindowList.push_back(entryOf(w));
}

bool titleMatchesPattern(std::string_view patternIn, std::string_view titleIn) {
  const std::string pattern = upperClip(patternIn), title = upperClip(titleIn);
  if (pattern == title) return true;
  const size_t star = pattern.find('*');
  if (star == std::string::npos) return false;
  if (star == 0) return title.find(std::string_view(pattern).substr(1)) != std::string::npos;
  return title.starts_with(std::string_view(pattern).substr(0, star));
}

os::WindowId FindWindowByPattern(std::string_view pattern, std::string_view childText, bool keepList) {
  if (!keepList) ListTopWindows();
  if (pattern.starts_with('~')) pattern.remove_prefix(1);
  const std::string child = upperClip(childText);
  // The child list is refilled per candidate; walk a copy of the top-level list.
  const std::vector<WindowEntry> candidates = TopWindowList;
  for (const WindowEntry& w : candidates) {
    if (!titleMatchesPattern(pattern, w.title)) continue;
    if (child.empty()) return w.handle;
    ListChildWindows(w.handle);
    for (const WindowEntry& c : ChildWindowList)
      if (rt::UPPER(c.title).find(child) != std::string::npos) return w.handle;
  }
  return 0;
}

os::WindowId FindWindowByTitle(std::string_view pattern) { return FindWindowByPattern(pattern, {}, false); }

int KeyNameToCode(std::string_view nameIn) {
  const std::string name = upperClip(nameIn);
  if (name.size() == 1 && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9')))
    return name[0];
  if (name.size() >= 2 && name.size() <= 3 && name[0] == 'F') {
    const int n = int(rt::textToNumber(name.substr(1)));
    if (n >= 1 && n <= 12 && name.substr(1) == std::to_string(n)) return 111 + n;
  }
  if (name.size() == 4 && name.starts_with("PAD") && name[3] >= '0' && name[3] <= '9') return 96 + (name[3] - '0');
  static constexpr std::pair<std::string_view, int> kNames[] = {
      {"BS", 8},          {"TAB", 9},          {"ENTER", 13},       {"PAUSE", 19},      {"CAPSLOCK", 20},
      {"CAPS", 20},       {"ESC", 27},         {"SPACE", 32},       {"PGUP", 33},       {"PGDN", 34},
      {"END", 35},        {"HOME", 36},        {"LEFT", 37},        {"UP", 38},         {"RIGHT", 39},
      {"DOWN", 40},       {"PRINT", 44},       {"INSERT", 45},      {"DELETE", 46},     {"AST", 106},
      {"PLUS", 107},      {"MINUS", 109},      {"DECIMAL", 110},    {"SLASH", 111},     {"MOUSE", 1},
      {"MOUSELEFT", 1},   {"MOUSERIGHT", 2},   {"MOUSECENTER", 3},  {"MOUSELEFT2", 5},  {"MOUSERIGHT2", 6},
      {"MOUSECENTER2", 7},
  };
  for (const auto& [n, code] : kNames)
    if (name == n) return code;
  return 0;
}

int ParseKeyToken(std::string_view token) {
  std::string t = rt::UPPER(token);
  int modifiers = 0;
  for (;;) {
    if (t.starts_with('+')) {
      modifiers |= kShift;
      t.erase(0, 1);
    } else if (t.starts_with('^')) {
      modifiers |= kCtrl;
      t.erase(0, 1);
    } else if (t.starts_with('%')) {
      modifiers |= kAlt;
      t.erase(0, 1);
    } else if (t.starts_with('-')) {
      t.erase(0, 1);
    } else if (t.starts_with("CTR")) {
      modifiers |= kCtrl;
      t.erase(0, std::min<size_t>(4, t.size()));
    } else if (t.starts_with("ALT")) {
      modifiers |= kAlt;
      t.erase(0, 3);
    } else if (t.starts_with("SHI")) {
      modifiers |= kShift;
      t.erase(0, std::min<size_t>(5, t.size()));
    } else {
      break;
    }
  }
  if (const size_t key = t.find("KEY"); key != std::string::npos) t.erase(key, 3);
  const int code = KeyNameToCode(t);
  return code == 0 ? 0 : code | modifiers;
}

void MouseClick(int code) {
  switch (code & 0xFF) {
    case kMouseLeft: (void)os::mouseClick(os::MouseButton::Left); break;
    case kMouseLeft2: (void)os::mouseDoubleClick(os::MouseButton::Left); break;
    case kMouseRight: (void)os::mouseClick(os::MouseButton::Right); break;
    case kMouseRight2: (void)os::mouseDoubleClick(os::MouseButton::Right); break;
    case kMouseMiddle: (void)os::mouseClick(os::MouseButton::Middle); break;
    case kMouseMiddle2: (void)os::mouseDoubleClick(os::MouseButton::Middle); break;
    default: break;
  }
}

void PressKey(int code) {
  const int vk = code & 0xFF;
  for (auto [bit, modifierVk] : kModifiers)
    if (code & bit) (void)os::keyEvent(modifierVk, true);
  if (isMouseCode(vk)) {
    MouseClick(vk);
  } else if (vk != 0) {
    (void)os::keyEvent(vk, true);
    (void)os::keyEvent(vk, false);
  }
  for (auto [bit, modifierVk] : kModifiers)
    if (code & bit) (void)os::keyEvent(modifierVk, false);
  os::flushInput();
}

void TypeText(std::string_view text) {
  if (text.empty()) return;
  (void)os::typeText(text);
  os::flushInput();
}

void FocusWindowControl(std::string_view text, std::string_view title, int mode) {
  const os::WindowId previous = os::foregroundWindow();
  const os::WindowId w = focusTarget(title);
  if (w == 0) return;
  std::string plain;
  auto flushPlain = [&] {
    if (!plain.empty()) (void)os::typeText(plain, w);
    plain.clear();
  };
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '[') {
      const size_t close = text.find(']', i + 1);
      if (close != std::string_view::npos && close - i <= 33) {
        std::string_view token = text.substr(i + 1, close - i - 1);
        int count = 1;
        if (const size_t blank = token.find(' '); blank != std::string_view::npos) {
          count = int(detail::leadingNumber(token.substr(blank + 1, 4)));
          if (count < 1) count = 1;
          token = token.substr(0, blank);
        }
        if (const int code = ParseKeyToken(token); code != 0) {
          flushPlain();
          if (os::hasFocus(w))
            for (int n = 0; n < count; ++n) PressKey(code);
          i = close + 1;
          continue;
        }
      }
    }
    plain += text[i++];
  }
  flushPlain();
  os::flushInput();
  if (mode == 2 && previous != 0 && previous != w) (void)os::bringToFront(previous);
}

void SendText(std::string_view text) {
  if (text.empty()) return;
  if (TargetWindowTitle.isBlank()) {
    TypeText(text);
    return;
  }
  if (const os::WindowId w = focusTarget(TargetWindowTitle.clipped()); w != 0) {
    (void)os::typeText(text, w);
    os::flushInput();
  }
}

void PositionMouseTarget(std::string_view token) {
  const std::string upper = rt::UPPER(token);
  if (upper.starts_with("TARGET")) {
    TargetWindowTitle = rt::LEFT(token.substr(6));
    return;
  }
  if (upper.starts_with("MOUSE ")) {
    const std::string rest = upper.substr(6);
    auto numberAfter = [&](size_t at, size_t skip) { return int(detail::leadingNumber(std::string_view(rest).substr(at + skip, 5))); };
    const size_t xr = rest.find("X+="), yr = rest.find("Y+=");
    if (xr != std::string::npos && yr != std::string::npos) {
      (void)os::moveMouseBy(numberAfter(xr, 3), numberAfter(yr, 3));
      os::flushInput();
      return;
    }
    const size_t xa = rest.find("X="), ya = rest.find("Y=");
    if (xa != std::string::npos && ya != std::string::npos) {
      (void)os::moveMouseTo(numberAfter(xa, 2), numberAfter(ya, 2));
      os::flushInput();
      return;
    }
    if (const os::WindowId w = FindWindowByTitle(token.substr(6)); w != 0) {
      (void)os::bringToFront(w);
      if (os::WindowRect r; os::windowRect(w, r)) (void)os::moveMouseTo(r.x, r.y);
      os::flushInput();
      return;
    }
  }
  if (!TargetWindowTitle.isBlank()) {
    // In a target window a key token (with its repeat count) is pressed there, never typed as
    // its name.
    if (ParseKeyToken(token.substr(0, token.find(' '))) != 0) {
      FocusWindowControl("[" + std::string(token) + "]", TargetWindowTitle.clipped(), 1);
      return;
    }
  } else if (const int code = ParseKeyToken(token); code != 0) {
    PressKey(code);
    return;
  }
  const std::string value = TranslateVariable(token);
  SendText(!rt::clipView(value).empty() && value != token ? std::string_view(value) : token);
}

std::string ProgramFolder() { return rt::programFolder() + "/"; }

}  // namespace ov::scheduler
