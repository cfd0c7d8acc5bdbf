// The texts of the zip and unzip libraries' result codes, shared by both backup programs.
#pragma once

#include <string>

namespace ov::backup {

// "" for 0; "Unknown error code #" and the code for a code the table lacks.
std::string ZipErrorText(long code);

}  // namespace ov::backup
