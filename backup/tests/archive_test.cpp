// The archiver's archive state without windows: listings of archives made by Info-ZIP (methods,
// times, CRC, attributes, comments, counts), new and open, and the operations on marked members,
// wildcards and preferences, checked with unzip.
#include <gtest/gtest.h>

#include "backup/archive_operations.h"
#include "backup/archive_state.h"
#include "backup/tests/test_util.h"
#include "platform/rt/date_time.h"
#include "platform/ui/host.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"

using namespace ov::backup;
using namespace ov::backup::test;
using ov::ui::test::ScriptedHost;
namespace zip = ov::zip;

namespace {

class ArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ov::ui::test::application();
    zip::LSZIP_INIT(nullptr);
    zip::LSUZ_INIT(nullptr);
    ArchiveInit(s);
  }
  const MemberRow* row(const std::string& name) const {
    for (const MemberRow& r : s.LSZQ)
      if (r.name == name) return &r;
    return nullptr;
  }
  Scratch scratch;
  ArchiveState s;
};

TEST_F(ArchiveTest, InfoZipArchiveListsMethodsTimesCrcAndComment) {
  ScriptedHost host;
  writeFile(scratch.work() / "a.txt", std::string(4000, 'a'));
  writeFile(scratch.work() / "b.txt", "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb");
  writeFile(scratch.work() / "c.txt", "plain");
  writeFile(scratch.work() / "e.txt", "");
  int status = -1;
  // 30 seconds past ten o'clock: two-second units of 15.
  run("touch -t 202612101000.30 a.txt b.txt c.txt e.txt && zip -q -9 z.zip a.txt && zip -q -1 z.zip b.txt && "
      "zip -q -0 z.zip c.txt e.txt && printf 'Weekly set' | zip -q -z z.zip",
      &status);
  ASSERT_EQ(status, 0);
  s.ZIPARCHIVENAME = "z.zip";
  ASSERT_TRUE(DisplayArchive(s));
  ASSERT_EQ(s.LSZQ.size(), 4u);
  EXPECT_EQ(s.S_ZIPMEMBERS, 4);
  EXPECT_EQ(s.ARCHIVECOMMENT, "Weekly set");
  EXPECT_EQ(Information(s).comment, "YES");

  const MemberRow* a = row("a.txt");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->method, "DeflatedX");
  EXPECT_EQ(row("b.txt")->method, "DeflatedF");
  EXPECT_EQ(row("c.txt")->method, "Stored");
  EXPECT_EQ(a->date, ov::rt::DATE(12, 10, 2026));
  EXPECT_EQ(a->time, 10 * 360000 + 30 * 100 + 1) << "10:00:30, not 10:01:00";
  // CRC as zipinfo gives it: eight lower-case digits.
  std::string v = run("zipinfo -v z.zip a.txt");
  EXPECT_NE(v.find("32-bit CRC value (hex):                         " + a->crc), std::string::npos) << a->crc;
  EXPECT_EQ(a->crc.size(), 8u);
  EXPECT_EQ(row("e.txt")->ratio, 0);
  EXPECT_EQ(s.S_OSIZE, 4000u + 44 + 5);
  EXPECT_DOUBLE_EQ(s.S_CRATIO, archiveRatio(s.S_OSIZE, s.S_CSIZE));
  EXPECT_GT(s.S_CRATIO, 90.0);

  CloseArchive(s);
  EXPECT_TRUE(s.LSZQ.empty());
  EXPECT_EQ(s.ZIPARCHIVENAME, "");
  EXPECT_EQ(s.S_ZIPMEMBERS, 0);
}

TEST(ArchiveRows, AttributesMethodsAndRatios) {
  struct Attr {
    uint32_t bits;
    const char* text;
  };
  const Attr attrs[] = {{0x03, "rh     "}, {0x04 | 0x20, "  sa   "}, {0x10, "    D  "},
                        {0x18, "    V  "}, {0x4000, "     + "}, {0, "       "}};
  for (const Attr& a : attrs) EXPECT_EQ(attributeText(a.bits), a.text) << a.bits;
  EXPECT_EQ(methodName(8, 6), "DeflatedS");
  EXPECT_EQ(methodName(8, 1), "") << "an unknown deflate variant leaves the name blank";
  EXPECT_EQ(methodName(6, 0), "Imploded");
  EXPECT_EQ(methodName(12, 0), "Undefined");
  EXPECT_EQ(archiveRatio(0, 0), 0.0);
  EXPECT_EQ(archiveRatio(200, 50), 75.0);
  EXPECT_EQ(archiveRatio(100, 112), -12.0) << "grown archives are a negative percent too";
  EXPECT_EQ(dosDateToDate((46 << 9) | (12 << 5) | 10), ov::rt::DATE(12, 10, 2026));
  EXPECT_EQ(dosTimeToTime((23 << 11) | (59 << 5) | 29), 23 * 360000 + 59 * 6000 + 58 * 100 + 1);
}

