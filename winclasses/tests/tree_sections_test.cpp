// The tree-list engine: levels loaded from header, queue, footer and file sections, rows expanded
// and contracted, childless rows left out, probing for children, and the records of a row made
// current again. The file sections read two small tables of a temporary data file: groups, and
// items that name their group.
#include "winclasses/tree_sections.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/files/file.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/record.h"
#include "platform/ui/event.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "winclasses/tests/support.h"

using namespace ov;
using namespace ov::winclasses;
using ov::winclasses::test::openTestWindow;
using ov::winclasses::test::TestWindow;

namespace {

// "text:level" per shown row.
std::vector<std::string> shown(const TreeEngine& e) {
  std::vector<std::string> out;
  for (const TreeRow& r : e.Rows) out.push_back(r.Text + ":" + std::to_string(r.Level));
  return out;
}

// A queue section that the window fills for each parent, as a window's own section would.
class FruitSection : public QueueSection {
 public:
  std::map<std::string, std::vector<std::string>> byParent;
  std::vector<std::string> queue;
  FruitSection() { MyQ = &queue; }
  uint8_t LoadSection(uint16_t level, long flags) override {
    queue = byParent[TM->parentPosition()];
    const uint8_t status = QueueSection::LoadSection(level, flags);
    queue.clear();
    return status;
  }
};

TEST(TreeSections, HeaderQueueAndFooterRowsLoadAndExpand) {
  TreeEngine tree;
  HeaderSection header;
  header.Label = "Fruit";
  FruitSection fruit;
  fruit.byParent[""] = {"Apple", "Pear"};
  FooterSection footer;
  footer.Label = "End of fruit";
  tree.AddSection(header);
  tree.AddSection(fruit, &header);
  tree.AddSection(footer, &header);
  tree.Load();
  // Only the first level is loaded: the header is probed and shown collapsed.
  EXPECT_EQ(shown(tree), (std::vector<std::string>{"Fruit:-1"}));
  tree.Expand(0);
  EXPECT_EQ(shown(tree), (std::vector<std::string>{"Fruit:1", "Apple:2", "Pear:2", "End of fruit:2"}));
  EXPECT_EQ(tree.Rows[1].Position, "1");
  EXPECT_EQ(tree.Rows[2].Position, "2");
  EXPECT_EQ(tree.Rows[2].Section, fruit.SectionID);
  tree.Contract(0);
  EXPECT_EQ(shown(tree), (std::vector<std::string>{"Fruit:-1"}));
  // A reload keeps a row that was expanded expanded.
  tree.Expand(0);
  tree.Load();
  EXPECT_EQ(tree.Rows.size(), 4u);
  EXPECT_TRUE(tree.isExpanded(0));
}

TEST(TreeSections, QueueRowsTakeTheirParentsPositionAndAnEmptyQueueLoadsNothing) {
  TreeEngine tree;
  tree.LoadAll = true;
  FruitSection top, sub;
  top.byParent[""] = {"Citrus", "Berries", "Nuts"};
  sub.byParent["1"] = {"Lemon", "Lime"};
  sub.byParent["2"] = {"Rasp"};
  tree.AddSection(top);
  tree.AddSection(sub, &top);
  tree.Load();
  EXPECT_EQ(shown(tree),
            (std::vector<std::string>{"Citrus:1", "Lemon:2", "Lime:2", "Berries:1", "Rasp:2", "Nuts:1"}));
  EXPECT_EQ(tree.Rows[2].Position, "12");
  EXPECT_EQ(tree.Rows[4].Position, "21");
  std::vector<std::string> empty;
  QueueSection none;
  none.MyQ = &empty;
  TreeEngine other;
  other.AddSection(none);
  EXPECT_EQ(none.LoadSection(1, 0), kTreeNoRecords);
  // Childless rows are left out when the section says so.
  top.ExcludeChildless = 1;
  top.byParent[""] = {"Citrus", "Berries", "Nuts"};
  tree.Load();
  EXPECT_EQ(shown(tree), (std::vector<std::string>{"Citrus:1", "Lemon:2", "Lime:2", "Berries:1", "Rasp:2"}));
}

TEST(TreeSections, ReExpandingKeepsSubRowsUnlessTheChildrenChanged) {
  TreeEngine tree;
  FruitSection top, mid, low;
  top.byParent[""] = {"A"};
  mid.byParent["1"] = {"X", "Y"};
  low.byParent["11"] = {"x1"};
  tree.AddSection(top);
  tree.AddSection(mid, &top);
  tree.AddSection(low, &mid);
  tree.Load();
  tree.Expand(0);
  EXPECT_EQ(shown(tree), (std::vector<std::string>{"A:1", "X:-2", "Y:2"})) << "X probed, Y has nothing";
  tree.Expand(1);
  EXPECT_EQ(shown(tree), (std::vector<std::string>{"A:1", "X:2", "x1:3", "Y:2"}));
  tree.Contract(0);
  tree.Expand(0);
  EXPECT_EQ(shown(tree), (std::vector<std::string>{"A:1", "X:2", "x1:3", "Y:2"})) << "the same children";
  mid.byParent["1"] = {"X", "Y", "W"};
  tree.Contract(0);
  tree.Expand(0);
  EXPECT_EQ(shown(tree), (std::vector<std::string>{"A:1", "X:-2", "Y:2", "W:2"})) << "other children";
}

// ---- file sections ------------------------------------------------------------------------------

struct Group {
  rt::String<20> Name;
};
const rt::FieldDesc kGroupFields[] = {{"GRP:Name", rt::FieldType::String, 20, 0, offsetof(Group, Name)}};
const rt::RecordDesc kGroup{"GRP", kGroupFields, 20};

struct Item {
  rt::String<20> Group;
  rt::String<20> Name;
};
const rt::FieldDesc kItemFields[] = {
    {"ITM:Group", rt::FieldType::String, 20, 0, offsetof(Item, Group)},
    {"ITM:Name", rt::FieldType::String, 20, 20, offsetof(Item, Name)},
};
const rt::RecordDesc kItem{"ITM", kItemFields, 40};

class TreeFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ov_tree_XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir = tmpl;
    const std::string folder = dir;
    groupsDecl.label = "GROUPS";
    groupsDecl.prefix = "GRP";
    groupsDecl.name = "GROUPS";
    groupsDecl.nameFrom = [folder] { return folder + "/DATA.ZEZ\\!Groups"; };
    groupsDecl.record = &kGroup;
    groupsDecl.buffer = &GRP;
    groupsDecl.bufferSize = sizeof GRP;
    groupsDecl.keys = {{.name = "GRP:KeyName", .description = "Name", .parts = {{"GRP:Name"}}, .unique = true, .primary = true}};
    groupsDecl.errorLabel = "Groups";
    itemsDecl.label = "ITEMS";
    itemsDecl.prefix = "ITM";
    itemsDecl.name = "ITEMS";
    itemsDecl.nameFrom = [folder] { return folder + "/DATA.ZEZ\\!Items"; };
    itemsDecl.record = &kItem;
    itemsDecl.buffer = &ITM;
    itemsDecl.bufferSize = sizeof ITM;
    itemsDecl.keys = {{.name = "ITM:KeyGroup", .description = "Group", .parts = {{"ITM:Group"}, {"ITM:Name"}}}};
    itemsDecl.errorLabel = "Items";
    groups = std::make_unique<db::File>(groupsDecl);
    items = std::make_unique<db::File>(itemsDecl);
    groupsFm = std::make_unique<db::FileManager>(*groups);
    itemsFm = std::make_unique<db::FileManager>(*items);
    ASSERT_EQ(groupsFm->Open(), rt::Err::None);
    ASSERT_EQ(itemsFm->Open(), rt::Err::None);
    for (const char* g : {"Home", "Work", "Empty"}) {
      GRP.Name = g;
      ASSERT_EQ(groups->add(), rt::Err::None);
    }
    for (auto [g, n] : std::vector<std::pair<const char*, const char*>>{
             {"work", "Report"}, {"Home", "Paint"}, {"Home", "Dishes"}, {"Gone", "Orphan"}}) {
      ITM.Group = g;
      ITM.Name = n;
      ASSERT_EQ(items->add(), rt::Err::None);
    }
  }
  void TearDown() override {
    (void)itemsFm->Close();
    (void)groupsFm->Close();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  // Groups by name with their items by group (the link compares without regard to case).
  void sections(TreeEngine& tree, FileSection& top, FileSection& sub) {
    top.RowText = [this] { return GRP.Name.str(); };
    sub.RowText = [this] { return ITM.Name.str(); };
    sub.Links = {{"ITM:Group", [this] { return GRP.Name.str(); }}};
    tree.AddSection(top);
    tree.AddSection(sub, &top);
  }

  std::string dir;
  Group GRP;
  Item ITM;
  db::FileDecl groupsDecl, itemsDecl;
  std::unique_ptr<db::File> groups, items;
  std::unique_ptr<db::FileManager> groupsFm, itemsFm;
};

