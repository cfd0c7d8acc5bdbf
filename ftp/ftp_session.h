// FtpSession: the program's client object over the FTP library. It owns one connection, shows each
// step as a status text and a progress value through its host, and posts the events that drive the
// operation: 1793 connected, 1794 logged in, 1795 disconnected, 1797 transfer done, 1798 failed.
//
// Download and Upload are event-driven: they open the files and return; the library's
// notifications (handed back through the host as TakeNotify) move the bytes a block at a time and
// end with 1797 or 1798. GetFile and PutFile move a whole file in one call through the host's
// runBlocking. Every failure posts 1798 and is kept for ErrorText, also a failure of our own (a
// local file that cannot be written) that the library does not know of.
//
// A download is written to "<local>.part" and takes the local name only once complete, so a failed
// or cancelled download keeps the file it would have replaced. An upload that fails or is
// cancelled is abandoned, never finished as if complete.
//
// StartConnect connects on a thread of its own, so that the owner's window stays free to take
// its Cancel while the server has not answered; Cancel then ends the attempt at once.
//
// Threading: the owner's thread (the window's), except FtpSessionHost::postNotify.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace ov::ftp {

// The events the session posts, and the message that carries library notifications.
namespace FtpEvent {
constexpr int NotifyMessage = 1792;
constexpr int Connected = 1793;
constexpr int LoggedIn = 1794;
constexpr int Disconnected = 1795;
constexpr int TransferDone = 1797;
constexpr int Failed = 1798;
}  // namespace FtpEvent

// What the session needs of its owner (the operation window, or a test's loop).
class FtpSessionHost {
 public:
  virtual ~FtpSessionHost() = default;
  // Queues one of the events above for the owner's thread, handled after the current one.
  virtual void postEvent(int event) = 0;
  // From the library's thread: queue `code` to come back as FtpSession::TakeNotify(code) on the
  // owner's thread.
  virtual void postNotify(int code) = 0;
  virtual void showStatus(const std::string& /*text*/) {}
  // The progress bar: the value, and the new maximum when `maximum` is not 0.
  virtual void showProgress(int64_t /*value*/, int64_t /*maximum*/) {}
  // Runs a call that waits on the server (the window keeps painting meanwhile).
  virtual void runBlocking(const std::function<void()>& call) { call(); }
  virtual void setBusy(bool /*busy*/) {}
};

// One entry of a remote folder listing.
struct RemoteEntry {
  bool ISDIRECTORY = false;
  std::string FILENAME;
  int32_t DATE = 0;   // day number
  int32_t TIME = 0;   // hundredths of a second since midnight + 1
  int64_t SIZE = 0;
  std::string SORTNAME;  // upper case
  int32_t ID = 0;
};

class FtpSession {
 public:
  FtpSession();
  ~FtpSession();
  FtpSession(const FtpSession&) = delete;
  FtpSession& operator=(const FtpSession&) = delete;

  void Init(FtpSessionHost& host, bool autorefresh);
  void Kill();

  // The handle, or -1.
  int32_t Connect(const std::string& host, int32_t port, int32_t timeout);
  // Starts connecting without waiting: 1793 follows once connected, 1798 when it failed (or
  // nothing, when Cancel stopped it). -1 when no connection can be made at all. Without a host
  // it connects at once, as Connect.
  int StartConnect(const std::string& host, int32_t port, int32_t timeout);
  int Login(const std::string& user, const std::string& password);
  void Disconnect();
  void Cancel();

  void SetPassiveMode(bool on);
  void SetTimeout(uint32_t seconds);
  void SetPort(uint32_t port) { PORT = port; }

  int ChangeDirectory(const std::string& folder);
  void SetDirectory(const std::string& folder);
  // Entries of `folder` ("" = the current one): ".." always, "." never, folders before files,
  // each sorted by upper-cased name; files only when asked; files matched against `pattern`
  // ignoring case unless it is blank or "*.*". The number of entries.
  int ListDirectory(std::vector<RemoteEntry>& queue, const std::string& folder, const std::string& pattern,
                    bool filesOnly);
  void Refresh();

  void Download(std::string local, std::string remote, int type);
  void Upload(std::string local, std::string remote, int type);
  void GetFile(std::string local, std::string remote, int type);
  void PutFile(std::string local, std::string remote, int type);
  // The remote commands: each ends with 1797 or 1798.
  void RemoveFile(const std::string& remote);
  void RemoveDirectory(const std::string& folder);
  void MakeDirectory(const std::string& folder);

  void SetStatus(const std::string& text);
  void SetProgress(int64_t value, int64_t maximum);
  // Records a failure: the text, the library's error text and code when it has one; posts 1798.
  // A local failure (a local file or folder) is the text alone: the library's last error is
  // not about it.
  void ReportError(const std::string& text, bool local = false);
  // The failure recorded by ReportError ("No error" when none).
  std::string ErrorText() const;
  // The user cancelled: recorded as the failure "Cancelled by the user".
  void NoteCancelled();

  int StartNotify();
  void StopNotify();
  void CloseFiles();
  // A library notification (1 data to read, 2 room to write), on the owner's thread.
  void TakeNotify(int code);
  // Posts an event through the host.
  void Post(int event);

  bool CONNECTED = false;
  bool CANCONNECT = false;
  bool LOGGEDIN = false;
  bool AUTOREFRESH = false;
  std::vector<RemoteEntry> Q;
  std::string HOST, USERNAME, PASSWORD, ACCOUNT;
  std::string REMOTEPATH;
  std::string LOCALFILE, REMOTEFILE;
  int64_t BYTESCOPIED = 0;
  int64_t BYTES = 0;
  int32_t LASTERROR = 0;
  int STATE = 0;  // 0 reading (download), 1 writing (upload)
  int32_t STATUS = 0;
  std::string STATUSMSG;
  int32_t STARTTIME = 0;
  int32_t HANDLE = 0;
  bool LOCALFILECLOSED = true;
  bool REMOTEFILECLOSED = true;
  uint32_t PORT = 21;
  uint32_t TIMEOUT = 30;

 private:
  void ReadChunks();
  void WriteChunks();
  void finishDownload();
  void finishUpload();
  void showCopied(bool force = false);
  void blocking(const std::function<void()>& call);
  void remoteCommand(const char* what, const std::function<int()>& call);
  // The connecting thread has ended: takes its handle on the owner's thread.
  void beginConnect(const std::string& host, int32_t port, int32_t timeout);
  void finishConnect();
  // Stops a connection attempt still under way and waits for its thread.
  void stopConnecting();

  FtpSessionHost* m_host = nullptr;
  std::FILE* m_local = nullptr;
  std::string m_partFile;  // the download's temporary file while it is open
  // Transfers move data in large blocks; the progress display is told a few times a second.
  static constexpr size_t kBlock = 256 << 10;
  std::vector<char> m_buffer = std::vector<char>(kBlock);
  int64_t m_progressShownAt = 0;  // steady-clock milliseconds of the last progress shown
  size_t m_held = 0;       // bytes of m_buffer not yet taken by the server
  size_t m_heldAt = 0;
  bool m_failed = false;
  std::string m_errorText;
  std::thread m_connector;                  // StartConnect's attempt
  std::atomic<bool> m_connectEnded{false};
  std::atomic<int32_t> m_connectHandle{-1};
  bool m_connectCancelled = false;
};

}  // namespace ov::ftp
