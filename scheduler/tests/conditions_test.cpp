// Conditions of "If Value..." and of While/Until loops.
#include <gtest/gtest.h>

#include "scheduler/conditions.h"
#include "scheduler/globals.h"
#include "scheduler/tests/script_fixture.h"

namespace ov::scheduler {
namespace {

using Conditions = ScriptFixture;

TEST_F(Conditions, ChoosesNumbersOrTextsAndAppliesTheOperator) {
  SetVariable("1", "RESPONSE");
  SetVariable("abc", "S");
  SetVariable("0", "ZERO");
  SetVariable("9", "NINE");
  SetVariable("10", "TEN");
  SetVariable("Report.TXT", "FILE*");
  SetVariable("", "EMPTY#");
  struct Case {
    const char *name, *left, *op, *right;
    int want;
  };
  const Case cases[] = {
      {"response of the first button", "[RESPONSE]", "=", "1", 1},
      {"bracketed and bare name alike", "RESPONSE", "=", "1", 1},
      {"texts below each other", "S", "<", "abd", 1},
      {"texts compare with case", "S", "=", "ABC", 0},
      {"both zero compare as texts", "ZERO", "=", "0", 1},
      {"numbers, not texts: 9 < 10", "NINE", "<", "10", 1},
      {"numbers from a bracketed right side", "TEN", "=>", "[NINE]", 1},
      {">= is no operator", "TEN", ">=", "9", 0},
      {"<> on numbers", "TEN", "<>", "10", 0},
      {"<= on numbers", "NINE", "<=", "9", 1},
      {"unknown operator", "TEN", "!=", "9", 0},
      {"name with * matches a pattern", "FILE*", "=", "*.txt", 1},
      {"<> compares the texts themselves", "FILE*", "<>", "*.txt", 1},
      {"no pattern without *", "S", "=", "a*", 0},
      {"name with # compares numbers", "EMPTY#", "=", "0", 1},
      {"unset variable equals empty text", "NEVERSET", "=", "", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(EvaluateCondition(c.left, c.op, c.right), c.want);
  }
}

TEST_F(Conditions, FailureLeavesItsExplanationForTheLog) {
  SetVariable("5", "N");
  SetVariable("abc", "S");
  Feedback.clear();
  EXPECT_EQ(EvaluateCondition("N", "=", "6"), 0);
  EXPECT_EQ(Feedback.str(), "Numeric comparison failed: 5=6");
  EXPECT_EQ(EvaluateCondition("S", ">", "abd"), 0);
  EXPECT_EQ(Feedback.str(), "String comparison failed: abc>abd");
}

}  // namespace
}  // namespace ov::scheduler
