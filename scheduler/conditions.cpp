#include "scheduler/conditions.h"

#include <string>

#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"
#include "scheduler/globals.h"
#include "scheduler/variables.h"

namespace ov::scheduler {
namespace {

enum class Kind { Plain, Numeric, TextMatch };

Kind kindOf(std::string_view left) {
  const std::string l = rt::UPPER(rt::clipView(left));
  if (l == "FOCUS" || l == "[FOCUS]") return Kind::TextMatch;
  static constexpr std::string_view kNumeric[] = {"FILEEXISTS", "FILESIZE", "FILEDATE", "RESPONSE", "DATE",
                                                  "FILETIME", "TIME"};
  for (std::string_view n : kNumeric)
    if (l == n || l == "[" + std::string(n) + "]") return Kind::Numeric;
  if (l.find('#') != std::string::npos) return Kind::Numeric;
  if (l.find('*') != std::string::npos) return Kind::TextMatch;
  return Kind::Plain;
}

// The operator applied to the result of a three-way comparison; nothing for an unknown operator.
bool holds(std::string_view op, int c) {
  if (op == "=") return c == 0;
  if (op == "<=") return c <= 0;
  if (op == "<") return c < 0;
  if (op == "=>") return c >= 0;
  if (op == ">") return c > 0;
  if (op == "<>") return c != 0;
  return false;
}

int CompareConditionNumbers(double left, std::string_view op, double right) {
  const int c = left < right ? -1 : left > right ? 1 : 0;
  if (holds(op, c)) return 1;
  Feedback = "Numeric comparison failed: " + rt::numberToText(left) + std::string(op) + rt::numberToText(right);
  return 0;
}

int CompareConditionStrings(const std::string& left, std::string_view op, const std::string& right, bool textMatch) {
  if (textMatch && op.find('=') != std::string_view::npos && rt::wildcardMatch(rt::CLIP(left), rt::CLIP(right)))
    return 1;
  if (holds(op, rt::compareText(left, right))) return 1;
  Feedback = "String comparison failed: " + rt::CLIP(left) + std::string(op) + rt::CLIP(right);
  return 0;
}

}  // namespace

int EvaluateCondition(std::string_view left, std::string_view opIn, std::string_view right) {
  const Kind kind = kindOf(left);
  const std::string_view op = rt::clipView(opIn);
  const std::string leftValue = TranslateVariable(rt::clipView(left));
  const std::string rightValue =
      rt::clipView(right).starts_with('[') ? ExpandVariables(right) : std::string(rt::clipView(right));
  const double leftNumber = rt::textToNumber(leftValue), rightNumber = rt::textToNumber(rightValue);
  if (leftNumber != 0 || rightNumber != 0 || kind == Kind::Numeric)
    return CompareConditionNumbers(leftNumber, op, rightNumber);
  return CompareConditionStrings(leftValue, op, rightValue, kind == Kind::TextMatch);
}

}  // namespace ov::scheduler
