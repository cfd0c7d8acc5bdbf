// Views: orders of expressions with descending elements, filters over the record and the
// thread's names, range limits and page-wise reading; paged views bounded in their key.
#include "platform/files/view_manager.h"

#include <gtest/gtest.h>

#include "platform/files/tests/fixture.h"
#include "platform/rt/expr.h"

namespace ov::db {
namespace {

using rt::Err;
using testing::Person;
using testing::TempDir;

// The person file, with keys led by the date too (one of them descending) when asked.
FileDecl peopleDecl(Person& p, const std::string& name, bool dateKeys) {
  FileDecl d = testing::personDecl(p, name);
  if (dateKeys) {
    d.keys.push_back({.name = "PER:KeyDate", .description = "Date", .parts = {{"PER:Date"}}});
    d.keys.push_back({.name = "PER:KeyDateDown", .description = "Date down", .parts = {{"PER:Date", true}, {"PER:ID"}}});
  }
  return d;
}

struct ViewWorld {
  explicit ViewWorld(bool dateKeys = false)
      : file(peopleDecl(p, dir / "RO97.ZEZ\\!People", dateKeys)), fm(file), view(fm) {
    EXPECT_EQ(fm.Open(), Err::None);
    struct P {
      int id;
      const char* name;
      const char* city;
      int flag, date;
    };
    for (P x : {P{1, "bob", "Oslo", 1, 300}, P{2, "Alice", "Rome", 1, 100}, P{3, "carl", "Kyiv", 0, 300},
                P{4, "Dora", "Oslo", 1, 200}, P{5, "anna", "Lima", 1, 300}}) {
      testing::setPerson(p, x.id, x.name, x.city, x.flag, x.date);
      EXPECT_EQ(file.add(), Err::None);
    }
  }
  std::vector<int> all() {
    std::vector<int> ids;
    view.Reset();
    while (view.Next() == Err::None) ids.push_back(p.id);
    return ids;
  }

