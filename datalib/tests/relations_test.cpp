#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datalib/files.h"
#include "datalib/tests/data_folder.h"
#include "platform/files/error_class.h"

namespace ov::files {
namespace {

using rt::Err;

// Two tasks (1 in "Work", 2 in "Home") with script items, per-user details and contact links,
// a trigger and a hot key on task 1, a message that a script item of task 1 sends, and two
// clipboard categories of which "Notes" holds two entries.
struct World {
  World() {
    errors.setSink([this](const db::ErrorReport& r) {
      reports.push_back(r);
      return r.level;
    });
    db::setGlobalErrors(&errors);
    for (db::RelationManager* r : relationManagers()) EXPECT_EQ(r->Open(), Err::None);
    for (const char* c : {"Work", "Home", "Spare"}) add(CATEGORIES, [&] { CAT.Category = c; });
    task(1, "Work");
    task(2, "Home");
    add(MESSAGES, [] { M_.EmailID = 7; M_.Subject = "Report"; });
    for (int t : {1, 1, 2}) step(t, t == 1 ? 7 : 0);
    for (int t : {1, 2}) {
      add(OVUSD, [&] { US.ID = t; US.User = "ann"; });
      add(OVSCD, [&] { SCD.ID = t; SCD.SCD_ID = 1; SCD.ClientID = 5; });
    }
    add(TRIGGERS, [] { TRI.TRI_ID = 1; TRI.ID = 1; TRI.TriggerType = "File creation"; });
    add(SYSHOTKEYS, [] { HOT.ID = 2; HOT.HotKey = "Ctrl-F9"; });
    for (const char* c : {"Notes", "Links"}) add(CLIPBOARDCATEGORIES, [&] { CLC.Category = c; });
    for (const char* h : {"ALPHA", "BETA"}) {
      add(CLIPBOARD, [&] { CLI.ClipHashKey = h; CLI.Category = "Notes"; CLI.ClipContents = h; });
    }
    reports.clear();
  }
  ~World() { db::setGlobalErrors(nullptr); }

  template <typename Fill>
  void add(db::File& f, Fill fill) {
    f.clear();
    fill();
    EXPECT_EQ(f.add(), Err::None) << f.label();
  }
  void task(int id, const char* category) {
    add(SCHEDULE, [&] { SCH.ID = id; SCH.Category = category; SCH.Description = "task"; });
  }
  void step(int task, int email) {
    add(SCRIPTING, [&] { SCR.ID = task; SCR.Sequence = ++lastSequence; SCR.EmailID = email; });
  }
  // The values of one LONG field over a whole file.
  static std::vector<int> column(db::File& f, const int32_t& field) {
    std::vector<int> out;
    EXPECT_EQ(f.set(), Err::None);
    while (f.next() == Err::None) out.push_back(field);
    return out;
  }
  static int64_t count(db::File& f) { return f.records(); }

