// Controls: USE variables through pictures, the choice controls, properties by number, tabs and
// the layer's Hide and Disable up the parent chain.
#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>

#include <filesystem>
#include <unistd.h>

#include <string>

#include "platform/rt/date_time.h"
#include "platform/rt/fixed_string.h"
#include "platform/ui/event.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "platform/ui/window_manager.h"

using namespace ov::ui;
using ov::rt::DATE;
using ov::ui::test::Driver;
using ov::ui::test::runScript;
using ov::ui::test::ScriptedHost;
using ov::ui::test::WindowDriver;

namespace {

// A window procedure whose window the test declares; it records the events it gets.
class Declared : public WindowManager {
 public:
  explicit Declared(std::function<void(Window&)> declare) : WindowManager("Declared"), m_declare(std::move(declare)) {}
  Level Init() override {
    m_declare(window());
    Open();
    return Level::Benign;
  }
  Level TakeEvent() override {
    events.push_back({EVENT(), FIELD()});
    return WindowManager::TakeEvent();
  }
  int count(int event, int field) const {
    return static_cast<int>(std::count(events.begin(), events.end(), std::pair<int, int>{event, field}));
  }
  std::vector<std::pair<int, int>> events;

 private:
  std::function<void(Window&)> m_declare;
};

class Controls : public ::testing::Test {
 protected:
  void SetUp() override { ov::ui::test::application(); }
  // Starts a Declared window and waits for it.
  WindowDriver open(Driver& d, std::function<void(Window&)> declare, Declared** proc = nullptr) {
    d.start([&, declare] {
      auto p = std::make_unique<Declared>(declare);
      if (proc) *proc = p.get();
      return p;
    });
    return d.waitWindow("Declared");
  }
};

struct PictureCase {
  const char* name;
  const char* picture;
  const char* typed;
  bool rejected;
  double number;       // the variable afterwards (numeric cases)
  const char* text;    // the variable afterwards (text cases), nullptr for numeric ones
  const char* shown;   // what the entry shows once displayed again
};
const PictureCase kPictures[] = {
    {"date in M/DD/YYYY", "@d2", "3/15/2026", false, static_cast<double>(DATE(3, 15, 2026)), nullptr, " 3/15/2026"},
    {"impossible date is refused", "@d2", "4/31/2026", true, 77, nullptr, "4/31/2026"},
    {"time with seconds", "@t4", "17:30:05", false, 6300501, nullptr, "17:30:05"},
    {"signed number with grouping", "@n-10.2", "-1,234.5", false, -1234.5, nullptr, " -1,234.50"},
    {"letters in a number are refused", "@n3", "abc", true, 77, nullptr, "abc"},
    {"blank number is zero", "@n3", "", false, 0, nullptr, "  0"},
    {"string cut to its field", "@s20", "abcdefgh", false, 0, "abcde", "abcde"},
    {"pattern keeps its digits", "@p(###)###-####p", "(555)123-4567", false, 0, "5551234567", "(555)123-4567"},
};

TEST_F(Controls, EntriesReadAndShowTheirVariablesThroughPictures) {
  ScriptedHost host;
  for (const PictureCase& c : kPictures) {
    SCOPED_TRACE(c.name);
    double number = 77;
    ov::rt::String<5> shortText;
    ov::rt::String<12> digits;
    bool numeric = c.text == nullptr;
    runScript([&](Driver& d) {
      Declared* proc = nullptr;
      WindowDriver w = open(
          d,
          [&](Window& win) {
            Entry& e = win.entry("?Field", c.picture);
            e.at(4, 4, 100, 12);
            if (numeric)
              e.use(number);
            else if (std::string(c.picture).rfind("@p", 0) == 0)
              e.use(digits);
            else
              e.use(shortText);
          },
          &proc);
      w.enter("?Field", c.typed);
      int field = 0;
      w.with([&](Window& win) { field = win.feq("?Field"); });
      d.gui([&] {
        EXPECT_EQ(proc->count(EVENT::Rejected, field), c.rejected ? 1 : 0);
        EXPECT_EQ(proc->count(EVENT::Accepted, field), c.rejected ? 0 : 1);
      });
      if (numeric) {
        EXPECT_DOUBLE_EQ(number, c.number);
      } else if (std::string(c.picture).rfind("@p", 0) == 0) {
        EXPECT_EQ(digits.str(), c.text);
      } else {
        EXPECT_EQ(shortText.str(), c.text);
      }
      EXPECT_EQ(w.text("?Field"), c.shown);
    });
  }
  EXPECT_EQ(host.beeps(), 2) << "each refused text beeps";
}

TEST_F(Controls, ChoiceControlsHoldTheValuesOfTheirEntries) {
  ScriptedHost host;
  ov::rt::String<1> rounding = "M";
  ov::rt::String<1> flag = "N";
  ov::rt::String<20> title;
  int32_t priority = 2;
  runScript([&](Driver& d) {
    WindowDriver w = open(d, [&](Window& win) {
      win.dropList("?Rounding", "Minute|#M|Second|#S").at(4, 4, 60, 12).use(rounding);
      win.check("?Flag", "&Keep").values("Y", "N").at(4, 20, 60, 10).use(flag);
      win.combo("?Title", "Untitled - Notepad|Calculator").at(4, 34, 100, 12).use(title);
      win.sstring("?Shown", "@n3").at(120, 4, 30, 10).use(priority);
      int opt = win.option("?Priority", "Priority").at(4, 50, 120, 30).use(priority).feq();
      win.radio("?Low", "&Low", opt).value("1").at(8, 60, 30, 10);
      win.radio("?Normal", "&Normal", opt).value("2").at(40, 60, 40, 10);
      win.radio("?High", "&High", opt).value("3").at(82, 60, 30, 10);
    });
    EXPECT_EQ(w.text("?Rounding"), "Minute") << "the variable's value picks the entry";
    EXPECT_EQ(w.choice("?Priority"), 2);
    w.choose("?Rounding", "Second");
    w.check("?Flag", true);
    w.choose("?Priority", "High");
    w.type("?Title", "Inbox - Mail");
    w.accept("?Title");
    EXPECT_EQ(rounding.str(), "S");
    EXPECT_EQ(flag.str(), "Y");
    EXPECT_EQ(priority, 3);
    EXPECT_EQ(title.str(), "Inbox - Mail");
    w.choose("?Title", "Calculator");
    EXPECT_EQ(title.str(), "Calculator");

    // The program changes the variables; the window shows them after the next event.
    d.gui([&] {
      rounding = "M";
      priority = 1;
      flag = "N";
    });
    w.post(EVENT::User);
    EXPECT_EQ(w.text("?Rounding"), "Minute");
    EXPECT_EQ(w.choice("?Priority"), 1);
    EXPECT_EQ(w.prop("?Flag", Prop::Checked), "");
    EXPECT_EQ(w.text("?Shown"), "  1") << "a string shows its variable through its picture";
  });
}

TEST_F(Controls, HiddenAndDisabledFollowTheParentChainAndTabs) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    WindowDriver w = open(d, [](Window& win) {
      int sheet = win.sheet("?Sheet").at(2, 2, 200, 100).feq();
      int a = win.tab("?TabA", "&First", sheet).feq();
      int b = win.tab("?TabB", "&Second", sheet).feq();
      win.tab("?TabC", "&Third", sheet).hidden();
      int group = win.group("?Group", "Options", 0).at(6, 20, 120, 40).on(a).feq();
      win.check("?Inner", "Inner", 0).at(10, 30, 60, 10).on(group);
      win.entry("?OnB", "@s10").at(10, 20, 60, 12).on(b);
    });
    EXPECT_EQ(w.tabs("?Sheet"), (std::vector<std::string>{"&First", "&Second"})) << "a hidden tab is not shown";
    EXPECT_TRUE(w.shown("?Inner"));
    EXPECT_FALSE(w.shown("?OnB")) << "a control on a tab that is not chosen";
    w.selectTab("Second");
    EXPECT_TRUE(w.shown("?OnB"));
    EXPECT_FALSE(w.shown("?Inner"));
    EXPECT_EQ(w.choice("?Sheet"), 2);

