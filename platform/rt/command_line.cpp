#include "command_line.h"

#include <fstream>
#include <iterator>
#include <mutex>

#include "fixed_string.h"
#include "process.h"
#include "text.h"

namespace ov::rt {
namespace {

struct CommandLine {
  std::mutex mutex;
  bool loaded = false;
  std::vector<std::string> words;
};

CommandLine& commandLine() {
  static CommandLine c;
  return c;
}

// Loads the words the process was started with, once, unless they were set before.
std::vector<std::string>& wordsLocked(CommandLine& c) {
  if (!c.loaded) {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (size_t b = 0; b < all.size();) {
      size_t e = all.find('\0', b);
      if (e == std::string::npos) e = all.size();
      c.words.push_back(all.substr(b, e - b));
      b = e + 1;
    }
    c.loaded = true;
  }
  return c.words;
}

bool startsWithNoCase(std::string_view word, std::string_view prefix) {
  return word.size() >= prefix.size() && UPPER(word.substr(0, prefix.size())) == UPPER(prefix);
}

bool allDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char ch : s)
    if (ch < '0' || ch > '9') return false;
  return true;
}

}  // namespace

void setCommandLine(int argc, const char* const* argv) {
  CommandLine& c = commandLine();
  std::lock_guard lock(c.mutex);
  c.words.assign(argv, argv + argc);
  c.loaded = true;
}

void setCommandLine(std::string_view line) {
  CommandLine& c = commandLine();
  std::lock_guard lock(c.mutex);
  c.words = splitCommandLine(line);
  c.loaded = true;
}

void SETCOMMAND(std::string_view words) {
  CommandLine& c = commandLine();
  std::lock_guard lock(c.mutex);
  std::vector<std::string>& all = wordsLocked(c);
  if (all.empty()) all.emplace_back();  // keep the program's place
  // The words are split as arguments: a leading "program" word of the splitter is not wanted.
  std::vector<std::string> more = splitCommandLine("x " + std::string(words));
  all.insert(all.end(), more.begin() + 1, more.end());
}

std::vector<std::string> commandWords() {
  CommandLine& c = commandLine();
  std::lock_guard lock(c.mutex);
  return wordsLocked(c);
}

std::string COMMAND(std::string_view flag) {
  std::vector<std::string> words = commandWords();
  flag = clipView(flag);
  while (!flag.empty() && flag.front() == ' ') flag.remove_prefix(1);
  if (flag.empty()) {
    std::string out;
    for (size_t i = 1; i < words.size(); ++i) {
      if (i > 1) out += ' ';
      bool quote = words[i].find_first_of(" \t") != std::string::npos;
      out += quote ? "\"" + words[i] + "\"" : words[i];
    }
    return out;
  }
  if (allDigits(flag)) {
    size_t n = flag.size() > 6 ? words.size() : std::stoul(std::string(flag));
    return n < words.size() ? words[n] : std::string();
  }
  if (flag.front() == '/') {
    for (size_t i = 1; i < words.size(); ++i)
      if (UPPER(words[i]) == UPPER(flag)) return words[i];
    return {};
  }
  std::string_view key = flag.back() == '=' ? flag.substr(0, flag.size() - 1) : flag;
  std::string prefix = std::string(key) + "=";
  for (size_t i = 1; i < words.size(); ++i)
    if (startsWithNoCase(words[i], prefix)) return words[i].substr(prefix.size());
  if (flag.back() != '=') {
    for (size_t i = 1; i < words.size(); ++i)
      if (UPPER(words[i]) == UPPER(flag)) return words[i];
  }
  return {};
}

}  // namespace ov::rt
