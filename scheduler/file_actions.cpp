#include "scheduler/file_actions.h"

#include <QCoreApplication>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <system_error>
#include <utility>

#include "datalib/date_string_functions.h"
#include "datalib/globals.h"
#include "platform/os/shell_file_op.h"
#include "platform/os/win_msg.h"
#include "platform/rt/err.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "platform/ui/text_list.h"
#include "platform/ui/window.h"
#include "platform/ui/window_manager.h"
#include "scheduler/detail/script_util.h"
#include "scheduler/event_log.h"
#include "scheduler/keystrokes.h"
#include "scheduler/script_services.h"
#include "scheduler/variables.h"

namespace ov::scheduler {
namespace {

namespace fs = std::filesystem;
using detail::cut;

constexpr size_t kPathWidth = 1024;
constexpr int64_t kShellCopySize = 999999;  // larger files go through the shell copy
constexpr unsigned kDefaultFlags = os::fof::kNoConfirmation | os::fof::kAllowUndo | os::fof::kFilesOnly |
                                   os::fof::kNoConfirmMkdir | os::fof::kNoErrorUi;
static_assert(kDefaultFlags == 1744);

struct Options {
  bool subfolders = false;  // "/S"
  bool newerOnly = false;   // "/D"
  bool rename = false;      // "/R"
};

Options optionsOf(std::string_view o1, std::string_view o2) {
  Options o;
  for (std::string_view v : {o1, o2}) {
    const std::string u = detail::upperClip(v);
    if (u == "/S") o.subfolders = true;
    if (u == "/D") o.newerOnly = true;
    if (u == "/R") o.rename = true;
  }
  return o;
}

constexpr int kRunWork = ui::EVENT::User + 1;

// The small window that shows the status lines of one file action while it works, and closes
// when the work is done.
class FileActionsWindow : public ui::WindowManager {
 public:
  explicit FileActionsWindow(std::function<int32_t()> work) : WindowManager("FileActions"), m_work(std::move(work)) {}

  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle("File Actions");
    w.at(-1, -1, 260, 90);
    m_list = w.add<ui::TextList>(0, "?Status").at(4, 4, 252, 82).feq();
    Open();
    w.post(kRunWork);
    return ui::Level::Benign;
  }
  ui::Level TakeWindowEvent() override {
    if (ui::EVENT() != kRunWork) return WindowManager::TakeWindowEvent();
    ui::BusyCursor busy;
    m_result = m_work();
    SetResponse(ui::RequestCompleted);
    return ui::Level::Notify;
  }
  void addLine(std::string_view line) {
    m_lines.emplace_back(line);
    if (auto* list = window().as<ui::TextList>(m_list)) {
      list->setLines(m_lines);
      list->scrollTo(int(m_lines.size()));
    }
  }
  int32_t result() const { return m_result; }

 private:
  std::function<int32_t()> m_work;
  std::vector<std::string> m_lines;
  int m_list = 0;
  int32_t m_result = 0;
};

FileActionsWindow* statusWindow = nullptr;  // the window of the action in progress

// ShowFileActionStatus: a status line in the window, and to the installed listener.
void status(std::string_view line) {
  if (statusWindow) statusWindow->addLine(line);
  if (scriptServices().fileActionStatus) scriptServices().fileActionStatus(line);
}

// Runs one file action behind its status window (directly where the program has no windows).
int32_t withStatusWindow(const std::function<int32_t()>& work) {
  if (!QCoreApplication::instance()) return work();
  FileActionsWindow window(work);
  FileActionsWindow* outer = std::exchange(statusWindow, &window);
  window.Run();
  statusWindow = outer;
  return window.result();
}

// Runs blocking file work on a worker thread while the GUI goes on, when there is a GUI.
void runWork(const std::function<void()>& work) {
  if (QCoreApplication::instance())
    ui::waitForWorker(work);
  else
    work();
}

// A list of names separated by ";" or "|" (with or without a blank after the separator).
std::vector<std::string> nameList(std::string_view list) {
  std::vector<std::string> names;
  std::string name;
  auto flush = [&] {
    std::string n = rt::CLIP(rt::LEFT(name));
    if (!n.empty()) names.push_back(n);
    name.clear();
  };
  for (char c : list) {
    if (c == ';' || c == '|')
      flush();
    else
      name += c;
  }
  flush();
  return names;
}

int shellOperation(os::ShellOp op, std::string_view from, std::string_view to, unsigned flags) {
  int result = 0;
  const std::vector<std::string> sources = nameList(from);
  std::vector<std::string> targets;
  if (op != os::ShellOp::Delete) targets.push_back(rt::CLIP(to));
  runWork([&] { result = os::shellFileOperation(op, sources, targets, flags); });
  return result;
}

unsigned flagsOf(const Options& o) {
  unsigned flags = kDefaultFlags;
  if (o.subfolders) flags &= ~os::fof::kFilesOnly;
  if (o.rename) flags |= os::fof::kRenameOnCollision;
  return flags;
}

std::string withSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

bool isFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(rt::resolvePath(path), ec);
}

