// QVBtnIcnMgrClass: the icons and captions of a window's buttons from a comma-delimited file the
// user may edit. Each line names a button by its caption and gives its icon and, optionally, a
// new caption:
//
//   "&Save","save.ico","&Keep"
//   "Print","ICON:PRINT",""
//   "Help","<BLANK>","?"
//
// An icon is a file name (looked for in PATH first when it names no folder), a linked icon
// ("~x.ico"), "<BLANK>" (no icon) or one of the runtime's standard names ("ICON:SAVE", any case),
// kept as its code. A new caption "<BLANK>" leaves the button without caption; one beginning with
// "?" (and an empty one) keeps the caption.
//
// The file is only read (others may write it meanwhile). Works on the current window; GUI thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ov::ui {
class Window;
}

namespace ov::winclasses {

struct BtnEntry {
  std::string BTNTEXT;      // 256: the caption that names the button
  std::string ICON;         // 256
  std::string NEWBTNTEXT;   // 256
};
using TBtnQ = std::vector<BtnEntry>;

class QVBtnIcnMgrClass {
 public:
  uint8_t ACTIVE = 0;
  std::string PATH;                 // 256
  std::unique_ptr<TBtnQ> BTNQ;      // ascending by BTNTEXT (equal captions in file order)

  // Creates the rules and, when the file exists, loads it (replacing what was loaded).
  void Init(std::string_view fileName = {});
  void CopyQ(const TBtnQ& q);
  void SetPath(std::string_view folder) { PATH = std::string(folder.substr(0, 256)); }
  void CheckButtons();
  void CheckButton(int32_t button, std::string_view caption);
  void Assign(int32_t button, const BtnEntry& rule);
  void Kill();

  // The runtime's code of a standard icon name ("ICON:SAVE", any case), "" when it is none.
  static std::string StandardIcon(std::string_view name);

 private:
  const BtnEntry* find(std::string_view caption) const;
  void add(BtnEntry e);
};

}  // namespace ov::winclasses
