// A date in the user's date picture (FORMAT.DATE), as the data library's FMTDATE gives it.
#pragma once

#include <cstdint>
#include <string>

#include "datalib/globals.h"
#include "platform/rt/picture.h"

namespace ov::scheduler::detail {

// Empty for date 0; pictures d1..d18 by the number in characters 2 and 3 of FORMAT.DATE ("d7",
// "d17"), d3 for anything else.
inline std::string userDateText(int32_t date) {
  if (date == 0) return {};
  const std::string_view picture = files::FORMAT.DATE.view();
  int n = 0;
  for (size_t i = 1; i < 3 && i < picture.size() && picture[i] >= '0' && picture[i] <= '9'; ++i)
    n = n * 10 + (picture[i] - '0');
  if (n < 1 || n > 18) n = 3;
  return rt::FORMAT(double(date), "@d" + std::to_string(n));
}

}  // namespace ov::scheduler::detail
