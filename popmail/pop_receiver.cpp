#include "popmail/pop_receiver.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <regex>

#include "datalib/date_string_functions.h"
#include "platform/rt/command_line.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/rt/process.h"
#include "platform/rt/secret_file.h"
#include "platform/rt/text.h"

namespace ov::pop {
namespace {

constexpr size_t kOptionMax = 1024;
constexpr size_t kFilterMax = 80;
constexpr size_t kSafeNameMax = 200;  // leaves room for " XXXXXXXX (n).txt" in a 255-byte name

std::string cut(std::string_view s, size_t n) { return std::string(s.substr(0, rt::utf8CutLength(s, n))); }

std::string leftTrim(std::string_view s) {
  size_t b = s.find_first_not_of(' ');
  return b == std::string_view::npos ? std::string() : std::string(s.substr(b));
}

std::string count(long long v) { return std::to_string(v); }

// A term of a filter against the upper-cased text.
bool termMatches(const std::string& upperText, std::string term) {
  if (term.rfind("REGEX:", 0) == 0) {
    try {
      return std::regex_search(upperText, std::regex(term.substr(6), std::regex::ECMAScript));
    } catch (const std::regex_error&) {
      return false;  // an invalid expression matches nothing
    }
  }
  return upperText.find(rt::clipView(term)) != std::string::npos;
}

}  // namespace

std::string ReadPopOption(std::string_view name) {
  std::string value = rt::COMMAND(std::string(name) + "=");
  if (rt::clipView(value).empty()) value = rt::GETINI("Pop", name, "", kPopIni);
  return cut(rt::clipView(value), kOptionMax);
}

std::string folderOption(std::string_view value) {
  std::string folder = rt::normalizePath(rt::clipView(value));
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

bool readPopOptions(PopOptions& o, std::string& missing) {
  o.Server = cut(ReadPopOption("SERVER"), 255);
  long port = static_cast<long>(rt::textToNumber(ReadPopOption("PORT")));
  o.Port = static_cast<std::uint16_t>(port <= 0 || port > 65535 ? 110 : port);
  o.User = cut(ReadPopOption("USER"), 255);
  // The main program hands the password over in a private file that PASSWORDFILE names (never on
  // the command line, which every local user can read); PASSWORD= still works from a user's own
  // command line or POP.INI.
  std::string passwordError;
  rt::String<64> password;
  if (const std::string file = rt::COMMAND("PASSWORDFILE="); !rt::clipView(file).empty()) {
    std::string secret;
    if (rt::takeSecretFile(file, secret, &passwordError)) password = secret;
  } else {
    password = ReadPopOption("PASSWORD");
  }
  if (password.clipped().starts_with(files::kScrambleMark)) files::QVENCRYPT(password);  // the stored form back to clear
  o.Password = password.str();
  o.SaveText = folderOption(cut(ReadPopOption("SAVETEXT"), 255));
  o.SaveHTML = folderOption(cut(ReadPopOption("SAVEHTML"), 255));
  o.SaveAttach = folderOption(ReadPopOption("SAVEATTACH"));
  o.Delete = ReadPopOption("DELETE").starts_with('Y') || !rt::COMMAND("/DELETE").empty();
  o.Message = cut(ReadPopOption("MESSAGE"), kFilterMax);
  o.Subject = cut(ReadPopOption("SUBJECT"), kFilterMax);
  o.From = cut(ReadPopOption("FROM"), kFilterMax);
  o.ReplyTo = cut(ReadPopOption("REPLYTO"), kFilterMax);
  o.To = cut(ReadPopOption("TO"), kFilterMax);
  o.CC = cut(ReadPopOption("CC"), kFilterMax);
  o.MinDate = cut(ReadPopOption("MINDATE"), kFilterMax);
  o.MaxDate = cut(ReadPopOption("MAXDATE"), kFilterMax);
  o.InAttachment = cut(ReadPopOption("INATTACHMENT"), kFilterMax);
  o.IsHtml = cut(ReadPopOption("ISHTML"), kFilterMax);
  o.MinSize = static_cast<unsigned long>(std::max(0.0, rt::textToNumber(ReadPopOption("MINSIZE"))));
  o.MaxSize = static_cast<unsigned long>(std::max(0.0, rt::textToNumber(ReadPopOption("MAXSIZE"))));
  long timeout = static_cast<long>(rt::textToNumber(ReadPopOption("TIMEOUT")));
  o.TimeOut = timeout > 0 ? static_cast<int>(std::min(timeout, 86400L)) : 60;
  missing.clear();
  if (o.Server.empty()) missing += "SERVER ";
  if (o.User.empty()) missing += "USER ";
  if (!passwordError.empty()) missing += "PASSWORD (" + passwordError + ") ";
  missing = std::string(rt::clipView(missing));
  return missing.empty();
}

bool MatchFilter(std::string_view text, std::string_view filter) {
  bool result = true;
  if (rt::clipView(text).empty() || rt::clipView(filter).empty()) return true;
  const std::string upperText = rt::UPPER(text);
  const std::string upperFilter = rt::UPPER(filter);
  size_t pos = 0;
  bool isAnd = true;  // the first term carries "&&"
  while (pos <= upperFilter.size()) {
    size_t orAt = upperFilter.find("||", pos);
    size_t andAt = upperFilter.find("&&", pos);
    size_t next = std::min(orAt, andAt);
    std::string term = upperFilter.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
    if (!term.empty()) {
      bool negate = term.rfind("~~", 0) == 0;
      if (negate) term.erase(0, 2);
      bool value = termMatches(upperText, term) != negate;
      result = isAnd ? (result && value) : (result || value);
    }
    if (next == std::string::npos) break;
    isAnd = next == andAt;
    pos = next + 2;
  }
  return result;
}

void ReplaceText(std::string& target, std::string_view from, std::string_view to, bool ignoreCase) {
  if (from.empty()) {
    if (rt::clipView(target).empty()) target = std::string(to);
    return;
  }
  std::string folded = ignoreCase ? rt::UPPER(target) : target;
  std::string key = ignoreCase ? rt::UPPER(from) : std::string(from);
  if (folded.size() != target.size()) {  // case mapping changed lengths: compare byte for byte instead
    folded = target;
    key = std::string(from);
  }
  std::string out;
  size_t pos = 0;
  for (size_t p; (p = folded.find(key, pos)) != std::string::npos; pos = p + key.size()) {
    out.append(target, pos, p - pos);
    out += to;
  }
  out.append(target, pos, std::string::npos);
  target.swap(out);
}

std::string MakeSafeName(std::string_view text) {
  std::string s = cut(text, 255);
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  const std::pair<const char*, const char*> kMap[] = {
      {"\\", "{S}"}, {"/", "{S}"}, {"|", "{S}"}, {":", ";"}, {"[", "("}, {"<", "("},
      {"]", ")"},    {">", ")"},   {"?", "{Q}"}, {"\"", "`"}, {"*", "{Star}"},
  };
  for (auto [from, to] : kMap) ReplaceText(s, from, to, false);
  return std::string(rt::clipView(s));
}

std::string HexString(unsigned long value, int digits, bool eight) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*lX", eight ? 8 : std::max(digits, 0), value);
  return text;
}

std::string MessageFileName(std::string_view subject, std::string_view messageId) {
  std::uint32_t h = 2166136261u;  // FNV-1a over the whole id: different messages, different names
  for (unsigned char c : rt::clipView(messageId)) {
    h ^= c;
    h *= 16777619u;
  }
  std::string safe = cut(leftTrim(MakeSafeName(subject)), kSafeNameMax);
  safe = std::string(rt::clipView(safe));
  return leftTrim(safe + " " + HexString(h, 0, true));
}

PopReceiver::PopReceiver(PopOptions options) : m_options(std::move(options)) {}

void PopReceiver::status(const std::string& text) {
  if (onStatus) onStatus(text);
}

void PopReceiver::requestClose() {
  writeLaterFiles();
  flushLog();
  if (m_closeRequested) return;
  m_closeRequested = true;
  if (onClose) onClose();
}

// The log names the last file saved. It is written when the run ends rather than after every
// file: each write of the log is a synced replacement of the whole file.
void PopReceiver::flushLog() {
  if (m_lastFile.empty()) return;
  (void)rt::putIniValues("POP", {{"Path", rt::SHORTPATH(m_lastPath)}, {"File", m_lastFile}}, kPopLog);  // best effort
  m_lastPath.clear();
  m_lastFile.clear();
}

void PopReceiver::Kill() {
  writeLaterFiles();
  flushLog();
  NetEmailReceive::Kill();
}

void PopReceiver::Process() {
  NetEmailReceive::Process();
  writeLaterFiles();
}

void PopReceiver::writeLaterFiles() {
  std::vector<LaterFile> files;
  files.swap(m_later);  // a failure below closes the run, which comes back here: nothing is written twice
  for (LaterFile& f : files) (void)SaveMessageFile(f.folder, f.text, std::move(f.name));  // failures are reported
}

void PopReceiver::ShowProgress(bool visible, long value) {
  if (onProgress) onProgress(visible, value);
}

void PopReceiver::StartFetch() {
  m_firstProgress = true;
  Server = m_options.Server;
  Port = m_options.Port;
  User = m_options.User;
  Password = m_options.Password;
  OptionsDontSaveAttachments = m_options.SaveAttach.empty();
  // Embedded parts (pictures of an HTML body) are files like any other: with a folder for files
  // they are written there, else a message holding one is never deleted unread.
  OptionsDontSaveEmbeds = m_options.SaveAttach.empty();
  AttachmentPath = m_options.SaveAttach;
  ReplyTimeoutSeconds = m_options.TimeOut;
  for (const std::string* folder : {&m_options.SaveText, &m_options.SaveHTML, &m_options.SaveAttach})
    if (!folder->empty()) (void)rt::makeFolders(*folder);  // a folder that cannot be made fails at its first save
  status("Connecting...");
  Ask(kAskFetch);
}

void PopReceiver::ErrorTrap(std::string_view text, std::string_view procedure) {
  m_failed = true;
  requestClose();
  ErrorString = std::string(text);
  Log(std::string(text), procedure, kLogError);
  (void)rt::PUTINI("Pop", "Error",
                   std::string(rt::clipView(text)) + "; " + std::string(rt::clipView(procedure)), kPopLog);  // best effort
}

void PopReceiver::ConnectionClosed() {
  requestClose();
  NetEmailReceive::ConnectionClosed();
}

void PopReceiver::Decide(int when) {
  const std::string total = count(TotalMessagesCount);
  status("Examining " + count(MsgNumber) + "/" + total + " message(s).");
  const auto bytes = static_cast<unsigned long long>(std::max<long long>(Bytes, 0));
  const bool outOfLimits = (m_options.MaxSize != 0 && bytes > m_options.MaxSize) ||
                           (m_options.MinSize != 0 && bytes < m_options.MinSize);
  if (when == kDecideAfterList) {
    DecideAction = outOfLimits ? kDecideSkip : kDecideFetchHeaders;  // headers are always looked at first
    OptionsDelete = m_options.Delete;
    if (m_firstProgress) {
      status("Received 0/" + total + " message(s).");
      m_firstProgress = false;
    }
  } else if (when == kDecideAfterHeaders) {
    if (outOfLimits) {
      DecideAction = kDecideSkip;
      return;
    }
    DecideAction = kDecideDownload;
    const std::pair<const std::string*, const std::string*> filters[] = {
        {&Subject, &m_options.Subject}, {&MessageText, &m_options.Message}, {&MessageHTML, &m_options.Message},
        {&From, &m_options.From},       {&ReplyTo, &m_options.ReplyTo},     {&ToList, &m_options.To},
    };
    for (auto [text, filter] : filters) {
      if (!MatchFilter(*text, *filter)) {
        DecideAction = kDecideSkip;
        return;
      }
    }
    if (m_options.nothingToSave() && m_options.Delete) DecideAction = kDecideDeleteUnread;
  }
  NetEmailReceive::Decide(when);
}

void PopReceiver::Done(long command, bool finished) {
  status("Received " + count(MsgNumber) + "/" + count(TotalMessagesCount) + " message(s).");
  if (finished) {
    m_finished = true;
    NetEmailReceive::Done(command, finished);
    requestClose();  // the run is complete; the connection closes with the window
    return;
  }
  if (!MatchFilter(WholeMessage, m_options.Message)) {
    KeepOnServer = true;  // refused by the filter: neither saved nor deleted
  } else {
    const std::string name = MessageFileName(Subject, MessageID);
    if (!OptionsDelete) {
      // Kept on the server whatever becomes of its files: they can be written a little later.
      if (!m_options.SaveText.empty() && !MessageText.empty())
        m_later.push_back({m_options.SaveText, MessageText, name + ".txt"});
      if (!m_options.SaveHTML.empty() && !MessageHTML.empty())
        m_later.push_back({m_options.SaveHTML, MessageHTML, name + ".htm"});
      NetEmailReceive::Done(command, finished);
      return;
    }
    bool textSaved = false, htmlSaved = false;
    if (!m_options.SaveText.empty() && !MessageText.empty()) {
      textSaved = SaveMessageFile(m_options.SaveText, MessageText, name + ".txt");
      if (!textSaved) KeepOnServer = true;
    }
    if (!m_options.SaveHTML.empty() && !MessageHTML.empty()) {
      htmlSaved = SaveMessageFile(m_options.SaveHTML, MessageHTML, name + ".htm");
      if (!htmlSaved) KeepOnServer = true;
    }
    // Deleted only when nothing of it is lost: its body saved in one of its forms (text and HTML
    // are two forms of one body), and every file it carries written.
    const bool bodyKept = (MessageText.empty() && MessageHTML.empty()) || textSaved || htmlSaved;
    if (!bodyKept || PartsNotWritten > 0) {
      if (OptionsDelete)
        Log("Kept on the server: " + std::string(!bodyKept ? "its text is not saved" : "a file of it is not saved"),
            "SaveReceivedMessage");
      KeepOnServer = true;
    }
  }
  NetEmailReceive::Done(command, finished);
}

bool PopReceiver::SaveMessageFile(const std::string& folder, std::string_view text, std::string name) {
  name = std::string(rt::clipView(name));
  std::erase_if(name, [](char c) { return std::strchr("<>:?*", c) != nullptr; });
  const size_t dot = name.rfind('.');
  const std::string stem = name.substr(0, dot), ext = dot == std::string::npos ? std::string() : name.substr(dot);
  // An existing file is never replaced: the next free "name (n).ext" is taken instead.
  for (int n = 0; n < 10000; ++n) {
    std::string candidate = n == 0 ? name : stem + " (" + std::to_string(n) + ")" + ext;
    std::string path = folder + candidate;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EEXIST) continue;
    int err = fd < 0 ? errno : 0;
    for (size_t done = 0; err == 0 && done < text.size();) {
      ssize_t w = ::write(fd, text.data() + done, text.size() - done);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) err = w < 0 ? errno : ENOSPC;
      else done += static_cast<size_t>(w);
    }
    if (fd >= 0 && ::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) {
      if (fd >= 0) ::unlink(path.c_str());
      Error = -35;
      ErrorTrap("Error writing the message file (" + path + "). Error = " + std::to_string(rt::windowsError(err)) + " " +
                    std::strerror(err), "SaveMessageFile");
      return false;
    }
    m_lastPath = folder;
    m_lastFile = candidate;
    return true;
  }
  ErrorTrap("Error writing the message file (" + folder + name + "). Every copy name is taken.", "SaveMessageFile");
  return false;
}

}  // namespace ov::pop