  TempDir dir;
  Person p;
  File file;
  FileManager fm;
  ViewManager view;
};

using Ids = std::vector<int>;

TEST(ViewManager, OrdersByElementsWithDescendingAndCaseRules) {
  ViewWorld w;
  struct Case {
    const char* order;
    Ids want;
  };
  const Case cases[] = {
      {"-PER:Date,UPPER(PER:Name)", {5, 1, 3, 4, 2}},
      {"PER:Name", {2, 4, 5, 1, 3}},  // case significant: capitals first
      {"UPPER(PER:Name)", {2, 5, 1, 3, 4}},
      {"-PER:Name", {3, 1, 5, 4, 2}},
      {"PER:Flag, -PER:ID", {3, 5, 4, 2, 1}},
      {"PER:KeyCity", {3, 5, 1, 4, 2}},  // a key by its name
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.order);
    ASSERT_EQ(w.view.SetOrder(c.order), Err::None);
    ASSERT_EQ(w.view.Open(), Err::None);
    EXPECT_EQ(w.all(), c.want);
  }
}

TEST(ViewManager, FiltersOverTheRecordAndBoundNamesAndRanges) {
  ViewWorld w;
  rt::String<12> wanted = "Oslo";
  rt::PUSHBIND();
  rt::BIND("Filter:City", wanted);
  ASSERT_EQ(w.view.SetOrder("PER:ID"), Err::None);
  ASSERT_EQ(w.view.SetFilter("PER:City=Filter:City AND PER:Flag"), Err::None);
  EXPECT_EQ(w.view.filter(), "PER:City=Filter:City AND PER:Flag");
  ASSERT_EQ(w.view.Open(), Err::None);
  EXPECT_EQ(w.all(), (Ids{1, 4}));
  wanted = "Rome";
  ASSERT_EQ(w.view.Open(), Err::None);
  EXPECT_EQ(w.all(), (Ids{2}));
  rt::POPBIND();

  ASSERT_EQ(w.view.SetFilter(""), Err::None);
  w.view.AddRange("PER:City", "kyiv", "OSLO");  // texts compare with case ignored
  w.view.SetFilterHook([&] { return w.p.id != 4; });
  ASSERT_EQ(w.view.Open(), Err::None);
  EXPECT_EQ(w.all(), (Ids{1, 3, 5}));
  w.view.ClearRanges();
  w.view.AddRange("PER:Date", "200", "300");
  ASSERT_EQ(w.view.Open(), Err::None);
  EXPECT_EQ(w.all(), (Ids{1, 3, 5}));
}

TEST(ViewManager, MalformedFilterOrOrderIsRefusedAndTheOldOneKept) {
  ViewWorld w;
  ASSERT_EQ(w.view.SetFilter("PER:Flag=1"), Err::None);
  EXPECT_EQ(w.view.SetFilter("PER:Flag=("), Err::BadExpression);
  EXPECT_EQ(rt::ERRORCODE(), 800);
  EXPECT_EQ(w.view.SetFilter("PER:NoSuchField=1"), Err::UnknownName);
  EXPECT_EQ(w.view.filter(), "PER:Flag=1");
  EXPECT_EQ(w.view.SetOrder("-UPPER(PER:Name"), Err::BadExpression);
  ASSERT_EQ(w.view.Open(), Err::None);
  EXPECT_EQ(w.view.records(), 4);
}

TEST(ViewManager, ReadsPagesSkipsRecordsDeletedSinceOpenAndLeavesTheFileAlone) {
  ViewWorld w;
  ASSERT_EQ(w.file.set(w.file.key("PER:KeyID")), Err::None);
  ASSERT_EQ(w.file.next(), Err::None);  // the file's own sequence stands on record 1
  ASSERT_EQ(w.view.SetOrder("-PER:ID"), Err::None);
  ASSERT_EQ(w.view.Open(), Err::None);
  EXPECT_EQ(w.p.id, 1) << "Open leaves the buffer as it was";
  Ids page;
  EXPECT_EQ(w.view.ReadPage(1, 2, [&] { page.push_back(w.p.id); }), 2u);
  EXPECT_EQ(page, (Ids{4, 3}));
  ASSERT_EQ(w.file.next(), Err::None);
  EXPECT_EQ(w.p.id, 2) << "the file's sequence goes on where it stood";
  w.p.id = 3;
  ASSERT_EQ(w.file.get(w.file.key("PER:KeyID")), Err::None);
  ASSERT_EQ(w.file.deleteRecord(), Err::None);
  EXPECT_EQ(w.all(), (Ids{5, 4, 2, 1}));
  ASSERT_EQ(w.view.Previous(), Err::None);
  EXPECT_EQ(w.p.id, 1) << "past the end, Previous reads the last";
}

// A paged view selects the records an unpaged one does, in the same order, whatever bounds it
// takes from the filter and the ranges: terms that may bound the key's first component, and
// those that must not (OR, a negation, a value naming a field, a bound the field cannot hold).
TEST(ViewManager, PagedViewsSelectWhatAFullReadingSelects) {
  ViewWorld w(true);
  // Dates: 1 bob 300, 2 Alice 100, 3 carl 300, 4 Dora 200, 5 anna 300; carl's flag is 0.
  int32_t day = 200;
  rt::PUSHBIND();
  rt::BIND("Filter:Day", day);
  struct Case {
    const char* key;
    const char* filter;
    const char* rangeLow;  // a range on the key's first field, when given
    const char* rangeHigh;
    Ids want;
  };
  const Case cases[] = {
      {"PER:KeyDate", "PER:Date=300", nullptr, nullptr, {1, 3, 5}},
      {"PER:KeyDate", "(PER:Date>0) AND (PER:Date>100 AND PER:Date<300)", nullptr, nullptr, {4}},
      {"PER:KeyDate", "PER:Date>=200 AND PER:Flag=1", nullptr, nullptr, {4, 1, 5}},
      {"PER:KeyDate", "PER:Date>150.5", nullptr, nullptr, {4, 1, 3, 5}},
      {"PER:KeyDate", "PER:Date=Filter:Day", nullptr, nullptr, {4}},
      {"PER:KeyDate", "PER:Date=Filter:Day+100 AND PER:Date=100", nullptr, nullptr, {}},
      {"PER:KeyDate", "PER:Date=100 OR PER:Date=300", nullptr, nullptr, {2, 1, 3, 5}},
      {"PER:KeyDate", "PER:Date=300 AND PER:Flag OR PER:ID=2", nullptr, nullptr, {2, 1, 5}},
      {"PER:KeyDate", "~(PER:Date=300)", nullptr, nullptr, {2, 4}},
      {"PER:KeyDate", "PER:Date<>300", nullptr, nullptr, {2, 4}},
      {"PER:KeyDate", "PER:Date=PER:ID*100", nullptr, nullptr, {3}},
      {"PER:KeyDate", "PER:Date=100 AND (PER:Flag OR PER:Date=300)", nullptr, nullptr, {2}},
      {"PER:KeyDate", "", "150", "250", {4}},
      {"PER:KeyDateDown", "PER:Date<=200", nullptr, nullptr, {4, 2}},
      {"PER:KeyDateDown", "PER:Date>=200 AND PER:Date<300", nullptr, nullptr, {4}},
      {"PER:KeyCity", "PER:City='Oslo'", nullptr, nullptr, {1, 4}},
      {"PER:KeyCity", "PER:City>'Lima'", nullptr, nullptr, {1, 4, 2}},
      {"PER:KeyCity", "", "kyiv", "LIMA", {3, 5}},
      {"PER:KeyFlagDate", "PER:Flag>=-1", nullptr, nullptr, {3, 2, 4, 5, 1}},  // -1 does not fit a byte
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " / " + c.filter);
    for (bool paged : {false, true}) {
      SCOPED_TRACE(paged ? "paged" : "read whole");
      w.view.SetPaged(paged);
      w.view.SetOrder(w.file.key(c.key));
      (void)w.view.SetFilter(c.filter);
      w.view.ClearRanges();
      if (c.rangeLow) w.view.AddRange(w.file.key(c.key).decl().parts.front().field, c.rangeLow, c.rangeHigh);
      (void)w.view.Open();
      EXPECT_EQ(w.all(), c.want);
      EXPECT_TRUE(w.view.complete());
      EXPECT_EQ(w.view.records(), static_cast<int64_t>(c.want.size()));
    }
  }
  rt::POPBIND();
}

