#include <map>

#include "netlib/detail/library.h"
#include "netlib/detail/log.h"
#include "netlib/net_callback.h"

namespace ov::net {
namespace {

struct Route {
  std::mutex mutex;
  Poster poster;
  std::map<int, CallbackQueue*> queues;
};

Route& route() {
  static Route* r = new Route;  // posts may come from the event thread until the process ends
  return *r;
}

thread_local int t_thread = 0;

}  // namespace

void setPoster(Poster poster) {
  Route& r = route();
  std::lock_guard lock(r.mutex);
  r.poster = std::move(poster);
}

int currentThread() { return t_thread != 0 ? t_thread : 1; }

CallbackQueue::CallbackQueue(int thread) : m_thread(thread) {
  t_thread = thread;
  Route& r = route();
  std::lock_guard lock(r.mutex);
  r.queues[thread] = this;
}

CallbackQueue::~CallbackQueue() {
  Route& r = route();
  std::lock_guard lock(r.mutex);
  auto it = r.queues.find(m_thread);
  if (it != r.queues.end() && it->second == this) r.queues.erase(it);
  if (t_thread == m_thread) t_thread = 0;
}

void CallbackQueue::setWakeUp(std::function<void()> wakeUp) {
  std::lock_guard lock(m_mutex);
  m_wakeUp = std::move(wakeUp);
}

void CallbackQueue::push(int event) {
  std::function<void()> wake;
  {
    std::lock_guard lock(m_mutex);
    m_events.push_back(event);
    wake = m_wakeUp;
  }
  m_cv.notify_one();
  if (wake) wake();
}

bool CallbackQueue::take(int& event, std::chrono::milliseconds wait) {
  std::unique_lock lock(m_mutex);
  if (!m_cv.wait_for(lock, wait, [&] { return !m_events.empty(); })) return false;
  event = m_events.front();
  m_events.pop_front();
  return true;
}

namespace detail {

void postEvent(int event, int thread) {
  Route& r = route();
  std::lock_guard lock(r.mutex);
  if (r.poster) {
    r.poster(event, thread);
    return;
  }
  auto it = r.queues.find(thread);
  if (it == r.queues.end()) {
    logLine("PostEvent", "Error. No event queue for thread " + std::to_string(thread) + ". Event " +
                             std::to_string(event) + " is dropped.", kLevelError);
    return;
  }
  it->second->push(event);
}

}  // namespace detail
}  // namespace ov::net
