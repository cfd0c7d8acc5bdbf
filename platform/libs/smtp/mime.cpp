#include "platform/libs/smtp/mime.h"

#include "platform/libs/smtp/send_mail.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace ov::smtp {
namespace {

constexpr size_t kEncodedChunk = 39;  // bytes of text per encoded word: 52 base64 characters
constexpr size_t kMaxLine = 998;
constexpr size_t kFoldAt = 76;

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool isAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 4;
    if (n == 4 || i + n >= s.size() + (n == 0)) return n == 0;
    for (size_t k = 1; k <= n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    i += n + 1;
  }
  return true;
}

// Control characters (line breaks above all) become blanks.
std::string sanitize(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  return out;
}

// Where a cut at or before `limit` keeps UTF-8 characters whole.
size_t charBoundary(std::string_view s, size_t limit) {
  if (limit >= s.size()) return s.size();
  while (limit > 0 && (static_cast<unsigned char>(s[limit]) >> 6) == 2) --limit;
  return limit;
}

std::string encodedWords(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    size_t cut = charBoundary(text, kEncodedChunk);
    if (cut == 0) cut = std::min(text.size(), kEncodedChunk);  // not UTF-8: cut anywhere
    if (!out.empty()) out += "\r\n ";
    out += "=?UTF-8?B?" + base64(text.substr(0, cut)) + "?=";
    text.remove_prefix(cut);
  }
  return out;
}

// A display name as a header shows it: as it is, quoted when it holds specials, or encoded.
std::string displayName(std::string_view name) {
  const std::string clean = sanitize(trim(name));
  if (!isAscii(clean)) return encodedWords(clean);
  if (clean.find_first_of("()<>[]:;@\\,.\"") == std::string::npos) return clean;
  std::string quoted = "\"";
  for (char c : clean) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// "Name: a, b, c" folded before an item that would take the line past 76 characters.
std::string addressHeader(std::string_view name, const std::vector<std::string>& items) {
  std::string out(name);
  out += ": ";
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

std::string wrappedBase64(std::string_view data) {
  const std::string b = base64(data);
  std::string out;
  out.reserve(b.size() + b.size() / 76 * 2 + 2);
  for (size_t i = 0; i < b.size(); i += 76) out.append(b, i, 76).append("\r\n");
  return out;
}

std::string crlfLines(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text[i] == '\n') {
      out += "\r\n";
    } else {
      out += text[i];
    }
  }
  if (out.size() < 2 || out.compare(out.size() - 2, 2, "\r\n") != 0) out += "\r\n";
  return out;
}

bool fitsSevenBit(std::string_view crlfText) {
  if (!isAscii(crlfText) || crlfText.find('\0') != std::string_view::npos) return false;
  size_t start = 0;
  while (start < crlfText.size()) {
    size_t end = crlfText.find("\r\n", start);
    if (end == std::string_view::npos) end = crlfText.size();
    if (end - start > kMaxLine) return false;
    start = end + 2;
  }
  return true;
}

// The headers and content of one text part (or of a single-part message).
std::string textPart(std::string_view subtype, std::string_view text) {
  const std::string lines = crlfLines(text);
  const char* charset = isValidUtf8(lines) ? "utf-8" : "windows-1252";
  std::string out = "Content-Type: text/" + std::string(subtype) + "; charset=" + charset + "\r\n";
  if (fitsSevenBit(lines)) return out + "Content-Transfer-Encoding: 7bit\r\n\r\n" + lines;
  return out + "Content-Transfer-Encoding: base64\r\n\r\n" + wrappedBase64(lines);
}

