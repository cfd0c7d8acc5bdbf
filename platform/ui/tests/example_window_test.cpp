// A small window procedure written the way the system's windows are, and its test: the model for
// every window Part.
//
//   HolidayList     a list started on a logical thread of its own; "&New" calls the form
//   UpdateHoliday   a record form: bound fields through pictures, a required field, an option,
//                   a "..." button that calls a picker, OK writing through the update file
//   PickDate        a modal picker with a spin box
//
// The window code stays thin: what the form stores goes through its update file (here a table in
// memory), and the test drives the windows as a user would, through the test driver.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/rt/date_time.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/picture.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "platform/ui/text_list.h"
#include "platform/ui/window_manager.h"

using namespace ov::ui;
using ov::rt::DATE;
using ov::ui::test::Driver;
using ov::ui::test::runScript;
using ov::ui::test::ScriptedHost;
using ov::ui::test::WindowDriver;

namespace {

// ---- the data the windows work on --------------------------------------------------------------

struct HolidayRecord {
  int32_t Date = 0;
  ov::rt::String<30> Holiday;
  ov::rt::String<12> HolidayType;
};
HolidayRecord HOL;                    // the record buffer, as the data library keeps one per file
std::vector<HolidayRecord> g_table;   // the stored records
int GLOBALREQUEST = 0;                // request and answer between a list and its form
int GLOBALRESPONSE = 0;

constexpr int kRefreshAll = EVENT::User + 2370;  // "refresh": posted to the list's thread

// The form's update file over the table in memory; a change replaces the record at `m_at`.
class HolidayFile : public UpdateFile {
 public:
  size_t m_at = 0;
  ov::rt::Err PrimeRecord(bool keepBuffer) override {
    if (!keepBuffer) HOL = HolidayRecord{};
    HOL.HolidayType = "Annual";
    return ov::rt::Err::None;
  }
  ov::rt::Err Insert() override {
    for (const HolidayRecord& r : g_table)
      if (r.Date == HOL.Date) {
        MESSAGE("A holiday on that date exists already.", "Duplicate", Icon::Exclamation);
        return ov::rt::Err::DupKey;
      }
    g_table.push_back(HOL);
    return ov::rt::Err::None;
  }
  ov::rt::Err Change() override {
    g_table.at(m_at) = HOL;
    return ov::rt::Err::None;
  }
  ov::rt::Err Delete() override {
    g_table.erase(g_table.begin() + static_cast<long>(m_at));
    return ov::rt::Err::None;
  }
};

// ---- the picker ----------------------------------------------------------------------------------

class PickDate : public WindowManager {
 public:
  explicit PickDate(int32_t date) : WindowManager("PickDate"), m_date(date) {}
  int32_t date() const { return m_date; }

  Level Init() override {
    Window& w = window();
    w.setTitle("Select Date");
    w.prompt("?Prompt:Date", "&Date:").at(6, 8, 30, 10);
    m_spin = w.spin("?Date", "@d2").range(DATE(1, 1, 1900), DATE(12, 31, 2099)).at(40, 6, 70, 12).use(m_date).feq();
    OkControl = w.button("?OK", "&OK").setDefault().at(20, 26, 40, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(64, 26, 40, 14).feq();
    Open();
    return Level::Benign;
  }

 private:
  int32_t m_date;
  int m_spin = 0;
};

// ---- the form ------------------------------------------------------------------------------------

class UpdateHoliday : public WindowManager {
 public:
  explicit UpdateHoliday(HolidayFile& file) : WindowManager("UpdateHoliday"), m_file(file) {}

