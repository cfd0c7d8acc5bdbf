// Decimal digits of a double, shared by numberToText and the number pictures. Internal.
#pragma once

#include <string>

namespace ov::rt::detail {

// Splits |value| into the digits before the decimal point (at least "0") and exactly `places`
// digits after it, rounded half away from zero on the shortest decimal form that reads back to
// the value (so 2.345 rounds to 2.35, as it reads, not to the 2.34 its binary form suggests).
// Returns false for infinity and NaN.
bool decimalDigits(double value, int places, std::string& whole, std::string& fraction);

}  // namespace ov::rt::detail
