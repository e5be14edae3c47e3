// Fixed-capacity, mutex-guarded message queue between a driver thread and its consumer.
#include "capture/notification_queue.h"

namespace kestrel {

void NotificationQueue::post(const WaveMessage& message) {
  {
    std::lock_guard lock(mutex_);
    if (count_ == kCapacity) {
      ++dropped_;
      return;
    }
    ring_[(head_ + count_) % kCapacity] = message;
    ++count_;
  }
  posted_.notify_one();
}

bool NotificationQueue::tryTake(WaveMessage& message) {
  std::lock_guard lock(mutex_);
  if (count_ == 0) return false;
  message = ring_[head_];
  head_ = (head_ + 1) % kCapacity;
  --count_;
  return true;
}

bool NotificationQueue::waitTake(WaveMessage& message, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!posted_.wait_for(lock, timeout, [this] { return count_ > 0; })) return false;
  message = ring_[head_];
  head_ = (head_ + 1) % kCapacity;
  --count_;
  return true;
}

std::size_t NotificationQueue::size() const {
  std::lock_guard lock(mutex_);
  return count_;
}

std::size_t NotificationQueue::dropped() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

}  // namespace kestrel
