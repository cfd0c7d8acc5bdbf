// Logical threads, posted events, modal calls and waits for workers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QPointer>
#include <QWidget>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/event.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "platform/ui/window_manager.h"

using namespace ov::ui;
using ov::ui::test::Driver;
using ov::ui::test::runScript;
using ov::ui::test::WindowDriver;

namespace {

// A window procedure that records every event it gets as "event" or "event:control".
class Probe : public WindowManager {
 public:
  explicit Probe(std::string name, std::vector<std::string>* log = nullptr)
      : WindowManager(std::move(name)), m_log(log) {}
  Level Init() override {
    window().setTitle(procedureName());
    m_ok = window().button("?OK", "OK").at(4, 4, 40, 14).feq();
    Open();
    if (m_postInInit) POST(EVENT::User + 7);
    return Level::Benign;
  }
  Level TakeEvent() override {
    int e = EVENT();
    events.push_back(FIELD() ? std::to_string(e) + ":" + std::to_string(FIELD()) : std::to_string(e));
    if (m_log) m_log->push_back(procedureName() + " " + events.back());
    if (onEvent) onEvent(e);
    return WindowManager::TakeEvent();
  }
  std::vector<std::string> events;
  std::function<void(int)> onEvent;
  bool m_postInInit = false;
  int m_ok = 0;

