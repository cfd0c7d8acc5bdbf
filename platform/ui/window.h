// A window: its attributes, its controls and their properties, and its Qt view once open.
//
// A window belongs to a window procedure (WindowManager, window_manager.h), which declares it in
// Init, opens it with Open() and receives its events. It opens on the logical thread that runs the
// procedure. Kinds of window: an ordinary window, an MDI child (shown inside the application frame
// when one is open), and the application frame itself (menus, toolbar, status bar, MDI area).
//
// Raw messages. The window's procedure chain (window_proc.h) sees, with their Windows numbers:
// mouse moves, button presses, releases and double clicks, and the wheel over the window or any of
// its controls (client coordinates of the window), key presses and releases (virtual-key codes),
// WM_CLOSE from the title bar, WM_SYSCOMMAND for minimise/maximise/restore, and whatever other
// layers send with SendMessage. A control's own chain sees the mouse messages over that control
// first, in the control's coordinates. The layer's own procedure at the end of the chain turns
// WM_CLOSE into EVENT:CloseWindow and lets Qt handle input messages.
//
// Window-event handlers (registerEventHandler) are asked before the layer's default for the window
// events Iconize (548, about to minimise), Iconized (564) and Restore (546, about to restore); a
// handler answering 5 takes the event and the default is skipped.
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/control.h"
#include "platform/ui/prop.h"

class QWidget;

namespace ov::ui {

class WindowManager;
namespace detail {
struct WindowAccess;
}

enum class WindowKind { Normal, Mdi, Frame };

// Adds a folder where icons and pictures named without a folder are looked for (after the
// current folder).
void addImageFolder(std::string folder);

class Window {
 public:
  explicit Window(std::string title = {});
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Attributes (before opening; most also as properties afterwards).
  // Dialog units. An x or y of -1 centres: a called window over its caller, another on the
  // screen, a step down and right for each window shown already (start-up windows cascade).
  Window& at(int x, int y, int w, int h);
  Window& kind(WindowKind k);
  Window& resizable(bool on = true);
  Window& timer(int hundredths);
  Window& alert(int keycode);
  Window& font(std::string_view face, int points);
  Window& statusZones(std::vector<int> widths);   // dialog units; -1 takes the rest
  Window& minSize(int w, int h);                  // dialog units
  Window& iconized(bool on = true);
  Window& hiddenAtOpen(bool on = true);

  WindowKind windowKind() const { return m_kind; }

  // Declaring controls. feq 0 takes the next free positive number; menus, items and toolbar
  // buttons should be given their negative numbers.
  template <class T, class... Args>
  T& add(int feq, Args&&... args) {
    auto c = std::make_unique<T>(std::forward<Args>(args)...);
    T& ref = *c;
    adopt(std::move(c), feq);
    return ref;
  }
  Label& string(std::string name, std::string_view text, int feq = 0);
  Label& sstring(std::string name, std::string_view picture, int feq = 0);
  Prompt& prompt(std::string name, std::string_view text, int feq = 0);
  Entry& entry(std::string name, std::string_view picture, int feq = 0);
  Spin& spin(std::string name, std::string_view picture, int feq = 0);
  TextBox& textBox(std::string name, int feq = 0);
  Check& check(std::string name, std::string_view text, int feq = 0);
  Option& option(std::string name, std::string_view text, int feq = 0);
  Radio& radio(std::string name, std::string_view text, int optionFeq, int feq = 0);
  ListChoice& dropList(std::string name, std::string_view from, int feq = 0);
  ListChoice& combo(std::string name, std::string_view from, int feq = 0);
  ListChoice& dropCombo(std::string name, std::string_view from, int feq = 0);
  Sheet& sheet(std::string name, int feq = 0);
  Tab& tab(std::string name, std::string_view text, int sheetFeq, int feq = 0);
  Group& group(std::string name, std::string_view text, int feq = 0);
  Button& button(std::string name, std::string_view text, int feq = 0);
  Image& image(std::string name, std::string_view file, int feq = 0);
  ProgressBar& progress(std::string name, int feq = 0);
  Region& region(std::string name, int feq = 0);
  MenuControl& menu(std::string name, std::string_view text, int parentMenu = 0, int feq = 0);
  MenuControl& item(std::string name, std::string_view text, int menuFeq, int feq = 0);
  MenuControl& separator(int menuFeq);
  MenuControl& toolbar(std::string name = "?Toolbar", int feq = 0);

  // DESTROY: removes one control (with its view and handle); nothing when there is none.
  void destroyControl(int feq);

  // Finding controls. Names compare without regard to case; 0 or nullptr when there is none.
  Control* control(int feq) const;
  Control* control(std::string_view name) const;
  int feq(std::string_view name) const;
  template <class T>
  T* as(int feq) const { return dynamic_cast<T*>(control(feq)); }
  // The window's fields (positive numbers) in field order.
  std::vector<int> fields() const;
  // Every control, menus and toolbar included, in declaration order.
  std::vector<int> allControls() const;

  // Properties by number; feq 0 is the window itself.
  std::string prop(int feq, int p) const;
  int64_t propInt(int feq, int p) const;
  void setProp(int feq, int p, std::string_view value);
  void setProp(int feq, int p, int64_t value);
  void setProp(int feq, int p, const char* value) { setProp(feq, p, std::string_view(value)); }
  void setProp(int feq, int p, int value) { setProp(feq, p, static_cast<int64_t>(value)); }

