#include "datalib/date_string_functions.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "datalib/globals.h"
#include "platform/rt/date_time.h"
#include "platform/rt/paths.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"

namespace ov::files {
namespace {

constexpr int64_t kDay = rt::kCentisecondsPerDay;

bool isBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Length of the UTF-8 character starting with byte `c` (1 for a byte that starts none).
size_t charLength(unsigned char c) {
  return c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF8 ? 4 : 1;
}

// FNV-1a with 128 bits: small, fixed for all time (stored keys depend on it) and wide enough that
// two different clipboard texts never meet by chance.
std::string fnv1a128Hex(std::string_view data) {
  using u128 = unsigned __int128;
  const u128 prime = (static_cast<u128>(0x0000000001000000ULL) << 64) | 0x000000000000013BULL;
  u128 h = (static_cast<u128>(0x6c62272e07bb0142ULL) << 64) | 0x62b821756295c58dULL;
  for (unsigned char c : data) {
    h ^= c;
    h *= prime;
  }
  char buf[33];
  std::snprintf(buf, sizeof buf, "%016llX%016llX", static_cast<unsigned long long>(h >> 64),
                static_cast<unsigned long long>(h));
  return buf;
}

char scrambleKey(size_t index) { return static_cast<char>((65 + index) & 0x11); }

}  // namespace

void FIXDATE(int32_t& date, int32_t& time) {
  int64_t d = date, t = time;
  if (t > kDay) {
    int64_t days = (t - 1) / kDay;
    t -= days * kDay;
    d += days;
  } else if (t <= 0 && d != 0) {
    int64_t days = -t / kDay + 1;
    if (d > 0 && days > d) days = d;  // stops at date 0
    t += days * kDay;
    d -= days;
  }
  date = static_cast<int32_t>(d);
  time = static_cast<int32_t>(t);
}

namespace {
int32_t compareMoments(int32_t date1, int32_t time1, int32_t date2, int32_t time2, int32_t unit) {
  FIXDATE(date1, time1);
  FIXDATE(date2, time2);
  if (date1 != date2) return date1 < date2 ? -1 : 1;
  int32_t a = time1 / unit, b = time2 / unit;
  return a < b ? -1 : a > b ? 1 : 0;
}
}  // namespace

int32_t COMPAREDATE(int32_t date1, int32_t time1, int32_t date2, int32_t time2) {
  return compareMoments(date1, time1, date2, time2, 1);
}

int32_t COMPAREDATEMINUTE(int32_t date1, int32_t time1, int32_t date2, int32_t time2, bool bySecond) {
  return compareMoments(date1, time1, date2, time2, bySecond ? 100 : 6000);
}

int32_t COMPAREDATEMINUTE(int32_t date1, int32_t time1, int32_t date2, int32_t time2) {
  bool bySecond = rt::compareText(TASK.ROUNDING.view(), "Second", true) == 0;
  return COMPAREDATEMINUTE(date1, time1, date2, time2, bySecond);
}

std::string FMTDATE(int32_t date) {
  if (date == 0) return {};
  std::string_view setting = FORMAT.DATE.view().substr(1, 2);
  int n = 0;
  for (char c : setting) {
    if (c < '0' || c > '9') break;
    n = n * 10 + (c - '0');
  }
  if (n < 1 || n > 18) n = 3;
  return rt::FORMAT(static_cast<double>(date), "@d" + std::to_string(n));
}

std::string FMTYYYYMMDD(int32_t date) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d%02d%02d", rt::YEAR(date), rt::MONTH(date), rt::DAY(date));
  return buf;
}

void FREPLACE(std::string& target, std::string_view find, std::string_view replacement, bool ignoreCase,
              size_t width) {
  if (!find.empty()) {
    const std::string upperFind = ignoreCase ? rt::UPPER(find) : std::string();
    for (size_t i = target.size(); i-- > 0;) {
      std::string_view here = std::string_view(target).substr(i, find.size());
      bool match = ignoreCase ? rt::UPPER(here) == upperFind : here == find;
      if (match) target.replace(i, find.size(), replacement);
    }
  }
  if (width != std::string::npos) {
    target.resize(rt::utf8CutLength(target, width));
    target.resize(width, ' ');
  }
}

void STRIPQUOTES(std::string& text) {
  std::string_view clipped = rt::clipView(text);
  if (clipped.empty() || clipped.front() != '"' || clipped.back() != '"') return;
  text = clipped.size() <= 2 ? std::string() : std::string(clipped.substr(1, clipped.size() - 2));
}

std::string WRAPQUOTES(std::string& text) {
  STRIPQUOTES(text);
  std::string_view clipped = rt::clipView(text);
  if (clipped.empty()) return "\"\"";
  bool needsQuotes = false;
  for (char c : clipped)
    if (isBlankOrControl(c) || c == '"' || c == '/' || c == '\\') needsQuotes = true;
  if (!needsQuotes) return std::string(clipped);

  size_t start = 0;
  while (start < clipped.size() && clipped[start] == ' ') ++start;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : clipped.substr(start)) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count as escapes only in front of a double quote.
    out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, '\\');
  out += '"';
  return out;
}

