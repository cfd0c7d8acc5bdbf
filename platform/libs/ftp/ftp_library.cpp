#include "platform/libs/ftp/ftp_library.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace ov::ftplib {
namespace {

using Clock = std::chrono::steady_clock;

// An open file's bytes wait here between the transfer thread and the caller; a reader that does
// not drain it (or a writer that fills it) holds the transfer back, never memory without bound.
constexpr size_t kDownloadBuffer = 1 << 20;
constexpr size_t kUploadBuffer = 1 << 20;

enum class Stream { None, Reading, Writing };

struct Connection {
  CURL* easy = nullptr;
  CURLM* multi = nullptr;  // runs every request of `easy`; holds the open control connection
  std::string host;
  uint32_t port = 21;
  std::atomic<uint32_t> timeout{30};
  std::string user, password;
  bool loggedIn = false;
  bool passive = false;
  int type = kTypeImage;
  std::string cwd = "/";
  std::atomic<bool> blocking{false};
  std::atomic<bool> abort{false};

  std::vector<DirEntry> listing;
  size_t listPos = 0;

  // The open file, shared with its transfer thread under `mutex`.
  std::mutex mutex;
  std::condition_variable cv;
  Stream stream = Stream::None;
  std::thread worker;
  std::string buffer;     // bytes not yet taken by the reader / not yet sent to the server
  size_t bufferHead = 0;  // the part of `buffer` already taken
  bool endOfData = false; // the writer has closed the upload
  bool done = false;      // the transfer thread has ended
  int doneError = 0;
  std::string doneDetail;
  bool readerWaiting = true;  // the reader met an empty buffer: tell it when data come
  bool writerWaiting = true;  // the writer met a full buffer: tell it when room comes
  bool waitTimedOut = false;

  std::mutex notifyMutex;
  Notify notify;

  size_t pending() const { return buffer.size() - bufferHead; }
  void compact() {
    if (bufferHead > 0 && bufferHead * 2 >= buffer.size()) {
      buffer.erase(0, bufferHead);
      bufferHead = 0;
    }
  }
  void signal(int event) {
    std::lock_guard<std::mutex> lock(notifyMutex);
    if (notify) notify(event);
  }
};

std::mutex g_mutex;
bool g_initialized = false;
std::map<Handle, std::shared_ptr<Connection>> g_connections;
Handle g_nextHandle = 1;

std::mutex g_errorMutex;
std::atomic<int> g_lastError{0};
std::string g_lastDetail;

int fail(int code, std::string detail = {}) {
  std::lock_guard<std::mutex> lock(g_errorMutex);
  g_lastError = code;
  g_lastDetail = std::move(detail);
  return -1;
}

void succeed() {
  std::lock_guard<std::mutex> lock(g_errorMutex);
  g_lastError = 0;
  g_lastDetail.clear();
}

std::shared_ptr<Connection> find(Handle h) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_connections.find(h);
  return it == g_connections.end() ? nullptr : it->second;
}

// ---- remote paths and URLs ------------------------------------------------------------------------

// `name` against the folder `cwd`: an absolute path without "." and ".." parts, "/" for the root.
std::string resolve(const std::string& cwd, std::string_view name) {
  std::string full = !name.empty() && name[0] == '/' ? std::string(name) : cwd + "/" + std::string(name);
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos <= full.size()) {
    size_t end = full.find('/', pos);
    if (end == std::string::npos) end = full.size();
    std::string part = full.substr(pos, end - pos);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    pos = end + 1;
  }
  std::string out;
  for (const std::string& p : parts) out += "/" + p;
  return out.empty() ? "/" : out;
}

std::string encode(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      out += char(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

// The URL of an absolute remote path; "%2F" makes the path start at the server's root rather
// than at the folder the log-on lands in.
std::string url(const Connection& c, const std::string& path, bool folder) {
  std::string host = c.host.find(':') != std::string::npos ? "[" + c.host + "]" : c.host;
  std::string u = "ftp://" + host + ":" + std::to_string(c.port) + "/%2F" + encode(path.substr(1));
  if (folder && u.back() != '/') u += '/';
  return u;
}

// ---- libcurl ----------------------------------------------------------------------------------

int progressCheck(void* p, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<Connection*>(p)->abort.load() ? 1 : 0;
}

size_t discard(char*, size_t size, size_t n, void*) { return size * n; }

size_t appendText(char* data, size_t size, size_t n, void* out) {
  static_cast<std::string*>(out)->append(data, size * n);
  return size * n;
}

struct Request {
  char errors[CURL_ERROR_SIZE] = {};
};

// Sets up the handle for one request: the log-on, the time-outs, the mode, the file type.
void prepare(Connection& c, Request& r, const std::string& u, bool ascii) {
  CURL* e = c.easy;
  curl_easy_reset(e);  // keeps the open control connection for the next request
  const long timeout = long(c.timeout.load());
  curl_easy_setopt(e, CURLOPT_URL, u.c_str());
  curl_easy_setopt(e, CURLOPT_USERNAME, c.user.c_str());
  curl_easy_setopt(e, CURLOPT_PASSWORD, c.password.c_str());
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, timeout);
  curl_easy_setopt(e, CURLOPT_SERVER_RESPONSE_TIMEOUT, timeout);
  curl_easy_setopt(e, CURLOPT_ACCEPTTIMEOUT_MS, timeout * 1000);
  // A data connection that moves nothing for the time-out ends the transfer.
  curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, timeout);
  if (!c.passive) curl_easy_setopt(e, CURLOPT_FTPPORT, "-");
  curl_easy_setopt(e, CURLOPT_TRANSFERTEXT, ascii ? 1L : 0L);
  curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, progressCheck);
  curl_easy_setopt(e, CURLOPT_XFERINFODATA, &c);
  curl_easy_setopt(e, CURLOPT_ERRORBUFFER, r.errors);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, discard);
  // Large socket reads and writes: the data move in few, big pieces.
  curl_easy_setopt(e, CURLOPT_BUFFERSIZE, 512L << 10);
  curl_easy_setopt(e, CURLOPT_UPLOAD_BUFFERSIZE, 512L << 10);
}

