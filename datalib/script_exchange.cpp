#include "datalib/script_exchange.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "datalib/date_string_functions.h"
#include "datalib/script_actions.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"

namespace ov::files {
namespace {

constexpr size_t kColumns = 11;
constexpr size_t kTypeWidth = 60;
constexpr size_t kFieldWidth = 255;
constexpr size_t kActionWidth = 27;

// The run-as account of "Start Program" and "System" steps: three 64-byte slices of DDECommand.
constexpr size_t kSliceWidth = 64;
constexpr size_t kUserSlice = 0, kPasswordSlice = 64, kDomainSlice = 128;

// ---- the column tables ----------------------------------------------------------------------

struct Column {
  std::string (*get)(const ScriptingRec&);
  void (*set)(ScriptingRec&, std::string_view);
};

// The runtime's text to LONG: the value of a number (a fraction is dropped), 0 for other text.
int32_t toLong(std::string_view text) {
  std::string s(text);
  const char* begin = s.c_str();
  while (*begin == ' ') ++begin;
  if (*begin == '\0') return 0;
  char* end = nullptr;
  double v = std::strtod(begin, &end);
  while (end && *end == ' ') ++end;
  if (end == begin || *end != '\0' || !(v > -2147483649.0 && v < 2147483648.0)) return 0;
  return static_cast<int32_t>(v);
}

template <auto Member>
constexpr Column text() {
  return {[](const ScriptingRec& r) { return std::string((r.*Member).clipped()); },
          [](ScriptingRec& r, std::string_view v) { r.*Member = v; }};
}

template <auto Member>
constexpr Column number() {
  return {[](const ScriptingRec& r) { return std::to_string(r.*Member); },
          [](ScriptingRec& r, std::string_view v) { r.*Member = toLong(v); }};
}

template <size_t From>
constexpr Column commandSlice() {
  return {[](const ScriptingRec& r) {
            return std::string(rt::clipView(r.DDECommand.view().substr(From, kSliceWidth)));
          },
          [](ScriptingRec& r, std::string_view v) {
            rt::String<kSliceWidth> slice = v;
            std::memcpy(r.DDECommand.data() + From, slice.data(), kSliceWidth);
          }};
}

using R = ScriptingRec;
const Column kCommand = text<&R::Command>(), kPath = text<&R::Path>(), kAppName = text<&R::DDEApplicationName>(),
             kTopic = text<&R::DDEApplicationTopic>(), kDDEType = text<&R::DDEType>(),
             kDDECommand = text<&R::DDECommand>(), kLinkItem = text<&R::DDELinkItem>(),
             kKeystrokes = text<&R::Keystrokes>(), kWaitFor = text<&R::WaitForWindow>(),
             kFocusOn = text<&R::FocusOnWindow>(), kExistance = text<&R::WindowExistance>(),
             kTitle = text<&R::WindowTitleToCheckFor>(), kIfElapsed = text<&R::IfTimeElapsed>(),
             kSeconds = number<&R::SecondsToWait>(), kElapsed = number<&R::TimeElapsed>(),
             kEmailID = number<&R::EmailID>(), kUser = commandSlice<kUserSlice>(),
             kPassword = commandSlice<kPasswordSlice>(), kDomain = commandSlice<kDomainSlice>();

struct ActionColumns {
  std::vector<std::string_view> names;
  std::vector<Column> columns;
  bool hasPasswordSlice = false;
};

const std::vector<ActionColumns>& columnTables() {
  namespace a = action;
  static const std::vector<ActionColumns> kTables = {
      {{a::kCloseProgram}, {kCommand, kPath}},
      {{a::kComment}, {kCommand}},
      {{a::kStartProgram}, {kCommand, kPath, kAppName, kElapsed, kTopic, kUser, kPassword, kDomain}, true},
      {{a::kDisplayMessage, a::kMessage, a::kDisplay}, {kAppName, kTopic, kSeconds, kFocusOn}},
      {{a::kSendKeys, a::kSendKeystrokes}, {kKeystrokes}},
      {{a::kDDELong, a::kDDE}, {kDDEType, kAppName, kTopic, kLinkItem, kDDECommand}},
      {{a::kSystem}, {kDDEType, kUser, kPassword, kDomain, kCommand}, true},
      {{a::kSetFocus}, {kFocusOn, kWaitFor}},
      {{a::kWait}, {kSeconds, kWaitFor, kAppName, kFocusOn}},
      {{a::kIfWindow}, {kExistance, kTitle, kFocusOn}},
      {{a::kIfTimeElapsed}, {kIfElapsed, kElapsed}},
      {{a::kEndIf, a::kExitScript, a::kEndLoop, a::kExitLoop}, {}},
      {{a::kFileActions}, {kDDEType, kCommand, kPath, kAppName, kTopic}},
      {{a::kGetEmail}, {kCommand, kPath, kDDECommand, kAppName, kTopic, kTitle, kEmailID}},
      // The message's "subject - recipient" title after its id, so files written with the id
      // alone still read.
      {{a::kSendEmail, a::kSendEMail}, {kEmailID, kTitle}},
      {{a::kSetValue}, {kPath, kCommand, kDDEType, kAppName, kTopic}},
      {{a::kIfValue}, {kCommand, kTitle, kWaitFor}},
      {{a::kIfFileExists}, {kCommand, kExistance}},
      {{a::kStartLoop}, {kDDEType, kSeconds, kCommand, kTitle, kWaitFor}},
      {{a::kStartScript}, {kCommand, kPath}},
  };
  return kTables;
}

const ActionColumns* findColumns(const rt::String<kActionWidth>& action) {
  for (const ActionColumns& t : columnTables())
    for (std::string_view name : t.names)
      if (action == name) return &t;
  return nullptr;
}

constexpr rt::String<kFieldWidth> ExportRec::*kFields[] = {
    &ExportRec::Field1, &ExportRec::Field2, &ExportRec::Field3, &ExportRec::Field4, &ExportRec::Field5,
    &ExportRec::Field6, &ExportRec::Field7, &ExportRec::Field8, &ExportRec::Field9, &ExportRec::Field10};
static_assert(std::size(kFields) == kColumns - 1);

std::span<char> passwordSlice(ScriptingRec& r) {
  return std::span<char>(r.DDECommand.data() + kPasswordSlice, kSliceWidth);
}

// ---- escapes ---------------------------------------------------------------------------------

// When `s` holds an escape at `i` ("<" one or two digits ">" with a value 1..99), its code and
// length.
bool escapeAt(std::string_view s, size_t i, int& code, size_t& length) {
  if (i >= s.size() || s[i] != '<') return false;
  auto digit = [&](size_t k) { return k < s.size() && s[k] >= '0' && s[k] <= '9'; };
  if (!digit(i + 1)) return false;
  size_t digits = digit(i + 2) ? 2 : 1;
  if (i + 1 + digits >= s.size() || s[i + 1 + digits] != '>') return false;
  code = s[i + 1] - '0';
  if (digits == 2) code = code * 10 + (s[i + 2] - '0');
  if (code == 0) return false;
  length = digits + 2;
  return true;
}

// Bytes of the UTF-8 character at `s[i]`; 1 for a byte that does not start a whole character.
size_t charLengthAt(std::string_view s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t n = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF8 ? 4 : 1;
  if (i + n > s.size()) return 1;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
  return n;
}

// ---- comma-delimited lines -------------------------------------------------------------------

void appendQuoted(std::string& line, std::string_view value) {
  line += '"';
  for (char c : value) {
    if (c == '"') line += '"';
    line += c;
  }
  line += '"';
}

void setProblem(std::string* problem, std::string text) {
  if (problem) *problem = std::move(text);
}

bool splitColumns(std::string_view line, std::vector<std::string>& columns, std::string* problem) {
  columns.clear();
  size_t i = 0;
  while (true) {
    std::string value;
    const size_t column = columns.size() + 1;
    if (i < line.size() && line[i] == '"') {
      ++i;
      bool closed = false;
      while (i < line.size()) {
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            value += '"';
            i += 2;
            continue;
          }
          closed = true;
          ++i;
          break;
        }
        value += line[i++];
      }
      if (!closed) {
        setProblem(problem, "column " + std::to_string(column) + ": the double quote is not closed");
        return false;
      }
      if (i < line.size() && line[i] != ',') {
        setProblem(problem, "column " + std::to_string(column) + ": text after the closing double quote");
        return false;
      }
    } else {
      size_t comma = line.find(',', i);
      size_t end = comma == std::string_view::npos ? line.size() : comma;
      value.assign(line.substr(i, end - i));
      i = end;
    }
    columns.push_back(std::move(value));
    if (i >= line.size()) return true;
    ++i;  // the comma
  }
}

