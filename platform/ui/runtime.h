// Logical threads, posted events and the runtime's statements on the current window.
//
// The runtime ran every window procedure on a numbered thread of its own under one global lock.
// Here one Qt GUI thread runs them all; a logical thread is a number (1 is the application frame,
// 2..64 are started windows) with its own stack of open windows and its own event queue:
//
// - START(proc) takes the lowest free number from 2 to 64, creates the procedure object at once
//   (arguments captured by value in the factory are copies) and runs its set-up on the next pass of
//   the event loop. The thread ends when the procedure's window closes, and its record buffers
//   and file positions with it.
// - A procedure that is called (WindowManager::Run) opens its window on the caller's thread and runs
//   its accept loop in a nested event loop; the thread's modal depth counts such loops (message
//   boxes, dialogs and waits for workers count too). Nested loops unwind last-in-first-out, also
//   across logical threads.
// - POST(event, control, thread) queues an event. Without a thread, or to the poster's own thread,
//   it goes to the current window. To another thread: EVENT:CloseWindow and EVENT:CloseDown go to
//   its innermost window, any other event to the window the thread was started with, and waits
//   there while a called window of that thread is open (so a frame that sits in a modal call gets
//   no timer step). Events for a thread that has ended are dropped.
// - A window receives one event at a time: events for a window whose handler is still running (it
//   shows a message box, say) wait until the handler returns.
//
// Record buffers and file positions belong to a logical thread (doc/logical_threads.md). The
// globals hold those of the resident thread; whenever the runtime starts or stops running code
// for a thread (an event delivered, a set-up, a control's input, a nested loop entered or left)
// that thread becomes resident (rt::makeResident), which parks the others' record buffers and
// file positions. A called procedure runs on its caller's thread and shares its buffers; START
// gives the new thread a copy of the starter's record buffers. Code that a nested loop runs
// outside any handler, and code outside every window, runs as thread 1. A switch costs a copy of
// each file's record buffer; staying on one thread costs nothing.
//
// Long waits (a mail server, a program to end) run on a worker thread through waitForWorker; the
// GUI thread waits in a nested loop meanwhile. Worker code never touches windows, record buffers
// or the runtime's globals.
//
// Threading: every function here is for the GUI thread, except postFromWorker.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/window_manager.h"

namespace ov::ui {

constexpr int kFrameThread = 1;
constexpr int kMaxThreads = 64;

using ProcFactory = std::function<std::unique_ptr<WindowManager>()>;

// Starts a window procedure on a new logical thread; returns its number, or 0 when all of 2..64
// are taken (nothing is started then). `stack` is accepted for the callers' sake and not used.
int START(ProcFactory factory, int stack = 0);
int THREAD();
// Queues an event (see above). thread 0 = the current thread.
void POST(int event, int control = 0, int thread = 0);
// Queues an event from any OS thread (used by worker-side code); delivered as POST to `thread`.
void postFromWorker(int event, int control, int thread);

// Properties of the runtime itself (the SYSTEM object), by number (prop.h); "" when not set.
std::string systemProp(int p);
void setSystemProp(int p, std::string_view value);

bool isThreadRunning(int thread);
int modalDepth(int thread);
// The thread's windows, innermost last.
std::vector<Window*> threadWindows(int thread);
// Every open window of the process.
std::vector<Window*> openWindows();

// The current window: the one whose event or procedure is running; else the innermost window of
// the current thread; nullptr when there is none.
Window* currentWindow();

// The control of the event being handled (EVENT() in event.h gives the event) and its key code.
int FIELD();
int KEYCODE();
void SETKEYCODE(int code);
// The character of the last key (0 when it has none; Backspace, Tab, Enter and Esc give 8, 9, 13
// and 27) and the Shift, Ctrl and Alt bits (Key::Shift...) held with it.
int KEYCHAR();
int KEYSTATE();
// Where the mouse was at the last mouse or wheel event over the current window: client
// coordinates in dialog units (pixels while the window's Pixels property is on).
int MOUSEX();
int MOUSEY();
// The control of an Accepted, Selected or NewSelection event, 0 otherwise.
int ACCEPTED();
int SELECTED();
int FOCUS();
int CHOICE(int feq);
void SELECT(int feq);
void DISPLAY(int feq = 0);
bool UPDATE(int feq = 0);
// Puts a key into the current window's keyboard buffer: the control with the focus receives it as
// if typed (Enter and Tab complete an entry; other keys go to the widget).
void PRESSKEY(int keycode);

// Runs `work` on a worker thread and waits for it in a nested event loop on the current logical
// thread. `work` must not touch windows or runtime globals.
void waitForWorker(std::function<void()> work);

// Counts a nested event loop (a dialog's exec, a wait) in the modal depth of a logical thread
// for as long as it lives. thread 0 = the current thread. Code that the nested loop runs outside
// any handler (queued calls, Qt timers) sees THREAD() 1 and no current procedure, as at the top.
class ModalScope {
 public:
  explicit ModalScope(int thread = 0);
  ~ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  int m_thread;
};

// Delivers every event that can be delivered now and runs queued set-ups (tests and waits use it).
void processEvents();

// Closes every window (innermost first on each thread) and ends every thread: for the end of a
// program or of a test. A called window whose Run() lies below the caller on the stack ends its
// loop here and closes once the stack unwinds to it.
void closeAllWindows();

}  // namespace ov::ui
