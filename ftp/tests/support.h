// Pieces shared by the program's tests: an event loop that runs an FtpOperation without a window,
// and a way to run the ovftp program itself from a program folder of the test's own.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "ftp/ftp_operation.h"
#include "ftp/ftp_session.h"

namespace ov::ftp::test {

// The session's host for runs without a window: events and notifications are queued and handed
// out on the test's thread by run().
class LoopHost : public FtpSessionHost {
 public:
  void postEvent(int event) override;
  void postNotify(int code) override;
  void showStatus(const std::string& text) override { statuses.push_back(text); }

  // Starts `operation` and hands it its events until it closes; false after `ms` without that.
  // `afterEvent` (optional) runs after each event (a test cancels there, say).
  bool run(FtpOperation& operation, FtpSession& session, int ms = 30000,
           const std::function<void(int event)>& afterEvent = {});

  std::vector<std::string> statuses;

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::deque<std::pair<bool, int>> m_queue;  // (notification?, event or code)
};

// A program folder holding a copy of ovftp (the program writes its logs beside itself).
class ProgramFolder {
 public:
  ProgramFolder();
  ~ProgramFolder();
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;
  const std::string& path() const { return m_path; }
  std::string file(const std::string& name) const { return m_path + "/" + name; }
  bool exists(const std::string& name) const;
  void write(const std::string& name, const std::string& text) const;
  // Runs ovftp with `arguments` (offscreen, or with `display` false with no display at all); its
  // exit status as a signed byte (-1 for 255), or 1000 when it did not end within `ms`.
  int run(const std::vector<std::string>& arguments, int ms = 60000, bool display = true) const;
  // The program's XDG_RUNTIME_DIR (made private), where its password files are looked for.
  std::string runtimeFolder() const;

 private:
  std::string m_path;
};

}  // namespace ov::ftp::test