 private:
  std::vector<std::string>* m_log;
};

bool has(const std::vector<std::string>& v, const std::string& s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

class Runtime : public ::testing::Test {
 protected:
  void SetUp() override { ov::ui::test::application(); }
  void TearDown() override {
    closeAllWindows();
    processEvents();
  }
};

TEST_F(Runtime, StartTakesTheLowestFreeNumberAndRunsSetUpOnTheNextPass) {
  bool initRan = false;
  struct Flagged : Probe {
    Flagged(bool* f) : Probe("Flagged"), flag(f) {}
    Level Init() override {
      *flag = true;
      return Probe::Init();
    }
    bool* flag;
  };
  int first = START([&] { return std::make_unique<Flagged>(&initRan); });
  EXPECT_EQ(first, 2);
  EXPECT_FALSE(initRan) << "set-up must wait for the next pass of the event loop";
  processEvents();
  EXPECT_TRUE(initRan);

  std::vector<int> numbers{first};
  for (int i = 3; i <= kMaxThreads; ++i) numbers.push_back(START([] { return std::make_unique<Probe>("P"); }));
  EXPECT_EQ(numbers.back(), kMaxThreads);
  EXPECT_EQ(START([] { return std::make_unique<Probe>("P"); }), 0) << "all of 2..64 are taken";
  processEvents();

  // Closing thread 5 frees its number for the next START.
  POST(EVENT::CloseWindow, 0, 5);
  processEvents();
  EXPECT_FALSE(isThreadRunning(5));
  EXPECT_EQ(START([] { return std::make_unique<Probe>("P"); }), 5);
}

TEST_F(Runtime, StartCopiesItsArgumentsAtOnce) {
  std::string text = "before";
  struct Titled : Probe {
    explicit Titled(std::string t) : Probe("Titled"), title(std::move(t)) {}
    std::string title;
  };
  Titled* made = nullptr;
  int t = START([&] {
    auto p = std::make_unique<Titled>(text);
    made = p.get();
    return p;
  });
  text = "after";
  processEvents();
  ASSERT_NE(t, 0);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->title, "before");
}

// A closed window's widget is deleted later, after its Window is gone: what still reaches the
// widget meanwhile (activation, a close from the window manager) must not touch the Window.
TEST_F(Runtime, AClosedWindowsWidgetOutlivesItsWindowHarmlessly) {
  struct LateEvents : QObject {
    bool sent = false;
    bool eventFilter(QObject* widget, QEvent* e) override {
      if (e->type() != QEvent::DeferredDelete || sent) return false;
      sent = true;
      QEvent activate(QEvent::WindowActivate);
      QCoreApplication::sendEvent(widget, &activate);
      QCloseEvent close;
      QCoreApplication::sendEvent(widget, &close);
      return false;
    }
  } late;
  Probe* made = nullptr;
  int t = START([&] {
    auto p = std::make_unique<Probe>("Gone");
    made = p.get();
    return p;
  });
  processEvents();
  ASSERT_NE(made, nullptr);
  QPointer<QWidget> view = made->window().view();
  ASSERT_TRUE(view);
  view->installEventFilter(&late);
  POST(EVENT::CloseWindow, 0, t);
  processEvents();
  processEvents();
  EXPECT_FALSE(isThreadRunning(t));
  EXPECT_TRUE(late.sent);
  EXPECT_FALSE(view);
}

TEST_F(Runtime, PostRoutesByThreadAndDropsEventsOfEndedThreads) {
  std::vector<std::string> log;
  Probe* a = nullptr;
  int ta = START([&] {
    auto p = std::make_unique<Probe>("A", &log);
    a = p.get();
    p->m_postInInit = true;  // posted before anyone could deliver it: the window gets it
    return p;
  });
  int tb = START([&] { return std::make_unique<Probe>("B", &log); });
  processEvents();
  EXPECT_TRUE(has(log, "A 1031")) << "an event posted during set-up reaches the window";

  POST(EVENT::User + 1, 0, ta);
  POST(EVENT::User + 2, 0, tb);
  processEvents();
  EXPECT_TRUE(has(log, "A 1025"));
  EXPECT_TRUE(has(log, "B 1026"));
  EXPECT_FALSE(has(log, "A 1026"));

  // A's own handler posting without a thread reaches A itself.
  a->onEvent = [](int e) {
    if (e == EVENT::User + 3) POST(EVENT::User + 4);
  };
  POST(EVENT::User + 3, 0, ta);
  processEvents();
  EXPECT_TRUE(has(log, "A 1028"));

  POST(EVENT::CloseWindow, 0, tb);
  processEvents();
  EXPECT_FALSE(isThreadRunning(tb));
  size_t before = log.size();
  POST(EVENT::User + 5, 0, tb);
  processEvents();
  EXPECT_EQ(log.size(), before) << "an event for an ended thread is dropped";
}

TEST_F(Runtime, CalledWindowHoldsBackTheThreadsEventsButTakesCloseEvents) {
  std::vector<std::string> log;
  int depthInChild = -1;
  runScript([&](Driver& d) {
    int tb = 0;
    Probe* base = nullptr;
    tb = d.start([&] {
      auto p = std::make_unique<Probe>("Base", &log);
      base = p.get();
      return p;
    });
    ASSERT_NE(tb, 0);
    // The base window calls a child on its own thread when asked.
    d.gui([&] {
      base->onEvent = [&](int e) {
        if (e != EVENT::User) return;
        Probe child("Child", &log);
        child.onEvent = [&](int ce) {
          if (ce == EVENT::OpenWindow) depthInChild = modalDepth(THREAD());
        };
        child.Run();
      };
      POST(EVENT::User, 0, tb);
    });
    WindowDriver child = d.waitWindow("Child");
    // From the frame's thread: an ordinary event waits for the base window, a close event
    // goes to the innermost (the called child).
    d.gui([&] { POST(EVENT::User + 9, 0, tb); });
    d.settle();
    EXPECT_FALSE(has(log, "Base 1033")) << "the base window's loop does not run while its child is open";
    EXPECT_FALSE(has(log, "Child 1033"));
    d.gui([&] { POST(EVENT::CloseWindow, 0, tb); });
    d.waitClosed(child);
    d.settle();
    EXPECT_TRUE(has(log, "Base 1033")) << "the held event arrives once the child closed";
    EXPECT_TRUE(d.waitUntil([&] { return isThreadRunning(tb) && modalDepth(tb) == 0; }));
  });
  EXPECT_EQ(depthInChild, 1);
}

// The frame's loop lies below every called window's. When the frame ends while a window of
// another thread sits in called windows (a list showing its graph, which shows a box of its own),
// those close, innermost first, and the frame's Run returns: the program is not left running.
TEST_F(Runtime, FrameEndingClosesTheCalledWindowsAboveItsLoop) {
  std::vector<std::string> log;
  struct FrameProbe : Probe {
    FrameProbe(std::vector<std::string>* log) : Probe("Frame", log) {}
    Level Init() override {
      window().kind(WindowKind::Frame).at(-1, -1, 300, 200);
      return Probe::Init();
    }
  };
  // Each called window calls the next one once it is open; the last one tells the frame to close.
  std::function<void(int)> callNext = [&](int depth) {
    Probe called("Called" + std::to_string(depth), &log);
    called.onEvent = [&, depth](int e) {
      if (e != EVENT::OpenWindow) return;
      if (depth < 2)
        callNext(depth + 1);
      else
        POST(EVENT::CloseWindow, 0, kFrameThread);
    };
    called.Run();
  };
  int listThread = 0;
  bool timedOut = false;
  FrameProbe frame(&log);
  frame.onEvent = [&](int e) {
    if (e != EVENT::OpenWindow) return;
    listThread = START([&] {
      auto list = std::make_unique<Probe>("List", &log);
      list->onEvent = [&](int le) {
        if (le == EVENT::OpenWindow) callNext(1);
      };
      return list;
    });
  };
  // Should the frame's loop never return, the watchdog ends the loops, one a round, so that the
  // test reports it.
  QTimer watchdog;
  watchdog.setInterval(3000);
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    timedOut = true;
    closeAllWindows();
  });
  watchdog.start();
  (void)frame.Run();
  watchdog.stop();
  EXPECT_FALSE(timedOut) << "the frame's Run did not return";
  processEvents();
  EXPECT_TRUE(has(log, "Called2 " + std::to_string(EVENT::CloseDown)));
  EXPECT_TRUE(has(log, "Called1 " + std::to_string(EVENT::CloseDown)));
  const auto closedAt = [&](const std::string& entry) { return std::find(log.begin(), log.end(), entry) - log.begin(); };
  EXPECT_LT(closedAt("Called2 " + std::to_string(EVENT::CloseDown)),
            closedAt("Called1 " + std::to_string(EVENT::CloseDown)))
      << "the innermost closes first";
  ASSERT_NE(listThread, 0);
  EXPECT_FALSE(isThreadRunning(listThread)) << "the list that called them closed as well";
}

