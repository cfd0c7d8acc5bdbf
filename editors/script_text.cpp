#include "editors/script_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cctype>
#include <cstring>

#include "datalib/date_string_functions.h"
#include "datalib/files.h"
#include "datalib/script_actions.h"
#include "platform/files/file.h"
#include "platform/rt/fixed_string.h"

namespace ov::editors {
namespace act = files::action;
using files::ScriptingRec;

namespace {

constexpr std::string_view kCRLF = "\r\n";
constexpr int kIndentStep = 3, kIndentMax = 24;

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}
std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}
bool equalsNoCase(std::string_view a, std::string_view b) { return upper(a) == upper(b); }
std::string_view skipBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}
std::string capitalised(std::string_view s) {
  std::string out = lower(s);
  if (!out.empty()) out[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[0])));
  return out;
}

// The escapes of the text form: the character and its written form.
constexpr std::array<std::pair<char, std::string_view>, 5> kEscapes = {{
    {'"', "<34>"}, {'\r', "<13>"}, {'\n', "<10>"}, {'\t', "<9>"}, {'<', "<60>"}}};

bool startsWithEscape(std::string_view s) {
  return std::any_of(kEscapes.begin(), kEscapes.end(), [&](const auto& e) { return s.starts_with(e.second); });
}

std::string escape(std::string_view v) {
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    const char c = v[i];
    if (c == '<' && !startsWithEscape(v.substr(i))) {
      out += c;
      continue;
    }
    auto e = std::find_if(kEscapes.begin(), kEscapes.end(), [&](const auto& x) { return x.first == c; });
    if (e != kEscapes.end())
      out += e->second;
    else
      out += c;
  }
  return out;
}

std::string unescape(std::string_view v) {
  std::string out;
  for (size_t i = 0; i < v.size();) {
    bool done = false;
    if (v[i] == '<')
      for (const auto& e : kEscapes)
        if (v.substr(i).starts_with(e.second)) {
          out += e.first;
          i += e.second.size();
          done = true;
          break;
        }
    if (!done) out += v[i++];
  }
  return out;
}

// The run-as, Get Email and FTP passwords travel scrambled. The data library's two routines are
// named the other way round from what they do: QVDECRYPT scrambles, QVENCRYPT unscrambles.
std::string scrambled(std::string_view plain, size_t width) {
  std::string field(plain.substr(0, rt::utf8CutLength(plain, width)));
  field.resize(width, ' ');
  files::QVDECRYPT(std::span<char>(field.data(), field.size()));
  return std::string(rt::clipView(field));
}
std::string unscrambled(std::string_view text, size_t width) {
  std::string field(text.substr(0, std::min(text.size(), width)));
  field.resize(width, ' ');
  files::QVENCRYPT(std::span<char>(field.data(), field.size()));
  return std::string(rt::clipView(field));
}

// Characters from..from+len-1 (1-based) of a field, clipped.
std::string slice(std::string_view field, size_t from, size_t len) {
  if (from - 1 >= field.size()) return {};
  return std::string(rt::clipView(field.substr(from - 1, len)));
}

}  // namespace

std::string QuoteScriptValue(std::string_view value) {
  const std::string_view v = rt::clipView(value);
  const std::string body = escape(v);
  if (v.empty() || v.find_first_of(" /\\,[]") != std::string_view::npos) return "\"" + body + "\"";
  return body;
}

std::string BuildScriptLine(std::string_view keyword, std::span<const ScriptValue> values) {
  // Empty values at the end are not written.
  size_t last = values.size();
  while (last > 0 && (values[last - 1].leaveOut || rt::clipView(values[last - 1].text).empty())) --last;
  std::string line(keyword);
  for (size_t i = 0; i < last; ++i)
    if (!values[i].leaveOut) line += " " + QuoteScriptValue(values[i].text);
  return std::string(rt::clipView(line));
}

std::vector<std::string> SplitScriptArguments(std::string_view arguments) {
  std::vector<std::string> raw;
  std::string_view rest = skipBlanks(arguments);
  while (!rest.empty()) {
    bool quoted = false;
    int brackets = 0;
    size_t i = 0;
    for (; i < rest.size(); ++i) {
      const char c = rest[i];
      if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && c == '[') {
        ++brackets;
      } else if (!quoted && c == ']') {
        brackets = std::max(0, brackets - 1);
      } else if (!quoted && brackets == 0 && (c == ' ' || c == ',')) {
        break;
      }
    }
    // The token keeps a comma that ends it; a blank that ends it is dropped.
    const size_t end = i < rest.size() && rest[i] == ',' ? i + 1 : i;
    raw.emplace_back(rest.substr(0, end));
    rest = skipBlanks(rest.substr(std::min(rest.size(), i + 1)));
  }
  std::vector<std::string> tokens;
  for (std::string_view t : raw) {
    t = rt::clipView(t);
    if (t.size() >= 2 && t.front() == '"' && t.back() == '"') t = t.substr(1, t.size() - 2);
    tokens.push_back(unescape(t));
  }
  return tokens;
}

