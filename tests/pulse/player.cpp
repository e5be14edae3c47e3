// The test player: a libpulse-simple playback stream fed from a signal function.
#include "player.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <array>
#include <utility>

namespace kestrel::testing {

std::int16_t counterLeft(std::uint64_t position) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(position));
}

void counterSignal(std::int16_t* out, int frames, std::uint64_t position) {
  for (int k = 0; k < frames; ++k) {
    const std::int16_t left = counterLeft(position + static_cast<std::uint64_t>(k));
    out[2 * k] = left;
    out[2 * k + 1] = static_cast<std::int16_t>(static_cast<std::uint16_t>(~left));
  }
}

Player::Player(std::string server, std::string sink, std::uint32_t rate, SignalFn signal,
               std::chrono::milliseconds buffered)
    : server_(std::move(server)),
      sink_(std::move(sink)),
      rate_(rate),
      signal_(std::move(signal)),
      buffered_(buffered),
      thread_([this] { run(); }) {
  // Opening is quick; the constructor returns once it has succeeded or failed (bounded by
  // libpulse's own connection timeout).
  while (state_.load() == 0) std::this_thread::yield();
}

Player::~Player() {
  stop();
}

bool Player::opened(std::string& why) const {
  std::lock_guard lock(mutex_);
  why = error_;
  return state_.load() == 1;
}

void Player::stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
}

void Player::watch(std::uint64_t position) {
  std::lock_guard lock(mutex_);
  watched_ = position;
  watchedSeen_ = false;
}

bool Player::writeTimeOf(std::uint64_t position, std::chrono::steady_clock::time_point& when,
                         std::uint64_t& latencyUsec) const {
  std::lock_guard lock(mutex_);
  if (!watchedSeen_ || watched_ != position) return false;
  when = watchedAt_;
  latencyUsec = watchedLatency_;
  return true;
}

void Player::run() {
  const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, rate_, 2};
  pa_buffer_attr attr;
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = static_cast<std::uint32_t>(rate_ * 4 * buffered_.count() / 1000);
  attr.prebuf = static_cast<std::uint32_t>(-1);
  attr.minreq = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(-1);
  int error = 0;
  pa_simple* stream = pa_simple_new(server_.c_str(), "kestrel-test", PA_STREAM_PLAYBACK,
                                    sink_.c_str(), "signal", &sampleFormat, nullptr, &attr, &error);
  if (stream == nullptr) {
    std::lock_guard lock(mutex_);
    error_ = pa_strerror(error);
    state_ = -1;
    return;
  }
  state_ = 1;
  constexpr int kChunk = 240;  // 5 ms at 48 kHz
  std::array<std::int16_t, 2 * kChunk> chunk{};
  std::uint64_t position = 0;
  while (!stopping_) {
    signal_(chunk.data(), kChunk, position);
    {
      std::lock_guard lock(mutex_);
      if (watched_ >= position && watched_ < position + kChunk && !watchedSeen_) {
        watchedLatency_ = pa_simple_get_latency(stream, &error);
        watchedAt_ = std::chrono::steady_clock::now();
        watchedSeen_ = true;
      }
    }
    if (pa_simple_write(stream, chunk.data(), sizeof(chunk), &error) < 0) break;  // server gone
    position += kChunk;
  }
  pa_simple_free(stream);
}

}  // namespace kestrel::testing
