#include "picture.h"

#include <langinfo.h>
#include <locale.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "date_time.h"
#include "detail/number_text.h"
#include "fixed_string.h"
#include "text.h"

namespace ov::rt {
namespace {

constexpr const char* kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};
constexpr const char* kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
constexpr int kMaxNumberSize = 255;
constexpr int kMaxPlaces = 30;
constexpr int kMaxStringWidth = 65535;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (upper(a[i]) != upper(b[i])) return false;
  return true;
}

// Reads up to `maxDigits` digits at s[i]; false when there are none or too many.
bool readNumber(std::string_view s, size_t& i, int& value, size_t maxDigits) {
  size_t b = i;
  value = 0;
  while (i < s.size() && isDigit(s[i])) {
    if (i - b >= maxDigits) return false;
    value = value * 10 + (s[i] - '0');
    ++i;
  }
  return i > b;
}

std::string twoDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

std::string padded(int v, bool zero) {
  char buf[16];
  std::snprintf(buf, sizeof buf, zero ? "%02d" : "%2d", v);
  return buf;
}

// ---- Parsing pictures -------------------------------------------------------------------------

struct Parsed {
  PictureKind kind = PictureKind::Invalid;
  int n = 0;             // date/time picture number, string width
  bool zero = false;     // date/time: zero-fill the first number
  char sep = 0;          // date/time separator, 0 for the picture's own
  bool blank = false;    // B
  // numbers
  std::string before, after;
  char leadSign = 0;     // '-', '(' or 0
  char trailSign = 0;    // '-', ')' or 0
  char fill = 0;         // '0', '_', '*' or 0
  int size = 0;
  char group = 0;        // grouping character, 0 for none
  char decimal = '.';    // '.', ',' or 0 for implied
  int places = 0;
  // patterns
  std::string pattern;
};

char separatorOf(char c) {
  switch (c) {
    case '.': return '.';
    case '-': return '-';
    case '_': return ' ';
    case '`': return ',';
    default: return 0;
  }
}

bool parseDateTime(std::string_view s, Parsed& p, int maxN) {
  size_t i = 0;
  if (i + 1 < s.size() && s[i] == '0' && isDigit(s[i + 1])) {
    p.zero = true;
    ++i;
  }
  if (!readNumber(s, i, p.n, 2) || p.n < 1 || p.n > maxN) return false;
  if (i < s.size() && separatorOf(s[i])) p.sep = separatorOf(s[i++]);
  if (p.kind == PictureKind::Date && i < s.size() && (s[i] == '<' || s[i] == '>')) {
    ++i;
    int range;
    (void)readNumber(s, i, range, 3);  // optional
  }
  if (i < s.size() && upper(s[i]) == 'B') {
    p.blank = true;
    ++i;
  }
  return i == s.size();
}

bool readText(std::string_view s, size_t& i, std::string& out) {
  if (i < s.size() && s[i] == '$') {
    out = "$";
    ++i;
    return true;
  }
  if (i < s.size() && s[i] == '~') {
    size_t e = s.find('~', i + 1);
    if (e == std::string_view::npos) return false;
    out.assign(s.substr(i + 1, e - i - 1));
    i = e + 1;
  }
  return true;
}