std::string ScriptArgument(const std::vector<std::string>& tokens, size_t n) {
  return n >= 1 && n <= tokens.size() ? tokens[n - 1] : std::string();
}

// ---------------------------------------------------------------------------------------------
// Writing

namespace {

std::string line(std::string_view keyword, std::initializer_list<ScriptValue> values) {
  return BuildScriptLine(keyword, std::span<const ScriptValue>(values.begin(), values.size()));
}

// The options of a Start Program item, after its command and folder.
std::string startOptions(ScriptingRec& item) {
  const std::string_view flags = item.DDEApplicationName.view();
  auto flag = [&](size_t i) { return flags[i - 1]; };
  auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : 0; };
  std::string out;
  if (digit(flag(1)) > 0) out += " WAIT=" + std::to_string(item.TimeElapsed);
  if (digit(flag(2)) > 0 && flag(2) != '2') out += std::string(" PRIORITY=") + flag(2);
  // Window modes "0" and "1" are the default; other modes are letters or digits ("H", "2" ...).
  if (flag(3) != ' ' && flag(3) != '0' && flag(3) != '1') out += std::string(" MODE=") + flag(3);
  const std::string verb = item.DDEApplicationTopic.str();
  if (!verb.empty() && verb.find(' ') == std::string::npos)
    out += " ACTION=" + QuoteScriptValue(verb);
  else
    item.DDEApplicationTopic.clear();
  if (digit(flag(4)) > 0) out += " /TRANSLATE";
  if (digit(flag(5)) > 0) {
    const std::string_view account = item.DDECommand.view();
    out += " /AS USER=" + QuoteScriptValue(slice(account, 1, 64));
    out += " PASSWORD=" + QuoteScriptValue(scrambled(slice(account, 65, 64), 64));
    out += " DOMAIN=" + QuoteScriptValue(slice(account, 129, 64));
  }
  return out;
}

}  // namespace

