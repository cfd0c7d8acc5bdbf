// BrowseClass over a small table and over 10,000 records: orders, named filters, ranges,
// locators, page loading, the requests of the buttons and the popup, and edit in place.
#include "platform/ui/browse_class.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/files/file.h"
#include "platform/files/file_manager.h"
#include "platform/rt/fixed_string.h"
#include "platform/ui/event.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/list_driver.h"
#include "platform/ui/testing/scripted_host.h"

using namespace ov::ui;
using ov::rt::Err;
using ov::rt::FieldType;
using ov::ui::test::Driver;
using ov::ui::test::ListDriver;
using ov::ui::test::runScript;
using ov::ui::test::ScriptedHost;
using ov::ui::test::WindowDriver;

namespace {

// ---- the table ---------------------------------------------------------------------------------

struct Item {
  int32_t id = 0;
  ov::rt::String<20> name;
  ov::rt::String<12> city;
  double amount = 0;
};

const ov::rt::FieldDesc kItemFields[] = {
    {"ITM:ID", FieldType::Long, 4, 0, offsetof(Item, id)},
    {"ITM:Name", FieldType::String, 20, 4, offsetof(Item, name)},
    {"ITM:City", FieldType::String, 12, 24, offsetof(Item, city)},
    {"ITM:Amount", FieldType::Real, 8, 36, offsetof(Item, amount)},
};
const ov::rt::RecordDesc kItem{"ITM", kItemFields, 44};

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ov_ui_browse_XXXXXX").string();
    m_path = ::mkdtemp(tmpl.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};

ov::db::FileDecl itemDecl(Item& buffer, std::string storage, bool uniqueNames) {
  ov::db::FileDecl d;
  d.label = "ITEMS";
  d.prefix = "ITM";
  d.name = "ITEMS";
  d.nameFrom = [storage] { return storage; };
  d.record = &kItem;
  d.buffer = &buffer;
  d.bufferSize = sizeof buffer;
  d.keys = {
      {.name = "ITM:KeyID", .description = "ID", .parts = {{"ITM:ID"}}, .unique = true, .primary = true,
       .autoNumber = ov::db::AutoNumber::Whole},
      {.name = "ITM:KeyName", .description = "Name", .parts = {{"ITM:Name"}}, .unique = uniqueNames},
  };
  d.errorLabel = "Items [Items]";
  return d;
}

// The table with its file manager and a view, made on the test's main thread (the GUI thread).
struct World {
  explicit World(bool uniqueNames = false)
      : file(itemDecl(itm, dir.path() + "/DATA.ZEZ\\!Items", uniqueNames)), fm(file), view(fm) {
    errors.setSink([this](const ov::db::ErrorReport& r) {
      reports.push_back(r.text);
      return ov::db::Level::Notify;
    });
    fm.setErrors(&errors);
    EXPECT_EQ(fm.Open(), Err::None);
  }
  void add(int id, const char* name, const char* city, double amount) {
    itm.id = id;
    itm.name = name;
    itm.city = city;
    itm.amount = amount;
    EXPECT_EQ(file.add(), Err::None);
  }
  void addSmall() {
    add(1, "bob", "Oslo", 10);
    add(2, "Alice", "Rome", -5);
    add(3, "carl", "Kyiv", 30);
    add(4, "Dora", "Oslo", 20);
    add(5, "anna", "Lima", 15);
    add(6, "Eve", "Oslo", 0);
  }
  Item byId(int id) {
    itm.id = id;
    Item out;
    if (file.get(file.key("ITM:KeyID")) == Err::None) out = itm;
    return out;
  }

