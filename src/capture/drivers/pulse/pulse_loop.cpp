// The threaded main loop, its lock, the state mirrors and the timer that bounds every wait.
#include "capture/drivers/pulse/pulse_loop.h"

#include <pulse/rtclock.h>

namespace kestrel::pulse {

ContextState contextState(pa_context* context) {
  switch (pa_context_get_state(context)) {
    case PA_CONTEXT_UNCONNECTED:
      return ContextState::Unconnected;
    case PA_CONTEXT_CONNECTING:
      return ContextState::Connecting;
    case PA_CONTEXT_AUTHORIZING:
      return ContextState::Authorizing;
    case PA_CONTEXT_SETTING_NAME:
      return ContextState::SettingName;
    case PA_CONTEXT_READY:
      return ContextState::Ready;
    case PA_CONTEXT_FAILED:
      return ContextState::Failed;
    case PA_CONTEXT_TERMINATED:
      return ContextState::Terminated;
  }
  return ContextState::Failed;
}

StreamState streamState(pa_stream* stream) {
  switch (pa_stream_get_state(stream)) {
    case PA_STREAM_UNCONNECTED:
      return StreamState::Unconnected;
    case PA_STREAM_CREATING:
      return StreamState::Creating;
    case PA_STREAM_READY:
      return StreamState::Ready;
    case PA_STREAM_FAILED:
      return StreamState::Failed;
    case PA_STREAM_TERMINATED:
      return StreamState::Terminated;
  }
  return StreamState::Failed;
}

MainLoop::MainLoop() : loop_(pa_threaded_mainloop_new()) {
  if (loop_ == nullptr) return;
  pa_threaded_mainloop_set_name(loop_, "kestrel-pulse");
  running_ = pa_threaded_mainloop_start(loop_) >= 0;
}

MainLoop::~MainLoop() {
  if (loop_ == nullptr) return;
  // Stopping joins the loop's thread; it must not be called with the lock held.
  if (running_) pa_threaded_mainloop_stop(loop_);
  pa_threaded_mainloop_free(loop_);
}

pa_mainloop_api* MainLoop::api() const {
  return pa_threaded_mainloop_get_api(loop_);
}

void MainLoop::signal() {
  pa_threaded_mainloop_signal(loop_, 0);
}

void MainLoop::waitOnce() {
  pa_threaded_mainloop_wait(loop_);
}

bool MainLoop::startTimer(Timer& timer, pa_context* context, std::chrono::milliseconds bound) {
  timer.loop = this;
  const pa_usec_t due = pa_rtclock_now() + static_cast<pa_usec_t>(bound.count()) * 1000;
  timer.event = pa_context_rttime_new(
      context, due,
      [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
        auto* t = static_cast<Timer*>(userdata);
        t->fired = true;
        t->loop->signal();
      },
      &timer);
  return timer.event != nullptr;
}

void MainLoop::stopTimer(Timer& timer) {
  // Freed with the lock held, so its callback is not running and never runs later.
  api()->time_free(timer.event);
  timer.event = nullptr;
}

bool MainLoop::finish(pa_context* context, pa_operation* operation,
                      std::chrono::milliseconds bound) {
  if (operation == nullptr) return false;
  const bool done = waitUntil(context, bound, [operation] {
    return pa_operation_get_state(operation) != PA_OPERATION_RUNNING;
  });
  if (!done) pa_operation_cancel(operation);
  const bool succeeded = done && pa_operation_get_state(operation) == PA_OPERATION_DONE;
  pa_operation_unref(operation);
  return succeeded;
}

LoopLock::LoopLock(MainLoop& loop) : loop_(loop) {
  pa_threaded_mainloop_lock(loop_.loop_);
}

LoopLock::~LoopLock() {
  pa_threaded_mainloop_unlock(loop_.loop_);
}

}  // namespace kestrel::pulse
