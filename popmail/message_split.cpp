// Splitting a fetched message: headers, MIME structure, texts, HTML, attachments, uuencoded files.

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "netlib/net_codec.h"
#include "netlib/net_error.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/process.h"
#include "platform/rt/text.h"
#include "popmail/net_email_receive.h"

namespace ov::pop {
namespace {

constexpr int kMaxNesting = 64;        // multipart levels walked; a deeper part is stored as it is
constexpr size_t kFileNameMax = 200;   // bytes of a saved name, well inside the file system's 255
constexpr int kMaxCopies = 10000;
std::atomic<long> g_emailFileCounter{0};

std::string fit(std::string_view s, size_t n) { return std::string(s.substr(0, rt::utf8CutLength(s, n))); }

std::string trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(b, e - b + 1));
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string unquote(std::string s) {
  if (!s.empty() && s.front() == '"') s.erase(0, 1);
  if (!s.empty() && s.back() == '"') s.pop_back();
  return s;
}

// One logical header line: the name with its colon in upper case, and the raw value.
struct HeaderLine {
  std::string name;
  std::string_view value;
};

// The logical lines of a header block; a line ends at the first CR LF not followed by a blank or a
// TAB (folded lines belong to it); lines without a colon are skipped; an empty line ends the block.
std::vector<HeaderLine> headerLines(std::string_view block) {
  std::vector<HeaderLine> lines;
  size_t pos = 0;
  while (pos < block.size()) {
    size_t end = block.find("\r\n", pos);
    while (end != std::string_view::npos && end + 2 < block.size() && (block[end + 2] == ' ' || block[end + 2] == '\t'))
      end = block.find("\r\n", end + 2);
    if (end == std::string_view::npos) end = block.size();
    std::string_view line = block.substr(pos, end - pos);
    if (line.empty()) break;
    size_t colon = line.find(':');
    if (colon != std::string_view::npos) {
      std::string name(line.substr(0, colon + 1));
      for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      lines.push_back({std::move(name), line.substr(colon + 1)});
    }
    pos = end + 2;
  }
  return lines;
}

std::string unfold(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') {
      ++i;
      continue;
    }
    out += value[i] == '\t' ? ' ' : value[i];
  }
  return out;
}