TEST_F(TreeFiles, ChildRecordsFollowTheirParentsLink) {
  TreeEngine tree;
  tree.PreloadDepth = 2;
  FileSection top(*groupsFm, groups->key("GRP:KeyName"));
  FileSection sub(*itemsFm, items->key("ITM:KeyGroup"));
  sections(tree, top, sub);
  tree.Load();
  EXPECT_EQ(shown(tree),
            (std::vector<std::string>{"Empty:1", "Home:1", "Dishes:2", "Paint:2", "Work:1", "Report:2"}));
  // The records of a row, and of its parent row, come back into the buffers.
  GRP.Name = "";
  ITM.Name = "";
  EXPECT_EQ(sub.P_SyncTreeSection(3, 0), kTreeOk);
  EXPECT_EQ(ITM.Name.str(), "Paint");
  EXPECT_EQ(GRP.Name.str(), "Home");

  // Without preloading, groups are probed; with ExcludeChildless the empty one is left out.
  TreeEngine lazy;
  FileSection top2(*groupsFm, groups->key("GRP:KeyName"));
  FileSection sub2(*itemsFm, items->key("ITM:KeyGroup"));
  sections(lazy, top2, sub2);
  top2.ExcludeChildless = 1;
  lazy.Load();
  EXPECT_EQ(shown(lazy), (std::vector<std::string>{"Home:-1", "Work:-1"}));
  lazy.Expand(1);
  EXPECT_EQ(shown(lazy), (std::vector<std::string>{"Home:-1", "Work:1", "Report:2"}));
}

