// Views: orders of expressions with descending elements, filters over the record and the
// thread's names, range limits and page-wise reading.
#include "platform/files/view_manager.h"

#include <gtest/gtest.h>

#include "platform/files/tests/fixture.h"
#include "platform/rt/expr.h"

namespace ov::db {
namespace {

using rt::Err;
using testing::Person;
using testing::TempDir;

struct ViewWorld {
  ViewWorld() : file(testing::personDecl(p, dir / "RO97.ZEZ\\!People")), fm(file), view(fm) {
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

}  // namespace
}  // namespace ov::db