int errorOf(CURLcode rc, const Connection& c) {
  switch (rc) {
    case CURLE_OK: return err::None;
    case CURLE_COULDNT_RESOLVE_HOST: return err::HostNotFound;
    case CURLE_COULDNT_CONNECT: return err::ConnectFailed;
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_FTP_ACCEPT_TIMEOUT: return err::Timeout;
    case CURLE_LOGIN_DENIED: return err::LoginDenied;
    case CURLE_REMOTE_ACCESS_DENIED: return err::FolderNotFound;
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_FTP_COULDNT_RETR_FILE: return err::FileNotFound;
    case CURLE_UPLOAD_FAILED: return err::AccessDenied;
    case CURLE_ABORTED_BY_CALLBACK: return c.abort ? err::Cancelled : err::Timeout;
    case CURLE_WRITE_ERROR:
    case CURLE_READ_ERROR: return c.abort ? err::Cancelled : c.waitTimedOut ? err::Timeout : err::LocalFile;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_PORT_FAILED:
    case CURLE_FTP_ACCEPT_FAILED: return err::TransferFailed;
    default: return err::ServerError;
  }
}

// Runs the request prepared on the handle to its end, on the calling thread.
//
// This is what curl_easy_perform does, with one difference: the system's libcurl may leave a
// transfer with no socket to wait on between two steps (a reply that was already there when it
// looked, followed by a step that opens a new connection, as after EPSV) and then sits out its
// whole one-second wait before it takes the next step. Here a step without a socket to wait on
// is taken again after a millisecond.
CURLcode runRequest(Connection& c) {
  if (curl_multi_add_handle(c.multi, c.easy) != CURLM_OK) return CURLE_FAILED_INIT;
  CURLcode result = CURLE_OK;
  for (;;) {
    int running = 0;
    if (curl_multi_perform(c.multi, &running) != CURLM_OK) {
      result = CURLE_FAILED_INIT;
      break;
    }
    if (running == 0) {
      int left = 0;
      while (CURLMsg* msg = curl_multi_info_read(c.multi, &left))
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == c.easy) result = msg->data.result;
      break;
    }
    long timeout = -1;
    curl_multi_timeout(c.multi, &timeout);
    const int waitMs = timeout < 0 || timeout > 1000 ? 1000 : int(timeout);
    fd_set readable, writable, failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    int maxfd = -1;
    curl_multi_fdset(c.multi, &readable, &writable, &failed, &maxfd);
    if (maxfd == -1) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min(waitMs, 1)));
      continue;
    }
    curl_multi_wait(c.multi, nullptr, 0, waitMs, nullptr);
  }
  curl_multi_remove_handle(c.multi, c.easy);
  return result;
}

// Runs the prepared request on the calling thread. 0, or -1 with the last error set.
int perform(Connection& c, Request& r) {
  CURLcode rc = runRequest(c);
  if (rc == CURLE_OK) {
    succeed();
    return 0;
  }
  std::string detail = r.errors[0] ? r.errors : curl_easy_strerror(rc);
  return fail(errorOf(rc, c), detail);
}

// A call that waits on the server: marked blocking for FtpIsBlocking, stoppable by FtpCancel.
class Blocking {
 public:
  explicit Blocking(Connection& c) : m_c(c) {
    m_c.abort = false;
    m_c.blocking = true;
  }
  ~Blocking() { m_c.blocking = false; }

 private:
  Connection& m_c;
};

