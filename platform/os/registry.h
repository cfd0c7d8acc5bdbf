// The registry store: keys and values under the Windows root names, kept in one file,
// $XDG_CONFIG_HOME/orvane/registry.ini, in the registry's own export form:
//
//   [HKEY_CURRENT_USER\Software\Microsoft\Internet Account Manager]
//   "Default Mail Account"="00000001"
//   "RunID"=dword:0000002a
//   "GUID"=hex:01,02,ff
//
// Key and value names ignore case, as in the registry; a key made for a value makes its parent
// keys too. Every change re-reads the file, changes it and writes it whole through a temporary
// file under a lock, so two processes never lose each other's changes and a crash never leaves
// half a file. Lines the store cannot read are kept as they are. Functions return Windows error
// codes (winerr::kSuccess, kFileNotFound for a missing key or value, ...). Any thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ov::os {

enum class RegRoot : std::uint32_t {
  ClassesRoot = 0x80000000u,
  CurrentUser = 0x80000001u,
  LocalMachine = 0x80000002u,
  Users = 0x80000003u,
  CurrentConfig = 0x80000005u,
};

enum class RegType { String = 1, Binary = 3, Dword = 4 };

struct RegValue {
  std::string name;  // "" is the key's default value
  RegType type = RegType::String;
  std::string data;  // the text; a DWORD's 4 bytes, little-endian; the bytes of a binary value

  static RegValue text(std::string name, std::string text);
  static RegValue dword(std::string name, std::uint32_t value);
  static RegValue binary(std::string name, std::string bytes);
  std::uint32_t asDword() const;  // 0 unless a 4-byte value
};

class Registry {
 public:
  Registry();  // the user's store
  explicit Registry(std::filesystem::path file);

  const std::filesystem::path& file() const { return m_file; }

  int openKey(RegRoot root, std::string_view key) const;
  int createKey(RegRoot root, std::string_view key);
  int queryValue(RegRoot root, std::string_view key, std::string_view name, RegValue& value) const;
  // In the order the values were first set.
  int enumValues(RegRoot root, std::string_view key, std::vector<RegValue>& values) const;
  int setValue(RegRoot root, std::string_view key, const RegValue& value);
  int deleteValue(RegRoot root, std::string_view key, std::string_view name);
  // kAccessDenied while the key has subkeys, as the registry answers.
  int deleteKey(RegRoot root, std::string_view key);

  // "HKEY_CURRENT_USER", ...
  static std::string rootName(RegRoot root);
  // The full names and the short ones (HKCU, HKLM, HKCR, HKU, HKCC), in any case.
  static bool rootFromName(std::string_view name, RegRoot& root);

 private:
  std::filesystem::path m_file;
};

}  // namespace ov::os
