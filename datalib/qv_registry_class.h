// QVRegistryClass: registry values and keys by key text, and where the default mail account and
// the registered owner are kept, so the program can propose a mail server, sender address and
// sender name the user has not set.
//
// Backed by the registry store of platform/os (one file per user). Failures are recorded in
// LASTOP/LASTERROR/LASTKEYNAME and, unless in quiet mode, shown in a message box through the
// interaction host; reads then give their default, writes do nothing more.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/rt/queue.h"

namespace ov::os {
class Registry;
}

namespace ov::files {

constexpr uint32_t HKEY_CLASSES_ROOT = 0x80000000u;
constexpr uint32_t HKEY_CURRENT_USER = 0x80000001u;
constexpr uint32_t HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr uint32_t HKEY_USERS = 0x80000003u;

struct RegistryValueEntry {
  std::string VALUENAME;
  std::string VALUE;
};
using RegistryValueQueue = rt::Queue<RegistryValueEntry>;

class QVRegistryClass {
 public:
  QVRegistryClass();
  ~QVRegistryClass();

  uint8_t QUIETMODE = 0;
  std::string LASTOP;
  std::string LASTERROR;
  std::string LASTKEYNAME;
  RegistryValueQueue* Q = nullptr;

  void Init(uint8_t quietMode);
  void Kill();

  std::string Fetch(uint32_t root, std::string_view key, std::string_view valueName, std::string_view def = {});
  std::string GetValue(std::string_view key, std::string_view valueName, std::string_view def, uint32_t root);
  std::string GetValue(std::string_view key, std::string_view valueName, uint32_t root);
  void Update(uint32_t root, std::string_view key, std::string_view valueName, std::string_view value);
  void PutValue(std::string_view key, std::string_view valueName, std::string_view value, uint32_t root);
  void Remove(uint32_t root, std::string_view key);
  void Remove(uint32_t root, std::string_view key, std::string_view valueName);
  void DeleteValue(std::string_view key, std::string_view valueName, uint32_t root);
  void DeleteValue(std::string_view key, uint32_t root);
  void LoadQ(RegistryValueQueue& queue, uint32_t root, std::string_view key);
  void LoadQ(uint32_t root, std::string_view key);
  static uint32_t StringToHKey(std::string_view name);
  void ThrowError(std::string_view name, std::string_view action);

  std::string GetEmailRoot();
  std::string GetEmailServer();
  std::string GetEmailAddress();
  std::string GetEmailReplyToAddress();
  std::string GetEmailName();
  std::string GetRegUserName();

  // The store used (the user's by default); tests point it at a file of their own.
  void useStore(std::unique_ptr<os::Registry> store);

 private:
  os::Registry& store();
  std::string emailValue(std::string_view name);

  std::unique_ptr<os::Registry> m_store;
  std::unique_ptr<RegistryValueQueue> m_ownQ;
  int m_lastCode = 0;
};

}  // namespace ov::files
