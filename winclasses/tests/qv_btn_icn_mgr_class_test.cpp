// The button icon manager: rules read from a comma-delimited file and applied to a window's
// buttons by caption: icons from the icon folder, standard icons by name in any case, captions
// replaced, removed or kept, and lines that name no button.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "winclasses/qv_btn_icn_mgr_class.h"
#include "winclasses/tests/support.h"

using namespace ov;
using namespace ov::winclasses;
using namespace ov::winclasses::test;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::WindowDriver;
namespace fs = std::filesystem;

namespace {

struct TempDir {
  fs::path path;
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "ov_btnicons_XXXXXX").string();
    path = ::mkdtemp(tmpl.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

TEST(ButtonIcons, RulesFromTheFileChangeTheButtonsTheyName) {
  ui::test::application();
  TempDir dir;
  fs::create_directories(dir.path / "icons");
  std::ofstream(dir.path / "icons" / "disk.ico") << "not really an icon";
  const fs::path rules = dir.path / "buttons.csv";
  std::ofstream(rules) << "\"&Save\",\"disk.ico\",\"?keep\"\n"
                          "\"Print\",\"icon:print\",\"\"\n"
                          "\"Help\",\"<BLANK>\",\"<blank>\"\n"
                          "\"Missing\",\"nothere.ico\",\"New, caption\"\n"
                          "\"Nobody\",\"x.ico\",\"Y\"\n";
  QVBtnIcnMgrClass mgr;
  TestWindow* win = nullptr;
  runScript([&](Driver& d) {
    WindowDriver w = openTestWindow(d, win, [&](TestWindow& t) {
      t.declare = [](ui::Window& wnd) {
        wnd.button("?Save", "&Save").at(4, 4, 40, 14);
        wnd.button("?Print", "Print").at(4, 20, 40, 14);
        wnd.button("?Help", "Help").icon("help.ico").at(4, 36, 40, 14);
        wnd.button("?Missing", "Missing").icon("old.ico").at(4, 52, 40, 14);
        wnd.button("?Other", "Other").at(4, 68, 40, 14);
      };
      t.afterOpen = [&] {
        mgr.Init(rules.string());
        mgr.SetPath((dir.path / "icons").string());
        mgr.CheckButtons();
      };
    });
    ASSERT_EQ(mgr.BTNQ->size(), 5u);
    EXPECT_EQ(mgr.BTNQ->front().BTNTEXT, "&Save") << "kept in caption order";
    EXPECT_EQ(w.prop("?Save", ui::Prop::Icon), (dir.path / "icons" / "disk.ico").string()) << "from the icon folder";
    EXPECT_EQ(w.prop("?Save", ui::Prop::Text), "&Save") << "a caption beginning with ? keeps the caption";
    EXPECT_EQ(w.prop("?Print", ui::Prop::Icon), ui::standardIconCode("ICON:PRINT")) << "a standard icon in lower case";
    EXPECT_NE(ui::standardIconCode("ICON:PRINT"), "");
    EXPECT_EQ(w.prop("?Print", ui::Prop::Text), "Print");
    EXPECT_EQ(w.prop("?Help", ui::Prop::Icon), "");
    EXPECT_EQ(w.prop("?Help", ui::Prop::Text), "") << "an icon-only button";
    EXPECT_EQ(w.prop("?Missing", ui::Prop::Icon), "old.ico") << "an icon file found nowhere changes nothing";
    EXPECT_EQ(w.prop("?Missing", ui::Prop::Text), "New, caption");
    EXPECT_EQ(w.prop("?Other", ui::Prop::Icon), "");
    EXPECT_EQ(w.prop("?Other", ui::Prop::Text), "Other");
    d.gui([&] {
      mgr.Kill();
      EXPECT_EQ(mgr.ACTIVE, 0);
      EXPECT_FALSE(mgr.BTNQ);
    });
    w.close();
  });
}

TEST(ButtonIcons, APreparedQueueAppliedToOneButton) {
  ui::test::application();
  QVBtnIcnMgrClass mgr;
  TestWindow* win = nullptr;
  constexpr int kApply = ui::EVENT::User + 1;
  runScript([&](Driver& d) {
    WindowDriver w = openTestWindow(d, win, [&](TestWindow& t) {
      t.declare = [](ui::Window& wnd) { wnd.button("?Go", "Go").at(4, 4, 40, 14); };
      t.onEvent = [&] {
        if (ui::EVENT() == kApply) mgr.CheckButton(ui::currentWindow()->feq("?Go"), "Go");
        return ui::Level::Benign;
      };
    });
    w.post(kApply);
    EXPECT_EQ(w.prop("?Go", ui::Prop::Text), "Go") << "not set up yet: nothing changes";
    d.gui([&] {
      mgr.CopyQ({{"Go", "~go.ico", "&Start"}, {"Stop", "", ""}});
      mgr.Init("/nonexistent/buttons.csv");  // no file: the rules stay
      EXPECT_EQ(mgr.BTNQ->size(), 2u);
    });
    w.post(kApply);
    EXPECT_EQ(w.prop("?Go", ui::Prop::Text), "&Start");
    EXPECT_EQ(w.prop("?Go", ui::Prop::Icon), "~go.ico") << "a linked icon is set as it is";
    w.close();
  });
}

}  // namespace
