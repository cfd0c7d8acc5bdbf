#include "platform/os/registry.h"

#include "platform/os/win_msg.h"
#include "platform/rt/text.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace ov::os {
namespace {

struct Line {
  bool raw = false;
  std::string text;  // a line the store could not read, kept as it was
  RegValue value;
};

struct Section {
  std::string path;  // as written: "HKEY_CURRENT_USER\Software\..."
  std::string folded;
  std::vector<Line> lines;
};

struct Store {
  std::vector<std::string> preamble;
  std::vector<Section> sections;
};

std::string fold(std::string_view s) { return rt::UPPER(s); }

// "HKEY_CURRENT_USER" + the key's components, without empty ones; false for a name the
// registry would refuse.
bool keyPath(RegRoot root, std::string_view key, std::string& path) {
  path = Registry::rootName(root);
  if (path.empty()) return false;
  size_t start = 0;
  while (start <= key.size()) {
    size_t end = key.find('\\', start);
    if (end == std::string_view::npos) end = key.size();
    std::string_view part = key.substr(start, end - start);
    if (part.size() > 255) return false;
    for (unsigned char c : part)
      if (c < 0x20) return false;
    if (!part.empty()) {
      path += '\\';
      path += part;
    }
    start = end + 1;
  }
  return true;
}

std::string foldedPath(std::string_view written) {
  std::string out;
  size_t start = 0;
  while (start <= written.size()) {
    size_t end = written.find('\\', start);
    if (end == std::string_view::npos) end = written.size();
    std::string_view part = written.substr(start, end - start);
    if (!part.empty()) {
      if (!out.empty()) out += '\\';
      out += part;
    }
    start = end + 1;
  }
  return fold(out);
}

std::string escape(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[5];
          std::snprintf(buf, sizeof buf, "\\x%02x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

// Reads a quoted text at s[i] (at the opening quote); i ends after the closing quote.
bool unquote(std::string_view s, size_t& i, std::string& out) {
  if (i >= s.size() || s[i] != '"') return false;
  ++i;
  out.clear();
  while (i < s.size()) {
    char c = s[i++];
    if (c == '"') return true;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (i >= s.size()) return false;
    char e = s[i++];
    switch (e) {
      case '\\': out += '\\'; break;
      case '"': out += '"'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'x': {
        if (i + 2 > s.size()) return false;
        char* end = nullptr;
        std::string hex(s.substr(i, 2));
        long v = std::strtol(hex.c_str(), &end, 16);
        if (*end != '\0') return false;
        out += static_cast<char>(v);
        i += 2;
        break;
      }
      default: return false;
    }
  }
  return false;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool parseValue(std::string_view line, RegValue& v) {
  size_t i = 0;
  if (line.rfind("@=", 0) == 0) {
    v.name.clear();
    i = 1;
  } else {
    if (!unquote(line, i, v.name) || i >= line.size() || line[i] != '=') return false;
  }
  ++i;  // '='
  std::string_view rest = line.substr(i);
  if (!rest.empty() && rest[0] == '"') {
    size_t j = 0;
    v.type = RegType::String;
    return unquote(rest, j, v.data) && j == rest.size();
  }
  if (rest.rfind("dword:", 0) == 0) {
    std::string_view hex = rest.substr(6);
    if (hex.size() != 8) return false;
    std::uint32_t n = 0;
    for (char c : hex) {
      int d = hexDigit(c);
      if (d < 0) return false;
      n = n << 4 | static_cast<std::uint32_t>(d);
    }
    v = RegValue::dword(v.name, n);
    return true;
  }
  if (rest.rfind("hex:", 0) == 0) {
    std::string_view hex = rest.substr(4);
    std::string bytes;
    size_t k = 0;
    while (k < hex.size()) {
      if (k + 2 > hex.size()) return false;
      int hi = hexDigit(hex[k]), lo = hexDigit(hex[k + 1]);
      if (hi < 0 || lo < 0) return false;
      bytes += static_cast<char>(hi << 4 | lo);
      k += 2;
      if (k < hex.size()) {
        if (hex[k] != ',') return false;
        ++k;
      }
    }
    v.type = RegType::Binary;
    v.data = bytes;
    return true;
  }
  return false;
}

std::string formatValue(const RegValue& v) {
  std::string out = v.name.empty() ? "@=" : "\"" + escape(v.name) + "\"=";
  char buf[16];
  switch (v.type) {
    case RegType::String: out += "\"" + escape(v.data) + "\""; break;
    case RegType::Dword:
      std::snprintf(buf, sizeof buf, "dword:%08x", v.asDword());
      out += buf;
      break;
    case RegType::Binary:
      out += "hex:";
      for (size_t k = 0; k < v.data.size(); ++k) {
        std::snprintf(buf, sizeof buf, k ? ",%02x" : "%02x", static_cast<unsigned char>(v.data[k]));
        out += buf;
      }
      break;
  }
  return out;
}

// The store's text; kSuccess with an empty store when the file does not exist.
int load(const std::filesystem::path& file, Store& store) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return winerr::kSuccess;
    return winerr::kAccessDenied;
  }
  std::string line;
  Section* current = nullptr;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string trimmed = line;
    while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t')) trimmed.pop_back();
    if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
      std::string path = trimmed.substr(1, trimmed.size() - 2);
      store.sections.push_back({path, foldedPath(path), {}});
      current = &store.sections.back();
      continue;
    }
    if (trimmed.empty()) continue;
    if (!current) {
      store.preamble.push_back(line);
      continue;
    }
    Line l;
    if (!parseValue(line, l.value)) {
      l.raw = true;
      l.text = line;
    }
    current->lines.push_back(std::move(l));
  }
  return in.bad() ? winerr::kAccessDenied : winerr::kSuccess;
}

