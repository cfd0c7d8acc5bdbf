#include "ftp/ftp_session.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/libs/ftp/ftp_library.h"
#include "platform/rt/date_time.h"
#include "platform/rt/text.h"

namespace ov::ftp {
namespace lib = ov::ftplib;

namespace {

constexpr int32_t kDay = 8640000;  // hundredths of a second
constexpr int kConnectEnded = 0x40;  // a notification of our own: StartConnect's thread is done

std::string errnoText() { return std::strerror(errno); }

std::string afterLastSeparator(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool isBlank(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }

}  // namespace

FtpSession::FtpSession() = default;

FtpSession::~FtpSession() {
  if (m_host) Kill();
}

void FtpSession::Init(FtpSessionHost& host, bool autorefresh) {
  m_host = &host;
  AUTOREFRESH = autorefresh;
  Q.clear();
  PORT = 21;
  SetTimeout(30);
  STATUS = 0;
  STATUSMSG.clear();
  LASTERROR = 0;
  HANDLE = 0;
  BYTESCOPIED = 0;
  BYTES = 0;
  if (lib::FtpInitialize()) {
    SetStatus("Initialized");
    CANCONNECT = true;
  } else {
    ReportError("Initialization failed");
    CANCONNECT = false;
  }
}

void FtpSession::Kill() {
  if (!m_host) return;
  stopConnecting();
  Disconnect();
  lib::FtpUninitialize();
  Q.clear();
  m_host = nullptr;
}

void FtpSession::Post(int event) {
  if (m_host) m_host->postEvent(event);
}

void FtpSession::blocking(const std::function<void()>& call) {
  if (m_host) m_host->runBlocking(call);
  else call();
}

// What a connection attempt starts from: no handle, the host and the limits it is made with.
void FtpSession::beginConnect(const std::string& host, int32_t port, int32_t timeout) {
  HANDLE = 0;
  STATUS = 0;
  LOCALFILECLOSED = REMOTEFILECLOSED = true;
  HOST = rt::CLIP(host);
  SetStatus("Connecting to " + HOST);
  if (port != -1) PORT = uint32_t(port);
  if (timeout != -1) TIMEOUT = uint32_t(timeout);
}

int32_t FtpSession::Connect(const std::string& host, int32_t port, int32_t timeout) {
  if (!CANCONNECT) return -1;
  beginConnect(host, port, timeout);
  int32_t handle = -1;
  blocking([&] { handle = lib::FtpConnect(HOST, PORT, TIMEOUT); });
  if (handle == -1) {
    ReportError("Connection to host failed");
    CONNECTED = false;
    HANDLE = 0;
    return -1;
  }
  HANDLE = handle;
  CONNECTED = true;
  LOGGEDIN = false;
  Post(FtpEvent::Connected);
  return handle;
}

int FtpSession::StartConnect(const std::string& host, int32_t port, int32_t timeout) {
  if (!m_host) return Connect(host, port, timeout) == -1 ? -1 : 0;
  if (!CANCONNECT || m_connector.joinable()) return -1;
  beginConnect(host, port, timeout);
  m_connectEnded = false;
  m_connectHandle = -1;
  m_connectCancelled = false;
  FtpSessionHost* owner = m_host;
  m_connector = std::thread([this, owner, server = HOST, port = PORT, limit = TIMEOUT] {
    m_connectHandle = lib::FtpConnect(server, port, limit);
    m_connectEnded = true;
    owner->postNotify(kConnectEnded);
  });
  return 0;
}

void FtpSession::finishConnect() {
  if (!m_connector.joinable()) return;
  m_connector.join();
  const int32_t handle = m_connectHandle.exchange(-1);
  if (m_connectCancelled) {
    if (handle != -1) lib::FtpDisconnect(handle);  // it got through just as it was cancelled
    return;
  }
  if (handle == -1) {
    ReportError("Connection to host failed");
    CONNECTED = false;
    HANDLE = 0;
    return;
  }
  HANDLE = handle;
  CONNECTED = true;
  LOGGEDIN = false;
  Post(FtpEvent::Connected);
}

void FtpSession::stopConnecting() {
  if (!m_connector.joinable()) return;
  m_connectCancelled = true;
  // The attempt may not have reached the library yet: ask again until its thread has ended.
  while (!m_connectEnded) {
    lib::FtpCancelConnect();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  finishConnect();
}

int FtpSession::Login(const std::string& user, const std::string& password) {
  if (!CONNECTED) {
    ReportError("Not connected", true);
    return -1;
  }
  SetStatus("Logging on to server");
  USERNAME = rt::CLIP(user);
  PASSWORD = rt::CLIP(password);
  ACCOUNT.clear();
  int rc = -1;
  blocking([&] { rc = lib::FtpLogin(HANDLE, USERNAME, PASSWORD, ACCOUNT); });
  if (rc == -1) {
    ReportError("Unable to log on");
    LOGGEDIN = false;
    return -1;
  }
  if (lib::FtpGetDirectory(HANDLE, REMOTEPATH) == -1) {
    SetStatus("Connecting - " + HOST + " - Could not retrieve directory");
  } else if (AUTOREFRESH) {
    SetStatus("Logging in - " + HOST + " - Retrieving directory: " + REMOTEPATH);
    Refresh();
  }
  Post(FtpEvent::LoggedIn);
  LOGGEDIN = true;
  SetStatus("Login complete");
  return 0;
}

void FtpSession::Disconnect() {
  if (!CONNECTED) {
    SetStatus("Offline");
    return;
  }
  lib::FtpAsyncNotify(HANDLE, nullptr);
  CloseFiles();
  lib::FtpLogout(HANDLE);
  lib::FtpDisconnect(HANDLE);
  CONNECTED = false;
  LOGGEDIN = false;
  HANDLE = 0;
  SetStatus("Disconnected");
  Post(FtpEvent::Disconnected);
}

void FtpSession::Cancel() {
  if (m_connector.joinable()) {
    stopConnecting();
    SetStatus("Connection to " + HOST + " cancelled");
  }
  if (CONNECTED && lib::FtpCancel(HANDLE)) SetStatus("Cancelled");
  CloseFiles();
}

void FtpSession::NoteCancelled() {
  m_failed = true;
  m_errorText = "Cancelled by the user";
  STATUSMSG = "Cancelled";
}

void FtpSession::SetPassiveMode(bool on) {
  if (HANDLE) lib::FtpSetPassiveMode(HANDLE, on ? 1 : 0);
}

void FtpSession::SetTimeout(uint32_t seconds) {
  TIMEOUT = seconds;
  if (HANDLE) lib::FtpSetTimeout(HANDLE, seconds);
}

int FtpSession::ChangeDirectory(const std::string& folder) {
  int rc = -1;
  blocking([&] { rc = lib::FtpChangeDirectory(HANDLE, rt::CLIP(folder)); });
  lib::FtpGetDirectory(HANDLE, REMOTEPATH);
  return rc;
}

void FtpSession::SetDirectory(const std::string& folder) {
  SetStatus("Setting directory");
  if (ChangeDirectory(folder) == -1) {
    ReportError("Unable to change remote directory");
    return;  // the error stays the last word of the status
  }
  SetStatus("Directory - " + REMOTEPATH);
  if (AUTOREFRESH) Refresh();
}

int FtpSession::ListDirectory(std::vector<RemoteEntry>& queue, const std::string& folder, const std::string& pattern,
                              bool filesOnly) {
  queue.clear();
  int rc = -1;
  blocking([&] { rc = lib::FtpOpenDirectory(HANDLE, folder); });
  if (rc == -1) return 0;
  if (m_host) m_host->setBusy(true);
  SetProgress(0, 100);
  bool sawParent = false;
  lib::DirEntry e;
  for (int more = lib::FtpGetFirstFile(HANDLE, e); more; more = lib::FtpGetNextFile(HANDLE, e)) {
    RemoteEntry q;
    q.ID = int32_t(queue.size()) + 1;
    SetProgress(q.ID, 0);
    q.FILENAME = rt::CLIP(e.name);
    q.SORTNAME = rt::UPPER(q.FILENAME);
    q.DATE = e.year ? rt::DATE(e.month, e.day, e.year) : 0;
    q.TIME = e.hour * 360000 + e.minute * 6000 + e.second * 100 + 1;
    q.SIZE = e.size;
    q.ISDIRECTORY = e.isDirectory;
    sawParent = sawParent || q.FILENAME == "..";
    queue.push_back(std::move(q));
  }
  if (!sawParent) {
    RemoteEntry up;
    up.ID = int32_t(queue.size()) + 1;
    up.FILENAME = up.SORTNAME = "..";
    up.ISDIRECTORY = true;
    queue.push_back(up);
  }
  lib::FtpCloseDirectory(HANDLE);
  const std::string wanted = rt::UPPER(rt::CLIP(pattern));
  const bool everything = wanted.empty() || wanted == "*.*";
  std::erase_if(queue, [&](const RemoteEntry& q) {
    if (q.FILENAME == ".") return true;
    if (q.ISDIRECTORY) return filesOnly;
    return !everything && !rt::wildcardMatch(q.SORTNAME, wanted);
  });
  std::stable_sort(queue.begin(), queue.end(), [](const RemoteEntry& a, const RemoteEntry& b) {
    if (a.ISDIRECTORY != b.ISDIRECTORY) return a.ISDIRECTORY;
    return a.SORTNAME < b.SORTNAME;
  });
  SetProgress(0, 100);
  if (m_host) m_host->setBusy(false);
  return int(queue.size());
}

void FtpSession::Refresh() { ListDirectory(Q, REMOTEPATH, "*.*", false); }

// ---- event-driven transfers ------------------------------------------------------------------------

void FtpSession::Download(std::string local, std::string remote, int type) {
  STARTTIME = rt::CLOCK();
  CloseFiles();
  if (isBlank(local)) local = remote;
  if (isBlank(remote)) remote = local;
  SetStatus("Download " + rt::CLIP(local) + " from " + HOST);
  LOCALFILE = rt::CLIP(local);
  REMOTEFILE = rt::CLIP(remote);
  BYTESCOPIED = 0;
  STATE = 0;
  if (!lib::FtpSetFileType(HANDLE, type)) {
    ReportError("Unable to set file type");
    return;
  }
  int64_t length = -1;
  blocking([&] { length = lib::FtpGetFileLength(HANDLE, REMOTEFILE, BYTES); });
  if (length == -1) {
    ReportError("Unable to retrieve file size");
    return;
  }
  if (length == 0) {
    BYTES = 0;
    std::FILE* f = std::fopen(LOCALFILE.c_str(), "wb");
    if (!f || std::fclose(f) != 0) {
      ReportError("Unable to create local file: " + errnoText(), true);
      return;
    }
    SetStatus("Transfer complete");
    Post(FtpEvent::TransferDone);
    return;
  }
  if (StartNotify() == -1) {
    ReportError("Unable to initialize event driver");
    return;
  }
  SetProgress(0, BYTES);
  SetStatus("Downloading " + REMOTEFILE + " from " + HOST);
  if (lib::FtpOpenFile(HANDLE, REMOTEFILE, lib::kOpenRead) == -1) {
    ReportError("Unable to open file on server");
    StopNotify();
    return;
  }
  REMOTEFILECLOSED = false;
  m_partFile = LOCALFILE + ".part";
  m_local = std::fopen(m_partFile.c_str(), "wb");
  if (!m_local) {
    m_partFile.clear();
    ReportError("Unable to create local file: " + errnoText(), true);
    StopNotify();
    return;
  }
  LOCALFILECLOSED = false;
}

void FtpSession::ReadChunks() {
  if (STATE != 0 || LOCALFILECLOSED || REMOTEFILECLOSED) return;
  for (;;) {
    int n = lib::FtpRead(HANDLE, m_buffer.data(), int(m_buffer.size()));
    if (n > 0) {
      if (std::fwrite(m_buffer.data(), 1, size_t(n), m_local) != size_t(n)) {
        ReportError("\"" + errnoText() + "\" adding to local file", true);
        StopNotify();
        return;
      }
      BYTESCOPIED += n;
      showCopied();
      if (rt::CLOCK() < STARTTIME) STARTTIME -= kDay;  // past midnight
      continue;
    }
    if (n == 0) {
      // The whole file is here and the server confirmed it: done, whatever size was announced
      // (a text transfer changes line ends).
      finishDownload();
      return;
    }
    if (lib::FtpGetLastError() == lib::err::WouldBlock) return;  // the next notification brings more
    ReportError("Download of " + REMOTEFILE + " failed");
    StopNotify();
    return;
  }
}

void FtpSession::finishDownload() {
  lib::FtpAsyncNotify(HANDLE, nullptr);
  showCopied(true);
  bool written = std::fclose(m_local) == 0;
  m_local = nullptr;
  LOCALFILECLOSED = true;
  std::string part = m_partFile;
  m_partFile.clear();
  if (!written || std::rename(part.c_str(), LOCALFILE.c_str()) != 0) {
    std::string why = errnoText();
    std::remove(part.c_str());
    ReportError("Unable to create local file: " + why, true);
    StopNotify();
    return;
  }
  lib::FtpCloseFile(HANDLE);
  REMOTEFILECLOSED = true;
  SetStatus("Transfer complete");
  Post(FtpEvent::TransferDone);
  StopNotify();
}

void FtpSession::Upload(std::string local, std::string remote, int type) {
  STARTTIME = rt::CLOCK();
  CloseFiles();
  STATE = 1;
  if (isBlank(remote)) remote = afterLastSeparator(rt::CLIP(local));
  LOCALFILE = rt::CLIP(local);
  REMOTEFILE = rt::CLIP(remote);
  SetStatus("Uploading " + LOCALFILE + " to " + HOST + " (" + REMOTEFILE + ")");
  BYTESCOPIED = 0;
  m_held = m_heldAt = 0;
  if (StartNotify() == -1) {
    ReportError("Unable to initialize event driver");
    CloseFiles();
    return;
  }
  if (!lib::FtpSetFileType(HANDLE, type)) {
    ReportError("Unable to set file type");
    StopNotify();
    return;
  }
  // The local file is opened first: a missing one must not replace the server's copy with nothing.
  m_local = std::fopen(LOCALFILE.c_str(), "rb");
  struct stat st {};
  if (!m_local || ::fstat(::fileno(m_local), &st) != 0) {
    ReportError("Unable to open local file: " + errnoText(), true);
    StopNotify();
    return;
  }
  LOCALFILECLOSED = false;
  BYTES = st.st_size;
  SetProgress(0, BYTES);
  if (lib::FtpOpenFile(HANDLE, REMOTEFILE, lib::kOpenWrite) == -1) {
    ReportError("Unable to open file (" + (REMOTEFILE.empty() ? LOCALFILE + "!" : REMOTEFILE) + ") on server");
    StopNotify();
    return;
  }
  REMOTEFILECLOSED = false;
  if (BYTES == 0) finishUpload();  // nothing to write: no notification would ever end it
}

void FtpSession::WriteChunks() {
  if (STATE != 1 || LOCALFILECLOSED || REMOTEFILECLOSED) return;
  for (;;) {
    if (BYTESCOPIED >= BYTES) {
      finishUpload();
      return;
    }
    if (m_held == 0) {
      size_t want = size_t(std::min<int64_t>(int64_t(m_buffer.size()), BYTES - BYTESCOPIED));
      size_t n = std::fread(m_buffer.data(), 1, want, m_local);
      if (n == 0) {
        ReportError("Local file read error: " +
                    (std::ferror(m_local) ? errnoText() : std::string("the file ended before its size")),
                    true);
        StopNotify();
        return;
      }
      m_held = n;
      m_heldAt = 0;
    }
    int w = lib::FtpWrite(HANDLE, m_buffer.data() + m_heldAt, int(m_held));
    if (w == -1) {
      if (lib::FtpGetLastError() == lib::err::WouldBlock) return;  // the rest waits in the buffer
      ReportError("Write error " + std::to_string(w));
      StopNotify();
      return;
    }
    m_heldAt += size_t(w);
    m_held -= size_t(w);
    BYTESCOPIED += w;
    showCopied();
    if (rt::CLOCK() < STARTTIME) STARTTIME -= kDay;
  }
}

void FtpSession::finishUpload() {
  lib::FtpAsyncNotify(HANDLE, nullptr);
  showCopied(true);
  std::fclose(m_local);
  m_local = nullptr;
  LOCALFILECLOSED = true;
  int rc = -1;
  // The server's confirmation is what makes the upload complete.
  blocking([&] { rc = lib::FtpCloseFile(HANDLE); });
  REMOTEFILECLOSED = true;
  if (rc == -1) {
    ReportError("The server did not confirm " + REMOTEFILE);
    StopNotify();
    return;
  }
  SetStatus("Transfer complete");
  Post(FtpEvent::TransferDone);
  StopNotify();
}

// ---- blocking transfers and commands ------------------------------------------------------------

void FtpSession::GetFile(std::string local, std::string remote, int type) {
  if (!lib::FtpSetFileType(HANDLE, type)) {
    ReportError("Unable to set file type");
    return;
  }
  if (isBlank(remote)) remote = afterLastSeparator(rt::CLIP(local));
  SetStatus("Downloading " + rt::CLIP(local) + " from " + HOST);
  LOCALFILE = rt::CLIP(local);
  REMOTEFILE = rt::CLIP(remote);
  STATE = 0;
  STARTTIME = rt::CLOCK();
  int rc = -1;
  blocking([&] { rc = lib::FtpGetFile(HANDLE, LOCALFILE, REMOTEFILE, 0); });
  if (rc == -1) {
    ReportError("Download of " + REMOTEFILE + " failed");
    return;
  }
  SetStatus("Transfer complete");
  Post(FtpEvent::TransferDone);
}

void FtpSession::PutFile(std::string local, std::string remote, int type) {
  if (!lib::FtpSetFileType(HANDLE, type)) {
    ReportError("Unable to set file type");
    return;
  }
  if (isBlank(remote)) remote = afterLastSeparator(rt::CLIP(local));
  LOCALFILE = rt::CLIP(local);
  REMOTEFILE = rt::CLIP(remote);
  STATE = 1;
  STARTTIME = rt::CLOCK();
  SetStatus("Uploading " + LOCALFILE + " to " + HOST + " (" + REMOTEFILE + ")");
  struct stat st {};
  BYTES = ::stat(LOCALFILE.c_str(), &st) == 0 ? st.st_size : 0;
  SetProgress(0, BYTES);
  int rc = -1;
  blocking([&] { rc = lib::FtpPutFile(HANDLE, LOCALFILE, REMOTEFILE, 0); });
  if (rc == -1) {
    ReportError("Upload of " + LOCALFILE + " failed");
    return;
  }
  BYTESCOPIED = BYTES;
  SetStatus("Transfer complete");
  Post(FtpEvent::TransferDone);
}

void FtpSession::remoteCommand(const char* what, const std::function<int()>& call) {
  SetStatus(what);
  int rc = -1;
  blocking([&] { rc = call(); });
  if (rc == -1) {
    ReportError(std::string("Unable to ") + what);
    return;
  }
  SetStatus("Done: " + std::string(what));
  Post(FtpEvent::TransferDone);
}

void FtpSession::RemoveFile(const std::string& remote) {
  REMOTEFILE = rt::CLIP(remote);
  remoteCommand(("delete " + REMOTEFILE).c_str(), [&] { return lib::FtpDeleteFile(HANDLE, REMOTEFILE); });
}

void FtpSession::RemoveDirectory(const std::string& folder) {
  REMOTEFILE = rt::CLIP(folder);
  remoteCommand(("remove folder " + REMOTEFILE).c_str(), [&] { return lib::FtpRemoveDirectory(HANDLE, REMOTEFILE); });
}

void FtpSession::MakeDirectory(const std::string& folder) {
  REMOTEFILE = rt::CLIP(folder);
  remoteCommand(("make folder " + REMOTEFILE).c_str(), [&] { return lib::FtpMakeDirectory(HANDLE, REMOTEFILE); });
}

// ---- status, errors, notifications ---------------------------------------------------------------

void FtpSession::SetStatus(const std::string& text) {
  STATUSMSG = text.substr(0, 1024);
  if (m_host) m_host->showStatus(STATUSMSG);
}

void FtpSession::SetProgress(int64_t value, int64_t maximum) {
  if (m_host) m_host->showProgress(value, maximum);
}

// The bar is redrawn at most every 200 ms however fast the blocks come, and always at the end.
void FtpSession::showCopied(bool force) {
  const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now().time_since_epoch()).count();
  if (!force && now - m_progressShownAt < 200) return;
  m_progressShownAt = now;
  SetProgress(BYTESCOPIED, 0);
}

void FtpSession::ReportError(const std::string& text, bool local) {
  const int code = local ? 0 : lib::FtpGetLastError();
  m_failed = true;
  if (code != lib::err::None && code != lib::err::NoErrorNote) {
    const std::string library = lib::FtpGetErrorString(code);
    LASTERROR = code;
    m_errorText = library;
    STATUSMSG = (text + ": " + library).substr(0, 1024);
    SetStatus(rt::CLIP(STATUSMSG) + " (" + std::to_string(code) + ")");
  } else {
    // A failure of our own (a local file, say): the library knows nothing of it, yet the
    // operation must hear of it or it would wait for ever.
    m_errorText = text;
    SetStatus(text);
  }
  Post(FtpEvent::Failed);
}

std::string FtpSession::ErrorText() const { return m_failed ? m_errorText : std::string("No error"); }

int FtpSession::StartNotify() {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (lib::FtpIsBlocking(HANDLE) && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  FtpSessionHost* host = m_host;
  return lib::FtpAsyncNotify(HANDLE, [host](int code) {
    if (host) host->postNotify(code);
  });
}

void FtpSession::StopNotify() {
  if (HANDLE) lib::FtpAsyncNotify(HANDLE, nullptr);
  CloseFiles();
  SetProgress(0, 100);
}

void FtpSession::CloseFiles() {
  if (!LOCALFILECLOSED && m_local) std::fclose(m_local);
  m_local = nullptr;
  if (!m_partFile.empty()) {
    std::remove(m_partFile.c_str());  // a download that did not complete
    m_partFile.clear();
  }
  if (!REMOTEFILECLOSED && HANDLE) {
    // An open upload is abandoned, not finished: the server must not keep a part as the file.
    if (STATE == 1) lib::FtpCancel(HANDLE);
    lib::FtpCloseFile(HANDLE);
  }
  LOCALFILECLOSED = REMOTEFILECLOSED = true;
}

void FtpSession::TakeNotify(int code) {
  switch (code & 0xff) {
    case lib::kNotifyRead:
      if (STATE == 0) ReadChunks();
      break;
    case lib::kNotifyWrite:
      if (STATE == 1) WriteChunks();
      break;
    case 16:
    case 32:
      break;
    case kConnectEnded:
      finishConnect();
      break;
    default:
      ReportError("Unknown library call", true);
      break;
  }
}

}  // namespace ov::ftp
