// The explorer list under the mouse, offscreen through the test driver: header clicks sort and
// flip, a header drag moves a column one place, a right click on a header offers the sort popup,
// and the layout is saved when the window closes.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "platform/rt/ini.h"
#include "platform/ui/list_format.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/list_driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "winclasses/tests/explore_fixture.h"

using namespace ov::winclasses;
using namespace ov::winclasses::test;
using ov::ui::test::Driver;
using ov::ui::test::ListDriver;
using ov::ui::test::runScript;
using ov::ui::test::ScriptedHost;
using ov::ui::test::WindowDriver;

namespace {

TEST(ExploreMouse, HeaderClicksDragsAndTheSortPopup) {
  (void)ov::ui::test::application();
  TempDir dir;
  ScriptedHost host;
  ExploreWindow w(dir.file("POSITION.INI"), ExploreMask::Moving);
  std::vector<std::string> names, headers;
  int sequence = -1;
  runScript([&](Driver& d) {
    d.later([&] { (void)w.Run(); });
    WindowDriver wd = d.waitWindow("ExploreTest");
    ListDriver list(d, wd, "?List");
    auto read = [&] {
      d.gui([&] {
        names = w.names();
        headers = w.headers();
        sequence = w.sequence;
      });
    };

    list.clickHeader(2);
    read();
    EXPECT_EQ(names, (std::vector<std::string>{"Carol", "Bob", "alice"})) << "by City, then Name descending";
    EXPECT_EQ(sequence, 2);
    EXPECT_EQ(list.texts(2), (std::vector<std::string>{"Berlin", "Berlin", "Paris"}));

    list.clickHeader(2);
    read();
    EXPECT_EQ(names, (std::vector<std::string>{"alice", "Bob", "Carol"})) << "the same header again flips";

    list.dragHeader(1, 3);
    read();
    EXPECT_EQ(headers, (std::vector<std::string>{"City", "Name", "Born"})) << "one place, however far";
    EXPECT_EQ(sequence, 1) << "the sort column followed its move";
    EXPECT_EQ(list.texts(1), (std::vector<std::string>{"Paris", "Berlin", "Berlin"}));
    d.gui([&] {
      ov::ui::Window& win = w.window();
      int button = win.feq("?ExploreHeaderButton:" + std::to_string(w.listFeq));
      int box = win.feq("?ExploreHeaderBox:" + std::to_string(w.listFeq));
      ASSERT_NE(button, 0);
      ASSERT_NE(box, 0);
      EXPECT_FALSE(win.isShown(button)) << "hidden again after the release";
      EXPECT_FALSE(win.isShown(box));
      EXPECT_EQ(win.prop(box, ov::ui::Prop::Text), "Name") << "the dragged column's header";
    });

    host.expectPopup("Do not sort");
    list.rightClickHeader(2);
    read();
    EXPECT_EQ(sequence, 0);
    d.gui([&] {
      EXPECT_EQ(w.fileSeqOn, 1);
      EXPECT_TRUE(w.explorer.IgnoreEvent);
    });

    // A press on a column's border sorts nothing and moves nothing.
    list.dragBorder(1, 30);
    read();
    EXPECT_EQ(headers, (std::vector<std::string>{"City", "Name", "Born"}));
    EXPECT_EQ(sequence, 0);

    // A right click on a row opens the list's popup prepared for that column and row.
    host.expectPopup("");
    list.rightClick(3);
    d.gui([&] { EXPECT_EQ(w.explorer.CurrentCol, 1); });

    wd.close();
    d.waitClosed(wd);
  });
  ASSERT_EQ(host.popups().size(), 2u);
  EXPECT_EQ(host.popups()[0].items.size(), 3u);
  std::vector<std::string> texts;
  std::function<void(const std::vector<ov::ui::PopupItem>&)> walk = [&](const std::vector<ov::ui::PopupItem>& items) {
    for (const auto& i : items) {
      texts.push_back(i.text);
      walk(i.children);
    }
  };
  walk(host.popups()[1].items);
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Sort on Town"), texts.end());
  std::string saved = ov::rt::GETINI("ExploreTest", "ExploreFormatString-?List1", "", dir.file("POSITION.INI"));
  std::vector<ov::ui::ListColumn> cols;
  ASSERT_TRUE(ov::ui::parseListFormat(saved, cols)) << saved;
  ASSERT_EQ(cols.size(), 3u);
  EXPECT_EQ(cols[0].header, "City");
  EXPECT_GT(cols[0].width, 60) << "widened by the border drag";
  EXPECT_EQ(ov::rt::GETINI("ExploreTest", "ExplorePrevCol-?List", "", dir.file("POSITION.INI")), "0");
}

}  // namespace
