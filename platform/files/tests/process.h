// Child processes for tests of sharing between programs: a forked child runs a function and
// ends; the two sides signal each other through pipes. The parent must have no data file open
// when it forks, so the child starts with no storage of its own.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>

namespace ov::db::testing {

class Child {
 public:
  // Runs `body` in a child process; its result becomes the exit status.
  explicit Child(const std::function<int(Child&)>& body) {
    if (::pipe(m_up) != 0 || ::pipe(m_down) != 0) return;
    m_pid = ::fork();
    if (m_pid == 0) {
      ::close(m_up[0]);
      ::close(m_down[1]);
      int rc = body(*this);
      ::_exit(rc);
    }
    ::close(m_up[1]);
    ::close(m_down[0]);
  }
  ~Child() {
    if (m_pid > 0) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, nullptr, 0);
    }
    ::close(m_up[0]);
    ::close(m_down[1]);
  }
  bool started() const { return m_pid > 0; }

  // Child side: tell the parent, and wait for the parent's word.
  void tell(char c = '.') { (void)!::write(m_up[1], &c, 1); }
  char await() {
    char c = 0;
    (void)!::read(m_down[0], &c, 1);
    return c;
  }
  // Parent side: wait for the child's word (0 when it ended or stayed silent for `seconds`).
  char awaitChild(int seconds = 30) {
    pollfd p{m_up[0], POLLIN, 0};
    if (::poll(&p, 1, seconds * 1000) <= 0) return 0;
    char c = 0;
    return ::read(m_up[0], &c, 1) == 1 ? c : 0;
  }
  void answer(char c = '.') { (void)!::write(m_down[1], &c, 1); }

  // Parent side: the child's exit status (-1 when killed or not started).
  int wait() {
    int status = 0;
    if (m_pid <= 0 || ::waitpid(m_pid, &status, 0) != m_pid) return -1;
    m_pid = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void killNow() {
    if (m_pid > 0) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, nullptr, 0);
      m_pid = 0;
    }
  }

 private:
  pid_t m_pid = -1;
  int m_up[2] = {-1, -1};
  int m_down[2] = {-1, -1};
};

}  // namespace ov::db::testing
