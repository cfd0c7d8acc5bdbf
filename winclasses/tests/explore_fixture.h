// A small explorer list for the tests: people with a name (and its four colour fields), a city, a
// year of birth and a hidden note, described in packed form as a window describes its columns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <unistd.h>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rt/fixed_string.h"
#include "platform/rt/queue.h"
#include "platform/rt/record.h"
#include "platform/ui/browse_class.h"
#include "platform/ui/list_control.h"
#include "platform/ui/query_class.h"
#include "platform/ui/window.h"
#include "platform/ui/window_manager.h"
#include "winclasses/explore_class.h"

namespace ov::winclasses::test {

struct Person {
  rt::String<20> Name;
  int32_t fg = -1, bg = -1, sfg = -1, sbg = -1;
  rt::String<20> City;
  int32_t Born = 0;
  rt::String<30> Note;
};

inline const rt::FieldDesc kPersonFields[] = {
    {"PER:Name", rt::FieldType::String, 20, 0, offsetof(Person, Name)},
    {"PER:Fg", rt::FieldType::Long, 4, 20, offsetof(Person, fg)},
    {"PER:Bg", rt::FieldType::Long, 4, 24, offsetof(Person, bg)},
    {"PER:SFg", rt::FieldType::Long, 4, 28, offsetof(Person, sfg)},
    {"PER:SBg", rt::FieldType::Long, 4, 32, offsetof(Person, sbg)},
    {"PER:City", rt::FieldType::String, 20, 36, offsetof(Person, City)},
    {"PER:Born", rt::FieldType::Long, 4, 56, offsetof(Person, Born)},
    {"PER:Note", rt::FieldType::String, 30, 60, offsetof(Person, Note)},
};
inline const rt::RecordDesc kPerson{"PER", kPersonFields, 90};

// Packed description pieces.
inline std::string packText(std::string_view s) { return std::string(1, static_cast<char>(s.size())) + std::string(s); }
inline std::string pack16(int v) { return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }

struct PackedColumn {
  const char* field;
  int width;
  const char* header;
  const char* picture;
  const char* description;
  char just;
  int display, colors, iconX, viewField, sortField;
  char locator;
};

inline std::string packColumn(const PackedColumn& c) {
  std::string s = packText(c.field) + pack16(c.width) + packText(c.header) + packText(c.picture) +
                  packText(c.description);
  s += c.just;
  s += static_cast<char>(c.display);
  s += static_cast<char>(c.colors);
  s += static_cast<char>(c.iconX);
  s += static_cast<char>(c.viewField);
  s += std::string("\0\0\0\0", 4);  // TabControl
  s += std::string("\0\0\0", 3);    // TotalOK, GraphOK, GraphType
  s += static_cast<char>(c.sortField);
  s += c.locator;
  return s;
}

struct PackedSub {
  const char* name;
  int ascDesc;
  const char* picture;
};
inline std::string packSubs(const std::vector<PackedSub>& subs) {
  std::string s = pack16(static_cast<int>(subs.size()));
  for (const PackedSub& f : subs) s += packText(f.name) + static_cast<char>(f.ascDesc) + packText(f.picture);
  return s;
}

// The explorer of the tests: the abstract operations count their calls.
class TestExplorer : public ExploreClass {
 public:
  int addColumnSortOrderCalls = 0;
  std::vector<int> sortOrderNumbers;
  int newOrderCalls = 0;
  std::string columns, subFields, applyAll;
  int qdim = 0, qdimS = 0;

