// An explorer list over a file browse (list type 1), offscreen: a header click orders the view by
// the column's prepared order, a quick filter narrows it, and the export writes every record of
// the filtered view in its order, also those the list does not show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/files/file.h"
#include "platform/files/file_manager.h"
#include "platform/files/view_manager.h"
#include "platform/ui/browse_class.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/list_driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "winclasses/tests/explore_fixture.h"

using namespace ov::winclasses;
using namespace ov::winclasses::test;
using ov::rt::Err;
using ov::rt::FieldType;
using ov::ui::test::Driver;
using ov::ui::test::ListDriver;
using ov::ui::test::runScript;
using ov::ui::test::ScriptedHost;
using ov::ui::test::WindowDriver;

namespace {

struct Item {
  int32_t id = 0;
  ov::rt::String<20> name;
  ov::rt::String<12> city;
};
const ov::rt::FieldDesc kItemFields[] = {
    {"ITM:ID", FieldType::Long, 4, 0, offsetof(Item, id)},
    {"ITM:Name", FieldType::String, 20, 4, offsetof(Item, name)},
    {"ITM:City", FieldType::String, 12, 24, offsetof(Item, city)},
};
const ov::rt::RecordDesc kItem{"ITM", kItemFields, 36};

struct Row {
  ov::rt::String<20> name;
  ov::rt::String<12> city;
  int32_t id = 0;
};
const ov::rt::FieldDesc kRowFields[] = {
    {"Name", FieldType::String, 20, 0, offsetof(Row, name)},
    {"City", FieldType::String, 12, 20, offsetof(Row, city)},
    {"ID", FieldType::Long, 4, 32, offsetof(Row, id)},
};
const ov::rt::RecordDesc kRow{"ROW", kRowFields, 36};

ov::db::FileDecl itemDecl(Item& buffer, std::string storage) {
  ov::db::FileDecl d;
  d.label = "ITEMS";
  d.prefix = "ITM";
  d.name = "ITEMS";
  d.nameFrom = [storage] { return storage; };
  d.record = &kItem;
  d.buffer = &buffer;
  d.bufferSize = sizeof buffer;
  d.keys = {{.name = "ITM:KeyID", .description = "ID", .parts = {{"ITM:ID"}}, .unique = true, .primary = true}};
  d.errorLabel = "Items [Items]";
  return d;
}

// The explorer of a browse: two orders of the browse per sortable column after its key order.
class BrowseExplorer : public ExploreClass {
 public:
  void ListBoxData() override {
    GrLBF = packColumn({"ITM:Name", 80, "Name", "@s20", "Name", 'L', 1, 0, 0, 1, 1, ' '}) +
            packColumn({"ITM:City", 60, "City", "@s12", "City", 'L', 1, 0, 0, 1, 1, ' '}) +
            packColumn({"ITM:ID", 30, "ID", "@n_5", "Number", 'R', 1, 0, 0, 1, 1, ' '});
    QDim = 3;
    QDimS = 0;
    GrASF = std::string(1, '\0') + pack16(0);
    GetQFields();
    CreateFormatQ(0);
  }
  void AddColumnSortOrder(int) override { (void)BC->AddSortOrder(); }
  void SetNewOrderFields() override {
    XPGQ* c = columnAt(sequence());
    if (!c) return;
    int k = 0;
    for (const XPGQ& f : FQ) {
      if (f.SortField) ++k;
      if (f.QNos == c->QNos) break;
    }
    (void)BC->SetSort(1 + 2 * (k - 1) + c->AscDesc + 1);
  }
  void SetFilters() override {}
  long GetRecordsInKey() override { return static_cast<long>(BC->Records()); }
  int sequence() const { return vars.sequenceNbr ? *vars.sequenceNbr : 0; }
};

class BrowseWindow : public ov::ui::WindowManager {
 public:
  BrowseWindow(ov::db::ViewManager& view, std::string ini) : WindowManager("ExploreBrowse"), m_view(view), m_ini(ini) {
    vars.restoreHeader = &restoreHeader;
    vars.viewOrder = &viewOrder;
    vars.sequenceNbr = &sequence;
    vars.mask = &mask;
    vars.fileSeqOn = &fileSeqOn;
    vars.titleText = &title;
  }
  ov::ui::Level Init() override {
    ov::ui::Window& w = window();
    w.setTitle("Items");
    w.at(-1, -1, 260, 100);
    list = w.add<ov::ui::ListControl>(0, "?Browse").from(queue, kRow).format(
        "80L(1)M|~Name~L(1)@s20@#1#60L(1)M|~City~L(1)@s12@#2#30R(1)M|~ID~R(1)@n_5@#3#").at(4, 4, 240, 60).feq();
    Open();
    browse.Init(list, m_view, *this);
    (void)browse.AddSortOrder(m_keyId);
    browse.AddField("ITM:Name", "Name");
    browse.AddField("ITM:City", "City");
    browse.AddField("ITM:ID", "ID");
    explorer.Init(*this, browse, query, list, "Text Bar", m_ini, false, vars);
    explorer.GetBBSize("ExploreBrowse", "?Browse");
    explorer.AddAllColumnSortOrders(true);
    (void)browse.SetSort(1);  // the key order until a column is chosen
    sequence = 0;
    AddItem(browse);
    return ov::ui::Level::Benign;
  }
  ov::ui::Level TakeWindowEvent() override {
    int e = ov::ui::EVENT();
    if (e >= 1025 && e <= 1080) {
      if (e == ExploreEvent::LeftUp)
        explorer.LeftButtonUp(1);
      else if (e == ExploreEvent::RightUp)
        explorer.RightButtonUp();
      else
        explorer.HandleMyEvents(e);
      if (e == ExploreEvent::NewSort && viewOrder) {
        viewOrder = 0;
        browse.ResetSort(true);
        explorer.SetVisual();

      }
      return ov::ui::Level::Notify;
    }
    return WindowManager::TakeWindowEvent();
  }
  ov::ui::Level Kill() override {
    explorer.Kill();
    return WindowManager::Kill();
  }

