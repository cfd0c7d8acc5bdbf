// The user running the program.
#pragma once

#include <string>

namespace ov::os {

// The login name (what a network user name stands for here); $USER when the account has no
// entry; "" when neither is known.
std::string userName();

// The full name of the account's GECOS field (up to its first comma); "" when not set.
std::string userFullName();

}  // namespace ov::os
