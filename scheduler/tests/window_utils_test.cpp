// Routines the program's windows share: the user's date and time pictures in list columns, the
// picture window fitted to its picture, the mouse-button hook, the cut at a separator, and the
// error manager's messages.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "datalib/globals.h"
#include "platform/files/error_class.h"
#include "platform/ui/list_control.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/window_manager.h"
#include "scheduler/program_errors.h"
#include "scheduler/tests/recording_host.h"
#include "scheduler/window_utils.h"

namespace ov::scheduler {
namespace {

TEST(ListPictures, DateAndTimePicturesBecomeTheUsersChoice) {
  struct Case {
    const char* name;
    const char* format;
    const char* code;  // nullptr: the time pictures
    const char* want;
  };
  const Case cases[] = {
      {"no date picture: unchanged", "80L~Name~@s20@40R~Amount~@n10.2@", "d17", "80L~Name~@s20@40R~Amount~@n10.2@"},
      {"two date columns, both in order", "40L~Date~@d17@40L~Due~@d17@", "d17", "40L~Date~@d7@40L~Due~@d7@"},
      {"code and picture in either case", "40L~Date~@D17@40L~Due~@d17@", "D17", "40L~Date~@d7@40L~Due~@d7@"},
      {"another date picture stays", "40L~Date~@d17@40L~Born~@d2@", "d17", "40L~Date~@d7@40L~Born~@d2@"},
      {"no closing @ ends the rewriting", "40L~Date~@d17@40L~Due~@d17", "d17", "40L~Date~@d7@40L~Due~@d17"},
      {"empty code: every date picture", "40L~Date~@d17@40L~Born~@d2@", "", "40L~Date~@d7@40L~Born~@d7@"},
      {"time pictures", "40L~Date~@d17@30R~At~@t1@30R~Till~@T3@", nullptr, "40L~Date~@d17@30R~At~@t7b@30R~Till~@t7b@"},
      {"no time picture: unchanged", "40L~Date~@d17@", nullptr, "40L~Date~@d17@"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.code ? applyDatePicture(c.format, c.code, "d7") : applyTimePicture(c.format, "t7b"), c.want);
  }
  // A chosen picture longer than the one it replaces.
  EXPECT_EQ(applyDatePicture("40L~A~@d17@40L~B~@d17@", "d17", "d18"), "40L~A~@d18@40L~B~@d18@");
}

TEST(ListPictures, ListColumnsTakeTheConfiguredPictures) {
  files::FORMAT.DATE = "d2";
  files::FORMAT.TIME = "";
  ui::Window w;
  ui::ListControl& list = w.add<ui::ListControl>(0, "?List");
  ASSERT_TRUE(list.setFormat("40L~Date~@d17@30R~At~@t3@"));
  ApplyDatePicture(w, list.feq(), "d17");
  ApplyTimePicture(w, list.feq());
  ui::ListControl want("?Want");
  ASSERT_TRUE(want.setFormat("40L~Date~@d2@30R~At~@t7b@"));
  EXPECT_EQ(w.prop(list.feq(), ui::Prop::Format), want.prop(ui::Prop::Format)) << "blank time setting: t7b";
}

TEST(FitWindowToControl, MovesTheOtherControlsByTheRatiosAndTakesThePicturesSize) {
  ui::Window w;
  w.at(0, 0, 150, 90);
  const int picture = w.image("?Logo", "").at(0, 0, 100, 60).feq();
  const int a = w.string("?Version", "3.42").at(30, 12, 20, 8).feq();
  const int b = w.button("?OK", "&OK").at(34, 14, 20, 8).feq();
  FitRecord r;
  FitWindowToControl(w, r, picture);
  EXPECT_EQ(r.control, picture);
  EXPECT_EQ(r.width, 100);
  EXPECT_EQ(r.height, 60);
  EXPECT_DOUBLE_EQ(r.widthRatio, 1.5);
  // x / 1.5 - (width / 2) * 0.5; y / 1.5 - (height / 2) * 0.5; rounded.
  EXPECT_EQ(w.propInt(a, ui::Prop::Xpos), 15);
  EXPECT_EQ(w.propInt(a, ui::Prop::Ypos), 6);
  EXPECT_EQ(w.propInt(b, ui::Prop::Xpos), 18);  // 17.67
  EXPECT_EQ(w.propInt(b, ui::Prop::Ypos), 7);   // 7.33
  EXPECT_EQ(w.propInt(picture, ui::Prop::Xpos), 0) << "the picture itself stays";
  EXPECT_EQ(w.propInt(0, ui::Prop::Width), 100);
  EXPECT_EQ(w.propInt(0, ui::Prop::Height), 60);
}

TEST(FitWindowToControl, NearlyFittingOrEmptyPictureChangesNothing) {
  struct Case {
    const char* name;
    int windowWidth, pictureWidth, pictureHeight;
  };
  const Case cases[] = {{"ratio 1.01", 101, 100, 50}, {"ratio 0.98", 98, 100, 50}, {"no width", 200, 0, 50}, {"no height", 200, 100, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui::Window w;
    w.at(0, 0, c.windowWidth, 80);
    const int picture = w.image("?Logo", "").at(0, 0, c.pictureWidth, c.pictureHeight).feq();
    const int other = w.string("?Version", "3.42").at(40, 30, 20, 8).feq();
    FitRecord r;
    FitWindowToControl(w, r, picture);
    EXPECT_EQ(w.propInt(0, ui::Prop::Width), c.windowWidth);
    EXPECT_EQ(w.propInt(0, ui::Prop::Height), 80);
    EXPECT_EQ(w.propInt(other, ui::Prop::Xpos), 40);
    EXPECT_EQ(w.propInt(other, ui::Prop::Ypos), 30);
  }
}

class HookedWindow : public ui::WindowManager {
 public:
  HookedWindow() : WindowManager("Splash") {}
  ui::Level Init() override {
    ui::Window& w = window();
    w.at(0, 0, 120, 80);
    picture = w.region("?Picture").at(0, 0, 120, 80).feq();
    Open();
    // A procedure of the control's own, installed before the hook, counts what reaches it.
    counter = ui::registerWindowProc([this](ui::Handle h, uint32_t msg, ui::WPARAM wp, ui::LPARAM lp) {
      ++seen;
      return ui::CallWindowProc(former, h, msg, wp, lp);
    });
    former = ui::ProcNumber(w.propInt(picture, ui::Prop::WndProc));
    w.setProp(picture, ui::Prop::WndProc, counter);
    hook.install(w, picture);
    return ui::Level::Benign;
  }
  ui::Level Kill() override {
    hook.remove();
    ui::unregisterWindowProc(counter);
    return WindowManager::Kill();
  }
  ui::Level TakeEvent() override {
    if (ui::EVENT() >= ui::EVENT::User) events.push_back({int(ui::EVENT()), ui::FIELD()});
    return WindowManager::TakeEvent();
  }
  MouseButtonSubclassProc hook;
  int picture = 0, seen = 0;
  ui::ProcNumber counter = 0, former = 0;
  std::vector<std::pair<int, int>> events;
};

TEST(MouseButtonHook, ButtonsOnTheControlBecomeWindowEventsAfterTheControlSawThem) {
  HookedWindow* probe = nullptr;
  ui::test::runScript([&](ui::test::Driver& d) {
    d.start([&] {
      auto p = std::make_unique<HookedWindow>();
      probe = p.get();
      return p;
    });
    ui::test::WindowDriver w = d.waitWindow("Splash");
    d.gui([&] {
      const ui::Handle control = ui::Handle(probe->window().propInt(probe->picture, ui::Prop::Handle));
      for (uint32_t msg : {ui::WM::LButtonDown, ui::WM::LButtonUp, ui::WM::MouseMove, ui::WM::RButtonDown, ui::WM::RButtonUp})
        (void)ui::SendMessage(control, msg, 0, 0);
    });
    d.settle();
    d.gui([&] {
      EXPECT_EQ(probe->seen, 5) << "every message still reaches the control";
      EXPECT_EQ(probe->events, (std::vector<std::pair<int, int>>{{1024, 0}, {1025, 0}, {1026, 0}, {1027, 0}}));
    });
    w.close();
    d.waitClosed(w);
  });
}

TEST(TextBeforeSeparator, CutsAtTheFirstSeparatorAndClips) {
  struct Case {
    const char* text;
    const char* separator;
    const char* want;
  };
  const Case cases[] = {
      {"C:\\A.TXT|x", "|", "C:\\A.TXT"},  {"C:\\A.TXT  ", "|", "C:\\A.TXT"}, {"a|b|c", "|", "a"},
      {"|leading", "|", ""},             {"  two words", " ", ""},          {"name  |x", "|", "name"},
      {"Contacts list", " ", "Contacts"}, {"text", "", "text"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TextBeforeSeparator(c.text, c.separator), c.want);
  }
}

TEST(ProgramErrors, FileErrorsAreShownInAMessageBoxAndKeepTheirLevel) {
  testing::RecordingHost host;
  ProgramErrors errors;
  errors.SetFile("Schedule [Schedule]");
  EXPECT_EQ(errors.Throw(db::Msg::RecordNotFound), db::Level::Notify);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].title, "Record Error");
  EXPECT_EQ(host.messages[0].text, "The record was not found in Schedule [Schedule].");
  EXPECT_EQ(host.messages[0].icon, ui::Icon::Exclamation);
  EXPECT_EQ(errors.ThrowFile(db::Msg::OpenFailed, "Contacts|Old"), db::Level::Fatal);
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[1].icon, ui::Icon::Hand);
  EXPECT_NE(host.messages[1].text.find("Contacts|Old could not be opened"), std::string::npos);
}

}  // namespace
}  // namespace ov::scheduler