std::string ScriptItemLine(const ScriptingRec& stored, bool* opensBlock, bool* closesBlock) {
  ScriptingRec item = stored;
  bool opens = false, closes = false;
  std::string out;
  const std::string_view a = item.Action.clipped();
  const std::string kind = item.DDEType.str();
  auto num = [](int32_t n) { return std::to_string(n); };

  if (a == act::kDisplayMessage) {
    out = line("DISPLAY", {{item.DDEApplicationName.clipped()}, {item.DDEApplicationTopic.clipped()},
                           {item.FocusOnWindow.clipped()}, {"/WAIT", item.SecondsToWait == 0}});
  } else if (a == act::kExitScript) {
    out = "EXIT";
  } else if (a == act::kCloseProgram) {
    out = line("CLOSE", {{item.Command.clipped()}, {item.Path.clipped()}});
  } else if (a == act::kStartProgram) {
    // The two arguments always stand before the options, so an empty folder is written as "".
    out = "START " + QuoteScriptValue(item.Command.clipped()) + " " + QuoteScriptValue(item.Path.clipped());
    const std::string options = startOptions(item);
    if (options.empty()) out = line("START", {{item.Command.clipped()}, {item.Path.clipped()}});
    out += options;
  } else if (a == act::kSendKeys || a == act::kSendKeystrokes) {
    out = std::string(rt::clipView("KEYS " + item.Keystrokes.str()));
  } else if (a == act::kDDELong || a == act::kDDE) {
    out = line("DDE", {{item.DDEApplicationName.clipped()}, {item.DDEApplicationTopic.clipped()},
                       {item.DDECommand.clipped()}});
  } else if (a == act::kSetFocus) {
    out = line("FOCUS", {{item.FocusOnWindow.clipped()}, {item.WaitForWindow.clipped()}});
  } else if (a == act::kSystem) {
    const std::string_view account = item.DDECommand.view();
    const std::string user = slice(account, 1, 64), password = scrambled(slice(account, 65, 64), 64),
                      domain = slice(account, 129, 64);
    out = line("SYSTEM", {{kind}, {user}, {password}, {domain}});
  } else if (a == act::kStartLoop) {
    opens = true;
    if (kind == "Files")
      out = line("LOOP", {{kind}, {item.Command.clipped()}});
    else if (kind == "While" || kind == "Until")
      out = line("LOOP", {{kind}, {item.Command.clipped()}, {item.WindowTitleToCheckFor.clipped()},
                          {item.WaitForWindow.clipped()}});
    else if (kind == "Count") {
      const std::string n = num(item.SecondsToWait);
      out = line("LOOP", {{kind}, {n}});
    } else
      out = line("LOOP", {{kind}});
  } else if (a == act::kEndLoop) {
    out = "ENDLOOP";
    closes = true;
  } else if (a == act::kExitLoop) {
    out = "EXITLOOP";
  } else if (a == act::kIfFileExists) {
    opens = true;
    const bool exists = upper(item.WindowExistance.clipped()).find("EXISTS") != std::string::npos &&
                        upper(item.WindowExistance.clipped()).find("NOT") == std::string::npos;
    out = line(exists ? "IFFILE" : "IFNOTFILE", {{item.Command.clipped()}});
  } else if (a == act::kFileActions) {
    const std::string_view topic = item.DDEApplicationTopic.view();
    if (kind == "Delete" || kind == "Recycle")
      out = line("FILE", {{kind}, {item.Command.clipped()}});
    else if (kind == "FTP Upload" || kind == "FTP Download") {
      const std::string user = slice(topic, 1, 128), password = scrambled(slice(topic, 129, 127), 127);
      out = line("FILE", {{kind}, {item.Command.clipped()}, {item.Path.clipped()},
                          {item.DDEApplicationName.clipped()}, {user}, {password}});
    } else if (kind == "HTTP Download")
      out = line("FILE", {{kind}, {item.Command.clipped()}, {item.Path.clipped()}, {item.DDEApplicationName.clipped()}});
    else if (kind == "Copy" || kind == "Move" || kind == "Zip" || kind == "Unzip")
      out = line("FILE", {{kind}, {item.Command.clipped()}, {item.Path.clipped()},
                          {item.DDEApplicationName.clipped()}, {item.DDEApplicationTopic.clipped()}});
    else
      out = line("FILE", {{kind}, {item.Command.clipped()}, {item.Path.clipped()}});
  } else if (a == act::kSendEmail) {
    const std::string n = num(item.EmailID);
    out = line("EMAIL", {{n}});
  } else if (a == act::kGetEmail) {
    const std::string password = scrambled(item.DDECommand.clipped(), 64);
    out = line("GETEMAIL", {{item.Command.clipped()}, {item.Path.clipped()}, {password},
                            {item.DDEApplicationName.clipped()}, {item.DDEApplicationTopic.clipped()},
                            {item.WindowTitleToCheckFor.clipped()}, {"/DELETE", item.EmailID != 1}});
  } else if (a == act::kSetValue) {
    if (kind == "Set value from INI" || kind == "Set INI from value")
      out = line(kind == "Set value from INI" ? "GETINI" : "SETINI",
                 {{item.Path.clipped()}, {item.Command.clipped()}, {item.DDEApplicationName.clipped()},
                  {item.DDEApplicationTopic.clipped()}});
    else
      out = line("SET", {{item.Path.clipped()}, {item.Command.clipped()}});
  } else if (a == act::kIfValue) {
    opens = true;
    out = line("IF", {{item.Command.clipped()}, {item.WindowTitleToCheckFor.clipped()}, {item.WaitForWindow.clipped()}});
  } else if (a == act::kStartScript) {
    out = line("SCRIPT", {{item.Command.clipped()}, {item.Path.clipped()}});
  } else if (a == act::kWait) {
    const std::string seconds = num(item.SecondsToWait);
    if (item.WaitForWindow.isBlank())
      out = line("WAIT", {{seconds}});
    else if (item.SecondsToWait == 0)
      out = line("WAIT", {{item.WaitForWindow.clipped()}, {item.FocusOnWindow.clipped()}});
    else if (item.DDEApplicationName.isBlank())
      out = line("WAIT", {{seconds}, {item.WaitForWindow.clipped()}, {item.FocusOnWindow.clipped()}});
    else
      out = line("WAIT", {{item.DDEApplicationName.clipped()}, {seconds}, {item.WaitForWindow.clipped()},
                          {item.FocusOnWindow.clipped()}});
  } else if (a == act::kIfWindow) {
    opens = true;
    const std::string e = upper(item.WindowExistance.clipped());
    const bool exists = e.find("EXISTS") != std::string::npos && e.find("NOT") == std::string::npos;
    out = line(exists ? "IFWINDOW" : "IFNOTWINDOW", {{item.WindowTitleToCheckFor.clipped()}, {item.FocusOnWindow.clipped()}});
  } else if (a == act::kIfTimeElapsed) {
    opens = true;
    const bool less = upper(item.IfTimeElapsed.clipped()).find("LESS") != std::string::npos;
    const std::string n = num(item.TimeElapsed);
    out = line(less ? "IFTIMELESS" : "IFTIME", {{n}});
  } else if (a == act::kEndIf) {
    out = "END";
    closes = true;
  } else if (a == act::kComment) {
    out = "COMMENT " + QuoteScriptValue(item.Command.clipped());
  }
  if (out.empty()) opens = false;
  if (opensBlock) *opensBlock = opens;
  if (closesBlock) *closesBlock = closes && !out.empty();
  return out;
}