    w.selectTab("First");
    w.with([](Window& win) {
      win.setProp(win.feq("?Group"), Prop::Hide, 1);
      win.setProp(win.feq("?Group"), Prop::Disable, 1);
    });
    EXPECT_FALSE(w.shown("?Inner"));
    EXPECT_FALSE(w.enabled("?Inner"));
    EXPECT_EQ(w.prop("?Inner", Prop::Hide), "") << "its own Hide is untouched";
    w.with([](Window& win) {
      QWidget* v = win.control(win.feq("?Inner"))->view();
      EXPECT_FALSE(v->isVisibleTo(win.clientView()));
      EXPECT_FALSE(v->isEnabled());
    });

    // Selecting a control on another tab brings its tab forward.
    w.with([](Window& win) { win.select(win.feq("?OnB")); });
    EXPECT_EQ(w.choice("?Sheet"), 2);

    // A wizard shows no tab row: the user cannot choose tabs, the program can.
    w.with([](Window& win) { win.setProp(win.feq("?Sheet"), Prop::Wizard, 1); });
    EXPECT_NONFATAL_FAILURE_ON_ALL_THREADS(w.selectTab("First"), "cannot be chosen by the user");
  });
}

TEST_F(Controls, ChoosingATabWhileAControlOnTheOldTabHasTheFocusKeepsTheNewTab) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    WindowDriver w = open(d, [](Window& win) {
      int sheet = win.sheet("?Sheet").at(2, 2, 200, 100).feq();
      int a = win.tab("?TabA", "&First", sheet).feq();
      int b = win.tab("?TabB", "&Second", sheet).feq();
      win.entry("?A1", "@s10").at(10, 20, 60, 12).on(a);
      win.entry("?A2", "@s10").at(10, 36, 60, 12).on(a);
      win.entry("?B1", "@s10").at(10, 20, 60, 12).on(b);
    });
    w.with([](Window& win) { win.select(win.feq("?A1")); });
    d.settle();
    w.selectTab("Second");
    EXPECT_EQ(w.choice("?Sheet"), 2) << "the focus leaving the hidden controls chose nothing";
    EXPECT_TRUE(w.shown("?B1"));
    w.type("?B1", "typed");
    EXPECT_EQ(w.text("?B1"), "typed");
    w.selectTab("First");
    EXPECT_EQ(w.choice("?Sheet"), 1);
  });
}

