// The file statements over SQLCipher tables: open and create, reading in key and file order,
// writing, and the error codes each leaves behind.
#include "platform/files/file.h"

#include <gtest/gtest.h>

#include "platform/files/tests/fixture.h"

namespace ov::db {
namespace {

using rt::Err;
using testing::Person;
using testing::TempDir;
using testing::personDecl;
using testing::setPerson;

TEST(File, CreatesTablesOfOneStorageAndKeepsRecordsAcrossReopen) {
  TempDir dir;
  Person a, b;
  File people(personDecl(a, dir / "RO97.ZEZ\\!People"));
  File others(personDecl(b, dir / "RO97.ZEZ\\!Others", "secret-01", "OTHERS"));
  EXPECT_EQ(people.open(), Err::NoFile);
  EXPECT_EQ(rt::ERRORCODE(), 2);
  ASSERT_EQ(people.create(), Err::None);
  ASSERT_EQ(others.create(), Err::None);
  ASSERT_EQ(people.open(), Err::None);
  ASSERT_EQ(others.open(), Err::None);
  EXPECT_EQ(people.open(), Err::AlreadyOpen);
  EXPECT_EQ(rt::ERRORCODE(), 52);
  EXPECT_EQ(people.path(), others.path());

  setPerson(a, 1, "Ann", "Oslo");
  ASSERT_EQ(people.add(), Err::None);
  setPerson(a, 2, "Bob", "Rome");
  ASSERT_EQ(people.add(), Err::None);
  setPerson(b, 7, "Zed", "Kyiv");
  ASSERT_EQ(others.add(), Err::None);
  EXPECT_EQ(people.records(), 2);
  EXPECT_EQ(others.records(), 1);
  ASSERT_EQ(people.close(), Err::None);
  EXPECT_EQ(people.records(), -1);
  EXPECT_EQ(rt::ERRORCODE(), 37);

  ASSERT_EQ(people.open(), Err::None);
  a.id = 2;
  ASSERT_EQ(people.get(people.key("PER:KeyID")), Err::None);
  EXPECT_EQ(a.name.str(), "Bob");
  EXPECT_EQ(a.city.view(), "Rome        ");  // padded on read
  a.id = 3;
  EXPECT_EQ(people.get(people.key("KeyID")), Err::NotFound);
  EXPECT_EQ(rt::ERRORCODE(), 35);
  EXPECT_EQ(rt::ERROR(), "Record Not Found");
}

TEST(File, StatementsOnAClosedFileReportFileNotOpen) {
  TempDir dir;
  Person p;
  File f(personDecl(p, dir / "DATA"));
  ASSERT_EQ(f.create(), Err::None);
  for (Err err : {f.next(), f.previous(), f.add(), f.put(), f.deleteRecord(), f.get(f.key(0)), f.set(), f.close()})
    EXPECT_EQ(err, Err::NotOpen);
}

}  // namespace
}  // namespace ov::db
