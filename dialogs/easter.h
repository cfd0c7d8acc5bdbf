// Easter Sunday of a year, and the holiday form's rule for holidays that move with it.
#pragma once

#include <cstdint>
#include <string_view>

namespace ov::dialogs {

// EasterDate: the day number of Easter Sunday of `year` in the Gregorian calendar.
int32_t EasterDate(int32_t year);

// The date a holiday gets when its type is switched to "Easter" on day `today`: the coming Easter
// (this year's while it has not passed, Easter Sunday itself included) replaces a date more than
// 30 days before it and the date of a holiday named "Easter"; "Good Friday" then falls two days
// before it and "Easter Monday" the day after. Names compare upper-cased, trailing blanks ignored.
int32_t easterRelativeDate(int32_t holidayDate, std::string_view description, int32_t today);

}  // namespace ov::dialogs
