#include "datalib/sys_sh_file_op_class.h"

#include <QCoreApplication>

#include "platform/os/shell_file_op.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/paths.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window.h"

namespace ov::files {

void SysShFileOpClass::Init(uint8_t renameOnCollision) {
  INITIALIZED = 1;
  SOURCE = {"*.*"};
  TARGET = {"*.*"};
  ui::Window* w = ui::currentWindow();
  HWND = w ? static_cast<int32_t>(w->handle()) : 0;
  WFUNC = FO_COPY;
  FFLAGS = kDefaultFlags;
  if (renameOnCollision == 1) FFLAGS |= os::fof::kRenameOnCollision;
}

std::vector<std::string> SysShFileOpClass::ConvertMulti(std::string_view list) {
  std::string_view text = rt::clipView(list);
  std::vector<std::string> names;
  if (text.find_first_of(std::string_view(";|\0", 3)) != std::string_view::npos) {
    std::string part;
    auto flush = [&] {
      std::string_view p = rt::clipView(part);
      if (!p.empty()) names.emplace_back(p);
      part.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
      char c = text[i];
      if (c == '|' || c == ';' || c == '\0') {
        flush();
        if (c != '\0' && i + 1 < text.size() && text[i + 1] == ' ') ++i;  // "| " and "; "
      } else {
        part += c;
      }
    }
    flush();
    return names;
  }
  std::string one(text);
  bool plainName = one.find_first_of("*?\\/") == std::string::npos;
  if (plainName && !one.empty()) {
    std::string full = rt::LONGPATH(one);
    if (!full.empty()) one = full;
  }
  if (!one.empty()) names.push_back(one);
  return names;
}

void SysShFileOpClass::Assign(std::string_view source, std::string_view target) {
  SOURCE = ConvertMulti(source);
  TARGET = ConvertMulti(target);
}

int SysShFileOpClass::run(uint32_t op, std::string_view source, std::string_view target) {
  if (INITIALIZED == 0) Init(0);
  Assign(source, target);
  WFUNC = op;
  std::vector<std::string> from = SOURCE, to = TARGET;
  unsigned flags = FFLAGS;
  int result = 0;
  auto work = [&] { result = os::shellFileOperation(static_cast<os::ShellOp>(op), from, to, flags); };
  // Other windows go on while the files are copied; without an event loop it simply runs here.
  if (QCoreApplication::instance())
    ui::waitForWorker(work);
  else
    work();
  return result;
}

int SysShFileOpClass::Copy(std::string_view source, std::string_view target) { return run(FO_COPY, source, target); }
int SysShFileOpClass::Move(std::string_view source, std::string_view target) { return run(FO_MOVE, source, target); }
int SysShFileOpClass::Rename(std::string_view source, std::string_view newName) {
  return run(FO_RENAME, source, newName);
}

int SysShFileOpClass::Delete(std::string_view list, uint8_t useRecycleBin) {
  if (INITIALIZED == 0) Init(0);
  FFLAGS |= os::fof::kAllowUndo;
  if (useRecycleBin == 0) FFLAGS &= ~os::fof::kAllowUndo;
  return run(FO_DELETE, list, list);
}

std::string SysShFileOpClass::GetFolder(std::string_view title, std::string_view start, int32_t /*flags*/) {
  std::string folder(rt::clipView(start));
  std::string t(rt::clipView(title));
  t = t.substr(0, rt::utf8CutLength(t, 259));
  if (folder.empty()) folder = rt::PATH();
  if (!ui::FILEDIALOG(t, folder, {}, ui::FILE_::Directory)) return {};
  return folder;
}

std::string SysShFileOpClass::GetFolder(std::string_view title) { return GetFolder(title, rt::SHORTPATH(rt::PATH()), 1); }

void SysShFileOpClass::FolderDialog(std::string_view title, std::string& folder, int32_t flags) {
  std::string chosen = GetFolder(title, folder, flags);
  if (!chosen.empty()) folder = chosen;
}

}  // namespace ov::files