int save(const std::filesystem::path& file, const Store& store) {
  std::ostringstream out;
  if (store.preamble.empty()) out << "; Orvane registry store\n";
  for (auto& p : store.preamble) out << p << "\n";
  for (auto& s : store.sections) {
    out << "\n[" << s.path << "]\n";
    for (auto& l : s.lines) out << (l.raw ? l.text : formatValue(l.value)) << "\n";
  }
  std::string text = out.str();
  std::string tmp = file.string() + ".XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) return winErrorFromErrno(errno);
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      close(fd);
      unlink(tmp.c_str());
      return winErrorFromErrno(err);
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (fsync(fd) != 0 || close(fd) != 0) {
    int err = errno;
    unlink(tmp.c_str());
    return winErrorFromErrno(err);
  }
  if (rename(tmp.c_str(), file.c_str()) != 0) {
    int err = errno;
    unlink(tmp.c_str());
    return winErrorFromErrno(err);
  }
  return winerr::kSuccess;
}

// Holds the store's write lock for the life of a change.
class WriteLock {
 public:
  explicit WriteLock(const std::filesystem::path& file) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    m_fd = open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) {
      m_err = winErrorFromErrno(errno);
      return;
    }
    while (flock(m_fd, LOCK_EX) != 0) {
      if (errno != EINTR) {
        m_err = winErrorFromErrno(errno);
        break;
      }
    }
  }
  ~WriteLock() {
    if (m_fd >= 0) close(m_fd);
  }
  int error() const { return m_err; }

 private:
  int m_fd = -1;
  int m_err = winerr::kSuccess;
};

Section* find(Store& store, const std::string& folded) {
  for (auto& s : store.sections)
    if (s.folded == folded) return &s;
  return nullptr;
}

bool hasSubkeys(const Store& store, const std::string& folded) {
  std::string prefix = folded + "\\";
  for (auto& s : store.sections)
    if (s.folded.rfind(prefix, 0) == 0) return true;
  return false;
}

bool keyExists(Store& store, const std::string& folded) {
  return find(store, folded) || hasSubkeys(store, folded) || folded.find('\\') == std::string::npos;
}

// The key's section, made with those of its parents when missing.
Section& make(Store& store, const std::string& path) {
  size_t pos = path.find('\\');
  while (pos != std::string::npos) {
    std::string parent = path.substr(0, pos);
    if (!find(store, fold(parent))) store.sections.push_back({parent, fold(parent), {}});
    pos = path.find('\\', pos + 1);
  }
  if (Section* s = find(store, fold(path))) return *s;
  store.sections.push_back({path, fold(path), {}});
  return store.sections.back();
}

template <typename Change>
int change(const std::filesystem::path& file, Change&& apply) {
  WriteLock lock(file);
  if (lock.error() != winerr::kSuccess) return lock.error();
  Store store;
  if (int err = load(file, store); err != winerr::kSuccess) return err;
  bool changed = false;
  if (int err = apply(store, changed); err != winerr::kSuccess) return err;
  return changed ? save(file, store) : winerr::kSuccess;
}

}  // namespace

RegValue RegValue::text(std::string name, std::string text) {
  return {std::move(name), RegType::String, std::move(text)};
}

RegValue RegValue::dword(std::string name, std::uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return {std::move(name), RegType::Dword, bytes};
}

RegValue RegValue::binary(std::string name, std::string bytes) {
  return {std::move(name), RegType::Binary, std::move(bytes)};
}

std::uint32_t RegValue::asDword() const {
  if (data.size() != 4) return 0;
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(data[i]);
  return v;
}

Registry::Registry() {
  std::filesystem::path config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
    config = xdg;
  else if (const char* home = std::getenv("HOME"))
    config = std::filesystem::path(home) / ".config";
  else
    config = "/tmp";
  m_file = config / "orvane" / "registry.ini";
}

Registry::Registry(std::filesystem::path file) : m_file(std::move(file)) {}

std::string Registry::rootName(RegRoot root) {
  switch (root) {
    case RegRoot::ClassesRoot: return "HKEY_CLASSES_ROOT";
    case RegRoot::CurrentUser: return "HKEY_CURRENT_USER";
    case RegRoot::LocalMachine: return "HKEY_LOCAL_MACHINE";
    case RegRoot::Users: return "HKEY_USERS";
    case RegRoot::CurrentConfig: return "HKEY_CURRENT_CONFIG";
  }
  return {};
}

