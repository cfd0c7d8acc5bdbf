// Record forms: the accept-all pass of OK, requests and answers through the update file, the
// history key, window timers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/rt/fixed_string.h"
#include "platform/ui/event.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "platform/ui/window_manager.h"

using namespace ov::ui;
using ov::ui::test::Driver;
using ov::ui::test::runScript;
using ov::ui::test::ScriptedHost;
using ov::ui::test::WindowDriver;

namespace {

struct Record {
  ov::rt::String<10> A, B, C;
};

// Counts what the form asks of its file; Insert fails while `refuse` is set.
class CountingFile : public UpdateFile {
 public:
  int primed = 0, inserted = 0, changed = 0, deleted = 0, cancelled = 0;
  bool refuse = false;
  ov::rt::Err PrimeRecord(bool) override {
    ++primed;
    return ov::rt::Err::None;
  }
  ov::rt::Err Insert() override {
    if (refuse) return ov::rt::Err::DupKey;
    ++inserted;
    return ov::rt::Err::None;
  }
  ov::rt::Err Change() override {
    ++changed;
    return ov::rt::Err::None;
  }
  ov::rt::Err Delete() override {
    ++deleted;
    return ov::rt::Err::None;
  }
  void CancelAutoInc() override { ++cancelled; }
};

class Form : public WindowManager {
 public:
  Form(int request, Record& rec, CountingFile& file) : WindowManager("Form"), m_rec(rec), m_file(file) {
    Request = request;
  }
  Level Init() override {
    AddUpdateFile(m_file);
    if (Request == InsertRecord) m_file.PrimeRecord(false);
    Window& w = window();
    w.setTitle("Form");
    a = w.entry("?A", "@s10").at(4, 4, 60, 12).use(m_rec.A).feq();
    b = w.entry("?B", "@s10").at(4, 20, 60, 12).use(m_rec.B).required().feq();
    c = w.entry("?C", "@s10").at(4, 36, 60, 12).use(m_rec.C).feq();
    OkControl = w.button("?OK", "OK").at(4, 52, 40, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(50, 52, 40, 14).feq();
    HistoryKey = Key::ctrl(Key::Quote);
    AddHistoryField(a, [this] { m_rec.A = "previous"; });
    Open();
    return Level::Benign;
  }
  Level TakeAccepted() override {
    int f = ACCEPTED();
    if (f == a || f == b || f == c) {
      accepted.push_back(window().control(f)->name() + (window().prop(0, Prop::AcceptAll) == "1" ? "*" : ""));
      // A reaction that sends the user back stops the pass.
      if (f == c && m_rec.C == "back") SELECT(a);
    }
    return WindowManager::TakeAccepted();
  }
  std::vector<std::string> accepted;
  int a = 0, b = 0, c = 0;

 private:
  Record& m_rec;
  CountingFile& m_file;
};

class Forms : public ::testing::Test {
 protected:
  void SetUp() override { ov::ui::test::application(); }
};

TEST_F(Forms, OkAcceptsEveryFieldOnceMoreAndStopsAtAnEmptyRequiredOne) {
  ScriptedHost host;
  Record rec;
  CountingFile file;
  int response = -1;
  std::vector<std::string> accepted;
  runScript([&](Driver& d) {
    d.later([&] {
      Form f(InsertRecord, rec, file);
      response = f.Run();
      accepted = f.accepted;
    });
    WindowDriver w = d.waitWindow("Form");
    w.enter("?A", "one");
    w.press("OK");
    EXPECT_TRUE(w.isOpen()) << "B is required and empty";
    EXPECT_EQ(w.focus(), 2);
    EXPECT_EQ(file.inserted, 0);

    w.type("?B", "two");  // typed, not yet accepted: OK takes the typed text
    w.enter("?C", "back");
    w.press("OK");
    EXPECT_TRUE(w.isOpen()) << "C's reaction selected A: the pass stops";
    EXPECT_EQ(w.focus(), 1);

    w.enter("?C", "three");
    w.press("OK");
    d.waitClosed(w);
  });
  EXPECT_EQ(response, RequestCompleted);
  EXPECT_EQ(file.primed, 1);
  EXPECT_EQ(file.inserted, 1);
  EXPECT_EQ(rec.B.str(), "two");
  EXPECT_EQ(accepted, (std::vector<std::string>{"?A",                          // typed by the user
                                                "?A*",                         // first OK: stops at B
                                                "?B",                          // left for C: accepted
                                                "?C", "?A*", "?B*", "?C*",     // second OK: C sends back
                                                "?C", "?A*", "?B*", "?C*"}));  // third OK: written
}

struct RequestCase {
  const char* name;
  int request;
  bool pressOk;
  int response, inserted, changed, deleted, cancelled;
};
const RequestCase kRequests[] = {
    {"insert, OK", InsertRecord, true, RequestCompleted, 1, 0, 0, 0},
    {"insert, Cancel gives the number back", InsertRecord, false, RequestCancelled, 0, 0, 0, 1},
    {"change, OK", ChangeRecord, true, RequestCompleted, 0, 1, 0, 0},
    {"change, Cancel", ChangeRecord, false, RequestCancelled, 0, 0, 0, 0},
    {"delete, OK confirms", DeleteRecord, true, RequestCompleted, 0, 0, 1, 0},
};

TEST_F(Forms, TheRequestDecidesWhatOkWrites) {
  ScriptedHost host;
  for (const RequestCase& c : kRequests) {
    SCOPED_TRACE(c.name);
    Record rec;
    rec.B = "filled";
    CountingFile file;
    int response = -1;
    runScript([&](Driver& d) {
      d.later([&] {
        Form f(c.request, rec, file);
        response = f.Run();
      });
      WindowDriver w = d.waitWindow("Form");
      w.press(c.pressOk ? "OK" : "Cancel");
      d.waitClosed(w);
    });
    EXPECT_EQ(response, c.response);
    EXPECT_EQ(file.inserted, c.inserted);
    EXPECT_EQ(file.changed, c.changed);
    EXPECT_EQ(file.deleted, c.deleted);
    EXPECT_EQ(file.cancelled, c.cancelled);
  }
}

TEST_F(Forms, AFailedWriteKeepsTheFormOpenAndTheTitleBarCloseCancels) {
  ScriptedHost host;
  Record rec;
  rec.B = "filled";
  CountingFile file;
  file.refuse = true;
  int response = -1;
  runScript([&](Driver& d) {
    d.later([&] {
      Form f(InsertRecord, rec, file);
      response = f.Run();
    });
    WindowDriver w = d.waitWindow("Form");
    w.press("OK");
    EXPECT_TRUE(w.isOpen());
    w.close();
    d.waitClosed(w);
  });
  EXPECT_EQ(response, RequestCancelled);
  EXPECT_EQ(file.cancelled, 1) << "closing an insert gives the reserved number back";
}

TEST_F(Forms, TheHistoryKeyRestoresTheFieldWithTheFocus) {
  ScriptedHost host;
  Record rec;
  CountingFile file;
  runScript([&](Driver& d) {
    d.later([&] {
      Form f(ChangeRecord, rec, file);
      f.Run();
    });
    WindowDriver w = d.waitWindow("Form");
    w.key("?A", Key::ctrl(Key::Quote));
    EXPECT_EQ(w.text("?A"), "previous");
    w.press("Cancel");
  });
}

TEST_F(Forms, AWindowTimerPostsTimerEvents) {
  ScriptedHost host;
  struct Ticking : WindowManager {
    Ticking() : WindowManager("Ticking") {}
    Level Init() override {
      window().timer(2);  // 20 ms
      window().string("?S", "tick").at(4, 4, 40, 10);
      Open();
      return Level::Benign;
    }
    Level TakeWindowEvent() override {
      if (EVENT() == EVENT::Timer) ++ticks;
      return WindowManager::TakeWindowEvent();
    }
    int ticks = 0;
  };
  Ticking* t = nullptr;
  runScript([&](Driver& d) {
    d.start([&] {
      auto p = std::make_unique<Ticking>();
      t = p.get();
      return p;
    });
    WindowDriver w = d.waitWindow("Ticking");
    EXPECT_TRUE(d.waitUntil([&] { return t->ticks >= 3; }));
    d.gui([&] { t->window().setProp(0, Prop::Timer, 0); });
    int stopped = 0;
    d.gui([&] { stopped = t->ticks; });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    d.settle();
    d.gui([&] { EXPECT_LE(t->ticks - stopped, 1) << "no ticks after the timer was switched off"; });
    // Tests step a window's timer themselves.
    int before = 0;
    d.gui([&] { before = t->ticks; });
    w.tick(3);
    d.gui([&] { EXPECT_EQ(t->ticks - before, 3); });
  });
}

}  // namespace
