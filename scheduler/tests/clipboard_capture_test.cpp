// The clipboard history's capture from the tick: what is taken, what is stored, how the history is
// trimmed, and that the shared record buffer is left alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datalib/date_string_functions.h"
#include "platform/rt/text.h"
#include "scheduler/clipboard_capture.h"
#include "scheduler/tests/data_fixture.h"
#include "scheduler/tests/test_tasks.h"
#include "scheduler/tick.h"

namespace ov::scheduler::testing {
namespace {

// The recording host with a clipboard of its own.
class ClipboardHost : public RecordingHost {
 public:
  std::string text;
  std::string clipboardText() override { return text; }
  void setClipboardText(std::string_view t) override { text = t; }
};

class ClipboardCapture : public DataFixture {
 protected:
  void SetUp() override {
    DataFixture::SetUp();
    rt::setTestClock(ymd(2026, 3, 14), at(9, 30));
    resetClipboardCapture();
    m_savedTitle = clipboardForegroundTitle();
    clipboardForegroundTitle() = [this] { return title; };
    files::CLIP.MAXENTRIES = 50;
  }
  void TearDown() override {
    clipboardForegroundTitle() = m_savedTitle;
    resetClipboardCapture();
    DataFixture::TearDown();
  }

  // Puts `text` on the clipboard and runs one capture.
  void copy(const std::string& text) {
    host.text = text;
    CaptureClipboard();
  }

  // Entries numbered from 1, oldest first (a day apart, before today).
  void addEntries(int count, uint8_t keep = 0, const std::string& stem = "entry ") {
    ASSERT_EQ(files::Access_CLIPBOARD.Open(), rt::Err::None);
    for (int i = 1; i <= count; ++i) {
      files::CLIPBOARD.clear();
      files::CLI.ClipContents = stem + letters(i);
      files::CLI.ClipHashKey = files::GETHASH(files::CLI.ClipContents);
      files::CLI.ClipKeep = keep;
      files::CLI.ClipDate = ymd(2025, 1, 1) + i;
      files::CLI.ClipTime = at(8, 0);
      ASSERT_EQ(files::CLIPBOARD.add(), rt::Err::None);
    }
    (void)files::Access_CLIPBOARD.Close();
  }

  // A distinct word for each number ("b", "c", ..., "ba", ...), so every entry has its own key.
  static std::string letters(int n) {
    std::string s;
    do {
      s.insert(s.begin(), char('a' + n % 26));
      n /= 26;
    } while (n > 0);
    return s;
  }

  std::vector<files::ClipboardRec> stored() {
    std::vector<files::ClipboardRec> out;
    const db::RecordImage saved = files::Access_CLIPBOARD.SaveBuffer();
    EXPECT_EQ(files::Access_CLIPBOARD.Open(), rt::Err::None);
    rt::Err err = files::CLIPBOARD.set(files::CLI_K_Save);
    while (err == rt::Err::None && (err = files::CLIPBOARD.next()) == rt::Err::None) out.push_back(files::CLI);
    (void)files::Access_CLIPBOARD.Close();
    files::Access_CLIPBOARD.RestoreBuffer(saved);
    return out;
  }

  std::vector<std::string> storedTexts() {
    std::vector<std::string> out;
    for (const files::ClipboardRec& r : stored()) out.push_back(r.ClipContents);
    return out;
  }

  ClipboardHost host;
  std::string title = "Text Editor - notes.txt (modified)";

