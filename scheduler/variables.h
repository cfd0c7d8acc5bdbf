// Script variables: [NAME] in script steps, task commands, messages and mail texts.
//
// ExpandVariables replaces every bracketed name of a text by its value; TranslateVariable gives the
// value of one name: the date words with day offsets ([TODAY+7], [DATE-1]), [TIME], [NOW],
// [CLIPBOARD], [FOCUS], [=expression], [CONTACT n], or a user variable of VARQ. SetVariable stores
// a user variable (or the clipboard). Variables live for the program run in VARQ (datalib/queues.h).
//
// Frame thread only: VARQ, the clipboard and the window list are not locked.
#pragma once

#include <string>
#include <string_view>

namespace ov::scheduler {

// Works on at most kExpandWidth bytes; a name is taken up to kVariableNameWidth bytes; a group
// whose resolution walks more than kGroupWalkLimit positions is left as it is, so self-referring
// values cannot loop.
constexpr size_t kExpandWidth = 16384;
constexpr size_t kVariableNameWidth = 256;
constexpr int kGroupWalkLimit = 5000;

// "[[" gives a literal "[", "[]" a literal "]"; an unmatched "[" stays. [A[B]] resolves [B] to v
// first and then the name Av. A value's brackets from its second character on are expanded in
// turn. The result has no trailing blanks. `label` is accepted for the callers' sake, not used.
std::string ExpandVariables(std::string_view text, std::string_view label = {});
std::string ExpandText(std::string_view text);

// The value of one name (with or without its brackets); an unknown name gives "" or, with an
// offset, the offset as a number ([UNSET+3] is "3").
std::string TranslateVariable(std::string_view name);

// The evaluator's result for `expression` ("" when it is malformed; ERRORCODE() then says why).
std::string EvaluateExpression(std::string_view expression);

// Sets the variable `name` (upper-cased, 32 bytes) to `value` expanded (255 bytes); a value that
// starts with "=" is evaluated, and kept as written when it cannot be. The name "CLIPBOARD" puts
// the value on the clipboard instead.
void SetVariable(std::string_view value, std::string_view name);

// The stored text of a user variable, "" when unset (for the tests and the queue viewer).
std::string variableText(std::string_view name);

}  // namespace ov::scheduler