  TempDir dir;
  Item itm;
  ov::db::File file;
  ov::db::FileManager fm;
  ov::db::ViewManager view;
  ov::db::ErrorClass errors;
  std::vector<std::string> reports;
};

// ---- the window --------------------------------------------------------------------------------

struct Row {
  ov::rt::String<20> name;
  ov::rt::String<12> city;
  double amount = 0;
  int32_t id = 0;
};
const ov::rt::FieldDesc kRowFields[] = {
    {"Name", FieldType::String, 20, 0, offsetof(Row, name)},
    {"City", FieldType::String, 12, 20, offsetof(Row, city)},
    {"Amount", FieldType::Real, 8, 32, offsetof(Row, amount)},
    {"ID", FieldType::Long, 4, 40, offsetof(Row, id)},
};
const ov::rt::RecordDesc kRow{"ROW", kRowFields, 44};

class BrowseItems : public WindowManager {
 public:
  BrowseItems(World& w, std::function<void(BrowseItems&)> setUp)
      : WindowManager("BrowseItems"), m_world(w), m_setUp(std::move(setUp)) {}
  using WindowManager::Run;

  Level Init() override {
    window().setTitle("Items");
    window().at(-1, -1, 300, 190);
    list = window()
               .add<ListControl>(0, "?Browse")
               .from(queue, kRow)
               .format("80L(2)|M~Name~@s20@60L(2)|M~City~@s12@50R(2)~Amount~@n-10.2@")
               .at(4, 4, 230, listHeight)
               .feq();
    Browse.world = &m_world;
    Browse.Init(list, m_world.view, *this);
    Browse.AddField("ITM:Name", "Name");
    Browse.AddField("ITM:City", "City");
    Browse.AddField("ITM:Amount", "Amount");
    Browse.AddField("ITM:ID", "ID");
    Browse.InsertControl = window().button("?Insert", "&Insert").at(240, 4, 50, 14).feq();
    Browse.ChangeControl = window().button("?Change", "&Change").at(240, 20, 50, 14).feq();
    Browse.DeleteControl = window().button("?Delete", "&Delete").at(240, 36, 50, 14).feq();
    window().prompt("?LocatePrompt", "&Locate:").at(4, 176, 30, 10);
    locateEntry = window().entry("?Locate", "@s20").at(40, 176, 80, 10).feq();
    if (m_setUp) m_setUp(*this);
    AddItem(Browse);
    Open();
    return Level::Benign;
  }
  // Computed columns: the city shown with the amount's sign.
  struct Derived : BrowseClass {
    World* world = nullptr;
    bool computeCity = false;
    void SetQueueRecord() override {
      BrowseClass::SetQueueRecord();
      if (!computeCity) return;
      auto& row = *static_cast<Row*>(list().queue()->buffer());
      row.city = (world->itm.city.str() + (world->itm.amount < 0 ? "-" : "+")).c_str();
    }
  };
  int Run(int number, int request) override {
    runs.push_back({number, request});
    return onRun ? onRun(request) : RequestCancelled;
  }

  ov::rt::Queue<Row> queue;
  Derived Browse;
  StepLocatorClass stepLocator;
  IncrementalLocatorClass typedLocator;
  EntryLocatorClass entryLocator;
  int list = 0, locateEntry = 0;
  int listHeight = 140;
  std::vector<std::pair<int, int>> runs;
  std::function<int(int)> onRun;

