#include "netlib/net_registry.h"

#include <cmath>
#include <string>

#include "netlib/detail/log.h"
#include "platform/os/registry.h"
#include "platform/os/win_msg.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"

namespace ov::net {
namespace {

constexpr size_t kKeyPathMax = 1023;
constexpr size_t kValueNameMax = 4095;
constexpr size_t kValueMax = 4096;

std::string_view cut(std::string_view s, size_t max) { return s.substr(0, std::min(s.size(), max)); }

os::RegType storeType(long type) {
  if (type == kRegBinary) return os::RegType::Binary;
  if (type == kRegNumber) return os::RegType::Dword;
  return os::RegType::String;
}

}  // namespace

std::string NetGetRegistry(std::uint32_t root, long type, bool& found, std::string_view keyPath,
                           std::string_view valueName) {
  found = false;
  const auto hkey = static_cast<os::RegRoot>(root);
  std::string path(cut(rt::clipView(keyPath), kKeyPathMax));
  std::string name(cut(rt::clipView(valueName), kValueNameMax));
  os::Registry registry;
  if (int err = registry.openKey(hkey, path); err != os::winerr::kSuccess) {
    if (err == os::winerr::kFileNotFound)
      detail::logLine("Reg_OpenKey", "Registry Entry not found. loc:ret = 2. Returning hkey = 0 trying to open = " + path,
                      detail::kLevelError);
    else
      detail::logLine("Reg_OpenKey", "Error returned from RegGetValue = " + std::to_string(err) + " trying to open = " + path,
                      detail::kLevelError);
    return {};
  }
  os::RegValue value;
  if (int err = registry.queryValue(hkey, path, name, value); err != os::winerr::kSuccess) {
    if (err != os::winerr::kFileNotFound)
      detail::logLine("Reg_GetValue",
                      "Error returned from RegGetValue = " + std::to_string(err) + " HKEY = " + std::to_string(root) +
                          " value = " + name,
                      detail::kLevelError);
    return {};
  }
  if (value.type != storeType(type)) return {};
  std::string data(cut(value.data, kValueMax));
  switch (value.type) {
    case os::RegType::Binary:
      found = true;
      return data;
    case os::RegType::Dword:
      found = true;
      return std::to_string(value.asDword());
    case os::RegType::String: {
      std::string text(rt::clipView(data.substr(0, data.find('\0'))));
      if (text.empty()) return {};
      found = true;
      return text;
    }
  }
  return {};
}

long NetSetRegistry(std::uint32_t root, long type, std::string_view keyPath, std::string_view valueName,
                    std::string_view value) {
  const auto hkey = static_cast<os::RegRoot>(root);
  std::string path(cut(rt::clipView(keyPath), kKeyPathMax));
  std::string name(cut(rt::clipView(valueName), kValueNameMax));
  os::Registry registry;
  if (int err = registry.createKey(hkey, path); err != os::winerr::kSuccess) {
    detail::logLine("Reg_CreateKey", "Error returned from RegCreateKey = " + std::to_string(err), detail::kLevelError);
    return -1;
  }
  os::RegValue stored;
  if (type == kRegBinary) {
    stored = os::RegValue::binary(name, std::string(cut(value, kValueMax)));
  } else if (type == kRegNumber) {
    double n = rt::textToNumber(value);
    auto number = static_cast<std::uint32_t>(static_cast<std::int64_t>(std::trunc(std::fmod(n, 4294967296.0))));
    stored = os::RegValue::dword(name, number);
  } else {
    stored = os::RegValue::text(name, std::string(rt::clipView(cut(value, kValueMax))));
  }
  if (int err = registry.setValue(hkey, path, stored); err != os::winerr::kSuccess) {
    detail::logLine("Reg_SetValue",
                    "Error returned from RegSetValueEx.Error = " + std::to_string(err) + "p_HKey = " +
                        std::to_string(root) + "p_Entry = " + name + "p_Value = " + std::string(value),
                    detail::kLevelError);
    return -2;
  }
  return 0;
}

}  // namespace ov::net
