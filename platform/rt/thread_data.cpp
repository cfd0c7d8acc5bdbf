#include "platform/rt/thread_data.h"

#include <algorithm>
#include <vector>

namespace ov::rt {
namespace {

struct Registry {
  std::vector<ThreadData*> holders;
  int resident = 1;
  unsigned long switches = 0;
};

// Built on first use: holders are globals of other files, constructed in any order.
Registry& registry() {
  static Registry* r = new Registry;
  return *r;
}

bool valid(int thread) { return thread >= 1 && thread <= kMaxThreadData; }

}  // namespace

ThreadData::ThreadData() { registry().holders.push_back(this); }

ThreadData::~ThreadData() {
  auto& h = registry().holders;
  h.erase(std::remove(h.begin(), h.end(), this), h.end());
}

int residentThread() { return registry().resident; }

void makeResident(int thread) {
  Registry& r = registry();
  if (thread == r.resident || !valid(thread)) return;
  for (ThreadData* d : r.holders) {
    d->park(r.resident);
    d->resume(thread);
  }
  r.resident = thread;
  ++r.switches;
}

void beginThread(int thread, int from) {
  if (!valid(thread) || !valid(from) || thread == from) return;
  for (ThreadData* d : registry().holders) d->begin(thread, from);
}

void endThread(int thread) {
  Registry& r = registry();
  if (!valid(thread) || thread == r.resident) return;
  for (ThreadData* d : r.holders) d->end(thread);
}

unsigned long residentSwitches() { return registry().switches; }

}  // namespace ov::rt
