#include "platform/rt/expr.h"

#include <cstddef>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/rt/date_time.h"
#include "platform/rt/err.h"

using namespace ov::rt;

namespace {

// A few fields of a task record, laid out as the data files declare them.
struct Task {
  int32_t ID = 0;
  String<20> TaskType;
  String<20> Category;
  String<40> Description;
  int32_t Date = 0;
  int32_t Time = 0;
  uint8_t Disabled = 0;
  uint8_t Completed = 0;
};
const FieldDesc kTaskFields[] = {
    {"SCH:ID", FieldType::Long, 4, 0, offsetof(Task, ID)},
    {"SCH:TaskType", FieldType::String, 20, 4, offsetof(Task, TaskType)},
    {"SCH:Category", FieldType::String, 20, 24, offsetof(Task, Category)},
    {"SCH:Description", FieldType::String, 40, 44, offsetof(Task, Description)},
    {"SCH:Date", FieldType::Date, 4, 84, offsetof(Task, Date)},
    {"SCH:Time", FieldType::Time, 4, 88, offsetof(Task, Time)},
    {"SCH:Disabled", FieldType::Byte, 1, 92, offsetof(Task, Disabled)},
    {"SCH:Completed", FieldType::Byte, 1, 93, offsetof(Task, Completed)},
};
const RecordDesc kTask{"SCH", kTaskFields, 94};

// Fixes TODAY() at Saturday 15 June 2024, 10:30, for the test's life.
struct FixedClock {
  FixedClock() { setTestClock(DATE(6, 15, 2024), 10 * 360000 + 30 * 6000 + 1); }
  ~FixedClock() { clearTestClock(); }
};

Task task(int id, const char* type, const char* category, const char* description, int32_t date, uint8_t disabled,
          uint8_t completed) {
  Task t;
  t.ID = id;
  t.TaskType = type;
  t.Category = category;
  t.Description = description;
  t.Date = date;
  t.Disabled = disabled;
  t.Completed = completed;
  return t;
}

std::string eval(std::string_view text, const Bindings& names = Bindings()) {
  Expression e;
  ExprError error;
  if (!e.parse(text, names, &error)) return "error " + std::to_string(static_cast<int>(error.code)) + ": " + error.message;
  return e.text();
}

}  // namespace

