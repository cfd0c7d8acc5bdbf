#include "ini.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "paths.h"
#include "text.h"

namespace ov::rt {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string_view trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

bool sameName(std::string_view a, std::string_view b) { return UPPER(a) == UPPER(b); }

struct IniText {
  std::vector<std::string> lines;
  bool crlf = false;
  bool bom = false;
};

// The section name of a header line, or false when the line is not a header.
bool headerName(std::string_view line, std::string_view& name) {
  std::string_view t = trim(line);
  if (t.empty() || t.front() != '[') return false;
  size_t close = t.find(']');
  if (close == std::string_view::npos) return false;
  name = trim(t.substr(1, close - 1));
  return true;
}

// The key and raw value of a key line, or false for comments and lines without "=".
bool keyLine(std::string_view line, std::string_view& key, std::string_view& value) {
  std::string_view t = trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return false;
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return false;
  key = trim(t.substr(0, eq));
  value = trim(t.substr(eq + 1));
  return true;
}

bool readIni(const std::string& path, IniText& ini) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream ss;
  ss << in.rdbuf();
  std::string text = ss.str();
  if (text.compare(0, kBom.size(), kBom) == 0) {
    ini.bom = true;
    text.erase(0, kBom.size());
  }
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    size_t end = nl == std::string::npos ? text.size() : nl;
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
      if (ini.lines.empty()) ini.crlf = true;
    }
    ini.lines.push_back(std::move(line));
    start = end + 1;
  }
  return true;
}

// [first, end) line range of a section's body; false when the section is missing.
bool findSection(const IniText& ini, std::string_view section, size_t& first, size_t& end) {
  std::string_view name;
  for (size_t i = 0; i < ini.lines.size(); ++i) {
    if (!headerName(ini.lines[i], name) || !sameName(name, section)) continue;
    first = i + 1;
    end = first;
    while (end < ini.lines.size() && !headerName(ini.lines[end], name)) ++end;
    return true;
  }
  return false;
}

bool lookup(const IniText& ini, std::string_view section, std::string_view key, std::string& value) {
  size_t first, end;
  if (!findSection(ini, section, first, end)) return false;
  std::string_view k, v;
  for (size_t i = first; i < end; ++i) {
    if (!keyLine(ini.lines[i], k, v) || !sameName(k, key)) continue;
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
      v = v.substr(1, v.size() - 2);
    value.assign(v);
    return true;
  }
  return false;
}

void setValue(IniText& ini, std::string_view section, std::string_view key, std::string_view value) {
  size_t first, end;
  if (!findSection(ini, section, first, end)) {
    ini.lines.push_back("[" + std::string(section) + "]");
    ini.lines.push_back(std::string(key) + "=" + std::string(value));
    return;
  }
  std::string_view k, v;
  for (size_t i = first; i < end; ++i) {
    if (!keyLine(ini.lines[i], k, v) || !sameName(k, key)) continue;
    ini.lines[i] = std::string(k) + "=" + std::string(value);
    return;
  }
  size_t at = end;
  while (at > first && trim(ini.lines[at - 1]).empty()) --at;  // before the blank lines
  ini.lines.insert(ini.lines.begin() + static_cast<std::ptrdiff_t>(at), std::string(key) + "=" + std::string(value));
}

Err errnoError(int e) {
  switch (e) {
    case EACCES:
    case EPERM:
    case EROFS: return Err::NoAccess;
    case ENOENT:
    case ENOTDIR: return Err::NoPath;
    default: return Err::FileSystem;
  }
}

Err fail(Err err, const std::string& path, int e) {
  setError(err, path, std::strerror(e));
  return err;
}

