// FormWizardClass: one form window run either as an ordinary tabbed form or as a wizard over the
// same sheet. As a wizard the sheet shows no tab row; Back and Next walk through its tabs,
// optionally skipping hidden tabs and asking Validate before going forward, and on the last tab
// OK takes Next's place as the default button. The window calls Init after opening and passes
// its accepted events to TakeAccepted.
//
// Tabs are counted from 1 in the sheet's order, hidden ones included; with SKIPHIDDEN the reach
// (MINTAB..MAXTAB) is recomputed before each move, so tabs hidden or shown meanwhile count.
// Threading: GUI thread only.
#pragma once

#include <cstdint>

#include "platform/ui/window.h"

namespace ov::winclasses {

class FormWizardClass {
 public:
  FormWizardClass() = default;
  virtual ~FormWizardClass() = default;

  int32_t BACKFEQ = 0;
  int32_t NEXTFEQ = 0;
  int32_t OKFEQ = 0;
  int32_t CANCELFEQ = 0;
  int32_t SHEETFEQ = 0;
  int32_t CURTABFEQ = 0;     // the sheet's first tab
  int32_t IMAGEFEQ = 0;
  int32_t TEXTBOXFEQ = 0;
  int32_t MAXTAB = 0;
  int32_t MINTAB = 0;
  int32_t CURTABNUM = 0;     // 0: taken from the sheet's chosen tab
  uint8_t SKIPHIDDEN = 0;
  uint8_t COEXISTOKNEXT = 0;
  uint8_t VALIDATEONNEXT = 0;
  uint8_t WIZARDACTIVE = 0;
  uint8_t ENABLEOKONTAB = 0;  // kept for derived windows; the class itself does not use it

  // mode 1 runs the form as a wizard; anything else as an ordinary form. Works on the current
  // window.
  void Init(int32_t sheet, int32_t back, int32_t next, int32_t ok, int32_t cancel, bool skipHidden,
            bool okNextCoexist, bool validateOnNext, int32_t mode);
  void Kill() {}

  virtual void TakeAccepted();
  virtual void TakeNewSelection();
  virtual void TakeBackEmbed() {}
  virtual void TakeNextEmbed() {}
  // 0: the current tab may be left forwards.
  virtual int32_t Validate() { return 0; }

  void TakeNext();
  void TakeBack();
  int32_t NextControl() const;
  void ShrinkSheet(int32_t height);
  void InitMultiUseForm(int32_t image, int32_t textBox);
  void ResetRange();
  void ApplyRange();
  void FindMinTab();
  void FindMaxTab();

 private:
  ui::Window& w() const { return *m_window; }
  int tabCount() const;
  bool tabHidden(int n) const;
  ui::Window* m_window = nullptr;
};

}  // namespace ov::winclasses
