// A small window for the tests of the window classes: the test declares its controls, sets up
// the class under test once it is open, and sees its events first.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "platform/rt/fixed_string.h"
#include "platform/rt/queue.h"
#include "platform/rt/record.h"
#include "platform/ui/event.h"
#include "platform/ui/list_control.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/window_manager.h"

namespace ov::winclasses::test {

class TestWindow : public ui::WindowManager {
 public:
  TestWindow() : ui::WindowManager("TestWindow") {}
  std::function<void(ui::Window&)> declare;
  std::function<void()> afterOpen;             // runs with the window current, once it is open
  std::function<ui::Level()> onEvent;          // sees every event before the window layer

  ui::Level Init() override {
    window().setTitle("Test");
    window().at(0, 0, 300, 200);
    if (declare) declare(window());
    Open();
    if (afterOpen) afterOpen();
    return ui::Level::Benign;
  }
  ui::Level TakeEvent() override {
    events.emplace_back(ui::EVENT(), ui::FIELD());
    if (onEvent)
      if (ui::Level l = onEvent(); l != ui::Level::Benign) return l;
    return ui::WindowManager::TakeEvent();
  }
  int count(int event, int field) const {
    return static_cast<int>(std::count(events.begin(), events.end(), std::pair<int, int>{event, field}));
  }
  std::vector<std::pair<int, int>> events;
};

// Starts a TestWindow set up by `prepare` and waits until it is open.
inline ui::test::WindowDriver openTestWindow(ui::test::Driver& d, TestWindow*& out,
                                             std::function<void(TestWindow&)> prepare) {
  d.start([&out, prepare] {
    auto p = std::make_unique<TestWindow>();
    prepare(*p);
    out = p.get();
    return p;
  });
  return d.waitWindow("TestWindow");
}

// A queue of names for lists.
struct NameRow {
  rt::String<20> Name;
};
inline const rt::FieldDesc kNameRowFields[] = {{"Name", rt::FieldType::String, 20, 0, 0}};
inline const rt::RecordDesc kNameRow{"NR", kNameRowFields, 20};

inline void fillNames(rt::Queue<NameRow>& q, std::initializer_list<const char*> names) {
  q.FREE();
  for (const char* n : names) {
    q.buf.Name = n;
    q.ADD();
  }
}

}  // namespace ov::winclasses::test
