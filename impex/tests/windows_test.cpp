// The program's windows driven as a user would: export with OK at once, import of that file.
#include "impex/windows.h"

#include <gtest/gtest.h>

#include <QListWidget>
#include <QtTest/QTest>

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "datalib/files.h"
#include "datalib/tests/data_folder.h"
#include "platform/rt/command_line.h"
#include "platform/rt/process.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/window.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"

namespace ov::impex {
namespace {

using files::testing::DataFolder;
using files::testing::openOrCreate;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::ScriptedHost;

std::string readAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(ImpexWindows, ExportEverythingThenImportIt) {
  ui::test::application();
  DataFolder dir;
  ASSERT_EQ(openOrCreate(files::TODO), rt::Err::None);
  for (const char* todo : {"Buy milk", "Call, \"Ann\""}) {
    files::TODO.clear();
    files::TDO.ToDo = todo;
    files::TDO.Priority = 3;
    ASSERT_EQ(files::TODO.add(), rt::Err::None);
  }
  ASSERT_EQ(files::TODO.close(), rt::Err::None);
  const std::string csv = (dir.root() / "todo.csv").string();

  ScriptedHost host;
  runScript([&](Driver& d) {
    rt::setCommandLine("ov_impex E TODO");
    d.later([] { EXPECT_TRUE(ImpExDispatch()); });
    ui::test::WindowDriver w = d.waitWindow("ExportTodo");
    host.expectFile("Export File", {csv});
    host.expectMessage("Process Completed\n2 records written to " + csv, ui::BUTTON::Ok);
    w.press("?OK");
    d.waitClosed(w);
  });
  EXPECT_FALSE(host.pending());
  const std::string text = readAll(csv);
  EXPECT_EQ(text.substr(0, text.find("\r\n")),
            "\"TDO:Notes\",\"TDO:Resolution\",\"TDO:Done\",\"TDO:Priority\",\"TDO:Category\",\"TDO:ToDo\","
            "\"TDO:CompletionDate\",\"TDO:CompletionTime\"");
  EXPECT_NE(text.find("\"\",\"\",0,3,\"\",\"Call, \"\"Ann\"\"\",\"\",\"\"\r\n"), std::string::npos) << text;

  runScript([&](Driver& d) {
    rt::setCommandLine("ov_impex I TODO");
    host.expectFile("Import File", {csv});
    d.later([] { EXPECT_TRUE(ImpExDispatch()); });
    ui::test::WindowDriver w = d.waitWindow("ImportTodo");
    host.expectMessage("Process Completed\n2 records imported into", ui::BUTTON::Ok);
    w.press("?OK");
    d.waitClosed(w);
  });
  EXPECT_FALSE(host.pending());
  ASSERT_EQ(openOrCreate(files::TODO), rt::Err::None);
  EXPECT_EQ(files::TODO.records(), 4);  // the two exported ones came back beside the originals
}

// A write that fails offers Retry and Abort: Retry writes again (and here fails again), Abort
// ends the export with a box saying so, the old file as it was and no "Process Completed".
TEST(ImpexWindows, FailedWriteOffersRetryAndAbort) {
  ui::test::application();
  DataFolder dir;
  ASSERT_EQ(openOrCreate(files::TODO), rt::Err::None);
  for (int i = 0; i < 200; ++i) {
    files::TODO.clear();
    files::TDO.ToDo = "task " + std::to_string(i);
    files::TDO.Notes = std::string(400, 'n');
    ASSERT_EQ(files::TODO.add(), rt::Err::None);
  }
  ASSERT_EQ(files::TODO.close(), rt::Err::None);
  const std::string csv = (dir.root() / "todo.csv").string();
  { std::ofstream(csv) << "old"; }

  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ScriptedHost host;
  runScript([&](Driver& d) {
    rt::setCommandLine("ov_impex E TODO");
    d.later([] { EXPECT_TRUE(ImpExDispatch()); });
    ui::test::WindowDriver w = d.waitWindow("ExportTodo");
    host.expectFile("Export File", {csv});
    host.expectMessage("Cannot ADD to " + csv, ui::BUTTON::Retry);
    host.expectMessage("Cannot ADD to " + csv, ui::BUTTON::Abort);
    host.expectMessage("The export was aborted.", ui::BUTTON::Ok);
    struct rlimit l = saved;
    l.rlim_cur = 16 * 1024;  // a file larger than this cannot be written: the export's is
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &l), 0);
    w.press("?OK");
    d.waitClosed(w);
  });
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(host.pending());
  const std::vector<ui::MessageRequest> shown = host.messages();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].title, "Cannot ADD to " + csv);
  EXPECT_EQ(shown[0].buttons, ui::BUTTON::Retry | ui::BUTTON::Abort);
  EXPECT_EQ(shown[0].defaultButton, ui::BUTTON::Abort);
  EXPECT_EQ(shown[0].text.rfind("Cannot ADD to " + csv + ": Error #" + std::to_string(EFBIG), 0), 0u) << shown[0].text;
  EXPECT_EQ(shown[2].title, "Export Failed");
  EXPECT_EQ(readAll(csv), "old");
  EXPECT_FALSE(std::filesystem::exists(csv + ".part"));
}