std::string baseName(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string contentType(std::string_view fileName) {
  const size_t dot = fileName.rfind('.');
  std::string ext = dot == std::string_view::npos ? "" : std::string(fileName.substr(dot + 1));
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  static const std::pair<const char*, const char*> kTypes[] = {
      {"txt", "text/plain"},       {"log", "text/plain"},         {"csv", "text/csv"},
      {"htm", "text/html"},        {"html", "text/html"},         {"pdf", "application/pdf"},
      {"zip", "application/zip"},  {"jpg", "image/jpeg"},         {"jpeg", "image/jpeg"},
      {"png", "image/png"},        {"gif", "image/gif"},          {"xml", "application/xml"},
  };
  for (const auto& [e, type] : kTypes)
    if (ext == e) return type;
  return "application/octet-stream";
}

// RFC 2231 form of a parameter value beyond ASCII.
std::string percentEncoded(std::string_view s) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (std::isalnum(c) || std::strchr("!#$&+-.^_`|~", c)) {
      out += char(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string quotedParameter(std::string_view value) {
  std::string out = "\"";
  for (char c : value) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

bool readFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  if (in.bad()) return false;
  out = std::move(s).str();
  return true;
}

std::string filePart(const std::string& path, const std::string& content) {
  const std::string name = sanitize(baseName(path));
  std::string out = "Content-Type: " + contentType(name);
  if (isAscii(name)) {
    out += "; name=" + quotedParameter(name) + "\r\nContent-Transfer-Encoding: base64\r\n" +
           "Content-Disposition: attachment; filename=" + quotedParameter(name) + "\r\n";
  } else {
    out += "; name=\"" + encodedWords(name) + "\"\r\nContent-Transfer-Encoding: base64\r\n" +
           "Content-Disposition: attachment; filename*=utf-8''" + percentEncoded(name) + "\r\n";
  }
  return out + "\r\n" + wrappedBase64(content);
}

std::string randomHex(size_t digits) {
  static thread_local std::mt19937_64 gen{std::random_device{}()};
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < digits; ++i) out += kHex[gen() & 15];
  return out;
}

std::string rfcDate(std::time_t t) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm tm{};
  localtime_r(&t, &tm);
  const long offset = tm.tm_gmtoff / 60;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %d %s %d %02d:%02d:%02d %c%02ld%02ld", kDays[tm.tm_wday], tm.tm_mday,
                kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec, offset < 0 ? '-' : '+',
                std::labs(offset) / 60, std::labs(offset) % 60);
  return buf;
}

std::string cString(const char* p, size_t width) { return std::string(p, strnlen(p, width)); }

std::string clipped(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}  // namespace