TEST_F(Runtime, TimerEventsDoNotPileUpWhileAHandlerIsBusy) {
  // A window whose handler sits in a worker wait receives none of its events meanwhile; the
  // window's own timer queues one Timer event at most.
  std::vector<std::string> log;
  Probe* p = nullptr;
  std::thread::id workerId;
  int ticksDuringWait = -1;
  runScript([&](Driver& d) {
    d.start([&] {
      auto pr = std::make_unique<Probe>("Timed", &log);
      p = pr.get();
      return pr;
    });
    d.waitWindow("Timed");
    d.gui([&] {
      p->window().timer(1);  // 10 ms
      p->onEvent = [&](int e) {
        if (e != EVENT::User) return;
        int thread = THREAD();
        waitForWorker([&, thread] {
          workerId = std::this_thread::get_id();
          postFromWorker(EVENT::User + 5, 0, thread);  // what a worker may do: post
          std::this_thread::sleep_for(std::chrono::milliseconds(150));
        });
        p->window().timer(0);
        ticksDuringWait = static_cast<int>(std::count(p->events.begin(), p->events.end(), "523"));
      };
    });
    d.gui([&] { p->window().post(EVENT::User); });
    EXPECT_TRUE(d.waitUntil([&] { return ticksDuringWait >= 0; }));
    d.settle();
    int ticksAfter = 0;
    d.gui([&] { ticksAfter = static_cast<int>(std::count(p->events.begin(), p->events.end(), "523")); });
    EXPECT_EQ(ticksAfter - ticksDuringWait, 1) << "150 ms of 10 ms ticks collapse into one held event";
    d.gui([&] { EXPECT_TRUE(has(p->events, "1029")) << "the worker's event arrived"; });
  });
  EXPECT_NE(workerId, std::this_thread::get_id());
}

TEST_F(Runtime, PressKeyTypesIntoTheFocusedControlOnceTheHandlerReturns) {
  struct Typing : WindowManager {
    Typing() : WindowManager("Typing") {}
    Level Init() override {
      entry = window().entry("?E", "@s10").at(4, 4, 60, 12).feq();
      Open();
      return Level::Benign;
    }
    Level TakeEvent() override {
      if (EVENT() == EVENT::User) {
        SELECT(entry);
        PRESSKEY('X');
        PRESSKEY(Key::Enter);
        typedDuringHandler = window().control(entry)->screenText();
      }
      if (EVENT() == EVENT::Accepted) acceptedKey = KEYCODE();
      return WindowManager::TakeEvent();
    }
    int entry = 0, acceptedKey = 0;
    std::string typedDuringHandler = "?";
  };
  Typing* t = nullptr;
  runScript([&](Driver& d) {
    d.start([&] {
      auto p = std::make_unique<Typing>();
      t = p.get();
      return p;
    });
    WindowDriver w = d.waitWindow("Typing");
    w.post(EVENT::User);
    EXPECT_TRUE(d.waitUntil([&] { return t->acceptedKey != 0; }));
    EXPECT_EQ(t->typedDuringHandler, "");
    EXPECT_EQ(w.text("?E"), "x");
    EXPECT_EQ(t->acceptedKey, Key::Enter);
  });
}

}  // namespace