  Level Init() override {
    Request = GLOBALREQUEST;
    GLOBALREQUEST = 0;
    GLOBALRESPONSE = 0;
    AddUpdateFile(m_file);
    if (Request == InsertRecord) m_file.PrimeRecord(false);
    Window& w = window();
    static const char* kTitles[] = {"", "New Holiday", "Edit Holiday", "Delete Holiday", "View Holiday"};
    w.setTitle(kTitles[Request]);
    int sheet = w.sheet("?Sheet").at(2, 2, 196, 96).feq();
    int general = w.tab("?Tab:General", "General", sheet).feq();
    w.prompt("?Prompt:Date", "&Date:").at(8, 20, 40, 10).on(general);
    m_date = w.entry("?HOL:HolidayDate", "@d2").at(60, 18, 60, 12).tip("Date of Holiday").use(HOL.Date).on(general).feq();
    m_lookup = w.button("?Lookup", "...").at(124, 18, 14, 12).on(general).feq();
    w.prompt("?Prompt:Holiday", "De&scription:").at(8, 36, 50, 10).on(general);
    m_name = w.entry("?HOL:Holiday", "@s30").at(60, 34, 130, 12).required().use(HOL.Holiday).on(general).feq();
    m_type = w.option("?HOL:HolidayType", "Holiday T&ype").at(8, 50, 180, 40).use(HOL.HolidayType).on(general).feq();
    w.radio("?Annual", "Annual", m_type).at(14, 62, 60, 10);
    w.radio("?DayOfMonth", "Day of Month", m_type).at(80, 62, 80, 10);
    w.radio("?Easter", "Easter", m_type).at(14, 76, 60, 10);
    w.radio("?Once", "Once", m_type).at(80, 76, 60, 10);
    OkControl = w.button("?OK", "&OK").at(100, 102, 45, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(150, 102, 45, 14).feq();
    Open();
    return Level::Benign;
  }

  void Reset(bool force) override {
    WindowManager::Reset(force);
    // A form opened to view or to confirm a deletion shows the record read-only.
    if (Request == ViewRecord || Request == DeleteRecord) {
      for (int feq : {m_date, m_name, m_type, m_lookup}) window().setProp(feq, Prop::Disable, 1);
      window().setProp(CancelControl, Prop::Text, "Cl&ose");
      if (Request == ViewRecord) window().setProp(OkControl, Prop::Hide, 1);
    }
  }

  Level TakeAccepted() override {
    if (ACCEPTED() == m_lookup) {
      Update();
      PickDate picker(HOL.Date);
      if (picker.Run() == RequestCompleted) HOL.Date = picker.date();
      DISPLAY(m_date);
      return Level::Notify;
    }
    if (ACCEPTED() == m_name && !isAcceptAllPass()) ++m_nameAccepted;
    return WindowManager::TakeAccepted();
  }

  Level Kill() override {
    GLOBALRESPONSE = Response;
    return WindowManager::Kill();
  }

  int m_nameAccepted = 0;

 private:
  HolidayFile& m_file;
  int m_date = 0, m_lookup = 0, m_name = 0, m_type = 0;
};

// ---- the list ------------------------------------------------------------------------------------

class HolidayList : public WindowManager {
 public:
  HolidayList() : WindowManager("HolidayList") {}

  Level Init() override {
    Window& w = window();
    w.setTitle("Holidays");
    w.kind(WindowKind::Mdi);
    m_list = w.add<TextList>(0, "?List").at(4, 4, 150, 80).feq();
    m_insert = w.button("?Insert", "&New").at(4, 88, 40, 14).feq();
    m_change = w.button("?Change", "&Edit").at(48, 88, 40, 14).feq();
    m_count = w.string("?Count", "").at(100, 90, 60, 10).feq();
    Open();
    load();
    return Level::Benign;
  }

  Level TakeAccepted() override {
    if (ACCEPTED() == m_insert || ACCEPTED() == m_change) {
      int request = ACCEPTED() == m_insert ? InsertRecord : ChangeRecord;
      int row = window().choice(m_list);
      if (request == ChangeRecord) {
        if (row < 1) return Level::Notify;
        HOL = g_table[static_cast<size_t>(row) - 1];
        m_file.m_at = static_cast<size_t>(row) - 1;
      }
      GLOBALREQUEST = request;
      UpdateHoliday form(m_file);
      form.Run();
      if (GLOBALRESPONSE == RequestCompleted) load();
      return Level::Notify;
    }
    return WindowManager::TakeAccepted();
  }

  Level TakeWindowEvent() override {
    if (EVENT() == kRefreshAll) load();
    return WindowManager::TakeWindowEvent();
  }

 private:
  void load() {
    std::vector<std::string> lines;
    for (const HolidayRecord& r : g_table) lines.push_back(ov::rt::FORMAT(r.Date, "@d2") + " " + r.Holiday.str());
    window().as<TextList>(m_list)->setLines(lines);
    window().setProp(m_count, Prop::Text, std::to_string(g_table.size()) + " holidays");
  }

  HolidayFile m_file;
  int m_list = 0, m_insert = 0, m_change = 0, m_count = 0;
};

class ExampleWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ov::ui::test::application();
    g_table.clear();
    HOL = HolidayRecord{};
  }
};

TEST_F(ExampleWindow, NewHolidayThroughTheFormWithAPickerAndARefreshFromAnotherThread) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    int listThread = d.start([] { return std::make_unique<HolidayList>(); });
    ASSERT_GE(listThread, 2);
    WindowDriver list = d.waitWindow("HolidayList");
    EXPECT_EQ(list.text("?Count"), "0 holidays");