// ---- files -----------------------------------------------------------------------------------

rt::Err errFromErrno(int e) {
  switch (e) {
    case ENOENT: return rt::Err::NoFile;
    case ENOTDIR: return rt::Err::NoPath;
    case EACCES:
    case EPERM:
    case EROFS: return rt::Err::NoAccess;
    case EMFILE:
    case ENFILE: return rt::Err::TooManyFiles;
    default: return rt::Err::FileSystem;
  }
}

rt::Err fail(rt::Err err, const std::string& path, const std::string& detail, std::string* problem) {
  setProblem(problem, detail);
  rt::setError(err, path, detail);
  return err;
}

}  // namespace

void SCRIPT_STANDARDEDITS(ScriptingRec& step) {
  ScriptingRec s = step;
  if (s.Action == action::kSendKeystrokes) {
    s.Action = action::kSendKeys;
  } else if (s.Action == action::kIfWindow) {
    bool exists = rt::LOWER(s.WindowExistance.clipped()).find("exists") != std::string::npos;
    s.WindowExistance = exists ? "Exists" : "Does not exist";
  } else if (s.Action == action::kIfTimeElapsed) {
    bool greater = rt::LOWER(s.IfTimeElapsed.clipped()).find("grea") != std::string::npos;
    s.IfTimeElapsed = greater ? "Greater than" : "Less than";
  } else if (s.Action == action::kWait) {
    std::string mode = rt::UPPER(s.DDEApplicationName.clipped());
    if (mode == "AND" || mode == "BOTH") {
      s.DDEApplicationName = "Both";
    } else if (mode == "EITHER") {
      s.DDEApplicationName = "Either";
    }
  }
  step = s;
}