bool parseNumber(std::string_view s, Parsed& p) {
  size_t i = 0;
  if (!readText(s, i, p.before)) return false;
  if (i < s.size() && (s[i] == '-' || s[i] == '(')) p.leadSign = s[i++];
  if (p.before.empty() && !readText(s, i, p.before)) return false;  // "-$" as well as "$-"
  bool hasFill = false;
  if (i < s.size() && (s[i] == '_' || s[i] == '*' || (s[i] == '0' && i + 1 < s.size() && isDigit(s[i + 1])))) {
    p.fill = s[i++];
    hasFill = true;
  }
  if (i < s.size() && isDigit(s[i]) && (!readNumber(s, i, p.size, 3) || p.size > kMaxNumberSize)) return false;
  auto placesFollow = [&](size_t k) {
    return k + 1 < s.size() && (s[k] == '.' || s[k] == '`' || s[k] == 'v' || s[k] == 'V') && isDigit(s[k + 1]);
  };
  bool explicitGroup = false;
  if (i < s.size()) {
    char c = s[i];
    if ((c == '.' && !placesFollow(i)) || c == '_' || (c == '-' && placesFollow(i + 1))) {
      p.group = separatorOf(c);
      explicitGroup = true;
      ++i;
    }
  }
  if (placesFollow(i)) {
    char c = s[i++];
    p.decimal = c == '.' ? '.' : c == '`' ? ',' : 0;
    if (!readNumber(s, i, p.places, 2) || p.places > kMaxPlaces) return false;
  }
  if (!explicitGroup && !hasFill) p.group = p.decimal == ',' ? '.' : ',';
  if (!explicitGroup && p.fill == '*') p.group = p.decimal == ',' ? '.' : ',';
  if (i < s.size() && (s[i] == '-' || s[i] == ')')) {
    if ((s[i] == ')') != (p.leadSign == '(')) return false;
    if (s[i] == '-' && p.leadSign) return false;
    p.trailSign = s[i++];
  }
  if (p.leadSign == '(' && p.trailSign != ')') return false;
  if (!readText(s, i, p.after)) return false;
  if (i < s.size() && upper(s[i]) == 'B') {
    p.blank = true;
    ++i;
  }
  return i == s.size();
}

bool parsePattern(std::string_view s, Parsed& p) {
  if (!s.empty() && upper(s.back()) == 'B' && s.size() >= 2 && upper(s[s.size() - 2]) == 'P') {
    p.blank = true;
    s.remove_suffix(1);
  }
  if (s.empty() || upper(s.back()) != 'P') return false;
  s.remove_suffix(1);
  p.pattern.assign(s);
  return true;
}

Parsed parse(std::string_view picture) {
  Parsed p;
  std::string_view s = clipView(picture);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  if (!s.empty() && s.front() == '@') s.remove_prefix(1);
  if (s.empty()) return p;
  char kind = upper(s.front());
  s.remove_prefix(1);
  bool ok = false;
  switch (kind) {
    case 'D':
      p.kind = PictureKind::Date;
      ok = parseDateTime(s, p, 18);
      break;
    case 'T':
      p.kind = PictureKind::Time;
      ok = parseDateTime(s, p, 8);
      break;
    case 'N':
      p.kind = PictureKind::Number;
      ok = parseNumber(s, p);
      break;
    case 'S': {
      p.kind = PictureKind::String;
      size_t i = 0;
      ok = s.empty() || (readNumber(s, i, p.n, 5) && i == s.size() && p.n <= kMaxStringWidth);
      if (s.empty()) p.n = -1;
      break;
    }
    case 'P':
      p.kind = PictureKind::Pattern;
      ok = parsePattern(s, p);
      break;
    default: break;
  }
  if (!ok) p.kind = PictureKind::Invalid;
  return p;
}

// ---- System forms -----------------------------------------------------------------------------

struct SystemFormatsHolder {
  std::mutex mutex;
  std::shared_ptr<const SystemFormats> formats;
};
SystemFormatsHolder& holder() {
  static SystemFormatsHolder h;
  return h;
}

std::shared_ptr<const SystemFormats> currentFormats() {
  SystemFormatsHolder& h = holder();
  std::lock_guard lock(h.mutex);
  if (!h.formats) h.formats = std::make_shared<const SystemFormats>(systemFormatsFromLocale(""));
  return h.formats;
}