// The connection that `h` names, ready for a request on the server; null with the last error set.
std::shared_ptr<Connection> usable(Handle h, bool needLogin = true) {
  if (!g_initialized) {
    fail(err::NotInitialized);
    return nullptr;
  }
  std::shared_ptr<Connection> c = find(h);
  if (!c) {
    fail(err::InvalidHandle);
    return nullptr;
  }
  if (needLogin && !c->loggedIn) {
    fail(err::NotLoggedIn);
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(c->mutex);
  if (c->stream != Stream::None || c->blocking) {
    fail(err::Busy);
    return nullptr;
  }
  return c;
}

// ---- the greeting probe of FtpConnect -----------------------------------------------------------

// A connection attempt that FtpCancelConnect can stop: its waits also watch `wake`.
struct PendingConnect {
  int wake = -1;
  bool cancelled = false;  // under g_connectsMutex
};
std::mutex g_connectsMutex;
std::set<PendingConnect*> g_connects;

// Registered for as long as it lives.
class ConnectAttempt {
 public:
  ConnectAttempt() {
    m_p.wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::lock_guard<std::mutex> lock(g_connectsMutex);
    g_connects.insert(&m_p);
  }
  ~ConnectAttempt() {
    {
      std::lock_guard<std::mutex> lock(g_connectsMutex);
      g_connects.erase(&m_p);
    }
    if (m_p.wake >= 0) ::close(m_p.wake);
  }
  ConnectAttempt(const ConnectAttempt&) = delete;
  ConnectAttempt& operator=(const ConnectAttempt&) = delete;

  bool cancelled() {
    std::lock_guard<std::mutex> lock(g_connectsMutex);
    return m_p.cancelled;
  }
  // Waits up to `ms` for `events` on `fd`: 1 when they came, 0 on the time-out, -1 when the
  // attempt was cancelled.
  int wait(int fd, short events, int ms) {
    if (cancelled()) return -1;
    pollfd p[2] = {{fd, events, 0}, {m_p.wake, POLLIN, 0}};
    int n;
    do {
      n = ::poll(p, m_p.wake >= 0 ? 2 : 1, ms);
    } while (n < 0 && errno == EINTR);
    if (cancelled()) return -1;
    return n > 0 && p[0].revents != 0 ? 1 : 0;
  }

 private:
  PendingConnect m_p;
};

// Connects to the server and reads its greeting; "" when it greets with 220, else what went wrong
// (`code` gets the error code).
std::string greet(const std::string& host, uint32_t port, uint32_t timeout, int& code) {
  ConnectAttempt attempt;
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (rc != 0) {
    code = err::HostNotFound;
    return host + ": " + gai_strerror(rc);
  }
  const auto until = Clock::now() + std::chrono::seconds(timeout);
  auto msLeft = [&] {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    return int(std::max<long long>(0, left));
  };
  std::string why = "no address to connect to";
  code = err::ConnectFailed;
  auto cancelled = [&] {
    ::freeaddrinfo(found);
    code = err::Cancelled;
    return std::string("the connection was cancelled");
  };
  for (addrinfo* a = found; a; a = a->ai_next) {
    if (attempt.cancelled()) return cancelled();
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
    if (fd < 0) continue;
    bool connected = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
    if (!connected && errno == EINPROGRESS) {
      const int ready = attempt.wait(fd, POLLOUT, msLeft());
      if (ready < 0) {
        ::close(fd);
        return cancelled();
      }
      if (ready == 1) {
        int soError = 0;
        socklen_t len = sizeof soError;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len);
        connected = soError == 0;
        if (!connected) why = std::strerror(soError);
      } else {
        why = "no answer in time";
        code = err::Timeout;
      }
    } else if (!connected) {
      why = std::strerror(errno);
    }
    if (!connected) {
      ::close(fd);
      continue;
    }
    std::string line;
    while (line.find('\n') == std::string::npos) {
      const int ready = attempt.wait(fd, POLLIN, msLeft());
      if (ready < 0) {
        ::close(fd);
        return cancelled();
      }
      if (ready != 1) break;
      char chunk[512];
      ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      line.append(chunk, size_t(n));
    }
    (void)!::send(fd, "QUIT\r\n", 6, MSG_NOSIGNAL);  // best effort: the login opens its own
    ::close(fd);
    ::freeaddrinfo(found);
    if (line.rfind("220", 0) == 0) return {};
    code = line.empty() ? err::Timeout : err::ConnectFailed;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return line.empty() ? "the server sent no greeting" : "the server answered: " + line.substr(0, 200);
  }
  ::freeaddrinfo(found);
  return why;
}

// ---- open files -------------------------------------------------------------------------------

size_t receiveChunk(char* data, size_t size, size_t n, void* p) {
  Connection& c = *static_cast<Connection*>(p);
  const size_t bytes = size * n;
  bool wake = false;
  {
    std::unique_lock<std::mutex> lock(c.mutex);
    const auto limit = std::chrono::seconds(c.timeout.load());
    if (!c.cv.wait_for(lock, limit, [&] { return c.abort || c.pending() < kDownloadBuffer; })) {
      c.waitTimedOut = true;  // the reader stopped taking the data
      return 0;
    }
    if (c.abort) return 0;
    c.compact();
    c.buffer.append(data, bytes);
    wake = c.readerWaiting;
    c.readerWaiting = false;
  }
  if (wake) c.signal(kNotifyRead);
  return bytes;
}

size_t sendChunk(char* out, size_t size, size_t n, void* p) {
  Connection& c = *static_cast<Connection*>(p);
  size_t taken = 0;
  bool wake = false;
  {
    std::unique_lock<std::mutex> lock(c.mutex);
    const auto limit = std::chrono::seconds(c.timeout.load());
    if (!c.cv.wait_for(lock, limit, [&] { return c.abort || c.endOfData || c.pending() > 0; })) {
      c.waitTimedOut = true;  // the writer stopped feeding the upload
      return CURL_READFUNC_ABORT;
    }
    if (c.abort) return CURL_READFUNC_ABORT;
    taken = std::min(size * n, c.pending());
    std::memcpy(out, c.buffer.data() + c.bufferHead, taken);
    c.bufferHead += taken;
    c.compact();
    wake = c.writerWaiting;
    c.writerWaiting = false;
  }
  if (wake) c.signal(kNotifyWrite);
  return taken;  // 0 once the writer has closed and everything went out
}

