// executeas u="user" [p="password" | PASSWORDFILE=<file>] [d="domain"] [show=N] COMMAND [ARGUMENTS...]
//
// Runs COMMAND as another user and waits for it, as a "Start Program" step with "run as another
// user" asks. The options come first, in any order, each at most once; the first other word is the
// command's program, found like every program a step starts (".EXE" dropped, case ignored, this
// program's folder first, then the current folder and PATH), and the words after it are its
// arguments as the step's command line was split.
//
// The password comes from PASSWORDFILE, a private file the scheduler wrote (it is read and deleted
// at once, whatever happens next), or, typed on a command line by a user, from p=. The domain
// names a Windows logon domain: Linux has no such thing, so d= is accepted and ignored. show= is
// ignored as for every program started here (the desktop places the windows).
//
// How the command is started:
//   - the user is the one we run as: directly;
//   - we run as root: this program becomes the user (supplementary groups, group, user; HOME, USER,
//     LOGNAME and SHELL from the user's entry) and starts the command;
//   - else: "su -c <command> -- <user>", su looked up on PATH only (never in the current folder,
//     where anyone might have put a program that asks for passwords), in a pseudo terminal whose
//     password prompt is answered from the password. The password never goes on a command line or
//     into the environment, and the terminal never echoes it. Once the user's shell has started,
//     whatever the command writes to the terminal (its output and its errors) is copied to our
//     standard output, and our standard input is handed on to it.
//
// Nobody watches this program: it shows no window and reports on standard error. Exit code: the
// command's own (128 + the signal number when a signal ended it), or
//   120 wrong arguments, or the password file could not be read
//   121 the user is unknown
//   122 the password was refused
//   123 could not switch to the user (no su, su failed before the command, or the change refused)
//   126 the command's program cannot be run
//   127 the command's program was not found
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <pwd.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rt/process.h"
#include "platform/rt/secret_file.h"
#include "platform/rt/text.h"

namespace {

constexpr int kBadArguments = 120;
constexpr int kUnknownUser = 121;
constexpr int kWrongPassword = 122;
constexpr int kCannotSwitch = 123;
constexpr int kCannotRun = 126;
constexpr int kNotFound = 127;

// How long su may take to ask for the password and start the user's shell.
constexpr auto kSwitchTimeout = std::chrono::seconds(60);

int fail(int code, const std::string& text) {
  std::fprintf(stderr, "executeas: %s\n", text.c_str());
  return code;
}

void wipe(std::string& s) {
  volatile char* p = s.data();
  for (size_t i = 0; i < s.size(); ++i) p[i] = 0;
  s.clear();
}

struct Request {
  std::string user, password, passwordFile;
  bool hasPassword = false, hasPasswordFile = false;
  std::vector<std::string> command;
};

// Parses the words after the program name; false with `why` set for a line without a user or
// command, or with an option given twice.
bool parse(int argc, char** argv, Request& r, std::string& why) {
  struct Option {
    std::string_view key;
    bool seen;
  } options[] = {{"u=", false}, {"p=", false}, {"d=", false}, {"show=", false}, {"passwordfile=", false}};
  int i = 1;
  for (; i < argc; ++i) {
    const std::string word = argv[i];
    const std::string lower = ov::rt::LOWER(word);
    Option* match = nullptr;
    for (Option& o : options)
      if (lower.starts_with(o.key)) match = &o;
    if (!match) break;
    if (match->seen) {
      why = "the option " + std::string(match->key) + " is given twice";
      return false;
    }
    match->seen = true;
    const std::string value = word.substr(match->key.size());
    if (match->key == "u=") r.user = value;
    if (match->key == "p=") r.password = value, r.hasPassword = true;
    if (match->key == "passwordfile=") r.passwordFile = value, r.hasPasswordFile = true;
    // d= (a Windows logon domain) and show= (the window's show mode) mean nothing here.
  }
  for (; i < argc; ++i) r.command.emplace_back(argv[i]);
  if (r.user.empty()) why = "no user: u=\"name\" must come before the command";
  else if (r.command.empty()) why = "no command to run";
  return why.empty();
}

// The program of the command, with the words that name it: the first word, or, for a path with
// blanks written without quotes, the first two words, the first three, ... as every program start
// tries them. Returns the full path, or empty with the code to exit with.
std::string resolve(std::vector<std::string>& command, int& code) {
  std::string name;
  int first = 0;
  for (size_t n = 0; n < command.size(); ++n) {
    name += (n ? " " : "") + command[n];
    int error = 0;
    std::string path = ov::rt::findProgram(name, &error);
    if (!path.empty()) {
      command.erase(command.begin(), command.begin() + long(n) + 1);
      command.insert(command.begin(), path);
      return path;
    }
    if (first == 0) first = error;
  }
  code = first == ov::rt::winerr::AccessDenied ? kCannotRun : kNotFound;
  return {};
}

volatile sig_atomic_t g_child = 0;

// An end asked of this program is passed on to the program it waits for.
void passOn(int signal) {
  if (g_child > 0) ::kill(g_child, signal);
}

void forwardEndSignals() {
  struct sigaction sa {};
  sa.sa_handler = passOn;
  sigemptyset(&sa.sa_mask);
  for (int s : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) ::sigaction(s, &sa, nullptr);
}

int codeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

int waitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return fail(kCannotRun, std::string("cannot wait for the command: ") + std::strerror(errno));
  return codeOf(status);
}

