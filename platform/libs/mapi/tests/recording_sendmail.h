// A recording stand-in for the sendmail program, for tests of mail sent through the sendmail
// interface: a small shell script in a temporary folder, named by OV_SENDMAIL while the object
// lives. Each run saves its arguments and the message it read (numbered from 1) and ends with the
// exit code the test chose for that run (0 when none was chosen).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ov::mapi::testing {

class RecordingSendmail {
 public:
  RecordingSendmail();
  ~RecordingSendmail();
  RecordingSendmail(const RecordingSendmail&) = delete;
  RecordingSendmail& operator=(const RecordingSendmail&) = delete;

  // Exit codes of the runs to come, in order: run n ends with codes[n - 1].
  void answer(const std::vector<int>& codes);
  // The number of runs so far.
  int runs() const;
  // What run n (1-based) read on its standard input, and its arguments joined by blanks.
  std::string message(int n) const;
  std::string arguments(int n) const;
  const std::filesystem::path& program() const { return m_program; }

 private:
  std::filesystem::path m_folder;
  std::filesystem::path m_program;
  std::string m_oldValue;
  bool m_hadValue = false;
};

// The value of header `name` of a message with "\n" line ends, unfolded ("" when absent).
std::string header(const std::string& message, const std::string& name);
// The addresses of an address header ("a@x, \"B\" <b@y>" gives a@x and b@y).
std::vector<std::string> addresses(const std::string& headerValue);

}  // namespace ov::mapi::testing