// Converts a strftime format of LC_TIME into our pattern syntax.
std::string fromStrftime(std::string_view f, locale_t loc, int depth = 0) {
  std::string out;
  for (size_t i = 0; i < f.size(); ++i) {
    char c = f[i];
    if (c != '%') {
      if (isLetter(c)) {
        out += '\'';
        out += c;
        out += '\'';
      } else if (c == '\'') {
        out += "''";
      } else {
        out += c;
      }
      continue;
    }
    if (++i >= f.size()) break;
    c = f[i];
    while ((c == 'E' || c == 'O' || c == '-' || c == '_' || c == '0' || c == '^' || c == '#') && i + 1 < f.size())
      c = f[++i];
    auto nested = [&](const char* sub) { return depth < 3 ? fromStrftime(sub, loc, depth + 1) : std::string(); };
    switch (c) {
      case 'd': out += "dd"; break;
      case 'e': out += "d"; break;
      case 'm': out += "MM"; break;
      case 'y': out += "yy"; break;
      case 'Y': case 'C': case 'G': out += "yyyy"; break;
      case 'b': case 'h': out += "MMM"; break;
      case 'B': out += "MMMM"; break;
      case 'a': out += "ddd"; break;
      case 'A': out += "dddd"; break;
      case 'H': out += "HH"; break;
      case 'k': out += "H"; break;
      case 'I': out += "hh"; break;
      case 'l': out += "h"; break;
      case 'M': out += "mm"; break;
      case 'S': out += "ss"; break;
      case 'p': out += "AP"; break;
      case 'P': out += "ap"; break;
      case 'D': out += nested("%m/%d/%y"); break;
      case 'F': out += nested("%Y-%m-%d"); break;
      case 'T': out += nested("%H:%M:%S"); break;
      case 'R': out += nested("%H:%M"); break;
      case 'r': out += nested(nl_langinfo_l(T_FMT_AMPM, loc)); break;
      case 'x': out += nested(nl_langinfo_l(D_FMT, loc)); break;
      case 'X': out += nested(nl_langinfo_l(T_FMT, loc)); break;
      case 'n': case 't': out += ' '; break;
      case '%': out += '%'; break;
      default: break;  // zone names and the like have no place in our forms
    }
  }
  return out;
}

// The order of day, month and year fields in a pattern ("MM/dd/yy" gives "Mdy").
std::string fieldOrder(std::string_view pat) {
  std::string order;
  for (size_t i = 0; i < pat.size();) {
    char c = pat[i];
    if (c == '\'') {
      size_t e = pat.find('\'', i + 1);
      i = e == std::string_view::npos ? pat.size() : e + 1;
      continue;
    }
    size_t n = 1;
    while (i + n < pat.size() && pat[i + n] == c) ++n;
    if ((c == 'd' && n <= 2) || c == 'M' || c == 'y')
      if (order.find(c) == std::string::npos) order += c;
    i += n;
  }
  return order;
}

// ---- Dates and times --------------------------------------------------------------------------

struct Moment {
  int year = 0, month = 0, day = 0, weekday = 0;
  int hour = 0, minute = 0, second = 0;
};

Moment dateMoment(int32_t date) {
  Moment m;
  m.year = YEAR(date);
  m.month = MONTH(date);
  m.day = DAY(date);
  m.weekday = weekday(date);
  return m;
}

Moment timeMoment(double value) {
  Moment m;
  double wrapped = value > 0 && std::isfinite(value) ? std::fmod(std::floor(value) - 1, kCentisecondsPerDay) : 0;
  int64_t c = static_cast<int64_t>(wrapped);
  m.hour = static_cast<int>(c / 360000);
  m.minute = static_cast<int>(c / 6000 % 60);
  m.second = static_cast<int>(c / 100 % 60);
  return m;
}

bool hasAmPm(std::string_view pat) {
  bool quoted = false;
  for (size_t i = 0; i < pat.size(); ++i) {
    if (pat[i] == '\'') quoted = !quoted;
    if (quoted) continue;
    if (pat[i] == 't') return true;
    if ((pat[i] == 'A' || pat[i] == 'a') && i + 1 < pat.size() && (pat[i + 1] == 'P' || pat[i + 1] == 'p')) return true;
  }
  return false;
}

