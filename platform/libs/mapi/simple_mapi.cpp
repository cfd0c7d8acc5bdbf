#include "platform/libs/mapi/simple_mapi.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>

#include "platform/libs/smtp/mime.h"
#include "platform/libs/smtp/send_mail.h"

extern char** environ;

namespace ov::mapi {
namespace {

constexpr const char* kStandardPlaces[] = {"/usr/sbin/sendmail", "/usr/lib/sendmail"};
constexpr int kExNoUser = 67;
constexpr int kExNoHost = 68;
constexpr size_t kFoldAt = 76;
constexpr size_t kLongestError = 400;

thread_local std::string t_lastError;

std::mutex g_sessionMutex;
std::set<uint32_t> g_sessions;
uint32_t g_nextSession = 1;

uint32_t fail(uint32_t code, std::string why) {
  t_lastError = std::move(why);
  return code;
}

bool isRunnable(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The pieces of a recipient text between ";" or "," outside double quotes and angle brackets.
std::vector<std::string_view> splitList(std::string_view text) {
  std::vector<std::string_view> out;
  bool quoted = false;
  int angle = 0;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    const char c = i < text.size() ? text[i] : ';';
    if (c == '"') quoted = !quoted;
    else if (!quoted && c == '<') ++angle;
    else if (!quoted && c == '>' && angle > 0) --angle;
    else if (!quoted && angle == 0 && (c == ';' || c == ',')) {
      out.push_back(trim(text.substr(start, i - start)));
      start = i + 1;
    }
  }
  return out;
}

bool hasLineBreak(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; });
}

// Writes all of `data` to a socket; no SIGPIPE when the reader has gone.
bool sendAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(size_t(n));
  }
  return true;
}

std::string readAllFrom(std::FILE* f) {
  std::string out;
  std::rewind(f);
  char buf[512];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && out.size() < kLongestError) out.append(buf, n);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) out.pop_back();
  for (char& c : out)
    if (c == '\n' || c == '\r') c = ' ';
  return out.substr(0, kLongestError);
}

// Runs `program -t -i` with `message` on its standard input: the exit code, or -1 with `why` set
// when it could not be started or did not end normally.
int runSendmail(const std::string& program, std::string_view message, std::string& why) {
  int sv[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) {
    why = std::string("cannot make a pipe to the mail client: ") + std::strerror(errno);
    return -1;
  }
  std::FILE* errors = std::tmpfile();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, sv[1], 0);
  if (errors) posix_spawn_file_actions_adddup2(&actions, fileno(errors), 2);
  std::string a0 = program, a1 = "-t", a2 = "-i";
  char* argv[] = {a0.data(), a1.data(), a2.data(), nullptr};
  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(sv[1]);
  if (rc != 0) {
    ::close(sv[0]);
    if (errors) std::fclose(errors);
    why = "cannot start the mail client " + program + ": " + std::strerror(rc);
    return -1;
  }
  const bool written = sendAll(sv[0], message);
  ::shutdown(sv[0], SHUT_WR);
  ::close(sv[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  const std::string said = errors ? readAllFrom(errors) : std::string();
  if (errors) std::fclose(errors);
  if (!WIFEXITED(status)) {
    why = "the mail client " + program + " was ended by signal " + std::to_string(WTERMSIG(status));
    return -1;
  }
  const int code = WEXITSTATUS(status);
  if (code != 0) {
    why = "the mail client " + program + " ended with exit code " + std::to_string(code) + (said.empty() ? "" : ": " + said);
  } else if (!written) {
    why = "the mail client " + program + " did not read the whole message";
    return -1;
  }
  return code;
}

std::string bccHeader(const std::vector<std::string>& items) {
  std::string out = "Bcc: ";
  size_t lineStart = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) {
      out += ",";
      if (out.size() - lineStart + 1 + items[i].size() > kFoldAt) {
        out += "\r\n";
        lineStart = out.size();
      }
      out += " ";
    }
    out += items[i];
  }
  return out + "\r\n";
}

// CR LF line ends become the local "\n" that the sendmail interface expects.
std::string localLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

}  // namespace

namespace detail {

bool resolveRecipient(std::string_view text, std::vector<Address>& out) {
  if (hasLineBreak(text)) return false;
  std::vector<Address> found;
  for (std::string_view piece : splitList(text)) {
    if (piece.empty()) continue;
    Address a;
    const size_t lt = piece.rfind('<');
    if (lt != std::string_view::npos && piece.back() == '>') {
      a.address = std::string(trim(piece.substr(lt + 1, piece.size() - lt - 2)));
      std::string_view name = trim(piece.substr(0, lt));
      if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
      a.name = std::string(name);
    } else {
      a.address = std::string(piece);
    }
    if (!smtp::isUsableAddress(a.address)) return false;
    found.push_back(std::move(a));
  }
  if (found.empty()) return false;
  out.insert(out.end(), found.begin(), found.end());
  return true;
}

std::string noteTextWithoutPositions(std::string_view text, const std::vector<MapiFileDesc>& files) {
  int32_t last = -1;
  for (const MapiFileDesc& f : files) last = std::max(last, f.nPosition);
  if (last < 0) return std::string(text);
  const size_t padding = size_t(last) + 2;  // one blank past the last position
  size_t blanks = 0;
  while (blanks < text.size() && text[blanks] == ' ') ++blanks;
  if (blanks < std::min(padding, text.size())) return std::string(text);
  return std::string(text.substr(std::min(padding, text.size())));
}

}  // namespace detail

