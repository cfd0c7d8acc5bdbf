// OLE control wrapper: where no OLE server exists Init ends on the fatal messages; over a runtime
// that has objects, creation after registering the OCX, event routing by control, what Kill gives
// back, and collections.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/ui/prop.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "platform/ui/window.h"
#include "winclasses/ole_object_class.h"

using namespace ov;
using namespace ov::winclasses;
using ui::test::ScriptedHost;

namespace {

// Objects by control; an OCX has to be registered before its objects can be made.
class FakeOle : public OleControlRuntime {
 public:
  std::set<std::string> registered;
  std::map<int, std::string> objects;       // control -> its object reference
  std::map<int, long> reportException;
  std::map<std::string, std::string> props; // automation property -> value
  std::vector<std::string> released;
  std::vector<int> closed, destroyed;
  std::map<int, EventProcedure> events;
  long registerResult = 0;

  bool HasObject(int c) const override { return objects.count(c) > 0; }
  std::string ObjectReference(int c) const override { return objects.count(c) ? objects.at(c) : ""; }
  bool Create(int c, std::string_view creation) override {
    if (!registered.count(std::string(creation))) return false;
    objects[c] = "`obj" + std::to_string(c);
    return true;
  }
  long RegisterServer(std::string_view file) override {
    if (registerResult == 0) registered.insert(std::string(file.substr(0, file.find('.'))));
    return registerResult;
  }
  void SetAttr(int c, OleAttr a, long v) override {
    if (a == OleAttr::ReportException) reportException[c] = v;
  }
  long Run(int, OleOp, std::string_view) override { return 0; }
  bool SaveToBlob(int, std::string&) override { return false; }
  bool ReadFromBlob(int, const std::string&) override { return false; }
  std::string Read(int, std::string_view p) override { return props.count(std::string(p)) ? props[std::string(p)] : ""; }
  void Release(int, std::string_view r) override { released.emplace_back(r); }
  void CloseObject(int c) override { closed.push_back(c); }
  void DestroyControl(ui::Window& w, int c) override {
    destroyed.push_back(c);
    OleControlRuntime::DestroyControl(w, c);
  }
  void SetEventProcedure(int c, EventProcedure p) override { events[c] = p; }
  long fire(int c) { return events.count(c) && events[c] ? events[c](c) : -1; }
};

class Answering : public OleObjectClass {
 public:
  explicit Answering(long answer) : m_answer(answer) {}
  long HandleOleEvent() override { return m_answer; }

 private:
  long m_answer;
};

class OleObject : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::test::application();
    setOleControlRuntime(&fake);
  }
  void TearDown() override { setOleControlRuntime(nullptr); }
  FakeOle fake;
  ui::Window window{"Ole"};
};

TEST(OleObjectNoServer, InitEndsOnTheFatalMessages) {
  ui::test::application();
  ui::Window window("Ole");
  ScriptedHost host;
  host.expectMessage("Can not Register OLE Control calendar.ocx Error: 126", ui::BUTTON::Ok)
      .expectMessage("Can not Find OLE Control !", ui::BUTTON::Ok)
      .expectMessage("Cannot Get OLE Object", ui::BUTTON::Ok);
  OleObjectClass withFile;
  withFile.OLECONTROLFILENAME = "calendar.ocx";
  withFile.Init(window);
  EXPECT_FALSE(withFile.OLETYPECREATED);
  EXPECT_TRUE(withFile.OLECONTROLCREATED);
  const int control = withFile.OLECONTROL;
  EXPECT_NE(window.control(control), nullptr);
  withFile.Kill();
  EXPECT_EQ(window.control(control), nullptr) << "the control it made is destroyed";

  OleObjectClass withoutFile;
  withoutFile.Init(window);
  withoutFile.Kill();

  OleObjectClass byReference;
  byReference.Init(window, 0, "", "Calendar", true);
  EXPECT_FALSE(host.pending());
}

