#include "platform/libs/mapi/tests/recording_sendmail.h"

#include <stdlib.h>
#include <strings.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "platform/libs/mapi/simple_mapi.h"

namespace ov::mapi::testing {
namespace {

std::string readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

constexpr const char* kScript = R"(#!/bin/sh
d=$(dirname "$0")
n=$(( $(cat "$d/runs" 2>/dev/null || echo 0) + 1 ))
echo "$n" > "$d/runs"
echo "$*" > "$d/args.$n"
cat > "$d/mail.$n"
code=$(sed -n "${n}p" "$d/codes" 2>/dev/null)
exit ${code:-0}
)";

}  // namespace

RecordingSendmail::RecordingSendmail() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "ovsendmail-XXXXXX").string();
  m_folder = ::mkdtemp(tmpl.data());
  m_program = m_folder / "sendmail";
  std::ofstream(m_program) << kScript;
  std::filesystem::permissions(m_program, std::filesystem::perms::owner_all);
  if (const char* old = std::getenv(kSendmailVariable)) {
    m_hadValue = true;
    m_oldValue = old;
  }
  ::setenv(kSendmailVariable, m_program.c_str(), 1);
}

RecordingSendmail::~RecordingSendmail() {
  if (m_hadValue)
    ::setenv(kSendmailVariable, m_oldValue.c_str(), 1);
  else
    ::unsetenv(kSendmailVariable);
  std::error_code ec;
  std::filesystem::remove_all(m_folder, ec);
}

void RecordingSendmail::answer(const std::vector<int>& codes) {
  std::ofstream out(m_folder / "codes");
  for (int c : codes) out << c << "\n";
}

int RecordingSendmail::runs() const {
  const std::string text = readFile(m_folder / "runs");
  return text.empty() ? 0 : std::stoi(text);
}

std::string RecordingSendmail::message(int n) const { return readFile(m_folder / ("mail." + std::to_string(n))); }

std::string RecordingSendmail::arguments(int n) const {
  std::string a = readFile(m_folder / ("args." + std::to_string(n)));
  while (!a.empty() && a.back() == '\n') a.pop_back();
  return a;
}

std::string header(const std::string& message, const std::string& name) {
  const std::string head = message.substr(0, message.find("\n\n"));
  std::string value;
  bool in = false;
  std::istringstream lines(head);
  for (std::string line; std::getline(lines, line);) {
    if (in && !line.empty() && (line[0] == ' ' || line[0] == '\t')) {
      value += line;
      continue;
    }
    if (in) break;
    if (line.size() > name.size() && line[name.size()] == ':' && strncasecmp(line.c_str(), name.c_str(), name.size()) == 0) {
      in = true;
      value = line.substr(name.size() + 1);
    }
  }
  const size_t first = value.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : value.substr(first);
}

std::vector<std::string> addresses(const std::string& headerValue) {
  std::vector<std::string> out;
  std::string item;
  std::istringstream in(headerValue);
  while (std::getline(in, item, ',')) {
    const size_t lt = item.find('<');
    std::string a = lt == std::string::npos ? item : item.substr(lt + 1, item.find('>', lt) - lt - 1);
    a.erase(0, a.find_first_not_of(" \t"));
    a.erase(a.find_last_not_of(" \t") + 1);
    if (!a.empty()) out.push_back(a);
  }
  return out;
}

}  // namespace ov::mapi::testing