 private:
  World& m_world;
  std::function<void(BrowseItems&)> m_setUp;
};

class Browse : public ::testing::Test {
 protected:
  void SetUp() override { ov::ui::test::application(); }
  void TearDown() override {
    closeAllWindows();
    processEvents();
  }
  // Starts the browse and runs the script against it.
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

using Texts = std::vector<std::string>;

TEST_F(Browse, OrdersFiltersRangesAndLocators) {
  World world;
  world.addSmall();
  ov::rt::String<12> city = "Oslo";
  auto setUp = [&](BrowseItems& b) {
    b.Browse.AddSortOrder(ov::db::Key(&world.file, 1));  // ITM:KeyName, case ignored
    b.stepLocator.Init("ITM:Name");
    b.Browse.AddLocator(b.stepLocator);
    b.Browse.AddSortOrder();
    b.Browse.SetOrder("UPPER(ITM:City)");
    b.Browse.AppendOrder("-ITM:Amount");
    b.Browse.SetFilter("ITM:Amount > 0", "Positive");
    b.entryLocator.Init("ITM:City", b.locateEntry);
    b.Browse.AddLocator(b.entryLocator);
    b.Browse.AddSortOrder(ov::db::Key(&world.file, 1));
    b.Browse.AddRange("ITM:City", Binding(city));
    b.Browse.AddResetField(Binding(city));
    b.Browse.SetSort(1);
  };
  run(world, setUp, [&](Driver& d, WindowDriver& w, ListDriver& list, BrowseItems& b) {
    EXPECT_EQ(list.texts(1), (Texts{"Alice", "anna", "bob", "carl", "Dora", "Eve"}));
    EXPECT_EQ(list.texts(3), (Texts{"-5.00", "15.00", "10.00", "30.00", "20.00", "0.00"}));
    EXPECT_EQ(list.selected(), 1);
    w.with([&](Window&) { EXPECT_EQ(world.itm.id, 2) << "the buffer holds the selected record"; });

    list.type("d");  // a step locator: the first name at or after "d"
    EXPECT_EQ(list.selected(), 5);
    w.with([&](Window&) { EXPECT_EQ(world.itm.name.str(), "Dora"); });

    d.gui([&] {
      b.Browse.SetSort(2);
      b.Browse.ResetSort(false);
      EXPECT_EQ(b.Browse.GetOrder(), "UPPER(ITM:City),-ITM:Amount");
      EXPECT_EQ(b.Browse.GetFilter(), "ITM:Amount > 0");
      EXPECT_EQ(b.Browse.Records(), 4);
    });
    EXPECT_EQ(list.texts(1), (Texts{"carl", "anna", "Dora", "bob"}));

    w.type("?Locate", "o");  // an entry locator on the city
    w.accept("?Locate");
    EXPECT_EQ(list.selected(), 3);

    // Two named parts of one order's filter are joined; removing one leaves the other.
    d.gui([&] {
      b.Browse.SetFilter("ITM:City <> 'Oslo'", "NotOslo");
      b.Browse.ResetSort(true);
      EXPECT_EQ(b.Browse.GetFilter(), "(ITM:Amount > 0) AND (ITM:City <> 'Oslo')");
    });
    EXPECT_EQ(list.texts(1), (Texts{"carl", "anna"}));
    d.gui([&] {
      b.Browse.SetFilter("", "Positive");
      b.Browse.ResetSort(true);
    });
    EXPECT_EQ(list.texts(1), (Texts{"carl", "anna", "Alice"}));

    // A range through a variable; changing the variable reads the view again at the next reset.
    d.gui([&] {
      b.Browse.SetSort(3);
      b.Browse.ResetSort(false);
    });
    EXPECT_EQ(list.texts(1), (Texts{"bob", "Dora", "Eve"}));
    d.gui([&] {
      city = "rome";
      b.Browse.Reset(false);
    });
    EXPECT_EQ(list.texts(1), (Texts{"Alice"}));

    // A derived browse computes a column from each record.
    d.gui([&] {
      b.Browse.computeCity = true;
      b.Browse.Reset(false);
    });
    EXPECT_EQ(list.texts(2), (Texts{"Rome-"}));

    // A filter that cannot be read selects nothing and says why.
    d.gui([&] {
      b.Browse.SetSort(1);
      b.Browse.SetFilter("ITM:Amount >", "Broken");
      b.Browse.ResetSort(true);
      EXPECT_EQ(b.Browse.lastError(), Err::BadExpression);
    });
    EXPECT_EQ(list.texts(1), Texts{});
  });
}

TEST_F(Browse, ButtonsAndPopupCallTheUpdateProcedureWithTheRequest) {
  World world;
  world.addSmall();
  ScriptedHost host;
  std::vector<std::string> changed;
  auto setUp = [&](BrowseItems& b) {
    b.Browse.AddSortOrder(ov::db::Key(&world.file, 1));
    b.Browse.AskProcedure = 7;
    b.onRun = [&](int request) {
      if (request == InsertRecord) {
        world.itm.name = "Zed";
        world.itm.city = "Turku";
        return world.fm.Insert() == Err::None ? RequestCompleted : RequestCancelled;
      }
      if (request == ChangeRecord) {
        changed.push_back(world.itm.name.str());  // the procedure gets the selected record
        if (world.itm.name.str() != "bob") return RequestCancelled;
        world.itm.name = "Zack";
        return world.fm.Update() == Err::None ? RequestCompleted : RequestCancelled;
      }
      return RequestCancelled;
    };
  };
  run(world, setUp, [&](Driver& d, WindowDriver& w, ListDriver& list, BrowseItems& b) {
    w.press("?Insert");
    EXPECT_EQ(list.texts(1), (Texts{"Alice", "anna", "bob", "carl", "Dora", "Eve", "Zed"}));
    EXPECT_EQ(list.selected(), 7) << "the new record is selected";
    w.with([&](Window&) { EXPECT_EQ(world.itm.id, 7) << "numbered by the file"; });

    list.select(3);
    list.doubleClick(3);  // double click presses Change
    EXPECT_EQ(list.texts(1), (Texts{"Alice", "anna", "carl", "Dora", "Eve", "Zack", "Zed"}));
    EXPECT_EQ(list.selected(), 6);

    // The popup mimics the buttons; its Change item presses the button.
    std::vector<PopupItem> items = list.popup();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].text, "&Insert");
    EXPECT_EQ(items[1].text, "&Change");
    EXPECT_EQ(items[2].text, "&Delete");
    host.expectPopup("Change");
    list.rightClick(1);
    d.gui([&] {
      ASSERT_EQ(b.runs.size(), 3u);
      EXPECT_EQ(b.runs[0], (std::pair<int, int>{7, InsertRecord}));
      EXPECT_EQ(b.runs[1], (std::pair<int, int>{7, ChangeRecord}));
      EXPECT_EQ(b.runs[2], (std::pair<int, int>{7, ChangeRecord}));
    });
    EXPECT_EQ(changed, (Texts{"bob", "Alice"}));
    EXPECT_EQ(list.texts(1)[0], "Alice") << "a cancelled change changes nothing";

    // Without a procedure, delete asks and deletes; "No" keeps the record.
    d.gui([&] { b.Browse.AskProcedure = 0; });
    list.select(2);
    host.expectMessage("Are you sure you want to delete the highlighted record?", BUTTON::No);
    w.press("?Delete");
    EXPECT_EQ(list.texts(1).size(), 7u);
    host.expectMessage("Are you sure you want to delete the highlighted record?", BUTTON::Yes);
    list.key(Key::Delete);
    EXPECT_EQ(list.texts(1), (Texts{"Alice", "carl", "Dora", "Eve", "Zack", "Zed"}));
    EXPECT_EQ(list.selected(), 2);
    d.gui([&] { EXPECT_EQ(world.byId(5).id, 0) << "anna is gone from the file"; });
  });
  EXPECT_FALSE(host.pending());
}

