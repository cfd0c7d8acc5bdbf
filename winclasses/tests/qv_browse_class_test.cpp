// The browse with View and Copy over a small table: the buttons that need a row, Enter and double
// click going to the default of the select, View and change buttons, the View keys, the popup's
// View item, and Copy starting a new record from the selected one.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/files/file.h"
#include "platform/files/file_manager.h"
#include "platform/files/view_manager.h"
#include "platform/ui/testing/list_driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "winclasses/qv_browse_class.h"
#include "winclasses/tests/support.h"

using namespace ov;
using namespace ov::winclasses;
using rt::Err;
using rt::FieldType;
using ui::test::Driver;
using ui::test::ListDriver;
using ui::test::runScript;
using ui::test::WindowDriver;

namespace {

struct Item {
  int32_t id = 0;
  rt::String<20> name;
};
const rt::FieldDesc kItemFields[] = {
    {"ITM:ID", FieldType::Long, 4, 0, offsetof(Item, id)},
    {"ITM:Name", FieldType::String, 20, 4, offsetof(Item, name)},
};
const rt::RecordDesc kItem{"ITM", kItemFields, 24};

struct Row {
  rt::String<20> name;
  int32_t id = 0;
};
const rt::FieldDesc kRowFields[] = {
    {"Name", FieldType::String, 20, 0, offsetof(Row, name)},
    {"ID", FieldType::Long, 4, 20, offsetof(Row, id)},
};
const rt::RecordDesc kRow{"ROW", kRowFields, 24};

struct World {
  World()
      : dir([] {
          std::string tmpl = (std::filesystem::temp_directory_path() / "ov_qvbrowse_XXXXXX").string();
          return std::string(::mkdtemp(tmpl.data()));
        }()),
        file(decl()),
        fm(file),
        view(fm) {
    EXPECT_EQ(fm.Open(), Err::None);
  }
  ~World() {
    (void)fm.Close();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  db::FileDecl decl() {
    db::FileDecl d;
    d.label = "ITEMS";
    d.prefix = "ITM";
    d.name = "ITEMS";
    std::string storage = dir + "/DATA.ZEZ\\!Items";
    d.nameFrom = [storage] { return storage; };
    d.record = &kItem;
    d.buffer = &itm;
    d.bufferSize = sizeof itm;
    d.keys = {{.name = "ITM:KeyID", .description = "ID", .parts = {{"ITM:ID"}}, .unique = true, .primary = true,
               .autoNumber = db::AutoNumber::Whole}};
    d.errorLabel = "Items [Items]";
    return d;
  }
  void add(int id, const char* name) {
    itm.id = id;
    itm.name = name;
    EXPECT_EQ(file.add(), Err::None);
  }
  std::string dir;
  Item itm;
  db::File file;
  db::FileManager fm;
  db::ViewManager view;
};

class BrowseItems : public ui::WindowManager {
 public:
  BrowseItems(World& w, std::function<void(BrowseItems&)> setUp)
      : ui::WindowManager("BrowseItems"), m_world(w), m_setUp(std::move(setUp)) {}
  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle("Items");
    w.at(-1, -1, 300, 150);
    int list = w.add<ui::ListControl>(0, "?Browse").from(queue, kRow).format("80L(2)~Name~@s20@").at(4, 4, 200, 120).feq();
    Browse.Init(list, m_world.view, *this);
    Browse.AddSortOrder(m_world.file.key("ITM:KeyID"));
    Browse.AddField("ITM:Name", "Name");
    Browse.AddField("ITM:ID", "ID");
    Browse.InsertControl = w.button("?Insert", "&Insert").at(210, 4, 50, 14).feq();
    Browse.ChangeControl = w.button("?Change", "&Change").at(210, 20, 50, 14).feq();
    Browse.VIEWCONTROL = w.button("?View", "&View").at(210, 36, 50, 14).feq();
    Browse.COPYCONTROL = w.button("?Copy", "C&opy").at(210, 52, 50, 14).feq();
    Browse.SelectControl = w.button("?Select", "&Select").at(210, 68, 50, 14).feq();
    Browse.AskProcedure = 1;
    if (m_setUp) m_setUp(*this);
    AddItem(Browse);
    Open();
    return ui::Level::Benign;
  }
  int Run(int number, int request) override {
    runs.push_back({number, request});
    copiedName = m_world.itm.name.str();
    copiedId = m_world.itm.id;
    return ui::RequestCancelled;
  }
  void setDefault(const char* button) { window().setProp(window().feq(button), ui::Prop::Default, 1); }
  ui::Level Kill() override {
    if (responseOut) *responseOut = Response;  // the procedure is gone once its window closed
    return ui::WindowManager::Kill();
  }
  int* responseOut = nullptr;

  rt::Queue<Row> queue;
  QVBrowseClass Browse;
  std::vector<std::pair<int, int>> runs;
  std::string copiedName;
  int32_t copiedId = 0;