// A paged view reads as far as it is asked, leaves the buffer and the file's sequence alone, and
// lists a record once though its key moved it ahead of the reading.
TEST(ViewManager, PagedViewsReadOnDemandAndListEachRecordOnce) {
  ViewWorld w(true);
  ASSERT_EQ(w.file.set(w.file.key("PER:KeyID")), Err::None);
  ASSERT_EQ(w.file.next(), Err::None);  // the file's sequence stands on record 1
  w.view.SetPaged(true);
  w.view.SetOrder(w.file.key("PER:KeyDate"));
  ASSERT_EQ(w.view.Open(), Err::None);
  EXPECT_EQ(w.view.known(), 0) << "opening reads nothing";
  EXPECT_FALSE(w.view.complete());
  Ids page;
  EXPECT_EQ(w.view.ReadPage(0, 2, [&] { page.push_back(w.p.id); }), 2u);
  EXPECT_EQ(page, (Ids{2, 4}));
  EXPECT_EQ(w.view.known(), 2);
  EXPECT_GE(w.view.estimate(), 3);
  ASSERT_EQ(w.file.next(), Err::None);
  EXPECT_EQ(w.p.id, 2) << "the file's sequence goes on where it stood";

  // Alice moves past the records not read yet: she stays where she was read, and only there.
  w.p.id = 2;
  ASSERT_EQ(w.file.get(w.file.key("PER:KeyID")), Err::None);
  w.p.date = 400;
  ASSERT_EQ(w.file.put(), Err::None);
  EXPECT_EQ(w.all(), (Ids{2, 4, 1, 3, 5}));
  EXPECT_TRUE(w.view.complete());

  // Looking for a record reads on only as far as allowed, or to the end.
  ASSERT_EQ(w.view.Open(), Err::None);
  const int64_t dora = w.view.positionAt(0);  // date order now: Dora, bob, carl, anna, Alice
  const int64_t alice = w.view.positionAt(4);
  ASSERT_NE(alice, 0);
  ASSERT_EQ(w.view.Open(), Err::None);
  EXPECT_EQ(w.view.indexOf(alice, 2), -1);
  EXPECT_EQ(w.view.known(), 2);
  EXPECT_EQ(w.view.indexOf(dora, 2), 0);
  EXPECT_EQ(w.view.indexOf(alice), 4);
}