bool Registry::rootFromName(std::string_view name, RegRoot& root) {
  struct Name {
    const char* full;
    const char* brief;
    RegRoot root;
  };
  static const Name kNames[] = {
      {"HKEY_CLASSES_ROOT", "HKCR", RegRoot::ClassesRoot},  {"HKEY_CURRENT_USER", "HKCU", RegRoot::CurrentUser},
      {"HKEY_LOCAL_MACHINE", "HKLM", RegRoot::LocalMachine}, {"HKEY_USERS", "HKU", RegRoot::Users},
      {"HKEY_CURRENT_CONFIG", "HKCC", RegRoot::CurrentConfig},
  };
  std::string upper = fold(name);
  for (const Name& n : kNames) {
    if (upper == n.full || upper == n.brief) {
      root = n.root;
      return true;
    }
  }
  return false;
}

int Registry::openKey(RegRoot root, std::string_view key) const {
  std::string path;
  if (!keyPath(root, key, path)) return winerr::kInvalidParameter;
  Store store;
  if (int err = load(m_file, store); err != winerr::kSuccess) return err;
  return keyExists(store, fold(path)) ? winerr::kSuccess : winerr::kFileNotFound;
}

int Registry::createKey(RegRoot root, std::string_view key) {
  std::string path;
  if (!keyPath(root, key, path)) return winerr::kInvalidParameter;
  return change(m_file, [&](Store& store, bool& changed) {
    if (!find(store, fold(path)) && path.find('\\') != std::string::npos) {
      make(store, path);
      changed = true;
    }
    return winerr::kSuccess;
  });
}

int Registry::queryValue(RegRoot root, std::string_view key, std::string_view name, RegValue& value) const {
  std::string path;
  if (!keyPath(root, key, path)) return winerr::kInvalidParameter;
  Store store;
  if (int err = load(m_file, store); err != winerr::kSuccess) return err;
  Section* s = find(store, fold(path));
  if (!s) return winerr::kFileNotFound;
  std::string wanted = fold(name);
  for (auto& l : s->lines) {
    if (!l.raw && fold(l.value.name) == wanted) {
      value = l.value;
      return winerr::kSuccess;
    }
  }
  return winerr::kFileNotFound;
}

int Registry::enumValues(RegRoot root, std::string_view key, std::vector<RegValue>& values) const {
  values.clear();
  std::string path;
  if (!keyPath(root, key, path)) return winerr::kInvalidParameter;
  Store store;
  if (int err = load(m_file, store); err != winerr::kSuccess) return err;
  Section* s = find(store, fold(path));
  if (!s) return keyExists(store, fold(path)) ? winerr::kSuccess : winerr::kFileNotFound;
  for (auto& l : s->lines)
    if (!l.raw) values.push_back(l.value);
  return winerr::kSuccess;
}

int Registry::setValue(RegRoot root, std::string_view key, const RegValue& value) {
  std::string path;
  if (!keyPath(root, key, path)) return winerr::kInvalidParameter;
  return change(m_file, [&](Store& store, bool& changed) {
    Section& s = make(store, path);
    changed = true;
    std::string wanted = fold(value.name);
    for (auto& l : s.lines) {
      if (!l.raw && fold(l.value.name) == wanted) {
        std::string keptName = l.value.name;  // the registry keeps the first spelling of a name
        l.value = value;
        l.value.name = keptName;
        return winerr::kSuccess;
      }
    }
    s.lines.push_back({false, {}, value});
    return winerr::kSuccess;
  });
}

int Registry::deleteValue(RegRoot root, std::string_view key, std::string_view name) {
  std::string path;
  if (!keyPath(root, key, path)) return winerr::kInvalidParameter;
  return change(m_file, [&](Store& store, bool& changed) {
    Section* s = find(store, fold(path));
    if (!s) return winerr::kFileNotFound;
    std::string wanted = fold(name);
    for (auto it = s->lines.begin(); it != s->lines.end(); ++it) {
      if (!it->raw && fold(it->value.name) == wanted) {
        s->lines.erase(it);
        changed = true;
        return winerr::kSuccess;
      }
    }
    return winerr::kFileNotFound;
  });
}

int Registry::deleteKey(RegRoot root, std::string_view key) {
  std::string path;
  if (!keyPath(root, key, path)) return winerr::kInvalidParameter;
  if (path.find('\\') == std::string::npos) return winerr::kAccessDenied;  // a root stays
  return change(m_file, [&](Store& store, bool& changed) {
    std::string folded = fold(path);
    if (hasSubkeys(store, folded)) return winerr::kAccessDenied;
    for (auto it = store.sections.begin(); it != store.sections.end(); ++it) {
      if (it->folded == folded) {
        store.sections.erase(it);
        changed = true;
        return winerr::kSuccess;
      }
    }
    return winerr::kFileNotFound;
  });
}

}  // namespace ov::os
