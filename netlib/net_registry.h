// Single registry values for the library and its callers, kept in the registry store of
// platform/os ($XDG_CONFIG_HOME/orvane/registry.ini). Values travel as text: a number is its
// decimal text, binary data the raw bytes.
//
// Root keys are the registry's predefined handles as numbers (HKEY_CURRENT_USER 0x80000001,
// HKEY_LOCAL_MACHINE 0x80000002, ...). Types: 3 binary, 4 32-bit number, anything else text.
// Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ov::net {

constexpr std::uint32_t kHkeyCurrentUser = 0x80000001u;
constexpr std::uint32_t kHkeyLocalMachine = 0x80000002u;
constexpr long kRegText = 1;
constexpr long kRegBinary = 3;
constexpr long kRegNumber = 4;

// The value, with `found` set, when the key and value exist with exactly the expected type and (for
// text) at least one character. Binary: the bytes as stored; number: unsigned decimal text; text:
// without trailing blanks. Otherwise `found` is false and the result is empty.
std::string NetGetRegistry(std::uint32_t root, long type, bool& found, std::string_view keyPath,
                           std::string_view valueName);

// Writes one value, creating the key when needed: 0 written, -1 the key could not be created,
// -2 the value could not be written. Binary: every byte of `value`; number: `value` read as an
// unsigned number (0 when it is not one); text: `value` without trailing blanks.
long NetSetRegistry(std::uint32_t root, long type, std::string_view keyPath, std::string_view valueName,
                    std::string_view value);

}  // namespace ov::net
