// Internal: the thread table, event queues, handle and procedure registries. Other folders never
// include it.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/rt/thread_data.h"
#include "platform/ui/runtime.h"

class QRect;
class QWidget;
class QObject;

namespace ov::ui::detail {

enum class TargetKind { Manager, Innermost, Base };

struct Posted {
  int event = 0;
  int control = 0;
  int keycode = 0;
  TargetKind kind = TargetKind::Manager;
  uint64_t manager = 0;  // id of the target procedure (TargetKind::Manager)
};

struct ThreadSlot {
  bool used = false;
  bool initPending = false;
  int initializing = 0;                       // procedures of this thread inside Init
  std::vector<Window*> stack;                 // open windows, innermost last
  std::unique_ptr<WindowManager> started;     // the procedure START created
  std::deque<Posted> queue;
  int modal = 0;
  int lastKeycode = 0;
  int lastKeychar = 0;
};

struct Context {
  int thread = kFrameThread;
  WindowManager* manager = nullptr;
  int event = 0;
  int field = 0;
  int keycode = 0;
};

// Runs a Qt callback of a window's control (an entry accepted, a box checked, a tab changed) on the
// window's logical thread, so that what it writes to its USE variable lands in that thread's
// record buffer.
class ThreadScope {
 public:
  explicit ThreadScope(int thread);
  ~ThreadScope();
  ThreadScope(const ThreadScope&) = delete;
  ThreadScope& operator=(const ThreadScope&) = delete;
};

// What the runtime keeps of a procedure besides the procedure itself.
struct ManagerState {
  WindowManager* manager = nullptr;
  int busy = 0;          // handlers of it are running
  bool initializing = false;
};

class Runtime {
 public:
  static Runtime& get();

  ThreadSlot& slot(int thread);
  int currentThread() const;
  const Context* context() const { return m_contexts.empty() ? nullptr : &m_contexts.back(); }
  Context* context() { return m_contexts.empty() ? nullptr : &m_contexts.back(); }
  // Entering and leaving code run for a logical thread: the thread's record buffers and file
  // positions become the resident ones (rt::makeResident; nothing when they already are).
  void pushContext(Context c) {
    m_contexts.push_back(c);
    rt::makeResident(c.thread);
  }
  void popContext() {
    m_contexts.pop_back();
    rt::makeResident(currentThread());
  }

  // Procedures.
  uint64_t registerManager(WindowManager* m);
  void unregisterManager(uint64_t id);
  WindowManager* manager(uint64_t id) const;
  ManagerState* state(uint64_t id);

  // Handles.
  Handle newHandle(Window* w, int feq);
  void releaseHandle(Handle h);
  bool resolveHandle(Handle h, Window*& w, int& feq) const;

  // Procedures of the message chains.
  ProcNumber registerProc(WindowProcFn fn);
  void unregisterProc(ProcNumber p);
  ProcNumber procNumber(WindowProcPtr fn);
  const WindowProcFn* proc(ProcNumber p) const;

  // Events.
  void post(Posted p, int thread);
  void postFromWorker(int event, int control, int thread);
  void schedule();
  void dispatch();
  void startPending(int thread);
  void finishStarted(int thread);
  // Ends every started procedure whose accept loop has ended and whose handlers have returned.
  void reap();
  void scheduleReap();
  void windowOpened(Window& w);
  void windowClosed(Window& w);
  // The application frame's accept loop has ended: the program ends once every called window
  // whose loop runs above the frame's has closed, so every window of the other threads is told to
  // close down, one after the other, innermost first.
  void frameEnding(int frameThread);
  void closeAll();

  bool forcingClose() const { return m_forcing; }
  // An event could be delivered now, or a started procedure waits for its set-up.
  bool hasPendingWork();

 private:
  Runtime() = default;
  bool deliverOne();
  Window* resolve(const Posted& p, int thread, bool& drop);

  ThreadSlot m_slots[kMaxThreads + 1];
  std::vector<Context> m_contexts;
  std::map<uint64_t, ManagerState> m_managers;
  uint64_t m_nextManager = 1;
  std::map<Handle, std::pair<Window*, int>> m_handles;
  Handle m_nextHandle = 0x1000;
  std::map<ProcNumber, WindowProcFn> m_procs;
  std::map<WindowProcPtr, ProcNumber> m_procPtrs;
  ProcNumber m_nextProc = 0x2000;
  bool m_scheduled = false;
  bool m_forcing = false;
  bool m_frameEnding = false;
  std::mutex m_workerMutex;
  std::vector<std::tuple<int, int, int>> m_workerPosts;
};

// Access to the private parts of windows and procedures for the layer's own units.
struct WindowAccess {
  static uint64_t id(const WindowManager& m);
  static void setStarted(WindowManager& m) { m.m_started = true; }
  static void endAccept(WindowManager& m) { m.endAccept(); }
  static bool& acceptAllStopped(WindowManager& m) { return m.m_acceptAllStopped; }
  static bool acceptAllRunning(const WindowManager& m) { return m.m_acceptAll; }
  static void open(Window& w, WindowManager* m, int thread) { w.open(m, thread); }
  static void destroy(Window& w) { w.destroy(); }
  static ProcNumber rootProc(const Window& w) { return w.m_rootProc; }
  static ProcNumber rootProc(const Control& c) { return c.m_rootProc; }
  static void setWndProc(Control& c, ProcNumber p) { c.m_wndProc = p; }
  static const std::vector<int>& alerts(const Window& w) { return w.m_alerts; }
  static const std::vector<int>& alerts(const Control& c) { return c.m_alerts; }
  static int callEventHandlers(Window& w, int event) { return w.callEventHandlers(event); }
  static void autoDisplay(Window& w);
  static void setMouse(Window& w, int x, int y) { w.m_mouseX = x; w.m_mouseY = y; }
  static std::pair<int, int> mouse(const Window& w) { return {w.m_mouseX, w.m_mouseY}; }
  static bool autoOn(const Window& w) { return w.m_auto; }
  // The window's view changed size: by the user or the window manager, or by the program.
  static void resized(Window& w);
  static void moved(Window& w);
};

// The window that owns a widget (the widget itself or one of its ancestors is a window's view),
// and the control whose view holds it (0 when none).
Window* windowOfWidget(const QWidget* widget, int* feq = nullptr);

// Called when a widget gets the focus: posts EVENT:Selected to its control.
void installInputFilter();

// The application frame, when one is open.
Window* frameWindow();

// Where a top-level window's frame lies on the screen. The toolkit keeps the frame's margins it
// read while the window manager was still framing the window (seen: a frame of 1 x 1 around a
// whole window), and goes on placing the window by them; this reads them again from the window
// manager once the window is shown, and sets the toolkit right when they differ. A window not
// shown yet has no frame: its own rectangle.
QRect frameRect(QWidget* top);

// Pictures for the USE variables of controls.
std::string formatValue(const Binding& b, std::string_view picture);
bool deformatValue(Binding& b, std::string_view text, std::string_view picture);

}  // namespace ov::ui::detail
