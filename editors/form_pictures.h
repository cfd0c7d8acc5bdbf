// The pictures that the editors' forms give their date and time fields: the user's configured
// FORMAT:DATE and FORMAT:TIME, with the program's defaults while they are blank.
#pragma once

#include <string>

#include "datalib/globals.h"

namespace ov::editors {

inline std::string configuredDatePicture() {
  return "@" + std::string(files::FORMAT.DATE.isBlank() ? "d2" : files::FORMAT.DATE.clipped());
}

inline std::string configuredTimePicture() {
  return "@" + std::string(files::FORMAT.TIME.isBlank() ? "t7" : files::FORMAT.TIME.clipped());
}

}  // namespace ov::editors