// An order of elements led by a key's first field reads a value of that field at a time in the
// key's order (either way), and lists what a view that sorts every record lists.
TEST(ViewManager, ElementOrdersLedByAKeyFieldReadAValueAtATime) {
  ViewWorld w(true);
  testing::setPerson(w.p, 6, "Bob", "oslo", 0, 200);  // case variants of a name and a city
  ASSERT_EQ(w.file.add(), Err::None);
  testing::setPerson(w.p, 7, "alice", "Rome", 1, 300);
  ASSERT_EQ(w.file.add(), Err::None);
  struct Case {
    const char* order;
    bool byValue;  // read a value at a time
    bool lazy;     // opening reads nothing
  };
  const Case cases[] = {
      {"PER:Date,UPPER(PER:Name)", true, true},  // KeyDate
      {"-PER:Date,PER:ID", true, true},          // KeyDateDown
      {"PER:Date,-PER:ID", true, true},
      {"UPPER(PER:Name),-PER:ID", true, true},   // KeyName, which ignores case
      {"-UPPER(PER:City)", true, true},          // KeyCity read backwards
      {"PER:Flag,-PER:Date", true, true},        // KeyFlagDate
      {"PER:Name", false, true},                 // case significant: no key orders so; the file sorts it
      {"UPPER(PER:Date)", false, false},
      {"PER:Date+1", false, false},
  };
  for (const char* filter : {"", "PER:ID<>3"}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.order) + " / " + filter);
      ASSERT_EQ(w.view.SetFilter(filter), Err::None);
      ASSERT_EQ(w.view.SetOrder(c.order), Err::None);
      w.view.SetPaged(false);
      ASSERT_EQ(w.view.Open(), Err::None);
      const Ids whole = w.all();
      w.view.SetPaged(true);
      ASSERT_EQ(w.view.Open(), Err::None);
      EXPECT_EQ(w.view.known() == 0, c.lazy);
      Ids firstTwo;
      w.view.ReadPage(0, 2, [&] { firstTwo.push_back(w.p.id); });
      EXPECT_EQ(firstTwo, Ids(whole.begin(), whole.begin() + 2));
      if (c.byValue && !*filter) {
        EXPECT_LT(w.view.known(), static_cast<int64_t>(whole.size()));
      }
      EXPECT_EQ(w.all(), whole);
      EXPECT_EQ(w.view.records(), static_cast<int64_t>(whole.size()));
    }
  }
}

