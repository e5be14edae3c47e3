// Filling the queued headers in order, and handing them back.
#include "capture/drivers/pulse/header_queue.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace kestrel::pulse {

std::uint32_t loadFlags(const WAVEHDR* header) {
  return std::atomic_ref<std::uint32_t>(const_cast<std::uint32_t&>(header->dwFlags))
      .load(std::memory_order_acquire);
}

void storeFlags(WAVEHDR* header, std::uint32_t flags) {
  std::atomic_ref<std::uint32_t>(header->dwFlags).store(flags, std::memory_order_release);
}

namespace {

void markDone(WAVEHDR* header, std::uint32_t bytesRecorded) {
  header->dwBytesRecorded = bytesRecorded;
  storeFlags(header, (loadFlags(header) & ~WHDR_INQUEUE) | WHDR_DONE);
}

}  // namespace

std::optional<std::uint32_t> HeaderQueue::frontLength() const {
  if (count_ == 0) return std::nullopt;
  return at(0)->dwBufferLength;
}

void HeaderQueue::push(WAVEHDR* header) {
  storeFlags(header, (loadFlags(header) & ~WHDR_DONE) | WHDR_INQUEUE);
  queue_[(head_ + count_) % kCapacity] = header;
  ++count_;
}

std::size_t HeaderQueue::write(const void* data, std::size_t bytes, NotificationTarget* target,
                               HWAVEIN handle) {
  const auto* from = static_cast<const char*>(data);
  std::size_t done = 0;
  while (count_ > 0) {
    WAVEHDR* header = at(0);
    const std::size_t take = std::min<std::size_t>(header->dwBufferLength - filled_, bytes - done);
    if (take > 0) {
      char* to = header->lpData + filled_;
      if (from != nullptr) {
        std::memcpy(to, from + done, take);
      } else {
        std::memset(to, 0, take);
      }
    }
    filled_ += static_cast<std::uint32_t>(take);
    done += take;
    if (filled_ < header->dwBufferLength) break;  // all arrived data is in; the buffer waits
    head_ = (head_ + 1) % kCapacity;
    --count_;
    filled_ = 0;
    markDone(header, header->dwBufferLength);
    if (target != nullptr) target->post({MM_WIM_DATA, handle, header});
    if (done == bytes) break;
  }
  return bytes - done;
}

std::optional<std::size_t> HeaderQueue::indexOf(const WAVEHDR* header) const {
  for (std::size_t i = 0; i < count_; ++i) {
    if (at(i) == header) return i;
  }
  return std::nullopt;
}

bool HeaderQueue::release(const WAVEHDR* header) {
  const std::optional<std::size_t> position = indexOf(header);
  if (!position) return false;
  WAVEHDR* taken = at(*position);
  for (std::size_t i = *position; i + 1 < count_; ++i) {
    queue_[(head_ + i) % kCapacity] = queue_[(head_ + i + 1) % kCapacity];
  }
  --count_;
  if (*position == 0) filled_ = 0;
  markDone(taken, 0);
  return true;
}

void HeaderQueue::releaseAll() {
  while (count_ > 0) {
    markDone(at(0), 0);
    head_ = (head_ + 1) % kCapacity;
    --count_;
  }
  filled_ = 0;
}

}  // namespace kestrel::pulse