std::string formatPattern(std::string_view pat, const Moment& m) {
  std::string out;
  bool twelve = hasAmPm(pat);
  for (size_t i = 0; i < pat.size();) {
    char c = pat[i];
    if (c == '\'') {
      size_t j = i + 1;
      if (j < pat.size() && pat[j] == '\'') {  // '' is a quote
        out += '\'';
        i = j + 1;
        continue;
      }
      while (j < pat.size() && pat[j] != '\'') out += pat[j++];
      i = j + 1;
      continue;
    }
    size_t n = 1;
    while (i + n < pat.size() && pat[i + n] == c) ++n;
    auto num = [&](int v) { out += n >= 2 ? twoDigits(v) : std::to_string(v); };
    switch (c) {
      case 'd':
        if (n >= 4) out += kDayNames[m.weekday];
        else if (n == 3) out += std::string_view(kDayNames[m.weekday], 3);
        else num(m.day);
        break;
      case 'M':
        if (n >= 4) out += kMonthNames[m.month - 1];
        else if (n == 3) out += std::string_view(kMonthNames[m.month - 1], 3);
        else num(m.month);
        break;
      case 'y':
        if (n >= 3) {
          char buf[16];
          std::snprintf(buf, sizeof buf, "%04d", m.year);
          out += buf;
        } else {
          out += twoDigits(m.year % 100);
        }
        break;
      case 'H': num(m.hour); break;
      case 'h': num(twelve ? (m.hour % 12 == 0 ? 12 : m.hour % 12) : m.hour); break;
      case 'm': num(m.minute); break;
      case 's': num(m.second); break;
      case 't': out += n >= 2 ? (m.hour < 12 ? "AM" : "PM") : (m.hour < 12 ? "A" : "P"); break;
      case 'A':
      case 'a':
        if (i + 1 < pat.size() && (pat[i + 1] == 'P' || pat[i + 1] == 'p')) {
          out += c == 'A' ? (m.hour < 12 ? "AM" : "PM") : (m.hour < 12 ? "am" : "pm");
          i += 2;
          continue;
        }
        out.append(n, c);
        break;
      default: out.append(n, c); break;
    }
    i += n;
  }
  return out;
}

std::string formatDate(double value, const Parsed& p) {
  if (!(value >= kFirstDate && value <= kLastDate)) return {};
  int32_t date = static_cast<int32_t>(value);
  Moment m = dateMoment(date);
  if (p.n == 17 || p.n == 18) {
    auto f = currentFormats();
    return formatPattern(p.n == 17 ? f->shortDate : f->longDate, m);
  }
  char sep = p.sep ? p.sep : '/';
  std::string yy = twoDigits(m.year % 100), yyyy = std::to_string(m.year);
  std::string mm = twoDigits(m.month), dd = twoDigits(m.day);
  std::string mon = UPPER(std::string_view(kMonthNames[m.month - 1], 3));
  switch (p.n) {
    case 1: return padded(m.month, p.zero) + sep + dd + sep + yy;
    case 2: return padded(m.month, p.zero) + sep + dd + sep + yyyy;
    case 3: return mon + ' ' + padded(m.day, p.zero) + ',' + yyyy;
    case 4: return std::string(kMonthNames[m.month - 1]) + ' ' + (p.zero ? dd : std::to_string(m.day)) + ", " + yyyy;
    case 5: return padded(m.day, p.zero) + sep + mm + sep + yy;
    case 6: return padded(m.day, p.zero) + sep + mm + sep + yyyy;
    case 7:
    case 8: {
      char s = p.sep ? p.sep : ' ';
      return padded(m.day, p.zero) + s + mon + s + (p.n == 7 ? yy : yyyy);
    }
    case 9: return yy + sep + mm + sep + dd;
    case 10: return yyyy + sep + mm + sep + dd;
    case 11: return yy + mm + dd;
    case 12: return yyyy + mm + dd;
    case 13: return padded(m.month, p.zero) + sep + yy;
    case 14: return padded(m.month, p.zero) + sep + yyyy;
    case 15: return yy + sep + mm;
    case 16: return yyyy + sep + mm;
  }
  return {};
}