std::string ScriptItemsText(std::span<const ScriptingRec> items) {
  std::string text;
  int indent = 0;
  for (const ScriptingRec& item : items) {
    bool opens = false, closes = false;
    const std::string l = ScriptItemLine(item, &opens, &closes);
    if (l.empty()) continue;
    if (closes) indent = std::max(0, indent - kIndentStep);
    text += std::string(std::min(indent, kIndentMax), ' ') + l + std::string(kCRLF);
    if (opens) indent += kIndentStep;
  }
  return text;
}

// ---------------------------------------------------------------------------------------------
// Reading

namespace {

// Fills the fields of one item, and notes the first value that does not fit its field.
class Filler {
 public:
  explicit Filler(std::string* problem) : m_problem(problem) {}

  template <size_t N>
  void put(rt::String<N>& field, std::string_view value, std::string_view name) {
    if (value.size() > N) fail("The " + std::string(name) + " is longer than " + std::to_string(N) + " characters");
    field = value;
  }
  // A slice of `width` characters at `from` (1-based) inside a wider field.
  template <size_t N>
  void putSlice(rt::String<N>& field, size_t from, size_t width, std::string_view value, std::string_view name) {
    if (value.size() > width)
      fail("The " + std::string(name) + " is longer than " + std::to_string(width) + " characters");
    std::string v(value.substr(0, rt::utf8CutLength(value, width)));
    v.resize(width, ' ');
    std::memcpy(field.data() + from - 1, v.data(), width);
  }
  void number(int32_t& field, std::string_view value, std::string_view name) {
    const std::string_view v = rt::clipView(skipBlanks(value));
    field = 0;
    if (v.empty()) return;
    const std::string_view digits = v.front() == '+' ? v.substr(1) : v;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), field);
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty())
      fail("The " + std::string(name) + " must be a whole number, not \"" + std::string(v) + "\"");
  }
  void fail(std::string message) {
    if (m_problem && m_problem->empty()) *m_problem = std::move(message);
    m_failed = true;
  }
  bool failed() const { return m_failed; }

 private:
  std::string* m_problem;
  bool m_failed = false;
};