// A paged view placed at a value of its key lists from there, and back from there to the first
// record, the records a view read from its start lists; the first index is an estimate from the
// key's index until the reading back reaches the first record.
TEST(ViewManager, PlacedViewsListWhatAViewFromTheStartLists) {
  ViewWorld w(true);
  w.view.SetPaged(true);
  auto readFrom = [&](size_t first, size_t count) {
    Ids ids;
    w.view.ReadPage(first, count, [&] { ids.push_back(w.p.id); });
    return ids;
  };
  struct Case {
    const char* key;
    const char* filter;
    int date;
    Ids before, from;  // the records before the place, and from it
  };
  const Case cases[] = {
      {"PER:KeyDate", "", 300, {2, 4}, {1, 3, 5}},
      {"PER:KeyDate", "PER:ID<>4", 300, {2}, {1, 3, 5}},      // Dora is counted, not listed
      {"PER:KeyDate", "", 250, {2, 4}, {1, 3, 5}},            // between values: the next one
      {"PER:KeyDate", "PER:Date<300", 400, {2, 4}, {}},       // past the last
      {"PER:KeyDate", "PER:Date>=200", 100, {}, {4, 1, 3, 5}},  // before the bound: at the bound
      {"PER:KeyDateDown", "PER:Flag", 200, {1, 5}, {4, 2}},   // descending: at or before the value
      {"PER:KeyDate", "PER:ID<>4", -1, {2, 1, 3, 5}, {}},     // at the end
      {"PER:KeyDateDown", "PER:Date<=200", -1, {4, 2}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " / " + c.filter + " / " + std::to_string(c.date));
    w.view.SetOrder(w.file.key(c.key));
    ASSERT_EQ(w.view.SetFilter(c.filter), Err::None);
    ASSERT_EQ(w.view.Open(), Err::None);
    w.p.date = c.date;
    const int64_t index = c.date < 0 ? w.view.SeekEnd() : w.view.SeekKey(1);
    ASSERT_GE(index, static_cast<int64_t>(c.before.size()));
    EXPECT_EQ(readFrom(static_cast<size_t>(index), 9), c.from);
    // Back one record at a time, as a list scrolled up: each step lists the records from there
    // to the end, until the first record stands at index 0.
    Ids whole = c.before;
    whole.insert(whole.end(), c.from.begin(), c.from.end());
    int64_t at = index;
    for (int step = 0; step < 8 && !(at == 0 && w.view.first() == 0); ++step) {
      at = w.view.reachBack(at - 1);
      at = std::max(at, w.view.first());
      const Ids rest = readFrom(static_cast<size_t>(at), 9);
      ASSERT_LE(rest.size(), whole.size());
      EXPECT_EQ(rest, Ids(whole.end() - static_cast<std::ptrdiff_t>(rest.size()), whole.end()));
    }
    EXPECT_EQ(at, 0);
    EXPECT_EQ(readFrom(0, 9), whole);
    EXPECT_EQ(w.view.records(), static_cast<int64_t>(whole.size()));
    EXPECT_EQ(w.all(), whole);
  }

  // A view that ends at a bound is not placed at its end.
  w.view.SetOrder(w.file.key("PER:KeyDate"));
  ASSERT_EQ(w.view.SetFilter("PER:Date<300"), Err::None);
  ASSERT_EQ(w.view.Open(), Err::None);
  EXPECT_EQ(w.view.SeekEnd(), -1);
  EXPECT_EQ(w.all(), (Ids{2, 4}));

  // Placed at a record by its position: found among the records of its key value; one the filter
  // drops is not found and leaves the view as it stood.
  w.view.SetOrder(w.file.key("PER:KeyDate"));
  ASSERT_EQ(w.view.SetFilter("PER:ID<>4"), Err::None);
  ASSERT_EQ(w.view.Open(), Err::None);
  const int64_t anna = w.view.positionAt(3);  // Alice, bob, carl, anna
  ASSERT_NE(anna, 0);
  w.p.id = 4;
  ASSERT_EQ(w.file.get(w.file.key("PER:KeyID")), Err::None);
  const int64_t dora = w.file.position();
  int64_t index = -2;
  ASSERT_EQ(w.view.Open(), Err::None);
  EXPECT_TRUE(w.view.SeekPosition(dora, index));
  EXPECT_EQ(index, -1);
  EXPECT_EQ(w.all(), (Ids{2, 1, 3, 5}));
  ASSERT_EQ(w.view.Open(), Err::None);
  EXPECT_TRUE(w.view.SeekPosition(anna, index));
  EXPECT_EQ(index, 4) << "Dora is counted before her";
  EXPECT_EQ(w.view.positionAt(static_cast<size_t>(index)), anna);
  // A record before the place is found by reading back, at its exact index.
  const int64_t alice = w.view.positionAt(0);
  ASSERT_EQ(w.view.Open(), Err::None);
  ASSERT_TRUE(w.view.SeekPosition(anna, index));
  EXPECT_EQ(w.view.indexOf(alice), 0);
  EXPECT_EQ(w.view.records(), 4);
  EXPECT_EQ(w.view.indexOf(anna), 3);
}

// An item: a number, a price, a code and a name; only its number leads a key, so a column sort
// on any other field is read in the order the file sorts it, a batch at a time.
struct Item {
  int32_t id = 0;
  double price = 0;
  char code[6] = {};
  rt::String<10> name;
};
const rt::FieldDesc kItemFields[] = {
    {"ITM:ID", rt::FieldType::Long, 4, 0, offsetof(Item, id)},
    {"ITM:Price", rt::FieldType::Real, 8, 4, offsetof(Item, price)},
    {"ITM:Code", rt::FieldType::CString, 6, 12, offsetof(Item, code)},
    {"ITM:Name", rt::FieldType::String, 10, 18, offsetof(Item, name)},
};
const rt::RecordDesc kItemRecord{"ITM", kItemFields, 28};

