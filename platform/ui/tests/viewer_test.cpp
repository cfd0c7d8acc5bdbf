// The text file viewer and the progress window.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/rt/err.h"
#include "platform/ui/ascii_viewer.h"
#include "platform/ui/event.h"
#include "platform/ui/progress_window.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "platform/ui/text_list.h"
#include "platform/ui/window_manager.h"

using namespace ov::ui;
using ov::ui::test::Driver;
using ov::ui::test::runScript;
using ov::ui::test::ScriptedHost;
using ov::ui::test::WindowDriver;
namespace fs = std::filesystem;

namespace {

class Viewer : public WindowManager {
 public:
  explicit Viewer(std::string file) : WindowManager("ViewAscii"), m_file(std::move(file)) {}
  Level Init() override {
    window().setTitle("Event Log");
    list = window().add<TextList>(1, "?List").at(4, 4, 200, 100).feq();
    Open();
    loaded = viewer.Init(*this, list, m_file, 255, [this](ov::rt::Err e, const std::string& f) {
      reported = std::to_string(static_cast<int>(e)) + " " + f;
    });
    AddItem(viewer);
    return Level::Benign;
  }
  AsciiViewerClass viewer;
  int list = 0;
  bool loaded = false;
  std::string reported;

 private:
  std::string m_file;
};

class Viewers : public ::testing::Test {
 protected:
  void SetUp() override {
    ov::ui::test::application();
    m_dir = fs::path(::testing::TempDir()) / ("viewer_" + std::to_string(::getpid()));
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }
  fs::path m_dir;
};

TEST_F(Viewers, TheViewerShowsLinesCutToTheirLengthAndSearchesWithoutCase) {
  fs::path file = m_dir / "OV_EVENT.LOG";
  std::string longLine(254, 'x');
  longLine += "\xC3\xA9tail";  // a two-byte character across the 255-byte mark
  {
    std::ofstream out(file, std::ios::binary);
    out << "03/17/26    09:00:00  Started\r\n"
        << "03/17/26    09:01:00  Task ran      Findme here\r\n"
        << longLine << "\n";
  }
  ScriptedHost host;
  host.expectAsk("Find what", std::string("FINDME"));
  host.expectAsk("Find what", std::string("absent"));
  host.expectMessage("\"absent\" was not found.", BUTTON::Ok);
  Viewer* v = nullptr;
  runScript([&](Driver& d) {
    d.start([&] {
      auto p = std::make_unique<Viewer>(file.string());
      v = p.get();
      return p;
    });
    WindowDriver w = d.waitWindow("ViewAscii");
    d.gui([&] {
      ASSERT_TRUE(v->loaded);
      const auto& lines = v->viewer.lines();
      ASSERT_EQ(lines.size(), 3u);
      EXPECT_EQ(lines[0], "03/17/26    09:00:00  Started") << "the CR before the LF is dropped";
      EXPECT_EQ(lines[2], std::string(254, 'x')) << "cut at 255 bytes without splitting a character";
      EXPECT_EQ(v->viewer.Find("findme", 1), 2);
      EXPECT_EQ(v->viewer.Find("findme", 3), 0);
      EXPECT_EQ(v->viewer.Find("findme", 1, true), 0);
      EXPECT_TRUE(v->viewer.Search(1));
      EXPECT_EQ(v->viewer.SelectedLine(), 2);
      EXPECT_FALSE(v->viewer.Search(1));
      EXPECT_EQ(v->viewer.SelectedLine(), 2);
    });
    EXPECT_EQ(w.text("?List"), "03/17/26    09:01:00  Task ran      Findme here");
  });
}

TEST_F(Viewers, AMissingFileIsReportedAndLeavesTheListEmpty) {
  ScriptedHost host;
  Viewer* v = nullptr;
  std::string missing = (m_dir / "nothing.log").string();
  runScript([&](Driver& d) {
    d.start([&] {
      auto p = std::make_unique<Viewer>(missing);
      v = p.get();
      return p;
    });
    d.waitWindow("ViewAscii");
    d.gui([&] {
      EXPECT_FALSE(v->loaded);
      EXPECT_EQ(v->reported, "2 " + missing);
      EXPECT_EQ(ov::rt::ERRORCODE(), 2);
      EXPECT_TRUE(v->viewer.lines().empty());
    });
  });
}

TEST_F(Viewers, TheProgressWindowRunsStepsToTheEndOrUntilCancelled) {
  ScriptedHost host;
  int done = 0;
  int response = -1;
  runScript([&](Driver& d) {
    d.later([&] {
      ProgressWindow p("Copying", [&](ProgressWindow& w) {
        ++done;
        w.setProgress(done, 200);
        w.setText("Item " + std::to_string(done));
        return done < 200 ? ProgressWindow::Step::More : ProgressWindow::Step::Done;
      });
      response = p.Run();
    });
    EXPECT_TRUE(d.waitUntil([&] { return response != -1; }));
  });
  EXPECT_EQ(response, RequestCompleted);
  EXPECT_EQ(done, 200);

  int steps = 0;
  response = -1;
  runScript([&](Driver& d) {
    d.later([&] {
      ProgressWindow p("Deleting", [&](ProgressWindow& w) {
        ++steps;
        w.setProgress(steps % 100, 100);
        return ProgressWindow::Step::More;
      });
      response = p.Run();
    });
    WindowDriver w = d.waitWindow("ProgressWindow");
    EXPECT_TRUE(d.waitUntil([&] { return steps > 0; }));
    w.press("Cancel");
    d.waitClosed(w);
  });
  EXPECT_EQ(response, RequestCancelled);
  EXPECT_GT(steps, 0) << "what was done before Cancel stays done";
}

}  // namespace