bool isNumberAboveZero(std::string_view s) {
  s = rt::clipView(s);
  if (s.empty() || !std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
    return false;
  return std::any_of(s.begin(), s.end(), [](char c) { return c != '0'; });
}

// The stored name of a FILE operation as typed; empty when it is none.
std::string fileOperation(std::string_view typed) {
  static constexpr std::pair<std::string_view, std::string_view> kNames[] = {
      {"COPY", "Copy"}, {"RENAME", "Rename"}, {"RECYCLE", "Recycle"}, {"MOVE", "Move"}, {"DELETE", "Delete"},
      {"MAKE DIRECTORY", "Make Directory"}, {"MAKE", "Make Directory"},
      {"REMOVE DIRECTORY", "Remove Directory"}, {"REMOVE", "Remove Directory"},
      {"GET FILE DATE", "Get File Date"}, {"FILE DATE", "Get File Date"}, {"DATE", "Get File Date"},
      {"GET FILE TIME", "Get File Time"}, {"FILE TIME", "Get File Time"}, {"TIME", "Get File Time"},
      {"GET FILE SIZE", "Get File Size"}, {"FILE SIZE", "Get File Size"}, {"SIZE", "Get File Size"},
      {"LOG WINDOWS", "Log Windows"}, {"IF FILE EXISTS", "If File Exists"}, {"FILE EXISTS", "If File Exists"},
      {"EXISTS", "If File Exists"}, {"FTPUPLOAD", "FTP Upload"}, {"FTP UPLOAD", "FTP Upload"},
      {"FTPDOWNLOAD", "FTP Download"}, {"FTP DOWNLOAD", "FTP Download"}, {"FTP", "FTP Download"},
      {"HTTPDOWNLOAD", "HTTP Download"}, {"HTTP DOWNLOAD", "HTTP Download"}, {"HTTP", "HTTP Download"},
      {"ZIP", "Zip"}, {"UNZIP", "Unzip"}};
  const std::string u = upper(rt::clipView(typed));
  for (const auto& [name, stored] : kNames)
    if (u == name) return std::string(stored);
  return {};
}

// The verb of "ACTION=": a known verb or its abbreviation ("PR", "Op") by its full name, any
// other verb as typed.
std::string startVerb(std::string_view typed) {
  static constexpr std::string_view kVerbs[] = {"Open", "View", "Print", "Play", "Explore", "Find", "Edit"};
  const std::string u = upper(typed);
  if (u.size() >= 2)
    for (std::string_view verb : kVerbs)
      if (upper(verb).starts_with(u)) return std::string(verb);
  return std::string(typed);
}

bool readStart(const std::vector<std::string>& t, ScriptingRec& item, Filler& f) {
  f.put(item.Command, ScriptArgument(t, 1), "command");
  std::string flags = "     ";
  std::string user, password, domain;
  bool runAs = false;
  auto optionValue = [](const std::string& token, std::string_view key, std::string& value) {
    if (token.size() < key.size() || upper(token.substr(0, key.size())) != key) return false;
    value = token.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    value = unescape(value);
    return true;
  };
  auto isOption = [&](const std::string& token) {
    static constexpr std::string_view kKeys[] = {"WAIT=", "PRIORITY=", "MODE=", "ACTION=", "USER=", "PASSWORD=", "DOMAIN="};
    const std::string u = upper(token);
    if (u == "/AS" || u == "/TRANSLATE") return true;
    return std::any_of(std::begin(kKeys), std::end(kKeys), [&](std::string_view k) { return u.starts_with(k); });
  };
  size_t first = 2;
  if (t.size() >= 2 && !isOption(t[1])) {
    f.put(item.Path, t[1], "start folder");
    first = 3;
  }
  // The options are read from the raw tokens, so a quoted value after "=" keeps its blanks.
  for (size_t i = first; i <= t.size(); ++i) {
    const std::string& token = t[i - 1];
    std::string v;
    if (equalsNoCase(token, "/AS")) {
      runAs = true;
    } else if (equalsNoCase(token, "/TRANSLATE")) {
      flags[3] = '1';
    } else if (optionValue(token, "WAIT=", v)) {
      f.number(item.TimeElapsed, v, "WAIT= time");
      flags[0] = '1';
    } else if (optionValue(token, "PRIORITY=", v)) {
      if (v.size() != 1) f.fail("PRIORITY= takes one character, not \"" + v + "\"");
      if (!v.empty()) flags[1] = v[0];
    } else if (optionValue(token, "MODE=", v)) {
      if (v.size() != 1) f.fail("MODE= takes one character, not \"" + v + "\"");
      if (!v.empty()) flags[2] = v[0];
    } else if (optionValue(token, "ACTION=", v)) {
      f.put(item.DDEApplicationTopic, startVerb(v), "ACTION= verb");
    } else if (optionValue(token, "USER=", v)) {
      user = v;
    } else if (optionValue(token, "PASSWORD=", v)) {
      password = v;
    } else if (optionValue(token, "DOMAIN=", v)) {
      domain = v;
    } else {
      f.fail("Unknown START option \"" + token + "\"");
    }
  }
  if (runAs) {
    flags[4] = '1';
    f.putSlice(item.DDECommand, 1, 64, user, "user name");
    f.putSlice(item.DDECommand, 65, 64, unscrambled(password, 64), "password");
    f.putSlice(item.DDECommand, 129, 64, domain, "domain");
  } else if (!user.empty() || !password.empty() || !domain.empty()) {
    f.fail("USER=, PASSWORD= and DOMAIN= need /AS");
  }
  if (flags != "     ") f.put(item.DDEApplicationName, flags, "options");
  return true;
}

}  // namespace