TEST(ImpexWindows, NoFieldsChosenKeepsTheWindow) {
  ui::test::application();
  DataFolder dir;
  ScriptedHost host;
  runScript([&](Driver& d) {
    ExportWindow* win = nullptr;
    d.later([&] {
      const ImpexTable& t = *findImpexTable("HOLIDAYS");
      ASSERT_TRUE(openImpexTable(t));
      ExportWindow w(t);
      win = &w;
      w.Run();
      win = nullptr;
      (void)t.file->close();
    });
    ui::test::WindowDriver w = d.waitWindow("ExportHolidays");
    w.key("?ExportFields", ui::Key::shift(ui::Key::End));  // every chosen field marked
    w.press("?Remove");
    host.expectMessage("You must select one or more fields to export.", ui::BUTTON::Ok);
    w.press("?OK");
    EXPECT_TRUE(w.isOpen());
    w.press("?Cancel");
    d.waitClosed(w);
  });
}

// The import window offers a button only where it would change the assignment: with no rows
// chosen Picture, Assign and Unassign are greyed, and Auto is once it has assigned what it can.
TEST(ImpexWindows, ImportButtonsGreyedWhileTheyCannotAct) {
  ui::test::application();
  DataFolder dir;
  const std::string csv = (dir.root() / "todo.csv").string();
  {
    std::ofstream out(csv);
    out << "\"TDO:ToDo\",\"Rank\"\r\n\"Buy milk\",\"3\"\r\n";
  }
  ScriptedHost host;
  runScript([&](Driver& d) {
    rt::setCommandLine("ov_impex I TODO");
    host.expectFile("Import File", {csv});
    d.later([] { EXPECT_TRUE(ImpExDispatch()); });
    ui::test::WindowDriver w = d.waitWindow("ImportTodo");
    for (const char* button : {"?Picture", "?Assign", "?Unassign", "?Auto"})
      EXPECT_FALSE(w.enabled(button)) << button;
    w.with([](ui::Window& win) {  // a click on TDO:ToDo, which Auto assigned from the header
      auto* view = qobject_cast<QListWidget*>(win.control("?TargetFields")->view());
      ASSERT_NE(view, nullptr);
      ASSERT_EQ(view->item(5)->text().toStdString(), "TDO:ToDo = Field_1");
      QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualItemRect(view->item(5)).center());
    });
    d.settle();
    EXPECT_TRUE(w.enabled("?Unassign"));
    EXPECT_FALSE(w.enabled("?Assign")) << "the field takes the chosen column already";
    w.press("?Unassign");
    EXPECT_TRUE(w.enabled("?Auto")) << "Auto would assign it again";
    EXPECT_FALSE(w.enabled("?Unassign"));
    w.press("?Auto");
    EXPECT_FALSE(w.enabled("?Auto"));
    w.press("?Cancel");
    d.waitClosed(w);
  });
}