  testing::DataFolder dir;
  int lastSequence = 0;
  db::ErrorClass errors;
  std::vector<db::ErrorReport> reports;
};

TEST(Relations, DeletingATaskTakesItsScriptDetailsAndContactLinks) {
  World w;
  SCH.ID = 1;
  ASSERT_EQ(Access_SCHEDULE.Fetch(SCH_KeyID), Err::None);
  ASSERT_EQ(Relate_SCHEDULE.Delete(), Err::None);
  EXPECT_EQ(World::column(SCHEDULE, SCH.ID), std::vector<int>{2});
  EXPECT_EQ(World::column(SCRIPTING, SCR.ID), std::vector<int>{2});
  EXPECT_EQ(World::column(OVUSD, US.ID), std::vector<int>{2});
  EXPECT_EQ(World::column(OVSCD, SCD.ID), std::vector<int>{2});
  EXPECT_TRUE(w.reports.empty());
}

TEST(Relations, ANewTaskNumberCarriesIntoDetailsAndLinksButNotTheScript) {
  World w;
  SCH.ID = 2;
  ASSERT_EQ(Access_SCHEDULE.Fetch(SCH_KeyID), Err::None);
  SCH.ID = 20;
  ASSERT_EQ(Relate_SCHEDULE.Update(), Err::None);
  EXPECT_EQ(World::column(OVUSD, US.ID), (std::vector<int>{1, 20}));
  EXPECT_EQ(World::column(OVSCD, SCD.ID), (std::vector<int>{1, 20}));
  EXPECT_EQ(World::column(SCRIPTING, SCR.ID), (std::vector<int>{1, 1, 2}));
}

TEST(Relations, DeletingATriggerOrHotKeyDeletesItsTaskWithTheTasksChildren) {
  World w;
  TRI.TRI_ID = 1;
  ASSERT_EQ(Access_TRIGGERS.Fetch(TRI_K_TRI_ID), Err::None);
  ASSERT_EQ(Relate_TRIGGERS.Delete(), Err::None);
  EXPECT_EQ(World::column(SCHEDULE, SCH.ID), std::vector<int>{2});
  EXPECT_EQ(World::column(SCRIPTING, SCR.ID), std::vector<int>{2});
  HOT.HotKey = "ctrl-f9";
  ASSERT_EQ(Access_SYSHOTKEYS.Fetch(HOT_K_HotKey), Err::None);
  ASSERT_EQ(Relate_SYSHOTKEYS.Delete(), Err::None);
  EXPECT_EQ(World::count(SCHEDULE), 0);
  EXPECT_EQ(World::count(OVUSD), 0);
}

TEST(Relations, ACategoryInUseCanBeNeitherDeletedNorRenamed) {
  World w;
  CAT.Category = "work";  // the key ignores case
  ASSERT_EQ(Access_CATEGORIES.Fetch(CAT_KeyCategory), Err::None);
  EXPECT_NE(Relate_CATEGORIES.Delete(), Err::None);
  EXPECT_FALSE(w.reports.empty());
  CAT.Category = "Office";
  EXPECT_NE(Relate_CATEGORIES.Update(), Err::None);
  EXPECT_EQ(World::count(CATEGORIES), 3);
  CAT.Category = "Work";
  EXPECT_EQ(Access_CATEGORIES.TryFetch(CAT_KeyCategory), Err::None) << "not renamed";
  SCH.ID = 1;
  ASSERT_EQ(Access_SCHEDULE.Fetch(SCH_KeyID), Err::None);
  EXPECT_EQ(SCH.Category.str(), "Work");

  CAT.Category = "Spare";
  ASSERT_EQ(Access_CATEGORIES.Fetch(CAT_KeyCategory), Err::None);
  EXPECT_EQ(Relate_CATEGORIES.Delete(), Err::None);
  EXPECT_EQ(World::count(CATEGORIES), 2);
}

TEST(Relations, RenamingAClipboardCategoryChangesItsEntriesInTheirOwnFile) {
  World w;
  CLC.Category = "Notes";
  ASSERT_EQ(Access_CLIPBOARDCATEGORIES.Fetch(CLC_KeyCategory), Err::None);
  CLC.Category = "Memos";
  ASSERT_EQ(Relate_CLIPBOARDCATEGORIES.Update(), Err::None);
  std::vector<std::string> cats;
  ASSERT_EQ(CLIPBOARD.set(), Err::None);
  while (CLIPBOARD.next() == Err::None) cats.push_back(CLI.Category.str() + "/" + CLI.ClipContents);
  EXPECT_EQ(cats, (std::vector<std::string>{"Memos/ALPHA", "Memos/BETA"}));

  EXPECT_NE(Relate_CLIPBOARDCATEGORIES.Delete(), Err::None);
  EXPECT_EQ(World::count(CLIPBOARDCATEGORIES), 2);
  EXPECT_EQ(World::count(CLIPBOARD), 2);
}

TEST(Relations, AMessageThatAScriptSendsCannotBeDeleted) {
  World w;
  M_.EmailID = 7;
  ASSERT_EQ(Access_MESSAGES.Fetch(M_KeyEmailID), Err::None);
  EXPECT_NE(Relate_MESSAGES.Delete(), Err::None);
  EXPECT_EQ(World::count(MESSAGES), 1);
  M_.EmailID = 8;
  EXPECT_NE(Relate_MESSAGES.Update(), Err::None);
  EXPECT_EQ(World::column(MESSAGES, M_.EmailID), std::vector<int>{7});
}

}  // namespace
}  // namespace ov::files
