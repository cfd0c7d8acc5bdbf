// The library's event thread: asynchronous socket notification in the manner the library's
// handlers were written for, over poll(2) (internal).
//
// A socket is registered with a message number and a set of events (FD_READ, FD_WRITE, FD_CONNECT,
// FD_CLOSE). The loop then reports, as (message, socket, event | error << 16):
//   FD_CONNECT  once, when a non-blocking connect has finished (the error half says how);
//   FD_WRITE    after a successful connect, after each registration that asks for it while the
//               socket can take data, and after a send that could not take everything once space
//               frees again (the sender says so with sendBlocked);
//   FD_READ     while data waits to be read (a socket registered for FD_READ alone, a datagram
//               socket, also while an error waits to be collected, and never FD_CLOSE);
//   FD_ACCEPT   while a listening socket has a connection to accept;
//   FD_CLOSE    once, when the remote side has closed or reset the connection and every byte
//               before the close has been reported by FD_READ.
// Posted messages (host-name replies, the close-down, timer requests) are delivered in order on
// the same thread, and a timer ticks once a period, counted from the end of the previous tick.
//
// Handlers run on the loop's thread with the library lock held; registrations may change from any
// thread. A socket must be forgotten before it is closed, so that a reused descriptor never gets
// events meant for the old one.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

namespace ov::net::detail {

constexpr std::uint32_t kFdRead = 1;
constexpr std::uint32_t kFdWrite = 2;
constexpr std::uint32_t kFdAccept = 8;
constexpr std::uint32_t kFdConnect = 16;
constexpr std::uint32_t kFdClose = 32;

inline std::uint32_t selectEvent(std::uint32_t lParam) { return lParam & 0xFFFF; }
inline int selectError(std::uint32_t lParam) { return static_cast<int>(lParam >> 16); }

class SelectLoop {
 public:
  using MessageHandler = std::function<void(unsigned msg, std::uintptr_t wParam, std::uint32_t lParam)>;

  SelectLoop();
  ~SelectLoop();
  SelectLoop(const SelectLoop&) = delete;
  SelectLoop& operator=(const SelectLoop&) = delete;

  // Runs on the calling thread until stop(). `onMessage` gets socket events and posted messages,
  // `onTick` runs once a period; `onReady` once before the first wait. All three run with the
  // library lock held.
  void run(const MessageHandler& onMessage, const std::function<void()>& onTick,
           const std::function<void()>& onReady, std::chrono::milliseconds period);
  // Ends run() after the current handler; any thread.
  void stop();

  // Registers `fd` for `events` under `msg` (WSAAsyncSelect); events 0 stops the reports. A new
  // registration of the same descriptor and message keeps what was already reported (a connect,
  // a close).
  void asyncSelect(int fd, unsigned msg, std::uint32_t events);
  // A send on `fd` stopped short: report FD_WRITE again once the socket can take data.
  void sendBlocked(int fd);
  // Stops every report for `fd`; call it before closing the descriptor.
  void forget(int fd);
  void forgetAll();

  void postMessage(unsigned msg, std::uintptr_t wParam, std::uint32_t lParam);

 private:
  struct Registration {
    unsigned msg = 0;
    std::uint32_t events = 0;
    std::uint64_t generation = 0;
    bool connectPending = false;
    bool writePending = false;
    bool closeReported = false;
  };
  struct Posted {
    unsigned msg;
    std::uintptr_t wParam;
    std::uint32_t lParam;
  };

  void wake();

  std::mutex m_mutex;
  std::map<int, Registration> m_sockets;
  std::deque<Posted> m_posted;
  std::uint64_t m_nextGeneration = 1;
  bool m_stop = false;
  int m_wakeFd = -1;
};

}  // namespace ov::net::detail