void listInto(const std::string& folder, const std::string& mask, bool withSubfolders, std::vector<FileListEntry>& out,
              int depth) {
  std::vector<rt::DirEntry> entries;
  const std::string base = withSlash(folder);
  if (rt::DIRECTORY(entries, base + mask, rt::ffHidden | rt::ffSystem) == rt::Err::None) {
    for (const rt::DirEntry& e : entries) {
      if (e.attrib & rt::ffDirectory) continue;
      const std::string name = base + e.name;
      if (std::any_of(out.begin(), out.end(), [&](const FileListEntry& f) { return f.name == name; })) continue;
      out.push_back({name, e.date, e.time, e.size, e.attrib});
    }
  }
  if (!withSubfolders || depth > 64) return;
  entries.clear();
  if (rt::DIRECTORY(entries, base + "*.*", rt::ffDirectory | rt::ffHidden) != rt::Err::None) return;
  for (const rt::DirEntry& e : entries) {
    if (!(e.attrib & rt::ffDirectory)) continue;
    std::error_code ec;
    if (fs::is_symlink(rt::resolvePath(base + e.name), ec)) continue;  // a link may lead back up the tree
    listInto(base + e.name, mask, true, out, depth + 1);
  }
}

bool sameCaseless(std::string_view a, std::string_view b) { return rt::compareText(a, b, true) == 0; }

// The runtime's file copy (keeping the modification time), with the error code of a failure.
int copyOne(const std::string& from, const std::string& to, unsigned flags, int64_t size) {
  if (size > kShellCopySize) {
    int result = 0;
    runWork([&] { result = os::shellFileOperation(os::ShellOp::Copy, {from}, {to}, flags | os::fof::kMultiDestFiles); });
    return result;
  }
  std::error_code ec;
  const fs::path target = rt::resolvePath(to);
  if (!fs::is_directory(target.parent_path(), ec)) {
    rt::setError(rt::Err::NoPath, to);
    return os::winerr::kPathNotFound;
  }
  fs::copy_file(rt::resolvePath(from), target, fs::copy_options::overwrite_existing, ec);
  if (!ec) {
    const auto when = fs::last_write_time(rt::resolvePath(from), ec);
    if (!ec) fs::last_write_time(target, when, ec);
    return 0;
  }
  rt::setError(rt::Err::NoAccess, to);
  return os::winErrorFromErrno(ec.value());
}

void debugIni(std::string_view key, std::string_view value) {
  if (files::DEBUG.ACTIVE) (void)rt::PUTINI("Settings", key, value, ".\\DEBUG.INI");  // a debugging aid only
}

