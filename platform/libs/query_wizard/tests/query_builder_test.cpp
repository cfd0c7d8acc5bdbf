#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/libs/query_wizard/query_wizard.h"
#include "platform/rt/date_time.h"
#include "platform/rt/expr.h"
#include "platform/rt/fixed_string.h"

namespace ov::qwizard {
namespace {

std::string record(const std::vector<std::string>& fields) {
  std::string s;
  for (const std::string& f : fields) s += f + "\xA6";
  return s + "\xAB";
}

enum Field { Category, Contents, Date, Time, Keep, Count, Type };

QueryFields testFields() {
  QueryFields fields;
  const std::string packed = record({"Category", "0", "T:Category", "@s20", "20", "1", "1", "", ""}) +
                             record({"Contents", "0", "T:Contents", "@s255", "255", "1", "1", "", ""}) +
                             record({"Date", "0", "T:Date", "@d2", "4", "2", "1", "", ""}) +
                             record({"Time", "0", "T:Time", "@t1", "4", "2", "1", "", ""}) +
                             record({"Keep", "0", "T:Keep", "@n3", "1", "2", "2", "", "Keep it"}) +
                             record({"Count", "0", "T:Count", "@n9.2", "4", "2", "1", "", ""}) +
                             record({"Type", "0", "T:Type", "@s20", "20", "1", "3", "", "Once|Every..."});
  EXPECT_EQ(loadFields(packed, "T", fields), code::None);
  return fields;
}

Condition cond(Field f, Op op, std::string value = {}, bool caseSensitive = false, Link link = Link::And) {
  return {link, f, op, std::move(value), caseSensitive};
}

struct Built {
  const char* name;
  Condition c;
  const char* want;
};

TEST(QueryBuilder, ConditionsBecomeExpressions) {
  const QueryFields fields = testFields();
  const Built kCases[] = {
      {"text equal, case ignored", cond(Category, Op::Equal, "Work"), "UPPER(T:Category)=UPPER('Work')"},
      {"text equal, case significant", cond(Category, Op::Equal, "Work", true), "T:Category='Work'"},
      {"quote in the value is doubled", cond(Category, Op::NotEqual, "It's"), "UPPER(T:Category)<>UPPER('It''s')"},
      {"value that looks like code stays a text", cond(Category, Op::Equal, "') OR (1=1"),
       "UPPER(T:Category)=UPPER(''') OR (1=1')"},
      {"greater or equal on text", cond(Category, Op::GreaterEqual, "M"), "UPPER(T:Category)>=UPPER('M')"},
      {"begins with", cond(Contents, Op::BeginsWith, "http"), "INSTRING(UPPER('http'),UPPER(T:Contents),1,1)=1"},
      {"does not begin with", cond(Contents, Op::NotBeginWith, "http"),
       "INSTRING(UPPER('http'),UPPER(T:Contents),1,1)<>1"},
      {"contains, case significant", cond(Contents, Op::Contains, "Exe", true), "INSTRING('Exe',T:Contents,1,1)>0"},
      {"does not contain", cond(Contents, Op::NotContain, "x"), "INSTRING(UPPER('x'),UPPER(T:Contents),1,1)=0"},
      {"number", cond(Count, Op::Less, "12.5"), "T:Count<12.5"},
      {"negative number", cond(Count, Op::GreaterEqual, "-3"), "T:Count>=-3"},
      {"number in the field's picture", cond(Count, Op::Equal, "1,234.50"), "T:Count=1234.5"},
      {"case box means nothing to a number", cond(Count, Op::Equal, "7", true), "T:Count=7"},
      {"empty date is no date", cond(Date, Op::Equal, ""), "T:Date=0"},
      {"flag checked", cond(Keep, Op::Checked), "T:Keep<>0"},
      {"flag not checked", cond(Keep, Op::NotChecked), "T:Keep=0"},
      {"choice", cond(Type, Op::Equal, "Every..."), "UPPER(T:Type)=UPPER('Every...')"},
  };
  for (const Built& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string text, error;
    ASSERT_TRUE(conditionText(fields.fields[c.c.field], c.c, text, &error)) << error;
    EXPECT_EQ(text, c.want);
    EXPECT_TRUE(fields.check(text)) << text;
  }
}

TEST(QueryBuilder, ValuesThatCannotBeReadAreRefused) {
  const QueryFields fields = testFields();
  const Built kCases[] = {
      {"not a number", cond(Count, Op::Equal, "twelve"), ""},
      {"no number", cond(Count, Op::Equal, ""), ""},
      {"not a date", cond(Date, Op::Equal, "someday"), ""},
      {"impossible date", cond(Date, Op::Equal, "2/30/2026"), ""},
      {"not a time", cond(Time, Op::Equal, "soon"), ""},
      {"begins with nothing", cond(Contents, Op::BeginsWith, ""), ""},
      {"contains blanks only", cond(Contents, Op::Contains, "  "), ""},
      {"a flag is not compared", cond(Keep, Op::Greater, "1"), ""},
      {"a text is not checked", cond(Category, Op::Checked), ""},
      {"a choice does not begin", cond(Type, Op::BeginsWith, "O"), ""},
  };
  for (const Built& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string text = "unchanged", error;
    EXPECT_FALSE(conditionText(fields.fields[c.c.field], c.c, text, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(text, "unchanged");
  }
}

TEST(QueryBuilder, OperationsFollowTheEntryAndValueKinds) {
  const QueryFields fields = testFields();
  EXPECT_EQ(operationsFor(fields.fields[Keep]), (std::vector<Op>{Op::Checked, Op::NotChecked}));
  EXPECT_EQ(operationsFor(fields.fields[Type]), (std::vector<Op>{Op::Equal, Op::NotEqual}));
  EXPECT_EQ(operationsFor(fields.fields[Date]).size(), 6u);
  EXPECT_EQ(operationsFor(fields.fields[Category]).size(), 10u);
}

constexpr int32_t hm(int h, int m) { return (h * 3600 + m * 60) * 100 + 1; }

// The record the built queries are evaluated over.
struct Row {
  rt::String<20> Category;
  std::string Contents;
  int32_t Date = 0;
  int32_t Time = 0;
  uint8_t Keep = 0;
  double Count = 0;
  rt::String<20> Type;
};

struct Selects {
  const char* name;
  std::vector<Condition> conditions;
  std::vector<int> rows;  // 1-based rows of kRows that pass
};

TEST(QueryBuilder, BuiltQueriesSelectTheRightRows) {
  const QueryFields fields = testFields();
  const std::vector<Row> kRows = {
      {"Work", "http://example.org/a", rt::DATE(3, 15, 2026), hm(9, 30), 1, 2, "Once"},
      {"work", "Notes for the meeting", rt::DATE(3, 16, 2026), hm(17, 0), 0, 12.5, "Every..."},
      {"Home", "Run C:\\Tools\\x.EXE now", 0, 0, 0, -1, "Once"},
  };
  const std::vector<Selects> kCases = {
      {"equal ignores case", {cond(Category, Op::Equal, "WORK")}, {1, 2}},
      {"equal with case", {cond(Category, Op::Equal, "work", true)}, {2}},
      {"not equal", {cond(Category, Op::NotEqual, "work")}, {3}},
      {"begins with", {cond(Contents, Op::BeginsWith, "HTTP:")}, {1}},
      {"does not begin with", {cond(Contents, Op::NotBeginWith, "http")}, {2, 3}},
      {"contains, case ignored", {cond(Contents, Op::Contains, ".exe")}, {3}},
      {"contains, case significant", {cond(Contents, Op::Contains, ".exe", true)}, {}},
      {"does not contain", {cond(Contents, Op::NotContain, "e")}, {}},
      {"date typed in the picture", {cond(Date, Op::Equal, "3/15/2026")}, {1}},
      {"date after", {cond(Date, Op::GreaterEqual, "03/16/2026")}, {2}},
      {"no date", {cond(Date, Op::Equal, "")}, {3}},
      {"time before", {cond(Time, Op::Less, "12:00")}, {1, 3}},
      {"flag", {cond(Keep, Op::Checked)}, {1}},
      {"not flagged", {cond(Keep, Op::NotChecked)}, {2, 3}},
      {"number", {cond(Count, Op::Greater, "0")}, {1, 2}},
      {"choice", {cond(Type, Op::Equal, "Once")}, {1, 3}},
      {"AND", {cond(Category, Op::Equal, "work"), cond(Keep, Op::NotChecked)}, {2}},
      {"OR", {cond(Keep, Op::Checked), cond(Category, Op::Equal, "home", false, Link::Or)}, {1, 3}},
      {"AND binds tighter than OR",
       {cond(Category, Op::Equal, "home"), cond(Keep, Op::Checked, "", false, Link::Or),
        cond(Count, Op::Greater, "5")},
       {3}},
      {"no conditions", {}, {1, 2, 3}},
  };
  Row r;
  rt::Bindings names;
  names.bind("T:Category", r.Category);
  names.bind("T:Contents", r.Contents);
  names.bind("T:Date", r.Date);
  names.bind("T:Time", r.Time);
  names.bind("T:Keep", r.Keep);
  names.bind("T:Count", r.Count);
  names.bind("T:Type", r.Type);
  for (const Selects& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string text, error;
    ASSERT_TRUE(buildQuery(fields, c.conditions, text, &error)) << error;
    std::vector<int> passed;
    if (text.empty()) {
      passed = {1, 2, 3};
    } else {
      rt::Expression e;
      rt::ExprError parseError;
      ASSERT_TRUE(e.parse(text, names, &parseError)) << text << ": " << parseError.message;
      for (size_t i = 0; i < kRows.size(); ++i) {
        r = kRows[i];
        if (e.isTrue()) passed.push_back(static_cast<int>(i) + 1);
      }
    }
    EXPECT_EQ(passed, c.rows) << text;
  }
}

TEST(QueryBuilder, BuiltQueriesReadBackIntoTheirConditions) {
  const QueryFields fields = testFields();
  const std::vector<std::vector<Condition>> kQueries = {
      {cond(Category, Op::Equal, "Work")},
      {cond(Category, Op::Equal, "It's (a) 'test' AND x", true)},
      {cond(Contents, Op::NotContain, "x"), cond(Keep, Op::Checked, "", false, Link::Or),
       cond(Count, Op::LessEqual, "-2.25")},
      {cond(Date, Op::Equal, "3/15/2026"), cond(Time, Op::Greater, "9:30")},
      {cond(Date, Op::Equal, "")},
      {cond(Type, Op::NotEqual, "Every...")},
  };
  for (const std::vector<Condition>& conditions : kQueries) {
    std::string text;
    ASSERT_TRUE(buildQuery(fields, conditions, text));
    SCOPED_TRACE(text);
    std::vector<Condition> back;
    ASSERT_TRUE(readQuery(fields, text, back));
    ASSERT_EQ(back.size(), conditions.size());
    for (size_t i = 0; i < back.size(); ++i) {
      std::string again;
      ASSERT_TRUE(conditionText(fields.fields[back[i].field], back[i], again));
      EXPECT_EQ(back[i].field, conditions[i].field);
      EXPECT_EQ(back[i].op, conditions[i].op);
      EXPECT_EQ(back[i].caseSensitive, conditions[i].caseSensitive);
      EXPECT_EQ(i == 0 ? Link::And : back[i].link, conditions[i].link);
    }
    std::string rebuilt;
    ASSERT_TRUE(buildQuery(fields, back, rebuilt));
    EXPECT_EQ(rebuilt, text);
  }
  // Dates come back in the field's picture.
  std::vector<Condition> back;
  ASSERT_TRUE(readQuery(fields, "(T:Date=" + std::to_string(rt::DATE(3, 15, 2026)) + ")", back));
  EXPECT_EQ(back.at(0).value, "3/15/2026");
}

TEST(QueryBuilder, OtherTextsAreNotReadAsConditions) {
  const QueryFields fields = testFields();
  const char* kTexts[] = {
      "NOT(SCH:Completed) AND NOT(SCH:Disabled)",
      "T:Keep<>0",                      // no parentheses
      "(T:Keep<>0) XOR (T:Keep=0)",
      "(T:Keep<>0)(T:Keep=0)",
      "(T:Keep<> 0)",
      "(T:Count=twelve)",
      "(UPPER(T:Category)=UPPER('a'b'))",
      "(UPPER(T:Category)=UPPER('a')",
      "(T:Other=1)",
  };
  for (const char* text : kTexts) {
    SCOPED_TRACE(text);
    std::vector<Condition> back{cond(Keep, Op::Checked)};
    EXPECT_FALSE(readQuery(fields, text, back));
    EXPECT_EQ(back.size(), 1u);  // left as it was
  }
  std::vector<Condition> none{cond(Keep, Op::Checked)};
  EXPECT_TRUE(readQuery(fields, "", none));
  EXPECT_TRUE(none.empty());
}

TEST(QueryBuilder, DescribesConditionsWithTheOperatorTexts) {
  SetQueryWizardTexts();
  const QueryFields fields = testFields();
  EXPECT_EQ(describe(fields, cond(Category, Op::NotBeginWith, "Wo")), "Category Does NOT Begin With \"Wo\"");
  EXPECT_EQ(describe(fields, cond(Category, Op::Equal, "Wo", true)), "Category Is Equal To \"Wo\" (case sensitive)");
  EXPECT_EQ(describe(fields, cond(Count, Op::GreaterEqual, "3")), "Count Is Greater Than or Equal To 3");
  EXPECT_EQ(describe(fields, cond(Keep, Op::NotChecked)), "Keep Is NOT Checked");
}

}  // namespace
}  // namespace ov::qwizard
