// Controls: the layer keeps every property; a Qt widget is only the control's view.
//
// A control is declared on a Window (window.h) with a kind, a name ("?HOL:Date", "?OK") and a
// number (FEQ): positive numbers in declaration order for the window's fields, negative ones for
// menu and toolbar items. Properties read and write through Window::prop/setProp by number
// (prop.h) or through the typed members here. The view follows the properties; user input on the
// view changes the properties and posts the runtime's events to the window.
//
// Positions and sizes are dialog units (x: a quarter of the font's average character width,
// y: an eighth of its height), relative to the window's client area, also for controls on tabs.
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/binding.h"
#include "platform/ui/prop.h"
#include "platform/ui/window_proc.h"

class QWidget;

namespace ov::ui {

class Window;
namespace detail {
struct WindowAccess;
}

// The runtime's control type numbers (PROP:Type); those the system tests by number are fixed.
enum class Kind : int {
  SString = 1,     // a string whose text follows its USE variable
  String = 2,      // a fixed text
  Image = 3,
  Region = 4,
  Entry = 8,
  Button = 9,
  Prompt = 10,
  Option = 11,
  Check = 12,
  Group = 13,
  List = 14,       // the list control lives in its own unit
  Combo = 15,
  Spin = 16,
  Text = 17,       // multi-line text box
  Menu = 19,
  Item = 20,
  Radio = 21,
  MenuBar = 22,
  Progress = 36,
  DropList = 33,
  DropCombo = 34,
  Sheet = 37,
  Tab = 38,
  Toolbar = 128,
};

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
};

class Control {
 public:
  Control(Kind kind, std::string name);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  Kind kind() const { return m_kind; }
  int feq() const { return m_feq; }
  const std::string& name() const { return m_name; }
  Window& window() const { return *m_window; }
  Handle handle() const { return m_handle; }
  int parentFeq() const { return m_parent; }

  // Declaration helpers; each returns the control for chaining.
  Control& at(int x, int y, int w = 0, int h = 0);
  Control& on(int parentFeq);   // lies on a tab, group or option
  Control& tip(std::string_view t);
  Control& msg(std::string_view t);
  Control& icon(std::string_view i);
  Control& use(Binding b);
  Control& hidden(bool on = true);
  Control& disabled(bool on = true);
  Control& readOnly(bool on = true);
  Control& required(bool on = true);
  Control& immediate(bool on = true);
  Control& text(std::string_view t);

  // Properties. prop() answers "" for a property the kind does not have; setProp() returns false.
  virtual std::string prop(int p) const;
  virtual bool setProp(int p, std::string_view value);

  const std::string& textProp() const { return m_text; }
  bool isHidden() const { return m_hide; }
  bool isDisabled() const { return m_disable; }
  bool isReadOnly() const { return m_readOnly; }
  bool isRequired() const { return m_req; }
  const Binding& binding() const { return m_use; }
  Rect rect() const { return m_rect; }

  // The text the control shows (an entry's formatted value, a button's caption...).
  virtual std::string screenText() const { return m_text; }
  // Shows the USE variable (DISPLAY).
  virtual void display() {}
  // Stores the screen value into the USE variable (UPDATE); false when the text does not fit the
  // picture (the variable keeps its value).
  virtual bool update() { return true; }
  // Fields the accept-all pass of OK walks, and that take the focus.
  virtual bool takesInput() const { return false; }
  // Edited since it was last displayed.
  bool isTouched() const { return m_touched; }
  void setTouched(bool on) { m_touched = on; }

  // The window procedure chain of this control (window_proc.h).
  ProcNumber wndProc() const { return m_wndProc; }

  // View. createView builds the widget as a child of `parent`; syncView pushes every property.
  virtual QWidget* createView(QWidget* parent) = 0;
  virtual void syncView();
  void destroyView();
  QWidget* view() const { return m_view; }

 protected:
  friend class Window;
  friend struct detail::WindowAccess;
  void postEvent(int event, int keycode = 0);
  void changed();  // a property changed: resync the view when there is one

  Kind m_kind;
  std::string m_name;
  int m_feq = 0;
  Window* m_window = nullptr;
  int m_parent = 0;
  Rect m_rect;
  std::string m_text;
  std::string m_tip, m_msg, m_icon;
  bool m_hide = false, m_disable = false, m_readOnly = false, m_skip = false, m_req = false;
  bool m_immediate = false, m_touched = false, m_auto = true;
  int32_t m_color = -1, m_fontColor = -1;
  std::string m_fontName;
  int m_fontSize = 0, m_fontStyle = 0;
  Binding m_use;
  Handle m_handle = 0;
  ProcNumber m_wndProc = 0;
  ProcNumber m_rootProc = 0;
  QWidget* m_view = nullptr;
  std::vector<int> m_alerts;
};

// A fixed text (String), or a string showing its USE variable (SString).
class Label : public Control {
 public:
  explicit Label(std::string name, Kind kind = Kind::String) : Control(kind, std::move(name)) {}
  Label& picture(std::string_view p) { m_picture = p; return *this; }
  void display() override;
  QWidget* createView(QWidget* parent) override;
  void syncView() override;