std::string base64(std::string_view data) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < data.size(); i += 3) {
    const uint32_t v = uint32_t(uint8_t(data[i])) << 16 | uint32_t(uint8_t(data[i + 1])) << 8 | uint8_t(data[i + 2]);
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (i < data.size()) {
    uint32_t v = uint32_t(uint8_t(data[i])) << 16;
    if (i + 1 < data.size()) v |= uint32_t(uint8_t(data[i + 1])) << 8;
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < data.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string headerText(std::string_view text) {
  const std::string clean = sanitize(text);
  return isAscii(clean) ? clean : encodedWords(clean);
}

std::string formatRecipient(const Recipient& r) {
  const std::string address = sanitize(trim(r.address));
  const std::string_view name = trim(r.name);
  if (name.empty() || name == address) return address;
  return displayName(name) + " <" + address + ">";
}

std::string formatFrom(std::string_view from) {
  const std::string clean = sanitize(trim(from));
  if (isAscii(clean)) return clean;
  const size_t lt = clean.rfind('<');
  if (lt == std::string::npos || clean.find('>', lt) == std::string::npos) return encodedWords(clean);
  std::string_view name = trim(std::string_view(clean).substr(0, lt));
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
  return encodedWords(name) + " " + clean.substr(lt);
}

std::string addressOf(std::string_view from) {
  const size_t lt = from.rfind('<');
  if (lt != std::string_view::npos) {
    const size_t gt = from.find('>', lt);
    if (gt != std::string_view::npos) return std::string(trim(from.substr(lt + 1, gt - lt - 1)));
  }
  return std::string(trim(from));
}

bool isUsableAddress(std::string_view address) {
  if (address.empty()) return false;
  return std::none_of(address.begin(), address.end(), [](char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return c <= 0x20 || c == 0x7f || std::strchr("<>,;\"()", c) != nullptr;
  });
}

std::vector<Recipient> readRecipients(std::span<const char> block) {
  std::vector<Recipient> out;
  for (size_t at = 0; at + kRecipientEntrySize <= block.size(); at += kRecipientEntrySize) {
    Recipient r{clipped(cString(block.data() + at, kNameWidth)),
                clipped(cString(block.data() + at + kNameWidth, kAddressWidth))};
    if (!std::string(trim(r.address)).empty()) out.push_back(std::move(r));
  }
  return out;
}

std::vector<std::string> readAttachments(std::span<const char> block) {
  std::vector<std::string> out;
  for (size_t at = 0; at + kAttachmentEntrySize <= block.size(); at += kAttachmentEntrySize) {
    std::string name = clipped(cString(block.data() + at, kFileNameWidth));
    if (!std::string(trim(name)).empty()) out.push_back(std::move(name));
  }
  return out;
}

bool composeMessage(const MessageParts& parts, std::string& out, std::string& problem) {
  std::string head = "Date: " + rfcDate(parts.date ? parts.date : std::time(nullptr)) + "\r\n";
  head += "From: " + formatFrom(parts.from) + "\r\n";
  std::vector<std::string> to, cc;
  for (const Recipient& r : parts.to) to.push_back(formatRecipient(r));
  for (const Recipient& r : parts.cc) cc.push_back(formatRecipient(r));
  if (!to.empty()) head += addressHeader("To", to);
  if (!cc.empty()) head += addressHeader("Cc", cc);
  if (to.empty() && cc.empty()) head += "To: undisclosed-recipients:;\r\n";
  head += "Subject: " + headerText(parts.subject) + "\r\n";
  if (!trim(parts.organization).empty()) head += "Organization: " + headerText(parts.organization) + "\r\n";
  if (!trim(parts.mailer).empty()) head += "X-Mailer: " + headerText(parts.mailer) + "\r\n";
  head += "Message-ID: <" + std::to_string(parts.date ? parts.date : std::time(nullptr)) + "." + randomHex(16) + "@" +
          (parts.messageIdDomain.empty() ? std::string("localhost") : sanitize(parts.messageIdDomain)) + ">\r\n";
  head += "MIME-Version: 1.0\r\n";

  // The first part: the text, or for a file body nothing of its own.
  std::string first;
  std::vector<std::string> files = parts.attachments;
  switch (parts.bodyKind) {
    case 4: first = textPart("html", parts.body); break;
    case 5: {
      std::string html;
      if (!readFile(parts.body, html)) {
        problem = "cannot read " + parts.body;
        return false;
      }
      first = textPart("html", html);
      break;
    }
    case 8: files.insert(files.begin(), parts.body); break;
    default: first = textPart("plain", parts.body); break;
  }

  std::vector<std::string> fileParts;
  for (const std::string& path : files) {
    std::string content;
    if (!readFile(path, content)) {
      problem = "cannot read " + path;
      return false;
    }
    fileParts.push_back(filePart(path, content));
  }

  if (fileParts.empty()) {
    out = head + first;
    return true;
  }
  std::string boundary;
  do boundary = "=_ov_" + randomHex(24);
  while (first.find(boundary) != std::string::npos);
  out = head + "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n" +
        "This is a multi-part message in MIME format.\r\n";
  if (!first.empty()) out += "--" + boundary + "\r\n" + first;
  for (const std::string& part : fileParts) out += "--" + boundary + "\r\n" + part;
  out += "--" + boundary + "--\r\n";
  return true;
}

}  // namespace ov::smtp