// Writes `content` to a new file beside `path` and renames it over `path`.
Err replaceFile(const std::string& path, const std::string& content, IniFlush flush) {
  std::string tmp = path + ".XXXXXX";
  int fd = ::mkstemp(tmp.data());
  if (fd < 0) return fail(errnoError(errno), path, errno);
  struct stat st;
  mode_t mode;
  if (::stat(path.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  bool ok = ::fchmod(fd, mode) == 0;
  for (size_t done = 0; ok && done < content.size();) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  if (flush == IniFlush::Durable) ok = ok && ::fsync(fd) == 0;
  int e = errno;
  ok = ::close(fd) == 0 && ok;
  if (ok && ::rename(tmp.c_str(), path.c_str()) == 0) return Err::None;
  if (ok) e = errno;
  (void)::unlink(tmp.c_str());  // best effort: the old file is still in place
  return fail(errnoError(e), path, e);
}

bool nameIsWritable(std::string_view name, std::string_view forbidden) {
  return !trim(name).empty() && name.find_first_of(forbidden) == std::string_view::npos;
}

// Holds an exclusive lock on a folder while the file in it is read, changed and replaced.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder) : m_fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (m_fd >= 0) {
      while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~FolderLock() {
    if (m_fd >= 0) ::close(m_fd);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int m_fd;
};

}  // namespace

std::string GETINI(std::string_view section, std::string_view key, std::string_view defaultValue,
                   std::string_view file) {
  IniText ini;
  std::string value;
  if (!readIni(iniFilePath(file), ini) || !lookup(ini, trim(section), trim(key), value))
    return std::string(defaultValue);
  return value;
}

Err putIniValues(std::string_view section, const std::vector<std::pair<std::string, std::string>>& values,
                 std::string_view file, IniFlush flush) {
  section = trim(section);
  if (!nameIsWritable(section, "]\r\n")) return Err::BadParameters;
  for (const auto& kv : values)
    if (!nameIsWritable(kv.first, "=\r\n") || kv.first.front() == '[' || kv.first.front() == ';')
      return Err::BadParameters;

  std::string path = iniFilePath(file);
  PathParts parts = splitPath(path);
  std::string folder = parts.folder.empty() ? std::string(".") : parts.folder;
  std::string config = configFolder() + "/";
  if (path.compare(0, config.size(), config) == 0) {
    if (Err err = makeFolders(config); err != Err::None) {
      setError(err, path);
      return err;
    }
  }
  FolderLock lock(folder);
  IniText ini;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && !readIni(path, ini)) return fail(Err::NoAccess, path, errno);
  for (const auto& [key, raw] : values) {
    std::string value(trim(raw));
    for (char& c : value)
      if (c == '\r' || c == '\n') c = ' ';
    setValue(ini, section, trim(key), value);
  }
  std::string content(ini.bom ? kBom : std::string_view());
  const char* eol = ini.crlf ? "\r\n" : "\n";
  for (const std::string& line : ini.lines) content += line + eol;
  if (Err err = replaceFile(path, content, flush); err != Err::None) return err;
  clearError();
  return Err::None;
}

Err PUTINI(std::string_view section, std::string_view key, std::string_view value, std::string_view file) {
  return putIniValues(section, {{std::string(key), std::string(value)}}, file);
}

void INIClass::Init(std::string_view fileName) { m_file.assign(fileName); }

std::string INIClass::TryFetch(std::string_view section, std::string_view key) const {
  return GETINI(section, key, {}, m_file);
}

std::string INIClass::Fetch(std::string_view section, std::string_view key, std::string_view defaultValue) const {
  return GETINI(section, key, defaultValue, m_file);
}

Err INIClass::Update(std::string_view section, std::string_view key, std::string_view value) {
  return PUTINI(section, key, value, m_file);
}

bool INIClass::Fetch(std::string_view procedure, WindowPlace& place) const {
  std::string maximize = TryFetch(procedure, "Maximize");
  bool yes = sameName(maximize, "Yes");
  if (!yes && !sameName(maximize, "No")) return false;
  if (!TryFetch(procedure, "XPos").empty()) {
    place.x = static_cast<int>(textToNumber(TryFetch(procedure, "XPos")));
    place.y = static_cast<int>(textToNumber(TryFetch(procedure, "YPos")));
    if (place.resizable) {
      place.width = static_cast<int>(textToNumber(TryFetch(procedure, "Width")));
      place.height = static_cast<int>(textToNumber(TryFetch(procedure, "Height")));
    }
  }
  place.maximized = yes;
  return true;
}

Err INIClass::Update(std::string_view procedure, const WindowPlace& place) {
  if (place.minimized) return Err::None;
  std::vector<std::pair<std::string, std::string>> values{{"Maximize", place.maximized ? "Yes" : "No"}};
  if (!place.maximized) {
    values.emplace_back("XPos", std::to_string(place.x));
    values.emplace_back("YPos", std::to_string(place.y));
    if (place.resizable) {
      values.emplace_back("Height", std::to_string(place.height));
      values.emplace_back("Width", std::to_string(place.width));
    }
  }
  return putIniValues(procedure, values, m_file);
}

}  // namespace ov::rt
