// libpulse's threaded main loop with a scope lock, its context and stream states mirrored as our
// own enums, and the one bounded wait every call into the server goes through.
#pragma once

#include <pulse/context.h>
#include <pulse/operation.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <chrono>

namespace kestrel::pulse {

enum class ContextState {
  Unconnected,
  Connecting,
  Authorizing,
  SettingName,
  Ready,
  Failed,
  Terminated
};
enum class StreamState { Unconnected, Creating, Ready, Failed, Terminated };

ContextState contextState(pa_context* context);
StreamState streamState(pa_stream* stream);
inline bool isFinal(ContextState s) {
  return s == ContextState::Ready || s == ContextState::Failed || s == ContextState::Terminated;
}
inline bool isFinal(StreamState s) {
  return s == StreamState::Ready || s == StreamState::Failed || s == StreamState::Terminated;
}

// Owns the loop and its thread. Every libpulse call outside a callback is made with the lock
// held (LoopLock); callbacks run on the loop's thread with the lock already held.
class MainLoop {
 public:
  MainLoop();
  ~MainLoop();
  MainLoop(const MainLoop&) = delete;
  MainLoop& operator=(const MainLoop&) = delete;

  bool running() const { return running_; }
  pa_mainloop_api* api() const;
  // From a callback: wakes a caller blocked in waitUntil.
  void signal();

  // The caller's thread, lock held: waits until done() holds or `bound` has passed, whichever is
  // first; the wait is woken by signal() and by a timer set at the bound. True when done() holds.
  // A context is needed for the timer.
  template <typename Done>
  bool waitUntil(pa_context* context, std::chrono::milliseconds bound, Done done);

  // The caller's thread, lock held: waits (bounded) for an operation to finish and unrefs it; an
  // operation still running at the bound is cancelled, so its callback never runs afterwards.
  bool finish(pa_context* context, pa_operation* operation, std::chrono::milliseconds bound);

 private:
  friend class LoopLock;
  // Fires once at the bound and wakes the waiter; lives on the waiter's stack.
  struct Timer {
    MainLoop* loop = nullptr;
    pa_time_event* event = nullptr;
    bool fired = false;
  };
  bool startTimer(Timer& timer, pa_context* context, std::chrono::milliseconds bound);
  void stopTimer(Timer& timer);
  void waitOnce();

  pa_threaded_mainloop* loop_ = nullptr;
  bool running_ = false;
};

class LoopLock {
 public:
  explicit LoopLock(MainLoop& loop);
  ~LoopLock();
  LoopLock(const LoopLock&) = delete;
  LoopLock& operator=(const LoopLock&) = delete;

 private:
  MainLoop& loop_;
};

template <typename Done>
bool MainLoop::waitUntil(pa_context* context, std::chrono::milliseconds bound, Done done) {
  if (done()) return true;
  Timer timer;
  if (!startTimer(timer, context, bound)) return done();
  while (!done() && !timer.fired) waitOnce();
  stopTimer(timer);
  return done();
}

}  // namespace kestrel::pulse