// Starts the command as we are and waits for it.
int runDirectly(std::vector<std::string> command) {
  int code = 0;
  const std::string path = resolve(command, code);
  if (path.empty()) return fail(code, (code == kNotFound ? "command not found: " : "cannot run: ") + command[0]);
  std::vector<char*> args;
  for (std::string& a : command) args.push_back(a.data());
  args.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) return fail(kCannotRun, std::string("cannot start the command: ") + std::strerror(errno));
  if (pid == 0) {
    ::execv(path.c_str(), args.data());
    const int e = errno;
    std::fprintf(stderr, "executeas: cannot run %s: %s\n", path.c_str(), std::strerror(e));
    ::_exit(e == ENOENT ? kNotFound : kCannotRun);
  }
  g_child = pid;
  return waitFor(pid);
}

// The user's entry, copied out of the C library's buffer.
struct Account {
  std::string name, home, shell;
  uid_t uid = 0;
  gid_t gid = 0;
};

// Becomes the user for good: groups, group, user, and the variables a login would set.
bool becomeUser(const Account& a, std::string& why) {
  if (::initgroups(a.name.c_str(), a.gid) != 0 || ::setgid(a.gid) != 0 || ::setuid(a.uid) != 0) {
    why = std::strerror(errno);
    return false;
  }
  if (::getuid() != a.uid || ::geteuid() != a.uid || (a.uid != 0 && ::setuid(0) == 0)) {
    why = "the change of user did not hold";
    return false;
  }
  ::setenv("HOME", a.home.c_str(), 1);
  ::setenv("USER", a.name.c_str(), 1);
  ::setenv("LOGNAME", a.name.c_str(), 1);
  ::setenv("SHELL", a.shell.empty() ? "/bin/sh" : a.shell.c_str(), 1);
  return true;
}

// A word for the user's shell: in single quotes, which every shell takes literally.
std::string shellQuoted(std::string_view word) {
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string onPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string_view rest = path ? path : "/usr/bin:/bin";
  while (!rest.empty()) {
    const size_t colon = rest.find(':');
    const std::string_view dir = rest.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    if (dir.empty() || dir.front() != '/') continue;  // never the current folder
    const std::string candidate = std::string(dir) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(size_t(n));
  }
  return true;
}

// The last line su wrote before it gave up, to say why.
std::string lastLine(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.remove_suffix(1);
  const size_t nl = text.find_last_of("\r\n");
  if (nl != std::string_view::npos) text.remove_prefix(nl + 1);
  return std::string(text);
}

