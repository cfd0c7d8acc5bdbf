// State that every logical thread holds a copy of: the record buffers and file positions.
//
// The runtime gives each logical thread (1..kMaxThreads, see platform/ui/runtime.h) its own record
// buffer and its own place in every file. The code reaches a buffer by its global name (SCH, C_,
// ...), so the globals always hold the state of one thread, the resident one; the others' state
// lies parked. makeResident() parks the resident thread's state and brings the named thread's in;
// the windows layer calls it whenever the thread it runs code for changes (an event delivered, a
// window set up, a nested loop entered or left), and it does nothing when that thread is resident
// already, so code that stays on one thread pays nothing.
//
// A holder (a data file, say) derives from ThreadData: it is told to park its live state for a
// thread and to resume a thread's parked state (a thread it holds nothing for starts afresh).
// beginThread() prepares a new thread's state from the thread that starts it; endThread() drops
// a thread's parked state.
//
// Threading: the GUI thread only. Worker threads never touch thread data.
#pragma once

namespace ov::rt {

constexpr int kMaxThreadData = 64;

class ThreadData {
 public:
  ThreadData();
  virtual ~ThreadData();
  ThreadData(const ThreadData&) = delete;
  ThreadData& operator=(const ThreadData&) = delete;

  // Moves the live state out, kept for `thread`.
  virtual void park(int thread) = 0;
  // Brings in the state kept for `thread`; fresh state when none is kept.
  virtual void resume(int thread) = 0;
  // Keeps for the new thread `thread` the state that `from` starts it with (`from` may be the
  // resident thread, whose state is live).
  virtual void begin(int thread, int from) = 0;
  // Forgets what is kept for `thread`.
  virtual void end(int thread) = 0;
};

// The thread whose state the globals hold (1 at start).
int residentThread();
// Makes `thread` resident; nothing when it is already.
void makeResident(int thread);
// A new thread's state, started from `from`'s.
void beginThread(int thread, int from);
// Drops a thread's parked state (not while it is resident).
void endThread(int thread);
// How many times the resident thread changed (for measurements and tests).
unsigned long residentSwitches();

}  // namespace ov::rt
