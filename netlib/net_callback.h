// The library's event thread and how its events reach the callers.
//
// Every socket of the library is watched by one event thread of the library's own, which also runs
// a one-second timer. Whatever it learns for a caller it turns into a posted event: an event number
// for a logical thread number (the connection record's `Event` and `Thread`). The library never
// waits for the receiving thread.
//
// Where posted events go is pluggable: by default each goes to the CallbackQueue that its thread
// number registered, and the owner drains that queue on its own thread. A window layer with its own
// posting (POST to a logical thread) replaces the whole route with setPoster.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace ov::net {

// Ends the event thread: posts the close-down to it (which closes every socket of the library) and
// answers 0 at once, without waiting. -48 when the event thread is not running.
long NetCloseCallBackWindow();

// Queues a timed notification: at the first timer tick after `time` (centiseconds since midnight,
// as CLOCK() counts) the library posts `event` to `thread`. A notification due at the current
// clock goes out on a later tick; when midnight passes, every queued notification goes out.
void NETSETNOTIFIER(std::int32_t time, std::int32_t event, std::int32_t thread);

// Replaces the route of posted events (an empty function restores the CallbackQueue route). Called
// on the library's threads; it must not block.
using Poster = std::function<void(int event, int thread)>;
void setPoster(Poster poster);

// The logical thread number of the calling OS thread: the number of a CallbackQueue made on it,
// else 1 (the program's main thread).
int currentThread();

// The events posted to one logical thread. Make it on the thread that drains it; while it lives,
// events for `thread` land here. Destroying it drops what was not taken.
class CallbackQueue {
 public:
  explicit CallbackQueue(int thread = 1);
  ~CallbackQueue();
  CallbackQueue(const CallbackQueue&) = delete;
  CallbackQueue& operator=(const CallbackQueue&) = delete;

  int thread() const { return m_thread; }

  // Called on the posting thread after each event was queued (a GUI wakes its own thread here).
  void setWakeUp(std::function<void()> wakeUp);

  // Takes the oldest event, waiting at most `wait`; false when none came.
  bool take(int& event, std::chrono::milliseconds wait = std::chrono::milliseconds(0));

  void push(int event);  // the default route of posted events

 private:
  int m_thread;
  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::deque<int> m_events;
  std::function<void()> m_wakeUp;
};

}  // namespace ov::net