  ov::db::Key m_keyId;
  ov::rt::Queue<Row> queue;
  ov::ui::BrowseClass browse;
  ov::ui::QueryClass query;
  BrowseExplorer explorer;
  ExploreWindowVars vars;
  uint8_t restoreHeader = 0, viewOrder = 0, sequence = 0, fileSeqOn = 0;
  int64_t mask = 0;
  std::string title;
  int list = 0;

 private:
  ov::db::ViewManager& m_view;
  std::string m_ini;
};

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(ExploreBrowse, HeaderOrderQuickFilterAndExportOfTheWholeView) {
  (void)ov::ui::test::application();
  TempDir dir;
  Item itm;
  ov::db::File file(itemDecl(itm, dir.file("DATA.ZEZ") + "\\!Items"));
  ov::db::FileManager fm(file);
  ov::db::ViewManager view(fm);
  ASSERT_EQ(fm.Open(), Err::None);
  const char* kCities[] = {"Oslo", "Rome", "Oslo", "Kyiv"};
  for (int i = 1; i <= 24; ++i) {
    itm.id = i;
    char name[8];
    std::snprintf(name, sizeof name, "n%02d", (i * 7) % 24 + 1);
    itm.name = name;
    itm.city = kCities[i % 4];
    ASSERT_EQ(file.add(), Err::None);
  }
  ScriptedHost host;
  BrowseWindow w(view, dir.file("POSITION.INI"));
  w.m_keyId = file.key("ITM:KeyID");
  w.explorer.BrowseHeader = true;
  w.explorer.ShellExecute = false;
  w.explorer.Separator = ",";
  runScript([&](Driver& d) {
    d.later([&] { (void)w.Run(); });
    WindowDriver wd = d.waitWindow("ExploreBrowse");
    ListDriver list(d, wd, "?Browse");
    EXPECT_LT(list.items(), 24) << "the list shows a page of the view";

    list.clickHeader(1);  // by name, ascending
    list.clickHeader(1);  // descending
    std::vector<std::string> names = list.texts(1);
    ASSERT_GT(names.size(), 2u);
    EXPECT_TRUE(std::is_sorted(names.rbegin(), names.rend())) << "the page is in the new order";
    EXPECT_EQ(wd.title(), "Name (Descending)");

    // A quick filter on the city of a row of Oslo.
    int oslo = 0;
    std::vector<std::string> cities = list.texts(2);
    for (size_t i = 0; i < cities.size() && !oslo; ++i)
      if (cities[i] == "Oslo") oslo = static_cast<int>(i) + 1;
    ASSERT_NE(oslo, 0);
    list.select(oslo);
    d.gui([&] {
      w.explorer.CurrentCol = 2;
      w.explorer.HandleMyEvents(ExploreEvent::FilterEqual);
    });
    d.settle();
    for (const std::string& c : list.texts(2)) EXPECT_EQ(c, "Oslo");

    host.expectFile("Select ASCII Export File", {dir.file("items.csv")});
    wd.post(ExploreEvent::ExportAscii);
    d.settle();
    wd.close();
    d.waitClosed(wd);
  });
  // Oslo is every other record (ids 2, 4, ... 24): twelve, by name descending.
  std::string want = "# Records=0000012\r\nName,City,ID\r\n";
  std::vector<std::pair<std::string, int>> rows;
  for (int i = 2; i <= 24; i += 2) {
    char name[8];
    std::snprintf(name, sizeof name, "n%02d", (i * 7) % 24 + 1);
    rows.emplace_back(name, i);
  }
  std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  for (const auto& r : rows) want += r.first + ",Oslo," + std::to_string(r.second) + "\r\n";
  EXPECT_EQ(readFile(dir.file("items.csv")), want);
}

}  // namespace
