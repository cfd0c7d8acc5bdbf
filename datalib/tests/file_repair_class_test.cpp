// The data-file repair class on table files of a temporary data folder: its list of files, pack,
// build, release, refusals, and repair through the tpsfix program on a damaged file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "datalib/file_repair_class.h"
#include "datalib/tests/data_folder.h"
#include "platform/files/file.h"
#include "platform/files/tests/fixture.h"
#include "platform/rt/process.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "platform/ui/window_manager.h"

using namespace ov;
using namespace ov::files;
using db::File;
using db::testing::Person;
using db::testing::personDecl;
using rt::Err;

namespace {

namespace fs = std::filesystem;

constexpr int kPeople = 3000;

class RepairFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::test::application();
    path = (folder.data() / "PEOPLE.TPS").string();
    file = std::make_unique<File>(personDecl(buf, path));
    ASSERT_EQ(file->create(), Err::None);
    ASSERT_EQ(file->open(), Err::None);
    ASSERT_EQ(db::LOGOUT(1, {file.get()}), Err::None);
    for (int id = 1; id <= kPeople; ++id) {
      file->clear();
      buf.id = id;
      buf.name = "Person " + std::to_string((id * 7919) % 10007);
      buf.city = id % 2 ? "Oslo" : "Lyon";
      ASSERT_EQ(file->add(), Err::None);
    }
    ASSERT_EQ(db::COMMIT(), Err::None);
    ASSERT_EQ(file->close(), Err::None);
    repair.Init(0);
    repair.AddFile(*file, "People");
  }
  void TearDown() override {
    repair.Kill();
    ui::closeAllWindows();
    ui::processEvents();
  }

  // Reads every record in name order; false when a read fails or the order is wrong.
  bool readsInKeyOrder(int64_t& count) {
    if (file->open() != Err::None) return false;
    count = 0;
    bool ok = file->set(file->key("PER:KeyName")) == Err::None;
    std::string last;
    Err e;
    while (ok && (e = file->next()) == Err::None) {
      ++count;
      ok = last <= buf.name.str() && buf.name.str() == "Person " + std::to_string((buf.id * 7919) % 10007);
      last = buf.name.str();
    }
    ok = ok && e == Err::NotAvailable && count == file->records();
    (void)file->close();
    return ok;
  }

  files::testing::DataFolder folder;
  std::string path;
  Person buf;
  std::unique_ptr<File> file;
  FileRepairClass repair;
};

TEST_F(RepairFolder, LabelsAreKeptInOrderAndFoundWithoutRegardToCase) {
  Person other;
  File notes(personDecl(other, (folder.data() / "OTHER.TPS").string(), "", "OTHER"));
  repair.AddFile(notes, "Archive");
  repair.AddFile(notes, "zeta");
  repair.AddFile(*file, "ARCHIVE");  // the label again: it now names the people file
  ASSERT_EQ(repair.Q.size(), 3u);
  EXPECT_EQ(repair.Q[0].LABEL, "Archive");
  EXPECT_EQ(repair.Q[0].FILE, file.get());
  EXPECT_EQ(repair.Q[1].LABEL, "People");
  EXPECT_EQ(repair.Q[2].LABEL, "zeta");

  ui::test::ScriptedHost host;  // no message for an unknown label
  EXPECT_EQ(repair.Pack("Nobody"), -1);
  EXPECT_EQ(repair.Pack("PEOPLE"), 0);
  EXPECT_FALSE(file->isOpen());
}

struct PlainWindow : ui::WindowManager {
  PlainWindow() : ui::WindowManager("Plain") {}
  ui::Level Init() override {
    window().setTitle("Plain");
    Open();
    return ui::Level::Benign;
  }
};

TEST_F(RepairFolder, InitClosesTheWindowsOfTheOtherThreads) {
  const int a = ui::START([] { return std::make_unique<PlainWindow>(); });
  const int b = ui::START([] { return std::make_unique<PlainWindow>(); });
  ui::processEvents();
  ASSERT_TRUE(ui::isThreadRunning(a));
  ASSERT_TRUE(ui::isThreadRunning(b));
  repair.Init(0);
  EXPECT_TRUE(repair.Q.empty());
  ui::processEvents();
  EXPECT_FALSE(ui::isThreadRunning(a));
  EXPECT_FALSE(ui::isThreadRunning(b));
}

TEST_F(RepairFolder, BuildRebuildsTheKeysAndLeavesTheFileClosed) {
  EXPECT_EQ(repair.Build("people"), 0);
  EXPECT_FALSE(file->isOpen());
  int64_t count = 0;
  EXPECT_TRUE(readsInKeyOrder(count));
  EXPECT_EQ(count, kPeople);
}

