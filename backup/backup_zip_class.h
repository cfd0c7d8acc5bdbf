// The progress-bound zip and unzip objects of the backup programs. Each collects an archive name,
// patterns and option bits, runs its library, reports a failure in a message box, and shows the
// library's progress on one window: two progress bars, a text with the file being worked on and a
// list of the files done.
//
// Progress crosses threads: the library reports on the thread that runs it (Run), into a state
// kept under a lock; ShowProgress, on the window's thread (its timer), puts that state on the
// controls. Cancel is the "LSZA" broadcast: the library call running ends with -30.
//
//   BackupZipClass zip;
//   zip.Init(&window, bar1, list, fileText, bar2, &files);
//   zip.SetArchiveName(name); zip.AddFirstSpec("*.TPS");
//   long r = zip.Run(2);          // any thread
//   zip.Finish(r);                // window thread: boxes, controls reset; 0 or 3
//
// Execute(action) is Run then Finish on the caller's thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/libs/zip/zip_library.h"

namespace ov::ui {
class Window;
}

namespace ov::backup {

// Where a quiet run writes what would have been a message box (standard error by default).
void setQuietLog(void (*log)(const std::string& line));
void quietLog(const std::string& line);

// The library's progress as last reported, and the window controls it goes to.
class ProgressBinding : public zip::ProgressSink {
 public:
  void bind(ui::Window* window, int progress1, int list, int fileText, int progress2,
            std::vector<std::string>* fileQueue);
  void unbind();
  // Any thread.
  void progress(long filePercent, long totalPercent) override;
  void file(std::string_view name) override;
  // The window's thread: the state onto the controls (nothing when unbound or unchanged).
  void show();
  // Both bars to 0, the file text emptied.
  void reset();

  ui::Window* window() const { return m_window; }
  int progress1() const { return m_progress1; }
  int progress2() const { return m_progress2; }
  int fileText() const { return m_fileText; }
  int list() const { return m_list; }

 private:
  ui::Window* m_window = nullptr;
  int m_progress1 = 0, m_progress2 = 0, m_fileText = 0, m_list = 0;
  std::vector<std::string>* m_fileQueue = nullptr;

  std::mutex m_mutex;
  long m_first = 0, m_second = 0;
  std::string m_current;
  std::vector<std::string> m_newFiles;  // reported since the last show()
  bool m_changed = false;
};

class BackupZipClass {
 public:
  // window may be null: no progress is shown.
  void Init(ui::Window* window = nullptr, int progress1 = 0, int list = 0, int fileText = 0,
            int progress2 = 0, std::vector<std::string>* fileQueue = nullptr);
  void Kill();
  void SetArchiveName(std::string_view name);
  void AddFirstSpec(std::string_view pattern);
  void AddSpec(std::string_view pattern);
  void AddExclude(std::string_view pattern);
  long SetComment(std::string_view text);
  int SetOption(unsigned long bits);
  // A quiet object writes its error box to the quiet log instead of showing it.
  void SetQuiet(bool quiet) { m_quiet = quiet; }
  void ShowProgress() { m_binding.show(); }
  void Cancel() { zip::AbortAll(); }

  int Execute(long action) { return Finish(Run(action)); }
  long Run(long action);
  int Finish(long result);

  ui::Window* THISWINDOW = nullptr;
  long LPROGRESSFEQ1 = 0;
  long LPROGRESSFEQ2 = 0;
  long LPROGRESSFEQ3 = 0;
  long LPROGRESSFEQ4 = 0;
  std::string SZARCHIVENAME;
  std::string SZFILESPEC;
  std::string SZEXCFILESPEC;
  unsigned long LFLAG = 0;
  long LCOMPRESSIONLEVEL = 0;
  long LLASTERROR = 0;

 private:
  ProgressBinding m_binding;
  bool m_quiet = false;
};

class BackupUnzipClass {
 public:
  void Init(ui::Window* window = nullptr, int progress1 = 0, int list = 0, int fileText = 0,
            int progress2 = 0, std::vector<std::string>* fileQueue = nullptr);
  void Kill();
  long SetArchiveName(std::string_view name);
  void AddFirstSpec(std::string_view pattern);
  void AddSpec(std::string_view pattern);
  long ExtractTo(std::string_view folder);
  int SetOption(unsigned long bits);
  int OptionClear(unsigned long bits) const { return (LFLAG & bits) ? 0 : 1; }
  void SetQuiet(bool quiet) { m_quiet = quiet; }
  void ShowProgress() { m_binding.show(); }
  void Cancel() { zip::AbortAll(); }

  int Execute(long action) { return Finish(Run(action)); }
  long Run(long action);
  int Finish(long result);

  ui::Window* THISWINDOW = nullptr;
  long LPROGRESSFEQ1 = 0;
  long LPROGRESSFEQ2 = 0;
  long LPROGRESSFEQ3 = 0;
  long LPROGRESSFEQ4 = 0;
  std::string SZARCHIVENAME;
  std::string SZFILESPEC;
  unsigned long LFLAG = 0;
  long LLASTERROR = 0;

 private:
  ProgressBinding m_binding;
  bool m_quiet = false;
};

// The pattern as it joins a blank-separated list: trailing blanks gone, quoted when it holds a blank.
std::string specItem(std::string_view pattern);

}  // namespace ov::backup
