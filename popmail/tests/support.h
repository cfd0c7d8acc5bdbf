// Pieces shared by the receiver's tests and its benchmark: a scratch folder, a dovecot POP3 server
// of the test's own, a small scripted POP3 server, and a fetch driven without a window.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ov::pop {
class PopReceiver;
}

namespace ov::pop::test {

// A temporary folder that is the current folder while it lives; XDG_CONFIG_HOME and XDG_DATA_HOME
// point inside it. Everything is put back and removed at the end.
class Scratch {
 public:
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const std::string& root() const { return m_root; }
  std::string path(const std::string& name) const { return m_root + "/" + name; }
  void write(const std::string& name, const std::string& text) const;
  std::string read(const std::string& name) const;
  // File names in a folder (relative to the root), sorted.
  std::vector<std::string> list(const std::string& folder) const;

 private:
  std::string m_root;
  std::string m_savedCwd;
  std::optional<std::string> m_savedConfig, m_savedData;
};

// A message as a mail server stores it: the given lines joined with CR LF.
std::string crlf(const std::vector<std::string>& lines);

// dovecot's POP3 service on 127.0.0.1, with one user "alice" (password "alicepw") whose maildir
// the test fills. Started by the constructor; stopped (by its pid) by the destructor.
class Dovecot {
 public:
  // Why dovecot cannot run here ("" when it can).
  static std::string unavailable();
  Dovecot();
  ~Dovecot();
  Dovecot(const Dovecot&) = delete;
  Dovecot& operator=(const Dovecot&) = delete;
  bool running() const { return m_pid > 0 && m_port != 0; }
  std::uint16_t port() const { return m_port; }
  const std::string& error() const { return m_error; }
  // Drops a message into alice's maildir.
  void deliver(const std::string& message);
  // Messages still in the maildir.
  size_t messageCount() const;

 private:
  std::string m_dir;
  std::uint16_t m_port = 0;
  pid_t m_pid = 0;
  int m_counter = 0;
  std::string m_error;
};

// A POP3 server of the test on 127.0.0.1 that answers from a mailbox in memory and can misbehave.
class ScriptedPop3 {
 public:
  struct Script {
    std::vector<std::string> messages;                // as stored, lines ending in CR LF
    std::string password = "secret";
    std::map<std::string, std::string> replies;       // command (as sent, without CR LF) -> raw reply
    std::string stallOn;                               // this command (prefix) and all after it get no answer
    std::string hangUpOn;                              // after answering this command it closes the connection
    bool closeAfterQuit = true;
    std::vector<std::string> capabilities;            // the CAPA list; empty: CAPA is an unknown command
  };
  explicit ScriptedPop3(Script script);
  ~ScriptedPop3();
  ScriptedPop3(const ScriptedPop3&) = delete;
  ScriptedPop3& operator=(const ScriptedPop3&) = delete;
  std::uint16_t port() const { return m_port; }
  // The commands received so far, without their CR LF (PASS included as sent).
  std::vector<std::string> commands();
  // Numbers (from 1) of the messages deleted by a session that ended with QUIT.
  std::vector<int> deleted();

 private:
  void serve();
  void session(int fd);

  Script m_script;
  int m_listen = -1;
  std::uint16_t m_port = 0;
  std::atomic<bool> m_stop{false};
  std::mutex m_mutex;
  std::vector<std::string> m_commands;
  std::vector<int> m_deleted;
  std::thread m_thread;
};

// Runs one fetch of `receiver` without a window: events of logical thread 1 are handed to it and
// its timer work runs every 20 ms, until it asks to close or `ms` pass. False on the time-out.
bool runFetch(PopReceiver& receiver, int ms = 20000);

// Runs the ov_pop program with `arguments` in the current folder (offscreen); its exit code.
int runProgram(const std::vector<std::string>& arguments, int timeoutMs = 60000);

}  // namespace ov::pop::test