int32_t CopyMoveFiles(const std::string& source, const std::string& destination, const Options& o) {
  const unsigned flags = flagsOf(o);
  debugIni("Subfolders", o.subfolders ? "1" : "0");
  debugIni("Date", o.newerOnly ? "1" : "0");
  debugIni("RenameOnCollision", o.rename ? "1" : "0");
  debugIni("CopyMove", "Copy");
  status("Searching " + source);
  const std::vector<FileListEntry> sources = ListDirectoryTree(source, o.subfolders);
  debugIni("Source", std::to_string(sources.size()));
  if (sources.empty()) {
    debugIni("ReturnValue", "-1");
    return -1;
  }
  status("Searching " + destination);
  std::vector<FileListEntry> targets = ListDirectoryTree(destination, o.subfolders);
  if (targets.empty()) {
    const int result = shellOperation(os::ShellOp::Copy, source, destination, flags);
    if (!o.subfolders) {
      debugIni("ReturnValue", std::to_string(result));
      return result;
    }
    targets = ListDirectoryTree(destination, o.subfolders);
  }
  debugIni("Destination", std::to_string(targets.size()));

  // The part of the source names that the targets replace by the destination folder.
  const std::string& first = sources.front().name;
  const std::string& last = sources.back().name;
  size_t common = 0;
  while (common < first.size() && common < last.size() && sameCaseless(first.substr(common, 1), last.substr(common, 1)))
    ++common;
  std::string base1 = first.substr(0, common);
  const size_t slash = base1.rfind('/');
  base1 = slash == std::string::npos ? rt::normalizePath(source) : base1.substr(0, slash + 1);
  const std::string base2 = withSlash(isFolder(destination) || targets.empty()
                                          ? rt::normalizePath(rt::CLIP(destination))
                                          : rt::splitPath(rt::normalizePath(destination)).folder);
  debugIni("Base1", base1);
  debugIni("Base2", base2);

  int32_t result = 0;
  for (const FileListEntry& f : sources) {
    const std::string target = base2 + (f.name.size() > base1.size() ? f.name.substr(base1.size()) : std::string());
    if (o.newerOnly) {
      auto existing = std::find_if(targets.begin(), targets.end(),
                                   [&](const FileListEntry& t) { return sameCaseless(t.name, target); });
      const bool newer = existing == targets.end() || f.date > existing->date ||
                         (f.date == existing->date && f.time > existing->time);
      if (!newer) {
        status("Skipping " + f.name);
        debugIni("Skipped", f.name);
        continue;
      }
    }
    status(f.name + "->" + target);
    int code = copyOne(f.name, target, flags, f.size);
    if (code == os::winerr::kCancelled || code == os::winerr::kPathNotFound) {
      (void)CreateDirectoryPath(rt::splitPath(target).folder);
      code = copyOne(f.name, target, flags, f.size);
    }
    if (code != 0 && result == 0) result = code;
    if (code == 0) debugIni("Copied", f.name);
    if (QCoreApplication::instance()) ui::processEvents();
  }
  debugIni("ReturnValue", std::to_string(result));
  return result;
}

int32_t RunFileOperation(const std::string& kind, const std::string& source, const std::string& destination,
                         const Options& o) {
  const unsigned flags = flagsOf(o);
  if (kind == "Copy") {
    if (o.newerOnly || (o.subfolders && source.find("*.*") == std::string::npos))
      return CopyMoveFiles(source, destination, o);
    return shellOperation(os::ShellOp::Copy, source, destination, flags);
  }
  if (kind == "Move") return shellOperation(os::ShellOp::Move, source, destination, flags);
  if (kind == "Rename") return shellOperation(os::ShellOp::Rename, source, destination, flags);
  if (kind == "Delete") return shellOperation(os::ShellOp::Delete, source, {}, flags & ~os::fof::kAllowUndo);
  return shellOperation(os::ShellOp::Delete, source, {}, flags | os::fof::kAllowUndo);  // Recycle
}

const FileListEntry* firstMatch(std::string_view path, std::vector<FileListEntry>& list) {
  list = ListDirectoryTree(path, false);
  return list.empty() ? nullptr : &list.front();
}

std::string fixed(std::string_view text, size_t width) { return rt::LEFT(cut(text, width), width); }

}  // namespace

std::vector<FileListEntry> ListDirectoryTree(std::string_view specIn, bool withSubfolders) {
  const std::string spec = rt::normalizePath(rt::CLIP(rt::LEFT(specIn)));
  std::string folder, mask;
  if (spec.empty()) {
    folder = ".";
    mask = "*.*";
  } else if (isFolder(spec)) {
    folder = spec;
    mask = "*.*";
  } else {
    const size_t slash = spec.rfind('/');
    folder = slash == std::string::npos ? "." : spec.substr(0, slash == 0 ? 1 : slash);
    mask = slash == std::string::npos ? spec : spec.substr(slash + 1);
  }
  std::vector<FileListEntry> out;
  listInto(folder == "." ? std::string() : folder, mask, withSubfolders, out, 0);
  std::sort(out.begin(), out.end(), [](const FileListEntry& a, const FileListEntry& b) {
    return rt::compareText(a.name, b.name, true) < 0;
  });
  return out;
}

int32_t CreateDirectoryPath(std::string_view pathIn) {
  const std::string path = rt::normalizePath(rt::CLIP(pathIn));
  if (path.empty()) return 0;
  (void)rt::makeFolders(path);  // the answer is whether the folder is there afterwards
  return isFolder(path) ? 1 : 0;
}

int32_t RemoveDirectoryPath(std::string_view pathIn) {
  const std::string path = rt::normalizePath(rt::CLIP(pathIn));
  if (path.empty()) return 0;
  std::error_code ec;
  fs::remove(rt::resolvePath(path), ec);  // an empty folder only, as Windows removes folders
  return rt::EXISTS(path) ? 0 : 1;
}

