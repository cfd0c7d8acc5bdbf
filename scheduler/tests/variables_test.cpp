// Script variables: expansion, the built-in names, offsets, expressions, contacts, VARQ.
#include <gtest/gtest.h>

#include "datalib/files.h"
#include "platform/rt/text.h"
#include "datalib/queues.h"
#include "scheduler/tests/script_fixture.h"
#include "scheduler/variables.h"

namespace ov::scheduler {
namespace {

class Variables : public ScriptFixture {
 protected:
  void SetUp() override {
    ScriptFixture::SetUp();
    files::FORMAT.DATE = "d10";  // yyyy/mm/dd
  }
  // Stores a value without expanding it, as an earlier step might have left it.
  static void store(std::string_view name, std::string_view value) {
    files::VARQ.buf = {};
    files::VARQ.buf.NAME = name;
    files::VARQ.buf.STRINGVALUE = value;
    files::VARQ.ADD(files::VAR_ByName);
  }
};

TEST_F(Variables, ExpandsNamesWordsAndOffsets) {
  SetVariable("10", "X");
  SetVariable("abc", "T");
  SetVariable("1", "B");
  SetVariable("found", "A1");
  SetVariable("seven", "Total");
  SetVariable(std::to_string(rt::DATE(3, 16, 2026)), "START");  // a Monday
  store("W", "a[B]");
  store("W2", "[B]");
  struct Case {
    const char* name;
    const char* text;
    const char* want;
  };
  const Case cases[] = {
      {"date picture", "[TODAY]", "2026/03/15"},
      {"tomorrow by offset", "[TODAY+1]", "2026/03/16"},
      {"yesterday word", "[YESTERDAY]", "2026/03/14"},
      {"date plus 30 days", "[DATE+30]", "20260414"},
      {"date minus one", "[DATE-1]", "20260314"},
      {"yesterday's weekday", "[DAYOFWEEK-1]", "6"},
      {"weekday text", "[DAYOFWEEKTEXT]", "Sun"},
      {"day of month", "[DAYOFMONTH+20]", "4"},
      {"iso date", "[YYYY-MM-DD]", "2026-03-15"},
      {"dd-mm-yy", "[DD-MM-YY]", "15-03-26"},
      {"mm-dd-yy", "[mm-dd-yy]", "03-15-26"},
      {"ddmmyy", "[DDMMYY]", "150326"},
      {"mmddyy", "[MMDDYY]", "031526"},
      {"mmyy and yymm", "[MMYY]/[YYMM]", "0326/2603"},
      {"time of day", "[TIME]", "120000"},
      {"short time", "[NOW]", "12:00"},
      {"a literal bracket", "[[TODAY]", "[TODAY]"},
      {"the ] after [[ is plain", "[[TODAY]]", "[TODAY]]"},
      {"a literal closing bracket", "[]", "]"},
      {"an unmatched bracket stays", "a [b", "a [b"},
      {"number plus offset", "[X+5]", "15"},
      {"text ignores the offset", "[T+5]", "abc"},
      {"unset with offset", "[UNSET+3]", "3"},
      {"unset is empty", "x[UNSET]y", "xy"},
      {"names ignore case", "[total]", "seven"},
      {"inner group first", "[A[B]]", "found"},
      {"base date from a variable", "[START::DAYOFWEEK]", "1"},
      {"expression", "[=2+3*4]", "14"},
      {"malformed expression is unset", "<[=2+]>", "<>"},
      {"a value's later brackets expand", "[W]", "a1"},
      {"a value's first bracket does not", "[W2]", "[B]"},
      {"several in one text", "[X]-[T]-[B]", "10-abc-1"},
      {"an empty value does not hide the next name", "[UNSET][X][UNSET][B]", "101"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ExpandVariables(c.text), c.want);
  }
}

// Offsets and base dates of any size: the day number is held at 100,000,000 days either way
// rather than overflowing (which was undefined), so the day words stay computable.
TEST_F(Variables, HugeOffsetsStayWithinRange) {
  SetVariable("10", "X");
  SetVariable("1111e111", "FAR");
  ASSERT_EQ(ExpandVariables("[DAYOFWEEK]"), "0");           // today is a Sunday
  EXPECT_EQ(ExpandVariables("[DAYOFWEEK+1111e111]"), "2");  // 100,000,000 days on: 2 past a whole week
  EXPECT_EQ(ExpandVariables("[DAYOFWEEKTEXT-1111e111]"), "Fri");
  EXPECT_EQ(ExpandVariables("[FAR::DAYOFWEEK]"), "2");      // a base date as large
  EXPECT_EQ(ExpandVariables("[X+1111e111]"), rt::numberToText(10 + 1111e111));
  EXPECT_EQ(ExpandVariables("[CONTACT 1e300]"), "");
}

TEST_F(Variables, SelfReferringValueStopsAtTheWorkSpace) {
  store("L", "x[L]");
  const std::string out = ExpandVariables("[L]");
  EXPECT_LE(out.size(), kExpandWidth);
  EXPECT_GT(out.size(), 1000u);
  EXPECT_EQ(out.find_first_not_of('x'), out.rfind('['));  // x...x[L cut somewhere: no runaway
}

TEST_F(Variables, SetVariableEvaluatesAndKeepsOneEntryPerName) {
  struct Case {
    const char* value;
    const char* name;
    const char* text;
    double number;
  };
  SetVariable("10", "X");
  const Case cases[] = {
      {"=2+3", "Sum", "5", 5.0},
      {"=2+", "Bad", "=2+", 0.0},
      {"[X]0", "Ten", "100", 100.0},
      {"2.345", "Round", "2.345", 2.35},
      {"=[X]/4", "Quarter", "2.5", 2.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    SetVariable(c.value, c.name);
    files::VARQ.buf.NAME = rt::UPPER(c.name);
    ASSERT_EQ(files::VARQ.GET(files::VAR_ByName), rt::Err::None);
    EXPECT_EQ(files::VARQ.buf.STRINGVALUE.str(), c.text);
    EXPECT_DOUBLE_EQ(files::VARQ.buf.VALUE, c.number);
  }
  const int before = files::VARQ.RECORDS();
  SetVariable("def", "sum");
  EXPECT_EQ(files::VARQ.RECORDS(), before);
  EXPECT_EQ(var("SUM"), "def");
  // Kept in name order.
  std::string previous;
  for (const files::VarEntry& v : files::VARQ) {
    EXPECT_LT(previous, v.NAME.str());
    previous = v.NAME.str();
  }
}

TEST_F(Variables, ClipboardIsSetAndReadNotStored) {
  SetVariable("from [=1+1] steps", "clipboard");
  EXPECT_EQ(prompts.clipboardText(), "from 2 steps");
  EXPECT_EQ(files::VARQ.RECORDS(), 0);
  EXPECT_EQ(ExpandVariables("<[CLIPBOARD]>"), "<from 2 steps>");
}

TEST_F(Variables, ContactShowsNameCompanyAndPreferredNumber) {
  ASSERT_EQ(files::Access_CONTACT.Open(), rt::Err::None);
  struct Contact {
    int32_t id;
    const char *first, *last, *company, *preferred;
  };
  for (const Contact& c : {Contact{7, "Ann", "Lee", "", "Home"}, Contact{8, "Bob", "Ray", "Acme", "Business"},
                           Contact{9, "Cy", "Moe", "", ""}}) {
    files::CONTACT.clear();
    files::C_.ClientID = c.id;
    files::C_.FirstName = c.first;
    files::C_.LastName = c.last;
    files::C_.Company = c.company;
    files::C_.DefaultContact = c.preferred;
    files::C_.WorkDayPhone = "555 0100";
    files::C_.HomeEveningPhone = "555 0199";
    ASSERT_EQ(files::CONTACT.add(), rt::Err::None);
  }
  (void)files::Access_CONTACT.Close();
  SetVariable("a variable", "CONTACT 99");

  EXPECT_EQ(ExpandVariables("[CONTACT 7]"), "Ann Lee - 555 0199");
  EXPECT_EQ(ExpandVariables("[contact 8]"), "Bob Ray, Acme - 555 0100");
  EXPECT_EQ(ExpandVariables("[CONTACT 9]"), "Cy Moe - Bus:555 0100/Res:555 0199");
  EXPECT_EQ(ExpandVariables("[CONTACT 99]"), "a variable");  // no such contact: the variable
}

}  // namespace
}  // namespace ov::scheduler
