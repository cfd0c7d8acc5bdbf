#include "editors/item_sequence.h"

#include <gtest/gtest.h>

#include "datalib/files.h"
#include "scheduler/tests/data_fixture.h"

namespace ov::editors {
namespace {

// The script items of task 1 are numbered 1..n and carry their first sequence in SecondsToWait,
// so each test can see which item stands where.
class ItemSequence : public scheduler::testing::DataFixture {
 protected:
  void SetUp() override {
    DataFixture::SetUp();
    ASSERT_EQ(files::Access_SCRIPTING.Open(), rt::Err::None);
  }
  void TearDown() override {
    (void)files::Access_SCRIPTING.Close();
    DataFixture::TearDown();
  }
  void items(std::vector<int32_t> sequences, int32_t task = 1) {
    for (int32_t s : sequences) {
      files::SCRIPTING.clear();
      files::SCR.ID = task;
      files::SCR.Sequence = s;
      files::SCR.SecondsToWait = s;
      files::SCR.Action = "Wait";
      ASSERT_EQ(files::SCRIPTING.add(), rt::Err::None);
    }
  }
  // (sequence, original sequence) of the task's items in order.
  std::vector<std::pair<int32_t, int32_t>> order(int32_t task = 1) {
    std::vector<std::pair<int32_t, int32_t>> out;
    rt::Err err = files::SCRIPTING.set(files::SCR_KeyID);
    while (err == rt::Err::None && (err = files::SCRIPTING.next()) == rt::Err::None)
      if (files::SCR.ID == task) out.emplace_back(files::SCR.Sequence, files::SCR.SecondsToWait);
    return out;
  }
  using Order = std::vector<std::pair<int32_t, int32_t>>;
  ItemSequencer seq{ItemSequencer::scriptItems()};
};

TEST_F(ItemSequence, MovesOverFiveItems) {
  struct Case {
    const char* name;
    std::function<ItemSequencer::Result(ItemSequencer&)> op;
    Order after;
    int32_t at;
  };
  const Case cases[] = {
      {"third to top", [](ItemSequencer& s) { return s.moveToTop(1, 3); }, {{1, 3}, {2, 1}, {3, 2}, {4, 4}, {5, 5}}, 1},
      {"second to bottom", [](ItemSequencer& s) { return s.moveToBottom(1, 2); }, {{1, 1}, {2, 3}, {3, 4}, {4, 5}, {5, 2}}, 5},
      {"up one", [](ItemSequencer& s) { return s.moveUp(1, 4); }, {{1, 1}, {2, 2}, {3, 4}, {4, 3}, {5, 5}}, 3},
      {"down one", [](ItemSequencer& s) { return s.moveDown(1, 1); }, {{1, 2}, {2, 1}, {3, 3}, {4, 4}, {5, 5}}, 2},
      {"drag 2 onto 4", [](ItemSequencer& s) { return s.dragTo(1, 2, 4); }, {{1, 1}, {2, 3}, {3, 4}, {4, 2}, {5, 5}}, 4},
      {"drag 4 onto 2", [](ItemSequencer& s) { return s.dragTo(1, 4, 2); }, {{1, 1}, {2, 4}, {3, 2}, {4, 3}, {5, 5}}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (auto [s, o] : order()) {
      files::SCR.ID = 1;
      files::SCR.Sequence = s;
      ASSERT_EQ(files::SCRIPTING.get(files::SCR_KeyID), rt::Err::None);
      ASSERT_EQ(files::SCRIPTING.deleteRecord(), rt::Err::None);
    }
    items({1, 2, 3, 4, 5});
    items({1, 2}, 2);
    const auto r = c.op(seq);
    EXPECT_EQ(r.err, rt::Err::None) << r.report;
    EXPECT_TRUE(r.moved);
    EXPECT_EQ(r.sequence, c.at);
    EXPECT_EQ(order(), c.after);
    EXPECT_EQ(order(2), (Order{{1, 1}, {2, 2}}));  // another task's items stay
    files::SCR.ID = 1;
    files::SCR.Sequence = 6;  // the parking place is free again
    EXPECT_NE(files::SCRIPTING.get(files::SCR_KeyID), rt::Err::None);
    for (auto [s, o] : order(2)) {
      files::SCR.ID = 2;
      files::SCR.Sequence = s;
      ASSERT_EQ(files::SCRIPTING.get(files::SCR_KeyID), rt::Err::None);
      ASSERT_EQ(files::SCRIPTING.deleteRecord(), rt::Err::None);
    }
  }
}

TEST_F(ItemSequence, MovesThatCannotHappenWriteNothing) {
  items({1, 2, 3});
  int writes = 0;
  seq.beforeUpdate = [&](std::string_view) { ++writes; return rt::Err::None; };
  EXPECT_FALSE(seq.moveUp(1, 1).moved);
  EXPECT_FALSE(seq.moveDown(1, 3).moved);
  EXPECT_FALSE(seq.moveToBottom(1, 3).moved);
  EXPECT_FALSE(seq.moveToTop(1, 1).moved);
  EXPECT_FALSE(seq.dragTo(1, 0, 2).moved);  // no row where the mouse went down
  EXPECT_FALSE(seq.dragTo(1, 2, 2).moved);
  EXPECT_EQ(writes, 0);
  EXPECT_EQ(order(), (Order{{1, 1}, {2, 2}, {3, 3}}));

  items({1}, 2);
  EXPECT_FALSE(seq.moveDown(2, 1).moved);
  EXPECT_EQ(writes, 0);
}

TEST_F(ItemSequence, GapsInTheNumberingStayWhereTheyAre) {
  items({1, 3, 7});  // a text with blank lines leaves gaps
  const auto r = seq.dragTo(1, 7, 1);
  EXPECT_EQ(r.err, rt::Err::None);
  EXPECT_EQ(order(), (Order{{1, 7}, {3, 1}, {7, 3}}));
  EXPECT_EQ(r.sequence, 1);
}

TEST_F(ItemSequence, InsertAfterAndRenumberAfterDelete) {
  items({1, 2, 3, 4, 5});
  items({6});  // the new item, added at the end while item 2 was highlighted
  const auto r = seq.placeAfter(1, 6, 2);
  EXPECT_EQ(r.err, rt::Err::None);
  EXPECT_EQ(r.sequence, 3);
  EXPECT_EQ(order(), (Order{{1, 1}, {2, 2}, {3, 6}, {4, 3}, {5, 4}, {6, 5}}));

  // Delete the item at 2, then close the gap.
  files::SCR.ID = 1;
  files::SCR.Sequence = 2;
  ASSERT_EQ(files::SCRIPTING.get(files::SCR_KeyID), rt::Err::None);
  ASSERT_EQ(files::SCRIPTING.deleteRecord(), rt::Err::None);
  const auto d = seq.renumberAfterDelete(1, 2);
  EXPECT_EQ(d.err, rt::Err::None);
  EXPECT_EQ(d.sequence, 1);
  EXPECT_EQ(order(), (Order{{1, 1}, {2, 6}, {3, 3}, {4, 4}, {5, 5}}));
}

TEST_F(ItemSequence, AFailureAtAnyStageLeavesTheItemsAsTheyWere) {
  items({1, 2, 3, 4, 5});
  const Order before = order();
  struct Case {
    const char* stage;
    int failAt;  // the n-th update fails
    const char* reported;
  };
  const Case cases[] = {{"park", 1, "Put Swap Out"}, {"second shift", 3, "Shift Stage"}, {"final", 5, "Final Move"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stage);
    int n = 0;
    seq.beforeUpdate = [&](std::string_view) { return ++n == c.failAt ? rt::Err::Changed : rt::Err::None; };
    const auto r = seq.moveToTop(1, 4);
    EXPECT_NE(r.err, rt::Err::None);
    EXPECT_FALSE(r.moved);
    EXPECT_EQ(r.stage, c.reported);
    EXPECT_EQ(r.report.rfind("Record swap error: \r", 0), 0u) << r.report;
    EXPECT_NE(r.report.find("Scripting, SCR:KeyID\rKey Field SCR:ID = 1\r"), std::string::npos) << r.report;
    EXPECT_NE(r.report.find("Section = " + std::string(c.reported)), std::string::npos) << r.report;
    EXPECT_EQ(order(), before);
  }
  int n = 0;
  seq.beforeUpdate = [&](std::string_view stage) {
    EXPECT_EQ(stage, "Put Upd Seq");
    return ++n == 2 ? rt::Err::Changed : rt::Err::None;
  };
  files::SCR.ID = 1;
  files::SCR.Sequence = 1;
  ASSERT_EQ(files::SCRIPTING.get(files::SCR_KeyID), rt::Err::None);
  ASSERT_EQ(files::SCRIPTING.deleteRecord(), rt::Err::None);
  const auto d = seq.renumberAfterDelete(1, 1);
  EXPECT_EQ(d.stage, "Put Upd Seq");
  EXPECT_EQ(order(), (Order{{2, 2}, {3, 3}, {4, 4}, {5, 5}}));
}

TEST_F(ItemSequence, ContactDetailsUseTheirOwnKey) {
  ASSERT_EQ(files::Access_CONTACTDETAILS.Open(), rt::Err::None);
  for (int32_t s = 1; s <= 3; ++s) {
    files::CONTACTDETAILS.clear();
    files::CDT.ClientID = 9;
    files::CDT.Sequence = s;
    files::CDT.DataLabel = std::to_string(s);
    ASSERT_EQ(files::CONTACTDETAILS.add(), rt::Err::None);
  }
  ItemSequencer details(ItemSequencer::contactDetails());
  EXPECT_EQ(details.moveToTop(9, 3).err, rt::Err::None);
  std::vector<int32_t> s;
  ASSERT_EQ(details.sequences(9, s), rt::Err::None);
  EXPECT_EQ(s, (std::vector<int32_t>{1, 2, 3}));
  files::CDT.ClientID = 9;
  files::CDT.Sequence = 1;
  ASSERT_EQ(files::CONTACTDETAILS.get(files::CDT_K_Contact), rt::Err::None);
  EXPECT_EQ(files::CDT.DataLabel.str(), "3");
  (void)files::Access_CONTACTDETAILS.Close();
}

}  // namespace
}  // namespace ov::editors