  const std::string& title() const { return m_title; }
  void setTitle(std::string_view t);

  // Statements on this window.
  void display(int feq = 0);        // DISPLAY: every bound control, or one
  bool update(int feq = 0);         // UPDATE: false when a field's text does not fit its picture
  void select(int feq);             // SELECT: focus a control (a tab: choose it)
  int focus() const;                // the control with the focus, 0 when none
  int choice(int feq) const;        // CHOICE
  void post(int event, int feq = 0, int keycode = 0);
  void setStatusText(int zone, std::string_view text);
  std::string statusText(int zone) const;
  // A frame's window arrangement over its MDI children: side by side, stacked, and the minimised
  // ones lined up along the bottom of the client area. Nothing on other windows.
  void tileChildren();
  void cascadeChildren();
  void arrangeIcons();
  // How many children the frame's MDI area shows (with minimisedOnly, how many of them are
  // minimised); 0 on other windows.
  int childWindows(bool minimisedOnly = false) const;
  // Calls `update` each time the menu `menuFeq` is about to open, so that its items show what
  // they can do at that moment (greyed where they would do nothing). After Open.
  void onMenuShow(int menuFeq, std::function<void()> update);
  // Whether the control with the keyboard focus takes Cut, Copy and Paste (an entry or a text box).
  static bool focusTakesClipboard();

  // A control is shown when neither it nor any control it lies on is hidden and, on a sheet, its
  // tab is the chosen one.
  bool isShown(int feq) const;
  // Enabled when neither it nor any control it lies on is disabled.
  bool isEnabled(int feq) const;

  // Window-event handlers (see above). Answer 5 to take the event.
  int registerEventHandler(int event, std::function<int()> handler);
  void unregisterEventHandler(int id);

  // State.
  bool isOpen() const { return m_open; }
  int thread() const { return m_thread; }
  WindowManager* manager() const { return m_manager; }
  Handle handle() const { return m_handle; }
  ProcNumber wndProc() const { return m_wndProc; }
  QWidget* view() const;            // the top-level widget (an MDI child's sub-window)
  QWidget* clientView() const;      // the widget the controls lie on

  // Dialog units and pixels in this window's font.
  int dluToPxX(int dlu) const;
  int dluToPxY(int dlu) const;
  int pxToDluX(int px) const;
  int pxToDluY(int px) const;

  // A control's property changed: its view (and the views of the controls on it) follow.
  void controlChanged(Control& c);

  // Resizable windows lay their controls out anew when the user resizes or maximises them, unless
  // the procedure keeps a WindowResizeClass (which turns this off): lists, text boxes and sheets
  // stretch; what lies right of or below one of them moves with the right or bottom edge; an
  // entry that ends where a stretching control below it ends stretches with it. Sizes the program
  // sets itself are taken as they are, controls where the program put them.
  void autoLayout(bool on);
  // The program changed the window's size from fromWidth x fromHeight (dialog units) and the
  // controls follow as they would a user's resize (a size restored from the last session, say).
  void followSize(int fromWidth, int fromHeight);

 private:
  friend struct detail::WindowAccess;
  friend class Control;
  friend class WindowManager;
  friend int activeMdiThread();
  void adopt(std::unique_ptr<Control> c, int feq);
  void open(WindowManager* manager, int thread);
  void destroy();
  void buildView();
  void placeControl(Control& c);
  void syncWindowView();
  void updateTabVisibility();
  void captureLayout();
  void layOut();
  void programResized();
  void placeUnplaced(Window* owner);
  double widthForTexts() const;
  void fitInFrame();
  void firstShow();
  int callEventHandlers(int event);

  std::string m_title;
  WindowKind m_kind = WindowKind::Normal;
  Rect m_rect{-1, -1, 0, 0};
  bool m_resizable = false, m_iconized = false, m_maximized = false, m_hidden = false;
  bool m_pixels = false;
  int m_timer = 0;
  int m_minW = 0, m_minH = 0, m_maxW = 0, m_maxH = 0;
  std::string m_fontName;
  int m_fontSize = 0;
  std::string m_icon;
  std::vector<int> m_alerts;
  std::vector<int> m_zoneWidths;
  std::vector<std::string> m_zoneTexts;
  std::map<int, std::unique_ptr<Control>> m_controls;
  std::vector<int> m_order;          // declaration order of every control
  int m_nextFeq = 1;
  std::map<int, std::pair<int, std::function<int()>>> m_handlers;  // id -> (event, handler)
  int m_nextHandler = 1;
  std::map<int64_t, std::string> m_extraProps;  // properties the layer only keeps
  int m_focus = 0;
  int m_mouseX = 0, m_mouseY = 0;  // the last mouse position, client pixels
  bool m_auto = true;

  bool m_open = false;
  int m_thread = 0;
  WindowManager* m_manager = nullptr;
  Handle m_handle = 0;
  ProcNumber m_wndProc = 0, m_rootProc = 0;
  struct View;
  std::unique_ptr<View> m_view;
};

}  // namespace ov::ui