 private:
  std::string m_picture;
};

// A prompt: its "&" letter selects the next field in field order.
class Prompt : public Control {
 public:
  explicit Prompt(std::string name) : Control(Kind::Prompt, std::move(name)) {}
  QWidget* createView(QWidget* parent) override;
  void syncView() override;
};

// An entry: one line of text through a picture ("@s30", "@d17", "@n-10.2").
class Entry : public Control {
 public:
  explicit Entry(std::string name, std::string picture = "@s255");
  Entry& password(bool on = true) { m_password = on; return *this; }
  Entry& upper(bool on = true) { m_upper = on; return *this; }
  const std::string& picture() const { return m_text; }

  std::string prop(int p) const override;
  bool setProp(int p, std::string_view value) override;
  std::string screenText() const override { return m_screen; }
  void display() override;
  bool update() override;
  bool takesInput() const override { return true; }
  QWidget* createView(QWidget* parent) override;
  void syncView() override;

  // What the user typed (the driver and the view call it).
  void userEdit(std::string_view text);
  void userAccept(int keycode);

 protected:
  // The caret and selection as SelStart/SelEnd give them (0-based character offsets here).
  void selection(int& start, int& end) const;
  void setSelection(int start, int end);

  std::string m_screen;
  bool m_password = false, m_upper = false;
  bool m_enterPressed = false;
  int m_selStart = 0, m_selEnd = 0;  // without a view: the selection [start, end)
};

// A spin box: an entry whose value steps between a low and a high bound; dates step by days.
class Spin : public Entry {
 public:
  explicit Spin(std::string name, std::string picture = "@n9");
  Spin& range(double low, double high) { m_low = low; m_high = high; return *this; }
  Spin& step(double s) { m_step = s; return *this; }
  std::string prop(int p) const override;
  bool setProp(int p, std::string_view value) override;
  QWidget* createView(QWidget* parent) override;
  void syncView() override;
  // One step up (+1) or down (-1), as the arrows do.
  void userStep(int steps);

 private:
  double m_low = 0, m_high = 999999999, m_step = 1;
};

// A multi-line text box.
class TextBox : public Control {
 public:
  explicit TextBox(std::string name) : Control(Kind::Text, std::move(name)) {}
  std::string prop(int p) const override;
  bool setProp(int p, std::string_view value) override;
  std::string screenText() const override { return m_screen; }
  void display() override;
  bool update() override;
  bool takesInput() const override { return true; }
  QWidget* createView(QWidget* parent) override;
  void syncView() override;
  void userEdit(std::string_view text);
  void userAccept();

 private:
  std::string m_screen;
};

// A check box; its variable holds the true value when checked (default 1 and 0).
class Check : public Control {
 public:
  explicit Check(std::string name) : Control(Kind::Check, std::move(name)) {}
  Check& values(std::string_view on, std::string_view off) { m_true = on; m_false = off; return *this; }
  bool isChecked() const { return m_checked; }
  std::string prop(int p) const override;
  bool setProp(int p, std::string_view value) override;
  std::string screenText() const override { return m_text; }
  void display() override;
  bool update() override;
  bool takesInput() const override { return true; }
  QWidget* createView(QWidget* parent) override;
  void syncView() override;
  void userToggle(bool checked);

 private:
  bool m_checked = false;
  std::string m_true = "1", m_false = "0";
};

// An option group; its radios lie on it (Radio::on(option)). Its variable holds the value of the
// chosen radio (the radio's text without "&" unless a value is given); Selected is its position.
class Option : public Control {
 public:
  explicit Option(std::string name) : Control(Kind::Option, std::move(name)) {}
  std::string screenText() const override { return prop(Prop::ScreenText); }  // the chosen value
  std::string prop(int p) const override;
  bool setProp(int p, std::string_view value) override;
  void display() override;
  bool update() override;
  bool takesInput() const override { return true; }
  QWidget* createView(QWidget* parent) override;
  void syncView() override;

  std::vector<int> radios() const;   // feqs in field order
  int choice() const { return m_choice; }   // 1-based; 0 = none
  void userChoose(int radioFeq);

 private:
  friend class Radio;
  int m_choice = 0;
};

class Radio : public Control {
 public:
  explicit Radio(std::string name) : Control(Kind::Radio, std::move(name)) {}
  Radio& value(std::string_view v) { m_value = v; m_hasValue = true; return *this; }
  std::string radioValue() const;
  std::string prop(int p) const override;
  bool setProp(int p, std::string_view value) override;
  QWidget* createView(QWidget* parent) override;
  void syncView() override;

 private:
  std::string m_value;
  bool m_hasValue = false;
};