    list.press("?Insert");
    WindowDriver form = d.waitWindow("UpdateHoliday");
    EXPECT_EQ(form.title(), "New Holiday");
    EXPECT_EQ(form.text("?HOL:HolidayType"), "Annual") << "primed by the update file";
    EXPECT_EQ(form.choice("?HOL:HolidayType"), 1);

    // A date typed in the picture's form reaches the record as a day number.
    form.enter("?HOL:HolidayDate", "3/15/2026");
    form.with([](Window&) { EXPECT_EQ(HOL.Date, DATE(3, 15, 2026)); });
    EXPECT_EQ(form.text("?HOL:HolidayDate"), " 3/15/2026") << "shown again through @d2";

    // The "..." button calls the picker on the list's thread: two levels of modal calls.
    form.press("...");
    WindowDriver picker = d.waitWindow("PickDate");
    int depth = 0;
    d.gui([&] { depth = modalDepth(listThread); });
    EXPECT_EQ(depth, 2);
    picker.spin("?Date", 1);
    EXPECT_EQ(picker.text("?Date"), " 3/16/2026");
    picker.press("OK");
    d.waitClosed(picker);
    EXPECT_EQ(form.text("?HOL:HolidayDate"), " 3/16/2026");

    // OK with the required description empty: the pass stops there and the form stays open.
    form.press("OK");
    EXPECT_TRUE(form.isOpen());
    int nameFeq = 0;
    form.with([&](Window& w) { nameFeq = w.feq("?HOL:Holiday"); });
    EXPECT_EQ(form.focus(), nameFeq) << "the empty required field gets the focus";
    EXPECT_EQ(host.beeps(), 1);

    form.type("?HOL:Holiday", "Spring Day");
    form.choose("?HOL:HolidayType", "Once");
    form.press("OK");
    d.waitClosed(form);
    d.gui([&] {
      ASSERT_EQ(g_table.size(), 1u);
      EXPECT_EQ(g_table[0].Date, DATE(3, 16, 2026));
      EXPECT_EQ(g_table[0].Holiday.str(), "Spring Day");
      EXPECT_EQ(g_table[0].HolidayType.str(), "Once");
      EXPECT_EQ(GLOBALRESPONSE, RequestCompleted);
    });
    EXPECT_EQ(list.text("?Count"), "1 holidays");

    // Another thread changes the table and posts the refresh event to the list's thread.
    d.gui([&] {
      HolidayRecord r;
      r.Date = DATE(12, 25, 2026);
      r.Holiday = "Christmas Day";
      g_table.push_back(r);
      POST(kRefreshAll, 0, listThread);
    });
    d.settle();
    EXPECT_EQ(list.text("?Count"), "2 holidays");

    list.close();
    d.waitClosed(list);
    EXPECT_FALSE(isThreadRunning(listThread));
  });
}

TEST_F(ExampleWindow, EditingKeepsTheRecordUntilOkAndCancelAnswersCancelled) {
  ScriptedHost host;
  HolidayRecord r;
  r.Date = DATE(7, 4, 2026);
  r.Holiday = "Independence Day";
  r.HolidayType = "Annual";
  g_table.push_back(r);
  runScript([&](Driver& d) {
    d.start([] { return std::make_unique<HolidayList>(); });
    WindowDriver list = d.waitWindow("HolidayList");
    list.with([](Window& w) { w.setProp(w.feq("?List"), Prop::Selected, 1); });

    list.press("&Edit");
    WindowDriver form = d.waitWindow("UpdateHoliday");
    EXPECT_EQ(form.title(), "Edit Holiday");
    EXPECT_EQ(form.text("?HOL:Holiday"), "Independence Day");
    EXPECT_EQ(form.choice("?HOL:HolidayType"), 1);
    form.type("?HOL:Holiday", "Fourth of July");
    form.press("Cancel");
    d.waitClosed(form);
    d.gui([&] {
      EXPECT_EQ(GLOBALRESPONSE, RequestCancelled);
      EXPECT_EQ(g_table[0].Holiday.str(), "Independence Day");
    });

    list.press("&Edit");
    form = d.waitWindow("UpdateHoliday");
    form.enter("?HOL:Holiday", "Fourth of July");
    form.press("OK");
    d.waitClosed(form);
    d.gui([&] { EXPECT_EQ(g_table[0].Holiday.str(), "Fourth of July"); });
  });
}

}  // namespace
