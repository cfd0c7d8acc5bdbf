#include "platform/os/tests/support.h"

#include <QApplication>

#include "platform/ui/testing/driver.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

extern char** environ;

namespace ov::os::test {

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv) {
  int out[2], in[2];
  if (pipe2(out, O_CLOEXEC) != 0) return;
  if (pipe2(in, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> envStore;
  for (char** e = environ; *e; ++e) envStore.emplace_back(*e);
  for (auto& e : extraEnv) envStore.push_back(e);
  std::vector<char*> env;
  for (auto& e : envStore) env.push_back(const_cast<char*>(e.c_str()));
  env.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data()) == 0) m_pid = pid;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(in[0]);
  m_out = out[0];
  m_in = in[1];
}

Child::~Child() {
  kill();
  if (m_out >= 0) close(m_out);
  if (m_in >= 0) close(m_in);
}

bool Child::readLine(std::string& line, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    if (size_t nl = m_buffer.find('\n'); nl != std::string::npos) {
      line = m_buffer.substr(0, nl);
      m_buffer.erase(0, nl + 1);
      return true;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (m_out < 0) return false;
    pollfd p{m_out, POLLIN, 0};  // looks once even when the time is up
    if (poll(&p, 1, static_cast<int>(std::max<long>(left.count(), 0))) <= 0) return false;
    char buf[4096];
    ssize_t n = read(m_out, buf, sizeof buf);
    if (n <= 0) return false;
    m_buffer.append(buf, static_cast<size_t>(n));
  }
}

bool Child::waitForLine(const std::string& prefix, std::string& line, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (!readLine(line, static_cast<int>(left.count()))) return false;
    if (line.rfind(prefix, 0) == 0) return true;
    m_skipped.push_back(line);
  }
}

void Child::closeStdin() {
  if (m_in >= 0) close(m_in);
  m_in = -1;
}

int Child::wait(int timeoutMs) {
  if (m_pid <= 0) return -1;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    int status = 0;
    pid_t r = waitpid(m_pid, &status, WNOHANG);
    if (r == m_pid) {
      m_pid = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (std::chrono::steady_clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void Child::kill() {
  if (m_pid <= 0) return;
  ::kill(m_pid, SIGTERM);
  if (wait(2000) == -1 && m_pid > 0) {
    ::kill(m_pid, SIGKILL);
    wait(2000);
  }
}

bool waitUntil(const std::function<bool()>& pred, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    if (pred()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    if (QCoreApplication::instance())
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::string run(const std::vector<std::string>& argv, int* rc) {
  Child child(argv);
  child.closeStdin();
  std::string out, line;
  while (child.readLine(line, 10000)) out += line + "\n";
  int code = child.wait(10000);
  if (rc) *rc = code;
  return out;
}

TempDir::TempDir() {
  std::random_device rd;
  auto base = std::filesystem::temp_directory_path();
  for (int i = 0; i < 100; ++i) {
    auto p = base / ("ov_os_test_" + std::to_string(rd()));
    if (std::filesystem::create_directory(p)) {
      m_path = p;
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(m_path, ec);  // best effort
}

EnvGuard::EnvGuard(const char* name, const std::string& value) : m_name(name) {
  if (const char* old = std::getenv(name)) {
    m_had = true;
    m_old = old;
  }
  setenv(name, value.c_str(), 1);
}

EnvGuard::~EnvGuard() {
  if (m_had)
    setenv(m_name.c_str(), m_old.c_str(), 1);
  else
    unsetenv(m_name.c_str());
}

void writeFile(const std::filesystem::path& p, const std::string& content) {
  std::filesystem::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary);
  f << content;
}

std::string readFile(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void ensureApp() {
  // The window layer's test application, so that tests of both layers share one.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", std::getenv("DISPLAY") ? "xcb" : "offscreen", 1);
  ov::ui::test::application();
}

}  // namespace ov::os::test

namespace ov::os::test {

Probe::Probe(const std::string& title, int x, int y, int w, int h)
    : m_child({OV_OS_HELPER, "probe", title, std::to_string(x), std::to_string(y), std::to_string(w),
               std::to_string(h)}) {
  std::string line;
  if (m_child.waitForLine("ready ", line, 15000)) m_id = std::stoul(line.substr(6));
}

std::string unhex(const std::string& hex) {
  if (hex == "-") return {};
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

std::string Probe::typedText(const std::string& expected, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string text, line;
  while (text != expected) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !m_child.readLine(line, static_cast<int>(left.count()))) break;
    if (line.rfind("key ", 0) != 0) continue;
    std::istringstream in(line.substr(4));
    std::string hex;
    in >> hex;
    text += unhex(hex);
  }
  return text;
}

bool Probe::next(const std::string& prefix, std::string& line, int timeoutMs) {
  return m_child.waitForLine(prefix, line, timeoutMs);
}

}  // namespace ov::os::test

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusVariant>

namespace ov::os::test {

MockSystemBus* MockSystemBus::get(std::string* why) {
  static MockSystemBus* instance = nullptr;
  static std::string failure;
  if (instance || !failure.empty()) {
    if (why) *why = failure;
    return instance;
  }
  ensureApp();
  auto bus = std::make_unique<MockSystemBus>();
  bus->m_daemon = std::make_unique<Child>(std::vector<std::string>{
      "dbus-daemon", "--config-file=/usr/share/dbus-1/session.conf", "--nofork", "--print-address=1"});
  std::string line;
  if (!bus->m_daemon->readLine(line, 10000) || line.empty()) {
    failure = "dbus-daemon did not start";
    if (why) *why = failure;
    return nullptr;
  }
  bus->m_address = line;
  setenv("DBUS_SYSTEM_BUS_ADDRESS", line.c_str(), 1);
  bus->m_logind = std::make_unique<Child>(
      std::vector<std::string>{"/usr/bin/python3", "-m", "dbusmock", "--system", "--template", "logind"});
  bus->m_upower = std::make_unique<Child>(
      std::vector<std::string>{"/usr/bin/python3", "-m", "dbusmock", "--system", "--template", "upower"});
  QDBusConnection conn = bus->bus();
  bool up = waitUntil(
      [&] {
        return conn.isConnected() && conn.interface()->isServiceRegistered("org.freedesktop.login1") &&
               conn.interface()->isServiceRegistered("org.freedesktop.UPower");
      },
      20000);
  if (!up) {
    failure = "python3-dbusmock did not come up on the private bus";
    if (why) *why = failure;
    return nullptr;
  }
  instance = bus.release();  // lives to the end of the program; its children die with the guards
  std::atexit([] { delete instance; });
  return instance;
}

QDBusConnection MockSystemBus::bus() const {
  return QDBusConnection::connectToBus(QString::fromStdString(m_address), "ov_os_test_system_bus");
}

QDBusMessage MockSystemBus::call(const QString& service, const QString& path, const QString& iface,
                                 const QString& method, const QVariantList& args) {
  QDBusMessage msg = QDBusMessage::createMethodCall(service, path, iface, method);
  msg.setArguments(args);
  return bus().call(msg, QDBus::Block, 10000);
}

bool MockSystemBus::emitSignal(const QString& service, const QString& path, const QString& iface,
                               const QString& name, const QString& signature, const QVariantList& args) {
  QVariantList wrapped;
  for (const QVariant& a : args) wrapped << QVariant::fromValue(QDBusVariant(a));
  QDBusMessage reply = call(service, path, "org.freedesktop.DBus.Mock", "EmitSignal",
                            {iface, name, signature, QVariant::fromValue(wrapped)});
  return reply.type() == QDBusMessage::ReplyMessage;
}

}  // namespace ov::os::test
