#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/libs/query_wizard/query_wizard.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/list_driver.h"
#include "platform/ui/testing/scripted_host.h"

namespace ov::qwizard {
namespace {

using ui::test::Driver;
using ui::test::ListDriver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

std::string record(const std::vector<std::string>& fields) {
  std::string s;
  for (const std::string& f : fields) s += f + "\xA6";
  return s + "\xAB";
}

QueryFields testFields() {
  QueryFields fields;
  EXPECT_EQ(loadFields(record({"Category", "0", "T:Category", "@s20", "20", "1", "1", "", ""}) +
                           record({"Keep", "0", "T:Keep", "@n3", "1", "2", "2", "", "Keep it"}) +
                           record({"Count", "0", "T:Count", "@n5", "4", "2", "1", "", ""}) +
                           record({"Type", "0", "T:Type", "@s20", "20", "1", "3", "", "Once|Every..."}) +
                           record({"Date", "0", "T:Date", "@d2", "4", "2", "1", "", ""}) +
                           record({"Date", "0", "T:Other", "@d2", "4", "2", "1", "", ""}),
                       "T", fields),
            code::None);
  return fields;
}

// On the query page: adds one condition through the field, operation and value pages.
void addCondition(WindowDriver& w, const char* button, const char* field, const char* op, const char* value = nullptr) {
  w.press(button);
  w.choose("?Field", field);
  w.press("?Next");
  w.choose("?Operation", op);
  w.press("?Next");
  if (value) {
    w.type("?Value", value);
    w.press("?Next");
  }
}

class QueryWizardWindow : public ::testing::Test {
 protected:
  void SetUp() override { SetQueryWizardTexts(); }
  QueryFields fields = testFields();
  ScriptedHost host;
};

TEST_F(QueryWizardWindow, BuildsConditionsJoinedByAndAndOr) {
  std::string text = "(T:Keep<>0)";
  bool finished = false;
  runScript([&](Driver& d) {
    d.later([&] { finished = runQueryWizard(fields, text); });
    WindowDriver w = d.waitWindow("QueryWizard");
    EXPECT_EQ(w.title(), "Query Wizard");
    ListDriver list(d, w, "?Elements");
    EXPECT_EQ(list.texts(1), (std::vector<std::string>{"Keep Is Checked"}));
    addCondition(w, "?And", "Category", "Begins With", "wo");
    addCondition(w, "?Or", "Type", "Is Equal To");  // the choice list's first entry
    w.press("?Next");
    EXPECT_EQ(list.texts(1), (std::vector<std::string>{"Keep Is Checked", "AND  Category Begins With \"wo\"",
                                                       "OR  Type Is Equal To \"Once\""}));
    w.press("?Finish");
    d.waitClosed(w);
  });
  EXPECT_TRUE(finished);
  EXPECT_EQ(text,
            "(T:Keep<>0) AND (INSTRING(UPPER('wo'),UPPER(T:Category),1,1)=1) OR (UPPER(T:Type)=UPPER('Once'))");
}

TEST_F(QueryWizardWindow, CancelLeavesTheTextAsItWas) {
  std::string text = "(T:Keep<>0)";
  bool finished = true;
  runScript([&](Driver& d) {
    d.later([&] { finished = runQueryWizard(fields, text); });
    WindowDriver w = d.waitWindow("QueryWizard");
    addCondition(w, "?And", "Count", "Is Greater Than", "3");
    w.press("?Cancel");
    d.waitClosed(w);
  });
  EXPECT_FALSE(finished);
  EXPECT_EQ(text, "(T:Keep<>0)");
}

TEST_F(QueryWizardWindow, ChangeAndDeleteWorkOnTheHighlightedCondition) {
  std::string text = "(T:Keep<>0) AND (UPPER(T:Category)=UPPER('Work')) OR (T:Count>3)";
  runScript([&](Driver& d) {
    d.later([&] { (void)runQueryWizard(fields, text); });
    WindowDriver w = d.waitWindow("QueryWizard");
    ListDriver list(d, w, "?Elements");
    list.doubleClick(3);  // a double click changes the condition too
    EXPECT_EQ(w.choice("?Field"), 3);
    w.press("?Back");
    list.select(2);
    w.press("?Change");
    EXPECT_EQ(w.choice("?Field"), 1);  // the condition's own field, operation and value
    w.press("?Next");
    w.choose("?Operation", "Contains");
    w.press("?Next");
    EXPECT_EQ(w.text("?Value"), "Work");
    w.type("?Value", "Wo");
    w.check("?CaseSensitive", true);
    w.press("?Next");
    list.select(1);
    w.press("?Delete");
    EXPECT_EQ(list.texts(1), (std::vector<std::string>{"Category Contains \"Wo\" (case sensitive)",
                                                       "OR  Count Is Greater Than 3"}));
    w.press("?Finish");
    d.waitClosed(w);
  });
  EXPECT_EQ(text, "(INSTRING('Wo',T:Category,1,1)>0) OR (T:Count>3)");
}

TEST_F(QueryWizardWindow, AValueThatCannotBeReadKeepsTheValuePage) {
  std::string text;
  host.expectMessage("is not a number", ui::BUTTON::Ok);
  runScript([&](Driver& d) {
    d.later([&] { (void)runQueryWizard(fields, text); });
    WindowDriver w = d.waitWindow("QueryWizard");
    addCondition(w, "?And", "Count", "Is Equal To", "twelve");
    EXPECT_TRUE(w.shown("?Value"));
    w.type("?Value", "12");
    w.press("?Finish");  // takes the condition on the way
    d.waitClosed(w);
  });
  EXPECT_EQ(text, "(T:Count=12)");
}

TEST_F(QueryWizardWindow, FieldsOfOneLabelAreToldApartByName) {
  std::string text;
  runScript([&](Driver& d) {
    d.later([&] { (void)runQueryWizard(fields, text); });
    WindowDriver w = d.waitWindow("QueryWizard");
    addCondition(w, "?And", "Date (T:Other)", "Is Less Than", "3/15/2026");
    w.press("?Finish");
    d.waitClosed(w);
  });
  std::vector<Condition> back;
  ASSERT_TRUE(readQuery(fields, text, back)) << text;
  EXPECT_EQ(back.at(0).field, 5);
  EXPECT_EQ(back.at(0).value, "3/15/2026");
}

TEST_F(QueryWizardWindow, AnInvalidManualQueryStaysInTheWizard) {
  std::string text = "(T:Keep<>0)";
  host.expectMessage("Invalid Query", ui::BUTTON::Ok);
  runScript([&](Driver& d) {
    d.later([&] { (void)runQueryWizard(fields, text); });
    WindowDriver w = d.waitWindow("QueryWizard");
    w.press("?Manual");
    EXPECT_EQ(w.text("?Expression"), "(T:Keep<>0)");
    w.type("?Expression", "T:Keep<>0 AND T:Missing=1");
    w.press("?Finish");
    EXPECT_TRUE(w.isOpen());
    w.type("?Expression", "T:Keep<>0 OR T:Count>=10");
    w.press("?Finish");
    d.waitClosed(w);
  });
  EXPECT_EQ(text, "T:Keep<>0 OR T:Count>=10");
}

TEST_F(QueryWizardWindow, AManualQueryIsKeptAsTextUntilOverwritten) {
  std::string text = "T:Keep<>0 OR T:Count>=10";
  host.expectMessage("Do you want to overwrite the query", ui::BUTTON::No);
  host.expectMessage("Do you want to overwrite the query", ui::BUTTON::Yes);
  runScript([&](Driver& d) {
    d.later([&] { (void)runQueryWizard(fields, text); });
    WindowDriver w = d.waitWindow("QueryWizard");
    ListDriver list(d, w, "?Elements");
    EXPECT_EQ(list.texts(1), (std::vector<std::string>{"T:Keep<>0 OR T:Count>=10"}));
    w.press("?And");  // No: nothing changes
    EXPECT_EQ(list.texts(1), (std::vector<std::string>{"T:Keep<>0 OR T:Count>=10"}));
    addCondition(w, "?And", "Keep", "Is NOT Checked");
    EXPECT_EQ(list.texts(1), (std::vector<std::string>{"Keep Is NOT Checked"}));
    w.press("?Finish");
    d.waitClosed(w);
  });
  EXPECT_EQ(text, "(T:Keep=0)");
}

TEST_F(QueryWizardWindow, AManualTextOfConditionsReadsBackIntoThem) {
  std::string text;
  runScript([&](Driver& d) {
    d.later([&] { (void)runQueryWizard(fields, text); });
    WindowDriver w = d.waitWindow("QueryWizard");
    ListDriver list(d, w, "?Elements");
    EXPECT_EQ(list.texts(1), (std::vector<std::string>{"(New Query)"}));
    EXPECT_FALSE(w.enabled("?Change"));
    w.press("?Manual");
    w.type("?Expression", "(T:Count<5) OR (T:Keep<>0)");
    w.press("?Back");
    EXPECT_EQ(list.texts(1), (std::vector<std::string>{"Count Is Less Than 5", "OR  Keep Is Checked"}));
    list.select(1);
    w.press("?Delete");
    w.press("?Finish");
    d.waitClosed(w);
  });
  EXPECT_EQ(text, "(T:Keep<>0)");
}

TEST_F(QueryWizardWindow, AnotherManualTextReplacesTheConditions) {
  std::string text = "(T:Keep<>0) AND (T:Count>3)";
  bool finished = true;
  runScript([&](Driver& d) {
    d.later([&] { finished = runQueryWizard(fields, text); });
    WindowDriver w = d.waitWindow("QueryWizard");
    ListDriver list(d, w, "?Elements");
    w.press("?Manual");
    w.type("?Expression", "NOT(T:Keep) OR T:Count=1");
    w.press("?Back");
    EXPECT_EQ(list.texts(1), (std::vector<std::string>{"NOT(T:Keep) OR T:Count=1"}));
    w.press("?Delete");
    EXPECT_EQ(list.texts(1), (std::vector<std::string>{"(New Query)"}));
    w.press("?Cancel");
    d.waitClosed(w);
  });
  EXPECT_FALSE(finished);
  EXPECT_EQ(text, "(T:Keep<>0) AND (T:Count>3)");
}

TEST_F(QueryWizardWindow, AQueryOverNamesNoLongerKnownIsToldAndShownAsText) {
  std::string text = "T:Gone=1";
  host.expectMessage("Query No Longer Valid", ui::BUTTON::Ok);
  bool finished = true;
  runScript([&](Driver& d) {
    d.later([&] { finished = runQueryWizard(fields, text); });
    WindowDriver w = d.waitWindow("QueryWizard");
    ListDriver list(d, w, "?Elements");
    EXPECT_EQ(list.texts(1), (std::vector<std::string>{"T:Gone=1"}));
    w.press("?Delete");
    w.press("?Finish");  // every condition deleted: an empty query
    d.waitClosed(w);
  });
  EXPECT_TRUE(finished);
  EXPECT_EQ(text, "");
}

}  // namespace
}  // namespace ov::qwizard
