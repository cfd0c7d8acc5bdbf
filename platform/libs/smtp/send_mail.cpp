#include "platform/libs/smtp/send_mail.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "platform/libs/smtp/mime.h"

namespace ov::smtp {
namespace {

constexpr long kConnectTimeoutS = 30;
constexpr long kResponseTimeoutS = 120;
constexpr off_t kLogRestartBytes = 1 << 20;  // a log beyond this starts afresh

std::string upper(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  return out;
}

// The conversation as libcurl reports it: the last reply for the result, the lines for the log.
struct Conversation {
  std::FILE* log = nullptr;
  bool authenticating = false;
  std::string lastReply;
  int lastCode = 0;
  std::string refusal;  // the last reply of 400 or above: after it the client only says QUIT
  int refusalCode = 0;

  void write(const char* prefix, std::string_view line) {
    if (log) std::fprintf(log, "%s%.*s\n", prefix, int(line.size()), line.data());
  }

  void received(std::string_view line) {
    lastReply = std::string(line);
    if (line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0]))) {
      lastCode = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
      if (lastCode >= 400) {
        refusal = lastReply;
        refusalCode = lastCode;
      }
      if (lastCode != 334 && (line.size() == 3 || line[3] != '-')) authenticating = false;
    }
    write("S: ", line);
  }

  // What the client sends while it logs on is the log-on itself (in base64): never written.
  void sent(std::string_view line) {
    const std::string head = upper(line.substr(0, 5));
    if (head == "AUTH ") {
      authenticating = true;
      const size_t mechanismEnd = line.find(' ', 5);
      const std::string_view command = line.substr(0, mechanismEnd);
      write("C: ", std::string(command) + (mechanismEnd == std::string_view::npos ? "" : " ****"));
    } else if (authenticating) {
      write("C: ", "****");
    } else {
      write("C: ", line);
    }
  }
};

void forEachLine(const char* data, size_t size, auto&& fn) {
  std::string_view text(data, size);
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) fn(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

int onDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
  auto* c = static_cast<Conversation*>(user);
  switch (type) {
    case CURLINFO_TEXT: forEachLine(data, size, [&](std::string_view l) { c->write("* ", l); }); break;
    case CURLINFO_HEADER_IN: forEachLine(data, size, [&](std::string_view l) { c->received(l); }); break;
    case CURLINFO_HEADER_OUT: forEachLine(data, size, [&](std::string_view l) { c->sent(l); }); break;
    default: break;  // the message text and TLS records stay out of the log
  }
  return 0;
}

struct Upload {
  const std::string* text;
  size_t at = 0;
};

size_t onRead(char* buffer, size_t size, size_t count, void* user) {
  auto* u = static_cast<Upload*>(user);
  const size_t n = std::min(size * count, u->text->size() - u->at);
  std::memcpy(buffer, u->text->data() + u->at, n);
  u->at += n;
  return n;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t ultotal, curl_off_t ulnow) {
  const Progress& progress = *static_cast<const Progress*>(user);
  return progress(int64_t(ulnow), int64_t(ultotal)) ? 0 : 1;
}

std::FILE* openLog(const char* name) {
  if (!name || !*name) return nullptr;
  struct stat st {};
  const bool restart = ::stat(name, &st) == 0 && st.st_size > kLogRestartBytes;
  return std::fopen(name, restart ? "w" : "a");
}

std::string serverUrl(std::string_view server) {
  if (server.find("://") != std::string_view::npos) return std::string(server);
  return "smtp://" + std::string(server);
}

// The result code of a failed transfer. A refusal of the server counts first, whatever libcurl
// made of it; then what happened to the connection.
int32_t failureCode(CURLcode rc, const Conversation& c) {
  if (rc == CURLE_ABORTED_BY_CALLBACK) return code::Cancelled;
  if (rc == CURLE_OUT_OF_MEMORY) return code::OutOfMemory;
  if (c.refusalCode >= 400) return code::ServerError;
  switch (rc) {
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return code::ResolveFailed;
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_USE_SSL_FAILED: return code::ConnectFailed;
    case CURLE_OPERATION_TIMEDOUT: return c.lastCode == 0 ? code::ConnectFailed : code::ReceiveFailed;
    case CURLE_SEND_ERROR:
    case CURLE_READ_ERROR:
    case CURLE_UPLOAD_FAILED: return code::SendFailed;
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY: return code::ReceiveFailed;
    case CURLE_LOGIN_DENIED: return code::ServerError;
    case CURLE_FAILED_INIT: return code::SocketsFailed;
    default: return code::Unknown;
  }
}

struct CurlList {
  curl_slist* list = nullptr;
  ~CurlList() { curl_slist_free_all(list); }
  bool add(const std::string& s) {
    curl_slist* next = curl_slist_append(list, s.c_str());
    if (!next) return false;
    list = next;
    return true;
  }
};

void setReply(const SendMailBlock& b, std::string_view text) {
  if (!b.reply) return;
  const size_t n = std::min(text.size(), kReplySize - 1);
  std::memcpy(b.reply, text.data(), n);
  b.reply[n] = '\0';
}

