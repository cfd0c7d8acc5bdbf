// The file dialogs: what they list, where they start, and that they never open the data files
// that the process holds open.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFileSystemModel>

#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "platform/files/tests/fixture.h"
#include "platform/files/tests/process.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/testing/driver.h"

namespace ov::ui {
namespace {

using db::testing::Child;
using db::testing::Person;
using db::testing::TempDir;
using rt::Err;

// The names a dialog shows once its folder has been read.
std::set<std::string> shownNames(QFileDialog& d) {
  auto* model = d.findChild<QFileSystemModel*>();
  bool loaded = false;
  QObject::connect(model, &QFileSystemModel::directoryLoaded, &d, [&] { loaded = true; });
  d.show();
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!loaded && std::chrono::steady_clock::now() < until) QApplication::processEvents(QEventLoop::AllEvents, 20);
  // Icons and types are fetched after the listing: give the gatherer its turn.
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::set<std::string> names;
  auto* view = d.findChild<QAbstractItemView*>("listView");
  QAbstractItemModel* shown = view->model();
  QModelIndex root = view->rootIndex();
  for (int r = 0; r < shown->rowCount(root); ++r) names.insert(shown->index(r, 0, root).data().toString().toStdString());
  return names;
}

// The data files whose opening inotify reported in `fd`'s watch.
std::set<std::string> openedDataFiles(int fd) {
  std::set<std::string> opened;
  alignas(inotify_event) char buf[8192];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0) {
    for (char* p = buf; p < buf + n;) {
      auto* e = reinterpret_cast<inotify_event*>(p);
      if (e->len > 0 && isDataFileName(e->name)) opened.insert(e->name);
      p += sizeof(inotify_event) + e->len;
    }
  }
  return opened;
}

TEST(FileDialog, ListsNoDataFileOpensNoneAndMatchesPatternsIgnoringCase) {
  TempDir dir;
  Person p;
  const std::string table = dir / "RO97.ZEZ\\!People";
  {
    db::File f(db::testing::personDecl(p, table));
    ASSERT_EQ(f.create(), Err::None);
  }
  for (const char* name : {"a.wav", "B.WAV", "notes.txt", "OVCLPBRD.TPS", "MSGLINK", "OVTpl", "OVACTN"})
    std::ofstream(dir / name) << "not much";
  // Another program that writes while the dialog is open; started before anything is open here.
  Child writer([&](Child& c) {
    c.await();
    Person q;
    {
      db::File f(db::testing::personDecl(q, table));
      if (f.open() != Err::None) return 1;
      db::testing::setPerson(q, 2, "Bob", "Rome");
      if (f.add() != Err::None) return 2;
    }
    c.tell();
    return 0;
  });
  test::application();
  db::File f(db::testing::personDecl(p, table));
  ASSERT_EQ(f.open(), Err::None);
  db::testing::setPerson(p, 1, "Ann", "Oslo");
  ASSERT_EQ(f.add(), Err::None);

  int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, dir.path().c_str(), IN_OPEN), 0);

  auto all = makeFileDialog({.title = "Open", .file = dir.path() + "/", .filters = {{"All files", "*"}}}, nullptr);
  std::set<std::string> names = shownNames(*all);
  EXPECT_TRUE(names.count("a.wav") && names.count("notes.txt")) << names.size();
  for (const char* hidden : {"RO97.ZEZ", "RO97.ZEZ-wal", "RO97.ZEZ-shm", "OVCLPBRD.TPS", "MSGLINK", "OVTpl", "OVACTN"})
    EXPECT_EQ(names.count(hidden), 0u) << hidden << " is listed";

  auto sounds = makeFileDialog({.title = "Sound", .file = dir.path() + "/", .filters = {{"Sounds", "*.WAV"}}}, nullptr);
  EXPECT_EQ(shownNames(*sounds), (std::set<std::string>{"B.WAV", "a.wav"}));
  EXPECT_EQ(openedDataFiles(watch), std::set<std::string>{}) << "a dialog looked inside a data file";
  ::close(watch);

  // With the dialogs open, another program writes and closes its last connection.
  writer.answer();
  ASSERT_EQ(writer.awaitChild(), '.');
  EXPECT_EQ(writer.wait(), 0);
  EXPECT_TRUE(std::filesystem::exists(dir / "RO97.ZEZ-wal"));
  EXPECT_EQ(f.records(), 2);
}

TEST(FileDialog, StartsWhereTheCallerSaysElseWhereItsPurposeLastEndedElseAtHome) {
  TempDir dir;
  test::application();
  const QString home = QDir::homePath(), folder = QString::fromStdString(dir.path());
  std::ofstream(dir / "log.txt") << "x";
  EXPECT_EQ(makeFileDialog({.title = "Select LOG file"}, nullptr)->directory().absolutePath(), home);
  EXPECT_EQ(makeFileDialog({.title = "Select LOG file", .file = "OV_EVENT.LOG"}, nullptr)->directory().absolutePath(),
            home)
      << "a bare file name is no folder";
  auto named = makeFileDialog({.title = "Select LOG file", .file = dir / "log.txt"}, nullptr);
  EXPECT_EQ(named->directory().absolutePath(), folder);
  EXPECT_EQ(makeFolderDialog({.title = "Folder", .start = dir.path()}, nullptr)->directory().absolutePath(), folder);

  rememberFolder("Select LOG file", folder);
  EXPECT_EQ(makeFileDialog({.title = "Select LOG file"}, nullptr)->directory().absolutePath(), folder);
  EXPECT_EQ(makeFileDialog({.title = "Select sound file"}, nullptr)->directory().absolutePath(), home)
      << "another purpose keeps its own folder";
}

TEST(FileDialog, DataFileNamesAndCaseBlindPatterns) {
  for (const char* name : {"RO97.ZEZ", "ro97.zez-wal", "OVCLPBRD.TPS-shm", "x.tps", "OVTpl", "MsgLink-journal", "OVACTN"})
    EXPECT_TRUE(isDataFileName(name)) << name;
  for (const char* name : {"RO97.ZEZ.bak", ".TPS", "notes.txt", "OVTpl.txt", "-wal"}) EXPECT_FALSE(isDataFileName(name)) << name;
  EXPECT_EQ(caseBlindPattern("*.WAV"), "*.[wW][aA][vV]");
  EXPECT_EQ(caseBlindPattern("a[bc]?.1"), "[aA][bc]?.1");
}

}  // namespace
}  // namespace ov::ui