void runTransfer(std::shared_ptr<Connection> cp, std::string u, bool upload) {
  Connection& c = *cp;
  Request r;
  prepare(c, r, u, c.type == kTypeAscii);
  if (upload) {
    curl_easy_setopt(c.easy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c.easy, CURLOPT_READFUNCTION, sendChunk);
    curl_easy_setopt(c.easy, CURLOPT_READDATA, &c);
  } else {
    curl_easy_setopt(c.easy, CURLOPT_WRITEFUNCTION, receiveChunk);
    curl_easy_setopt(c.easy, CURLOPT_WRITEDATA, &c);
  }
  if (upload) c.signal(kNotifyWrite);  // the buffer is empty: the writer may start
  CURLcode rc = runRequest(c);
  bool wake;
  {
    std::lock_guard<std::mutex> lock(c.mutex);
    c.done = true;
    c.doneError = errorOf(rc, c);
    if (rc != CURLE_OK) c.doneDetail = r.errors[0] ? r.errors : curl_easy_strerror(rc);
    wake = upload ? c.writerWaiting : c.readerWaiting;
  }
  c.cv.notify_all();
  if (wake) c.signal(upload ? kNotifyWrite : kNotifyRead);
}

// Ends the open file's transfer thread; its result (0 or an error code).
int finishStream(Connection& c, bool abort) {
  {
    std::lock_guard<std::mutex> lock(c.mutex);
    if (c.stream == Stream::None) return 0;
    if (abort && !c.done) c.abort = true;
    c.endOfData = true;
  }
  c.cv.notify_all();
  if (c.worker.joinable()) c.worker.join();
  std::lock_guard<std::mutex> lock(c.mutex);
  int result = c.doneError;
  if (result) fail(result, c.doneDetail);
  c.stream = Stream::None;
  c.buffer.clear();
  c.bufferHead = 0;
  return result;
}

// ---- listings ---------------------------------------------------------------------------------

int monthOf(std::string_view name) {
  static const char* kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
  if (name.size() != 3) return 0;
  for (int i = 0; i < 12; ++i) {
    bool same = true;
    for (int k = 0; k < 3; ++k) same = same && std::tolower(static_cast<unsigned char>(name[k])) == kMonths[i][k];
    if (same) return i + 1;
  }
  return 0;
}

bool allDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char ch) { return std::isdigit(ch); });
}

int64_t number(std::string_view s) {
  int64_t v = 0;
  for (char ch : s) {
    if (v > (INT64_MAX - 9) / 10) return INT64_MAX;
    v = v * 10 + (ch - '0');
  }
  return v;
}

struct Token {
  std::string_view text;
  size_t end;  // position just after it in the line
};

std::vector<Token> tokens(std::string_view line, size_t max) {
  std::vector<Token> out;
  size_t pos = 0;
  while (out.size() < max) {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos >= line.size()) break;
    size_t start = pos;
    while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t') ++pos;
    out.push_back({line.substr(start, pos - start), pos});
  }
  return out;
}

std::string_view restAfter(std::string_view line, size_t pos) {
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  return line.substr(std::min(pos, line.size()));
}

// MLSD: "type=file;size=6;modify=20261210233528; a.txt" (times in UTC).
bool parseFacts(std::string_view line, DirEntry& e) {
  size_t space = line.find("; ");
  if (space == std::string_view::npos || line.find('=') > space) return false;
  e = DirEntry{};
  e.name = std::string(line.substr(space + 2));
  std::string_view facts = line.substr(0, space + 1);
  std::string type;
  size_t pos = 0;
  while (pos < facts.size()) {
    size_t end = facts.find(';', pos);
    if (end == std::string_view::npos) end = facts.size();
    std::string_view fact = facts.substr(pos, end - pos);
    size_t eq = fact.find('=');
    if (eq != std::string_view::npos) {
      std::string key(fact.substr(0, eq));
      std::transform(key.begin(), key.end(), key.begin(), [](unsigned char ch) { return char(std::tolower(ch)); });
      std::string_view value = fact.substr(eq + 1);
      if (key == "type") {
        type = std::string(value);
        std::transform(type.begin(), type.end(), type.begin(), [](unsigned char ch) { return char(std::tolower(ch)); });
      } else if (key == "size" && allDigits(value)) {
        e.size = number(value);
      } else if (key == "modify" && value.size() >= 14 && allDigits(value.substr(0, 14))) {
        std::tm t{};
        t.tm_year = int(number(value.substr(0, 4))) - 1900;
        t.tm_mon = int(number(value.substr(4, 2))) - 1;
        t.tm_mday = int(number(value.substr(6, 2)));
        t.tm_hour = int(number(value.substr(8, 2)));
        t.tm_min = int(number(value.substr(10, 2)));
        t.tm_sec = int(number(value.substr(12, 2)));
        std::time_t when = ::timegm(&t);
        std::tm local{};
        if (::localtime_r(&when, &local)) {
          e.year = local.tm_year + 1900;
          e.month = local.tm_mon + 1;
          e.day = local.tm_mday;
          e.hour = local.tm_hour;
          e.minute = local.tm_min;
          e.second = local.tm_sec;
        }
      } else if (key == "unix.owner") {
        e.owner = std::string(value);
      } else if (key == "unix.group") {
        e.group = std::string(value);
      }
    }
    pos = end + 1;
  }
  if (type == "cdir") e.name = ".";
  if (type == "pdir") e.name = "..";
  e.isDirectory = type == "dir" || type == "cdir" || type == "pdir";
  return !e.name.empty();
}

