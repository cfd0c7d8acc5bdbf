// The file manager: open counts with create-when-missing, primed records with reserved
// auto-numbers, field checks and errors reported under the file's label.
#include "platform/files/file_manager.h"

#include <gtest/gtest.h>

#include "platform/files/tests/fixture.h"

namespace ov::db {
namespace {

using rt::Err;
using testing::Person;
using testing::Step;
using testing::TempDir;

// Collects what the error manager would show.
struct Recorder {
  Recorder() {
    errors.setSink([this](const ErrorReport& r) {
      reports.push_back(r);
      return r.level;
    });
    setGlobalErrors(&errors);
  }
  ~Recorder() { setGlobalErrors(nullptr); }
  ErrorClass errors;
  std::vector<ErrorReport> reports;
};

class PersonManager : public FileManager {
 public:
  using FileManager::FileManager;
  void PrimeFields() override {
    Person& p = *static_cast<Person*>(file().buffer());
    p.city = "Oslo";
    p.flag = 1;
  }
  Level ValidateField(const rt::FieldDesc& field) override {
    if (std::string_view(field.name) == "PER:Flag")
      return ValidateRange("Flag", static_cast<Person*>(file().buffer())->flag, 1, 10, "1 and 10");
    return Level::Benign;
  }
};

TEST(FileManager, OpenCreatesAMissingFileAndCountsItsUsers) {
  TempDir dir;
  Person p;
  File f(testing::personDecl(p, dir / "RO97.ZEZ\\!People"));
  FileManager fm(f);
  ASSERT_EQ(fm.Open(), Err::None);
  ASSERT_EQ(fm.Open(), Err::None);
  EXPECT_EQ(fm.openCount(), 2);
  ASSERT_EQ(fm.Close(), Err::None);
  EXPECT_TRUE(f.isOpen());
  ASSERT_EQ(fm.Close(), Err::None);
  EXPECT_FALSE(f.isOpen());
  EXPECT_EQ(fm.Close(), Err::NotOpen);
  ASSERT_EQ(fm.UseFile(), Err::None);
  EXPECT_TRUE(f.isOpen());
}

TEST(FileManager, PrimedRecordsReserveTheirNumberUntilInsertedOrCancelled) {
  TempDir dir;
  Person p;
  File f(testing::personDecl(p, dir / "RO97.ZEZ\\!People"));
  PersonManager fm(f);
  ASSERT_EQ(fm.Open(), Err::None);
  ASSERT_EQ(fm.PrimeRecord(), Err::None);
  EXPECT_EQ(p.id, 1);
  EXPECT_EQ(p.city.str(), "Oslo");  // primed before anything else is set
  EXPECT_EQ(p.flag, 1);
  EXPECT_EQ(f.records(), 1) << "the number is reserved by storing the primed record";
  p.name = "Ann";
  ASSERT_EQ(fm.Insert(), Err::None);
  EXPECT_EQ(f.records(), 1);

  ASSERT_EQ(fm.PrimeRecord(), Err::None);
  EXPECT_EQ(p.id, 2);
  ASSERT_EQ(fm.CancelAutoInc(), Err::None);
  EXPECT_EQ(f.records(), 1);
  ASSERT_EQ(fm.PrimeRecord(), Err::None);
  EXPECT_EQ(p.id, 2) << "a cancelled number is given again";
  p.name = "Bea";
  ASSERT_EQ(fm.Insert(), Err::None);

  ASSERT_EQ(fm.PrimeRecord(), Err::None);
  ASSERT_EQ(fm.Close(), Err::None);  // closing drops the unfinished record
  ASSERT_EQ(fm.Open(), Err::None);
  EXPECT_EQ(f.records(), 2);
  p.id = 2;
  ASSERT_EQ(fm.Fetch(f.key("PER:KeyID")), Err::None);
  EXPECT_EQ(p.name.str(), "Bea");
}

TEST(FileManager, ARecordAddedApartLeavesThePrimedRecordItsNumber) {
  TempDir dir;
  Person p;
  File f(testing::personDecl(p, dir / "RO97.ZEZ\\!People"));
  PersonManager fm(f);
  ASSERT_EQ(fm.Open(), Err::None);
  ASSERT_EQ(fm.PrimeRecord(), Err::None);  // a form's new record: number 1 reserved
  const RecordImage primed = fm.SaveBuffer();
  p.id = 0;
  p.name = "Copy";
  ASSERT_EQ(fm.TryInsertApart(), Err::None);
  EXPECT_EQ(p.id, 2) << "numbered after the reserved one";
  EXPECT_TRUE(fm.hasReservation());
  fm.RestoreBuffer(primed);
  p.name = "Ann";
  ASSERT_EQ(fm.Insert(), Err::None);
  EXPECT_EQ(p.id, 1);
  EXPECT_EQ(f.records(), 2);
  for (auto [id, name] : {std::pair{1, "Ann"}, {2, "Copy"}}) {
    p.id = id;
    ASSERT_EQ(fm.Fetch(f.key("PER:KeyID")), Err::None);
    EXPECT_EQ(p.name.str(), name);
  }
}

TEST(FileManager, LastNumbersCountWithinTheLeadingComponents) {
  TempDir dir;
  Step s;
  File f(testing::stepDecl(s, dir / "RO97.ZEZ\\!Steps"));
  FileManager fm(f);
  fm.LazyAutoInc = true;
  ASSERT_EQ(fm.Open(), Err::None);
  struct Add {
    int task;
    int wantSeq;
  };
  for (Add a : {Add{7, 1}, Add{7, 2}, Add{9, 1}, Add{7, 3}, Add{9, 2}}) {
    ASSERT_EQ(fm.PrimeRecord(), Err::None);
    s.task = a.task;
    s.action = "Wait";
    ASSERT_EQ(fm.Insert(), Err::None);
    EXPECT_EQ(s.seq, a.wantSeq) << "task " << a.task;
  }
  s.task = 7;
  s.seq = 2;
  ASSERT_EQ(fm.Fetch(f.key("STP:KeyID")), Err::None);
  ASSERT_EQ(fm.Delete(), Err::None);
  ASSERT_EQ(fm.PrimeRecord(), Err::None);
  s.task = 7;
  ASSERT_EQ(fm.Insert(), Err::None);
  EXPECT_EQ(s.seq, 4) << "one above the highest, gaps stay";
}

TEST(FileManager, AReservedLastNumberIsGivenAgainAfterCancel) {
  TempDir dir;
  Step s;
  File f(testing::stepDecl(s, dir / "RO97.ZEZ\\!Steps"));
  class StepManager : public FileManager {
   public:
    using FileManager::FileManager;
    void PrimeFields() override { static_cast<Step*>(file().buffer())->task = 4; }  // the current task
  } fm(f);
  ASSERT_EQ(fm.Open(), Err::None);
  ASSERT_EQ(fm.PrimeRecord(), Err::None);
  EXPECT_EQ(s.seq, 1);
  ASSERT_EQ(fm.Insert(), Err::None);
  ASSERT_EQ(fm.PrimeRecord(), Err::None);
  EXPECT_EQ(s.seq, 2);
  EXPECT_TRUE(fm.hasReservation());
  ASSERT_EQ(fm.CancelAutoInc(), Err::None);
  EXPECT_EQ(f.records(), 1);
  ASSERT_EQ(fm.PrimeRecord(), Err::None);
  EXPECT_EQ(s.seq, 2);
}

TEST(FileManager, FailuresAreReportedUnderTheFileLabelExceptByTryMembers) {
  TempDir dir;
  Recorder rec;
  Person p;
  File f(testing::personDecl(p, dir / "RO97.ZEZ\\!People"));
  PersonManager fm(f);
  ASSERT_EQ(fm.Open(), Err::None);
  p.id = 5;
  EXPECT_EQ(fm.TryFetch(f.key("PER:KeyID")), Err::NotFound);
  EXPECT_TRUE(rec.reports.empty());
  EXPECT_EQ(fm.Fetch(f.key("PER:KeyID")), Err::NotFound);
  ASSERT_EQ(rec.reports.size(), 1u);
  EXPECT_EQ(rec.reports[0].file, "People [Person]");
  EXPECT_EQ(rec.reports[0].text, "The record was not found in People [Person].");

  testing::setPerson(p, 5, "Ann", "Rome");
  ASSERT_EQ(fm.Insert(), Err::None);
  EXPECT_EQ(fm.Insert(), Err::DupKey);
  ASSERT_EQ(rec.reports.size(), 2u);
  EXPECT_EQ(rec.reports[1].id, Msg::DuplicateKey);
  EXPECT_NE(rec.reports[1].text.find("PER:KeyID"), std::string::npos) << rec.reports[1].text;
}

TEST(FileManager, RangeCheckRefusesValuesOutsideItsBoundsWithTheRangeMessage) {
  TempDir dir;
  Recorder rec;
  Person p;
  File f(testing::personDecl(p, dir / "RO97.ZEZ\\!People"));
  PersonManager fm(f);
  struct Case {
    int flag;
    bool passes;
  };
  for (Case c : {Case{0, false}, Case{1, true}, Case{10, true}, Case{11, false}}) {
    SCOPED_TRACE(c.flag);
    p.flag = static_cast<uint8_t>(c.flag);
    rec.reports.clear();
    Level got = fm.ValidateByName("PER:Flag");
    EXPECT_EQ(got == Level::Benign, c.passes);
    EXPECT_EQ(fm.ValidateFields() == Level::Benign, c.passes);
    if (!c.passes) {
      ASSERT_FALSE(rec.reports.empty());
      EXPECT_EQ(rec.reports[0].title, "Range Error");
      EXPECT_EQ(rec.reports[0].text, "The value of Flag must be between 1 and 10.");
    }
  }
}

TEST(FileManager, BindFieldsNamesEachMemoWithItsSize) {
  TempDir dir;
  testing::Note n;
  File f(testing::noteDecl(n, dir / "NOTES"));
  FileManager fm(f);
  std::vector<std::pair<std::string, uint32_t>> bound;
  fm.BindFields([&](std::string_view name, const rt::FieldDesc& field, const void* base) {
    bound.emplace_back(std::string(name), field.width);
    EXPECT_EQ(base, &n);
  });
  EXPECT_EQ(bound, (std::vector<std::pair<std::string, uint32_t>>{{"NOT:Text", 12}, {"NOT:Data", 8}}));
}

}  // namespace
}  // namespace ov::db
