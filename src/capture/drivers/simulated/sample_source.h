// Signals that a simulated input device plays: each renders successive 16-bit stereo frames.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace kestrel::sim {

// Renders the next frames of a signal, interleaved left/right. Called from one thread at a time
// (the driver's); the position runs on from call to call and across captures.
class SampleSource {
 public:
  virtual ~SampleSource() = default;
  virtual void render(std::int16_t* interleaved, std::int32_t frames, std::int32_t sampleRate) = 0;
};

using SourcePtr = std::shared_ptr<SampleSource>;

// All zeros.
SourcePtr silence();
// amplitude * sin(2 pi f t + phase), rounded to nearest, on both channels.
SourcePtr sine(double frequencyHz, double amplitude, double phase = 0.0);
// The sum of several sines (each as above), rounded once and clipped to the 16-bit range.
struct SineSpec {
  double frequencyHz;
  double amplitude;
  double phase = 0.0;
};
SourcePtr sines(std::vector<SineSpec> parts);
// Full-scale square wave: +32767 for the first half of each period, -32768 for the second.
SourcePtr square(double frequencyHz);
// Uniform white noise in [-amplitude, amplitude] (amplitude at most 32767), each channel drawn
// on its own, reproducible from the seed.
SourcePtr noise(std::uint32_t seed, std::int32_t amplitude);
// Frame k carries left = k mod 2^16 and right = ~left, as 16-bit two's complement: lets a test
// see order, gaps and overlap exactly.
SourcePtr counter();
// Left channel from one source, right channel from another.
SourcePtr stereo(SourcePtr left, SourcePtr right);

}  // namespace kestrel::sim
