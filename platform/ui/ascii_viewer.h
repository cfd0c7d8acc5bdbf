// AsciiViewerClass: shows a text file line by line in a TextList of a window, goes to a line and
// searches (the class library's text file viewer and its search companion).
//
// Lines longer than the viewer's line length are cut (never inside a character); a CR before the
// LF is dropped. Searching compares without regard to case unless asked.
//
// Threading: GUI thread only.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rt/err.h"
#include "platform/ui/window_manager.h"

namespace ov::ui {

class TextList;

class AsciiViewerClass : public WindowComponent {
 public:
  using ErrorReporter = std::function<void(rt::Err err, const std::string& file)>;
  // Loads `file` into the window's TextList `listFeq`. False when the file cannot be read: the
  // error goes to `onError` (when given) and to ERRORCODE(); the list stays empty.
  bool Init(WindowManager& manager, int listFeq, std::string_view file, size_t lineLength = 255,
            ErrorReporter onError = {});
  bool isReady() const { return m_ready; }
  const std::vector<std::string>& lines() const { return m_lines; }
  const std::string& fileName() const { return m_file; }

  int TopLine() const;        // the first line shown (1-based)
  int SelectedLine() const;   // 0 when none
  void SetLine(int line);     // selects and shows a line

  // The first line from `from` on that holds `text`; 0 when none.
  int Find(std::string_view text, int from, bool matchCase = false) const;
  // Asks for the text to find (a prompt through the interaction host, the last text offered),
  // searches from `from` and selects the line found; a message tells when there is none.
  bool Search(int from);

  void Kill() override;

 private:
  TextList* list() const;
  WindowManager* m_manager = nullptr;
  int m_list = 0;
  std::string m_file;
  std::vector<std::string> m_lines;
  std::string m_lastSearch;
  bool m_ready = false;
};

}  // namespace ov::ui