// Buttons that act on a row, the browse's own and the window's, are greyed while the list is
// empty.
TEST_F(Browse, RowButtonsGreyedWhileTheListIsEmpty) {
  World world;
  ScriptedHost host;
  auto setUp = [&](BrowseItems& b) {
    b.Browse.AddSortOrder(ov::db::Key(&world.file, 1));
    b.Browse.AskProcedure = 7;
    const int mark = b.window().button("?Mark", "&Mark").at(240, 52, 50, 14).feq();
    b.Browse.RowControls = {mark};
    b.onRun = [&](int request) {
      if (request != InsertRecord) return RequestCancelled;
      world.itm.name = "Zed";
      return world.fm.Insert() == Err::None ? RequestCompleted : RequestCancelled;
    };
  };
  run(world, setUp, [&](Driver& d, WindowDriver& w, ListDriver& list, BrowseItems& b) {
    for (const char* name : {"?Change", "?Delete", "?Mark"}) EXPECT_FALSE(w.enabled(name)) << name;
    EXPECT_TRUE(w.enabled("?Insert"));

    w.press("?Insert");
    ASSERT_EQ(list.texts(1), (Texts{"Zed"}));
    for (const char* name : {"?Change", "?Delete", "?Mark"}) EXPECT_TRUE(w.enabled(name)) << name;

    d.gui([&] { b.Browse.AskProcedure = 0; });
    host.expectMessage("Are you sure you want to delete the highlighted record?", BUTTON::Yes);
    w.press("?Delete");
    EXPECT_TRUE(list.texts(1).empty());
    for (const char* name : {"?Change", "?Delete", "?Mark"}) EXPECT_FALSE(w.enabled(name)) << name;
  });
  EXPECT_FALSE(host.pending());
}

