// A notification target for programs without a window: the driver's thread posts, the
// analyser's thread takes the messages in order. Fixed capacity, so posting never allocates.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

#include "capture/wave_driver.h"

namespace kestrel {

class NotificationQueue final : public NotificationTarget {
 public:
  static constexpr std::size_t kCapacity = 64;  // a device has at most four buffers out

  // Any thread. A message that finds the queue full is counted in dropped() and lost.
  void post(const WaveMessage& message) override;

  // The consumer's thread: the oldest message, if any, without waiting.
  bool tryTake(WaveMessage& message);
  // The consumer's thread: waits at most timeout for a message.
  bool waitTake(WaveMessage& message, std::chrono::milliseconds timeout);

  std::size_t size() const;
  std::size_t dropped() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::array<WaveMessage, kCapacity> ring_{};
  std::size_t head_ = 0;   // next to take
  std::size_t count_ = 0;  // messages waiting
  std::size_t dropped_ = 0;
};

}  // namespace kestrel