// Unix: "drwxr-xr-x   2 owner group 4096 Dec 10 23:35 sub" (group, or owner and group, may be
// missing; a link's " -> target" is cut off).
bool parseUnix(std::string_view line, DirEntry& e) {
  if (line.size() < 10 || std::string_view("-dlcbps").find(line[0]) == std::string_view::npos) return false;
  std::vector<Token> t = tokens(line, 9);
  for (size_t i = 2; i + 2 < t.size(); ++i) {
    int month = monthOf(t[i].text);
    if (!month || !allDigits(t[i - 1].text) || !allDigits(t[i + 1].text)) continue;
    std::string_view when = t[i + 2].text;
    e = DirEntry{};
    e.isDirectory = line[0] == 'd';
    e.size = number(t[i - 1].text);
    if (i >= 4) e.owner = std::string(t[2].text);
    if (i >= 5) e.group = std::string(t[3].text);
    e.month = month;
    e.day = int(std::min<int64_t>(number(t[i + 1].text), 31));
    std::time_t now = std::time(nullptr);
    std::tm today{};
    ::localtime_r(&now, &today);
    if (size_t colon = when.find(':'); colon != std::string_view::npos) {
      if (!allDigits(when.substr(0, colon)) || !allDigits(when.substr(colon + 1))) return false;
      e.hour = int(std::min<int64_t>(number(when.substr(0, colon)), 23));
      e.minute = int(std::min<int64_t>(number(when.substr(colon + 1)), 59));
      // Without a year the date lies within the last twelve months.
      e.year = today.tm_year + 1900;
      if (month > today.tm_mon + 1 + 1) e.year -= 1;
    } else if (allDigits(when) && when.size() == 4) {
      e.year = int(number(when));
    } else {
      return false;
    }
    std::string_view name = restAfter(line, t[i + 2].end);
    if (line[0] == 'l') {
      if (size_t arrow = name.find(" -> "); arrow != std::string_view::npos) name = name.substr(0, arrow);
    }
    e.name = std::string(name);
    return !e.name.empty();
  }
  return false;
}

// DOS: "12-10-26  11:35PM       <DIR>          sub" or "...   6 a.txt".
bool parseDos(std::string_view line, DirEntry& e) {
  std::vector<Token> t = tokens(line, 3);
  if (t.size() < 3) return false;
  std::string_view date = t[0].text, time = t[1].text;
  if (date.size() < 8 || date[2] != '-' || date[5] != '-') return false;
  if (!allDigits(date.substr(0, 2)) || !allDigits(date.substr(3, 2)) || !allDigits(date.substr(6))) return false;
  size_t colon = time.find(':');
  if (colon == std::string_view::npos || time.size() < colon + 3) return false;
  if (!allDigits(time.substr(0, colon)) || !allDigits(time.substr(colon + 1, 2))) return false;
  e = DirEntry{};
  e.month = int(number(date.substr(0, 2)));
  e.day = int(number(date.substr(3, 2)));
  e.year = int(std::min<int64_t>(number(date.substr(6)), 9999));
  if (e.year < 100) e.year += e.year < 70 ? 2000 : 1900;
  e.hour = int(number(time.substr(0, colon))) % 24;
  e.minute = int(std::min<int64_t>(number(time.substr(colon + 1, 2)), 59));
  std::string_view half = time.substr(colon + 3);
  if ((half == "PM" || half == "pm") && e.hour < 12) e.hour += 12;
  if ((half == "AM" || half == "am") && e.hour == 12) e.hour = 0;
  if (t[2].text == "<DIR>") {
    e.isDirectory = true;
  } else if (allDigits(t[2].text)) {
    e.size = number(t[2].text);
  } else {
    return false;
  }
  e.name = std::string(restAfter(line, t[2].end));
  return !e.name.empty();
}

}  // namespace

// ---- the calls --------------------------------------------------------------------------------

int FtpInitialize() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_initialized) {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return 0;
    g_initialized = true;
  }
  return 1;
}

void FtpUninitialize() {
  std::vector<Handle> open;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (auto& [h, c] : g_connections) open.push_back(h);
  }
  for (Handle h : open) FtpDisconnect(h);
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_initialized) curl_global_cleanup();
  g_initialized = false;
}

Handle FtpConnect(std::string_view host, uint32_t port, uint32_t timeoutSeconds) {
  if (!g_initialized) return fail(err::NotInitialized);
  if (host.empty() || port == 0 || port > 65535) return fail(err::BadArgument, "host or port missing");
  if (timeoutSeconds == 0) timeoutSeconds = 30;
  int code = 0;
  std::string why = greet(std::string(host), port, timeoutSeconds, code);
  if (!why.empty()) return fail(code, why);
  auto c = std::make_shared<Connection>();
  c->easy = curl_easy_init();
  c->multi = curl_multi_init();
  if (!c->easy || !c->multi) {
    if (c->easy) curl_easy_cleanup(c->easy);
    if (c->multi) curl_multi_cleanup(c->multi);
    return fail(err::ConnectFailed, "out of memory");
  }
  c->host = std::string(host);
  c->port = port;
  c->timeout = timeoutSeconds;
  std::lock_guard<std::mutex> lock(g_mutex);
  Handle h = g_nextHandle++;
  g_connections[h] = c;
  succeed();
  return h;
}

int FtpLogin(Handle h, std::string_view user, std::string_view password, std::string_view /*account*/) {
  std::shared_ptr<Connection> c = usable(h, false);
  if (!c) return -1;
  Blocking busy(*c);
  c->user = std::string(user.empty() ? "anonymous" : user);
  c->password = std::string(password);
  Request r;
  // The folder the log-on lands in (no "%2F"): no listing, only the connection and its folder.
  std::string home = url(*c, "/", true);
  home.erase(home.find("/%2F") + 1);
  prepare(*c, r, home, false);
  curl_easy_setopt(c->easy, CURLOPT_NOBODY, 1L);
  if (perform(*c, r) != 0) {
    c->loggedIn = false;
    return -1;
  }
  char* entry = nullptr;
  curl_easy_getinfo(c->easy, CURLINFO_FTP_ENTRY_PATH, &entry);
  c->cwd = resolve("/", entry && *entry ? entry : "/");
  c->loggedIn = true;
  return 0;
}

