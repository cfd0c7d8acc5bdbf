#include "platform/os/shell_file_op.h"

#include "platform/os/win_msg.h"
#include "platform/rt/paths.h"
#include "platform/rt/text.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace ov::os {
namespace fs = std::filesystem;

namespace {

struct Failure {
  int code;
};

int codeOf(const std::error_code& ec) {
  return ec.category() == std::system_category() || ec.category() == std::generic_category()
             ? winErrorFromErrno(ec.value())
             : winerr::kInvalidFunction;
}

void check(const std::error_code& ec) {
  if (ec) throw Failure{codeOf(ec)};
}

bool hasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

std::string slashes(std::string_view s) { return rt::normalizePath(s); }

bool present(const fs::path& p) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(p, ec));
}

bool isDir(const fs::path& p) {
  std::error_code ec;
  return fs::is_directory(fs::symlink_status(p, ec));
}

// An absolute path, each part looked up ignoring case where the exact name is missing.
fs::path resolve(const std::string& name) {
  fs::path p = rt::resolvePath(name);
  std::error_code ec;
  if (p.is_relative()) p = fs::current_path(ec) / p;
  return p.lexically_normal();
}

bool matches(const std::string& name, std::string pattern) {
  if (pattern == "*.*") pattern = "*";
  if (rt::wildcardMatch(name, pattern)) return true;
  // "name.*" also takes a name without any extension, as the shell does.
  if (pattern.size() > 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
      name.find('.') == std::string::npos)
    return rt::wildcardMatch(name, pattern.substr(0, pattern.size() - 2));
  return false;
}

struct Source {
  fs::path path;
  bool fromWildcard;
};

std::vector<Source> expand(const std::vector<std::string>& from, unsigned flags) {
  std::vector<Source> out;
  for (const std::string& raw : from) {
    std::string name = slashes(raw);
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    if (name.empty()) throw Failure{winerr::kInvalidParameter};
    size_t slash = name.rfind('/');
    std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
    if (!hasWildcard(last)) {
      if (hasWildcard(name)) throw Failure{winerr::kInvalidParameter};  // wildcards only in the last part
      fs::path p = resolve(name);
      if (!present(p)) throw Failure{present(p.parent_path()) ? winerr::kFileNotFound : winerr::kPathNotFound};
      out.push_back({p, false});
      continue;
    }
    std::string folder = slash == std::string::npos ? "." : name.substr(0, slash + 1);
    if (hasWildcard(folder)) throw Failure{winerr::kInvalidParameter};
    fs::path dir = resolve(folder);
    if (!isDir(dir)) throw Failure{winerr::kPathNotFound};
    std::vector<fs::path> found;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      if (!matches(it->path().filename().string(), last)) continue;
      if ((flags & fof::kFilesOnly) && isDir(it->path())) continue;
      found.push_back(it->path());
    }
    check(ec);
    std::sort(found.begin(), found.end());
    for (auto& p : found) out.push_back({p, true});
  }
  return out;
}

// "Copy of NAME", "Copy (2) of NAME", ... in the target's folder: the first that is free.
fs::path collisionName(const fs::path& target) {
  std::string name = target.filename().string();
  for (int n = 1;; ++n) {
    std::string candidate = n == 1 ? "Copy of " + name : "Copy (" + std::to_string(n) + ") of " + name;
    fs::path p = target.parent_path() / candidate;
    if (!present(p)) return p;
  }
}

bool inside(const fs::path& inner, const fs::path& outer) {
  auto i = inner.lexically_normal(), o = outer.lexically_normal();
  auto [oe, ie] = std::mismatch(o.begin(), o.end(), i.begin(), i.end());
  return oe == o.end() || (std::next(oe) == o.end() && oe->empty());
}

void copyFile(const fs::path& src, const fs::path& dst) {
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(src, ec))) {
    if (present(dst)) fs::remove(dst, ec), check(ec);
    fs::copy_symlink(src, dst, ec);
    check(ec);
    return;
  }
  fs::copy_file(src, dst, fs::copy_options::overwrite_existing, ec);
  check(ec);
  // A copy keeps the time of its last change, as the shell's copy does.
  auto when = fs::last_write_time(src, ec);
  if (!ec) fs::last_write_time(dst, when, ec);
}

// Copies a file or a whole folder; a folder onto an existing one merges into it.
void copyTree(const fs::path& src, const fs::path& dst) {
  std::error_code ec;
  if (!isDir(src)) {
    if (isDir(dst)) throw Failure{winerr::kAccessDenied};  // a folder is not replaced by a file
    copyFile(src, dst);
    return;
  }
  if (present(dst) && !isDir(dst)) throw Failure{winerr::kAlreadyExists};
  fs::create_directory(dst, ec);
  check(ec);
  for (fs::directory_iterator it(src, ec), end; !ec && it != end; it.increment(ec))
    copyTree(it->path(), dst / it->path().filename());
  check(ec);
}

void removeTree(const fs::path& p) {
  std::error_code ec;
  fs::remove_all(p, ec);
  check(ec);
}