TEST_F(RepairFolder, AFileThatCannotBeOpenedExclusivelyIsNamedInAMessage) {
  ui::test::ScriptedHost host;
  ASSERT_EQ(file->open(), Err::None);  // open elsewhere in the program
  host.expectMessage("Cannot open People for Pack operation.  Error: File Already Open.", ui::BUTTON::Ok);
  EXPECT_EQ(repair.Pack("People"), -1);
  EXPECT_FALSE(file->isOpen());  // a failed operation leaves the file closed

  // Another program has the file open.
  int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_SH), 0);
  host.expectMessage("Cannot open People for Build operation.  Error: Access Denied.", ui::BUTTON::Ok);
  EXPECT_EQ(repair.Build("People"), -1);
  ::close(fd);
  EXPECT_FALSE(host.pending());
  ASSERT_EQ(host.messages().size(), 2u);
  EXPECT_EQ(host.messages()[0].title, "Error");
  EXPECT_EQ(host.messages()[0].icon, ui::Icon::Exclamation);
}

TEST_F(RepairFolder, ReleaseLetsGoOfAHeldRecord) {
  Person other;
  File holder(personDecl(other, path));
  ASSERT_EQ(holder.open(), Err::None);
  ASSERT_EQ(holder.set(), Err::None);
  ASSERT_EQ(holder.next(), Err::None);
  ASSERT_EQ(holder.hold(), Err::None);
  ASSERT_EQ(holder.next(), Err::None);  // the second record, held
  ASSERT_EQ(holder.send("HELD"), "ON");
  EXPECT_EQ(repair.Release("People"), 0);
  EXPECT_EQ(holder.send("HELD"), "OFF");
  EXPECT_FALSE(file->isOpen());
  (void)holder.close();
}

// Records the repair program's command line instead of running it.
class RecordingRepair : public FileRepairClass {
 public:
  std::string command, owner;
  bool exampleThere = false;

 protected:
  int32_t runRepairProgram(const std::string& line, const std::string& password, int& error) override {
    command = line;
    owner = password;
    Person b;
    db::FileDecl d = personDecl(b, "qvRepair.TPS");
    File example(d);
    exampleThere = example.open() == Err::None && example.records() == 0;
    (void)example.close();
    error = 0;
    return 7;
  }
};

TEST_F(RepairFolder, RepairRunsTheProgramOnTheFileWithAnEmptyExampleBeside) {
  RecordingRepair r;
  r.AddFile(*file, "People");
  EXPECT_EQ(r.Repair("People"), 7);  // the program's exit code
  EXPECT_EQ(r.command, "TPSFIX " + path + " /E:qvRepair.TPS /K");
  EXPECT_EQ(r.owner, "secret-01");
  EXPECT_TRUE(r.exampleThere);

  // A name with a blank reaches the program as one argument.
  fs::create_directories(folder.data() / "my data");
  Person b2;
  File spaced(personDecl(b2, (folder.data() / "my data" / "P.TPS").string()));
  ASSERT_EQ(spaced.create(), Err::None);
  r.AddFile(spaced, "Spaced");
  EXPECT_EQ(r.Repair("Spaced"), 7);
  EXPECT_EQ(rt::splitCommandLine(r.command).at(1), (folder.data() / "my data" / "P.TPS").string());
}

TEST_F(RepairFolder, RepairOfADamagedFileKeepsEveryReadableRecord) {
  EXPECT_EQ(repair.Repair("People"), 0);  // sound: left as it is
  EXPECT_FALSE(fs::exists(path + ".bak"));

  {  // Damage: part of every third page past the catalogue and the roots of the tables and keys.
    std::fstream io(path, std::ios::in | std::ios::out | std::ios::binary);
    io.seekg(0, std::ios::end);
    const long pages = static_cast<long>(io.tellg()) / 8192;
    for (long page = 10; page < pages; page += 3) {
      io.seekp(page * 8192 + 3000);
      io << std::string(200, '\x5A');
    }
  }
  int64_t count = 0;
  ASSERT_FALSE(readsInKeyOrder(count)) << "the damage went unseen";

  EXPECT_EQ(repair.Repair("People"), 1);  // rebuilt
  EXPECT_TRUE(fs::exists(path + ".bak"));
  EXPECT_TRUE(fs::exists(folder.data() / "qvRepair.TPS"));
  EXPECT_TRUE(readsInKeyOrder(count));
  EXPECT_GT(count, kPeople / 2);
  EXPECT_LT(count, kPeople);
}

}  // namespace