TEST_F(OleObject, RegistersTheControlOnceCreationFailsAndTriesAgain) {
  ScriptedHost host;  // no message expected
  OleObjectClass ole;
  ole.OLECONTROLFILENAME = "Calendar.ocx";
  ole.Init(window, window.region("?Ole").feq(), "Calendar");
  EXPECT_TRUE(ole.OLETYPECREATED);
  EXPECT_FALSE(ole.OLECONTROLCREATED);
  EXPECT_EQ(fake.reportException[ole.OLECONTROL], 1);
  EXPECT_EQ(ole.GetObject(), "`obj" + std::to_string(ole.OLECONTROL));
  const int control = ole.OLECONTROL;
  ole.Kill();
  EXPECT_EQ(fake.closed, std::vector<int>{control});
  EXPECT_TRUE(fake.destroyed.empty()) << "an adopted control stays";
  EXPECT_NE(window.control(control), nullptr);
  EXPECT_TRUE(ole.DEAD);
  EXPECT_EQ(ole.OLECONTROL, 0);
}

TEST_F(OleObject, EventsReachTheWrapperOfTheirControl) {
  Answering first(11), second(22);
  first.Init(window, window.region("?A").feq(), std::string_view{"`a"}, {}, false);
  second.Init(window, window.region("?B").feq(), std::string_view{"`b"}, {}, false);
  const int a = first.OLECONTROL, b = second.OLECONTROL;
  EXPECT_EQ(fake.fire(a), 11);
  EXPECT_EQ(fake.fire(b), 22);
  EXPECT_EQ(OleObjectClass::EventProcedure(999), 0) << "a control without a wrapper";
  first.Kill();
  EXPECT_EQ(OleObjectClass::EventProcedure(a), 0);
  EXPECT_EQ(fake.fire(b), 22);
}

TEST_F(OleObject, KillReleasesOnlyItsOwnReference) {
  struct Case {
    const char* reference;
    bool autoRelease;
    const char* released;  // "" = nothing
  };
  const Case kCases[] = {
      {"`doc", true, "`doc"},
      {"`doc", false, ""},
      {"`doc.Pages", true, ""},  // a part of another object
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.reference);
    fake.released.clear();
    OleObjectClass ole;
    ole.Init(window, window.region("").feq(), c.reference, {}, c.autoRelease);
    EXPECT_EQ(ole.GetObject(), c.reference);
    ole.Kill();
    ole.Kill();  // a second Kill does nothing
    EXPECT_EQ(fake.released.empty() ? "" : fake.released[0], std::string(c.released));
    EXPECT_LE(fake.released.size(), 1u);
  }
}

TEST_F(OleObject, CollectionCountsAndWrapsItsItems) {
  ScriptedHost host;
  host.expectMessage("Cannot read OleObjectClass for Item 3", ui::BUTTON::Ok)
      .expectMessage("Cannot Get Sheet Object", ui::BUTTON::Ok);
  fake.props["`book.Count"] = "2";
  fake.props["`book.Item(1)"] = "`sheet1";
  fake.props["`book.Item(3)"] = "nothing";
  Answering events(5);
  OleObjectCollectionClass book;
  book.Init(window, window.region("?Book").feq(), "`book", {}, false);
  EXPECT_EQ(book.Count(), 2);
  {
    std::unique_ptr<OleObjectClass> item = book.Item(1);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->OLECONTROL, book.OLECONTROL);
    EXPECT_EQ(item->GetObject(), "`sheet1");
    EXPECT_TRUE(item->AUTORELEASE);
  }
  EXPECT_EQ(fake.released, std::vector<std::string>{"`sheet1"});
  EXPECT_NE(fake.events[book.OLECONTROL], nullptr) << "the collection still gets its events";
  EXPECT_EQ(book.Item(3), nullptr);
  EXPECT_FALSE(book.CheckCreateError("Sheet", "nothing"));
  EXPECT_TRUE(book.CheckCreateError("Sheet", "`sheet2"));
  EXPECT_FALSE(host.pending());
}

}  // namespace