std::string escapeExchangeValue(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size();) {
    unsigned char c = static_cast<unsigned char>(value[i]);
    std::string piece;
    size_t used = 1;
    int code;
    size_t length;
    if (c == 0) {
      ++i;  // a zero byte has no escape ("<0>" reads back as text) and means nothing in a text field
      continue;
    }
    if (c < 32 || c == '"') {
      piece = "<" + std::to_string(c) + ">";
    } else if (c == '<' && escapeAt(value, i, code, length)) {
      piece = "<60>";  // a literal "<" that would read back as an escape
    } else {
      used = charLengthAt(value, i);
      piece.assign(value.substr(i, used));
    }
    if (out.size() + piece.size() > kFieldWidth) break;  // never cut inside an escape or a character
    out += piece;
    i += used;
  }
  return out;
}

std::string unescapeExchangeValue(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size();) {
    int code;
    size_t length;
    if (escapeAt(value, i, code, length)) {
      out += static_cast<char>(code);
      i += length;
    } else {
      out += value[i++];
    }
  }
  return out;
}

uint8_t exportScriptRecord(const ScriptingRec& step, ExportRec& out) {
  ScriptingRec s = step;
  SCRIPT_STANDARDEDITS(s);
  const ActionColumns* table = findColumns(s.Action);
  if (table && table->hasPasswordSlice) QVENCRYPT(passwordSlice(s));

  out = ExportRec();
  out.Type = s.Action.clipped();
  if (!table) return 0;
  size_t n = 0;
  for (const Column& c : table->columns) out.*kFields[n++] = escapeExchangeValue(c.get(s));
  return 1;
}

uint8_t importScriptRecord(const ExportRec& in, ScriptingRec& step) {
  ScriptingRec s = step;
  s.Action = in.Type.view().substr(0, kActionWidth);
  const ActionColumns* table = findColumns(s.Action);
  if (table) {
    // Each column goes to its own field: an empty column is a blank value, not a gap.
    size_t n = 0;
    for (const Column& c : table->columns) c.set(s, unescapeExchangeValue((in.*kFields[n++]).clipped()));
    if (table->hasPasswordSlice) QVDECRYPT(passwordSlice(s));
  }
  SCRIPT_STANDARDEDITS(s);
  step = s;
  return table ? 1 : 0;
}

uint8_t EXPORTSCRIPTRECORD(const ScriptingRec& step) { return exportScriptRecord(step, EXP); }

uint8_t IMPORTSCRIPTRECORD(ScriptingRec& step) {
  const ExportRec in = EXP;
  return importScriptRecord(in, step);
}

std::string formatExchangeLine(const ExportRec& rec) {
  std::string line;
  appendQuoted(line, rec.Type.clipped());
  for (auto field : kFields) {
    line += ',';
    appendQuoted(line, (rec.*field).clipped());
  }
  return line;
}

bool parseExchangeLine(std::string_view line, ExportRec& rec, std::string* problem) {
  std::vector<std::string> columns;
  if (!splitColumns(line, columns, problem)) return false;
  if (columns.size() > kColumns) {
    setProblem(problem, std::to_string(columns.size()) + " columns, at most 11");
    return false;
  }
  for (size_t i = 0; i < columns.size(); ++i) {
    size_t width = i == 0 ? kTypeWidth : kFieldWidth;
    size_t size = rt::clipView(columns[i]).size();
    if (size > width) {
      setProblem(problem, "column " + std::to_string(i + 1) + " holds " + std::to_string(size) +
                              " bytes, at most " + std::to_string(width));
      return false;
    }
  }
  ExportRec out;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i == 0) {
      out.Type = columns[i];
    } else {
      out.*kFields[i - 1] = columns[i];
    }
  }
  rec = out;
  return true;
}