TEST_F(ArchiveTest, AttributesAndMoreThan32767MembersAsStored) {
  ScriptedHost host;
  int status = -1;
  run("python3 -c \"import zipfile\n"
      "z=zipfile.ZipFile('many.zip','w')\n"
      "i=zipfile.ZipInfo('ro-hidden.txt'); i.external_attr=0x03; z.writestr(i,'x')\n"
      "i=zipfile.ZipInfo('dir/'); i.external_attr=0x10; z.writestr(i,'')\n"
      "[z.writestr('f%05d' % n, '') for n in range(40000)]\n"
      "z.close()\"",
      &status);
  ASSERT_EQ(status, 0);
  s.ZIPARCHIVENAME = "many.zip";
  ASSERT_TRUE(DisplayArchive(s));
  EXPECT_EQ(s.S_ZIPMEMBERS, 40002);
  EXPECT_EQ(s.LSZQ.size(), 40002u);
  EXPECT_EQ(row("ro-hidden.txt")->attributes, "rh     ");
  EXPECT_EQ(row("dir/")->attributes, "    D  ");
  EXPECT_EQ(Information(s).comment, "NO");
}

TEST(ArchiveMarks, PlainCtrlAndShiftSelections) {
  ArchiveState s;
  s.LSZQ.resize(6);
  for (size_t i = 0; i < s.LSZQ.size(); ++i) s.LSZQ[i].size = 10 * static_cast<uint32_t>(i + 1);
  auto marks = [&] {
    std::string m;
    for (const MemberRow& r : s.LSZQ) m += r.mark ? 'x' : '.';
    return m;
  };
  struct Step {
    int row;
    bool ctrl, shift;
    const char* want;
  };
  const Step steps[] = {{2, false, false, ".x...."},  // a plain click marks only its row
                        {4, true, false, ".x.x.."},   // Ctrl adds
                        {6, false, true, "...xxx"},   // Shift: from the anchor (4), earlier marks cleared
                        {1, false, true, "xxxx.."},   // the anchor stays
                        {5, false, false, "....x."}};
  for (const Step& st : steps) {
    selectRow(s, st.row, st.ctrl, st.shift);
    EXPECT_EQ(marks(), st.want) << st.row;
  }
  EXPECT_EQ(s.SELECTEDFILES, 1);
  EXPECT_EQ(s.SELECTEDBYTES, 50u);
  markAll(s);
  EXPECT_EQ(s.MULTISELECT, 1);
  EXPECT_EQ(s.SELECTEDFILES, 6);
  clearMarks(s, 3);
  EXPECT_EQ(marks(), "..x...");
  EXPECT_EQ(s.MULTISELECT, 0);
}

TEST_F(ArchiveTest, NewArchiveGetsZipAndReplacesAnOldFile) {
  ScriptedHost host;
  writeFile(scratch.work() / "week.ZIP", "old archive");
  host.expectFile("New ZIP archive", {(scratch.work() / "week").string()});
  EXPECT_EQ(NewArchive(s), (scratch.work() / "week.ZIP").string());
  EXPECT_FALSE(fs::exists(scratch.work() / "week.ZIP"));
  host.expectFile("New ZIP archive", {});
  s.ZIPARCHIVENAME = "current.zip";
  EXPECT_EQ(NewArchive(s), "current.zip") << "cancel keeps the current archive";
  host.expectFile("Open ZIP archive", {"/x/y.zip"});
  EXPECT_EQ(OpenArchive(s), "/x/y.zip");
}

