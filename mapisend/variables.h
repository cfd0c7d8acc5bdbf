// Variables in square brackets in the subjects, texts and attachment names of stored messages:
// [TODAY], [NOW], [DATE+1], [CONTACT 12], [=expression], ...
//
// ExpandVariables replaces every bracket group of a text by its value, innermost groups first
// ([A[B]] looks up the name A followed by B's value). "[[" gives "[", "[]" gives "]"; a "[" in the
// last place, or one whose group never closes, stays as it is.
//
// A value is data, never text to expand: whatever a value holds (the clipboard's text, a contact's
// name, a user variable), its brackets are kept as they stand, so data cannot start an expression.
//
// TranslateVariable gives the value of one name: the date and time words (with a day offset +n or
// -n and a base date "base::WORD"), CLIPBOARD, FOCUS, =expression, CONTACT n, else the user
// variable of VARQ (with the offset added to a number); an unknown name gives "" or the bare
// offset.
//
// Threading: the program's one thread (VARQ, the CONTACT buffer, the clipboard).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ov::mapisend {

constexpr size_t kExpandWidth = 16384;     // the work text; longer results are cut
constexpr size_t kVariableNameWidth = 256;
constexpr int kGroupStepLimit = 5000;      // steps of the scan of one bracket group

std::string ExpandVariables(std::string_view text);
std::string TranslateVariable(std::string_view name);

}  // namespace ov::mapisend