std::string formatTime(double value, const Parsed& p) {
  Moment m = timeMoment(value);
  if (p.n == 7 || p.n == 8) {
    auto f = currentFormats();
    return formatPattern(p.n == 7 ? f->shortTime : f->longTime, m);
  }
  char sep = p.sep ? p.sep : ':';
  int h12 = m.hour % 12 == 0 ? 12 : m.hour % 12;
  std::string xm = m.hour < 12 ? "AM" : "PM";
  std::string mi = twoDigits(m.minute), ss = twoDigits(m.second);
  switch (p.n) {
    case 1: return padded(m.hour, p.zero) + sep + mi;
    case 2: return padded(m.hour, p.zero) + mi;
    case 3: return padded(h12, p.zero) + sep + mi + xm;
    case 4: return padded(m.hour, p.zero) + sep + mi + sep + ss;
    case 5: return padded(m.hour, p.zero) + mi + ss;
    case 6: return padded(h12, p.zero) + sep + mi + sep + ss + xm;
  }
  return {};
}

// Two-digit years fall within the hundred years that end 20 years after this year.
int fullYear(int yy) {
  int now = YEAR(TODAY());
  if (now == 0) now = 2000;
  int y = now - now % 100 + yy;
  if (y > now + 20) y -= 100;
  else if (y <= now - 80) y += 100;
  return y;
}

int monthByName(std::string_view word) {
  if (word.size() < 3) return 0;
  for (int i = 0; i < 12; ++i) {
    std::string_view name = kMonthNames[i];
    if (word.size() <= name.size() && equalsNoCase(word, name.substr(0, word.size()))) return i + 1;
  }
  return 0;
}

bool isDayName(std::string_view word) {
  if (word.size() < 3) return false;
  for (const char* d : kDayNames) {
    std::string_view name = d;
    if (word.size() <= name.size() && equalsNoCase(word, name.substr(0, word.size()))) return true;
  }
  return false;
}

struct NumberToken {
  int value;
  size_t digits;
};

// Up to four numbers of a date or a time, without a heap allocation.
class NumberTokens {
 public:
  bool push_back(NumberToken t) {
    if (m_size == m_items.size()) return false;
    m_items[m_size++] = t;
    return true;
  }
  size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  void clear() { m_size = 0; }
  const NumberToken& operator[](size_t i) const { return m_items[i]; }

 private:
  std::array<NumberToken, 4> m_items{};
  size_t m_size = 0;
};

// The value of a run of at most 9 decimal digits.
int digitsValue(std::string_view digits) {
  int v = 0;
  for (char c : digits) v = v * 10 + (c - '0');
  return v;
}

