// EntryCompletionClass: an entry that completes what the user types from the values of a file's
// key or from the entries of a queue. With each typed character the first value that begins with
// the typed text (ignoring case) or matches it as a wildcard pattern is shown in the entry, the
// part not yet typed selected so that typing on replaces it. With MUSTVALIDATE an accepted value
// that matches nothing is cleared and the entry keeps the focus.
//
// The window passes every event to TakeEvent. Each object keeps its own last typed text, so two
// completing entries typed into by turns do not disturb each other.
//
// File mode positions the file on the key from the typed text: the key's fields in the record
// buffer are overwritten, so a window that edits a record of the same file must keep its own copy.
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files/file_manager.h"
#include "platform/ui/binding.h"
#include "platform/ui/list_control.h"

namespace ov::winclasses {

class EntryCompletionClass {
 public:
  EntryCompletionClass() = default;
  virtual ~EntryCompletionClass() = default;

  uint8_t MODE = 0;                      // 1: from a file's key, 0: from a queue
  ui::Binding USEFIELD;                  // the entry's variable
  ui::Binding FROMFIELD;                 // file mode: the record field the key orders
  int32_t ENTRYFIELD = 0;
  ui::ListQueue* Q = nullptr;            // queue mode: an entry's fields joined are its text
  uint8_t ECON = 0;                      // completion is on
  uint8_t MUSTVALIDATE = 0;
  uint8_t WINDOWAUTODISPLAY = 0;         // the window's auto display when Init ran
  db::FileManager* FILEMGR = nullptr;
  db::Key FILEKEY;

  // File mode.
  void Init(ui::Binding use, int32_t entry, ui::Binding fromField, bool mustValidate, db::FileManager& fm,
            db::Key key);
  // Queue mode.
  void Init(ui::Binding use, int32_t entry, ui::ListQueue& q, bool mustValidate);
  void Kill() {}

  virtual void TakeEvent();
  virtual void TakeAccepted();
  virtual void TakeNewSelection();
  virtual void TakeNewSelection(int control);
  virtual bool KeyValid();

  // File mode: 1 when the first record at or after the text begins with it or matches it as a
  // pattern (the record then lies in the buffer), else 0. Queue mode: the position of the first
  // entry that does (the queue's buffer then holds it), 0 when none does.
  int32_t GetQueueMatch(std::string_view text);

  const std::string& lastTyped() const { return m_lastTyped; }

 private:
  std::string queueText(int position) const;
  std::string m_lastTyped;   // 255 characters at most
  std::string m_matched;     // the value GetQueueMatch found
};

}  // namespace ov::winclasses