std::string toUtf8(const std::string& charset, const std::string& bytes) {
  std::string cs = rt::UPPER(charset);
  if (cs.empty() || cs == "UTF-8" || cs == "US-ASCII") return bytes;
  iconv_t cd = ::iconv_open("UTF-8", cs.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return bytes;
  std::string out(bytes.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char* dst = out.data();
  size_t outLeft = out.size();
  size_t rc = ::iconv(cd, &in, &inLeft, &dst, &outLeft);
  ::iconv_close(cd);
  if (rc == static_cast<size_t>(-1) || inLeft != 0) return bytes;
  out.resize(out.size() - outLeft);
  return out;
}

std::string percentDecode(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    auto hex = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1; };
    if (s[i] == '%' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
      out += static_cast<char>(hex(s[i + 1]) * 16 + hex(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

// A structured header value: its main part (before the first ";") and its parameters, with
// quoted values, backslash escapes and the extended and continued parameters of RFC 2231.
struct MimeValue {
  std::string main;
  std::map<std::string, std::string> params;  // names in lower case, values decoded

  std::string param(const std::string& name) const {
    auto it = params.find(name);
    return it == params.end() ? std::string() : it->second;
  }
};

MimeValue parseMimeValue(std::string_view value) {
  MimeValue v;
  size_t semi = value.find(';');
  v.main = trim(value.substr(0, semi));
  if (semi == std::string_view::npos) return v;
  std::map<std::string, std::string> raw;       // plain parameters
  std::map<std::string, std::map<int, std::pair<std::string, bool>>> sections;  // name -> n -> (text, encoded)
  size_t i = semi + 1;
  while (i < value.size()) {
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t' || value[i] == ';')) ++i;
    size_t nameEnd = i;
    while (nameEnd < value.size() && value[nameEnd] != '=' && value[nameEnd] != ';') ++nameEnd;
    std::string name = lower(trim(value.substr(i, nameEnd - i)));
    i = nameEnd;
    if (i >= value.size() || value[i] != '=') continue;
    ++i;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
    std::string text;
    if (i < value.size() && value[i] == '"') {
      for (++i; i < value.size() && value[i] != '"'; ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) ++i;
        text += value[i];
      }
      if (i < value.size()) ++i;  // the closing quote
      while (i < value.size() && value[i] != ';') ++i;
    } else {
      size_t end = value.find(';', i);
      if (end == std::string_view::npos) end = value.size();
      text = trim(value.substr(i, end - i));
      i = end;
    }
    if (name.empty()) continue;
    size_t star = name.find('*');
    if (star == std::string::npos) {
      raw.emplace(name, text);
      continue;
    }
    std::string base = name.substr(0, star);
    std::string rest = name.substr(star + 1);
    bool encoded = !rest.empty() && rest.back() == '*';
    if (encoded) rest.pop_back();
    int number = 0;
    if (rest.empty()) encoded = true;  // "name*=" is one extended section
    else if (rest.find_first_not_of("0123456789") == std::string::npos && rest.size() < 4) number = std::stoi(rest);
    else continue;
    sections[base][number] = {text, encoded};
  }
  for (const auto& [name, parts] : sections) {
    std::string charset;
    std::string bytes;
    bool first = true;
    for (const auto& [n, part] : parts) {
      std::string text = part.first;
      if (part.second) {
        if (first) {  // charset'language'text
          size_t q1 = text.find('\'');
          size_t q2 = q1 == std::string::npos ? std::string::npos : text.find('\'', q1 + 1);
          if (q2 != std::string::npos) {
            charset = text.substr(0, q1);
            text = text.substr(q2 + 1);
          }
        }
        text = percentDecode(text);
      }
      bytes += text;
      first = false;
    }
    v.params[name] = toUtf8(charset, bytes);
  }
  for (auto& [name, text] : raw) v.params.emplace(name, text);  // the extended form wins
  return v;
}

std::string decodeBody(std::string_view body, const std::string& encoding) {
  long n = 0;
  std::string e = lower(trim(encoding));
  if (e == "base64") return net::NetBase64Decode(body, n);
  if (e == "quoted-printable") return net::NetQuotedPrintableDecode(body, n);
  return std::string(body);
}

std::string errnoText(int err) { return std::to_string(rt::windowsError(err)) + " " + std::strerror(err); }

// The extension a generated attachment name gets from the part's type, so that the file opens
// with the right program; "" for types without a usual one.
std::string extensionFor(std::string_view type) {
  static const std::pair<std::string_view, std::string_view> kTypes[] = {
      {"message/rfc822", ".eml"},        {"message/global", ".eml"},  {"message/delivery-status", ".txt"},
      {"text/plain", ".txt"},            {"text/html", ".htm"},       {"text/calendar", ".ics"},
      {"text/csv", ".csv"},              {"text/rfc822-headers", ".txt"}, {"application/pdf", ".pdf"},
      {"application/zip", ".zip"},       {"application/msword", ".doc"}, {"application/rtf", ".rtf"},
      {"application/pgp-signature", ".asc"}, {"application/pkcs7-signature", ".p7s"},
      {"application/x-pkcs7-signature", ".p7s"}, {"image/png", ".png"}, {"image/jpeg", ".jpg"},
      {"image/jpg", ".jpg"},             {"image/gif", ".gif"},       {"image/bmp", ".bmp"},
      {"image/tiff", ".tif"},            {"image/webp", ".webp"},     {"image/svg+xml", ".svg"},
      {"audio/mpeg", ".mp3"},            {"audio/wav", ".wav"},       {"video/mp4", ".mp4"},
  };
  for (const auto& [t, ext] : kTypes)
    if (type == t) return std::string(ext);
  if (type.starts_with("multipart/")) return ".eml";
  return {};
}

}  // namespace

std::string NetEmailReceive::ProcessHeaderValue(std::string_view text) { return net::NetCharSet(unfold(text)); }

std::string NetEmailReceive::ProcessCleanFileName(std::string_view name) {
  std::string s = net::NetCharSet(name);
  if (size_t b = s.find_last_of('\\'); b != std::string::npos) s.erase(0, b + 1);
  if (size_t b = s.find_last_of('/'); b != std::string::npos) s.erase(0, b + 1);
  std::string out;
  for (char c : s) {
    if (std::strchr("/\\><*?\"|:;", c) || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) continue;
    out += c;
  }
  out = trim(out);
  if (out.find_first_not_of('.') == std::string::npos) out.clear();  // "", ".", ".." never name a file
  if (out.size() > kFileNameMax) {
    size_t dot = out.rfind('.');
    std::string ext = dot != std::string::npos && out.size() - dot <= 16 ? out.substr(dot) : std::string();
    out = fit(out, kFileNameMax - ext.size()) + ext;
  }
  return out.empty() ? "file" : out;
}

bool NetEmailReceive::ProcessSplitWholeMessage() {
  const char* proc = "NetEmailReceive._ProcessSplitWholeMessage";
  Log("Start of Function", proc);
  AttachmentListQ.clear();
  EmbedListQ.clear();
  if (WholeMessage.empty()) {
    Log("Warning self.WholeMessageLen = 0. Nothing to do. Returning from function", proc, kLogError);
    return true;
  }
  std::string_view whole(WholeMessage);
  size_t messageEnd = whole.size();
  if (whole.ends_with("\r\n.\r\n")) messageEnd -= 5;
  else if (whole == ".\r\n") messageEnd = 0;
  std::string_view message = whole.substr(0, messageEnd);

  // The header block ends at the first empty line; a message without one is all headers.
  size_t bodyStart;
  std::string_view headers;
  if (message.starts_with("\r\n")) {
    bodyStart = 2;
  } else if (size_t h = message.find("\r\n\r\n"); h != std::string_view::npos) {
    headers = message.substr(0, h + 2);
    bodyStart = h + 4;
  } else {
    Log("Unrecognisable Email Header (no empty line): the whole message is taken as its headers", proc, kLogError);
    headers = message;
    bodyStart = message.size();
  }
  std::string_view body = message.substr(std::min(bodyStart, message.size()));

  for (const HeaderLine& h : headerLines(headers)) {
    if (!OptionsUserFilter.empty() && h.name == OptionsUserFilter)
      UserFilterContent = fit(trim(h.value), 8192);
    std::string value = trim(ProcessHeaderValue(h.value));
    if (h.name == "TO:") ToList = fit(value, 8192);
    else if (h.name == "CC:") CCList = fit(value, 8192);
    else if (h.name == "FROM:") From = fit(value, 80);
    else if (h.name == "SUBJECT:") Subject = fit(value, 255);
    else if (h.name == "REPLY-TO:") ReplyTo = fit(value, 80);
    else if (h.name == "ORGANIZATION:") Organization = fit(value, 80);
    else if (h.name == "DELIVERY-RECEIPT-TO:") DeliveryReceiptTo = fit(value, 80);
    else if (h.name == "DISPOSITION-NOTIFICATION-TO:" || h.name == "DISPOSITIONNOTIFICATIONTO:")
      DispositionNotificationTo = fit(value, 80);
    else if (h.name == "DATE:") SentDate = fit(value, 80);
    else if (h.name == "MESSAGE-ID:") MessageID = fit(value, 80);
    else if (h.name == "REFERENCES:") References = fit(value, 1024);
    else if (h.name == "MIME-VERSION:") MIMEVersion = fit(value, 5);
    else if (h.name == "CONTENT-TRANSFER-ENCODING:") ContentTransferEncoding = MDContentTransfer = fit(value, 80);
    else if (h.name == "CONTENT-DISPOSITION:") {
      MimeValue v = parseMimeValue(unfold(h.value));
      ContentDisposition = fit(lower(v.main), 80);
      std::string file = v.param("filename");
      if (file.empty()) file = v.param("name");
      if (!file.empty()) MDFileName = fit(file, 255);
    } else if (h.name == "CONTENT-TYPE:") {
      MimeValue v = parseMimeValue(unfold(h.value));
      ContentType = fit(lower(v.main), 80);
      MDCharset = fit(v.param("charset"), 80);
      std::string boundary = fit(v.param("boundary"), 255);
      if (boundary.empty()) {
        if (std::string name = v.param("name"); !name.empty()) {
          MDName = fit(name, 255);
          Log("(ContentType _MDName) FileName = [" + MDName + "]", proc);
        }
      } else if (ContentType == "multipart/mixed" || ContentType == "multipart/report") {
        MimeMixedBoundary = boundary;
      } else if (ContentType == "multipart/alternative") {
        MimeAltBoundary = boundary;
      } else if (ContentType == "multipart/related") {
        MimeRelBoundary = boundary;
      } else if (ContentType.starts_with("multipart/")) {
        MimeMixedBoundary = boundary;  // signed, parallel, digest...: every part is kept as in mixed
      } else if (MDName.empty()) {
        Log("Warning Unusual Content Type. Content-type = [" + ContentType + "]", proc, kLogError);
      }
    }
  }

  if (MIMEVersion.empty() && ContentType.empty()) {
    Log("No Mime or ContentType - UUDecode", proc);
    bool ok = true;
    size_t textLength = ProcessUUDecode(body, ok);
    MessageText.assign(body.substr(0, textLength));  // into the room of the last message's text
    return ok;
  }
  if (!MimeMixedBoundary.empty() || !MimeAltBoundary.empty() || !MimeRelBoundary.empty()) {
    Log("Mime Boundary Exists [" + MimeMixedBoundary + MimeAltBoundary + MimeRelBoundary + "]", proc);
    m_partsFound = 0;
    bool ok = true;
    if (ContentType.starts_with("multipart/") && ContentType != "multipart/alternative" &&
        ContentType != "multipart/related" && !MimeMixedBoundary.empty())
      ok = ProcessMixed(body, 0);
    else if (ContentType == "multipart/alternative" && !MimeAltBoundary.empty())
      ok = ProcessAlternative(body, 0);
    else if (ContentType == "multipart/related" && !MimeRelBoundary.empty())
      ok = ProcessRelated(body, 0);
    if (ok && m_partsFound == 0 && !body.empty()) {
      // Not one boundary line in the body: keep the body as the message's text rather than lose it.
      Log("Warning. No part found inside the multipart body - keeping the body as text", proc, kLogError);
      MessageText.assign(body);
    }
    return ok;
  }

  Log("No Boundary & [" + ContentType + "]", proc);
  std::string encoding = lower(trim(MDContentTransfer));
  if (ContentType != "text/html") {
    // A single part that is not text (a PDF, a picture, a forwarded message) is a file, named or not.
    const bool notText = !ContentType.empty() && !ContentType.starts_with("text/");
    if (notText || (encoding != "quoted-printable" &&
                    (!MDName.empty() || !MDFileName.empty() || ContentDisposition == "attachment"))) {
      Log("Attachment only", proc);
      MDContentDisposition = ContentDisposition;
      MDContentType = ContentType;
      return ProcessStoreAttachment(body);
    }
    Log(encoding == "base64"              ? "Base64 encoded Text Only"
        : encoding == "quoted-printable" ? "normal text quoted-printable"
                                          : "normal text no encoding",
        proc);
    TextCharset = MDCharset;
    MessageText = decodeBody(body, encoding);
    return true;
  }
  Log(encoding == "quoted-printable" ? "text/html quoted-printable" : "text/html", proc);
  HTMLCharset = MDCharset;
  MessageHTML = decodeBody(body, encoding);
  return true;
}

void NetEmailReceive::ProcessMimeDesc(std::string_view headerBlock) {
  for (std::string* s : {&MDContentType, &MDCharset, &MDContentTransfer, &MDContentBoundary, &MDContentDisposition,
                         &MDContentID, &MDFileName, &MDName})
    s->clear();
  for (const HeaderLine& h : headerLines(headerBlock)) {
    std::string value = unfold(h.value);
    if (h.name == "CONTENT-TYPE:") {
      MimeValue v = parseMimeValue(value);
      MDContentType = fit(v.main, 80);
      MDName = fit(v.param("name"), 255);
      MDCharset = fit(v.param("charset"), 80);
      MDContentBoundary = fit(v.param("boundary"), 255);
    } else if (h.name == "CONTENT-TRANSFER-ENCODING:") {
      MDContentTransfer = fit(trim(value), 80);
    } else if (h.name == "CONTENT-ID:") {
      std::string id = trim(value);
      if (!id.empty() && id.front() == '<') id.erase(0, 1);
      if (!id.empty() && id.back() == '>') id.pop_back();
      MDContentID = fit(unquote(id), 255);
    } else if (h.name == "CONTENT-DISPOSITION:") {
      MimeValue v = parseMimeValue(value);
      MDContentDisposition = fit(v.main, 80);
      MDFileName = fit(v.param("filename"), 255);
    }
  }
  Log("Data: MDContentType = " + MDContentType + " MDContentTransfer = " + MDContentTransfer +
          " MDContentBoundary = " + MDContentBoundary + " MDContentDisposition = " + MDContentDisposition +
          " MDContentID = " + MDContentID + " MDName = " + MDName + " MDFileName = " + MDFileName,
      "NetEmailReceive._ProcessMimeDesc");
}

namespace {

// True when what follows a "--boundary" at `after` makes it a delimiter line: "--" (the closing
// one), or optional blanks and the line end. "--boundaryX" is another boundary's line.
bool delimiterEnds(std::string_view body, size_t after) {
  std::string_view rest = body.substr(std::min(after, body.size()));
  if (rest.starts_with("--")) return true;
  size_t ws = 0;
  while (ws < rest.size() && (rest[ws] == ' ' || rest[ws] == '\t')) ++ws;
  return ws == rest.size() || rest.substr(ws).starts_with("\r\n");
}

// The position of the next delimiter line "--boundary" that starts at or after `from` at the start
// of a line of `body`, or npos.
size_t findDelimiter(std::string_view body, std::string_view boundary, size_t from) {
  const std::string delim = "--" + std::string(boundary);
  if (from == 0 && body.starts_with(delim) && delimiterEnds(body, delim.size())) return 0;
  const std::string lineDelim = "\r\n" + delim;
  size_t search = from >= 2 ? from - 2 : 0;
  for (;;) {
    size_t q = body.find(lineDelim, search);
    if (q == std::string_view::npos) return std::string_view::npos;
    if (delimiterEnds(body, q + lineDelim.size())) return q + 2;
    search = q + 1;
  }
}

}  // namespace

bool NetEmailReceive::walkParts(std::string_view body, std::string_view boundary, const char* missingEnd,
                                const std::function<bool(std::string_view)>& dispatch) {
  const char* proc = "NetEmailReceive._ProcessWalk";
  size_t pos = findDelimiter(body, boundary, 0);
  while (pos != std::string_view::npos) {
    size_t after = pos + 2 + boundary.size();
    if (body.substr(after).starts_with("--")) return true;  // the closing delimiter
    size_t lineEnd = body.find("\r\n", after);
    if (lineEnd == std::string_view::npos) return true;
    size_t headerEnd = body.find("\r\n\r\n", lineEnd);
    if (headerEnd == std::string_view::npos) return true;
    // The part's own header block lies between its delimiter line and its empty line.
    ProcessMimeDesc(body.substr(lineEnd + 2, headerEnd + 2 - (lineEnd + 2)));
    size_t next = findDelimiter(body, boundary, headerEnd + 2);
    size_t partEnd;
    if (next == std::string_view::npos) {
      Log(missingEnd, proc, kLogError);
      partEnd = body.size();
    } else {
      partEnd = next - 2;  // the CR LF before "--" belongs to the delimiter
    }
    size_t partStart = std::min(headerEnd + 4, partEnd);
    ++m_partsFound;
    Log("Details: CT = [" + MDContentType + "]|CTransfer = [" + MDContentTransfer + "]|CB = [" + MDContentBoundary +
            "]|CDisposition = [" + MDContentDisposition + "]|FileName = [" + MDFileName + "]|Name = [" + MDName + "]",
        proc);
    if (!dispatch(body.substr(partStart, partEnd - partStart))) return false;
    pos = next;
  }
  return true;
}

// A multipart part inside another: walked by its own kind (any kind but alternative and related
// as mixed, so that none of its parts is left out), with the boundary fields put back after it.
// Beyond kMaxNesting levels the part is stored whole as a file instead.
bool NetEmailReceive::processNested(std::string_view part, const std::string& type, int depth) {
  if (depth >= kMaxNesting || MDContentBoundary.empty()) {
    Log("Warning. Multipart part too deep or without a boundary - stored as a file", "NetEmailReceive._ProcessWalk",
        kLogError);
    return ProcessStoreAttachment(part);
  }
  const std::string inner = MDContentBoundary;
  std::string* field = type == "multipart/alternative" ? &MimeAltBoundary
                       : type == "multipart/related"   ? &MimeRelBoundary
                                                       : &MimeMixedBoundary;
  const std::string outer = *field;
  *field = inner;
  bool ok = field == &MimeAltBoundary   ? ProcessAlternative(part, depth + 1)
            : field == &MimeRelBoundary ? ProcessRelated(part, depth + 1)
                                        : ProcessMixed(part, depth + 1);
  *field = outer;
  return ok;
}

bool NetEmailReceive::ProcessMixed(std::string_view body, int depth) {
  const std::string boundary = MimeMixedBoundary;
  return walkParts(body, boundary, "Warning. No Mixed End Boundary Found - guessing end position at end",
                   [&](std::string_view part) {
    std::string type = lower(trim(MDContentType));
    std::string disposition = lower(trim(MDContentDisposition));
    bool named = !MDFileName.empty() || !MDName.empty();
    if (type == "text/plain" && disposition.empty() && named) return ProcessText(part) && ProcessStoreAttachment(part);
    if (type == "text/plain" && !named && disposition != "attachment") return ProcessText(part);
    if ((type == "text/plain" && disposition == "inline") || (type.empty() && disposition.empty() && !named))
      return ProcessText(part);
    // A second HTML body would replace the first: it is kept as a file instead.
    if (type == "text/html" && (disposition.empty() || disposition == "inline") && MessageHTML.empty())
      return ProcessHtml(part);
    if (type == "message/delivery-status" && disposition.empty()) {
      ProcessDeliveryStatus(part);
      return ProcessStoreAttachment(part);  // the report is kept whole as well
    }
    if (type.starts_with("multipart/")) return processNested(part, type, depth);
    return ProcessStoreAttachment(part);
  });
}

bool NetEmailReceive::ProcessAlternative(std::string_view body, int depth) {
  const std::string boundary = MimeAltBoundary;
  bool ok = walkParts(body, boundary, "Warning. No Alternative End Boundary Found - guessing end position at end",
                      [&](std::string_view part) {
    std::string type = lower(trim(MDContentType));
    if (type == "text/plain" || type.empty()) return ProcessText(part);
    if (type == "text/html") return ProcessHtml(part);
    if (type == "message/delivery-status") {
      ProcessDeliveryStatus(part);
      return ProcessStoreAttachment(part);
    }
    if (type.starts_with("multipart/")) return processNested(part, type, depth);
    return ProcessStoreAttachment(part);  // another form of the message (a calendar entry, a picture)
  });
  Log("Finished", "NetEmailReceive._ProcessAlternative");
  return ok;
}

bool NetEmailReceive::ProcessRelated(std::string_view body, int depth) {
  const std::string boundary = MimeRelBoundary;
  return walkParts(body, boundary, "Warning. No NextBoundaryPos. RelBoundary = ", [&](std::string_view part) {
    std::string type = lower(trim(MDContentType));
    if (type == "text/plain") return ProcessText(part);
    if (type == "text/html" && MessageHTML.empty()) return ProcessHtml(part);
    if (type == "message/delivery-status") {
      ProcessDeliveryStatus(part);
      return ProcessStoreAttachment(part);
    }
    if (type.starts_with("multipart/")) return processNested(part, type, depth);
    return ProcessStoreAttachment(part);
  });
}

bool NetEmailReceive::ProcessText(std::string_view body) {
  TextCharset = MDCharset;
  if (body.empty()) return true;
  MessageText += decodeBody(body, MDContentTransfer);
  return true;
}

bool NetEmailReceive::ProcessHtml(std::string_view body) {
  HTMLCharset = MDCharset;
  MessageHTML = decodeBody(body, MDContentTransfer);  // base64 and quoted-printable HTML is saved decoded
  return true;
}

void NetEmailReceive::ProcessDeliveryStatus(std::string_view body) {
  if (body.empty()) return;
  const std::string folded = lower(body);
  auto field = [&](std::string_view name, size_t skip) {
    size_t p = folded.find(lower(name));
    if (p == std::string::npos) return std::string();
    size_t start = std::min(p + name.size() + skip, body.size());
    size_t end = body.find("\r\n", start);
    return fit(trim(body.substr(start, (end == std::string_view::npos ? body.size() : end) - start)), 80);
  };
  DeliveryStatusOriginalRecipient = field("Original-recipient: rfc822;", 0);
  DeliveryStatusFinalRecipient = field("Final-recipient: rfc822;", 0);
  DeliveryStatusAction = field("Action:", 1);
  DeliveryStatusStatus = field("Status:", 1);
  DeliveryStatusRemoteMTA = field("Remote-MTA:", 1);
  DeliveryStatusDiagnosticCode = field("Diagnostic-Code:", 1);
  DeliveryStatusLastAttemptDate = field("Last-Attempt-Date:", 1);
}

// Picks the name under which a part is listed and written: not yet in `taken`, and (when it is
// written) not the name of a file in AttachmentPath, so nothing is ever overwritten.
bool NetEmailReceive::uniqueFileName(const std::vector<std::string>& taken, std::string& name, bool saving) {
  const std::string base = name;
  for (int n = 0; n < kMaxCopies; ++n) {
    std::string candidate = n == 0 ? base : "Copy (" + std::to_string(n) + ") " + base;
    if (std::find(taken.begin(), taken.end(), candidate) != taken.end()) continue;
    struct stat st;
    if (saving && ::lstat((AttachmentPath + candidate).c_str(), &st) == 0) continue;
    name = candidate;
    return true;
  }
  return false;
}

// Creates AttachmentPath + name (never an existing file) and writes the decoded body. A file that
// cannot be created is reported and skipped; a failed write is reported, the partial file removed
// and the run ends (false).
bool NetEmailReceive::writeAttachment(const std::string& name, std::string_view body, const std::string& encoding,
                                      const char* proc) {
  const std::string path = AttachmentPath + name;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    int err = errno;
    Error = net::kNetFileError;
    KeepOnServer = true;
    ErrorTrap("Error creating attached files from email (" + path + ") for sending via email. Error = " + errnoText(err),
              proc);
    return true;
  }
  std::string data = decodeBody(body, encoding);
  size_t done = 0;
  int err = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      err = n < 0 ? errno : ENOSPC;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0) return true;
  ::unlink(path.c_str());
  Error = net::kNetFileError;
  KeepOnServer = true;
  ErrorTrap("Error writing attached files from email (" + path + ") for sending via email. Error = " + errnoText(err), proc);
  Close();
  return false;
}

bool NetEmailReceive::ProcessStoreAttachment(std::string_view body) {
  const char* proc = "NetEmailSend.ReceiveMail";
  Log("Called", "NetEmailReceive._ProcessStoreAttachment");
  if (lower(trim(MDContentTransfer)) == "x-uuencode") {
    bool ok = true;
    ProcessUUDecode(body, ok);
    return ok;
  }
  // Every part that reaches here is a file, named or not: a forwarded message, a PDF or a picture
  // without a name gets a numbered name with the extension of its type.
  const bool embedded = !MDContentID.empty();
  std::string name = embedded ? MDContentID : !MDFileName.empty() ? MDFileName : MDName;
  if (name.empty()) {
    char numbered[32];
    std::snprintf(numbered, sizeof numbered, "EmailFile%09ld", ++g_emailFileCounter);
    name = numbered + extensionFor(lower(trim(MDContentType)));
  }
  name = ProcessCleanFileName(name);
  const bool saving = !m_headersOnly && !(embedded ? OptionsDontSaveEmbeds : OptionsDontSaveAttachments);
  if (!saving && !m_headersOnly) ++PartsNotWritten;
  std::vector<std::string>& queue = embedded ? EmbedListQ : AttachmentListQ;
  std::string& list = embedded ? EmbedList : AttachmentList;
  if (!uniqueFileName(queue, name, saving)) {
    KeepOnServer = true;
    ErrorTrap("Error creating attached files from email (" + AttachmentPath + name + ") for sending via email. Error = " +
                  errnoText(EEXIST), proc);
    return true;
  }
  if (!list.empty()) list += ", ";
  list = fit(list + name, 8192);
  queue.push_back(name);
  if (!saving) return true;
  return writeAttachment(name, body, MDContentTransfer, proc);
}

size_t NetEmailReceive::ProcessUUDecode(std::string_view body, bool& ok) {
  const char* proc = "NetEmailSend._ProcessUUDecode";
  Log("Called", "NetEmailReceive._ProcessUUDecode");
  ok = true;
  // Lines are found after a CR LF; a begin line at the very start counts too. The copy with the
  // CR LF in front reuses one buffer: a fresh one per message, freed again, had the heap grown
  // and given back to the system (page faults and TLB flushes on every thread) for each message.
  static thread_local std::string buffer;
  buffer.assign("\r\n").append(body);
  struct Release {
    std::string& b;
    ~Release() {
      if (b.capacity() > (8u << 20)) std::string().swap(b);  // a huge message's room is not kept
    }
  } release{buffer};
  const std::string& text = buffer;
  size_t textLength = body.size();
  bool first = true;
  size_t pos = 0;
  for (;;) {
    size_t begin = text.find("\r\nbegin ", pos);
    if (begin == std::string::npos) break;
    size_t lineEnd = text.find("\r\n", begin + 2);
    if (lineEnd == std::string::npos) lineEnd = text.size();
    std::string_view line = std::string_view(text).substr(begin + 8, lineEnd - begin - 8);  // "<mode> <name>"
    size_t space = line.find(' ');
    std::string name = ProcessCleanFileName(space == std::string_view::npos ? std::string_view() : line.substr(space + 1));
    // The end line: "end" alone on its line.
    size_t end = lineEnd;
    for (;;) {
      end = text.find("\r\nend", end);
      if (end == std::string::npos) break;
      size_t after = end + 5;
      if (after >= text.size() || text.compare(after, 2, "\r\n") == 0 || text[after] == ' ' || text[after] == '\t') break;
      end += 2;
    }
    const bool saving = !OptionsDontSaveAttachments && !m_headersOnly && end != std::string::npos;
    if (!saving && !m_headersOnly) ++PartsNotWritten;
    std::vector<std::string> taken;
    if (!AttachmentList.empty()) {
      for (size_t s = 0, e; s <= AttachmentList.size(); s = e + 2) {
        e = AttachmentList.find(", ", s);
        if (e == std::string::npos) e = AttachmentList.size();
        taken.push_back(AttachmentList.substr(s, e - s));
      }
    }
    uniqueFileName(taken, name, saving);
    AttachmentList = fit(AttachmentList + (AttachmentList.empty() ? "" : ", ") + name, 8192);
    if (end == std::string::npos) break;  // listed, but its data never ends: nothing is written
    if (first) {
      textLength = begin;  // `text` has two more bytes in front; the CR LF before "begin" stays with the text
      first = false;
    }
    if (saving) {
      std::string data;
      for (size_t l = lineEnd; l < end;) {
        size_t e = text.find("\r\n", l + 2);
        if (e == std::string::npos || e > end) e = end;
        long count = 0;
        data += net::NetUUDecode(std::string_view(text).substr(l + 2, e - (l + 2)), count);
        l = e;
      }
      if (!data.empty() && !writeAttachment(name, data, std::string(), proc)) {
        ok = false;
        return textLength;
      }
    }
    pos = end + 5;
  }
  return textLength;
}

}  // namespace ov::pop