bool ParseScriptLine(std::string_view text, ScriptingRec& item, std::string* problem) {
  const int32_t id = item.ID, sequence = item.Sequence;
  item = ScriptingRec{};
  item.ID = id;
  item.Sequence = sequence;
  if (problem) problem->clear();
  text = skipBlanks(text);
  const size_t blank = text.find(' ');
  const std::string_view keyword = text.substr(0, blank);
  const std::string_view rest = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
  if (keyword.empty()) return false;
  const std::string k = upper(keyword);
  const std::vector<std::string> t = SplitScriptArguments(rest);
  auto arg = [&](size_t n) { return ScriptArgument(t, n); };
  Filler f(problem);
  auto has = [&](std::string_view flag) {
    return std::any_of(t.begin(), t.end(), [&](const std::string& s) { return equalsNoCase(s, flag); });
  };

  if (k == "DISPLAY") {
    item.Action = act::kDisplayMessage;
    f.put(item.DDEApplicationName, arg(1), "message");
    auto flagWord = [](const std::string& s) { return equalsNoCase(s, "/MODAL") || equalsNoCase(s, "/WAIT"); };
    if (!flagWord(arg(2))) f.put(item.DDEApplicationTopic, arg(2), "title");
    if (!flagWord(arg(3))) f.put(item.FocusOnWindow, arg(3), "button text");
    item.SecondsToWait = std::any_of(t.begin() + std::min<size_t>(1, t.size()), t.end(),
                                     [](const std::string& s) { return equalsNoCase(s, "/WAIT"); }) ? 1 : 0;
  } else if (k == "EXIT") {
    item.Action = act::kExitScript;
  } else if (k == "CLOSE") {
    item.Action = act::kCloseProgram;
    f.put(item.Command, arg(1), "program");
    f.put(item.Path, arg(2), "window text");
  } else if (k == "START") {
    item.Action = act::kStartProgram;
    readStart(t, item, f);
  } else if (k == "KEYS") {
    item.Action = act::kSendKeys;
    f.put(item.Keystrokes, rt::clipView(rest), "keystrokes");
  } else if (k == "DDE") {
    item.Action = act::kDDELong;
    f.put(item.DDEApplicationName, arg(1), "application name");
    f.put(item.DDEApplicationTopic, arg(2), "application topic");
    f.put(item.DDECommand, arg(3), "command");
  } else if (k == "FOCUS") {
    item.Action = act::kSetFocus;
    f.put(item.FocusOnWindow, arg(1), "window");
    f.put(item.WaitForWindow, arg(2), "containing text");
  } else if (k == "SYSTEM") {
    item.Action = act::kSystem;
    f.put(item.DDEType, arg(1), "system action");
    f.putSlice(item.DDECommand, 1, 64, arg(2), "user name");
    f.putSlice(item.DDECommand, 65, 64, unscrambled(arg(3), 64), "password");
    f.putSlice(item.DDECommand, 129, 64, arg(4), "domain");
  } else if (k == "LOOP") {
    item.Action = act::kStartLoop;
    const std::string kind = capitalised(arg(1));
    if (kind == "Files") {
      item.DDEType = kind;
      f.put(item.Command, arg(2), "file pattern");
    } else if (kind == "While" || kind == "Until") {
      item.DDEType = kind;
      f.put(item.Command, arg(2), "value name");
      f.put(item.WindowTitleToCheckFor, arg(3), "comparison");
      f.put(item.WaitForWindow, arg(4), "value to compare with");
    } else if (kind == "Count") {
      item.DDEType = kind;
      f.number(item.SecondsToWait, arg(2), "repetition count");
    } else if (kind == "Forever") {
      item.DDEType = kind;
    } else {
      item.DDEType = "Count";
      item.SecondsToWait = 1;
    }
  } else if (k == "ENDLOOP") {
    item.Action = act::kEndLoop;
  } else if (k == "EXITLOOP") {
    item.Action = act::kExitLoop;
  } else if (k == "IFFILE" || k == "IFNOTFILE") {
    item.Action = act::kIfFileExists;
    item.WindowExistance = k == "IFFILE" ? "Exists" : "Does not exist";
    f.put(item.Command, arg(1), "file");
  } else if (k == "FILE") {
    item.Action = act::kFileActions;
    const std::string op = fileOperation(arg(1));
    if (op.empty()) {
      f.fail("Unknown file operation \"" + arg(1) + "\"");
    } else {
      item.DDEType = op;
      f.put(item.Command, arg(2), "first file");
      f.put(item.Path, arg(3), "second file");
      if (upper(arg(1)).find("TP") != std::string::npos) {
        f.put(item.DDEApplicationName, arg(4), "host or destination");
        f.putSlice(item.DDEApplicationTopic, 1, 128, arg(5), "FTP user name");
        f.putSlice(item.DDEApplicationTopic, 129, 127, unscrambled(arg(6), 127), "FTP password");
      } else if (op == "Copy" || op == "Move" || op == "Zip" || op == "Unzip") {
        std::string name = arg(4), topic = arg(5);
        if (name == "/S") std::swap(name, topic);
        f.put(item.DDEApplicationName, name, "third value");
        f.put(item.DDEApplicationTopic, topic, "fourth value");
      }
    }
  } else if (k == "EMAIL") {
    item.Action = act::kSendEmail;
    f.number(item.EmailID, arg(1), "message number");
  } else if (k == "GETEMAIL") {
    item.Action = act::kGetEmail;
    auto value = [&](size_t n) { return equalsNoCase(arg(n), "/DELETE") ? std::string() : arg(n); };
    f.put(item.Command, value(1), "server");
    f.put(item.Path, value(2), "user");
    f.put(item.DDECommand, unscrambled(value(3), 64), "password");
    f.put(item.DDEApplicationName, value(4), "attachments folder");
    f.put(item.DDEApplicationTopic, value(5), "message folder");
    f.put(item.WindowTitleToCheckFor, value(6), "additional parameters");
    item.EmailID = has("/DELETE") ? 1 : 0;
  } else if (k == "SET" || k == "GETINI" || k == "SETINI") {
    item.Action = act::kSetValue;
    f.put(item.Path, arg(1), "value name");
    f.put(item.Command, arg(2), "value");
    if (k == "SET") {
      static constexpr std::string_view kReserved[] = {
          "TODAY", "DATE", "NOW", "TIME", "FOCUS", "EXITCODE", "FILECOPY", "FILEMOVE", "FILEDELETE", "DIRCREATE",
          "DIRREMOVE", "FILEDATE", "FILETIME", "FILESIZE", "FILEEXISTS", "ERRORCODE", "MAIL", "MAILERROR", "CLIPBOARD"};
      const bool reserved = std::find(std::begin(kReserved), std::end(kReserved), arg(1)) != std::end(kReserved);
      item.DDEType = reserved ? "Set reserved value" : "Set value";
    } else {
      item.DDEType = k == "GETINI" ? "Set value from INI" : "Set INI from value";
      f.put(item.DDEApplicationName, arg(3), "INI file name");
      f.put(item.DDEApplicationTopic, arg(4), "INI section");
    }
  } else if (k == "IF") {
    item.Action = act::kIfValue;
    f.put(item.Command, arg(1), "value name");
    f.put(item.WindowTitleToCheckFor, arg(2), "comparison");
    f.put(item.WaitForWindow, arg(3), "value to compare with");
  } else if (k == "SCRIPT") {
    item.Action = act::kStartScript;
    f.put(item.Command, arg(1), "script file");
    const std::string mode = arg(2);
    const char first = mode.empty() ? ' ' : static_cast<char>(std::toupper(static_cast<unsigned char>(mode[0])));
    if (first == 'I')
      item.Path = "Insert (Execute and continue)";
    else if (first == 'J')
      item.Path = "Jump to (Execute and skip)";
    else if (first == 'A')
      item.Path = "Append";
    else
      f.put(item.Path, mode, "start method");
  } else if (k == "WAIT") {
    item.Action = act::kWait;
    const std::string w = upper(arg(1));
    if (w == "AND" || w == "OR" || w == "EITHER" || w == "BOTH") {
      f.put(item.DDEApplicationName, arg(1), "combination");
      f.number(item.SecondsToWait, arg(2), "seconds");
      f.put(item.WaitForWindow, arg(3), "window");
      f.put(item.FocusOnWindow, arg(4), "containing text");
    } else {
      if (!isNumberAboveZero(arg(1))) {
        f.put(item.WaitForWindow, arg(1), "window");
        f.put(item.FocusOnWindow, arg(2), "containing text");
        f.number(item.SecondsToWait, arg(3), "seconds");
      } else {
        f.number(item.SecondsToWait, arg(1), "seconds");
        f.put(item.WaitForWindow, arg(2), "window");
        f.put(item.FocusOnWindow, arg(3), "containing text");
      }
      if (item.SecondsToWait > 0 && !item.WaitForWindow.isBlank()) item.DDEApplicationName = "Both";
    }
    // "WAIT 0" waits no time for no window: the seconds alone.
    if (item.WaitForWindow == "0" && item.SecondsToWait == 0 && t.size() == 1) item.WaitForWindow.clear();
  } else if (k == "IFWINDOW" || k == "IFNOTWINDOW") {
    item.Action = act::kIfWindow;
    item.WindowExistance = k == "IFWINDOW" ? "Exists" : "Does not exist";
    f.put(item.WindowTitleToCheckFor, arg(1), "window");
    f.put(item.FocusOnWindow, arg(2), "containing text");
  } else if (k == "IFTIME" || k == "IFTIMELESS") {
    item.Action = act::kIfTimeElapsed;
    item.IfTimeElapsed = k == "IFTIME" ? "Greater than" : "Less than";
    f.number(item.TimeElapsed, arg(1), "seconds");
  } else if (k == "END") {
    item.Action = act::kEndIf;
  } else if (k == "COMMENT" || keyword == "!") {
    item.Action = act::kComment;
    // A comment of several bare words is kept whole rather than cut to its first word.
    f.put(item.Command, t.size() <= 1 ? arg(1) : std::string(rt::clipView(skipBlanks(rest))), "comment");
  } else {
    f.fail("Unknown script action: " + std::string(keyword));
  }
  return !f.failed();
}

