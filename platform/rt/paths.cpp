#include "paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "date_time.h"
#include "fixed_string.h"
#include "text.h"

namespace ov::rt {
namespace {

bool exists(const std::string& p) {
  struct stat st;
  return !p.empty() && ::stat(p.c_str(), &st) == 0;
}

// Names in a folder, sorted ignoring case (ties by exact name), without "." and "..".
std::vector<std::string> folderNames(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return names;
  while (struct dirent* e = ::readdir(dir)) {
    std::string_view n = e->d_name;
    if (n == "." || n == "..") continue;
    names.emplace_back(n);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    int c = compareText(a, b, true);
    return c != 0 ? c < 0 : a < b;
  });
  return names;
}

std::string join(const std::string& folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  if (folder.back() == '/') return folder + std::string(name);
  return folder + "/" + std::string(name);
}

std::string envFolder(const char* var, const char* fallbackUnderHome) {
  const char* v = std::getenv(var);
  if (v && v[0] == '/') return std::string(v) + "/orvane";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + fallbackUnderHome + "/orvane";
}

}  // namespace

std::string normalizePath(std::string_view name) {
  std::string p(name);
  std::replace(p.begin(), p.end(), '\\', '/');
  while (p.size() >= 2 && p[0] == '.' && p[1] == '/') {
    size_t n = 2;
    while (n < p.size() && p[n] == '/') ++n;
    p.erase(0, n);
  }
  return p;
}

std::string resolvePath(std::string_view name) {
  std::string p = normalizePath(clipView(name));
  if (p.empty() || exists(p)) return p;
  std::string cur = p.front() == '/' ? "/" : "";
  size_t i = p.front() == '/' ? 1 : 0;
  while (i <= p.size()) {
    size_t slash = p.find('/', i);
    size_t end = slash == std::string::npos ? p.size() : slash;
    std::string_view part = std::string_view(p).substr(i, end - i);
    std::string next = join(cur, part);
    if (!part.empty() && part != "." && part != ".." && !exists(next)) {
      std::string found;
      for (const std::string& n : folderNames(cur))
        if (UPPER(n) == UPPER(part)) {
          found = n;
          break;
        }
      if (found.empty()) return join(cur, std::string_view(p).substr(i));  // the rest as given
      next = join(cur, found);
    }
    cur = next;
    if (slash == std::string::npos) break;
    if (slash + 1 == p.size()) {  // a closing "/"
      cur += '/';
      break;
    }
    i = slash + 1;
  }
  return cur;
}

bool EXISTS(std::string_view name) { return exists(resolvePath(name)); }

PathParts splitPath(std::string_view name) {
  std::string p = normalizePath(name);
  PathParts parts;
  size_t slash = p.rfind('/');
  size_t colon = p.find(':');
  size_t cut = slash != std::string::npos ? slash + 1 : (colon == 1 ? 2 : 0);  // "C:x" keeps "C:"
  parts.folder = p.substr(0, cut);
  std::string file = p.substr(cut);
  size_t dot = file.rfind('.');
  if (dot == std::string::npos || dot == 0) {
    parts.name = file;
  } else {
    parts.name = file.substr(0, dot);
    parts.extension = file.substr(dot);
  }
  return parts;
}

std::string PATH() {
  char buf[PATH_MAX];
  return ::getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

Err SETPATH(std::string_view folder) {
  std::string p = resolvePath(folder);
  if (p.empty() || ::chdir(p.c_str()) != 0) return errno == EACCES ? Err::NoAccess : Err::NoPath;
  return Err::None;
}

std::string SHORTPATH(std::string_view name) {
  std::string p = resolvePath(name);
  if (p.empty()) return {};
  char buf[PATH_MAX];
  return ::realpath(p.c_str(), buf) ? std::string(buf) : std::string();
}

std::string LONGPATH(std::string_view name) { return SHORTPATH(name); }

std::string configFolder() { return envFolder("XDG_CONFIG_HOME", "/.config"); }
std::string dataFolder() { return envFolder("XDG_DATA_HOME", "/.local/share"); }

Err makeFolders(std::string_view folder) {
  std::string p = resolvePath(folder);
  if (p.empty()) return Err::BadName;
  for (size_t i = 1; i <= p.size(); ++i) {
    if (i < p.size() && p[i] != '/') continue;
    std::string part = p.substr(0, i);
    if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return errno == EACCES ? Err::NoAccess : Err::NoPath;
  }
  struct stat st;
  if (::stat(p.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return Err::NoPath;
  return Err::None;
}

std::string iniFilePath(std::string_view fileName) {
  std::string_view name = clipView(fileName);
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  if (name.empty()) name = "WIN.INI";
  bool hasFolder = name.find_first_of("/\\") != std::string_view::npos;
  return resolvePath(hasFolder ? std::string(name) : configFolder() + "/" + std::string(name));
}

Err DIRECTORY(std::vector<DirEntry>& out, std::string_view spec, uint8_t attributes) {
  out.clear();
  std::string p = normalizePath(clipView(spec));
  size_t slash = p.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
  std::string pattern = slash == std::string::npos ? p : p.substr(slash + 1);
  if (pattern == "*.*" || pattern.empty()) pattern = "*";
  std::string dir = folder.empty() ? std::string(".") : resolvePath(folder);
  struct stat st;
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return Err::NoPath;
  for (const std::string& n : folderNames(folder.empty() ? std::string() : dir)) {
    if (!wildcardMatch(n, pattern)) continue;
    std::string full = join(dir, n);
    if (::stat(full.c_str(), &st) != 0) continue;  // a dangling link or an entry gone meanwhile
    DirEntry e;
    e.name = n;
    if (S_ISDIR(st.st_mode)) e.attrib |= ffDirectory;
    else if (S_ISREG(st.st_mode)) e.attrib |= ffArchive;
    else e.attrib |= ffSystem;
    if (n.front() == '.') e.attrib |= ffHidden;
    if (!(st.st_mode & S_IWUSR)) e.attrib |= ffReadOnly;
    if ((e.attrib & ffDirectory) && !(attributes & ffDirectory)) continue;
    if ((e.attrib & ffHidden) && !(attributes & ffHidden)) continue;
    if ((e.attrib & ffSystem) && !(attributes & ffSystem)) continue;
    e.size = S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : 0;
    fromUnixTime(static_cast<int64_t>(st.st_mtime), e.date, e.time);
    out.push_back(std::move(e));
  }
  return Err::None;
}

}  // namespace ov::rt