// Sorted by columns that lead no key, a paged view reads nothing at Open and lists, page by page,
// from its end backwards and after records moved, what a view that sorts every record lists:
// texts with and without case (accents, blanks and characters below the blank among them),
// numbers either way, ties in file order, with a filter and a range in force.
TEST(ViewManager, ColumnSortsLedByNoKeyListWhatAFullSortLists) {
  TempDir dir;
  Item it;
  FileDecl d;
  d.label = "ITEMS";
  d.prefix = "ITM";
  d.name = "ITEMS";
  d.nameFrom = [n = dir / "RO97.ZEZ\\!Items"] { return n; };
  d.record = &kItemRecord;
  d.buffer = &it;
  d.bufferSize = sizeof it;
  d.keys = {{.name = "ITM:KeyID", .description = "ID", .parts = {{"ITM:ID"}}, .unique = true, .primary = true}};
  d.version = 1;
  File file(std::move(d));
  FileManager fm(file);
  ViewManager view(fm);
  ASSERT_EQ(fm.Open(), Err::None);
  // More records than a first batch, few values of each field: long runs of ties.
  const char* names[] = {"apple", "Apple", "APPLE ", "éclair", "Éclair", "b", "b c", "b\tc", "Zoë", ""};
  const char* codes[] = {"x1", "X1", "a", "", "Ω"};
  const double prices[] = {2.5, -1, 0, 2.5, 1e9, -0.25};
  for (int i = 0; i < 400; ++i) {
    it.id = 1000 - i;  // against file order
    it.price = prices[(i * 7) % 6];
    std::snprintf(it.code, sizeof it.code, "%s", codes[(i * 3) % 5]);
    it.name = names[(i * 11) % 10];
    ASSERT_EQ(file.add(), Err::None);
  }
  auto read = [&](size_t first, size_t count) {
    Ids ids;
    view.ReadPage(first, count, [&] { ids.push_back(it.id); });
    return ids;
  };
  auto all = [&] {
    Ids ids;
    view.Reset();
    while (view.Next() == Err::None) ids.push_back(it.id);
    return ids;
  };
  struct Case {
    const char* order;
    const char* filter;
    bool range;  // prices from 0 to 3
  };
  const Case cases[] = {
      {"ITM:Price", "", false},
      {"-ITM:Price", "", false},
      {"UPPER(ITM:Name)", "", false},
      {"-UPPER(ITM:Name)", "", false},
      {"ITM:Name", "", false},
      {"ITM:Code,-ITM:Price", "", false},
      {"-UPPER(ITM:Code), ITM:Name, -ITM:ID", "", false},
      {"ITM:Price,UPPER(ITM:Name)", "ITM:ID % 3 <> 0", false},
      {"-ITM:Name", "ITM:Price > 0", true},
      {"ITM:Price", "ITM:ID < 0", false},  // selects nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.order) + " / " + c.filter);
    ASSERT_EQ(view.SetOrder(c.order), Err::None);
    ASSERT_EQ(view.SetFilter(c.filter), Err::None);
    view.ClearRanges();
    if (c.range) view.AddRange("ITM:Price", "0", "3");
    view.SetPaged(false);
    ASSERT_EQ(view.Open(), Err::None);
    const Ids whole = all();
    const auto size = static_cast<int64_t>(whole.size());
    auto slice = [&](int64_t from, int64_t count) {
      from = std::clamp<int64_t>(from, 0, size);
      return Ids(whole.begin() + from, whole.begin() + std::min(size, from + count));
    };

    view.SetPaged(true);
    ASSERT_EQ(view.Open(), Err::None);
    EXPECT_EQ(view.known(), 0) << "opening reads nothing";
    EXPECT_EQ(read(0, 20), slice(0, 20));
    EXPECT_LT(view.known(), 400);
    EXPECT_EQ(read(190, 20), slice(190, 20));
    EXPECT_EQ(all(), whole);
    EXPECT_EQ(view.records(), size);

    // From the end, a page at a time backwards, as a list shown at its end and scrolled up.
    ASSERT_EQ(view.Open(), Err::None);
    const int64_t end = view.SeekEnd();
    ASSERT_GE(end, size) << "the index past the end starts at the count of the file's records";
    // Back to a page's first row, no further than the first record, as the browse steps.
    auto back = [&](int64_t index) {
      const int64_t at = view.reachBack(index);
      return std::max(at, view.first());
    };
    int64_t at = back(end - 20);
    EXPECT_EQ(read(static_cast<size_t>(at), 20), slice(size - 20, 20));
    for (int step = 0; step < 30 && at > 0; ++step) at = back(at - 20);
    EXPECT_EQ(at, 0);
    EXPECT_EQ(view.first(), 0);
    EXPECT_EQ(read(0, 20), slice(0, 20));
    EXPECT_EQ(view.records(), size);
    EXPECT_EQ(all(), whole);

    // Placed at a record in the middle (a kept row found again), and read back from there.
    if (size == 0) continue;
    const int64_t middle = size / 2, position = view.positionAt(static_cast<size_t>(middle));
    ASSERT_EQ(view.Open(), Err::None);
    int64_t index = -1;
    ASSERT_TRUE(view.SeekPosition(position, index));
    ASSERT_GE(index, middle) << "counted before it: not below its true index";
    EXPECT_EQ(read(static_cast<size_t>(index), 20), slice(middle, 20));
    at = index;
    for (int step = 0; step < 30 && at > 0; ++step) at = back(at - 20);
    EXPECT_EQ(at, 0);
    EXPECT_EQ(read(0, 20), slice(0, 20));
    EXPECT_EQ(view.indexOf(position), middle);
    EXPECT_EQ(all(), whole);
  }

  // A record moved past the reading after its page was read is listed once, where it was read.
  ASSERT_EQ(view.SetOrder("ITM:Price"), Err::None);
  ASSERT_EQ(view.SetFilter(""), Err::None);
  view.ClearRanges();
  ASSERT_EQ(view.Open(), Err::None);
  const Ids first = read(0, 5);
  ASSERT_EQ(first.size(), 5u);
  it.id = first[0];
  ASSERT_EQ(file.get(file.key("ITM:KeyID")), Err::None);
  it.price = 1e12;
  ASSERT_EQ(file.put(), Err::None);
  Ids listed = all();
  EXPECT_EQ(listed.size(), 400u);
  EXPECT_EQ(std::count(listed.begin(), listed.end(), first[0]), 1);
  EXPECT_EQ(listed.front(), first[0]);

  // A record the filter drops is not placed at: the view stays as it was.
  ASSERT_EQ(view.SetFilter("ITM:ID <> 990"), Err::None);
  ASSERT_EQ(view.Open(), Err::None);
  it.id = 990;
  ASSERT_EQ(file.get(file.key("ITM:KeyID")), Err::None);
  int64_t index = 0;
  EXPECT_TRUE(view.SeekPosition(file.position(), index));
  EXPECT_EQ(index, -1);
  EXPECT_EQ(view.records(), 399);
}

