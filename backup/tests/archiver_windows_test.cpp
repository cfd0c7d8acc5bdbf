// The archiver offscreen under the scripted host: the once-only recommendation, opening an archive
// into the archive window, and extracting and deleting members through the selection dialog and
// the progress window.
#include <gtest/gtest.h>

#include "backup/archiver_windows.h"
#include "backup/tests/test_util.h"
#include "platform/rt/ini.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_manager.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/testing/list_driver.h"
#include "platform/ui/window.h"

using namespace ov::backup;
using namespace ov::backup::test;
using ov::ui::BUTTON::Ok;
using ov::ui::test::Driver;
using ov::ui::test::runScript;
using ov::ui::test::ScriptedHost;
using ov::ui::test::WindowDriver;

namespace {

// True while a window of the procedure is open (asked on the GUI thread).
bool isOpen(const char* procedure) {
  for (ov::ui::Window* w : ov::ui::openWindows())
    if (w->manager() && w->manager()->procedureName() == procedure) return true;
  return false;
}

class Archiver : public ::testing::Test {
 protected:
  void SetUp() override {
    ov::ui::test::application();
    ArchiveInit(Archive);
  }
  void TearDown() override { CloseArchive(Archive); }
  Scratch scratch;
};

TEST_F(Archiver, RecommendsEachListOnce) {
  ScriptedHost host;
  EXPECT_FALSE(recommendBackup("   ")) << "an empty list recommends nothing";
  EXPECT_EQ(ov::rt::GETINI("QMTBackup", "LastWarning", "none", ".\\QMTBACK.INI"), "none");

  host.expectMessage("We recommend that you back up the following file(s):\nRO97.ZEZ OVCLPBRD.TPS\n\nTIP:", Ok);
  EXPECT_TRUE(recommendBackup("RO97.ZEZ OVCLPBRD.TPS"));
  EXPECT_EQ(host.messages().back().title, "QMT Backup Assistant");
  EXPECT_FALSE(recommendBackup("RO97.ZEZ OVCLPBRD.TPS")) << "the same list only once";
  host.expectMessage("OV98.INI", Ok);
  EXPECT_TRUE(recommendBackup("OV98.INI"));
  EXPECT_EQ(ov::rt::GETINI("QMTBackup", "LastWarning", "", ".\\QMTBACK.INI"), "OV98.INI");
}

TEST_F(Archiver, OpenListExtractAndDeleteThroughTheWindows) {
  writeFile(scratch.work() / "a.txt", std::string(3000, 'a'));
  writeFile(scratch.work() / "b c.txt", "blank in the name");
  int status = -1;
  run("zip -q arc.zip a.txt 'b c.txt'", &status);
  ASSERT_EQ(status, 0);
  ScriptedHost host;
  runScript(
      [&](Driver& d) {
        d.later([] {
          ArchiverFrame frame;
          frame.Run();
        });
        WindowDriver frame = d.waitWindow("Main");
        EXPECT_EQ(frame.title(), "QMT Backup Module");
        EXPECT_FALSE(frame.enabled("?Extract")) << "no archive yet";
        EXPECT_FALSE(frame.enabled("?CloseArchive")) << "nothing to close";

        // Opening a second archive closes the first archive window first.
        run("cd '" + scratch.work().string() + "' && zip -q first.zip a.txt");
        host.expectFile("Open ZIP archive", {(scratch.work() / "first.zip").string()});
        frame.press("?TbOpen");
        d.waitWindow("DisplayArchive");

        host.expectFile("Open ZIP archive", {(scratch.work() / "arc.zip").string()});
        frame.press("?OpenArchive");
        WindowDriver list = d.waitWindow("DisplayArchive");
        d.settle();
        int archiveWindows = 0;
        d.gui([&] {
          for (ov::ui::Window* w : ov::ui::openWindows())
            if (w->manager() && w->manager()->procedureName() == "DisplayArchive") ++archiveWindows;
        });
        EXPECT_EQ(archiveWindows, 1);
        EXPECT_TRUE(frame.enabled("?Extract"));
        EXPECT_EQ(frame.title(), "QMT Backup Module - " + std::string([&] {
                    std::string n = (scratch.work() / "arc.zip").string();
                    for (char& c : n) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                    return n;
                  }()));
        ov::ui::test::ListDriver members(d, list, "?List");
        std::vector<std::string> headers;
        for (int c = 1; c <= 11; ++c) headers.push_back(members.propList(ov::ui::PROPLIST::Header, c));
        EXPECT_EQ(headers, (std::vector<std::string>{"Seq", "Filename", "Date", "Time", "Size", "Ratio", "Packed",
                                                     "Method", "CRC-32", "Attrb", "Comment"}));
        EXPECT_EQ(members.texts(1), (std::vector<std::string>{"0001", "0002"}));
        EXPECT_EQ(members.texts(2)[0], "a.txt");
        EXPECT_EQ(members.texts(5)[0], "3000");
        EXPECT_EQ(members.texts(8)[0], "DeflatedN");

        // The member list's pop-up menu sorts.
        host.expectPopup("by Original Size");
        list.post(archiver::kMemberPopup);
        d.settle();
        EXPECT_EQ(members.texts(2), (std::vector<std::string>{"b c.txt", "a.txt"}));
        // Marked members show as marked.
        list.press("?All");
        d.settle();
        EXPECT_EQ(members.texts(1), (std::vector<std::string>{"* 0002", "* 0001"}));
        EXPECT_FALSE(list.enabled("?All")) << "every member marked already";
        EXPECT_TRUE(list.enabled("?ClearAll"));

        // Extract everything into a folder.
        frame.press("?TbUnzip");
        WindowDriver dialog = d.waitWindow("SelectFiles");
        EXPECT_EQ(dialog.title(), "Unzip");
        EXPECT_EQ(dialog.text("?Files"), "2");
        dialog.type("?ZIPDESTDIR", (scratch.work() / "out").string());
        dialog.press("?OK");
        EXPECT_TRUE(d.waitUntil([&] { return !isOpen("SelectFiles") && !isOpen("ArchiveProgress"); },
                                std::chrono::seconds(10)));
        EXPECT_TRUE(fs::exists(scratch.work() / "out" / "b c.txt"));

        // Delete the member with the blank: marked by "All" then narrowed to the wildcard.
        list.press("?All");
        frame.press("?TbDelete");
        dialog = d.waitWindow("SelectFiles");
        EXPECT_EQ(dialog.title(), "Delete");
        EXPECT_EQ(dialog.choice("?Choice"), 2) << "marked members open on Selected";
        dialog.press("&Wildcard");
        dialog.type("?ZIPWILDCARD", "B*.TXT");
        dialog.press("?OK");
        EXPECT_TRUE(d.waitUntil([&] { return !isOpen("SelectFiles") && !isOpen("ArchiveProgress"); },
                                std::chrono::seconds(10)));
        EXPECT_EQ(zipNames(scratch.work() / "arc.zip").size(), 1u);
        d.settle();
        EXPECT_EQ(members.rows().size(), 1u) << "the list is read again";

        frame.press("?CloseArchive");
        d.waitClosed(list);
        EXPECT_EQ(frame.title(), "QMT Backup Module");
        frame.press("?Exit");
        d.waitClosed(frame);
      },
      std::chrono::seconds(60));
  EXPECT_EQ(readFile(scratch.work() / "out" / "a.txt"), std::string(3000, 'a'));
  EXPECT_EQ(zipNames(scratch.work() / "arc.zip"), (std::set<std::string>{"a.txt"}));
}

// The preferences dialog shows the start values in its option groups, and a choice made there is
// what Add works with.
TEST_F(Archiver, PreferencesShowAndKeepTheChosenOptions) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([] {
      ArchiverFrame frame;
      frame.Run();
    });
    WindowDriver frame = d.waitWindow("Main");
    frame.press("?Preferences");
    WindowDriver prefs = d.waitWindow("ZipPreferences");
    EXPECT_EQ(prefs.choice("?Compression"), 2) << "Normal";
    EXPECT_EQ(prefs.choice("?PathInformation"), 3) << "Full path";
    EXPECT_EQ(prefs.choice("?Action"), 1) << "Add (and Replace)";
    prefs.press("?Store");
    prefs.press("?RelativePath");
    prefs.press("?UpdateAdd");
    prefs.press("?OK");
    d.waitClosed(prefs);
    EXPECT_EQ(Archive.COMPRESSIONLEVELSWITCH, 4);
    EXPECT_EQ(Archive.PATHINFORMATIONSWITCH, 2);
    EXPECT_EQ(Archive.ACTION, 3);
    frame.close();
  });
}

}  // namespace
