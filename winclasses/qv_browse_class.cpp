#include "winclasses/qv_browse_class.h"

#include <algorithm>

#include "platform/ui/event.h"
#include "platform/ui/runtime.h"

namespace ov::winclasses {

namespace {
constexpr int kViewKey = ui::Key::Enter | ui::Key::Ctrl | ui::Key::Alt;  // alerted on the list
constexpr int kShiftEnter = ui::Key::Enter | ui::Key::Shift;
}  // namespace

void QVBrowseClass::UpdateWindow() {
  ui::BrowseClass::UpdateWindow();
  ui::Window& w = manager().window();
  if (!w.isOpen()) return;
  bool rows = HasRecords() > 0;
  for (int feq : {VIEWCONTROL, COPYCONTROL})
    if (feq && w.control(feq)) w.setProp(feq, ui::Prop::Disable, rows ? "" : "1");
}

void QVBrowseClass::SetAlerts() {
  ui::BrowseClass::SetAlerts();
  if (!VIEWCONTROL) return;
  list().setProp(ui::Prop::Alrt, std::to_string(kViewKey));
  std::vector<std::string> names = Popup.ItemNames();
  if (std::find(names.begin(), names.end(), "!View") == names.end()) {
    Popup.AddItem("&View", "!View");
    Popup.AddItemMimic("!View", VIEWCONTROL);
  }
}

rt::Err QVBrowseClass::PrimeRecord(bool suppressClear) {
  return ui::BrowseClass::PrimeRecord(suppressClear || m_copying);
}

int QVBrowseClass::AskCopy() {
  if (HasRecords() == 0) return ui::RequestCancelled;
  if (UpdateBuffer() != rt::Err::None) return ui::RequestCancelled;
  if (ui::KEYCODE() == ui::Key::MouseRight) ui::SETKEYCODE(0);
  // Ask primes the new record itself; while copying the priming keeps the selected record.
  m_copying = true;
  int response = Ask(ui::InsertRecord);
  m_copying = false;
  return response;
}

ui::Level QVBrowseClass::TakeEvent() {
  if (ui::EVENT() == ui::EVENT::Accepted && !isEditing()) {
    int field = ui::FIELD();
    if (field && field == VIEWCONTROL) {
      manager().Update();
      Ask(ui::ViewRecord);
    } else if (field && field == COPYCONTROL) {
      manager().Update();
      AskCopy();
    }
  }
  return ui::BrowseClass::TakeEvent();
}

bool QVBrowseClass::isDefault(int feq) const {
  ui::Window& w = manager().window();
  return feq && w.control(feq) && w.propInt(feq, ui::Prop::Default) != 0;
}

void QVBrowseClass::press(int feq) {
  manager().window().post(ui::EVENT::Accepted, feq);
  (void)UpdateBuffer();
  UpdateWindow();
  manager().window().post(ui::EVENT::NewSelection, listControl());
}

bool QVBrowseClass::TakeKey() {
  if (HasRecords() == 0) return ui::BrowseClass::TakeKey();
  int key = ui::KEYCODE();
  if (key == ui::Key::MouseLeft2 || key == ui::Key::Enter) {
    if (key == ui::Key::MouseLeft2 && list().propList(ui::PROPLIST::MouseDownRow, 0) == "0")
      return ui::BrowseClass::TakeKey();  // a double click on the header
    for (int feq : {Selecting ? SelectControl : 0, VIEWCONTROL, ChangeControl}) {
      if (isDefault(feq)) {
        press(feq);
        return true;
      }
    }
  } else if ((key == kShiftEnter || key == kViewKey) && VIEWCONTROL) {
    press(VIEWCONTROL);
    return true;
  }
  return ui::BrowseClass::TakeKey();
}

}  // namespace ov::winclasses