bool ParseScriptText(std::string_view text, int32_t task, std::vector<ScriptingRec>& items,
                     ScriptTextProblem* problem) {
  items.clear();
  int number = 0;
  while (!text.empty()) {
    // A line ends at CR (CR LF counts as one end); a lone LF ends a line too, so text pasted with
    // Linux line ends reads as it looks.
    const size_t end = text.find_first_of("\r\n");
    std::string_view l = text.substr(0, end);
    if (end == std::string_view::npos)
      text = {};
    else
      text.remove_prefix(end + (text.substr(end).starts_with(kCRLF) ? 2 : 1));
    ++number;
    ScriptingRec item;
    item.ID = task;
    item.Sequence = number;
    std::string why;
    if (ParseScriptLine(l, item, &why)) {
      items.push_back(item);
    } else if (!why.empty()) {
      items.clear();
      if (problem) *problem = {number, "Line " + std::to_string(number) + ": " + why};
      return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Stored scripts

namespace {

// Opens SCRIPTING for the length of a call.
class ScriptingOpen {
 public:
  ScriptingOpen() : m_err(files::Access_SCRIPTING.Open()) {}
  ~ScriptingOpen() {
    if (m_err == rt::Err::None) (void)files::Access_SCRIPTING.Close();
  }
  rt::Err error() const { return m_err; }

 private:
  rt::Err m_err;
};

// The stored items of `task` in sequence order.
rt::Err readItems(int32_t task, std::vector<ScriptingRec>& items) {
  items.clear();
  files::SCRIPTING.clear();
  files::SCR.ID = task;
  files::SCR.Sequence = INT32_MIN;
  rt::Err err = files::SCRIPTING.setFrom(files::SCR_KeyID);
  while (err == rt::Err::None && (err = files::SCRIPTING.next()) == rt::Err::None && files::SCR.ID == task)
    items.push_back(files::SCR);
  return err == rt::Err::NotAvailable || err == rt::Err::None ? rt::Err::None : err;
}

}  // namespace

rt::Err ScriptToText(int32_t task, std::string& text, std::string* problem) {
  text.clear();
  if (task == 0) {
    if (problem) *problem = "No task ID";
    return rt::Err::BadParameters;
  }
  ScriptingOpen open;
  if (open.error() != rt::Err::None) {
    if (problem) *problem = "Next script:  " + std::string(rt::errorText(open.error()));
    return open.error();
  }
  const ScriptingRec saved = files::SCR;
  std::vector<ScriptingRec> items;
  const rt::Err err = readItems(task, items);
  files::SCR = saved;
  text = ScriptItemsText(items);
  if (err != rt::Err::None && problem) *problem = "Next script:  " + rt::ERROR();
  return err;
}

std::function<rt::Err(const ScriptingRec&)> textToScriptBeforeAdd;

rt::Err TextToScript(int32_t task, std::string_view text, ScriptTextProblem* problem) {
  auto fail = [&](int line, std::string message, rt::Err err) {
    if (problem) *problem = {line, std::move(message)};
    return err;
  };
  if (task == 0) return fail(0, "No task ID", rt::Err::BadParameters);
  if (rt::clipView(text).find_first_not_of(" \r\n\t") == std::string_view::npos)
    return fail(0, "Nothing to save.", rt::Err::BadParameters);
  std::vector<ScriptingRec> items;
  ScriptTextProblem bad;
  if (!ParseScriptText(text, task, items, &bad)) return fail(bad.line, bad.message, rt::Err::BadParameters);

  ScriptingOpen open;
  if (open.error() != rt::Err::None)
    return fail(0, "Error adding scripting:\r\n" + std::string(rt::errorText(open.error())), open.error());
  const ScriptingRec saved = files::SCR;
  // The old items go and the new ones come in one transaction: either the whole new script is
  // stored or the old one stays.
  rt::Err err = db::LOGOUT(1, {&files::SCRIPTING});
  if (err != rt::Err::None)
    return fail(0, "The script is in use elsewhere; nothing was changed.\r\n" + std::string(rt::errorText(err)), err);
  std::vector<ScriptingRec> old;
  err = readItems(task, old);
  for (size_t i = 0; err == rt::Err::None && i < old.size(); ++i) {
    files::SCR = old[i];
    err = files::SCRIPTING.get(files::SCR_KeyID);
    if (err == rt::Err::None) err = files::SCRIPTING.deleteRecord();
  }
  std::string message = "Error deleting scripting:\r\n";
  if (err == rt::Err::None) {
    message = "Error adding scripting:\r\n";
    for (size_t i = 0; err == rt::Err::None && i < items.size(); ++i) {
      files::SCR = items[i];
      if (textToScriptBeforeAdd && (err = textToScriptBeforeAdd(items[i])) != rt::Err::None)
        rt::setError(err, files::SCRIPTING.label());
      else
        err = files::SCRIPTING.add();
    }
  }
  if (err == rt::Err::None) err = db::COMMIT();
  if (err != rt::Err::None) {
    const std::string why = rt::ERROR();
    (void)db::ROLLBACK();
    files::SCR = saved;
    return fail(0, message + why + "\r\nNothing was changed.", err);
  }
  files::SCR = saved;
  return rt::Err::None;
}

}  // namespace ov::editors