void FtpLogout(Handle h) {
  if (std::shared_ptr<Connection> c = find(h)) {
    finishStream(*c, true);
    c->loggedIn = false;
  }
}

void FtpDisconnect(Handle h) {
  std::shared_ptr<Connection> c;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_connections.find(h);
    if (it == g_connections.end()) return;
    c = it->second;
    g_connections.erase(it);
  }
  {
    std::lock_guard<std::mutex> lock(c->notifyMutex);
    c->notify = nullptr;
  }
  c->abort = true;
  finishStream(*c, true);
  while (c->blocking) std::this_thread::sleep_for(std::chrono::milliseconds(5));  // a cancelled call ends soon
  curl_multi_cleanup(c->multi);  // closes the control connection (QUIT)
  curl_easy_cleanup(c->easy);
  c->multi = nullptr;
  c->easy = nullptr;
}

int FtpGetDirectory(Handle h, std::string& folder) {
  std::shared_ptr<Connection> c = find(h);
  if (!c) return fail(err::InvalidHandle);
  if (!c->loggedIn) return fail(err::NotLoggedIn);
  folder = c->cwd;  // a question, not an operation: the last error stays
  return 0;
}

int FtpChangeDirectory(Handle h, std::string_view folder) {
  std::shared_ptr<Connection> c = usable(h);
  if (!c) return -1;
  Blocking busy(*c);
  std::string target = resolve(c->cwd, folder);
  Request r;
  prepare(*c, r, url(*c, target, true), false);
  curl_easy_setopt(c->easy, CURLOPT_NOBODY, 1L);
  if (perform(*c, r) != 0) {
    if (g_lastError == err::FileNotFound) fail(err::FolderNotFound, "no folder " + target);
    return -1;
  }
  c->cwd = target;
  return 0;
}

void FtpSetPassiveMode(Handle h, int on) {
  if (std::shared_ptr<Connection> c = find(h)) c->passive = on != 0;
}

void FtpSetTimeout(Handle h, uint32_t seconds) {
  if (std::shared_ptr<Connection> c = find(h)) c->timeout = seconds ? seconds : 30;
}

int FtpSetFileType(Handle h, int type) {
  std::shared_ptr<Connection> c = find(h);
  if (!c) return fail(err::InvalidHandle), 0;
  if (type != kTypeAscii && type != kTypeImage) return fail(err::BadArgument, "file type " + std::to_string(type)), 0;
  c->type = type;
  succeed();
  return 1;
}

