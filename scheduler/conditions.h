// Conditions of "If Value..." steps and of "While" and "Until" loops: a left operand (usually a
// variable name), an operator and a right operand, compared as numbers or as texts.
//
// Operators: "=", "<=", "<", "=>", ">", "<>" (">=" and any other text are never true). Numbers are
// compared when either side's numeric value is not 0 or the left operand names a numeric value
// (RESPONSE, FILESIZE, DATE, a name holding "#", ...); texts otherwise, case-sensitively, except
// that a left operand of FOCUS or one holding "*" matches the right side as a wildcard pattern,
// ignoring case, with any operator holding "=". A false condition leaves its explanation in
// Feedback for the next event-log line. Frame thread only.
#pragma once

#include <string_view>

namespace ov::scheduler {

// 1 when the condition holds, else 0.
int EvaluateCondition(std::string_view left, std::string_view op, std::string_view right);

}  // namespace ov::scheduler