// The filters the windows and reports build, over six tasks. Each row of `want` is the filter's
// verdict on the six tasks in order.
TEST(Expression, FilterTextsSelectTheRightTasks) {
  FixedClock clock;
  const int32_t today = DATE(6, 15, 2024);
  const Task rows[] = {
      task(1, "Run Program", "Work", "Call Günther about invoices", today, 0, 0),
      task(2, "Hot Key", "Home", "Water plants", today + 1, 1, 0),
      task(3, "Display Message", "work", "Quarterly report", today - 1, 0, 1),
      task(4, "Display Message", "Work", "INVOICE check", DATE(6, 20, 2023), 0, 0),
      task(5, "Run Program", "Work", "", today + 6, 0, 0),
      task(6, "E-mail", "Home", "Old", 0, 0, 0),
  };

  Task buffer;
  String<20> filterCategory = "Work", filterText = "invoice", gloCategory = "Work";
  int32_t selectedDay = today - 1, rangeFrom = today - 1, rangeTo = today + 1;
  Bindings names;
  names.bindRecord(kTask, &buffer);
  names.bind("Filter:Category", filterCategory);
  names.bind("Filter:Text", filterText);
  names.bind("SelectedDay", selectedDay);
  names.bind("GLO:Category", gloCategory);
  names.bind("RANGE:Date:From", rangeFrom);
  names.bind("RANGE:Date:To", rangeTo);

  const std::string custom = "SCH:Date>=" + std::to_string(today - 1) + " AND SCH:Date<=" + std::to_string(today + 1);
  struct Case {
    std::string filter;
    const char* want;
  };
  const Case cases[] = {
      {"(SCH:Date>0)", "TTTTTF"},
      {"NOT(SCH:TaskType='Hot Key')", "TFTTTT"},
      {"~(SCH:Disabled OR SCH:Completed)", "TFFTTT"},
      {"SCH:Completed", "FFTFFF"},
      {"SCH:Disabled", "FTFFFF"},
      {"SCH:Date=TODAY()", "TFFFFF"},
      {"SCH:Date=TODAY()-1", "FFTFFF"},
      {"SCH:Date=TODAY()+1", "FTFFFF"},
      {"SCH:Date>=TODAY() AND SCH:Date<TODAY()+7", "TTFFTF"},
      {"MONTH(SCH:Date)=MONTH(TODAY())", "TTTTTF"},  // June of another year too
      {custom, "TTTFFF"},
      {"SCH:Category=Filter:Category", "TFFTTF"},  // case counts
      {"INSTRING(UPPER(CLIP(Filter:Text)),UPPER(SCH:Description),1)>0", "TFFTFF"},
      {"(SCH:Date=SelectedDay AND SCH:Date>0)", "FFTFFF"},
      {"Sch:Date>=RANGE:Date:From AND Sch:Date<=RANGE:Date:To", "TTTFFF"},
      {"SCH:DATE>=RANGE:DATE:FROM AND SCH:DATE<=RANGE:DATE:TO", "TTTFFF"},
      {"Sch:Category=Glo:Category", "TFFTTF"},
      {"Sch:Category=Glo:Category AND Sch:Date>=RANGE:Date:From AND Sch:Date<=RANGE:Date:To", "TFFFFF"},
      {"(NOT(SCH:TaskType='Hot Key')) AND (~(SCH:Disabled OR SCH:Completed)) AND "
       "(SCH:Date>=TODAY() AND SCH:Date<TODAY()+7)",
       "TFFFTF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    Expression e;
    ExprError error;
    ASSERT_TRUE(e.parse(c.filter, names, &error)) << error.message;
    std::string got;
    for (const Task& row : rows) {
      buffer = row;  // as a view reads the next record into the buffer
      got += e.isTrue() ? 'T' : 'F';
    }
    EXPECT_EQ(got, c.want);
  }
}

TEST(Expression, OtherBoundFilters) {
  String<20> todoCategory = "work", catCategory = "Work";
  uint8_t clipKeep = 1;
  Bindings names;
  names.bind("TDO:Category", todoCategory);
  names.bind("CAT:Category", catCategory);
  names.bind("CLI:ClipKeep", clipKeep);
  EXPECT_EQ(eval("UPPER(TDO:Category) = UPPER(CAT:Category)", names), "1");
  EXPECT_EQ(eval("(CLI:ClipKeep=1)", names), "1");
  todoCategory = "Home";
  clipKeep = 0;
  EXPECT_EQ(eval("UPPER(TDO:Category) = UPPER(CAT:Category)", names), "0");
  EXPECT_EQ(eval("(CLI:ClipKeep=1)", names), "0");
}

struct Eval {
  const char* text;
  const char* want;
};

TEST(Expression, OperatorsAndPrecedence) {
  const Eval cases[] = {
      {"1+2*3", "7"},
      {"(1+2)*3", "9"},
      {"2^3^2", "64"},  // left to right
      {"-2^2", "4"},    // the sign binds closer than "^"
      {"2*3^2", "18"},
      {"10-4-3", "3"},
      {"10/4", "2.5"},
      {"7%3", "1"},
      {"1/0", "0"},
      {"'a' & 1+2", "a3"},          // "+" before "&"
      {"'x' & 'y' = 'xy'", "1"},    // "&" before "="
      {"1=1 AND 2=3 OR 1", "1"},
      {"1 OR 0 AND 0", "1"},        // AND before OR
      {"NOT 0 AND 0", "0"},         // NOT binds closest
      {"NOT 1 = 0", "1"},           // (NOT 1) = 0
      {"1 XOR 1", "0"},
      {"1 XOR 0", "1"},
      {"3 ~= 4", "1"},
      {"3 <> 3", "0"},
      {"2 =< 2", "1"},
      {"2 <= 1", "0"},
      {"2 => 3", "0"},
      {"3 >= 3", "1"},
      {"2 ~< 3", "0"},
      {"2 ~> 3", "1"},
      {"2 NOT = 2", "0"},
      {"2 ~ = 3", "1"},
      {"'abc' < 'abd'", "1"},
      {"'abc  ' = 'abc'", "1"},     // trailing blanks don't count
      {"' abc' = 'abc'", "0"},      // leading ones do
      {"'ABC' = 'abc'", "0"},       // case counts
      {"'10' < '9'", "1"},          // two texts compare as texts
      {"'10' < 9", "0"},            // a number makes it numeric
      {"'' = 0", "1"},
      {"0.1+0.2=0.3", "1"},
      {"0.1+0.2", "0.3"},           // 15 significant digits, no binary noise
      {"10/3", "3.33333333333333"},
      {"'x' & 0.1*3", "x0.3"},
      {"'It''s'", "It's"},
      {".5*4", "2"},
      {"-'3'+1", "-2"},
      {"'abc'+1", "1"},             // a text that is no number counts 0
      {"NOT ''", "1"},
      {"NOT '   '", "1"},
      {"NOT 'x'", "0"},
      {"1 < 2 = 1", "1"},           // (1<2) = 1
  };
  for (const Eval& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(eval(c.text), c.want);
  }
}

TEST(Expression, Functions) {
  FixedClock clock;
  const Eval cases[] = {
      {"UPPER('éa')", "ÉA"},
      {"LOWER('ÄB')", "äb"},
      {"CLIP('ab  ') & '|'", "ab|"},
      {"CLIP(12)", "12"},
      {"LEFT('  ab') & '|'", "ab  |"},
      {"LEFT('  ab', 3) & '|'", "ab |"},
      {"LEN(LEFT('a', 2000000000))", "1048576"},  // a typed width cannot ask for gigabytes
      {"SUB('ABCDEF', 2, 3)", "BCD"},
      {"SUB('ABCDEF', -2, 2)", "EF"},
      {"SUB('ABCDEF', 4)", "DEF"},
      {"SUB('ABCDEF', -3)", "DEF"},
      {"INSTRING('DE','ABCDEFG',1,1)", "4"},
      {"INSTRING('DE','ABCDEFG',1,5)", "0"},
      {"INSTRING('CD','ABCDEFG')", "2"},   // by steps of the length looked for: 'AB', 'CD'
      {"INSTRING('DE','ABCDEFG')", "0"},   // 'AB', 'CD', 'EF': never on a step
      {"INSTRING('x','ABC',1,1)", "0"},
      {"LEN('abc  ')", "5"},
      {"LEN(CLIP('abc  '))", "3"},
      {"LEN(1234)", "4"},
      {"DATE(1,1,1801)", "4"},
      {"DAY(DATE(2,31,2023)) & '/' & MONTH(DATE(2,31,2023))", "3/3"},
      {"YEAR(DATE(13,1,2023)) & '-' & MONTH(DATE(13,1,2023))", "2024-1"},
      {"DATE(2,29,2024)-DATE(2,28,2024)", "1"},
      {"TODAY()=DATE(6,15,2024)", "1"},
      {"TODAY()%7", "6"},  // a Saturday
      {"CLOCK()", "3780001"},
      {"DAY(0) + MONTH(0) + YEAR(0)", "0"},
      {"FORMAT(DATE(10,31,1959),@D2)", "10/31/1959"},
      {"FORMAT(DATE(10,31,1959),'@D2')", "10/31/1959"},
      {"FORMAT(5551234,@P###-####P)", "555-1234"},
      {"DEFORMAT('10/31/1959',@D2)=DATE(10,31,1959)", "1"},
      {"INT(-3.7)", "-3"},
      {"INT(3.7)", "3"},
      {"ABS(-2.5)", "2.5"},
      {"ROUND(5.55,.1)", "5.6"},
      {"ROUND(1234,100)", "1200"},
      {"ROUND(-2.5,1)", "-3"},
      {"ROUND(2.345,.01)", "2.35"},
      {"VAL('A')", "65"},
      {"VAL('')", "0"},
      {"CHR(65) & CHR(171)", "A«"},
      {"NUMERIC('12.5')", "1"},
      {"NUMERIC('12a')", "0"},
      {"NUMERIC(' ')", "0"},
      {"NUMERIC(7)", "1"},
      {"AGE(DATE(6,1,2024),DATE(6,15,2024))", "14 DAYS"},
      {"AGE(DATE(4,16,2024),DATE(6,15,2024))", "60 DAYS"},
      {"AGE(DATE(4,15,2024),DATE(6,15,2024))", "2 MOS"},
      {"AGE(DATE(1,16,2023),DATE(6,15,2024))", "16 MOS"},
      {"AGE(DATE(6,16,2022),DATE(6,15,2024))", "23 MOS"},
      {"AGE(DATE(6,15,2022),DATE(6,15,2024))", "2 YRS"},
      {"AGE(DATE(6,16,1960),DATE(6,15,2024))", "63 YRS"},
      {" AGE(DATE(3,14,1960),TODAY())", "64 YRS"},  // the birthday wizard's message, after "[="
      {"AGE(DATE(6,16,2024),DATE(6,15,2024))", ""},
      {"upper('a') & Upper('b')", "AB"},           // function names ignore case
  };
  for (const Eval& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(eval(c.text), c.want);
  }
}

TEST(Expression, MalformedTextGivesTheRuntimeCode) {
  int32_t date = 0;
  Bindings names;
  names.bind("SCH:Date", date);
  struct Bad {
    std::string text;
    Err code;
  };
  const Bad cases[] = {
      {"", Err::BadExpression},
      {"   ", Err::BadExpression},
      {"1 +", Err::BadExpression},
      {"(1", Err::BadExpression},
      {"1)", Err::BadExpression},
      {"'abc", Err::BadExpression},
      {"1 = = 2", Err::BadExpression},
      {"1 2", Err::BadExpression},
      {"1,2", Err::BadExpression},
      {"#", Err::BadExpression},
      {"\"text\"", Err::BadExpression},
      {"12abc", Err::BadExpression},
      {"1.2.3", Err::BadExpression},
      {"SCH:Date[1]", Err::BadExpression},
      {"AND", Err::BadExpression},
      {"FORMAT(1,@)", Err::BadExpression},
      {std::string(500, '(') + "1" + std::string(500, ')'), Err::BadExpression},
      {std::string(500, '-') + "1", Err::BadExpression},
      {"SCH:Dat=1", Err::UnknownName},
      {"NOSUCH(1)", Err::UnknownName},
      {"TODAY", Err::UnknownName},
      {"UPPER()", Err::BadFunctionCall},
      {"UPPER('a','b')", Err::BadFunctionCall},
      {"DATE(1,2)", Err::BadFunctionCall},
      {"TODAY(1)", Err::BadFunctionCall},
  };
  for (const Bad& c : cases) {
    SCOPED_TRACE(c.text);
    Expression e;
    ExprError error;
    EXPECT_FALSE(e.parse(c.text, names, &error));
    EXPECT_EQ(error.code, c.code);
    EXPECT_FALSE(e.isValid());
    EXPECT_EQ(e.text(), "");
  }

  ExprError error;
  Expression e;
  EXPECT_FALSE(e.parse("SCH:Date >= Frm", names, &error));
  EXPECT_EQ(error.position, 12u);
  EXPECT_EQ(error.message, "Unknown name Frm");

  // Long runs of one operator cost no depth.
  std::string sum = "0";
  for (int i = 0; i < 20000; ++i) sum += "+1";
  EXPECT_EQ(eval(sum), "20000");
}

TEST(Expression, BoundTextsKeepTheirWidth) {
  String<8> fixed = "ab";
  CString<8> zero = "ab";
  std::string memo = "Notes with a Key word";
  int32_t numbers[3] = {5, 6, 7};
  FieldDesc array{"ARR:N", FieldType::Long, 4, 0, 0, 0, 3};
  Bindings names;
  names.bind("Fixed", fixed);
  names.bind("Zero", zero);
  names.bind("C_:Notes", memo);
  names.bindField("ARR:N", array, numbers);
  const Eval cases[] = {
      {"Fixed & '|'", "ab      |"},  // a fixed text is always its full width
      {"LEN(Fixed)", "8"},
      {"Zero & '|'", "ab|"},
      {"Fixed = Zero", "1"},
      {"INSTRING('Key', C_:Notes, 1, 1)", "14"},
      {"ARR:N[2] * 10", "60"},
      {"ARR:N[1+2]", "7"},
      {"ARR:N[4]", "0"},
  };
  for (const Eval& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(eval(c.text, names), c.want);
  }
}

TEST(Expression, ScopesHideAndRestoreNames) {
  int32_t outer = 1, inner = 2;
  Bindings names;
  names.bind("X", outer);
  EXPECT_EQ(eval("X", names), "1");
  names.push();
  names.bind("x", inner);
  EXPECT_EQ(eval("X", names), "2");
  names.pop();
  EXPECT_EQ(eval("X", names), "1");
  names.unbind("X");
  EXPECT_EQ(names.find("X"), nullptr);
}

TEST(Expression, EvaluateUsesTheThreadsNamesAndSetsErrorCode) {
  int32_t total = 40;
  PUSHBIND();
  BIND("Total", total);
  EXPECT_EQ(EVALUATE("Total+2"), "42");
  EXPECT_EQ(ERRORCODE(), 0);
  EXPECT_EQ(EVALUATE("Total+"), "");
  EXPECT_EQ(ERRORCODE(), 800);
  EXPECT_EQ(ERROR(), "Bad Expression Syntax");
  POPBIND();
  EXPECT_EQ(EVALUATE("Total+2"), "");
  EXPECT_EQ(ERRORCODE(), 801);
  EXPECT_EQ(EVALUATE("UPPER(1,2)"), "");
  EXPECT_EQ(ERRORCODE(), 802);
  EXPECT_EQ(EVALUATE("2+3"), "5");
  EXPECT_EQ(ERRORCODE(), 0);
}

TEST(Expression, ListsOfExpressions) {
  Task buffer = task(7, "Run Program", "Work", "Report", 100, 0, 0);
  Bindings names;
  names.bindRecord(kTask, &buffer);
  std::vector<Expression> order;
  ExprError error;
  ASSERT_TRUE(parseExpressionList("UPPER(SCH:Category),SCH:Date,SUB(SCH:Description,1,3)", names, order, &error));
  ASSERT_EQ(order.size(), 3u);
  EXPECT_EQ(order[0].text(), "WORK" + std::string(16, ' '));  // a fixed text keeps its width
  EXPECT_EQ(order[1].number(), 100);
  EXPECT_EQ(order[2].text(), "Rep");
  EXPECT_FALSE(order[1].isTextResult());
  EXPECT_TRUE(order[2].isTextResult());

  EXPECT_FALSE(parseExpressionList("SCH:Date,,SCH:Time", names, order, &error));
  EXPECT_EQ(error.code, Err::BadExpression);
  EXPECT_EQ(error.position, 9u);
  EXPECT_TRUE(order.empty());
}
