// The data-file check and repair program on table files of ours: sound, damaged, locked, with the
// wrong owner password.
#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/files/file.h"
#include "platform/files/tests/fixture.h"

namespace {

namespace fs = std::filesystem;
using ov::db::File;
using ov::db::testing::Person;
using ov::db::testing::personDecl;
using ov::rt::Err;

constexpr int kPeople = 3000;
const char* const kOwner = "secret-01";

std::string nameOf(int id) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "Person %05d", (id * 7919) % 10007);  // names not in id order
  return buf;
}
std::string cityOf(int id) { return id % 3 == 0 ? "Lyon" : id % 3 == 1 ? "Oslo" : "Porto"; }

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

struct Outcome {
  int code = -1;
  std::string out;
};

// Runs the program with the owner password in its environment, as the repair class does.
Outcome tpsfix(const std::string& args, const std::string& owner = kOwner) {
  std::string cmd = "TPSFIX_OWNER='" + owner + "' " + OV_TPSFIX + " " + args + " 2>&1";
  Outcome r;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[512];
  while (std::fgets(buf, sizeof buf, p)) r.out += buf;
  int status = ::pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

class TableFile : public ::testing::Test {
 protected:
  void SetUp() override {
    path = dir / "PEOPLE.TPS";
    File f(personDecl(buf, path, kOwner));
    ASSERT_EQ(f.create(), Err::None);
    ASSERT_EQ(f.open(), Err::None);
    ASSERT_EQ(ov::db::LOGOUT(1, {&f}), Err::None);
    for (int id = 1; id <= kPeople; ++id) {
      f.clear();
      buf.id = id;
      buf.name = nameOf(id);
      buf.city = cityOf(id);
      buf.date = 80000 + id;
      ASSERT_EQ(f.add(), Err::None);
    }
    ASSERT_EQ(ov::db::COMMIT(), Err::None);
    ASSERT_EQ(f.close(), Err::None);
  }

  // Overwrites part of every third page past the first ten (which hold the catalogue and the
  // roots of the tables and keys): leaf pages of the records and of the keys.
  void damage() {
    std::fstream io(path, std::ios::in | std::ios::out | std::ios::binary);
    io.seekg(0, std::ios::end);
    const long pages = static_cast<long>(io.tellg()) / 8192;
    ASSERT_GT(pages, 20);
    for (long page = 10; page < pages; page += 3) {
      io.seekp(page * 8192 + 3000);
      io << std::string(200, '\x5A');
    }
  }

  // Reads the file back by its name key: every record it holds must be one that was written.
  void expectIntactRecords(int64_t& count) {
    File f(personDecl(buf, path, kOwner));
    ASSERT_EQ(f.open(), Err::None);
    count = f.records();
    ASSERT_EQ(f.set(f.key("PER:KeyName")), Err::None);
    int64_t seen = 0;
    std::string last;
    Err e;
    while ((e = f.next()) == Err::None) {
      ++seen;
      ASSERT_GE(buf.id, 1);
      ASSERT_LE(buf.id, kPeople);
      EXPECT_EQ(std::string(buf.name.str()), nameOf(buf.id));
      EXPECT_EQ(std::string(buf.city.str()), cityOf(buf.id));
      EXPECT_EQ(buf.date, 80000 + buf.id);
      EXPECT_LE(last, std::string(buf.name.str()));
      last = std::string(buf.name.str());
    }
    EXPECT_EQ(e, Err::NotAvailable);
    EXPECT_EQ(seen, count);
    // A record added now gets a position after every one the file ever held.
    f.clear();
    buf.id = kPeople + 1;
    buf.name = "Newcomer";
    ASSERT_EQ(f.add(), Err::None);
    EXPECT_GT(f.position(), kPeople);
    ASSERT_EQ(f.close(), Err::None);
  }

  ov::db::testing::TempDir tmp;
  fs::path dir{tmp.path()};
  std::string path;
  Person buf;
};

TEST_F(TableFile, ASoundFileIsLeftAsItIs) {
  const std::string before = slurp(path);
  Outcome r = tpsfix(path + " /K");
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(slurp(path), before);
  EXPECT_FALSE(fs::exists(path + ".bak"));
}

TEST_F(TableFile, ADamagedFileIsRebuiltFromWhatCanBeReadAndTheOriginalKept) {
  damage();
  const std::string damaged = slurp(path);
  // The layer itself cannot read the whole file any more.
  {
    File f(personDecl(buf, path, kOwner));
    ASSERT_EQ(f.open(), Err::None);
    ASSERT_EQ(f.set(), Err::None);
    Err e;
    int64_t n = 0;
    while ((e = f.next()) == Err::None) ++n;
    EXPECT_NE(e, Err::NotAvailable) << "the damage did not touch the records (" << n << " read)";
    f.close();
  }

  Outcome r = tpsfix(path + " /K");
  ASSERT_EQ(r.code, 1) << r.out;
  EXPECT_NE(r.out.find("PERSON: "), std::string::npos) << r.out;
  EXPECT_EQ(slurp(path + ".bak"), damaged);

  int64_t count = 0;
  expectIntactRecords(count);
  EXPECT_GT(count, kPeople / 2);
  EXPECT_LT(count, kPeople) << "records on the damaged pages cannot have come back";
  // The rebuilt file passes the check.
  Outcome again = tpsfix(path + " /K");
  EXPECT_EQ(again.code, 0) << again.out;
}

TEST_F(TableFile, WithoutKeepNoBackupStays) {
  damage();
  Outcome r = tpsfix(path);
  ASSERT_EQ(r.code, 1) << r.out;
  EXPECT_FALSE(fs::exists(path + ".bak"));
  int64_t count = 0;
  expectIntactRecords(count);
}

TEST_F(TableFile, RefusalsLeaveTheFileUntouched) {
  damage();
  const std::string before = slurp(path);
  struct Case {
    const char* what;
    std::string args, owner;
    int code;
  };
  const Case kCases[] = {
      {"wrong owner password", path, "not-the-password", 2},
      {"no owner password", path, "", 2},
      {"no file named", "/K", kOwner, 3},
      {"missing file", (dir / "NOPE.TPS").string(), kOwner, 3},
      {"missing example file", path + " /E:" + (dir / "none.TPS").string(), kOwner, 3},
      {"unknown switch", path + " /Q", kOwner, 3},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    Outcome r = tpsfix(c.args, c.owner);
    EXPECT_EQ(r.code, c.code) << r.out;
    EXPECT_EQ(slurp(path), before);
  }
  // Held open by another program (the table layer's exclusive lock).
  int fd = ::open(path.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_SH), 0);
  Outcome r = tpsfix(path);
  EXPECT_EQ(r.code, 5) << r.out;
  ::close(fd);
  EXPECT_EQ(slurp(path), before);
  EXPECT_FALSE(fs::exists(path + ".bak"));
}

}  // namespace
