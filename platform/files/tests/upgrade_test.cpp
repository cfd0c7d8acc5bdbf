// Tables of an older layout are brought up to the declaration on open: new columns with their
// blank values, keys rebuilt, the version recorded; a newer or mismatching table is refused.
#include <gtest/gtest.h>

#include "platform/files/file.h"
#include "platform/files/tests/fixture.h"

namespace ov::db {
namespace {

using rt::Err;
using testing::Person;
using testing::TempDir;

// The first layout of the person file: an id and a name, keyed by id only.
const rt::FieldDesc kV1Fields[] = {
    {"PER:ID", rt::FieldType::Long, 4, 0, offsetof(Person, id)},
    {"PER:Name", rt::FieldType::String, 20, 4, offsetof(Person, name)},
};
const rt::RecordDesc kV1Record{"PER", kV1Fields, 24};

FileDecl version1(Person& p, const std::string& name) {
  FileDecl d = testing::personDecl(p, name);
  d.record = &kV1Record;
  d.keys = {{.name = "PER:KeyID", .description = "By ID", .parts = {{"PER:ID"}}, .unique = true, .primary = true}};
  d.version = 1;
  return d;
}

FileDecl version2(Person& p, const std::string& name) {
  FileDecl d = testing::personDecl(p, name);
  d.version = 2;
  return d;
}

TEST(Upgrade, AnOlderTableGainsTheNewColumnsAndKeysAndKeepsItsRecords) {
  TempDir dir;
  Person p;
  std::string name = dir / "RO97.ZEZ\\!People";
  {
    File old(version1(p, name));
    ASSERT_EQ(old.create(), Err::None);
    ASSERT_EQ(old.open(), Err::None);
    for (auto [id, who] : {std::pair{1, "carl"}, std::pair{2, "Ann"}, std::pair{3, "bob"}}) {
      p.id = id;
      p.name = who;
      ASSERT_EQ(old.add(), Err::None);
    }
  }
  File now(version2(p, name));
  ASSERT_EQ(now.open(), Err::None);
  EXPECT_EQ(now.records(), 3);
  testing::setPerson(p, 9, "junk", "junk", 7, 7);
  p.id = 1;
  ASSERT_EQ(now.get(now.key("PER:KeyID")), Err::None);
  EXPECT_EQ(p.name.str(), "carl");
  EXPECT_EQ(p.city.view(), std::string(12, ' ')) << "a new text column starts blank";
  EXPECT_EQ(p.date, 0) << "a new number column starts at 0";
  std::vector<int> byName;
  ASSERT_EQ(now.set(now.key("PER:KeyName")), Err::None);
  while (now.next() == Err::None) byName.push_back(p.id);
  EXPECT_EQ(byName, (std::vector<int>{2, 3, 1})) << "the new key holds the old records";
  p.id = 3;
  ASSERT_EQ(now.get(now.key("PER:KeyID")), Err::None);
  p.city = "Oslo";
  ASSERT_EQ(now.put(), Err::None);
  ASSERT_EQ(now.close(), Err::None);

  File older(version1(p, name));
  EXPECT_EQ(older.open(), Err::BadRecordDecl) << "a program of the older layout is refused";
  EXPECT_NE(rt::FILEERROR().find("newer"), std::string::npos) << rt::FILEERROR();
  ASSERT_EQ(now.open(), Err::None);
  p.id = 3;
  ASSERT_EQ(now.get(now.key("PER:KeyID")), Err::None);
  EXPECT_EQ(p.city.str(), "Oslo");
}

TEST(Upgrade, AMissingColumnWithoutANewVersionIsRefused) {
  TempDir dir;
  Person p;
  std::string name = dir / "RO97.ZEZ\\!People";
  ASSERT_EQ(File(version1(p, name)).create(), Err::None);
  FileDecl same = version2(p, name);
  same.version = 1;
  File f(std::move(same));
  EXPECT_EQ(f.open(), Err::BadRecordDecl);
  EXPECT_EQ(rt::ERRORCODE(), 47);
}

TEST(Upgrade, AKeyThatBecameUniqueOverDuplicatesAsksForARebuild) {
  TempDir dir;
  Person p;
  std::string name = dir / "RO97.ZEZ\\!People";
  {
    File f(version2(p, name));
    ASSERT_EQ(f.create(), Err::None);
    ASSERT_EQ(f.open(), Err::None);
    testing::setPerson(p, 1, "Ann", "Oslo");
    ASSERT_EQ(f.add(), Err::None);
    testing::setPerson(p, 2, "ANN", "Rome");
    ASSERT_EQ(f.add(), Err::None);
  }
  FileDecl d = version2(p, name);
  d.version = 3;
  d.keys[1].unique = true;  // names become unique, ignoring case
  File f(std::move(d));
  EXPECT_EQ(f.open(), Err::RebuildKey);
  EXPECT_NE(rt::FILEERROR().find("PER:KeyName"), std::string::npos) << rt::FILEERROR();
  File back(version2(p, name));
  ASSERT_EQ(back.open(), Err::None) << "the failed upgrade changed nothing";
  EXPECT_EQ(back.records(), 2);
}

TEST(Upgrade, ATableFoundUnderAnEarlierNameMovesToItsNewName) {
  TempDir dir;
  Person p;
  struct Case {
    const char* name;
    std::string earlier;
  };
  const Case cases[] = {
      {"same storage file", dir / "RO97.ZEZ\\!Folk"},
      {"a storage file of its own", dir / "FOLK.TPS"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string now = dir / ("NEW" + std::to_string(++n) + ".ZEZ\\!People");
    if (c.earlier.find("RO97") != std::string::npos) now = dir / "RO97.ZEZ\\!People";
    {
      File old(version1(p, c.earlier));
      ASSERT_EQ(old.create(), Err::None);
      ASSERT_EQ(old.open(), Err::None);
      p.id = 5;
      p.name = "Eve";
      ASSERT_EQ(old.add(), Err::None);
    }
    FileDecl d = version2(p, now);
    d.create = true;
    std::string earlier = c.earlier;
    d.earlierNames = {earlier.c_str()};
    File f(std::move(d));
    ASSERT_EQ(f.open(), Err::None) << rt::FILEERROR();
    p.id = 5;
    ASSERT_EQ(f.get(f.key("PER:KeyID")), Err::None);
    EXPECT_EQ(p.name.str(), "Eve");
  }
}

}  // namespace
}  // namespace ov::db