void GETFILEQ(std::string_view list, std::vector<std::string>& queue, bool clearFirst, bool withDetails) {
  if (clearFirst) queue.clear();
  std::set<std::string> seen(queue.begin(), queue.end());
  auto add = [&](std::string entry) {
    if (seen.insert(entry).second) queue.push_back(std::move(entry));
  };

  // Line breaks separate file patterns as ";" does (a lone line feed too: Linux text boxes
  // write nothing else).
  std::string text(list);
  FREPLACE(text, "\r\n", ";", false);
  FREPLACE(text, "\r", ";", false);
  FREPLACE(text, "\n", ";", false);

  std::vector<std::string> specs;
  for (size_t start = 0; start <= text.size();) {
    size_t end = std::min(text.find(';', start), text.size());
    std::string_view spec = std::string_view(text).substr(start, end - start);
    while (!spec.empty() && spec.front() == ' ') spec.remove_prefix(1);
    spec = rt::clipView(spec);
    if (!spec.empty() && std::find(specs.begin(), specs.end(), spec) == specs.end()) specs.emplace_back(spec);
    start = end + 1;
  }

  for (const std::string& spec : specs) {
    size_t cut = spec.find_last_of("\\/:");
    std::string folder = cut == std::string::npos ? std::string() : spec.substr(0, cut + 1);
    std::vector<rt::DirEntry> found;
    (void)rt::DIRECTORY(found, spec);  // a missing folder lists nothing
    bool added = false;
    for (const rt::DirEntry& e : found) {
      if (e.attrib & rt::ffDirectory) continue;
      std::string entry = folder + e.name;
      if (withDetails) {
        entry += "|" + rt::FORMAT(static_cast<double>(e.date), "@d17") + "|" +
                 rt::FORMAT(static_cast<double>(e.time), "@t7") + "|" + std::to_string(e.size) + "|";
      }
      add(std::move(entry));
      added = true;
    }
    std::error_code ec;
    if (!added && std::filesystem::is_regular_file(rt::resolvePath(spec), ec)) add(spec);
  }
}

std::string EXTRACTFILENAME(std::string_view commandLine) {
  std::string line(commandLine);
  size_t start = 0;
  while (start < line.size() && line[start] == ' ') ++start;
  if (rt::clipView(std::string_view(line).substr(start)).empty()) return "UNKNOWN";

  bool inQuotes = false;
  size_t end = start;
  for (; end < line.size(); ++end) {
    if (line[end] == '"') {
      inQuotes = !inQuotes;
      line[end] = ' ';
      continue;
    }
    if (line[end] == ' ' && !inQuotes) break;
  }
  std::string_view part = std::string_view(line).substr(start, end - start);
  while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
  part = rt::clipView(part);

  // Split off drive and folder, then the extension.
  size_t lastSep = part.find_last_of("\\/");
  std::string_view name = part;
  if (lastSep != std::string_view::npos) {
    name = part.substr(lastSep + 1);
  } else if (part.size() >= 2 && part[1] == ':') {
    name = part.substr(2);
  }
  size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  if (!name.empty()) return std::string(name);

  size_t cut = part.find_last_of("\\/:");
  return rt::UPPER(cut == std::string_view::npos ? part : part.substr(cut + 1));
}

std::string GETHASH(std::string_view text) {
  std::string_view clipped = rt::clipView(text);
  std::string upper = rt::UPPER(clipped);
  std::string letters;
  for (size_t i = 0; i < upper.size();) {
    size_t len = std::min(charLength(static_cast<unsigned char>(upper[i])), upper.size() - i);
    std::string_view ch = std::string_view(upper).substr(i, len);
    i += len;
    if (rt::LOWER(ch) == rt::UPPER(ch)) continue;  // not a letter
    if (letters.size() + ch.size() > kHashLetterBytes) break;
    letters += ch;
  }
  return letters + "#" + fnv1a128Hex(clipped);
}

void QVDECRYPT(std::span<char> field) {
  std::string_view value = rt::clipView(std::string_view(field.data(), field.size()));
  if (value.empty() || value.starts_with(kScrambleMark)) return;
  if (value.size() + kScrambleMark.size() > field.size()) return;
  std::string scrambled(kScrambleMark);
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c != ' ') {
      c = static_cast<char>(c ^ scrambleKey(i));
      // FFh would read back as a blank and a zero as the field's end: keep such a value plain.
      if (c == '\xFF' || c == '\0') return;
      if (c == ' ') c = '\xFF';
    }
    scrambled += c;
  }
  scrambled.resize(field.size(), ' ');
  scrambled.copy(field.data(), field.size());
}

void QVENCRYPT(std::span<char> field) {
  std::string_view value(field.data(), field.size());
  if (!value.starts_with(kScrambleMark)) return;
  std::string plain;
  std::string_view body = rt::clipView(value.substr(kScrambleMark.size()));
  for (size_t i = 0; i < body.size(); ++i) {
    char c = body[i];
    if (c != ' ') {
      if (c == '\xFF') c = ' ';
      c = static_cast<char>(c ^ scrambleKey(i));
    }
    plain += c;
  }
  plain.resize(field.size(), ' ');
  plain.copy(field.data(), field.size());
}

}  // namespace ov::files