  void ListBoxData() override {
    GrLBF = columns;
    GrSSF = subFields;
    GrASF = applyAll;
    QDim = qdim;
    QDimS = qdimS;
    GetQFields();
    CreateFormatQ(100);
    CreateFormatQ(101);
  }
  void AddColumnSortOrder(int number) override {
    ++addColumnSortOrderCalls;
    sortOrderNumbers.push_back(number);
  }
  void SetNewOrderFields() override { ++newOrderCalls; }
  void SetFilters() override {}
  long GetRecordsInKey() override { return 0; }
  // The category of the row being graphed; not set: the base's abstract-method message.
  std::function<void(int fieldNumber, std::string_view picture)> graphString;
  void GetStringForGraph(int fieldNumber, std::string_view picture) override {
    if (graphString) graphString(fieldNumber, picture);
    else ExploreClass::GetStringForGraph(fieldNumber, picture);
  }
  // The print preview; not set: the base's abstract-method message.
  std::function<bool()> previewer;
  bool MyPreviewer() override { return previewer ? previewer() : ExploreClass::MyPreviewer(); }
};

// The people's columns: Name (colours, sortable), City (sortable by City then Name descending),
// Born (sortable), Note (hidden).
inline void describePeople(TestExplorer& e) {
  e.columns = packColumn({"PER:Name", 80, "Name", "@s20", "Name", 'L', 1, 1, 0, 1, 1, ' '}) +
              packColumn({"PER:City", 60, "City", "@s20", "Town", 'L', 1, 0, 0, 1, 1, ' '}) +
              packColumn({"PER:Born", 30, "Born", "@n_4", "Year of birth", 'R', 1, 0, 0, 1, 1, ' '}) +
              packColumn({"PER:Note", 50, "Note", "@s30", "Note", 'L', 0, 0, 0, 0, 0, ' '});
  e.qdim = 4;
  e.subFields = packText("PER:City") + packSubs({{"PER:City", 0, "@s20"}, {"PER:Name", 1, "@s20"}});
  e.qdimS = 1;
  e.applyAll = std::string(1, '\0') + pack16(0);
}

inline void addPerson(rt::Queue<Person>& q, const char* name, const char* city, int born, const char* note = "") {
  q.buf = Person{};
  q.buf.Name = name;
  q.buf.City = city;
  q.buf.Born = born;
  q.buf.Note = note;
  q.ADD();
}

// A window procedure holding one explorer list (list type 3), used headless or opened.
class ExploreWindow : public ui::WindowManager {
 public:
  ExploreWindow(std::string ini, int64_t mask, std::string visual = "Text Bar")
      : WindowManager("ExploreTest"), m_ini(std::move(ini)), m_visual(std::move(visual)) {
    vars.restoreHeader = &restoreHeader;
    vars.viewOrder = &viewOrder;
    vars.sequenceNbr = &sequence;
    vars.mask = &this->mask;
    vars.fileSeqOn = &fileSeqOn;
    vars.titleText = &titleText;
    this->mask = mask;
    addPerson(people, "Carol", "Berlin", 1970, "c");
    addPerson(people, "alice", "Paris", 1985, "a");
    addPerson(people, "Bob", "Berlin", 1960, "b");
  }

  // Declares the list and sets the explorer up, as a window's set-up does.
  void setUp(bool open = false) {
    ui::Window& w = window();
    w.setTitle("People");
    w.at(0, 0, 300, 160);
    list = &w.add<ui::ListControl>(0, "?List");
    list->from(people, kPerson);
    list->at(4, 4, 280, 140);
    listFeq = list->feq();
    if (open) Open();
    describePeople(explorer);
    if (asBrowse)
      explorer.Init(*this, browse, query, listFeq, m_visual, m_ini, true, vars);
    else
      explorer.Init(*this, source, listFeq, m_visual, m_ini, true, vars);
    list->format(exploreFormatString(explorer.SQ));  // the list as designed
    explorer.LHCol4Moving = 1;
    explorer.GetBBSize("ExploreTest", "?List");
    explorer.AddAllColumnSortOrders();
  }

  ui::Level Init() override {
    setUp(true);
    return ui::Level::Benign;
  }

  ui::Level TakeWindowEvent() override {
    int e = ui::EVENT();
    if (e >= 1025 && e <= 1080) {
      events.push_back(e);
      if (e == ExploreEvent::LeftUp)
        explorer.LeftButtonUp(1);
      else if (e == ExploreEvent::RightUp)
        explorer.RightButtonUp();
      else
        explorer.HandleMyEvents(e);
      return ui::Level::Notify;
    }
    return WindowManager::TakeWindowEvent();
  }

  ui::Level Kill() override {
    explorer.PutIniX("ExploreTest", "?List", sequence, explorer.columnAt(sequence) ? explorer.columnAt(sequence)->AscDesc : 0);
    explorer.Kill();
    return WindowManager::Kill();
  }

  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (int i = 1; i <= people.RECORDS(); ++i) out.emplace_back(people.at(i).Name.clipped());
    return out;
  }
  std::vector<std::string> headers() const {
    std::vector<std::string> out;
    for (const XPGQ& c : explorer.SQ) out.push_back(c.Header);
    return out;
  }

  rt::Queue<Person> people;
  TestExplorer explorer;
  ExploreListClass source;
  bool asBrowse = false;  // list type 1 over a browse that reads no view (popup and query only)
  ui::BrowseClass browse;
  ui::QueryClass query;
  ExploreWindowVars vars;
  uint8_t restoreHeader = 0, viewOrder = 0, sequence = 0, fileSeqOn = 0;
  int64_t mask = 0;
  std::string titleText;
  ui::ListControl* list = nullptr;
  int listFeq = 0;
  std::vector<int> events;

 private:
  std::string m_ini, m_visual;
};

// A temporary folder removed at the end of the test.
struct TempDir {
  std::filesystem::path path;
  TempDir() {
    path = std::filesystem::temp_directory_path() /
           ("explore_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter()++));
    std::filesystem::create_directories(path);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string file(const char* name) const { return (path / name).string(); }
  static int& counter() {
    static int n = 0;
    return n;
  }
};

}  // namespace ov::winclasses::test