TEST_F(Controls, WindowPropertiesByNumberInDialogUnitsOrPixels) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    WindowDriver w = open(d, [](Window& win) {
      win.setTitle("Sizes");
      win.at(10, 10, 200, 100).resizable();
      win.button("?B", "B").at(20, 30, 40, 14);
    });
    w.with([](Window& win) {
      EXPECT_EQ(win.propInt(0, 0x7C04), 200);
      EXPECT_EQ(win.propInt(0, 0x7C05), 100);
      EXPECT_EQ(win.prop(0, 0x7C8A), "1");
      EXPECT_EQ(win.propInt(win.feq("?B"), 0x7C02), 20);
      win.setProp(0, 0x7C04, 240);
      EXPECT_EQ(win.propInt(0, 0x7C04), 240);
      EXPECT_EQ(win.clientView()->width(), win.dluToPxX(240));
      win.setProp(0, Prop::Pixels, 1);
      EXPECT_EQ(win.propInt(0, 0x7C04), win.dluToPxX(240));
      EXPECT_EQ(win.propInt(win.feq("?B"), 0x7C02), win.dluToPxX(20));
      win.setProp(0, Prop::Pixels, 0);
      win.setProp(0, 0x7C65, 1);
      EXPECT_FALSE(win.view()->isVisible());
      win.setProp(0, 0x7C65, 0);
      EXPECT_TRUE(win.view()->isVisible());
      EXPECT_EQ(win.prop(0, Prop::Text), "Sizes");
    });
  });
}