TEST_F(TreeFiles, AssumedChildrenAreNotLookedFor) {
  TreeEngine tree;
  FileSection top(*groupsFm, groups->key("GRP:KeyName"));
  FileSection sub(*itemsFm, items->key("ITM:KeyGroup"));
  sections(tree, top, sub);
  top.AssumeChildren = 1;
  tree.Load();
  EXPECT_EQ(shown(tree), (std::vector<std::string>{"Empty:-1", "Home:-1", "Work:-1"}));
  tree.Expand(0);
  EXPECT_EQ(shown(tree), (std::vector<std::string>{"Empty:1", "Home:-1", "Work:-1"})) << "nothing under it";

  // A record missing from the file is reported as gone when read again.
  EXPECT_EQ(top.P_TryReget("999999", 0), kTreeNoRecords);
}

// ---- recursive levels ---------------------------------------------------------------------------

// Folders that name their parent folder: one table read at every level.
struct Folder {
  rt::String<20> Parent;
  rt::String<20> Name;
};
const rt::FieldDesc kFolderFields[] = {
    {"FLD:Parent", rt::FieldType::String, 20, 0, offsetof(Folder, Parent)},
    {"FLD:Name", rt::FieldType::String, 20, 20, offsetof(Folder, Name)},
};
const rt::RecordDesc kFolder{"FLD", kFolderFields, 40};

class TreeRecursion : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ov_tree_XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir = tmpl;
    const std::string folder = dir;
    decl.label = "FOLDERS";
    decl.prefix = "FLD";
    decl.name = "FOLDERS";
    decl.nameFrom = [folder] { return folder + "/DATA.ZEZ\\!Folders"; };
    decl.record = &kFolder;
    decl.buffer = &FLD;
    decl.bufferSize = sizeof FLD;
    decl.keys = {{.name = "FLD:KeyParent", .description = "Parent", .parts = {{"FLD:Parent"}, {"FLD:Name"}}}};
    decl.errorLabel = "Folders";
    file = std::make_unique<db::File>(decl);
    fm = std::make_unique<db::FileManager>(*file);
    ASSERT_EQ(fm->Open(), rt::Err::None);
    // Docs holds Letters (which holds Old) and Bills; a Music folder inside Music is a loop.
    for (auto [parent, name] : std::vector<std::pair<const char*, const char*>>{
             {"", "Docs"}, {"", "Music"}, {"Docs", "Letters"}, {"Docs", "Bills"}, {"Letters", "Old"}, {"Music", "Music"}}) {
      FLD.Parent = parent;
      FLD.Name = name;
      ASSERT_EQ(file->add(), rt::Err::None);
    }
  }
  void TearDown() override {
    (void)fm->Close();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  // One recursive section: the first level under no folder, each folder's own folders under it.
  void folders(TreeEngine& tree, FileSection& s) {
    s.Recursive = 1;
    s.RowText = [this] { return FLD.Name.str(); };
    s.Links = {{"FLD:Parent", [this, &tree] { return tree.parentPosition().empty() ? std::string() : FLD.Name.str(); }}};
    tree.AddSection(s);
  }

  std::string dir;
  Folder FLD;
  db::FileDecl decl;
  std::unique_ptr<db::File> file;
  std::unique_ptr<db::FileManager> fm;
};