int32_t readDate(std::string_view text, const Parsed& p) {
  std::string order;  // of 'M', 'd', 'y'
  switch (p.n) {
    case 1: case 2: case 3: case 4: order = "Mdy"; break;
    case 5: case 6: case 7: case 8: order = "dMy"; break;
    case 9: case 10: case 11: case 12: order = "yMd"; break;
    case 13: case 14: order = "My"; break;
    case 15: case 16: order = "yM"; break;
    case 17: order = fieldOrder(currentFormats()->shortDate); break;
    case 18: order = fieldOrder(currentFormats()->longDate); break;
  }
  if (order.size() < 2) order = "Mdy";
  // Read for every date of an import: the numbers are kept on the stack. A date has at most
  // three; a text with more reads as no date.
  NumberTokens numbers;
  int month = 0;
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if (isDigit(c)) {
      size_t b = i;
      while (i < text.size() && isDigit(text[i])) ++i;
      if (i - b > 8 || !numbers.push_back({digitsValue(text.substr(b, i - b)), i - b})) return 0;
    } else if (isLetter(c)) {
      size_t b = i;
      while (i < text.size() && isLetter(text[i])) ++i;
      std::string_view word = text.substr(b, i - b);
      if (int mo = monthByName(word); mo && !month) {
        month = mo;
      } else if (!isDayName(word)) {
        return 0;
      }
    } else {
      ++i;
    }
  }
  if (month) {
    size_t at = order.find('M');
    if (at == std::string::npos) return 0;
    order.erase(at, 1);
  }
  // Digits run together ("591031", "19591031"): split them by the order, the year taking the rest.
  if (numbers.size() == 1 && order.size() >= 2) {
    size_t total = numbers[0].digits, rest = 2 * (order.size() - 1);
    if (total == rest + 2 || total == rest + 4) {
      std::string digits = std::string(total - std::to_string(numbers[0].value).size(), '0') + std::to_string(numbers[0].value);
      numbers.clear();
      size_t at = 0;
      for (char f : order) {
        size_t len = f == 'y' ? total - rest : 2;
        numbers.push_back({std::stoi(digits.substr(at, len)), len});
        at += len;
      }
    }
  }
  if (numbers.size() != order.size()) return 0;
  int day = 1, year = 0;
  for (size_t k = 0; k < order.size(); ++k) {
    const NumberToken& t = numbers[k];
    switch (order[k]) {
      case 'M': month = t.value; break;
      case 'd': day = t.value; break;
      case 'y': year = t.digits <= 2 ? fullYear(t.value) : t.value; break;
    }
  }
  if (year < 1801 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(month, year)) return 0;
  return DATE(month, day, year);
}

int32_t readTime(std::string_view text) {
  NumberTokens numbers;  // a time has at most three
  int half = 0;  // 1 am, 2 pm
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if (isDigit(c)) {
      size_t b = i;
      while (i < text.size() && isDigit(text[i])) ++i;
      if (i - b > 6 || !numbers.push_back({digitsValue(text.substr(b, i - b)), i - b})) return 0;
    } else if (isLetter(c)) {
      size_t b = i;
      while (i < text.size() && (isLetter(text[i]) || text[i] == '.')) ++i;
      std::string word;
      for (char ch : text.substr(b, i - b))
        if (ch != '.') word += upper(ch);
      if (half || numbers.empty()) return 0;
      if (word == "A" || word == "AM") half = 1;
      else if (word == "P" || word == "PM") half = 2;
      else return 0;
    } else {
      ++i;
    }
  }
  int h = 0, m = 0, s = 0;
  if (numbers.size() == 1) {
    const NumberToken& t = numbers[0];
    if (t.digits <= 2) h = t.value;
    else if (t.digits <= 4) h = t.value / 100, m = t.value % 100;
    else h = t.value / 10000, m = t.value / 100 % 100, s = t.value % 100;
  } else if (numbers.size() == 2 || numbers.size() == 3) {
    h = numbers[0].value;
    m = numbers[1].value;
    if (numbers.size() == 3) s = numbers[2].value;
  } else {
    return 0;
  }
  if (half) {
    if (h < 1 || h > 12) return 0;
    if (half == 2 && h < 12) h += 12;
    if (half == 1 && h == 12) h = 0;
  }
  if (h > 23 || m > 59 || s > 59) return 0;
  return h * 360000 + m * 6000 + s * 100 + 1;
}

// ---- Numbers and patterns ---------------------------------------------------------------------

