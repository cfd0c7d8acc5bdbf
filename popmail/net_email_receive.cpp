#include "popmail/net_email_receive.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "netlib/net_error.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"

namespace ov::pop {
namespace {

constexpr size_t kReplyLineMax = 16384;            // a single reply line longer than this is refused
constexpr size_t kReserveMax = 1 << 20;            // never reserve more up front, whatever LIST says
constexpr size_t kMessageMax = size_t{1} << 30;    // a message larger than 1 GiB is refused
constexpr size_t kUidMax = 40;

std::string num(long long v) { return std::to_string(v); }

// _ProcessCheckReply: +OK when the first three characters are "+OK" in any case; `text` is what
// follows the status word and its blank (the line end kept).
bool checkReply(std::string_view data, std::string& text) {
  bool ok = data.size() >= 3 && rt::UPPER(data.substr(0, 3)) == "+OK";
  if (ok && data.size() >= 5) text = std::string(data.substr(4));
  else if (!ok && data.size() >= 6) text = std::string(data.substr(5));
  else text.clear();
  return ok;
}

// _ProcessGetWord: the n-th word (from 1) of `text`, words separated by `separator`.
std::string getWord(std::string_view text, int n, char separator = ' ') {
  size_t start = 0;
  for (int i = 1; i < n; ++i) {
    size_t p = text.find(separator, start);
    if (p == std::string_view::npos) return {};
    start = p + 1;
  }
  size_t end = text.find(separator, start);
  return std::string(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

// A number from a reply word: leading digits only, the line end ignored, huge values saturate.
long long wordNumber(std::string_view word) {
  size_t i = 0;
  while (i < word.size() && word[i] == ' ') ++i;
  bool negative = i < word.size() && word[i] == '-';
  if (negative || (i < word.size() && word[i] == '+')) ++i;
  long long v = 0;
  for (; i < word.size() && word[i] >= '0' && word[i] <= '9'; ++i) {
    if (v > (std::numeric_limits<long long>::max() - 9) / 10) return negative ? 0 : std::numeric_limits<long long>::max();
    v = v * 10 + (word[i] - '0');
  }
  return negative ? -v : v;
}

std::string stripLineEnd(std::string_view s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
  return std::string(s);
}

std::string first160(std::string_view s) { return std::string(s.substr(0, rt::utf8CutLength(s, 160))); }

// Undoes dot-stuffing in place: a line that starts with ".." loses one dot.
void unstuff(std::string& message) {
  size_t write = 0;
  size_t read = message.compare(0, 2, "..") == 0 ? 1 : 0;
  for (;;) {
    size_t p = message.find("\r\n..", read);
    size_t end = p == std::string::npos ? message.size() : p + 3;  // up to and with the first dot
    if (write != read) std::memmove(message.data() + write, message.data() + read, end - read);
    write += end - read;
    if (p == std::string::npos) break;
    read = end + 1;  // the line's second dot is dropped
  }
  message.resize(write);
}

}  // namespace

NetEmailReceive::NetEmailReceive() = default;
NetEmailReceive::~NetEmailReceive() = default;

void NetEmailReceive::Init() {
  if (Port == 0) Port = 110;
  AttachmentListQ.clear();
  EmbedListQ.clear();
  NetSimple::Init(kModeClient);
  Log("Init Called", "NetEmailReceive.Init");
}

void NetEmailReceive::Kill() {
  Log("Kill called", "NetEmailReceive.Kill");
  NetSimple::Kill();
  AttachmentListQ.clear();
  EmbedListQ.clear();
  Free();
  Log("End of Kill()", "NetEmailReceive.Kill");
}

void NetEmailReceive::Free() {
  Log("Freeing extra memory used by the object.", "NetEmailReceive.Free");
  std::string().swap(MessageText);
  std::string().swap(MessageHTML);
  std::string().swap(WholeMessage);
  Log("End of free()", "NetEmailReceive.Free");
}

void NetEmailReceive::Ask(long command) {
  Log("Ask called with command = " + num(command), "NetEmailReceive.Ask");
  Command = command;
  TotalBytesCount = TotalBytesToGo = TotalBytesReceived = 0;
  Progress1000 = 0;
  AttachmentListQ.clear();
  EmbedListQ.clear();
  auto connect = [&] {
    State = kStateConnecting;
    m_in.clear();
    m_sent.clear();
    m_capa = 0;
    m_pipelining = false;
    m_waitingReply = true;
    m_lastActivity = std::chrono::steady_clock::now();
    Open(Server, Port);
  };
  if (OpenFlag) {
    if (State != kStateIdle && State != kStateWaiting) {
      Close();
      connect();
    } else {
      ProcessSendIt("NOOP\r\n");
    }
  } else {
    connect();
  }
  ShowProgress(true, 0);
}

void NetEmailReceive::Open(std::string_view server, std::uint16_t port) {
  Log("Attempting to open connection to " + ServerDesc() + " Server", "NetEmailReceive.Open");
  if (OpenFlag) return;
  NetSimple::Open(server, port);
  if (!OpenFlag && !AsyncOpenBusy) {  // the open failed and was reported
    State = kStateIdle;
    m_waitingReply = false;
  }
}

void NetEmailReceive::Close() {
  Log("Attempting to close the connection to the " + ServerDesc() + " Server", "NetEmailReceive.Close");
  NetSimple::Close();
  State = kStateIdle;
  m_waitingReply = false;
  m_sent.clear();
  m_capa = 0;
}

void NetEmailReceive::ProcessSendIt(std::string_view command) {
  std::string text(command);
  size_t n = std::min(text.size(), sizeof Packet.BinData);
  std::memcpy(Packet.BinData, text.data(), n);
  Packet.BinDataLen = static_cast<std::int32_t>(rt::clipView(std::string_view(text.data(), n)).size());
  std::string shown = text.rfind("PASS ", 0) == 0 ? "PASS ****\r\n" : text;  // no password in a log
  Log("Sending [" + shown + "]", "NetEmailReceive._ProcessSendIt");
  m_waitingReply = true;
  m_lastActivity = std::chrono::steady_clock::now();
  Send();
}

bool NetEmailReceive::ProcessRaiseError(std::string_view text) {
  ServerErrorDesc = stripLineEnd(text);
  ErrorTrap("The " + ServerDesc() + " Server returned error = " + ServerErrorDesc, "NetEmailReceive._ProcessRaiseError");
  ServerErrorDesc.clear();
  Close();
  return true;
}

void NetEmailReceive::ProcessDecideWhereToGo() {
  if (Command == kAskStatistics || Command == kAskFetch) {
    State = kStateStat;
    ProcessSendIt("STAT\r\n");
    return;
  }
  ErrorTrap("Illegal State. State = " + num(static_cast<long long>(State)), "NetEmailReceive._ProcessDecideWhereToGo");
  Close();
}

void NetEmailReceive::ProcessDoQuit() {
  if (!OptionsKeepOpen || (Command != kAskStatistics && OptionsDelete)) {
    State = kStateQuit;
    ProcessSendIt("QUIT\r\n");
    return;
  }
  State = kStateWaiting;
  m_waitingReply = false;
  Log("Calling Done(command, true)", "NetEmailReceive._ProcessDoQuit");
  ShowProgress(true, 1000);
  Done(Command, true);
  ShowProgress(false, 0);
}

void NetEmailReceive::ClearBodies() {
  WholeMessage.clear();
  MessageText.clear();
  MessageHTML.clear();
}

void NetEmailReceive::ProcessClearMessage() {
  MsgNumber = 0;
  Bytes = 0;
  UID.clear();
  for (std::string* s : {&ToList, &CCList, &From, &Subject, &ReplyTo, &Organization, &DeliveryReceiptTo,
                         &DispositionNotificationTo, &SentDate, &MessageID, &References, &UserFilterContent,
                         &AttachmentList, &EmbedList, &MIMEVersion, &MimeAltBoundary, &MimeMixedBoundary,
                         &MimeRelBoundary, &TextCharset, &HTMLCharset, &ContentType, &ContentDisposition,
                         &ContentTransferEncoding, &DeliveryStatusOriginalRecipient, &DeliveryStatusFinalRecipient,
                         &DeliveryStatusAction, &DeliveryStatusStatus, &DeliveryStatusRemoteMTA,
                         &DeliveryStatusDiagnosticCode, &DeliveryStatusLastAttemptDate, &MDContentType, &MDCharset,
                         &MDContentTransfer, &MDContentBoundary, &MDContentDisposition, &MDContentID, &MDFileName,
                         &MDName})
    s->clear();
  AttachmentListQ.clear();
  EmbedListQ.clear();
  ClearBodies();
  KeepOnServer = false;
  PartsNotWritten = 0;
}

bool NetEmailReceive::expectingMultiLine() const {
  return State == kStateMessages && (DownloadStage == 3 || DownloadStage == 4);
}

bool NetEmailReceive::oldestReplyIsDropped() const {
  if (m_sent.empty()) return false;
  if (State != kStateMessages) return true;  // the run went on to QUIT (or stopped) without them
  const Sent& s = m_sent.front();
  return s.msg < CurrentMessageNum || (s.msg == CurrentMessageNum && s.stage < DownloadStage);
}

bool NetEmailReceive::dropReply() {
  const Sent s = m_sent.front();
  if (s.stage == 3 || s.stage == 4) {
    if (!collectMultiLine(m_dropped, true)) return false;
    std::string().swap(m_dropped);
  } else {
    size_t eol = m_in.find("\r\n");
    if (eol == std::string::npos) return false;
    m_in.erase(0, eol + 2);
  }
  Log("Dropped the reply to a command sent ahead (message " + num(s.msg) + ", stage " + num(s.stage) + ")",
      "NetEmailReceive.Process");
  m_sent.pop_front();
  m_waitingReply = true;
  return true;
}

void NetEmailReceive::Process() {
  const size_t length = static_cast<size_t>(std::clamp(Packet.BinDataLen, 0, static_cast<std::int32_t>(sizeof Packet.BinData)));
  Log("Received " + num(static_cast<long long>(length)) + " bytes from the " + ServerDesc() + " Server",
      "NetEmailReceive.Process");
  m_lastActivity = std::chrono::steady_clock::now();
  if (Error != 0) {
    ErrorTrap("Error reading data from the " + ServerDesc() + " Server. State = " + num(static_cast<long long>(State)),
              "NetEmailReceive.Process");
    Close();
    return;
  }
  if (State == kStateMessages) TotalBytesReceived += static_cast<long long>(length);
  m_in.append(Packet.BinData, length);
  while (!m_in.empty()) {
    if (oldestReplyIsDropped()) {
      if (!dropReply()) return;
      continue;
    }
    if (expectingMultiLine()) {
      if (!collectMultiLine(WholeMessage, false)) return;
      if (!m_sent.empty()) m_sent.pop_front();
      handleMultiLine();
      continue;
    }
    size_t eol = m_in.find("\r\n");
    if (eol == std::string::npos) {
      if (m_in.size() > kReplyLineMax) {
        ErrorTrap("The " + ServerDesc() + " Server sent a reply line of more than 16384 bytes. State = " +
                      num(static_cast<long long>(State)), "NetEmailReceive.Process");
        Close();
        m_in.clear();
        return;
      }
      Log("Warning. We Received Data from " + ServerDesc() +
              " Server - but did not receive a whole line. Will store the line in the buffer",
          "NetEmailReceive.Process");
      return;
    }
    std::string line = m_in.substr(0, eol + 2);
    m_in.erase(0, eol + 2);
    if (State == kStateMessages && !m_sent.empty()) m_sent.pop_front();
    handleLine(line);
  }
}

void NetEmailReceive::handleLine(std::string_view line) {
  std::string text;
  bool ok = checkReply(line, text);
  const char* proc = "NetEmailReceive.Process";
  m_waitingReply = false;
  switch (State) {
    case kStateIdle:
      Log("Received data while in IDLE state. Will ignore the data.", proc);
      Close();
      return;
    case kStateWaiting:
      Log("Waiting State", proc);
      if (!ok) {
        ProcessRaiseError(text);
        return;
      }
      ProcessDecideWhereToGo();
      return;
    case kStateConnecting:
      Log("Connecting State. Will send USER " + std::string(rt::clipView(User)), proc);
      if (!ok) {
        ProcessRaiseError(text);
        return;
      }
      State = kStateUser;
      ProcessSendIt("USER " + std::string(rt::clipView(User)) + "\r\n");
      return;
    case kStateUser:
      Log("User State. Will send PASS ****", proc);
      if (!ok) {
        ProcessRaiseError(text);
        return;
      }
      State = kStatePass;
      ProcessSendIt("PASS " + std::string(rt::clipView(Password)) + "\r\n");
      return;
    case kStatePass:
      if (m_capa == 0) {
        Log("Pass State. Will decide what to do and action it.", proc);
        if (!ok) {
          ProcessRaiseError(text);
          return;
        }
        if (Command == kAskFetch) {
          m_capa = 1;  // a fetch sends many commands: may they go out back to back?
          ProcessSendIt("CAPA\r\n");
          return;
        }
        ProcessDecideWhereToGo();
        return;
      }
      if (m_capa == 1 && !ok) {
        Log("The server lists no capabilities: one command per reply.", proc);
        m_capa = 0;
        ProcessDecideWhereToGo();
        return;
      }
      if (m_capa == 1 || line != ".\r\n") {
        if (m_capa == 2 && rt::UPPER(getWord(stripLineEnd(line), 1)) == "PIPELINING") m_pipelining = true;
        m_capa = 2;
        m_waitingReply = true;  // the list goes on up to its "." line
        return;
      }
      m_capa = 0;
      Log(m_pipelining ? "The server takes commands back to back." : "The server wants one command per reply.", proc);
      ProcessDecideWhereToGo();
      return;
    case kStateStat:
      Log("Stat State.", proc);
      if (!ok) {
        ProcessRaiseError(text);
        return;
      }
      TotalMessagesCount = static_cast<long>(std::clamp<long long>(wordNumber(getWord(text, 1)), 0, 0x7FFFFFFF));
      TotalBytesCount = std::max<long long>(0, wordNumber(getWord(text, 2)));
      if (Command == kAskStatistics) {
        ProcessDoQuit();
        return;
      }
      State = kStateMessages;
      getData(true);
      return;
    case kStateMessages:
      if (DownloadStage == 1 || DownloadStage == 2 || DownloadStage == 5) {
        if (!ok) {
          ProcessRaiseError(text);
          return;
        }
        getData(false, line);
        return;
      }
      break;
    case kStateQuit:
      Log("Quit State.", proc);
      if (!ok) {
        ProcessRaiseError(text);
        return;
      }
      State = OpenFlag ? kStateWaiting : kStateIdle;
      Log("Calling Done(command, true)", proc);
      ShowProgress(true, 1000);
      Done(Command, true);
      ShowProgress(false, 0);
      return;
    default:
      break;
  }
  ErrorTrap("Error - no state found. State = " + num(static_cast<long long>(State)), proc);
  Close();
}

bool NetEmailReceive::collectMultiLine(std::string& into, bool drop) {
  const char* proc = "NetEmailReceive._ProcessCopyBinData";
  if (!m_statusLineSeen) {
    size_t eol = m_in.find("\r\n");
    if (eol == std::string::npos) {
      if (m_in.size() <= kReplyLineMax) return false;  // the status line is not complete yet
      ErrorTrap("Too little data retured from " + ServerDesc() + " Server. No CR found.", proc);
      Close();
      m_in.clear();
      return false;
    }
    if (eol < 3) {
      ErrorTrap("Too little data retured from " + ServerDesc() + " Server. Less than 3 bytes. State = " +
                    num(static_cast<long long>(State)), proc);
      Close();
      m_in.clear();
      return false;
    }
    if (rt::UPPER(std::string_view(m_in).substr(0, 3)) != "+OK" && drop) {
      m_in.erase(0, eol + 2);  // a one-line refusal of a command whose answer is not needed
      into.clear();
      return true;
    }
    if (rt::UPPER(std::string_view(m_in).substr(0, 3)) != "+OK") {
      // A refused TOP is reported too: the client must not wait for a reply that will not come.
      ErrorTrap("The " + ServerDesc() + " Server returned error = " + first160(stripLineEnd(m_in.substr(0, eol))), proc);
      Close();
      m_in.clear();
      return false;
    }
    m_statusLineSeen = true;
    m_in.erase(0, eol + 2);
    into.clear();
    if (!drop) {
      // The size is the server's word: a huge one must neither overflow nor reserve much.
      constexpr long long kMost = static_cast<long long>(kReserveMax);
      const long long reserve = Bytes > kMost - 5 ? kMost : std::max<long long>(Bytes + 5, 0);
      into.reserve(static_cast<size_t>(reserve));
    }
  }
  size_t before = into.size();
  into += m_in;
  m_in.clear();
  size_t end = std::string::npos;
  if (into.compare(0, 3, ".\r\n") == 0) {
    end = 3;  // an empty message: the status line's CR LF ends the line before the "."
  } else {
    size_t p = into.find("\r\n.\r\n", before >= 4 ? before - 4 : 0);
    if (p != std::string::npos) end = p + 5;
  }
  if (end == std::string::npos) {
    if (into.size() > kMessageMax) {
      ErrorTrap("The " + ServerDesc() + " Server sent a message of more than 1 GiB. State = " +
                    num(static_cast<long long>(State)), proc);
      Close();
      into.clear();
    }
    m_waitingReply = true;
    return false;
  }
  if (end < into.size()) {
    m_in = into.substr(end);
    into.resize(end);
  }
  m_statusLineSeen = false;
  if (drop) return true;
  unstuff(into);
  m_waitingReply = false;
  Log("Download of message (or Header) complete : {" + first160(into) + "}", proc);
  return true;
}

void NetEmailReceive::handleMultiLine() { getData(false); }

// _ProcessGetData after a whole reply of the per-message phase (or, with `first`, right after STAT).
bool NetEmailReceive::getData(bool first, std::string_view reply) {
  const std::string proc = "NetEmailReceive._ProcessGetData (" + ServerDesc() + ")";
  if (first) {
    ProcessClearMessage();
    CurrentMessageNum = 1;
    DownloadStage = 1;
    sendNextCommand();
    return false;
  }
  auto illegal = [&](const char* text) {
    ErrorTrap(text, "NetEmailReceive._ProcessGetData");
    Close();
    return true;
  };
  auto skip = [&] {
    TotalBytesCount -= Bytes;
    ProcessClearMessage();
    ++CurrentMessageNum;
    DownloadStage = 1;
  };
  std::string text;
  switch (DownloadStage) {
    case 1: {
      checkReply(reply, text);
      MsgNumber = static_cast<long>(wordNumber(getWord(text, 1)));
      Bytes = std::max<long long>(0, wordNumber(getWord(text, 2)));
      DecideAction = kDecideDownload;
      Log("Calling Decide()", proc);
      Decide(kDecideAfterList);
      switch (DecideAction) {
        case kDecideDownload: DownloadStage = 4; break;
        case kDecideFetchHeaders: DownloadStage = 2; break;
        case kDecideSkip: skip(); break;
        case kDecideQuit:
          ProcessClearMessage();
          ProcessDoQuit();
          return true;
        case kDecideDeleteUnread:
          ProcessClearMessage();
          ClearBodies();
          DownloadStage = 5;
          break;
        default: return illegal("Illegal value for self.DecideAction");
      }
      break;
    }
    case 2: {
      checkReply(reply, text);
      std::string uid = getWord(text, 2);
      uid = uid.substr(0, rt::utf8CutLength(uid, kUidMax));
      if (uid.size() >= 3 && uid.ends_with("\r\n")) uid.resize(uid.size() - 2);
      UID = uid;
      DownloadStage = 3;
      break;
    }
    case 3: {
      Log("TOP", proc);
      DecideAction = kDecideDownload;
      m_headersOnly = true;
      bool split = ProcessSplitWholeMessage();
      m_headersOnly = false;
      if (!split) return true;
      Decide(kDecideAfterHeaders);
      switch (DecideAction) {
        case kDecideDownload:
          ClearBodies();
          DownloadStage = 4;
          break;
        case kDecideSkip: skip(); break;
        case kDecideQuit:
          ProcessClearMessage();
          ProcessDoQuit();
          return true;
        case kDecideDeleteUnread:
          ClearBodies();
          DownloadStage = 5;
          TotalBytesCount -= Bytes;
          break;
        default: return illegal("Illegal value for self.DecideAction");
      }
      break;
    }
    case 4: {
      Log("Download", proc);
      MessageDownloaded();
      if (!finishMessage()) return true;
      if (OptionsDelete && !KeepOnServer) {
        DownloadStage = 5;  // deleted only now that the message has been handled completely
      } else if (nextMessage()) {
        return true;
      }
      break;
    }
    case 5: {
      Log("Delete", proc);
      if (nextMessage()) return true;
      break;
    }
    default: return illegal("Illegal value for self.DownloadStage");
  }
  sendNextCommand();
  return false;
}

bool NetEmailReceive::finishMessage() {
  // Cleared before the split: a part the split could not write keeps the message on the server.
  KeepOnServer = false;
  PartsNotWritten = 0;
  if (!ProcessSplitWholeMessage()) return false;
  if (!WholeMessage.empty()) Done(Command, false);
  return true;
}

bool NetEmailReceive::nextMessage() {
  ProcessClearMessage();
  if (CurrentMessageNum < TotalMessagesCount) {
    ++CurrentMessageNum;
    DownloadStage = 1;
    return false;
  }
  ProcessDoQuit();
  return true;
}

void NetEmailReceive::sendNextCommand() {
  if (TotalMessagesCount < CurrentMessageNum) {
    ProcessDoQuit();
    return;
  }
  if (State == kStateIdle) {
    Log("Got Disconnected", "NetEmailReceive._ProcessGetData");
    return;
  }
  m_statusLineSeen = false;
  if (DownloadStage < 1 || DownloadStage > 5) return;
  std::string batch;
  auto add = [&](long msg, long stage) {
    for (const Sent& s : m_sent)
      if (s.msg == msg && s.stage == stage) return;  // already sent ahead
    const std::string n = num(msg);
    switch (stage) {
      case 1: batch += "LIST " + n + "\r\n"; break;
      case 2: batch += "UIDL " + n + "\r\n"; break;
      case 3: batch += "TOP " + n + " 0\r\n"; break;
      case 4: batch += "RETR " + n + "\r\n"; break;
      default: batch += "DELE " + n + "\r\n"; break;
    }
    m_sent.push_back({msg, stage});
  };
  const long n = CurrentMessageNum;
  add(n, DownloadStage);
  if (m_pipelining) {
    if (DownloadStage == 1) {
      add(n, 2);
      add(n, 3);
    } else if (((DownloadStage == 4 && !OptionsDelete) || DownloadStage == 5) && n < TotalMessagesCount) {
      // After RETR n (kept on the server) or DELE n the next message starts for certain.
      for (long stage : {1L, 2L, 3L}) add(n + 1, stage);
    }
  }
  if (!batch.empty()) ProcessSendIt(batch);
  m_waitingReply = true;
}

void NetEmailReceive::ConnectionClosed() {
  Log("The " + ServerDesc() + " Server closed the connection", "NetEmailReceive.ConnectionClosed");
  m_waitingReply = false;
  if (State == kStateIdle || State == kStateQuit || State == kStateWaiting) {
    State = kStateWaiting;
    return;
  }
  ErrorTrap("Connection to " + ServerDesc() + " Server closed by Server", "EmailReceive.ConnectionClosed");
  State = kStateIdle;
}

void NetEmailReceive::UpdateProgress() {
  if (TotalBytesCount <= 0) {
    if (Progress1000 != 0) ShowProgress(true, 0);
    Progress1000 = 0;
    return;
  }
  TotalBytesCount = std::max(TotalBytesCount, TotalBytesReceived);
  TotalBytesToGo = TotalBytesCount - TotalBytesReceived;
  long value = static_cast<long>(TotalBytesReceived * 1000 / TotalBytesCount);
  if (value / 10 != Progress1000 / 10) ShowProgress(true, value);
  Progress1000 = value;
}

void NetEmailReceive::CheckTimeout() {
  if (!m_waitingReply || State == kStateIdle || State == kStateWaiting) return;
  auto silent = std::chrono::steady_clock::now() - m_lastActivity;
  if (silent < std::chrono::seconds(ReplyTimeoutSeconds)) return;
  m_waitingReply = false;
  Error = net::kNetTimeout;
  ErrorTrap("The " + ServerDesc() + " Server did not answer within " + num(ReplyTimeoutSeconds) +
                " seconds. State = " + num(static_cast<long long>(State)),
            "NetEmailReceive.CheckTimeout");
  Abort();
  State = kStateIdle;
}

}  // namespace ov::pop