// Real keys and clicks on the views: the marks follow the list's own rules, not the view's.
TEST(ImpexWindows, FieldListsMarkByClicksAndKeys) {
  ui::test::application();
  DataFolder dir;
  ScriptedHost host;
  std::vector<std::string> chosen;
  runScript([&](Driver& d) {
    ExportWindow* win = nullptr;
    d.later([&] {
      const ImpexTable& t = *findImpexTable("TODO");
      ASSERT_TRUE(openImpexTable(t));
      ExportWindow w(t);
      win = &w;
      w.Run();
      win = nullptr;
      (void)t.file->close();
    });
    ui::test::WindowDriver w = d.waitWindow("ExportTodo");
    w.key("?ExportFields", ui::Key::shift(ui::Key::End));
    w.press("?Remove");
    w.key("?AllFields", ui::Key::Down);                  // TDO:Resolution current, Notes marked
    w.key("?AllFields", ui::Key::shift(ui::Key::Down));  // Notes..Done
    w.with([](ui::Window& win) {                         // Ctrl-click on TDO:ToDo
      auto* view = qobject_cast<QListWidget*>(win.control("?AllFields")->view());
      ASSERT_NE(view, nullptr);
      QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier,
                        view->visualItemRect(view->item(5)).center());
    });
    d.settle();
    w.key("?AllFields", ui::Key::Space);  // and off again with the key, back on with it
    w.key("?AllFields", ui::Key::Space);
    w.press("?Add");
    d.gui([&] {
      for (const ExportField& f : win->chooser().chosen()) chosen.push_back(f.name);
    });
    w.press("?Cancel");
    d.waitClosed(w);
  });
  EXPECT_EQ(chosen, (std::vector<std::string>{"TDO:Notes", "TDO:Resolution", "TDO:Done", "TDO:ToDo"}));
}

// A file too large for an import is refused before it is read, and the table is closed again.
TEST(ImpexWindows, ImportFileBeyondTheLimitIsRefusedUnread) {
  ui::test::application();
  DataFolder dir;
  const std::string big = (dir.root() / "big.csv").string();
  { std::ofstream create(big); }
  std::filesystem::resize_file(big, kCsvFileMax + 1);  // sparse: no disk taken
  ScriptedHost host;
  host.expectFile("Import File", {big});
  host.expectMessage("an import file may hold at most 268435456", ui::BUTTON::Ok);
  rt::setCommandLine("ov_impex I TODO");
  EXPECT_TRUE(ImpExDispatch());
  EXPECT_FALSE(host.pending());
  ASSERT_EQ(host.messages().size(), 1u);
  EXPECT_EQ(host.messages()[0].title, "Cannot OPEN " + big);
  EXPECT_FALSE(files::TODO.isOpen());
}

#ifdef OV_IMPEX_PROGRAM
// The program checks its command line before it looks for the data folder: started outside any
// data folder with a bad table word it ends at once (2), without asking for a folder, which the
// test run's OV_UNATTENDED would have turned into an abort.
TEST(ImpexProgram, BadCommandLineEndsBeforeTheDataFolderIsSought) {
  const std::filesystem::path home = std::filesystem::temp_directory_path() / ("ov_impex_home_" + std::to_string(::getpid()));
  std::filesystem::create_directories(home);
  for (const char* words : {"E TODOS", "X TODO", "E", ""}) {
    SCOPED_TRACE(words);
    int code = -1;
    const std::string line = "env -i HOME=" + home.string() + " XDG_DATA_HOME=" + home.string() +
                             " XDG_CONFIG_HOME=" + home.string() + " OV_UNATTENDED=1 QT_QPA_PLATFORM=offscreen " +
                             "\"" + OV_IMPEX_PROGRAM + "\" " + words;
    ASSERT_EQ(rt::runProgram(line, code, {}, 30000), 0);
    EXPECT_EQ(code, 2);
  }
  std::filesystem::remove_all(home);
}
#endif

TEST(ImpexWindows, UnknownWordsDoNothing) {
  for (const char* line : {"ov_impex X TODO", "ov_impex E", "ov_impex E TODOS", "ov_impex"}) {
    SCOPED_TRACE(line);
    rt::setCommandLine(line);
    EXPECT_FALSE(ImpExDispatch());  // no window, no prompt
  }
  EXPECT_EQ(findImpexTable("CONTACTS"), findImpexTable("CONTACT"));
}

}  // namespace
}  // namespace ov::impex