std::string formatNumber(double value, const Parsed& p) {
  std::string whole, frac;
  if (!detail::decimalDigits(value, p.places, whole, frac)) return p.size > 0 ? std::string(p.size, '#') : "#";
  bool zero = whole.find_first_not_of('0') == std::string::npos && frac.find_first_not_of('0') == std::string::npos;
  if (zero && p.blank) return {};
  bool negative = value < 0 && !zero;
  std::string body;
  if (p.group) {
    size_t lead = whole.size() % 3 == 0 ? 3 : whole.size() % 3;
    body = whole.substr(0, lead);
    for (size_t i = lead; i < whole.size(); i += 3) {
      body += p.group;
      body.append(whole, i, 3);
    }
  } else {
    body = whole;
  }
  if (p.places > 0) {
    if (p.decimal) body += p.decimal;
    body += frac;
  }
  std::string head, tail;
  if (negative) {
    if (p.leadSign == '(') head = "(", tail = ")";
    else if (p.trailSign == '-') tail = "-";
    else head = "-";
  }
  size_t len = p.before.size() + head.size() + body.size() + tail.size() + p.after.size();
  if (p.size > 0 && len > static_cast<size_t>(p.size)) return std::string(static_cast<size_t>(p.size), '#');
  size_t pad = p.size > 0 ? static_cast<size_t>(p.size) - len : 0;
  if (p.fill == '0') return p.before + head + std::string(pad, '0') + body + tail + p.after;
  return std::string(pad, p.fill == '*' ? '*' : ' ') + p.before + head + body + tail + p.after;
}

std::string formatPatternPicture(std::string digits, const Parsed& p) {
  size_t first = digits.find_first_not_of('0');
  digits = first == std::string::npos ? std::string() : digits.substr(first);
  if (digits.empty() && p.blank) return {};
  size_t positions = 0;
  for (char c : p.pattern)
    if (c == '#' || c == '<') ++positions;
  bool overflow = digits.size() > positions;
  std::string out;
  size_t k = 0;
  bool placed = false;
  for (char c : p.pattern) {
    if (c != '#' && c != '<') {
      out += c;
      continue;
    }
    size_t lead = positions - digits.size();  // positions left of the first digit
    if (overflow) {
      out += '#';
    } else if (k >= lead) {
      out += digits[k - lead];
      placed = true;
    } else {
      out += (c == '#' || placed) ? '0' : ' ';
      if (c == '#') placed = true;
    }
    ++k;
  }
  return out;
}

std::string wholeDigits(double value) {
  std::string whole, frac;
  if (!detail::decimalDigits(value, 0, whole, frac)) return {};
  return whole;
}

double readAmount(std::string_view text, const Parsed& p) {
  char decimal = p.decimal == ',' ? ',' : '.';
  bool negative = false, seenDecimal = false;
  std::string digits;
  for (char c : text) {
    if (isDigit(c)) {
      digits += c;
    } else if (c == decimal && p.decimal && !seenDecimal) {
      digits += '.';
      seenDecimal = true;
    } else if (c == '-' || c == '(') {
      negative = true;
    }
  }
  if (digits.find_first_of("0123456789") == std::string::npos) return 0;
  double v = textToNumber(digits);
  if (!p.decimal && p.places > 0) v /= std::pow(10.0, p.places);
  return negative ? -v : v;
}

std::string patternDigits(std::string_view text, const Parsed& p) {
  std::string digits;
  if (text.size() == p.pattern.size()) {
    for (size_t i = 0; i < text.size(); ++i)
      if ((p.pattern[i] == '#' || p.pattern[i] == '<') && isDigit(text[i])) digits += text[i];
    return digits;
  }
  for (char c : text)
    if (isDigit(c)) digits += c;
  return digits;
}

std::string formatString(std::string_view text, const Parsed& p) {
  if (p.n < 0) return std::string(text);
  size_t width = static_cast<size_t>(p.n);
  std::string out(text.substr(0, utf8CutLength(text, width)));
  out.append(width - out.size(), ' ');
  return out;
}

bool allDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!isDigit(c)) return false;
  return true;
}

}  // namespace