TEST_F(ArchiveTest, AddWithPreferencesDeleteMarkedExtractByWildcardAndTest) {
  ScriptedHost host;
  writeFile(scratch.work() / "in" / "one file.txt", std::string(3000, '1'));
  writeFile(scratch.work() / "in" / "two.txt", std::string(3000, '2'));
  writeFile(scratch.work() / "in" / "old.log", "old");
  run("touch -t 202001010000 in/old.log");
  s.ZIPARCHIVENAME = (scratch.work() / "a.zip").string();

  // Store, no path; the date limit takes only files older than 1 January 2021, for one add.
  s.COMPRESSIONLEVELSWITCH = 4;
  s.PATHINFORMATIONSWITCH = 1;
  s.BEFOREDATE = "01012021";
  s.FILESPEC = fileSpecFromDialog((scratch.work() / "in").string() + "|one file.txt|two.txt|old.log");
  EXPECT_EQ(s.FILESPEC, "\"" + (scratch.work() / "in/one file.txt").string() + "\" \"" +
                            (scratch.work() / "in/two.txt").string() + "\" \"" +
                            (scratch.work() / "in/old.log").string() + "\"");
  ASSERT_TRUE(AddFiles(s, false, false));
  EXPECT_EQ(zipNames("a.zip"), (std::set<std::string>{"old.log"}));
  EXPECT_EQ(s.BEFOREDATE, "");
  EXPECT_EQ(s.FILESPEC, "");

  s.FILESPEC = fileSpecFromDialog((scratch.work() / "in").string() + "|one file.txt|two.txt");
  ASSERT_TRUE(AddFiles(s, false, false));
  EXPECT_EQ(zipNames("a.zip"), (std::set<std::string>{"old.log", "one file.txt", "two.txt"}));
  ASSERT_EQ(s.LSZQ.size(), 3u) << "the list is read again after an add";
  EXPECT_EQ(row("two.txt")->method, "Stored");

  // Delete the marked member whose name holds a blank.
  for (MemberRow& r : s.LSZQ) r.mark = r.name == "one file.txt";
  EXPECT_EQ(initialSelection(s), SelectionChoice::Selected);
  EXPECT_EQ(selectionTotals(s, SelectionChoice::Selected).files, 1);
  EXPECT_EQ(selectionTotals(s, SelectionChoice::Selected).bytes, 3000u);
  EXPECT_EQ(markedMemberList(s), "\"one file.txt\"");
  confirmSelection(s, SelectionChoice::Selected, "");
  ASSERT_TRUE(DeleteMembers(s));
  EXPECT_EQ(zipNames("a.zip"), (std::set<std::string>{"old.log", "two.txt"}));
  EXPECT_EQ(s.LSZQ.size(), 2u);

  // Extract by wildcard into a folder, without overwriting a file that is there.
  writeFile(scratch.work() / "out" / "old.log", "mine");
  confirmSelection(s, SelectionChoice::Wildcard, "*.*");
  s.ZIPDESTDIR = (scratch.work() / "out").string();
  s.OVERWRITEEXISTINGFILES = false;
  ASSERT_TRUE(ExtractMembers(s));
  EXPECT_EQ(readFile(scratch.work() / "out" / "two.txt"), std::string(3000, '2'));
  EXPECT_EQ(readFile(scratch.work() / "out" / "old.log"), "mine");
  EXPECT_EQ(s.ZIPWILDCARD, "");

  host.expectMessage("No errors were found", ov::ui::BUTTON::Ok);
  confirmSelection(s, SelectionChoice::All, "");
  EXPECT_TRUE(TestMembers(s));
}

TEST_F(ArchiveTest, FailuresShowTheErrorTextAndEmptyArchivesDoNothing) {
  ScriptedHost host;
  writeFile(scratch.work() / "f.txt", "some text");
  s.ZIPARCHIVENAME = "e.zip";
  EXPECT_FALSE(DeleteMembers(s));
  EXPECT_FALSE(TestMembers(s));
  EXPECT_FALSE(ExtractMembers(s));

  // Multiple volumes are refused with their text under "Error -157".
  s.CREATEMULTIPLEVOLUME = true;
  s.FILESPEC = "f.txt";
  host.expectMessage("Cannot support multiple volumes on this device.", ov::ui::BUTTON::Ok);
  EXPECT_TRUE(AddFiles(s, false, false));
  EXPECT_EQ(host.messages().back().title, "Error -157");
  s.CREATEMULTIPLEVOLUME = false;

  // A bad date limit asks; No leaves the archive alone.
  s.FILESPEC = "f.txt";
  s.BEFOREDATE = "13452021";
  host.expectMessage("Date specification error. Process anyway?", ov::ui::BUTTON::No);
  EXPECT_FALSE(AddFiles(s, false, false));
  EXPECT_FALSE(fs::exists(scratch.work() / "e.zip"));

  // Encrypted add with the password confirmed; a test with the wrong password shows -61.
  s.ENCRYPTDATA = true;
  zip::LSZIP_PASSWORD("pw");
  s.FILESPEC = "f.txt";
  ASSERT_TRUE(AddFiles(s, false, true));
  int status = -1;
  run("unzip -t -P pw e.zip", &status);
  EXPECT_EQ(status, 0);
  s.ZIPPASSWORD = "wrong";
  confirmSelection(s, SelectionChoice::All, "");
  host.expectMessage("Bad or missing decryption key.", ov::ui::BUTTON::Ok);
  EXPECT_TRUE(TestMembers(s));

  EXPECT_EQ(checkPasswords("", ""), PasswordCheck::Empty);
  EXPECT_EQ(checkPasswords("a", "b"), PasswordCheck::Different);
  EXPECT_EQ(checkPasswords("a", "a"), PasswordCheck::Accepted);
}

TEST_F(ArchiveTest, ArchiveCommentNowOrWithTheNextAdd) {
  ScriptedHost host;
  writeFile(scratch.work() / "f.txt", "x");
  s.ZIPARCHIVENAME = "c.zip";
  s.FILESPEC = "f.txt";
  ASSERT_TRUE(AddFiles(s, false, false));
  s.ARCHIVECOMMENT = "written now";
  ASSERT_TRUE(SaveCommentNow(s));
  EXPECT_NE(run("unzip -z c.zip").find("written now"), std::string::npos);

  s.ARCHIVECOMMENT = "written later";
  SaveCommentLater(s);
  EXPECT_NE(run("unzip -z c.zip").find("written now"), std::string::npos);
  s.FILESPEC = "f.txt";
  ASSERT_TRUE(AddFiles(s, false, false));
  EXPECT_NE(run("unzip -z c.zip").find("written later"), std::string::npos);
  EXPECT_EQ(s.ARCHIVECOMMENT, "written later");
}

}  // namespace
