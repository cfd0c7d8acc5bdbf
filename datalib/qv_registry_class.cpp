#include "datalib/qv_registry_class.h"

#include <vector>

#include "platform/os/registry.h"
#include "platform/os/win_msg.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"

namespace ov::files {
namespace {

constexpr std::string_view kAccountManager = "Software\\Microsoft\\Internet Account Manager";

os::RegRoot toRoot(uint32_t root) { return static_cast<os::RegRoot>(root); }

// A value name as the registry class compares it: leading blanks removed, clipped, upper case.
std::string nameKey(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return rt::UPPER(rt::clipView(s));
}

// Registry data as text: up to its first NUL, at most 255 characters.
std::string dataText(const std::string& data) {
  std::string_view v(data);
  v = v.substr(0, v.find('\0'));
  return std::string(v.substr(0, rt::utf8CutLength(v, 255)));
}

std::string clipped(std::string_view s) { return std::string(rt::clipView(s)); }

}  // namespace

QVRegistryClass::QVRegistryClass() = default;
QVRegistryClass::~QVRegistryClass() = default;

void QVRegistryClass::Init(uint8_t quietMode) {
  QUIETMODE = quietMode;
  m_ownQ = std::make_unique<RegistryValueQueue>();
  Q = m_ownQ.get();
}

void QVRegistryClass::Kill() {
  m_ownQ.reset();
  Q = nullptr;
}

void QVRegistryClass::useStore(std::unique_ptr<os::Registry> s) { m_store = std::move(s); }

os::Registry& QVRegistryClass::store() {
  if (!m_store) m_store = std::make_unique<os::Registry>();
  return *m_store;
}

void QVRegistryClass::ThrowError(std::string_view name, std::string_view action) {
  LASTOP = std::string(action);
  LASTKEYNAME = std::string(name);
  LASTERROR = std::to_string(m_lastCode);
  if (QUIETMODE != 1) {
    ui::MESSAGE("Error " + LASTOP + " " + clipped(name) + ":|" + LASTERROR, "Error");
  }
}

std::string QVRegistryClass::Fetch(uint32_t root, std::string_view key, std::string_view valueName,
                                   std::string_view def) {
  std::string result(def);
  std::string k = clipped(key);
  if (int rc = store().openKey(toRoot(root), k); rc != os::winerr::kSuccess) {
    m_lastCode = rc;
    ThrowError(k, "opening");
    return clipped(result);
  }
  std::vector<os::RegValue> values;
  if (int rc = store().enumValues(toRoot(root), k, values); rc != os::winerr::kSuccess) {
    m_lastCode = rc;
    ThrowError(k, "retrieving");
    return clipped(result);
  }
  std::string want = nameKey(valueName);
  for (const os::RegValue& v : values) {
    if (nameKey(v.name) == want) {
      result = dataText(v.data);
      break;
    }
  }
  return clipped(result);
}

std::string QVRegistryClass::GetValue(std::string_view key, std::string_view valueName, std::string_view def,
                                      uint32_t root) {
  return Fetch(root, key, valueName, def);
}

std::string QVRegistryClass::GetValue(std::string_view key, std::string_view valueName, uint32_t root) {
  return Fetch(root, key, valueName, {});
}

void QVRegistryClass::Update(uint32_t root, std::string_view key, std::string_view valueName,
                             std::string_view value) {
  std::string k = clipped(key);
  if (int rc = store().createKey(toRoot(root), k); rc != os::winerr::kSuccess) {
    m_lastCode = rc;
    ThrowError(k, "opening");
    return;
  }
  std::string_view v = rt::clipView(value);
  v = v.substr(0, rt::utf8CutLength(v, 499));
  std::string name = clipped(valueName);
  if (int rc = store().setValue(toRoot(root), k, os::RegValue::text(name, std::string(v)));
      rc != os::winerr::kSuccess) {
    m_lastCode = rc;
    ThrowError(name, "setting");
  }
}

void QVRegistryClass::PutValue(std::string_view key, std::string_view valueName, std::string_view value,
                               uint32_t root) {
  Update(root, key, valueName, value);
}

void QVRegistryClass::Remove(uint32_t root, std::string_view key) {
  std::string k = clipped(key);
  // The parent must exist (a key without "\" lies directly under the root).
  size_t slash = k.rfind('\\');
  if (slash != std::string::npos) {
    std::string parent = k.substr(0, slash);
    if (int rc = store().openKey(toRoot(root), parent); rc != os::winerr::kSuccess) {
      m_lastCode = rc;
      ThrowError(k, "opening");
      return;
    }
  }
  if (int rc = store().deleteKey(toRoot(root), k); rc != os::winerr::kSuccess) {
    m_lastCode = rc;
    ThrowError(k, "deleting");
  }
}

void QVRegistryClass::Remove(uint32_t root, std::string_view key, std::string_view valueName) {
  if (rt::clipView(valueName).empty()) {
    Remove(root, key);
    return;
  }
  std::string k = clipped(key);
  if (int rc = store().openKey(toRoot(root), k); rc != os::winerr::kSuccess) {
    m_lastCode = rc;
    ThrowError(k, "opening");
    return;
  }
  std::string name = clipped(valueName);
  if (int rc = store().deleteValue(toRoot(root), k, name); rc != os::winerr::kSuccess) {
    m_lastCode = rc;
    ThrowError(name, "deleting");
  }
}

void QVRegistryClass::DeleteValue(std::string_view key, std::string_view valueName, uint32_t root) {
  Remove(root, key, valueName);
}

void QVRegistryClass::DeleteValue(std::string_view key, uint32_t root) { Remove(root, key, ""); }

void QVRegistryClass::LoadQ(RegistryValueQueue& queue, uint32_t root, std::string_view key) {
  queue.FREE();
  std::string k = clipped(key);
  if (int rc = store().openKey(toRoot(root), k); rc != os::winerr::kSuccess) {
    m_lastCode = rc;
    ThrowError(k, "opening");
    return;
  }
  std::vector<os::RegValue> values;
  if (int rc = store().enumValues(toRoot(root), k, values); rc != os::winerr::kSuccess) {
    m_lastCode = rc;
    ThrowError(k, "retrieving");
    return;
  }
  static const rt::QueueOrder<RegistryValueEntry> byName{rt::ascending(&RegistryValueEntry::VALUENAME)};
  for (const os::RegValue& v : values) {
    std::string_view n(v.name);
    while (!n.empty() && n.front() == ' ') n.remove_prefix(1);
    queue.buf.VALUENAME = clipped(n);
    queue.buf.VALUE = clipped(dataText(v.data));
    queue.ADD(byName);
  }
}

void QVRegistryClass::LoadQ(uint32_t root, std::string_view key) {
  if (!Q) Init(QUIETMODE);
  LoadQ(*Q, root, key);
}

uint32_t QVRegistryClass::StringToHKey(std::string_view name) {
  // The registry's own short names (HKLM, HKCU, HKCR, HKU) mean what they say.
  os::RegRoot exact;
  if (os::Registry::rootFromName(rt::clipView(name), exact) && exact != os::RegRoot::CurrentConfig)
    return static_cast<uint32_t>(exact);
  std::string up = rt::UPPER(name);
  if (up.find("ROOT") != std::string::npos) return HKEY_CLASSES_ROOT;
  if (up.find("LOCAL") != std::string::npos || up.find("MACHINE") != std::string::npos) return HKEY_LOCAL_MACHINE;
  if (up.find("USERS") != std::string::npos) return HKEY_USERS;
  return HKEY_CURRENT_USER;
}

std::string QVRegistryClass::GetEmailRoot() {
  std::string n = Fetch(HKEY_CURRENT_USER, kAccountManager, "Default Mail Account", {});
  n = n.substr(0, rt::utf8CutLength(n, 8));
  if (rt::clipView(n).empty()) return {};
  return std::string(kAccountManager) + "\\Accounts\\" + clipped(n);
}

std::string QVRegistryClass::emailValue(std::string_view name) {
  return clipped(Fetch(HKEY_CURRENT_USER, GetEmailRoot(), name, {}));
}

std::string QVRegistryClass::GetEmailServer() { return emailValue("SMTP Server"); }
std::string QVRegistryClass::GetEmailAddress() { return emailValue("SMTP Email Address"); }
std::string QVRegistryClass::GetEmailReplyToAddress() { return emailValue("SMTP Reply To Email Address"); }
std::string QVRegistryClass::GetEmailName() { return emailValue("SMTP Display Name"); }

std::string QVRegistryClass::GetRegUserName() {
  return Fetch(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "RegisteredOwner", {});
}

}  // namespace ov::files