TEST_F(Controls, DialogUnitsComeFromTheFontAndWidenWhereATextWouldBeCut) {
  ScriptedHost host;
  const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  const std::string longText = "Longer prompt:";  // about a fifth more than its room
  const std::string note = "A note given two lines of room, longer than one line holds.";
  runScript([&](Driver& d) {
    // Short texts: a horizontal unit is a quarter of the font's average letter, a vertical one
    // an eighth of its height.
    WindowDriver plain = open(d, [](Window& win) {
      win.setTitle("Plain");
      win.at(10, 10, 200, 60);
      win.prompt("?P", "Name:").at(4, 4, 40, 10);
      win.entry("?E", "@s20").at(50, 2, 100, 12);
    });
    plain.with([&](Window& win) {
      const QFontMetrics fm(win.view()->font());
      EXPECT_NEAR(win.dluToPxX(4 * 52), fm.horizontalAdvance(QString::fromStdString(letters)), 1);
      EXPECT_EQ(win.dluToPxY(8), fm.height());
    });
    plain.close();
    d.waitClosed(plain);

    // A prompt that would run into its entry: the whole window's units widen, nothing overlaps;
    // a text with two lines of room wraps instead.
    WindowDriver tight = open(d, [&](Window& win) {
      win.setTitle("Tight");
      win.at(10, 10, 200, 60);
      win.prompt("?P", longText).at(4, 4, 40, 10);
      win.entry("?E", "@s20").at(46, 2, 100, 12);
      win.string("?S", note).at(4, 20, 150, 22);
    });
    tight.with([&](Window& win) {
      auto* prompt = qobject_cast<QLabel*>(win.control(win.feq("?P"))->view());
      auto* entry = win.control(win.feq("?E"))->view();
      auto* wrapped = qobject_cast<QLabel*>(win.control(win.feq("?S"))->view());
      ASSERT_TRUE(prompt && entry && wrapped);
      EXPECT_GE(prompt->width(), prompt->fontMetrics().horizontalAdvance(QString::fromStdString(longText)));
      EXPECT_LE(prompt->geometry().right(), entry->geometry().left());
      EXPECT_LE(entry->geometry().right(), win.clientView()->width());
      EXPECT_GT(win.dluToPxX(4 * 52), QFontMetrics(win.view()->font()).horizontalAdvance(QString::fromStdString(letters)));
      EXPECT_TRUE(wrapped->wordWrap());
      EXPECT_LE(wrapped->heightForWidth(wrapped->width()), wrapped->height());
    });
  });
}

TEST_F(Controls, ImagesRegionsAndProgressBars) {
  ScriptedHost host;
  namespace fs = std::filesystem;
  fs::path dir = fs::path(::testing::TempDir()) / ("images_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  QImage logo(16, 12, QImage::Format_RGB32);
  logo.fill(Qt::blue);
  ASSERT_TRUE(logo.save(QString::fromStdString((dir / "ovlogo.jpg").string()), "JPG"));
  addImageFolder(dir.string());
  int32_t done = 40;
  Declared* proc = nullptr;
  runScript([&](Driver& d) {
    WindowDriver w = open(
        d,
        [&](Window& win) {
          win.image("?Logo", "ovlogo.jpg").at(4, 4, 32, 24);
          win.region("?Hot").at(40, 4, 30, 20);
          win.progress("?Bar").range(0, 200).at(4, 32, 100, 10).use(done);
        },
        &proc);
    w.with([](Window& win) {
      auto* label = qobject_cast<QLabel*>(win.control(win.feq("?Logo"))->view());
      ASSERT_NE(label, nullptr);
      EXPECT_FALSE(label->pixmap().isNull()) << "found in the picture folder";
      win.setProp(win.feq("?Logo"), Prop::Text, "missing.jpg");
      EXPECT_TRUE(label->pixmap().isNull());
      // No such file, but a picture of the programs' own: drawn at the control's size, in its
      // proportions (the birthday wizard's is about twice as tall as it is wide).
      win.setProp(win.feq("?Logo"), Prop::Text, "~3HAND.JPG");
      ASSERT_FALSE(label->pixmap().isNull());
      const QSize drawn = label->pixmap().deviceIndependentSize().toSize();
      EXPECT_TRUE(drawn.width() == label->width() || drawn.height() == label->height()) << drawn.width();
      EXPECT_LE(drawn.width(), label->width());
      EXPECT_LE(drawn.height(), label->height());
      EXPECT_NEAR(double(drawn.height()) / drawn.width(), 300.0 / 160.0, 0.1);
      label->resize(label->width() * 2, label->height() * 2);
      EXPECT_GT(label->pixmap().deviceIndependentSize().width(), drawn.width()) << "drawn afresh at the new size";
      win.setProp(win.feq("?Logo"), Prop::Text, "ovlogo.jpg");
      EXPECT_TRUE(label->hasScaledContents()) << "a file is stretched over the control again";
      auto* bar = qobject_cast<QProgressBar*>(win.control(win.feq("?Bar"))->view());
      EXPECT_EQ(bar->value(), 40);
      EXPECT_EQ(bar->maximum(), 200);
    });
    w.press("?Hot");
    d.gui([&] { done = 150; });
    w.post(EVENT::User);
    EXPECT_EQ(w.prop("?Bar", Prop::Progress), "150");
    int hot = 0;
    w.with([&](Window& win) { hot = win.feq("?Hot"); });
    d.gui([&] { EXPECT_EQ(proc->count(EVENT::Accepted, hot), 1); });
  });
  fs::remove_all(dir);
}

}  // namespace
