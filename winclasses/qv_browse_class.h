// QVBrowseClass: the system's list browse. BrowseClass with a View button and a Copy button:
// Enter and double click press whichever of the select, View and change buttons is the window's
// default (in that order); Shift+Enter and Ctrl+Alt+Enter view; View and Copy are disabled while
// the list is empty; Copy inserts a new record that starts as a copy of the selected one.
//
// The View button is this class's VIEWCONTROL; the base's ViewControl stays 0.
// Threading: GUI thread only.
#pragma once

#include <cstdint>

#include "platform/ui/browse_class.h"

namespace ov::winclasses {

class QVBrowseClass : public ui::BrowseClass {
 public:
  int32_t VIEWCONTROL = 0;
  int32_t COPYCONTROL = 0;

  void UpdateWindow() override;
  void SetAlerts() override;
  ui::Level TakeEvent() override;
  bool TakeKey() override;
  rt::Err PrimeRecord(bool suppressClear = false) override;
  // Inserts a record that starts from the selected one; answers the insert's response.
  int AskCopy();

 private:
  void press(int feq);
  bool isDefault(int feq) const;
  bool m_copying = false;
};

}  // namespace ov::winclasses
