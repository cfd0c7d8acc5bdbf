// The runtime's string built-ins over UTF-8 text.
#pragma once

#include <string>
#include <string_view>

namespace ov::rt {

// Unicode-aware case mapping ("é" <-> "É"); bytes that are not valid UTF-8 are kept as they are.
std::string UPPER(std::string_view s);
std::string LOWER(std::string_view s);

}  // namespace ov::rt
