// ColourTabClass: the tabs of every sheet of a window in two colour schemes, one for the chosen
// tab and one for the others, the chosen tab's caption optionally bold; with INCLCHILD the
// controls lying on a tab take their tab's scheme too. The window calls Init once it is open and
// ColourTabs whenever the chosen tab may have changed.
//
// Bold is the caption's weight: 700 on the chosen tab, 400 on the others (other style bits such as
// italic are kept). Colours are COLORREF values. Works on the current window; GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace ov::ui {
class Window;
}

namespace ov::winclasses {

struct TabEntry {
  int32_t FEQ = 0;
  int32_t PARENTFEQ = 0;       // a tab's sheet, a child's tab
  int32_t GRANDPARENTFEQ = 0;  // the parent's parent
};

class ColourTabClass {
 public:
  std::unique_ptr<std::vector<TabEntry>> TABQ;
  std::unique_ptr<std::vector<TabEntry>> CHILDQ;
  int32_t SELTABCOL = -1;
  int32_t SELTEXTCOL = -1;
  int32_t UNSELTABCOL = -1;
  int32_t UNSELTEXTCOL = -1;
  int32_t BOLDSELECTED = 0;
  int32_t NOWIZARD = 0;
  int32_t INCLCHILD = 0;

  void Init(int32_t selTabColour, int32_t selTextColour, int32_t boldSelected, int32_t unselTabColour,
            int32_t unselTextColour, int32_t noWizard, int32_t includeChildren);
  void ColourTabs();
  void Kill();

 private:
  void apply(int feq, bool selected);
  bool skipped(int sheet) const;
  ui::Window* m_window = nullptr;
};

}  // namespace ov::winclasses