int32_t GetFileDate(std::string_view path) {
  std::vector<FileListEntry> list;
  const FileListEntry* f = firstMatch(path, list);
  return f ? f->date : 0;
}

int32_t GetFileTime(std::string_view path) {
  std::vector<FileListEntry> list;
  const FileListEntry* f = firstMatch(path, list);
  return f ? f->time : 0;
}

int64_t GetFileSize(std::string_view path) {
  std::vector<FileListEntry> list;
  const FileListEntry* f = firstMatch(path, list);
  return f ? f->size : 0;
}

int32_t ListWindowsForLog(std::string_view fileName) {
  ListTopWindows();
  std::ofstream out(rt::resolvePath(rt::normalizePath(rt::CLIP(fileName))), std::ios::binary | std::ios::trunc);
  if (!out) {
    rt::setError(rt::Err::NoAccess, fileName);
    return 0;
  }
  // Children of a window class named "...Win..." join the list as windows of their own.
  for (size_t i = 0; i < TopWindowList.size(); ++i) {
    const WindowEntry parent = TopWindowList[i];
    out << fixed(parent.title, 40) << fixed(std::to_string(parent.handle), 12) << fixed("", 40) << fixed("", 20)
        << fixed("", 12) << "\n";
    ListChildWindows(parent.handle);
    for (const WindowEntry& child : ChildWindowList) {
      if (child.title == "<>") continue;
      out << fixed("", 40) << fixed("", 12) << fixed(child.title, 40) << fixed(child.className, 20)
          << fixed(std::to_string(child.handle), 12) << "\n";
      if (child.className.find("Win") != std::string::npos)
        TopWindowList.push_back({child.handle, child.title + " (Child of " + parent.title + ")", child.className});
    }
  }
  return int32_t(TopWindowList.size());
}

namespace {
int32_t perform(const std::string& kind, const std::string& source, const std::string& destination, const Options& o);
}  // namespace

int32_t FileActions(std::string_view kindIn, std::string_view sourceIn, std::string_view destinationIn,
                    std::string_view option1, std::string_view option2) {
  closeEventLog();  // so that the log itself can be copied or moved; the next line reopens it
  rt::clearError();
  const std::string source = cut(ExpandVariables(sourceIn), kPathWidth);
  const std::string destination = cut(ExpandVariables(destinationIn), kPathWidth);
  const std::string kind(rt::clipView(kindIn));
  const Options o = optionsOf(option1, option2);
  int32_t result = withStatusWindow([&] { return perform(kind, source, destination, o); });
  SetVariable(std::to_string(rt::ERRORCODE()), "Errorcode");
  return result;
}

namespace {

int32_t perform(const std::string& kind, const std::string& source, const std::string& destination, const Options& o) {
  int32_t result = 0;
  auto publish = [&](std::string_view name) { SetVariable(std::to_string(result), name); };

  if (kind == "Copy") {
    result = RunFileOperation(kind, source, destination, o);
    publish("FileCopy");
  } else if (kind == "Rename") {
    result = RunFileOperation(kind, source, destination, o);
    publish("FileCopy");
    publish("FileRename");
  } else if (kind == "Move") {
    result = RunFileOperation(kind, source, destination, o);
    publish("FileMove");
  } else if (kind == "Delete" || kind == "Recycle") {
    result = RunFileOperation(kind, source, destination, o);
    publish("FileDelete");
  } else if (kind == "Make Directory") {
    result = CreateDirectoryPath(source);
    publish("DirCreate");
  } else if (kind == "Remove Directory") {
    result = RemoveDirectoryPath(source);
    publish("DirRemove");
  } else if (kind == "Get File Date") {
    result = GetFileDate(source);
    SetVariable(files::FMTYYYYMMDD(result), "FileDate");
  } else if (kind == "Get File Time") {
    result = GetFileTime(source);
    SetVariable(rt::FORMAT(double(result), "@t05"), "FileTime");
  } else if (kind == "Get File Size") {
    const int64_t size = GetFileSize(source);
    result = int32_t(std::min<int64_t>(size, INT32_MAX));
    SetVariable(std::to_string(size), "FileSize");
  } else if (kind == "Log Windows") {
    result = ListWindowsForLog(source);
  } else if (kind == "File Exists" || kind == "If File Exists") {
    result = (rt::EXISTS(source) || !ListDirectoryTree(source, false).empty()) ? 1 : 0;
    publish("FileExists");
  }
  return result;
}

}  // namespace

}  // namespace ov::scheduler