TEST_F(Browse, PagesOverTenThousandRecords) {
  World world;
  ASSERT_EQ(ov::db::LOGOUT(1, {&world.file}), Err::None);
  char name[16];
  for (int i = 0; i < 10000; ++i) {
    std::snprintf(name, sizeof name, "N%05d", i);
    world.add(i + 1, name, "X", i);
  }
  ASSERT_EQ(ov::db::COMMIT(), Err::None);
  auto setUp = [&](BrowseItems& b) {
    b.Browse.AddSortOrder(ov::db::Key(&world.file, 1));
    b.typedLocator.Init("ITM:Name");
    b.Browse.AddLocator(b.typedLocator);
  };
  auto names = [](int64_t first, int count) {
    Texts t;
    char n[16];
    for (int i = 0; i < count; ++i) {
      std::snprintf(n, sizeof n, "N%05lld", static_cast<long long>(first + i));
      t.push_back(n);
    }
    return t;
  };
  run(world, setUp, [&](Driver& d, WindowDriver& w, ListDriver& list, BrowseItems& b) {
    int k = list.items();
    ASSERT_GE(k, 3);
    // Opened, the view has read about a page of the file, not all of it.
    d.gui([&] {
      EXPECT_FALSE(b.Browse.view().complete());
      EXPECT_LE(b.Browse.view().known(), 4 * k);
    });
    EXPECT_EQ(list.texts(1), names(0, k));
    EXPECT_EQ(list.prop(Prop::VScrollPos), "0");
    // A thumb dragged before the view knows its end goes by the file's size and reads that far.
    d.gui([&] { b.Browse.ScrollDrag(50); });
    EXPECT_EQ(list.texts(1), names((10000 - k) / 2, k));
    EXPECT_NEAR(std::stoi(list.prop(Prop::VScrollPos)), 50, 1);
    d.gui([&] { EXPECT_LT(b.Browse.view().known(), 10000); });
    list.key(Key::Home);
    EXPECT_EQ(list.texts(1), names(0, k));
    d.gui([&] { EXPECT_EQ(b.Browse.Records(), 10000); });

    list.key(Key::PgDn);
    EXPECT_EQ(list.texts(1), names(k, k));
    EXPECT_EQ(list.selected(), 1);
    list.key(Key::Up);  // at the first row: the page moves by one
    EXPECT_EQ(list.texts(1), names(k - 1, k));

    list.key(Key::Ctrl | Key::End);
    EXPECT_EQ(list.texts(1), names(10000 - k, k));
    EXPECT_EQ(list.selected(), k);
    EXPECT_EQ(list.prop(Prop::VScrollPos), "100");
    w.with([&](Window&) { EXPECT_EQ(world.itm.name.str(), "N09999"); });
    list.key(Key::Down);  // nothing after the last
    EXPECT_EQ(list.texts(1), names(10000 - k, k));
    list.key(Key::PgDn);
    EXPECT_EQ(list.selected(), k);

    d.gui([&] { b.Browse.ScrollDrag(50); });
    EXPECT_EQ(list.texts(1), names((10000 - k) / 2, k));

    list.key(Key::Home);
    EXPECT_EQ(list.texts(1), names(0, k));

    list.type("N05");  // typed characters add up
    EXPECT_EQ(list.texts(1)[static_cast<size_t>(list.selected() - 1)], "N05000");
    list.type("7");
    EXPECT_EQ(list.texts(1)[static_cast<size_t>(list.selected() - 1)], "N05700");
    list.key(Key::Backspace);
    EXPECT_EQ(list.texts(1)[static_cast<size_t>(list.selected() - 1)], "N05000");
  });
}