// Runs the command as `user` through su in a pseudo terminal, answering its password prompt.
int runThroughSu(const std::string& user, std::string password, std::vector<std::string> command) {
  const std::string su = onPath("su");
  if (su.empty()) return fail(kCannotSwitch, "cannot run as " + user + ": su is not on PATH");
  int code = 0;
  if (resolve(command, code).empty())
    return fail(code, (code == kNotFound ? "command not found: " : "cannot run: ") + command[0]);

  // The user's shell says it has started with a line the command text does not hold as such, so
  // that su's words before it are told from the command's output after it.
  const std::string marker = "executeas-started-" + std::to_string(::getpid());
  std::string line = "printf '%s%s\\n' executeas-started- " + std::to_string(::getpid()) + "; exec";
  for (const std::string& word : command) line += " " + shellQuoted(word);

  // No echo, so the password never comes back; no output processing, so the command's bytes come
  // through as it wrote them.
  termios tio {};
  tio.c_iflag = 0;
  tio.c_oflag = 0;
  tio.c_cflag = CS8 | CREAD;
  tio.c_lflag = ICANON | ISIG;
  tio.c_cc[VINTR] = 003;
  tio.c_cc[VQUIT] = 034;
  tio.c_cc[VERASE] = 0177;
  tio.c_cc[VKILL] = 025;
  tio.c_cc[VEOF] = 004;
  tio.c_cc[VMIN] = 1;
  ::cfsetispeed(&tio, B38400);
  ::cfsetospeed(&tio, B38400);

  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, &tio, nullptr);
  if (pid < 0) return fail(kCannotSwitch, std::string("cannot make a terminal for su: ") + std::strerror(errno));
  if (pid == 0) {
    const char* args[] = {su.c_str(), "-c", line.c_str(), "--", user.c_str(), nullptr};
    ::execv(su.c_str(), const_cast<char* const*>(args));
    std::fprintf(stderr, "executeas: cannot run %s: %s\n", su.c_str(), std::strerror(errno));
    ::_exit(kCannotSwitch);
  }
  g_child = pid;
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

  std::string before;  // what su wrote before the shell started (never the password: no echo)
  bool answered = false, asked_again = false, started = false, input_open = true;
  int status = 0;
  bool ended = false;
  const auto deadline = std::chrono::steady_clock::now() + kSwitchTimeout;
  char buffer[4096];
  for (;;) {
    if (!ended) {
      const pid_t r = ::waitpid(pid, &status, WNOHANG);
      ended = r == pid;
    }
    pollfd fds[2] = {{master, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    const int count = started && input_open ? 2 : 1;
    const int ready = ::poll(fds, nfds_t(count), ended ? 0 : 100);
    if (ready < 0 && errno != EINTR) break;
    bool got = false;
    if (ready > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
      const ssize_t n = ::read(master, buffer, sizeof buffer);
      if (n > 0) {
        got = true;
        if (started) {
          (void)writeAll(STDOUT_FILENO, std::string_view(buffer, size_t(n)));
        } else {
          before.append(buffer, size_t(n));
          if (const size_t at = before.find(marker + "\n"); at != std::string::npos) {
            started = true;
            (void)writeAll(STDOUT_FILENO, std::string_view(before).substr(at + marker.size() + 1));
            before.erase(at);
          } else if (std::string_view tail = before; !tail.empty()) {
            // A prompt: the text so far ends with a colon (and perhaps a blank).
            while (!tail.empty() && tail.back() == ' ') tail.remove_suffix(1);
            if (!tail.empty() && tail.back() == ':') {
              if (!answered) {
                answered = writeAll(master, password + "\n");
                before.clear();
                wipe(password);
              } else if (!asked_again) {
                asked_again = true;  // a second question (a new password?) gets no answer
                ::kill(pid, SIGTERM);
              }
            }
          }
        }
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        if (ended) break;  // the terminal is closed and su has ended
        ::usleep(10000);   // closed while su is still ending
      }
    }
    if (count == 2 && ready > 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))) {
      const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
      if (n > 0) {
        (void)writeAll(master, std::string_view(buffer, size_t(n)));
      } else if (n == 0 || errno != EINTR) {
        input_open = false;
        (void)writeAll(master, "\004");  // end of input for the command
      }
    }
    if (ended && !got) break;
    if (!started && !ended && std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGTERM);
      (void)waitFor(pid);
      ::close(master);
      return fail(kCannotSwitch, "cannot run as " + user + ": su did not start the command in time");
    }
  }
  ::close(master);
  wipe(password);
  if (!ended) status = 0, ended = ::waitpid(pid, &status, 0) == pid;
  if (started) return codeOf(status);
  const std::string said = lastLine(before);
  if (answered) return fail(kWrongPassword, "cannot run as " + user + ": the password was refused" +
                                                (said.empty() ? std::string() : " (" + said + ")"));
  return fail(kCannotSwitch, "cannot run as " + user + (said.empty() ? std::string() : ": " + said));
}

}  // namespace

int main(int argc, char** argv) {
  Request r;
  std::string why;
  if (!parse(argc, argv, r, why)) return fail(kBadArguments, why);
  // The password file goes first, so that it is gone whatever happens next.
  if (r.hasPasswordFile) {
    wipe(r.password);
    if (!ov::rt::takeSecretFile(r.passwordFile, r.password, &why)) return fail(kBadArguments, "no password: " + why);
  }

  const passwd* pw = ::getpwnam(r.user.c_str());
  if (!pw) return fail(kUnknownUser, "unknown user: " + r.user);
  const Account account{pw->pw_name, pw->pw_dir ? pw->pw_dir : "/", pw->pw_shell ? pw->pw_shell : "", pw->pw_uid,
                        pw->pw_gid};
  forwardEndSignals();

  if (account.uid == ::getuid() && account.uid == ::geteuid()) {
    wipe(r.password);
    return runDirectly(r.command);
  }
  if (::geteuid() == 0) {
    wipe(r.password);
    if (!becomeUser(account, why)) return fail(kCannotSwitch, "cannot become " + r.user + ": " + why);
    return runDirectly(r.command);
  }
  return runThroughSu(r.user, std::move(r.password), r.command);
}