PictureKind pictureKind(std::string_view picture) { return parse(picture).kind; }

std::string FORMAT(double value, std::string_view picture) {
  Parsed p = parse(picture);
  if (p.blank && value == 0 && p.kind != PictureKind::Number) return {};
  switch (p.kind) {
    case PictureKind::Date: return formatDate(value, p);
    case PictureKind::Time: return formatTime(value, p);
    case PictureKind::Number: return formatNumber(value, p);
    case PictureKind::String: return formatString(numberToText(value), p);
    case PictureKind::Pattern: return formatPatternPicture(wholeDigits(value), p);
    case PictureKind::Invalid: break;
  }
  return numberToText(value);
}

std::string FORMAT(std::string_view value, std::string_view picture) {
  Parsed p = parse(picture);
  switch (p.kind) {
    case PictureKind::String: return formatString(value, p);
    case PictureKind::Pattern: {
      std::string_view t = value;
      while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
      t = clipView(t);
      return formatPatternPicture(allDigits(t) ? std::string(t) : wholeDigits(textToNumber(value)), p);
    }
    case PictureKind::Invalid: return std::string(value);
    default: return FORMAT(textToNumber(value), picture);
  }
}

double deformatValue(std::string_view text, std::string_view picture) {
  Parsed p = parse(picture);
  switch (p.kind) {
    case PictureKind::Date: return readDate(text, p);
    case PictureKind::Time: return readTime(text);
    case PictureKind::Number: return readAmount(text, p);
    case PictureKind::Pattern: return textToNumber(patternDigits(text, p));
    case PictureKind::String:
    case PictureKind::Invalid: break;
  }
  return textToNumber(text);
}

std::string DEFORMAT(std::string_view text, std::string_view picture) {
  Parsed p = parse(picture);
  switch (p.kind) {
    case PictureKind::Date: return std::to_string(readDate(text, p));
    case PictureKind::Time: return std::to_string(readTime(text));
    case PictureKind::Number: return numberToText(readAmount(text, p));
    case PictureKind::Pattern: return patternDigits(text, p);
    case PictureKind::String:
    case PictureKind::Invalid: break;
  }
  return std::string(text);
}

SystemFormats systemFormatsFromLocale(const char* localeName) {
  locale_t loc = newlocale(LC_TIME_MASK, localeName ? localeName : "", static_cast<locale_t>(0));
  if (!loc) loc = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
  SystemFormats f;
  f.shortDate = fromStrftime(nl_langinfo_l(D_FMT, loc), loc);
  f.longTime = fromStrftime(nl_langinfo_l(T_FMT, loc), loc);
  freelocale(loc);
  std::string order = fieldOrder(f.shortDate);
  if (order.rfind("d", 0) == 0) f.longDate = "dddd, d MMMM yyyy";
  else if (order.rfind("y", 0) == 0) f.longDate = "dddd, yyyy MMMM d";
  else f.longDate = "dddd, MMMM d, yyyy";
  // The short time is the long one without its seconds and the separator before them.
  f.shortTime = f.longTime;
  if (size_t at = f.shortTime.find("ss"); at != std::string::npos) {
    size_t b = at;
    if (b > 0 && !isLetter(f.shortTime[b - 1]) && f.shortTime[b - 1] != '\'') --b;
    f.shortTime.erase(b, at + 2 - b);
  }
  if (f.shortDate.empty()) f.shortDate = "MM/dd/yy";
  if (f.longTime.empty()) f.longTime = "HH:mm:ss", f.shortTime = "HH:mm";
  return f;
}

SystemFormats systemFormats() { return *currentFormats(); }

void setSystemFormats(const SystemFormats& formats) {
  SystemFormatsHolder& h = holder();
  std::lock_guard lock(h.mutex);
  h.formats = std::make_shared<const SystemFormats>(formats);
}

}  // namespace ov::rt