// An order led by a key's first field whose first value most records share is not read a value
// at a time (the whole run would be read for the first page) but as the file sorts it.
TEST(ViewManager, ALongRunOfOneValueIsLeftToTheFileSorting) {
  ViewWorld w;
  ASSERT_EQ(LOGOUT(10, {&w.file}), Err::None);
  for (int i = 0; i < 1100; ++i) {
    testing::setPerson(w.p, 0, i % 2 ? "x" : "Y", "aarhus", 0, 1000 - i);
    w.p.id = 100 + i;
    ASSERT_EQ(w.file.add(), Err::None);
  }
  ASSERT_EQ(COMMIT(), Err::None);
  for (const char* order : {"UPPER(PER:City),-PER:ID", "UPPER(PER:City),PER:Date,UPPER(PER:Name)"}) {
    SCOPED_TRACE(order);
    ASSERT_EQ(w.view.SetOrder(order), Err::None);
    w.view.SetPaged(false);
    ASSERT_EQ(w.view.Open(), Err::None);
    const Ids whole = w.all();
    w.view.SetPaged(true);
    ASSERT_EQ(w.view.Open(), Err::None);
    EXPECT_EQ(w.view.known(), 0);
    Ids page;
    w.view.ReadPage(0, 5, [&] { page.push_back(w.p.id); });
    EXPECT_EQ(page, Ids(whole.begin(), whole.begin() + 5));
    EXPECT_LT(w.view.known(), 1000) << "the run of Aarhus is not read whole";
    EXPECT_EQ(w.all(), whole);
  }
}

}  // namespace
}  // namespace ov::db