// A list placed at a value reads from there: it shows the rows a list read from its start shows
// at that place, and the rows before it come back in order up to the first, where the page's
// index becomes exact (the filter drops records before the place, so the first estimate is high).
TEST_F(Browse, ALocatedListShowsTheSameRowsAndScrollsBackToTheFirst) {
  World world;
  ASSERT_EQ(ov::db::LOGOUT(1, {&world.file}), Err::None);
  char name[16];
  Texts shown;  // the names the filter keeps, in key order
  for (int i = 0; i < 3000; ++i) {
    std::snprintf(name, sizeof name, "N%05d", (i * 7) % 3000);  // key order is not file order
    const bool dropped = (i * 7) % 3000 % 10 == 3;
    world.add(i + 1, name, dropped ? "Drop" : "X", i);
  }
  ASSERT_EQ(ov::db::COMMIT(), Err::None);
  for (int n = 0; n < 3000; ++n)
    if (n % 10 != 3) {
      std::snprintf(name, sizeof name, "N%05d", n);
      shown.push_back(name);
    }
  auto setUp = [&](BrowseItems& b) {
    b.Browse.AddSortOrder(ov::db::Key(&world.file, 1));
    b.Browse.SetFilter("ITM:City<>'Drop'");
    b.stepLocator.Init("ITM:Name");
    b.Browse.AddLocator(b.stepLocator);
  };
  auto from = [&](size_t first, size_t count) {
    return Texts(shown.begin() + static_cast<std::ptrdiff_t>(first),
                 shown.begin() + static_cast<std::ptrdiff_t>(std::min(shown.size(), first + count)));
  };
  const size_t at = static_cast<size_t>(std::find(shown.begin(), shown.end(), "N02000") - shown.begin());
  run(world, setUp, [&](Driver& d, WindowDriver&, ListDriver& list, BrowseItems& b) {
    const size_t k = static_cast<size_t>(list.items());
    d.gui([&] {
      b.Browse.Locate(b.stepLocator, "n02000");
      EXPECT_LT(b.Browse.view().known() - b.Browse.view().first(), 4 * static_cast<int64_t>(k))
          << "the records before the place are not read";
      EXPECT_GE(b.Browse.firstRow(), static_cast<int64_t>(at));
    });
    EXPECT_EQ(list.texts(1), from(at, k));
    EXPECT_EQ(list.selected(), 1);
    list.key(Key::PgUp);
    EXPECT_EQ(list.texts(1), from(at - k, k));
    list.key(Key::Up);
    EXPECT_EQ(list.texts(1), from(at - k - 1, k));
    // A value between records places the list at the next one; past the last, at the last.
    d.gui([&] { b.Browse.Locate(b.stepLocator, "N00993"); });
    EXPECT_EQ(list.texts(1)[static_cast<size_t>(list.selected() - 1)], "N00994");
    d.gui([&] { b.Browse.Locate(b.stepLocator, "Z"); });
    EXPECT_EQ(list.texts(1).back(), "N02999");
    EXPECT_EQ(list.selected(), static_cast<int>(k));
    list.key(Key::Ctrl | Key::End);
    EXPECT_EQ(list.texts(1), from(shown.size() - k, k));
    EXPECT_EQ(list.selected(), static_cast<int>(k));
    d.gui([&] { EXPECT_LT(b.Browse.view().known() - b.Browse.view().first(), 4 * static_cast<int64_t>(k)); });
    list.key(Key::Ctrl | Key::Home);
    EXPECT_EQ(list.texts(1), from(0, k));
    // Counting the records reads back to the first: the next page's index is exact.
    d.gui([&] { b.Browse.Locate(b.stepLocator, "N02000"); });
    d.gui([&] { EXPECT_EQ(b.Browse.Records(), static_cast<int64_t>(shown.size())); });
    list.key(Key::PgDn);
    EXPECT_EQ(list.texts(1), from(at + k, k));
    d.gui([&] { EXPECT_EQ(b.Browse.firstRow(), static_cast<int64_t>(at + k)); });
    // Paging up all the way ends on the first records, at index 0.
    d.gui([&] { b.Browse.Locate(b.stepLocator, "N00100"); });
    for (int i = 0; i < 20; ++i) list.key(Key::PgUp);
    EXPECT_EQ(list.texts(1), from(0, k));
    d.gui([&] {
      EXPECT_EQ(b.Browse.firstRow(), 0);
      EXPECT_EQ(b.Browse.view().first(), 0);
    });
  });
}