void moveTree(const fs::path& src, const fs::path& dst) {
  std::error_code ec;
  if (isDir(src) && isDir(dst)) {  // merge, then the emptied source goes
    for (fs::directory_iterator it(src, ec), end; !ec && it != end; it.increment(ec))
      moveTree(it->path(), dst / it->path().filename());
    check(ec);
    fs::remove(src, ec);
    check(ec);
    return;
  }
  if (isDir(dst)) throw Failure{winerr::kAccessDenied};
  fs::rename(src, dst, ec);
  if (ec == std::errc::cross_device_link) {
    copyTree(src, dst);
    removeTree(src);
    return;
  }
  check(ec);
}

void transfer(ShellOp op, const std::vector<Source>& sources, const std::vector<std::string>& to, unsigned flags) {
  if (to.empty()) throw Failure{winerr::kInvalidParameter};
  bool multi = flags & fof::kMultiDestFiles;
  if (multi && to.size() != sources.size()) throw Failure{winerr::kInvalidParameter};
  fs::path folder;
  bool intoFolder = false;
  if (!multi) {
    std::string dest = slashes(to[0]);
    folder = resolve(dest);
    bool wildcard = std::any_of(sources.begin(), sources.end(), [](const Source& s) { return s.fromWildcard; });
    intoFolder = isDir(folder) || (!dest.empty() && dest.back() == '/') || sources.size() > 1 || wildcard;
    if (intoFolder && !isDir(folder)) {
      if (!(flags & fof::kNoConfirmMkdir)) throw Failure{winerr::kPathNotFound};
      std::error_code ec;
      fs::create_directories(folder, ec);
      check(ec);
    }
  }
  for (size_t i = 0; i < sources.size(); ++i) {
    const fs::path& src = sources[i].path;
    fs::path target = multi ? resolve(to[i]) : intoFolder ? folder / src.filename() : folder;
    if (!isDir(target.parent_path())) {
      if (!(flags & fof::kNoConfirmMkdir)) throw Failure{winerr::kPathNotFound};
      std::error_code ec;
      fs::create_directories(target.parent_path(), ec);
      check(ec);
    }
    bool same = target == src;
    if (same && op == ShellOp::Move) continue;
    if (isDir(src) && !same && inside(target, src)) throw Failure{winerr::kInvalidParameter};  // into itself
    if (present(target)) {
      if (same || (flags & fof::kRenameOnCollision))
        target = collisionName(target);
      else if (!(flags & fof::kNoConfirmation))
        throw Failure{winerr::kAlreadyExists};
    }
    if (op == ShellOp::Copy)
      copyTree(src, target);
    else
      moveTree(src, target);
  }
}

void renameOne(const std::vector<Source>& sources, const std::vector<std::string>& to, unsigned flags) {
  if (sources.size() != 1 || to.size() != 1 || sources[0].fromWildcard || hasWildcard(to[0]))
    throw Failure{winerr::kInvalidParameter};
  const fs::path& src = sources[0].path;
  std::string name = slashes(to[0]);
  fs::path target = name.find('/') == std::string::npos ? src.parent_path() / name : resolve(name);
  if (target == src) return;
  // A change of case only is a rename of the same file, not a collision.
  bool caseOnly = target.parent_path() == src.parent_path() &&
                  rt::UPPER(target.filename().string()) == rt::UPPER(src.filename().string());
  if (present(target) && !caseOnly) {
    if (!(flags & fof::kRenameOnCollision)) throw Failure{winerr::kAlreadyExists};
    target = collisionName(target);
  }
  std::error_code ec;
  fs::rename(src, target, ec);
  check(ec);
}

void remove(const std::vector<Source>& sources, unsigned flags) {
  if (flags & fof::kAllowUndo) {
    // Qt makes the home trash only inside an existing data folder; without one it files the
    // "trashed" names under the current folder instead.
    QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty() || !QDir().mkpath(data)) throw Failure{winerr::kAccessDenied};
  }
  for (const Source& s : sources) {
    if (flags & fof::kAllowUndo) {
      // Into the trash, or not at all: a name the user can get back is never deleted for good.
      if (!QFile::moveToTrash(QString::fromStdString(s.path.string()))) throw Failure{winerr::kAccessDenied};
    } else {
      removeTree(s.path);
    }
  }
}

}  // namespace

int shellFileOperation(ShellOp op, const std::vector<std::string>& from, const std::vector<std::string>& to,
                       unsigned flags) {
  try {
    if (from.empty()) return winerr::kInvalidParameter;
    std::vector<Source> sources = expand(from, flags);
    switch (op) {
      case ShellOp::Copy:
      case ShellOp::Move: transfer(op, sources, to, flags); break;
      case ShellOp::Rename: renameOne(sources, to, flags); break;
      case ShellOp::Delete: remove(sources, flags); break;
      default: return winerr::kInvalidParameter;
    }
    return winerr::kSuccess;
  } catch (const Failure& f) {
    return f.code;
  } catch (const std::bad_alloc&) {
    return winerr::kNotEnoughMemory;
  } catch (const std::exception&) {
    return winerr::kInvalidFunction;
  }
}

}  // namespace ov::os