int32_t send(const SendMailBlock& b) {
  setReply(b, "");
  for (int32_t* r : {b.result1, b.result2, b.result3})
    if (r) *r = 0;

  // The envelope: each address once, in the order To, Cc, Bcc.
  const std::vector<Recipient> to = readRecipients(b.to), cc = readRecipients(b.cc), bcc = readRecipients(b.bcc);
  std::vector<std::string> envelope;
  for (const auto* list : {&to, &cc, &bcc})
    for (const Recipient& r : *list) {
      const std::string key = upper(r.address);
      if (std::none_of(envelope.begin(), envelope.end(), [&](const std::string& e) { return upper(e) == key; }))
        envelope.push_back(r.address);
    }
  if (envelope.empty()) return code::NoRecipients;
  for (const std::string& address : envelope)
    if (!isUsableAddress(address)) {
      setReply(b, "unusable recipient address \"" + address + "\"");
      return code::BadArguments;
    }
  const std::string server = b.server ? std::string(b.server) : std::string();
  if (server.find_first_not_of(' ') == std::string::npos) {
    setReply(b, "no mail server");
    return code::BadArguments;
  }
  const std::string sender = addressOf(b.returnPath && *b.returnPath ? b.returnPath : (b.from ? b.from : ""));
  if (!isUsableAddress(sender)) {
    setReply(b, "unusable sender address \"" + sender + "\"");
    return code::BadArguments;
  }

  MessageParts parts;
  parts.from = b.from ? b.from : "";
  parts.to = to;
  parts.cc = cc;
  parts.subject = b.subject ? b.subject : "";
  parts.organization = b.organization ? b.organization : "";
  parts.mailer = b.mailer ? b.mailer : "";
  parts.bodyKind = b.bodyKind;
  parts.body = b.body.empty() ? std::string() : std::string(b.body.data(), strnlen(b.body.data(), b.body.size()));
  parts.attachments = readAttachments(b.attachments);
  parts.messageIdDomain = sender.substr(sender.find('@') == std::string::npos ? sender.size() : sender.find('@') + 1);
  parts.date = std::time(nullptr);
  std::string message, problem;
  if (!composeMessage(parts, message, problem)) {
    setReply(b, problem);
    return code::CannotReadFile;
  }
  if (b.result2) *b.result2 = int32_t(envelope.size());
  if (b.result3) *b.result3 = int32_t(std::min<size_t>(message.size(), INT32_MAX));

  static std::once_flag init;
  std::call_once(init, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  CURL* curl = curl_easy_init();
  if (!curl) {
    setReply(b, "the transfer could not be set up");
    return code::SocketsFailed;
  }

  Conversation conversation;
  conversation.log = openLog(b.logFile);
  conversation.write("--- ", "to " + server);

  CurlList rcpt;
  for (const std::string& address : envelope)
    if (!rcpt.add("<" + address + ">")) {
      curl_easy_cleanup(curl);
      if (conversation.log) std::fclose(conversation.log);
      return code::OutOfMemory;
    }
  Upload upload{&message};
  char error[CURL_ERROR_SIZE] = "";
  const std::string url = serverUrl(server);
  const std::string mailFrom = "<" + sender + ">";

  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_MAIL_FROM, mailFrom.c_str());
  curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt.list);
  curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(curl, CURLOPT_READFUNCTION, onRead);
  curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
  curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(message.size()));
  curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, onDebug);
  curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &conversation);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutS);
  curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, kResponseTimeoutS);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kResponseTimeoutS);
  if (b.option2) curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_TRY));
  if (b.user && *b.user) {
    curl_easy_setopt(curl, CURLOPT_USERNAME, b.user);
    curl_easy_setopt(curl, CURLOPT_PASSWORD, b.password ? b.password : "");
  }
  if (b.callback) {
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &b.callback);
  }

  const CURLcode rc = curl_easy_perform(curl);
  curl_easy_cleanup(curl);

  int32_t result = code::Ok;
  if (rc != CURLE_OK) {
    result = failureCode(rc, conversation);
    setReply(b, result == code::ServerError && !conversation.refusal.empty()
                    ? conversation.refusal
                    : std::string(*error ? error : curl_easy_strerror(rc)));
  } else {
    setReply(b, conversation.lastReply);
  }
  if (b.result1) *b.result1 = conversation.refusalCode ? conversation.refusalCode : conversation.lastCode;
  conversation.write("--- ", result == code::Ok ? std::string("sent") : "failed: " + std::string(b.reply ? b.reply : ""));
  if (conversation.log) std::fclose(conversation.log);
  return result;
}

}  // namespace

int32_t SendMail(const SendMailBlock& block) {
  try {
    return send(block);
  } catch (const std::bad_alloc&) {
    return code::OutOfMemory;
  } catch (...) {
    return code::Unknown;
  }
}

}  // namespace ov::smtp