// A drop list (choose one of From), a combo or a drop combo (type or choose). Entries of From may
// carry a value: "Text|#value|Text 2|#value2"; the variable then holds the value.
class ListChoice : public Control {
 public:
  ListChoice(std::string name, Kind kind);
  ListChoice& from(std::string_view items);
  ListChoice& picture(std::string_view p) { m_picture = p; return *this; }
  const std::vector<std::string>& items() const { return m_items; }
  int selected() const { return m_selected; }
  bool isEditable() const { return m_kind != Kind::DropList; }

  std::string prop(int p) const override;
  bool setProp(int p, std::string_view value) override;
  std::string screenText() const override;
  void display() override;
  bool update() override;
  bool takesInput() const override { return true; }
  QWidget* createView(QWidget* parent) override;
  void syncView() override;

  void userChoose(int index);            // 1-based
  void userEdit(std::string_view text);  // combos only
  void userAccept();

 private:
  std::string valueOf(int index) const;
  std::vector<std::string> m_items, m_values;
  int m_selected = 0;
  std::string m_screen, m_picture;
};

// A sheet holds tabs; Selected is the chosen tab's position among all tabs (hidden ones count).
// In wizard mode the tab row is not shown and the program moves between tabs itself.
class Sheet : public Control {
 public:
  explicit Sheet(std::string name) : Control(Kind::Sheet, std::move(name)) {}
  Sheet& wizard(bool on = true) { m_wizard = on; return *this; }
  bool isWizard() const { return m_wizard; }
  std::vector<int> tabs() const;
  int selectedTab() const;   // feq of the chosen tab, 0 when none
  std::string prop(int p) const override;
  bool setProp(int p, std::string_view value) override;
  QWidget* createView(QWidget* parent) override;
  void syncView() override;
  void userSelectTab(int tabFeq);

 private:
  bool m_wizard = false;
  int m_choice = 1;
  bool m_syncing = false;
};

class Tab : public Control {
 public:
  explicit Tab(std::string name) : Control(Kind::Tab, std::move(name)) {}
  QWidget* createView(QWidget* parent) override;
  void syncView() override;
};

class Group : public Control {
 public:
  explicit Group(std::string name) : Control(Kind::Group, std::move(name)) {}
  QWidget* createView(QWidget* parent) override;
  void syncView() override;
};

// The runtime's standard icons: a name ("ICON:SAVE", any case) to the four-byte code a button's or
// window's Icon property takes ("<07>"); "" when the name is none of them. Icons with these codes
// are drawn from the desktop style.
std::string standardIconCode(std::string_view name);

class Button : public Control {
 public:
  explicit Button(std::string name) : Control(Kind::Button, std::move(name)) {}
  Button& setDefault(bool on = true) { m_default = on; return *this; }
  bool isDefault() const { return m_default; }
  std::string prop(int p) const override;
  bool setProp(int p, std::string_view value) override;
  QWidget* createView(QWidget* parent) override;
  void syncView() override;
  void userPress(int keycode);

 private:
  bool m_default = false;
};

// A picture from a file (Text is the file name: an absolute path, or a name looked up in the
// current folder and then in the layer's icon folders).
class Image : public Control {
 public:
  explicit Image(std::string name) : Control(Kind::Image, std::move(name)) {}
  QWidget* createView(QWidget* parent) override;
  void syncView() override;
};

class ProgressBar : public Control {
 public:
  explicit ProgressBar(std::string name) : Control(Kind::Progress, std::move(name)) {}
  ProgressBar& range(int low, int high) { m_low = low; m_high = high; return *this; }
  int value() const { return m_value; }
  std::string prop(int p) const override;
  bool setProp(int p, std::string_view value) override;
  void display() override;
  QWidget* createView(QWidget* parent) override;
  void syncView() override;

 private:
  int m_low = 0, m_high = 100, m_value = 0;
};

// An invisible area that reports a mouse click as Accepted (key code of the button).
class Region : public Control {
 public:
  explicit Region(std::string name) : Control(Kind::Region, std::move(name)) {}
  QWidget* createView(QWidget* parent) override;
  void userClick(int keycode);
};

// Menu bar, menus and items (negative numbers), and the toolbar with its buttons. Views of these
// are built by the window (a QMenuBar, QMenus, a QToolBar); items report Accepted.
class MenuControl : public Control {
 public:
  MenuControl(std::string name, Kind kind) : Control(kind, std::move(name)) {}
  MenuControl& checkable(bool on = true) { m_checkable = on; return *this; }
  bool isChecked() const { return m_checked; }
  bool isCheckable() const { return m_checkable; }
  std::string prop(int p) const override;
  bool setProp(int p, std::string_view value) override;
  QWidget* createView(QWidget* parent) override;
  void syncView() override;
  void userChoose();
  void* actionHandle() const { return m_action; }  // the QAction of its view
  // Set through SetMenuItemInfoA (owner_draw.h): MFT::OwnerDraw or 0, and the item's data.
  uint32_t menuType = 0;
  uintptr_t menuData = 0;

 private:
  friend class Window;
  bool m_checkable = false, m_checked = false;
  void* m_action = nullptr;
};

}  // namespace ov::ui
