#include "datalib/files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "datalib/globals.h"
#include "datalib/tests/data_folder.h"

namespace ov::files {
namespace {

using rt::Err;
using testing::DataFolder;
using testing::openOrCreate;

std::string head(const std::filesystem::path& file, size_t n) {
  std::ifstream in(file, std::ios::binary);
  std::string s(n, '\0');
  in.read(s.data(), static_cast<std::streamsize>(n));
  s.resize(static_cast<size_t>(in.gcount()));
  return s;
}

TEST(DataFiles, EveryFileOpensInAFreshFolderWithItsKeys) {
  DataFolder dir;
  for (db::File* f : dataFiles()) {
    SCOPED_TRACE(f->label());
    ASSERT_EQ(openOrCreate(*f), Err::None) << rt::ERROR() << " " << rt::FILEERROR();
    EXPECT_EQ(f->records(), 0);
  }
  for (db::Key k : {SCH_KeyDateEnabled, SCR_KeyID, C_KeyCategory, CLI_K_Date, STDO_KeyCategory,
                    SUS_KeyCompleted, SCW_KeyUserAdvanced, OVD_K_WIZ_ID, M_KeyLastDateSent, U_KeyUser})
    EXPECT_TRUE(k.isValid());
  for (db::File* f : dataFiles()) (void)f->close();

  // Owner files are encrypted; the action catalogue and the message links are not.
  const std::string plain("SQLite format 3", 15);
  EXPECT_NE(head(dir.data() / "RO97.ZEZ", 15), plain);
  EXPECT_NE(head(dir.data() / "OVCLPBRD.TPS", 15), plain);
  EXPECT_NE(head(dir.data() / "OVTpl", 15), plain);
  EXPECT_EQ(head(dir.data() / "OVACTN", 15), plain);
  EXPECT_EQ(head(dir.data() / "MSGLINK", 15), plain);
}

TEST(DataFiles, FilesNamedByGlobalsTakeTheNameAtOpen) {
  DataFolder dir;
  GLO.SYNCTODOFILENAME = "Other.TPS";
  ASSERT_EQ(openOrCreate(SYNCTODO), Err::None);
  (void)SYNCTODO.close();
  GLO.SYNCTODOFILENAME = "SyncTodo.TPS";
  EXPECT_TRUE(std::filesystem::exists(dir.data() / "Other.TPS"));
}

TEST(DataFiles, ConfigurationKeyIgnoresCase) {
  DataFolder dir;
  ASSERT_EQ(openOrCreate(CONFIGURATION), Err::None);
  CF.DataType = "abc";
  CF.DataValue = "1";
  ASSERT_EQ(CONFIGURATION.add(), Err::None);
  CF.DataType = "ABC";
  EXPECT_EQ(CONFIGURATION.add(), Err::DupKey);
  CF.DataType = "aBc";
  CF.DataValue = "";
  ASSERT_EQ(CONFIGURATION.get(CF_KeyDataType), Err::None);
  EXPECT_EQ(CF.DataValue.str(), "1");
}

std::vector<std::string> todoOrder(db::Key key) {
  std::vector<std::string> out;
  EXPECT_EQ(TODO.set(key), Err::None);
  while (TODO.next() == Err::None) out.push_back(TDO.ToDo.str());
  return out;
}

TEST(DataFiles, ToDoTextKeysAreCaseSignificantCategoryIsNot) {
  DataFolder dir;
  ASSERT_EQ(openOrCreate(TODO), Err::None);
  for (const char* t : {"b", "B", "a"}) {
    TDO = TodoRec{};
    TDO.ToDo = t;
    TDO.Priority = 1;
    ASSERT_EQ(TODO.add(), Err::None);
  }
  EXPECT_EQ(todoOrder(TDO_KeyToDo), (std::vector<std::string>{"B", "a", "b"}));
  // The category key compares its text parts ignoring case: "a" sorts before both b's, which stay
  // in the order they were added.
  EXPECT_EQ(todoOrder(TDO_KeyCategory), (std::vector<std::string>{"a", "b", "B"}));
}

TEST(DataFiles, ClipboardByDateListsTheNewestFirst) {
  DataFolder dir;
  ASSERT_EQ(openOrCreate(CLIPBOARD), Err::None);
  struct Clip { const char* hash; int date, time; };
  for (Clip c : {Clip{"older", 80000, 100}, Clip{"newest", 80001, 50}, Clip{"later", 80000, 900}}) {
    CLI = ClipboardRec{};
    CLI.ClipHashKey = c.hash;
    CLI.ClipDate = c.date;
    CLI.ClipTime = c.time;
    CLI.ClipContents = std::string("text of ") + c.hash;
    ASSERT_EQ(CLIPBOARD.add(), Err::None);
  }
  ASSERT_EQ(CLIPBOARD.set(CLI_K_Date), Err::None);
  std::vector<std::string> order;
  while (CLIPBOARD.next() == Err::None) order.push_back(CLI.ClipHashKey.str());
  EXPECT_EQ(order, (std::vector<std::string>{"newest", "later", "older"}));
  EXPECT_EQ(CLI.ClipContents, "text of older");
}

}  // namespace
}  // namespace ov::files
