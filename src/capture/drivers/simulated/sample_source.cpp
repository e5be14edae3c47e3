// The signals a simulated input device can play. Each keeps its own frame position, so a signal
// runs on seamlessly from one buffer to the next and from one capture to the next.
#include "capture/drivers/simulated/sample_source.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <utility>

#include "analysis/numeric.h"

namespace kestrel::sim {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

std::int16_t clipToInt16(std::int64_t value) {
  return static_cast<std::int16_t>(std::clamp<std::int64_t>(value, -32768, 32767));
}

// Rounded to nearest (halves away from zero), then clipped into the 16-bit range.
std::int16_t roundToSample(double value) {
  return clipToInt16(truncToInt64(std::round(value)));
}

double sineValue(const SineSpec& part, std::int64_t frame, std::int32_t sampleRate) {
  const double t = static_cast<double>(frame) / static_cast<double>(sampleRate);
  return part.amplitude * std::sin(kTwoPi * part.frequencyHz * t + part.phase);
}

class Silence final : public SampleSource {
 public:
  void render(std::int16_t* interleaved, std::int32_t frames, std::int32_t) override {
    std::fill_n(interleaved, 2 * static_cast<std::int64_t>(std::max(frames, 0)), std::int16_t{0});
  }
};

class Sines final : public SampleSource {
 public:
  explicit Sines(std::vector<SineSpec> parts) : parts_(std::move(parts)) {}

  void render(std::int16_t* interleaved, std::int32_t frames, std::int32_t sampleRate) override {
    for (std::int32_t i = 0; i < frames; ++i, ++position_) {
      double sum = 0.0;
      for (const SineSpec& part : parts_) sum += sineValue(part, position_, sampleRate);
      const std::int16_t sample = roundToSample(sum);
      interleaved[2 * i] = sample;
      interleaved[2 * i + 1] = sample;
    }
  }

 private:
  std::vector<SineSpec> parts_;
  std::int64_t position_ = 0;
};

class Square final : public SampleSource {
 public:
  explicit Square(double frequencyHz) : frequencyHz_(frequencyHz) {}

  void render(std::int16_t* interleaved, std::int32_t frames, std::int32_t sampleRate) override {
    // The place in the period is measured in units of 1/frequency frames: frame * f is exact for
    // integral frequencies, so a period of a whole number of frames splits exactly in half.
    const double rate = static_cast<double>(sampleRate);
    for (std::int32_t i = 0; i < frames; ++i, ++position_) {
      const double inPeriod = std::fmod(static_cast<double>(position_) * frequencyHz_, rate);
      const std::int16_t sample =
          inPeriod < 0.5 * rate ? std::int16_t{32767} : std::int16_t{-32768};
      interleaved[2 * i] = sample;
      interleaved[2 * i + 1] = sample;
    }
  }

 private:
  double frequencyHz_;
  std::int64_t position_ = 0;
};

// xorshift32: tiny, fast and the same sequence on every platform, unlike the standard
// distributions.
class Noise final : public SampleSource {
 public:
  Noise(std::uint32_t seed, std::int32_t amplitude)
      : state_(seed == 0 ? 0x9E3779B9u : seed), amplitude_(std::clamp(amplitude, 0, 32767)) {}

  void render(std::int16_t* interleaved, std::int32_t frames, std::int32_t) override {
    for (std::int64_t i = 0; i < 2 * static_cast<std::int64_t>(std::max(frames, 0)); ++i) {
      interleaved[i] = next();
    }
  }

 private:
  std::int16_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    // Scale the 32-bit draw onto 0 .. 2 * amplitude without the bias of a modulo.
    const std::uint64_t span = 2 * static_cast<std::uint64_t>(amplitude_) + 1;
    const auto offset =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(state_) * span) >> 32);
    return static_cast<std::int16_t>(offset - amplitude_);
  }

  std::uint32_t state_;
  std::int32_t amplitude_;
};

class Counter final : public SampleSource {
 public:
  void render(std::int16_t* interleaved, std::int32_t frames, std::int32_t) override {
    for (std::int32_t i = 0; i < frames; ++i, ++position_) {
      const auto left = static_cast<std::uint16_t>(position_);
      interleaved[2 * i] = static_cast<std::int16_t>(left);
      interleaved[2 * i + 1] = static_cast<std::int16_t>(static_cast<std::uint16_t>(~left));
    }
  }

 private:
  std::uint64_t position_ = 0;
};

class Stereo final : public SampleSource {
 public:
  Stereo(SourcePtr left, SourcePtr right)
      : left_(left ? std::move(left) : silence()), right_(right ? std::move(right) : silence()) {}

  void render(std::int16_t* interleaved, std::int32_t frames, std::int32_t sampleRate) override {
    // The left source renders straight into the output; the right one goes through a fixed
    // scratch chunk, so rendering never allocates.
    for (std::int32_t done = 0; done < frames;) {
      const std::int32_t n = std::min<std::int32_t>(frames - done, kChunkFrames);
      std::int16_t* out = interleaved + 2 * static_cast<std::int64_t>(done);
      left_->render(out, n, sampleRate);
      right_->render(scratch_.data(), n, sampleRate);
      for (std::int32_t i = 0; i < n; ++i) out[2 * i + 1] = scratch_[2 * i + 1];
      done += n;
    }
  }

 private:
  static constexpr std::int32_t kChunkFrames = 256;
  SourcePtr left_;
  SourcePtr right_;
  std::array<std::int16_t, 2 * kChunkFrames> scratch_{};
};

}  // namespace

SourcePtr silence() {
  return std::make_shared<Silence>();
}

SourcePtr sine(double frequencyHz, double amplitude, double phase) {
  return std::make_shared<Sines>(std::vector<SineSpec>{{frequencyHz, amplitude, phase}});
}

SourcePtr sines(std::vector<SineSpec> parts) {
  return std::make_shared<Sines>(std::move(parts));
}

SourcePtr square(double frequencyHz) {
  return std::make_shared<Square>(frequencyHz);
}

SourcePtr noise(std::uint32_t seed, std::int32_t amplitude) {
  return std::make_shared<Noise>(seed, amplitude);
}

SourcePtr counter() {
  return std::make_shared<Counter>();
}

SourcePtr stereo(SourcePtr left, SourcePtr right) {
  return std::make_shared<Stereo>(std::move(left), std::move(right));
}

}  // namespace kestrel::sim
