// A browse over 100,000 records: opening it (the view selects and orders every record, the list
// loads its first page) and paging from the first page to the last.
//
// The browse runs on a declared window that is not shown, so the figures are those of the view
// and the page loading, without painting.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/files/file.h"
#include "platform/files/file_manager.h"
#include "platform/files/view_manager.h"
#include "platform/rt/fixed_string.h"
#include "platform/ui/browse_class.h"
#include "platform/ui/list_control.h"
#include "platform/ui/window_manager.h"

using namespace ov;

namespace {

constexpr int kRecords = 100000;

struct Item {
  int32_t id = 0;
  rt::String<20> name;
  rt::String<12> city;
  double amount = 0;
};
const rt::FieldDesc kItemFields[] = {
    {"ITM:ID", rt::FieldType::Long, 4, 0, offsetof(Item, id)},
    {"ITM:Name", rt::FieldType::String, 20, 4, offsetof(Item, name)},
    {"ITM:City", rt::FieldType::String, 12, 24, offsetof(Item, city)},
    {"ITM:Amount", rt::FieldType::Real, 8, 36, offsetof(Item, amount)},
};
const rt::RecordDesc kItem{"ITM", kItemFields, 44};

struct Row {
  rt::String<20> name;
  rt::String<12> city;
  double amount = 0;
};
const rt::FieldDesc kRowFields[] = {
    {"Name", rt::FieldType::String, 20, 0, offsetof(Row, name)},
    {"City", rt::FieldType::String, 12, 20, offsetof(Row, city)},
    {"Amount", rt::FieldType::Real, 8, 32, offsetof(Row, amount)},
};
const rt::RecordDesc kRow{"ROW", kRowFields, 40};

// The table, made once per run in a folder of its own.
struct Table {
  Table() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ov_browse_bench_XXXXXX").string();
    dir = ::mkdtemp(tmpl.data());
    db::FileDecl d;
    d.label = "ITEMS";
    d.prefix = "ITM";
    d.name = "ITEMS";
    std::string storage = dir + "/DATA.ZEZ\\!Items";
    d.nameFrom = [storage] { return storage; };
    d.record = &kItem;
    d.buffer = &itm;
    d.bufferSize = sizeof itm;
    d.owner = [] { return std::string("bench-pass"); };
    d.keys = {{.name = "ITM:KeyID", .description = "ID", .parts = {{"ITM:ID"}}, .unique = true, .primary = true},
              {.name = "ITM:KeyName", .description = "Name", .parts = {{"ITM:Name"}}}};
    file = std::make_unique<db::File>(d);
    fm = std::make_unique<db::FileManager>(*file);
    (void)fm->Open();
    (void)db::LOGOUT(5, {file.get()});
    const char* cities[] = {"Oslo", "Rome", "Kyiv", "Lima", "Turku", "Bergen", "Porto"};
    char name[24];
    for (int i = 0; i < kRecords; ++i) {
      // Names in an order other than the file's, so the key order is not the file order.
      std::snprintf(name, sizeof name, "N%05d", (i * 7919) % kRecords);
      itm.id = i + 1;
      itm.name = name;
      itm.city = cities[i % 7];
      itm.amount = i % 1000;
      (void)file->add();
    }
    (void)db::COMMIT();
  }
  ~Table() {
    fm.reset();
    file.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string dir;
  Item itm;
  std::unique_ptr<db::File> file;
  std::unique_ptr<db::FileManager> fm;
};

Table& table() {
  static Table t;
  return t;
}

// A browse window, declared but not opened: 20 rows a page.
struct BrowseWindow : ui::WindowManager {
  BrowseWindow() : ui::WindowManager("BrowseBench"), view(*table().fm) {
    int list = window()
                   .add<ui::ListControl>(0, "?Browse")
                   .from(queue, kRow)
                   .format("80L~Name~@s20@60L~City~@s12@50R~Amount~@n10.2@")
                   .at(4, 4, 200, 200)
                   .feq();
    Browse.Init(list, view, *this);
    Browse.AddField("ITM:Name", "Name");
    Browse.AddField("ITM:City", "City");
    Browse.AddField("ITM:Amount", "Amount");
    Browse.AddSortOrder(table().file->key("ITM:KeyName"));
    Browse.AddSortOrder();
    Browse.SetOrder("UPPER(ITM:City),-ITM:Amount");
    Browse.SetFilter("ITM:Amount >= 100");
  }
  db::ViewManager view;
  rt::Queue<Row> queue;
  ui::BrowseClass Browse;
};

void openFirstPage(benchmark::State& state, int order) {
  BrowseWindow w;
  w.Browse.SetSort(order);
  for (auto _ : state) {
    w.Browse.ResetSort(true);
    benchmark::DoNotOptimize(w.queue.RECORDS());
  }
  state.counters["records"] = static_cast<double>(w.Browse.Records());
  state.counters["rows"] = w.queue.RECORDS();
}

void BM_OpenFirstPageByKey(benchmark::State& state) { openFirstPage(state, 1); }
void BM_OpenFirstPageByExpressionAndFilter(benchmark::State& state) { openFirstPage(state, 2); }

void BM_PageToTheEnd(benchmark::State& state) {
  BrowseWindow w;
  w.Browse.SetSort(1);
  w.Browse.ResetSort(true);
  int64_t pages = 0;
  for (auto _ : state) {
    w.Browse.ScrollEnd(-1);
    pages = 0;
    while (w.Browse.firstRow() + w.queue.RECORDS() < w.Browse.Records()) {
      w.Browse.ScrollPage(1);
      ++pages;
    }
  }
  state.counters["pages"] = static_cast<double>(pages);
}

BENCHMARK(BM_OpenFirstPageByKey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenFirstPageByExpressionAndFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageToTheEnd)->Unit(benchmark::kMillisecond);

}  // namespace
