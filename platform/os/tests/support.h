// Helpers of the ov_os tests: child processes stopped by pid, temporary folders, the probe.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace ov::os::test {

// How long tests let a window take to come to the front: the window manager runs slowly while
// the whole suite runs beside it.
constexpr int kFrontWaitMs = 10000;

// A process started by a test, with its stdout on a pipe; killed by pid when the guard ends.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {});
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return m_pid > 0; }
  pid_t pid() const { return m_pid; }

  // The next line of its stdout, waiting up to timeoutMs; false on timeout or end of output.
  bool readLine(std::string& line, int timeoutMs);
  // Reads lines until one starts with `prefix`; the lines passed over are kept in skipped().
  bool waitForLine(const std::string& prefix, std::string& line, int timeoutMs);
  const std::vector<std::string>& skipped() const { return m_skipped; }

  // Closes its stdin (the helper's "let go" signal).
  void closeStdin();
  // Waits for it to end; its exit code, or -1 on timeout.
  int wait(int timeoutMs);
  void kill();

 private:
  pid_t m_pid = -1;
  int m_out = -1;
  int m_in = -1;
  std::string m_buffer;
  std::vector<std::string> m_skipped;
};

// Polls `pred` until it holds or the time is up (with Qt's events processed when an application
// exists); the last answer.
bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 15000);

// Runs a program to its end; its stdout, and its exit code in `rc`.
std::string run(const std::vector<std::string>& argv, int* rc = nullptr);

class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

// Sets an environment variable for the life of the guard.
class EnvGuard {
 public:
  EnvGuard(const char* name, const std::string& value);
  ~EnvGuard();

 private:
  std::string m_name;
  bool m_had = false;
  std::string m_old;
};

void writeFile(const std::filesystem::path& p, const std::string& content);
std::string readFile(const std::filesystem::path& p);

// The QApplication of the test program, made on first use (xcb under X, else offscreen).
void ensureApp();

}  // namespace ov::os::test

namespace ov::os::test {

// The probe window of the helper program, in its own process.
class Probe {
 public:
  explicit Probe(const std::string& title, int x = 100, int y = 100, int w = 400, int h = 300);
  bool ready() const { return m_id != 0; }
  unsigned long id() const { return m_id; }
  Child& child() { return m_child; }

  // Collects the text of key presses until it reads `expected`, or the time is up; returns what
  // was typed (so a failing check shows it).
  std::string typedText(const std::string& expected, int timeoutMs = 15000);
  // The next line that starts with `prefix` ("press", "dblclick", "focus in", "key", "close").
  bool next(const std::string& prefix, std::string& line, int timeoutMs = 15000);

 private:
  Child m_child;
  unsigned long m_id = 0;
};

// Decodes the probe's hex text.
std::string unhex(const std::string& hex);

}  // namespace ov::os::test

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariant>

#include <memory>

namespace ov::os::test {

// A private D-Bus daemon in place of the system bus ($DBUS_SYSTEM_BUS_ADDRESS points at it),
// with logind and UPower played by python3-dbusmock. Started once per test program.
class MockSystemBus {
 public:
  // nullptr (with the reason in `why`) when it could not be started.
  static MockSystemBus* get(std::string* why = nullptr);

  QDBusConnection bus() const;
  // A call on the bus; the reply (an error reply when it failed).
  QDBusMessage call(const QString& service, const QString& path, const QString& iface, const QString& method,
                    const QVariantList& args = {});
  // Emits a signal from a mocked object, through dbusmock's EmitSignal.
  bool emitSignal(const QString& service, const QString& path, const QString& iface, const QString& name,
                  const QString& signature, const QVariantList& args);

 private:
  std::unique_ptr<Child> m_daemon, m_logind, m_upower;
  std::string m_address;
};

}  // namespace ov::os::test
