// Plays a generated signal into a sink of a test server from a thread of its own (libpulse-simple,
// which blocks until the server wants more), until stopped or the server goes away.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace kestrel::testing {

// Fills `frames` stereo frames starting at frame `position` of the signal.
using SignalFn = std::function<void(std::int16_t* out, int frames, std::uint64_t position)>;

class Player {
 public:
  // The playback buffer is kept to about `buffered`: small for latency figures, larger where an
  // underrun (which would put silence into the monitor) must not happen.
  Player(std::string server, std::string sink, std::uint32_t rate, SignalFn signal,
         std::chrono::milliseconds buffered = std::chrono::milliseconds(200));
  ~Player();

  // True once the stream is open; the text of libpulse's error otherwise.
  bool opened(std::string& why) const;
  void stop();

  // The frame whose write time is wanted (set before it is played).
  void watch(std::uint64_t position);
  // When the chunk holding frame `position` was handed to the server (steady clock), once it has
  // been; and the playback latency the server reported then.
  bool writeTimeOf(std::uint64_t position, std::chrono::steady_clock::time_point& when,
                   std::uint64_t& latencyUsec) const;

 private:
  void run();

  std::string server_, sink_;
  std::uint32_t rate_;
  SignalFn signal_;
  std::chrono::milliseconds buffered_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> state_{0};  // 0 opening, 1 open, -1 failed
  mutable std::mutex mutex_;
  std::string error_;
  std::uint64_t watched_ = UINT64_MAX;
  std::chrono::steady_clock::time_point watchedAt_{};
  std::uint64_t watchedLatency_ = 0;
  bool watchedSeen_ = false;
  std::thread thread_;
};

// left = n mod 2^16, right = its complement: every frame is distinct from its neighbours and
// from silence.
void counterSignal(std::int16_t* out, int frames, std::uint64_t position);
std::int16_t counterLeft(std::uint64_t position);

}  // namespace kestrel::testing