TEST_F(Browse, EditsColumnsInPlace) {
  World world(/*uniqueNames=*/true);
  world.addSmall();
  auto setUp = [&](BrowseItems& b) {
    b.Browse.AddSortOrder(ov::db::Key(&world.file, 1));
    b.Browse.AddEditControl(1);
    b.Browse.AddEditControl(2);
  };
  run(world, setUp, [&](Driver& d, WindowDriver& w, ListDriver& list, BrowseItems& b) {
    // Change: the name, Tab to the city, Enter writes the record.
    list.select(2);
    w.press("?Change");
    EXPECT_TRUE(w.shown("?EIP:ITM:Name"));
    EXPECT_FALSE(w.shown("?EIP:ITM:City"));
    EXPECT_EQ(w.text("?EIP:ITM:Name"), "anna");
    w.type("?EIP:ITM:Name", "Anne");
    w.key("?EIP:ITM:Name", Key::Tab);
    EXPECT_TRUE(w.shown("?EIP:ITM:City"));
    EXPECT_FALSE(w.shown("?EIP:ITM:Name"));
    w.type("?EIP:ITM:City", "Bergen");
    w.accept("?EIP:ITM:City");
    EXPECT_FALSE(w.shown("?EIP:ITM:City"));
    EXPECT_EQ(list.texts(1), (Texts{"Alice", "Anne", "bob", "carl", "Dora", "Eve"}));
    EXPECT_EQ(list.texts(2)[1], "Bergen");
    d.gui([&] {
      Item anna = world.byId(5);
      EXPECT_EQ(anna.name.str(), "Anne");
      EXPECT_EQ(anna.city.str(), "Bergen");
      EXPECT_EQ(anna.amount, 15) << "columns not edited keep their values";
    });

    // Insert: a new row under the selected one; the record is numbered and put in its place.
    w.press("?Insert");
    EXPECT_EQ(list.texts(1).size(), 7u);
    EXPECT_EQ(list.selected(), 3);
    w.type("?EIP:ITM:Name", "Zoe");
    w.key("?EIP:ITM:Name", Key::Tab);
    w.type("?EIP:ITM:City", "Paris");
    w.accept("?EIP:ITM:City");
    EXPECT_EQ(list.texts(1), (Texts{"Alice", "Anne", "bob", "carl", "Dora", "Eve", "Zoe"}));
    EXPECT_EQ(list.selected(), 7);
    d.gui([&] {
      Item zoe = world.byId(7);
      EXPECT_EQ(zoe.name.str(), "Zoe");
      EXPECT_EQ(zoe.city.str(), "Paris");
    });

    // A write the file refuses (a duplicate name) keeps the row in edit; Esc then cancels it.
    w.press("?Insert");
    w.type("?EIP:ITM:Name", "bob");
    w.accept("?EIP:ITM:Name");
    EXPECT_TRUE(w.shown("?EIP:ITM:Name"));
    d.gui([&] { EXPECT_TRUE(b.Browse.isEditing()); });
    EXPECT_EQ(world.reports.size(), 1u);
    w.key("?EIP:ITM:Name", Key::Esc);
    EXPECT_FALSE(w.shown("?EIP:ITM:Name"));
    EXPECT_EQ(list.texts(1).size(), 7u);
    d.gui([&] {
      EXPECT_FALSE(b.Browse.isEditing());
      EXPECT_EQ(world.file.records(), 7) << "the reserved number was given back";
    });

    // Esc on a change writes nothing.
    list.select(1);
    w.press("?Change");
    w.type("?EIP:ITM:Name", "Xavier");
    w.key("?EIP:ITM:Name", Key::Esc);
    EXPECT_EQ(list.texts(1)[0], "Alice");
    d.gui([&] { EXPECT_EQ(world.byId(2).name.str(), "Alice"); });
  });
}

}  // namespace