std::string sendmailProgram() {
  if (const char* set = std::getenv(kSendmailVariable); set && *set) return set;
  for (const char* place : kStandardPlaces)
    if (isRunnable(place)) return place;
  return {};
}

std::string lastMapiError() { return t_lastError; }

uint32_t MAPILogon(std::string_view /*profile*/, std::string_view /*password*/, uint32_t /*flags*/, uint32_t& session) {
  session = 0;
  const std::string program = sendmailProgram();
  if (program.empty())
    return fail(MAPI_E_FAILURE, std::string("No mail client: there is no sendmail program (looked for /usr/sbin/sendmail "
                                            "and /usr/lib/sendmail; ") + kSendmailVariable + " can name another).");
  if (!isRunnable(program))
    return fail(MAPI_E_FAILURE, "No mail client: the sendmail program " + program + " does not exist or cannot be run.");
  std::lock_guard lock(g_sessionMutex);
  session = g_nextSession++;
  g_sessions.insert(session);
  t_lastError.clear();
  return SUCCESS_SUCCESS;
}

uint32_t MAPILogoff(uint32_t session) {
  std::lock_guard lock(g_sessionMutex);
  if (g_sessions.erase(session) == 0) return fail(MAPI_E_INVALID_SESSION, "session " + std::to_string(session) + " is not open");
  t_lastError.clear();
  return SUCCESS_SUCCESS;
}

uint32_t MAPISendMail(uint32_t session, const MapiMessage& message, uint32_t flags) {
  {
    std::lock_guard lock(g_sessionMutex);
    if (!g_sessions.contains(session))
      return fail(MAPI_E_INVALID_SESSION, "session " + std::to_string(session) + " is not open");
  }
  smtp::MessageParts parts;
  std::vector<std::string> bcc;
  for (const MapiRecipDesc& r : message.recips) {
    if (r.ulRecipClass < MAPI_TO || r.ulRecipClass > MAPI_BCC)
      return fail(MAPI_E_BAD_RECIPTYPE, "recipient class " + std::to_string(r.ulRecipClass) + " of " + r.lpszName);
    const std::string& text = r.lpszAddress.empty() ? r.lpszName : r.lpszAddress;
    std::vector<detail::Address> addresses;
    if (!detail::resolveRecipient(text, addresses))
      return fail(MAPI_E_UNKNOWN_RECIPIENT, "unknown recipient \"" + text + "\": no usable address");
    for (const detail::Address& a : addresses) {
      smtp::Recipient rec{a.name, a.address};
      if (r.ulRecipClass == MAPI_TO) parts.to.push_back(rec);
      else if (r.ulRecipClass == MAPI_CC) parts.cc.push_back(rec);
      else bcc.push_back(smtp::formatRecipient(rec));
    }
  }
  if (parts.to.empty() && parts.cc.empty() && bcc.empty()) {
    return fail(MAPI_E_FAILURE, (flags & MAPI_DIALOG)
                                    ? "the message has no recipients, and the mail client has no compose dialog to ask for them"
                                    : "the message has no recipients");
  }
  for (const MapiFileDesc& f : message.files) {
    std::FILE* in = std::fopen(f.lpszPathName.c_str(), "rb");
    if (!in) return fail(MAPI_E_ATTACHMENT_NOT_FOUND, "attachment not found: " + f.lpszPathName);
    std::fclose(in);
    parts.attachments.push_back(f.lpszPathName);
  }
  parts.from = message.originator.lpszAddress.empty() ? message.originator.lpszName : message.originator.lpszAddress;
  parts.subject = message.lpszSubject;
  parts.body = detail::noteTextWithoutPositions(message.lpszNoteText, message.files);
  parts.bodyKind = smtp::kPlainText;
  parts.date = std::time(nullptr);
  if (const std::string from = smtp::addressOf(parts.from); from.find('@') != std::string::npos)
    parts.messageIdDomain = from.substr(from.rfind('@') + 1);

  std::string composed, problem;
  if (!smtp::composeMessage(parts, composed, problem))
    return fail(problem.starts_with("cannot read") ? MAPI_E_ATTACHMENT_NOT_FOUND : MAPI_E_FAILURE, problem);
  if (!bcc.empty()) {
    // Beside the other address headers; sendmail -t delivers to it and removes it.
    const size_t subject = composed.find("\r\nSubject: ");
    composed.insert(subject == std::string::npos ? 0 : subject + 2, bccHeader(bcc));
  }

  const std::string program = sendmailProgram();
  std::string why;
  const int code = runSendmail(program, localLineEnds(composed), why);
  if (code == 0) {
    t_lastError.clear();
    return SUCCESS_SUCCESS;
  }
  if (code == kExNoUser || code == kExNoHost) return fail(MAPI_E_UNKNOWN_RECIPIENT, why);
  return fail(MAPI_E_FAILURE, why);
}

}  // namespace ov::mapi
