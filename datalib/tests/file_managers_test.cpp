#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/tests/data_folder.h"
#include "platform/files/error_class.h"
#include "platform/rt/date_time.h"

namespace ov::files {
namespace {

using rt::Err;
using testing::DataFolder;

// Records what the error manager would show; fixes the clock.
struct Session {
  Session() {
    errors.setSink([this](const db::ErrorReport& r) {
      reports.push_back(r);
      return r.level;
    });
    db::setGlobalErrors(&errors);
    rt::setTestClock(rt::DATE(3, 15, 2024), 4500001);
  }
  ~Session() {
    db::setGlobalErrors(nullptr);
    rt::clearTestClock();
  }
  DataFolder dir;
  db::ErrorClass errors;
  std::vector<db::ErrorReport> reports;
};

TEST(FileManagers, NewTaskStartsDisabledForTheCurrentUser) {
  Session s;
  GLO.USER = "ann";
  ASSERT_EQ(Access_SCHEDULE.Open(), Err::None);
  ASSERT_EQ(Access_SCHEDULE.PrimeRecord(), Err::None);
  EXPECT_EQ(SCH.ID, 1);
  EXPECT_EQ(SCH.Disabled, 1);
  EXPECT_EQ(SCH.User.str(), "ann");
  EXPECT_EQ(SCH.LastChangeDate, rt::DATE(3, 15, 2024));
  EXPECT_EQ(SCH.LastChangeTime, 4500001);
  ASSERT_EQ(Access_SCHEDULE.Insert(), Err::None);
  ASSERT_EQ(Access_SCHEDULE.PrimeRecord(), Err::None);
  EXPECT_EQ(SCH.ID, 2);
}

TEST(FileManagers, ScriptItemsAreNumberedWithinTheirTask) {
  Session s;
  ASSERT_EQ(Access_SCRIPTING.Open(), Err::None);
  struct Step { int task; int want; };
  for (Step st : {Step{1, 1}, Step{1, 2}, Step{2, 1}, Step{1, 3}}) {
    SCH.ID = st.task;
    ASSERT_EQ(Access_SCRIPTING.PrimeRecord(), Err::None);
    EXPECT_EQ(SCR.ID, st.task);
    EXPECT_EQ(SCR.Sequence, st.want) << "task " << st.task;
    SCR.Action = "Comment";
    ASSERT_EQ(Access_SCRIPTING.Insert(), Err::None);
  }
}

TEST(FileManagers, ToDoPriorityMustLieWithinOneAndTen) {
  Session s;
  struct Case { db::FileManager& fm; TodoRec& rec; const char* prefix; const char* field; };
  for (Case c : {Case{Access_TODO, TDO, "TDO", "Priority"}, Case{Access_SYNCTODO, STDO, "STDO", "STdo:Priority"}}) {
    for (int p : {0, 1, 10, 11}) {
      SCOPED_TRACE(std::string(c.prefix) + " priority " + std::to_string(p));
      s.reports.clear();
      c.rec.Priority = static_cast<uint8_t>(p);
      db::Level level = c.fm.ValidateByName(std::string(c.prefix) + ":Priority");
      if (p >= 1 && p <= 10) {
        EXPECT_EQ(level, db::Level::Benign);
        EXPECT_TRUE(s.reports.empty());
      } else {
        EXPECT_NE(level, db::Level::Benign);
        ASSERT_EQ(s.reports.size(), 1u);
        EXPECT_NE(s.reports[0].text.find(c.field), std::string::npos) << s.reports[0].text;
        EXPECT_NE(s.reports[0].text.find("1 and 10"), std::string::npos) << s.reports[0].text;
      }
    }
  }
  TDO.Priority = 5;
  TDO.Done = 7;  // other fields pass unchecked
  EXPECT_EQ(Access_TODO.ValidateFields(), db::Level::Benign);
}

TEST(FileManagers, NewRecordsStartWithTheirPrimedValues) {
  Session s;
  const int32_t today = rt::DATE(3, 15, 2024);
  ASSERT_EQ(Access_CONTACT.Open(), Err::None);
  ASSERT_EQ(Access_CONTACT.PrimeRecord(), Err::None);
  EXPECT_EQ(C_.DefaultContact.str(), "None");
  SCH.ID = 42;
  SCH.Category = "Work";
  C_.ClientID = 9;
  OVT.WIZ_ID = 4;
  // The parents' buffers hold the current task, contact and template; only their children are primed.
  for (db::FileManager* m : fileManagers()) {
    if (m == &Access_SCHEDULE || m == &Access_CONTACT || m == &Access_SCRIPTTEMPLATES) continue;
    ASSERT_EQ(m->Open(), Err::None) << m->file().label();
    ASSERT_EQ(m->PrimeRecord(), Err::None) << m->file().label();
  }
  EXPECT_EQ(HOL.HolidayDate, today);
  EXPECT_EQ(HOL.HolidayType.str(), "Annual");
  EXPECT_EQ(CLI.MRUDate, today - 365);
  EXPECT_EQ(CLI.MRUTime, 4500001);
  EXPECT_EQ(M_.MailType.str(), "E-mail");
  EXPECT_EQ(M_.MailFormat.str(), "Text");
  EXPECT_EQ(ML.Category.str(), "Work");
  EXPECT_EQ(US.Disabled, 1);
  EXPECT_EQ(SUS.Disabled, 1);
  EXPECT_EQ(SSCR.ID, 42);
  EXPECT_EQ(OVD.WIZ_ID, 4);
  EXPECT_EQ(OVD.Sequence, 1);
  EXPECT_EQ(HOT.ID, 42);
  EXPECT_EQ(HOT.HotKey.str(), "CtrlShift");
  EXPECT_EQ(HOT.Active, 1);
  EXPECT_EQ(HOT.Action.str(), "Text");
  EXPECT_EQ(HOT.TextType.str(), "Type");
  EXPECT_EQ(TRI.ID, 42);
  EXPECT_EQ(TRI.TRI_ID, 1);  // its own key numbers it
  EXPECT_EQ(TRI.TriggerType.str(), "File creation");
  EXPECT_EQ(TRI.EventSpec.str(), "Low battery");
  EXPECT_EQ(TRI.Active, 1);
  EXPECT_EQ(CDT.ClientID, 9);
  EXPECT_EQ(CDT.Sequence, 1);
  EXPECT_EQ(SCR.ID, 42);
  EXPECT_EQ(SCR.Sequence, 1);
  EXPECT_TRUE(s.reports.empty());
}

}  // namespace
}  // namespace ov::files