int64_t FtpGetFileLength(Handle h, std::string_view remote, int64_t& bytes) {
  std::shared_ptr<Connection> c = usable(h);
  if (!c) return -1;
  Blocking busy(*c);
  Request r;
  // Asked in binary: servers refuse SIZE in text mode, and the stored size is what it means.
  prepare(*c, r, url(*c, resolve(c->cwd, remote), false), false);
  curl_easy_setopt(c->easy, CURLOPT_NOBODY, 1L);
  if (perform(*c, r) != 0) return -1;
  curl_off_t length = -1;
  curl_easy_getinfo(c->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  if (length < 0) return fail(err::ServerError, "the server did not tell the size of " + std::string(remote));
  bytes = length;
  return length;
}

int FtpOpenFile(Handle h, std::string_view remote, int mode) {
  std::shared_ptr<Connection> c = usable(h);
  if (!c) return -1;
  if (mode != kOpenRead && mode != kOpenWrite) return fail(err::BadArgument, "open mode " + std::to_string(mode));
  if (remote.empty()) return fail(err::BadArgument, "no remote file name");
  std::string u = url(*c, resolve(c->cwd, remote), false);
  {
    std::lock_guard<std::mutex> lock(c->mutex);
    c->stream = mode == kOpenRead ? Stream::Reading : Stream::Writing;
    c->buffer.clear();
    c->bufferHead = 0;
    c->endOfData = c->done = c->waitTimedOut = false;
    c->doneError = 0;
    c->doneDetail.clear();
    c->readerWaiting = c->writerWaiting = true;
    c->abort = false;
  }
  try {
    c->worker = std::thread(runTransfer, c, u, mode == kOpenWrite);
  } catch (const std::exception& e) {
    std::lock_guard<std::mutex> lock(c->mutex);
    c->stream = Stream::None;
    return fail(err::TransferFailed, e.what());
  }
  succeed();
  return 0;
}

int FtpRead(Handle h, char* buffer, int size) {
  std::shared_ptr<Connection> c = find(h);
  if (!c) return fail(err::InvalidHandle);
  if (size <= 0) return fail(err::BadArgument);
  bool wake = false;
  int n = 0;
  {
    std::lock_guard<std::mutex> lock(c->mutex);
    if (c->stream != Stream::Reading) return fail(err::NotOpen);
    if (c->pending() == 0) {
      if (c->done) {
        if (c->doneError) return fail(c->doneError, c->doneDetail);
        return 0;
      }
      c->readerWaiting = true;
      return fail(err::WouldBlock);
    }
    n = int(std::min<size_t>(size_t(size), c->pending()));
    std::memcpy(buffer, c->buffer.data() + c->bufferHead, size_t(n));
    c->bufferHead += size_t(n);
    wake = c->pending() < kDownloadBuffer;
  }
  if (wake) c->cv.notify_all();
  return n;
}

int FtpWrite(Handle h, const char* data, int count) {
  std::shared_ptr<Connection> c = find(h);
  if (!c) return fail(err::InvalidHandle);
  if (count < 0) return fail(err::BadArgument);
  int n = 0;
  {
    std::lock_guard<std::mutex> lock(c->mutex);
    if (c->stream != Stream::Writing) return fail(err::NotOpen);
    if (c->done) return fail(c->doneError ? c->doneError : err::TransferFailed, c->doneDetail);
    size_t room = kUploadBuffer > c->pending() ? kUploadBuffer - c->pending() : 0;
    if (room == 0) {
      c->writerWaiting = true;
      return fail(err::WouldBlock);
    }
    c->compact();
    n = int(std::min<size_t>(size_t(count), room));
    c->buffer.append(data, size_t(n));
  }
  c->cv.notify_all();
  return n;
}

int FtpCloseFile(Handle h) {
  std::shared_ptr<Connection> c = find(h);
  if (!c) return fail(err::InvalidHandle);
  bool reading;
  {
    std::lock_guard<std::mutex> lock(c->mutex);
    if (c->stream == Stream::None) return 0;
    reading = c->stream == Stream::Reading;
  }
  // A download given up before its end is no failure of the close.
  int result = finishStream(*c, reading);
  if (reading || result == 0) {
    succeed();
    return 0;
  }
  return -1;
}

int FtpCancel(Handle h) {
  std::shared_ptr<Connection> c = find(h);
  if (!c) return 0;
  bool running;
  {
    std::lock_guard<std::mutex> lock(c->mutex);
    running = c->blocking || (c->stream != Stream::None && !c->done);
    if (running) c->abort = true;
  }
  c->cv.notify_all();
  return running ? 1 : 0;
}

int FtpCancelConnect() {
  std::lock_guard<std::mutex> lock(g_connectsMutex);
  for (PendingConnect* p : g_connects) {
    p->cancelled = true;
    if (p->wake >= 0) {
      const uint64_t one = 1;
      (void)!::write(p->wake, &one, sizeof one);
    }
  }
  return g_connects.empty() ? 0 : 1;
}

bool FtpIsBlocking(Handle h) {
  std::shared_ptr<Connection> c = find(h);
  return c && c->blocking;
}

int FtpGetFile(Handle h, std::string_view local, std::string_view remote, int /*flags*/) {
  std::shared_ptr<Connection> c = usable(h);
  if (!c) return -1;
  if (local.empty() || remote.empty()) return fail(err::BadArgument, "file name missing");
  Blocking busy(*c);
  const std::string target(local);
  const std::string part = target + ".part";
  std::FILE* f = std::fopen(part.c_str(), "wb");
  if (!f) return fail(err::LocalFile, part + ": " + std::strerror(errno));
  Request r;
  prepare(*c, r, url(*c, resolve(c->cwd, remote), false), c->type == kTypeAscii);
  curl_easy_setopt(c->easy, CURLOPT_WRITEFUNCTION, nullptr);  // fwrite to the file
  curl_easy_setopt(c->easy, CURLOPT_WRITEDATA, f);
  int rc = perform(*c, r);
  bool closed = std::fclose(f) == 0;
  if (rc == 0 && !closed) rc = fail(err::LocalFile, part + ": " + std::strerror(errno));
  if (rc == 0 && std::rename(part.c_str(), target.c_str()) != 0)
    rc = fail(err::LocalFile, target + ": " + std::strerror(errno));
  if (rc != 0) std::remove(part.c_str());
  return rc;
}

int FtpPutFile(Handle h, std::string_view local, std::string_view remote, int /*flags*/) {
  std::shared_ptr<Connection> c = usable(h);
  if (!c) return -1;
  if (local.empty() || remote.empty()) return fail(err::BadArgument, "file name missing");
  Blocking busy(*c);
  const std::string source(local);
  std::FILE* f = std::fopen(source.c_str(), "rb");
  if (!f) return fail(err::LocalFile, source + ": " + std::strerror(errno));
  struct stat st {};
  ::fstat(::fileno(f), &st);
  Request r;
  prepare(*c, r, url(*c, resolve(c->cwd, remote), false), c->type == kTypeAscii);
  curl_easy_setopt(c->easy, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(c->easy, CURLOPT_READFUNCTION, nullptr);  // fread from the file
  curl_easy_setopt(c->easy, CURLOPT_READDATA, f);
  curl_easy_setopt(c->easy, CURLOPT_INFILESIZE_LARGE, curl_off_t(st.st_size));
  int rc = perform(*c, r);
  std::fclose(f);
  return rc;
}

int FtpOpenDirectory(Handle h, std::string_view folder) {
  std::shared_ptr<Connection> c = usable(h);
  if (!c) return -1;
  Blocking busy(*c);
  const std::string target = resolve(c->cwd, folder.empty() ? std::string_view(".") : folder);
  c->listing.clear();
  c->listPos = 0;
  std::string text;
  // MLSD gives facts in one form on every server; LIST is for the servers without it.
  for (const char* command : {"MLSD", static_cast<const char*>(nullptr)}) {
    text.clear();
    Request r;
    prepare(*c, r, url(*c, target, true), false);
    if (command) curl_easy_setopt(c->easy, CURLOPT_CUSTOMREQUEST, command);
    curl_easy_setopt(c->easy, CURLOPT_WRITEFUNCTION, appendText);
    curl_easy_setopt(c->easy, CURLOPT_WRITEDATA, &text);
    if (perform(*c, r) == 0) break;
    if (!command || g_lastError == err::FolderNotFound || g_lastError == err::Cancelled ||
        g_lastError == err::Timeout || g_lastError == err::ConnectFailed)
      return -1;
  }
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    DirEntry e;
    if (parseListLine(line, e)) c->listing.push_back(std::move(e));
    pos = end + 1;
  }
  return 0;
}

int FtpGetFirstFile(Handle h, DirEntry& entry) {
  std::shared_ptr<Connection> c = find(h);
  if (!c) return 0;
  c->listPos = 0;
  return FtpGetNextFile(h, entry);
}

int FtpGetNextFile(Handle h, DirEntry& entry) {
  std::shared_ptr<Connection> c = find(h);
  if (!c || c->listPos >= c->listing.size()) return 0;
  entry = c->listing[c->listPos++];
  return 1;
}

void FtpCloseDirectory(Handle h) {
  if (std::shared_ptr<Connection> c = find(h)) {
    c->listing.clear();
    c->listPos = 0;
  }
}

namespace {

// Sends one command about `path`; the server's refusal is the error `refused`.
int command(Handle h, const std::string& verb, std::string_view path, int refused) {
  std::shared_ptr<Connection> c = usable(h);
  if (!c) return -1;
  if (path.empty()) return fail(err::BadArgument, "no name given");
  if (path.find_first_of("\r\n") != std::string_view::npos) return fail(err::BadArgument, "a line break in a name");
  Blocking busy(*c);
  std::string target = resolve(c->cwd, path);
  if (target == "/") return fail(err::BadArgument, "the root folder");
  Request r;
  // Quoted commands go out before the client changes folder: name the target by its full path.
  prepare(*c, r, url(*c, "/", true), false);
  curl_slist* quote = curl_slist_append(nullptr, (verb + " " + target).c_str());
  curl_easy_setopt(c->easy, CURLOPT_QUOTE, quote);
  curl_easy_setopt(c->easy, CURLOPT_NOBODY, 1L);
  int rc = perform(*c, r);
  curl_easy_setopt(c->easy, CURLOPT_QUOTE, nullptr);
  curl_slist_free_all(quote);
  if (rc != 0 && g_lastError == err::ServerError) {
    std::string detail;
    {
      std::lock_guard<std::mutex> lock(g_errorMutex);
      detail = g_lastDetail;
    }
    fail(refused, verb + " " + target + ": " + detail);
  }
  return rc;
}

}  // namespace

int FtpDeleteFile(Handle h, std::string_view remote) { return command(h, "DELE", remote, err::FileNotFound); }
int FtpMakeDirectory(Handle h, std::string_view folder) { return command(h, "MKD", folder, err::AccessDenied); }
int FtpRemoveDirectory(Handle h, std::string_view folder) { return command(h, "RMD", folder, err::FolderNotFound); }

int FtpAsyncNotify(Handle h, Notify notify) {
  std::shared_ptr<Connection> c = find(h);
  if (!c) return fail(err::InvalidHandle);
  bool wakeReader = false, wakeWriter = false;
  {
    std::lock_guard<std::mutex> lock(c->notifyMutex);
    c->notify = std::move(notify);
    if (c->notify) {
      // Whatever is waiting already is told at once, so nothing is missed while notifications
      // were off.
      std::lock_guard<std::mutex> lockStream(c->mutex);
      wakeReader = c->stream == Stream::Reading && (c->pending() > 0 || c->done);
      wakeWriter = c->stream == Stream::Writing;
    }
  }
  if (wakeReader) c->signal(kNotifyRead);
  if (wakeWriter) c->signal(kNotifyWrite);
  return 0;
}

int FtpGetLastError() { return g_lastError; }

std::string FtpGetErrorString(int code) {
  std::string text;
  switch (code) {
    case err::None: return "No error";
    case err::NoErrorNote: return "No error";
    case err::NotInitialized: text = "The FTP library is not initialized"; break;
    case err::InvalidHandle: text = "No such connection"; break;
    case err::ConnectFailed: text = "Unable to connect to the server"; break;
    case err::HostNotFound: text = "Unknown host"; break;
    case err::Timeout: text = "The server did not answer in time"; break;
    case err::LoginDenied: text = "The server refused the user name or password"; break;
    case err::NotLoggedIn: text = "Not logged on"; break;
    case err::Busy: text = "Another operation is in progress"; break;
    case err::FolderNotFound: text = "No such folder on the server"; break;
    case err::FileNotFound: text = "No such file on the server"; break;
    case err::AccessDenied: text = "The server refused the request"; break;
    case err::TransferFailed: text = "The transfer failed"; break;
    case err::Cancelled: text = "Cancelled"; break;
    case err::LocalFile: text = "Local file error"; break;
    case err::BadArgument: text = "Invalid argument"; break;
    case err::NotOpen: text = "No file is open"; break;
    case err::WouldBlock: text = "Nothing can move now; try again later"; break;
    case err::ServerError: text = "The server reported an error"; break;
    default: text = "Error " + std::to_string(code); break;
  }
  std::lock_guard<std::mutex> lock(g_errorMutex);
  if (code == g_lastError && !g_lastDetail.empty()) text += " (" + g_lastDetail + ")";
  return text;
}

bool parseListLine(std::string_view line, DirEntry& entry) {
  if (line.size() > 4096) return false;
  return parseFacts(line, entry) || parseUnix(line, entry) || parseDos(line, entry);
}

}  // namespace ov::ftplib