 private:
  World& m_world;
  std::function<void(BrowseItems&)> m_setUp;
};

class QVBrowse : public ::testing::Test {
 protected:
  void SetUp() override { ui::test::application(); }
  void run(World& world, std::function<void(BrowseItems&)> setUp,
           const std::function<void(Driver&, WindowDriver&, ListDriver&, BrowseItems&)>& script) {
    runScript([&](Driver& d) {
      BrowseItems* made = nullptr;
      d.start([&] {
        auto b = std::make_unique<BrowseItems>(world, setUp);
        made = b.get();
        return b;
      });
      WindowDriver w = d.waitWindow("BrowseItems");
      ListDriver list(d, w, "?Browse");
      script(d, w, list, *made);
      if (w.isOpen()) {
        w.close();
        d.waitClosed(w);
      }
    });
  }
};

TEST_F(QVBrowse, ViewAndCopyNeedARow) {
  World world;
  run(world, {}, [&](Driver& d, WindowDriver& w, ListDriver&, BrowseItems& b) {
    EXPECT_FALSE(w.enabled("?View"));
    EXPECT_FALSE(w.enabled("?Copy"));
    EXPECT_TRUE(w.enabled("?Insert"));
    d.gui([&] {
      world.add(1, "first");
      b.Browse.ResetSort(true);
    });
    d.settle();
    EXPECT_TRUE(w.enabled("?View"));
    EXPECT_TRUE(w.enabled("?Copy"));
  });
}

TEST_F(QVBrowse, EnterGoesToTheDefaultButton) {
  struct Case { const char* name; const char* defaultButton; bool selecting; int key; std::vector<std::pair<int, int>> runs; };
  const Case cases[] = {
      {"change is the default: Enter changes", "?Change", false, ui::Key::Enter, {{1, ui::ChangeRecord}}},
      {"View is the default: Enter views", "?View", false, ui::Key::Enter, {{1, ui::ViewRecord}}},
      {"no default: the base's order (change)", nullptr, false, ui::Key::Enter, {{1, ui::ChangeRecord}}},
      {"Shift+Enter views whatever the default", "?Change", false, ui::Key::shift(ui::Key::Enter), {{1, ui::ViewRecord}}},
      {"so does the alerted Ctrl+Alt+Enter", "?Change", false, ui::Key::Enter | ui::Key::Ctrl | ui::Key::Alt,
       {{1, ui::ViewRecord}}},
      {"selecting with select as default: View and change are not tried", "?Select", true, ui::Key::Enter, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World world;
    world.add(1, "first");
    world.add(2, "second");
    int response = 0;
    run(world,
        [&](BrowseItems& b) {
          if (c.defaultButton) b.setDefault(c.defaultButton);
          b.Browse.Selecting = c.selecting;
          b.responseOut = &response;
        },
        [&](Driver& d, WindowDriver& w, ListDriver& list, BrowseItems& b) {
          list.select(2);
          list.key(c.key);
          d.settle();
          if (c.selecting) {
            d.waitClosed(w);
            return;
          }
          d.gui([&] { EXPECT_EQ(b.runs, c.runs); });
        });
    if (c.selecting) {
      EXPECT_EQ(response, ui::RequestCompleted) << "the select button answered";
    }
  }
}

TEST_F(QVBrowse, ADoubleClickInAPickerSelects) {
  World world;
  world.add(1, "first");
  int response = 0;
  run(world,
      [&](BrowseItems& b) {
        b.setDefault("?Select");
        b.setDefault("?View");  // View is a default too, but a picker selects first
        b.Browse.Selecting = true;
        b.responseOut = &response;
      },
      [&](Driver& d, WindowDriver& w, ListDriver& list, BrowseItems& b) {
        list.select(1);
        // The second click of a double click, as the list reports it.
        d.gui([&] { b.window().post(ui::EVENT::Accepted, b.window().feq("?Browse"), ui::Key::MouseLeft2); });
        d.waitClosed(w);
      });
  EXPECT_EQ(response, ui::RequestCompleted);
}

TEST_F(QVBrowse, CopyStartsTheNewRecordFromTheSelectedOne) {
  World world;
  world.add(1, "first");
  world.add(2, "second");
  run(world, {}, [&](Driver& d, WindowDriver& w, ListDriver& list, BrowseItems& b) {
    list.select(2);
    w.press("?Copy");
    d.gui([&] {
      ASSERT_EQ(b.runs.size(), 1u);
      EXPECT_EQ(b.runs[0].second, ui::InsertRecord);
      EXPECT_EQ(b.copiedName, "second") << "the new record starts as a copy";
      EXPECT_EQ(b.copiedId, 3) << "with a number of its own";
      EXPECT_EQ(b.Browse.Popup.ItemNames().back(), "!View");
    });
  });
}

}  // namespace
