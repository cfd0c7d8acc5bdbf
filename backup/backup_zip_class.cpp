#include "backup/backup_zip_class.h"

#include <iostream>

#include "backup/zip_error_text.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "platform/ui/prop.h"
#include "platform/ui/text_list.h"
#include "platform/ui/window.h"

namespace ov::backup {
namespace {

void stderrLog(const std::string& line) { std::cerr << line << std::endl; }
void (*g_quietLog)(const std::string&) = stderrLog;

constexpr long kOldestLibrary = 2600;

std::string clip(std::string_view s) {
  size_t end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(s.substr(0, end + 1));
}

std::string trim(std::string_view s) {
  size_t start = s.find_first_not_of(' ');
  if (start == std::string_view::npos) return {};
  return clip(s.substr(start));
}

void appendSpec(std::string& list, std::string_view pattern) {
  std::string item = specItem(pattern);
  if (list.empty())
    list = item;
  else
    list += " " + item;
}

// "|" starts a new line in a message box; the quiet log gets one line per box line.
void showOrLog(bool quiet, std::string_view text, std::string_view caption, ui::Icon icon, long code) {
  if (quiet) {
    std::string line = std::string(caption) + ": " + std::string(text) + " (" + ZipErrorText(code) + ")";
    for (char& c : line)
      if (c == '|') c = ' ';
    quietLog(line);
    return;
  }
  ui::MESSAGE(text, caption, icon);
}

}  // namespace

void setQuietLog(void (*log)(const std::string& line)) { g_quietLog = log ? log : stderrLog; }
void quietLog(const std::string& line) { g_quietLog(line); }

std::string specItem(std::string_view pattern) {
  std::string item = clip(pattern);
  if (item.find(' ') != std::string::npos) item = "\"" + item + "\"";
  return item;
}

// ---- progress -----------------------------------------------------------------------------------

void ProgressBinding::bind(ui::Window* window, int progress1, int list, int fileText, int progress2,
                           std::vector<std::string>* fileQueue) {
  m_window = window;
  m_progress1 = window ? progress1 : 0;
  m_progress2 = window ? progress2 : 0;
  m_fileText = window ? fileText : 0;
  m_list = window ? list : 0;
  m_fileQueue = fileQueue;
  reset();
}

void ProgressBinding::unbind() {
  m_window = nullptr;
  m_progress1 = m_progress2 = m_fileText = m_list = 0;
  if (m_fileQueue) m_fileQueue->clear();
  m_fileQueue = nullptr;
}

void ProgressBinding::progress(long filePercent, long totalPercent) {
  std::lock_guard lock(m_mutex);
  m_first = filePercent;
  m_second = totalPercent;
  m_changed = true;
}

void ProgressBinding::file(std::string_view name) {
  std::lock_guard lock(m_mutex);
  m_current = clip(name.substr(0, 255));
  m_newFiles.push_back(m_current);
  m_changed = true;
}

void ProgressBinding::show() {
  long first, second;
  std::string current;
  std::vector<std::string> added;
  {
    std::lock_guard lock(m_mutex);
    if (!m_changed) return;
    m_changed = false;
    first = m_first;
    second = m_second;
    current = m_current;
    added.swap(m_newFiles);
  }
  if (!m_window) return;
  ui::Window& w = *m_window;
  if (m_progress1) w.setProp(m_progress1, ui::Prop::Progress, static_cast<int64_t>(first));
  if (m_progress2) w.setProp(m_progress2, ui::Prop::Progress, static_cast<int64_t>(second));
  if (m_fileText && !added.empty()) {
    w.setProp(m_fileText, ui::Prop::Text, current);
    if (m_list && m_fileQueue) {
      for (std::string& f : added) m_fileQueue->push_back(std::move(f));
      if (auto* list = w.as<ui::TextList>(m_list)) {
        list->setLines(*m_fileQueue);
        w.setProp(m_list, ui::Prop::Selected, static_cast<int64_t>(m_fileQueue->size()));
      }
    }
  }
}

void ProgressBinding::reset() {
  {
    std::lock_guard lock(m_mutex);
    m_first = m_second = 0;
    m_current.clear();
    m_newFiles.clear();
    m_changed = false;
  }
  if (!m_window) return;
  if (m_progress1) m_window->setProp(m_progress1, ui::Prop::Progress, static_cast<int64_t>(0));
  if (m_progress2) m_window->setProp(m_progress2, ui::Prop::Progress, static_cast<int64_t>(0));
  if (m_fileText) m_window->setProp(m_fileText, ui::Prop::Text, "");
}

// ---- zip ----------------------------------------------------------------------------------------

void BackupZipClass::Init(ui::Window* window, int progress1, int list, int fileText, int progress2,
                          std::vector<std::string>* fileQueue) {
  THISWINDOW = nullptr;
  LPROGRESSFEQ1 = LPROGRESSFEQ2 = LPROGRESSFEQ3 = LPROGRESSFEQ4 = 0;
  SZARCHIVENAME.clear();
  SZFILESPEC.clear();
  SZEXCFILESPEC.clear();
  LFLAG = 0;
  LCOMPRESSIONLEVEL = 0;
  LLASTERROR = 0;
  if (zip::LSZIP_VER() < kOldestLibrary)
    ui::MESSAGE("Warning: This application uses an outdated LSZip zip library. Please contact the vendor of this program.",
                "Warning", ui::Icon::Hand);
  THISWINDOW = window;
  if (window) {
    LPROGRESSFEQ1 = progress1;
    LPROGRESSFEQ2 = progress2;
    LPROGRESSFEQ3 = fileText;
    LPROGRESSFEQ4 = list;
  }
  m_binding.bind(window, progress1, list, fileText, progress2, fileQueue);
  if (zip::LSZIP_INIT(&m_binding) == 0)
    ui::MESSAGE("Error: LSZIP_INIT function failed. Message pump not available", "Error", ui::Icon::Hand);
  LCOMPRESSIONLEVEL = 6;
}

void BackupZipClass::Kill() {
  zip::LSZIP_INIT(nullptr);  // the library forgets this object's progress sink
  m_binding.unbind();
  THISWINDOW = nullptr;
  LPROGRESSFEQ1 = LPROGRESSFEQ2 = LPROGRESSFEQ3 = LPROGRESSFEQ4 = 0;
}

void BackupZipClass::SetArchiveName(std::string_view name) { SZARCHIVENAME = clip(name); }

void BackupZipClass::AddFirstSpec(std::string_view pattern) {
  SZFILESPEC.clear();
  AddSpec(pattern);
}

void BackupZipClass::AddSpec(std::string_view pattern) { appendSpec(SZFILESPEC, pattern); }

void BackupZipClass::AddExclude(std::string_view pattern) {
  appendSpec(SZEXCFILESPEC, pattern);
  SZEXCFILESPEC = trim(SZEXCFILESPEC);
}

long BackupZipClass::SetComment(std::string_view text) {
  std::string comment = clip(text);
  if (comment.size() > 1023) comment.resize(1023);
  long r = zip::LSZIP_SETARCHIVECMT(comment);
  if (r != 0) SetOption(zip::zipopt::ArchiveComment);
  return r;
}

int BackupZipClass::SetOption(unsigned long bits) {
  if (bits == 0) {
    LFLAG = 0;
    return 1;
  }
  LFLAG |= bits & 0x7FFFFFFFul;
  return 1;
}

long BackupZipClass::Run(long action) {
  (void)zip::LSZIP_INCLUDE(SZFILESPEC);  // an empty list is reported by the execute call
  if (!SZEXCFILESPEC.empty()) (void)zip::LSZIP_EXCLUDE(SZEXCFILESPEC);
  return zip::LSZIP_EXECUTE(SZARCHIVENAME, action, LCOMPRESSIONLEVEL, LFLAG);
}

int BackupZipClass::Finish(long r) {
  if (r != 0) LLASTERROR = r;
  m_binding.show();
  if (r < 0)
    showOrLog(m_quiet,
              "An error prevented zipping files to " + SZARCHIVENAME + "|An internal errorcode of " +
                  std::to_string(r) + " was reported.|If the error persists, delete the zip file and run the process again.",
              "Zip Error", ui::Icon::Exclamation, r);
  m_binding.reset();
  return r < 0 ? 3 : 0;
}

// ---- unzip --------------------------------------------------------------------------------------

void BackupUnzipClass::Init(ui::Window* window, int progress1, int list, int fileText, int progress2,
                            std::vector<std::string>* fileQueue) {
  THISWINDOW = nullptr;
  LPROGRESSFEQ1 = LPROGRESSFEQ2 = LPROGRESSFEQ3 = LPROGRESSFEQ4 = 0;
  SZARCHIVENAME.clear();
  SZFILESPEC.clear();
  LFLAG = 0;
  LLASTERROR = 0;
  if (zip::LSUZ_VER() < kOldestLibrary)
    ui::MESSAGE("Warning: This application uses an outdated LSZip zip library. Please contact the vendor of this program.",
                "Warning", ui::Icon::Hand);
  THISWINDOW = window;
  if (window) {
    LPROGRESSFEQ1 = progress1;
    LPROGRESSFEQ2 = progress2;
    LPROGRESSFEQ3 = fileText;
    LPROGRESSFEQ4 = list;
  }
  m_binding.bind(window, progress1, list, fileText, progress2, fileQueue);
  if (zip::LSUZ_INIT(&m_binding) == 0)
    ui::MESSAGE("Error: LSZIP_INIT function failed. Message pump not available", "Error", ui::Icon::Hand);
}

void BackupUnzipClass::Kill() {
  zip::LSUZ_INIT(nullptr);
  m_binding.unbind();
  THISWINDOW = nullptr;
  LPROGRESSFEQ1 = LPROGRESSFEQ2 = LPROGRESSFEQ3 = LPROGRESSFEQ4 = 0;
}

long BackupUnzipClass::SetArchiveName(std::string_view name) {
  zip::LSUZ_RESET();
  SZARCHIVENAME = clip(name);
  return zip::LSUZ_ZIPNAME(SZARCHIVENAME);
}

void BackupUnzipClass::AddFirstSpec(std::string_view pattern) {
  SZFILESPEC.clear();
  AddSpec(pattern);
}

void BackupUnzipClass::AddSpec(std::string_view pattern) {
  std::string p = clip(pattern.substr(0, 1023));
  if (p.empty()) return;
  appendSpec(SZFILESPEC, p);
}

long BackupUnzipClass::ExtractTo(std::string_view folder) {
  std::string f = clip(folder);
  if (f.size() > 254) f.resize(254);
  return zip::LSUZ_EXTRACTTO(f);
}

int BackupUnzipClass::SetOption(unsigned long bits) {
  if (LFLAG & bits) return 0;
  LFLAG |= bits;
  return 1;
}

long BackupUnzipClass::Run(long action) {
  long r = zip::LSUZ_INCLUDE(SZFILESPEC);
  if (r == 0) return zip::code::FileNotMatched;  // no pattern at all
  if (r < 0) return r;
  return zip::LSUZ_EXECUTE(action, LFLAG);
}

int BackupUnzipClass::Finish(long r) {
  if (r != 0) LLASTERROR = r;
  m_binding.show();
  if (r < 0) {
    std::string text = "An error prevented unzipping files from " + SZARCHIVENAME + "|An internal errorcode of " +
                       std::to_string(r) + " was reported.|If the error persists, fix the zip file and run the process again.";
    if (!(LFLAG & zip::unzipopt::Quiet))
      showOrLog(m_quiet, text, "Unzip Error", ui::Icon::Exclamation, r);
    else if (m_quiet)
      showOrLog(true, text, "Unzip Error", ui::Icon::Exclamation, r);
  }
  m_binding.reset();
  return r < 0 ? 3 : 0;
}

}  // namespace ov::backup