rt::Err readExchangeFile(const std::string& path, std::vector<ExportRec>& records, std::string* problem) {
  records.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail(errFromErrno(errno), path, path + ": " + std::strerror(errno), problem);
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > off_t(kExchangeFileMax)) {
    ::close(fd);
    return fail(rt::Err::FileSystem, path,
                path + " holds " + std::to_string(st.st_size) + " bytes, at most " + std::to_string(kExchangeFileMax),
                problem);
  }

  // Read as a stream: only the line being read is held as text besides the records.
  std::vector<ExportRec> out;
  std::string line;
  size_t lineNo = 1, total = 0;
  bool first = true;
  std::string why;
  auto takeLine = [&]() -> bool {
    std::string_view view = line;
    if (first && view.starts_with("\xEF\xBB\xBF")) view.remove_prefix(3);
    first = false;
    if (view.ends_with('\r')) view.remove_suffix(1);
    if (view.find_first_not_of(" \t") != std::string_view::npos) {
      if (out.size() == kExchangeLinesMax) {
        why = "more than " + std::to_string(kExchangeLinesMax) + " lines";
        return false;
      }
      ExportRec rec;
      if (!parseExchangeLine(view, rec, &why)) return false;
      out.push_back(rec);
    }
    line.clear();
    ++lineNo;
    return true;
  };
  char chunk[65536];
  ssize_t n;
  while ((n = ::read(fd, chunk, sizeof chunk)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int e = errno;
      ::close(fd);
      return fail(errFromErrno(e), path, path + ": " + std::strerror(e), problem);
    }
    total += size_t(n);
    if (total > kExchangeFileMax) why = "more than " + std::to_string(kExchangeFileMax) + " bytes";
    for (std::string_view rest(chunk, size_t(n)); why.empty() && !rest.empty();) {
      const size_t eol = rest.find('\n');
      line.append(rest.substr(0, eol));
      rest.remove_prefix(eol == std::string_view::npos ? rest.size() : eol + 1);
      if (line.size() > kExchangeLineMax) {
        why = "more than " + std::to_string(kExchangeLineMax) + " bytes";
        break;
      }
      if (eol != std::string_view::npos) (void)takeLine();
    }
    if (!why.empty()) break;
  }
  ::close(fd);
  if (why.empty() && !line.empty()) (void)takeLine();
  if (!why.empty()) return fail(rt::Err::FileSystem, path, path + " line " + std::to_string(lineNo) + ": " + why, problem);
  records = std::move(out);
  return rt::Err::None;
}

rt::Err writeExchangeFile(const std::string& path, std::span<const ExportRec> records) {
  std::string text;
  for (const ExportRec& r : records) text += formatExchangeLine(r) + "\r\n";

  // A new file is readable by its owner only (it may hold run-as passwords); a replaced one keeps
  // its mode.
  std::string temp = path + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return fail(errFromErrno(errno), path, path + ": " + std::strerror(errno), nullptr);
  struct stat old;
  if (::stat(path.c_str(), &old) == 0) (void)::fchmod(fd, old.st_mode & 07777);  // best effort
  size_t written = 0;
  while (written < text.size()) {
    ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  int err = written == text.size() ? 0 : errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(temp.c_str(), path.c_str()) != 0) err = errno;
  if (err != 0) {
    (void)::unlink(temp.c_str());  // best effort: the old file stays as it was
    return fail(errFromErrno(err), path, path + ": " + std::strerror(err), nullptr);
  }
  return rt::Err::None;
}

rt::Err exportScriptFile(const std::string& path, std::span<const ScriptingRec> steps) {
  std::vector<ExportRec> records;
  for (const ScriptingRec& s : steps) {
    ExportRec rec;
    if (exportScriptRecord(s, rec)) records.push_back(rec);
  }
  return writeExchangeFile(path, records);
}

rt::Err importScriptFile(const std::string& path, std::vector<ImportedStep>& steps, std::string* problem) {
  steps.clear();
  std::vector<ExportRec> records;
  if (rt::Err err = readExchangeFile(path, records, problem); err != rt::Err::None) return err;
  for (const ExportRec& rec : records) {
    ImportedStep imported;
    imported.known = importScriptRecord(rec, imported.step) == 1;
    steps.push_back(imported);
  }
  return rt::Err::None;
}

}  // namespace ov::files
