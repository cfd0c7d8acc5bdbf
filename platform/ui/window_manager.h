// WindowManager: the window procedure. A window of the system is a class derived from it that
// declares its window and controls in Init, opens it, and reacts to events in the Take* slots.
//
//   class UpdateHolidays : public WindowManager {
//    public:
//     UpdateHolidays() : WindowManager("UpdateHolidays") {}
//     Level Init() override {
//       ... declare controls on window() ...
//       Open();
//       return Level::Benign;
//     }
//     Level TakeAccepted() override {
//       if (FIELD() == m_lookup) { ... }
//       return WindowManager::TakeAccepted();
//     }
//   };
//
//   UpdateHolidays form;                 // called: runs modally on the caller's logical thread
//   int response = form.Run();           // Init, the accept loop in a nested event loop, Kill
//
//   START([] { return std::make_unique<BrowseHolidays>(); });   // started on a thread of its own
//
// Events reach the procedure as TakeEvent, which hands field events to TakeAccepted,
// TakeRejected, TakeSelected, TakeNewSelection and then TakeFieldEvent, window events to
// TakeWindowEvent, and EVENT:Completed to TakeCompleted. A slot answers Level::Notify to take an
// event (the rest of the handling is skipped: the runtime's CYCLE) and Level::Fatal to close the
// window. A close event that no slot takes with Notify closes the window.
//
// Forms: Request (insert, change, delete, view) and Response (completed, cancelled) follow the
// class library: OK runs the accept-all pass (every field gets Accepted once more, in field order,
// with property AcceptAll set; a required field that is empty stops it and gets the focus), then
// EVENT:Completed writes the record through the update file by the request and answers
// completed; Cancel answers cancelled and gives back a reserved auto-number. A change form watches
// its record while it is open: a write over a record that another window, the runner or another
// program changed meanwhile asks the user whether to keep their version or to reload the record.
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/rt/err.h"
#include "platform/ui/event.h"
#include "platform/ui/window.h"

namespace ov::ui {

// The record a form writes on OK (the class library's update file). An adapter over the file
// layer implements it; each call reports its own errors, and a code other than None keeps the
// form open.
class UpdateFile {
 public:
  virtual ~UpdateFile() = default;
  // Prepares the buffer for an insert: cleared (or kept as a copy when keepBuffer) and auto-numbered.
  virtual rt::Err PrimeRecord(bool keepBuffer) = 0;
  virtual rt::Err Insert() = 0;
  virtual rt::Err Change() = 0;
  virtual rt::Err Delete() = 0;
  // A cancelled insert gives back the number PrimeRecord reserved.
  virtual void CancelAutoInc() {}
  // A change form watches its record from the moment it opens until it closes (File::watch), so
  // that its write notices a change that someone else made meanwhile and asks the user about it.
  virtual void Watch(bool /*on*/) {}
};

// An object that takes part in a window's events (toolbar, resizer, browse lists).
class WindowComponent {
 public:
  virtual ~WindowComponent() = default;
  virtual Level TakeEvent() { return Level::Benign; }
  virtual void Reset(bool /*force*/) {}
  virtual void Update() {}
  virtual void SetAlerts() {}
  virtual void Kill() {}
};

class WindowManager {
 public:
  explicit WindowManager(std::string procedureName);
  virtual ~WindowManager();
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;

  // The class library's slots, in its order.
  virtual void Ask();
  virtual Level Init();
  virtual Level Kill();
  virtual void Open();
  virtual void PrimeFields();
  virtual void PrimeUpdate();
  virtual void Reset(bool force = false);
  virtual void RestoreField(int feq);
  virtual int Run();
  virtual int Run(int number, int request);
  virtual void SetAlerts();
  virtual void SetResponse(int response);
  virtual Level TakeAccepted();
  virtual Level TakeCompleted();
  virtual Level TakeCloseEvent();
  virtual Level TakeEvent();
  virtual Level TakeFieldEvent();
  virtual Level TakeNewSelection();
  virtual Level TakeRejected();
  virtual Level TakeSelected();
  virtual Level TakeWindowEvent();
  virtual void Update();

  Window& window() { return m_window; }
  const Window& window() const { return m_window; }
  const std::string& procedureName() const { return m_procedure; }
  void setProcedureName(std::string name) { m_procedure = std::move(name); }

  void AddUpdateFile(UpdateFile& file) { m_updateFile = &file; }
  UpdateFile* updateFile() const { return m_updateFile; }
  void AddItem(WindowComponent& component);
  // The history key (HistoryKey) restores this field through `restore`, then displays it.
  void AddHistoryField(int feq, std::function<void()> restore);

  // True while the OK pass accepts every field once more.
  bool isAcceptAllPass() const { return m_acceptAll; }
  // The accept loop has ended (the window is closing or closed).
  bool isDone() const { return m_done; }
  // Started on a logical thread of its own rather than called.
  bool isStarted() const { return m_started; }

  int Request = 0;
  int OriginalRequest = 0;
  int Response = 0;
  int OkControl = 0;
  int CancelControl = 0;
  int HistoryKey = 0;
  int FirstField = 0;
  bool Opened = false;
  bool Dead = false;

 protected:
  // Runs the accept-all pass; false when a field stopped it.
  bool acceptAll();

 private:
  friend struct detail::WindowAccess;
  friend class Window;
  void endAccept();

  std::string m_procedure;
  uint64_t m_id = 0;
  Window m_window;
  UpdateFile* m_updateFile = nullptr;
  bool m_watching = false;  // the update file watches the record being changed
  std::vector<WindowComponent*> m_components;
  std::vector<std::pair<int, std::function<void()>>> m_history;
  bool m_acceptAll = false;
  bool m_acceptAllStopped = false;
  bool m_done = false;
  bool m_started = false;
  bool m_inLoop = false;
  void* m_loop = nullptr;  // the nested QEventLoop of a called window
};

}  // namespace ov::ui
