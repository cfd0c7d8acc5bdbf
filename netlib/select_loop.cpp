#include "netlib/detail/select_loop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "netlib/detail/library.h"
#include "netlib/detail/sock_err.h"

namespace ov::net::detail {

SelectLoop::SelectLoop() { m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); }

SelectLoop::~SelectLoop() {
  if (m_wakeFd >= 0) ::close(m_wakeFd);
}

void SelectLoop::wake() {
  std::uint64_t one = 1;
  ssize_t n = ::write(m_wakeFd, &one, sizeof one);
  (void)n;  // the counter only saturates; the loop wakes either way
}

void SelectLoop::stop() {
  {
    std::lock_guard lock(m_mutex);
    m_stop = true;
  }
  wake();
}

void SelectLoop::asyncSelect(int fd, unsigned msg, std::uint32_t events) {
  {
    std::lock_guard lock(m_mutex);
    auto it = m_sockets.find(fd);
    if (events == 0) {
      if (it != m_sockets.end()) m_sockets.erase(it);
    } else {
      if (it == m_sockets.end() || it->second.msg != msg) {
        Registration fresh;
        fresh.msg = msg;
        fresh.generation = m_nextGeneration++;
        fresh.connectPending = (events & kFdConnect) != 0;
        it = m_sockets.insert_or_assign(fd, fresh).first;
      }
      Registration& r = it->second;
      r.events = events;
      if ((events & kFdWrite) && !r.connectPending) r.writePending = true;
    }
  }
  wake();
}

void SelectLoop::sendBlocked(int fd) {
  {
    std::lock_guard lock(m_mutex);
    auto it = m_sockets.find(fd);
    if (it != m_sockets.end()) it->second.writePending = true;
  }
  wake();
}

void SelectLoop::forget(int fd) { asyncSelect(fd, 0, 0); }

void SelectLoop::forgetAll() {
  {
    std::lock_guard lock(m_mutex);
    m_sockets.clear();
  }
  wake();
}

void SelectLoop::postMessage(unsigned msg, std::uintptr_t wParam, std::uint32_t lParam) {
  {
    std::lock_guard lock(m_mutex);
    m_posted.push_back({msg, wParam, lParam});
  }
  wake();
}

void SelectLoop::run(const MessageHandler& onMessage, const std::function<void()>& onTick,
                     const std::function<void()>& onReady, std::chrono::milliseconds period) {
  using Clock = std::chrono::steady_clock;
  {
    std::lock_guard lock(libraryLock());
    onReady();
  }
  Clock::time_point nextTick = Clock::now() + period;
  std::vector<pollfd> fds;
  std::vector<std::uint64_t> generations;
  for (;;) {
    fds.clear();
    generations.clear();
    fds.push_back({m_wakeFd, POLLIN, 0});
    generations.push_back(0);
    {
      std::lock_guard lock(m_mutex);
      if (m_stop) break;
      for (const auto& [fd, r] : m_sockets) {
        short events = 0;
        if (r.connectPending || r.writePending) events |= POLLOUT;
        if (!r.connectPending && !r.closeReported && (r.events & (kFdRead | kFdClose))) events |= POLLIN | POLLRDHUP;
        if (r.events & kFdAccept) events |= POLLIN;
        if (events == 0) continue;
        fds.push_back({fd, events, 0});
        generations.push_back(r.generation);
      }
    }
    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - Clock::now()).count();
    bool hasPosts;
    {
      std::lock_guard lock(m_mutex);
      hasPosts = !m_posted.empty();
    }
    int ready = ::poll(fds.data(), fds.size(), hasPosts ? 0 : static_cast<int>(std::max<long long>(0, wait)));
    if (ready < 0 && errno != EINTR) continue;
    if (fds[0].revents & POLLIN) {
      std::uint64_t count;
      while (::read(m_wakeFd, &count, sizeof count) > 0) {
      }
    }

    std::lock_guard libLock(libraryLock());
    for (size_t i = 1; i < fds.size() && ready > 0; ++i) {
      if (fds[i].revents == 0) continue;
      const int fd = fds[i].fd;
      const short revents = fds[i].revents;
      unsigned msg = 0;
      std::vector<std::uint32_t> reports;
      {
        std::lock_guard lock(m_mutex);
        auto it = m_sockets.find(fd);
        if (it == m_sockets.end() || it->second.generation != generations[i]) continue;
        Registration& r = it->second;
        msg = r.msg;
        if (r.connectPending) {
          if (revents & (POLLOUT | POLLERR | POLLHUP)) {
            int err = 0;
            socklen_t len = sizeof err;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
            sockaddr_storage peer{};
            socklen_t peerLen = sizeof peer;
            bool connected = ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLen) == 0;
            if (err != 0 || connected) {  // else the report came before connect() ran: wait on
              r.connectPending = false;
              if (r.events & kFdConnect) reports.push_back(kFdConnect | static_cast<std::uint32_t>(wsaError(err)) << 16);
              if (err != 0) {
                r.closeReported = true;
              } else if (r.events & kFdWrite) {
                reports.push_back(kFdWrite);
              }
            }
          }
        } else {
          if (r.writePending && (revents & (POLLOUT | POLLERR | POLLHUP))) {
            r.writePending = false;
            if (r.events & kFdWrite) reports.push_back(kFdWrite);
          }
          if (r.events & kFdAccept) {
            if (revents & (POLLIN | POLLERR)) reports.push_back(kFdAccept);
          } else if ((r.events & (kFdRead | kFdClose)) == kFdRead) {
            // A datagram socket: no close to tell, and a pending error (a port that did not listen)
            // is for the reader to collect.
            if (revents & (POLLIN | POLLERR)) reports.push_back(kFdRead);
          } else if (!r.closeReported && (revents & (POLLIN | POLLHUP | POLLERR | POLLRDHUP))) {
            char byte;
            ssize_t n = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
            if (n > 0) {
              if (r.events & kFdRead) reports.push_back(kFdRead);
            } else if (n == 0) {
              r.closeReported = true;
              if (r.events & kFdClose) reports.push_back(kFdClose);
            } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
              r.closeReported = true;
              if (r.events & kFdClose) reports.push_back(kFdClose | static_cast<std::uint32_t>(wsaError(errno)) << 16);
            }
          }
        }
      }
      for (std::uint32_t lParam : reports) onMessage(msg, static_cast<std::uintptr_t>(fd), lParam);
    }
    for (;;) {
      Posted p;
      {
        std::lock_guard lock(m_mutex);
        if (m_posted.empty() || m_stop) break;
        p = m_posted.front();
        m_posted.pop_front();
      }
      onMessage(p.msg, p.wParam, p.lParam);
    }
    if (Clock::now() >= nextTick) {
      bool stopping;
      {
        std::lock_guard lock(m_mutex);
        stopping = m_stop;
      }
      if (!stopping) onTick();
      nextTick = Clock::now() + period;  // a long tick delays the next one instead of piling up
    }
  }
  std::lock_guard lock(m_mutex);
  m_stop = false;
  m_posted.clear();
}

}  // namespace ov::net::detail
