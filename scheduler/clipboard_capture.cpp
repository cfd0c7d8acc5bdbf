#include "scheduler/clipboard_capture.h"

#include "datalib/date_string_functions.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "platform/os/window_list.h"
#include "platform/rt/date_time.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"

namespace ov::scheduler {

namespace {

using files::CLI;
using files::CLIPBOARD;

struct CaptureState {
  std::string lastText;  // the last clipboard text seen, cut as stored
};

CaptureState& state() {
  static CaptureState s;
  return s;
}

std::string cutContents(std::string text) {
  text.resize(rt::utf8CutLength(text, kClipContentsWidth));
  return text;
}

std::string clipboardContents() { return cutContents(ui::CLIPBOARD()); }

bool sameText(std::string_view a, std::string_view b) { return rt::compareText(a, b) == 0; }

// Greater than a single blank: after any leading blanks comes a character above the blank, so an
// empty text, blanks only, or a tab or line break first are not taken.
bool isTakeable(std::string_view text) {
  for (char c : text) {
    if (c == ' ') continue;
    return static_cast<unsigned char>(c) > ' ';
  }
  return false;
}

// The history file stays open for the program's life from the first capture on; reopened when
// something closed it under us.
bool historyOpen() {
  if (files::Access_CLIPBOARD.openCount() > 0 && CLIPBOARD.isOpen()) return true;
  return files::Access_CLIPBOARD.Open() == rt::Err::None;
}

// Gives the shared record buffer back as it was, whatever happened in between.
class BufferGuard {
 public:
  BufferGuard() : m_saved(files::Access_CLIPBOARD.SaveBuffer()) {}
  ~BufferGuard() { files::Access_CLIPBOARD.RestoreBuffer(m_saved); }
  BufferGuard(const BufferGuard&) = delete;
  BufferGuard& operator=(const BufferGuard&) = delete;

 private:
  db::RecordImage m_saved;
};

void trim(std::string_view current) {
  const int32_t limit = files::CLIP.MAXENTRIES;
  if (limit <= 0 || CLIPBOARD.records() <= limit) return;
  CLIPBOARD.clear();
  if (CLIPBOARD.set(files::CLI_K_Save) != rt::Err::None) return;
  for (int32_t visited = 0; visited < limit; ++visited) {
    if (files::Access_CLIPBOARD.TryNext() != rt::Err::None) return;
    if (CLI.ClipKeep) return;  // the kept entries come last in this order
    if (!sameText(CLI.ClipContents, current)) (void)CLIPBOARD.deleteRecord();  // looked at by the count below
    if (CLIPBOARD.records() <= limit) return;
  }
}

}  // namespace

std::function<std::string()>& clipboardForegroundTitle() {
  static std::function<std::string()> title = [] {
    const os::WindowId window = os::foregroundWindow();
    return window ? os::windowTitle(window) : std::string();
  };
  return title;
}

void resetClipboardCapture() { state() = CaptureState{}; }

void TrimClipboardHistory() {
  if (!historyOpen()) return;
  BufferGuard guard;
  trim(clipboardContents());
}

void CaptureClipboard() {
  CaptureState& s = state();
  const std::string text = clipboardContents();
  if (sameText(text, s.lastText)) return;
  if (!isTakeable(text)) return;  // looked at again on the next tick
  if (!historyOpen()) return;
  {
    BufferGuard guard;
    const std::string hash = files::GETHASH(text);
    CLIPBOARD.clear();
    CLI.ClipHashKey = hash;
    // A text stored already would be refused by the unique key: then nothing is trimmed either.
    if (CLIPBOARD.get(files::CLI_K_Hash) != rt::Err::None) {
      trim(text);
      CLIPBOARD.clear();
      CLI.ClipContents = text;
      CLI.ClipHashKey = hash;
      CLI.ClipDate = rt::TODAY();
      CLI.ClipTime = rt::CLOCK();
      const std::string title = clipboardForegroundTitle() ? clipboardForegroundTitle()() : std::string();
      CLI.Category = title.empty() ? std::string_view("General") : std::string_view(title);
      CLI.MRUDate = rt::TODAY() - 7;
      CLI.MRUTime = rt::CLOCK();
      (void)files::Access_CLIPBOARD.TryInsert();  // a failure is silent; the text counts as seen
    }
  }
  s.lastText = clipboardContents();
}

void PrimeClipboardFromHistory() {
  if (!historyOpen()) return;
  if (!rt::clipView(ui::CLIPBOARD()).empty()) return;  // the first tick looks at it
  BufferGuard guard;
  CLIPBOARD.clear();
  if (CLIPBOARD.set(files::CLI_K_Date) != rt::Err::None || files::Access_CLIPBOARD.TryNext() != rt::Err::None) return;
  const std::string newest = rt::CLIP(CLI.ClipContents);
  ui::SETCLIPBOARD(newest);
  state().lastText = cutContents(newest);
}

}  // namespace ov::scheduler