 private:
  std::function<std::string()> m_savedTitle;
};

TEST_F(ClipboardCapture, StoresANewTextOnceWithItsDateWindowAndKey) {
  copy("Call Anna about the 3 o'clock meeting");
  copy("Call Anna about the 3 o'clock meeting");
  title = "";
  rt::setTestClock(ymd(2026, 3, 15), at(10, 0));
  copy("second text");
  const auto entries = stored();
  ASSERT_EQ(entries.size(), 2u);
  const files::ClipboardRec& first = entries[0];
  EXPECT_EQ(first.ClipContents, "Call Anna about the 3 o'clock meeting");
  EXPECT_EQ(rt::CLIP(first.ClipHashKey.str()), files::GETHASH("Call Anna about the 3 o'clock meeting"));
  EXPECT_EQ(first.Category.str(), "Text Editor - notes.") << "the window title cut to 20 characters";
  EXPECT_EQ(first.ClipDate, ymd(2026, 3, 14));
  EXPECT_EQ(first.ClipTime, at(9, 30));
  EXPECT_EQ(first.MRUDate, ymd(2026, 3, 14) - 7);
  EXPECT_EQ(first.MRUTime, at(9, 30));
  EXPECT_EQ(first.ClipKeep, 0);
  EXPECT_EQ(rt::CLIP(first.Abbreviation.str()), "");
  EXPECT_EQ(rt::CLIP(entries[1].Category.str()), "General") << "a window without a title";
  EXPECT_EQ(entries[1].ClipDate, ymd(2026, 3, 15));
}

TEST_F(ClipboardCapture, TakesOnlyTextsThatBeginWithAPrintableCharacter) {
  struct Case {
    const char* name;
    std::string text;
    bool taken;
  };
  const Case cases[] = {
      {"empty clipboard (or a picture)", "", false},
      {"blanks only", "    ", false},
      {"a tab first", "\tindented", false},
      {"a line break first", "\r\nsecond line", false},
      {"blanks then a line break", "  \nx", false},
      {"blanks then a letter", "   padded", true},
      {"blanks then a digit", "  42", true},
      {"a letter outside ASCII", "\xc3\xa9t\xc3\xa9", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetClipboardCapture();
    const size_t before = stored().size();
    copy(c.text);
    EXPECT_EQ(stored().size(), before + (c.taken ? 1 : 0));
  }
}

TEST_F(ClipboardCapture, ALongTextIsCutOnACharacterBoundaryAndItsTailIsNotNew) {
  // 16634 letters and a two-byte character: the character would straddle the limit.
  const std::string text = std::string(kClipContentsWidth - 1, 'a') + "\xc3\xa9" + "tail one";
  copy(text);
  copy(std::string(kClipContentsWidth - 1, 'a') + "\xc3\xa9" + "tail two");
  const auto entries = stored();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].ClipContents, std::string(kClipContentsWidth - 1, 'a'));
}

TEST_F(ClipboardCapture, TextsThatDifferOnlyInDigitsOrPunctuationAreBothKept) {
  copy("Room 101");
  copy("Room 102");
  copy("Room 102.");
  copy("ROOM 102.");
  copy("12:30");
  copy("14:45");
  EXPECT_EQ(stored().size(), 6u);
}

TEST_F(ClipboardCapture, TrimsTheOldestUnkeptEntriesBeforeStoring) {
  struct Case {
    const char* name;
    int32_t limit;
    int unkept, kept;
    std::vector<size_t> countsAfterEachCapture;
  };
  const Case cases[] = {
      {"at the limit plus one, one goes and one comes", 50, 51, 0, {51, 51}},
      {"no limit", 0, 60, 0, {61, 62}},
      {"limit lowered from 500 to 50: 50 go per capture", 50, 500, 0, {451, 402}},
      {"kept entries alone over the limit: every unkept goes", 2, 2, 4, {5, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (db::FileManager* m : files::fileManagers())
      while (m->openCount() > 0) (void)m->Close();
    (void)files::CLIPBOARD.close();
    (void)files::CLIPBOARD.removeFile();  // none yet for the first case
    ASSERT_TRUE(stored().empty());
    resetClipboardCapture();
    files::CLIP.MAXENTRIES = c.limit;
    addEntries(c.unkept);
    addEntries(c.kept, 1, "kept ");
    int n = 0;
    for (size_t want : c.countsAfterEachCapture) {
      copy("new text " + letters(++n));
      EXPECT_EQ(stored().size(), want);
    }
    const auto entries = stored();
    ASSERT_FALSE(entries.empty());
    if (c.limit > 0 && c.unkept > 1 && c.kept == 0) {
      // The oldest went first: what is left of the old entries is the newest of them.
      EXPECT_EQ(entries.front().ClipContents.substr(0, 6), "entry ");
      EXPECT_EQ(entries.front().ClipDate, ymd(2025, 1, 1) + c.unkept - int(entries.size()) + 3);
    }
    size_t kept = 0;
    for (const auto& e : entries) kept += e.ClipKeep;
    EXPECT_EQ(kept, size_t(c.kept)) << "kept entries are never trimmed";
  }
}

TEST_F(ClipboardCapture, TrimPassesOverTheEntryHoldingTheClipboardText) {
  files::CLIP.MAXENTRIES = 3;
  addEntries(3);
  addEntries(2, 1, "kept ");
  host.text = "entry c";  // the second oldest
  TrimClipboardHistory();
  EXPECT_EQ(storedTexts(), (std::vector<std::string>{"entry c", "kept b", "kept c"}));
}

TEST_F(ClipboardCapture, ATextStoredAlreadyIsNeitherStoredAgainNorTrimsAnything) {
  files::CLIP.MAXENTRIES = 2;
  addEntries(3);
  copy("entry b");  // the oldest entry's text, copied again after a restart
  const auto entries = stored();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].ClipContents, "entry b");
  EXPECT_EQ(entries[0].ClipDate, ymd(2025, 1, 2)) << "the stored entry keeps its date";
}

TEST_F(ClipboardCapture, LeavesTheSharedRecordBufferAsAnOpenFormHasIt) {
  files::CLIP.MAXENTRIES = 2;
  addEntries(2);
  files::CLIPBOARD.clear();
  files::CLI.ClipContents = "being edited in a form";
  files::CLI.Category = "Work";
  copy("copied meanwhile");
  EXPECT_EQ(files::CLI.ClipContents, "being edited in a form");
  EXPECT_EQ(rt::CLIP(files::CLI.Category.str()), "Work");
  // A window clearing the buffer does not make the same clipboard text new again.
  files::CLIPBOARD.clear();
  const size_t before = stored().size();
  CaptureClipboard();
  EXPECT_EQ(stored().size(), before);
  EXPECT_EQ(before, 3u);
}

TEST_F(ClipboardCapture, TheTickCapturesOnlyWhileMonitoringWithoutTheOutsideManager) {
  struct Case {
    const char* name;
    uint8_t monitor, useExternal;
    bool captured;
  };
  const Case cases[] = {
      {"monitoring", 1, 0, true},
      {"monitoring off", 0, 0, false},
      {"the outside manager chosen", 1, 1, false},
  };
  SchedulerActive = 0;  // the tick then leaves the schedule alone
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    files::CLIP.MONITOR = c.monitor;
    files::CLIP.USEEXTERNAL = c.useExternal;
    const size_t before = stored().size();
    host.text = "ticked text " + letters(++n);
    MainTimerTick();
    EXPECT_EQ(stored().size(), before + (c.captured ? 1 : 0));
  }
}

TEST_F(ClipboardCapture, AtStartAnEmptyClipboardGetsTheNewestEntry) {
  addEntries(3);
  host.text = "";
  PrimeClipboardFromHistory();
  EXPECT_EQ(host.text, "entry d");
  CaptureClipboard();
  EXPECT_EQ(stored().size(), 3u);

  host.text = "already there";
  resetClipboardCapture();
  PrimeClipboardFromHistory();
  EXPECT_EQ(host.text, "already there");
}

}  // namespace
}  // namespace ov::scheduler::testing