TEST_F(TreeRecursion, ASectionReadsItsOwnRowsLevelByLevel) {
  TreeEngine tree;
  tree.LoadAll = true;
  FileSection s(*fm, file->key("FLD:KeyParent"));
  folders(tree, s);
  tree.Load();
  // The first level goes on after Docs's branch was read from the same file; the loop stops at
  // the folder that is already on its branch.
  EXPECT_EQ(shown(tree), (std::vector<std::string>{"Docs:1", "Bills:2", "Letters:2", "Old:3", "Music:1", "Music:2",
                                                   "Music:3"}));

  TreeEngine lazy;
  FileSection s2(*fm, file->key("FLD:KeyParent"));
  folders(lazy, s2);
  lazy.Load();
  EXPECT_EQ(shown(lazy), (std::vector<std::string>{"Docs:-1", "Music:-1"})) << "probed, one level read";
  FLD.Parent = "kept";
  FLD.Name = "current";
  lazy.Expand(0);
  EXPECT_EQ(shown(lazy), (std::vector<std::string>{"Docs:1", "Bills:2", "Letters:-2", "Music:-1"}));
  EXPECT_EQ(FLD.Name.str(), "current") << "the window's record stays current";
  EXPECT_EQ(FLD.Parent.str(), "kept");
  lazy.Expand(2);
  EXPECT_EQ(shown(lazy), (std::vector<std::string>{"Docs:1", "Bills:2", "Letters:2", "Old:3", "Music:-1"}));
}

TEST(TreeSections, AnUnrecoverableErrorClosesTheWindowAndKeepsTheRows) {
  ui::test::ScriptedHost host;
  TreeEngine tree;
  HeaderSection header;
  bool fail = false;
  header.RowText = [&fail]() -> std::string {
    if (fail) throw std::runtime_error("broken row");
    return "Header";
  };
  tree.AddSection(header);
  tree.Load();
  ASSERT_EQ(shown(tree), (std::vector<std::string>{"Header:1"}));
  TestWindow* win = nullptr;
  int reload = 0;
  ui::test::runScript([&](ui::test::Driver& d) {
    ui::test::WindowDriver w = openTestWindow(d, win, [&](TestWindow& t) {
      t.declare = [&](ui::Window& wnd) { reload = wnd.button("?Reload", "Reload").at(4, 4, 40, 14).feq(); };
      t.onEvent = [&] {
        if (ui::EVENT() == ui::EVENT::Accepted && ui::FIELD() == reload) {
          fail = true;
          tree.Load();
        }
        return ui::Level::Benign;
      };
    });
    host.expectMessage("Closing active window due to unrecoverable error", ui::BUTTON::Ok);
    w.press("?Reload");
    d.waitClosed(w);
  });
  EXPECT_FALSE(host.pending());
  EXPECT_EQ(shown(tree), (std::vector<std::string>{"Header:1"})) << "the load is abandoned";
}

TEST(TreeSections, AReadFailureIsReportedWithTheSection) {
  ui::test::ScriptedHost host;
  struct Failing : TreeSection {
    uint8_t P_Next() override { return 47; }
  } failing;
  failing.Label = "BROKEN";
  TreeEngine tree;
  tree.AddSection(failing);
  host.expectMessage("Status 47 attempting to load BROKEN", ui::BUTTON::Ok);
  tree.Load();
  EXPECT_TRUE(tree.Rows.empty());
  EXPECT_FALSE(host.pending());
}

}  // namespace
