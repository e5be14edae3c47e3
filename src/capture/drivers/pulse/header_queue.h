// The headers an open input holds, oldest first, and the copying of arriving samples into them
// strictly in that order. Plain logic: the driver calls it with the main loop's lock held.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "capture/wave_driver.h"

namespace kestrel::pulse {

class HeaderQueue {
 public:
  static constexpr std::size_t kCapacity = 16;  // the analyser hands out four

  bool full() const { return count_ == kCapacity; }
  bool empty() const { return count_ == 0; }
  std::size_t size() const { return count_; }
  bool holds(const WAVEHDR* header) const { return indexOf(header).has_value(); }
  // The length of the buffer being filled (or next to be), if any.
  std::optional<std::uint32_t> frontLength() const;

  // Takes the header into the queue: WHDR_INQUEUE set, WHDR_DONE cleared.
  void push(WAVEHDR* header);

  // Copies `bytes` of samples (silence when data is null: a hole in the stream) into the queued
  // buffers in order; each buffer that fills is marked done and announced with MM_WIM_DATA.
  // Returns how many bytes found no buffer and were dropped.
  std::size_t write(const void* data, std::size_t bytes, NotificationTarget* target,
                    HWAVEIN handle);

  // Takes one header out without filling it (the device is gone): done, nothing recorded.
  bool release(const WAVEHDR* header);
  // Hands every header back done with nothing recorded; no notification (closing).
  void releaseAll();

 private:
  std::optional<std::size_t> indexOf(const WAVEHDR* header) const;
  WAVEHDR* at(std::size_t i) const { return queue_[(head_ + i) % kCapacity]; }

  std::array<WAVEHDR*, kCapacity> queue_{};
  std::size_t head_ = 0;
  std::size_t count_ = 0;
  std::uint32_t filled_ = 0;  // bytes already in the front buffer
};

// Flags of a header the device may be writing: read with acquire, written with release, so the
// owner that sees WHDR_DONE also sees the samples and the byte count.
std::uint32_t loadFlags(const WAVEHDR* header);
void storeFlags(WAVEHDR* header, std::uint32_t flags);

}  // namespace kestrel::pulse
