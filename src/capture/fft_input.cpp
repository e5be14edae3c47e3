// Assembly of the windowed, channel-mixed transform input from two capture buffers.
#include "capture/fft_input.h"

#include "analysis/numeric.h"

namespace kestrel {

std::int32_t windowedSample(const std::int16_t* frame, std::int32_t windowValue, ChannelMode mode) {
  std::int32_t s = 0;
  int k = 14;  // one more bit of shift halves a two-channel sum or difference
  switch (mode) {
    case ChannelMode::Left:
      s = frame[0];
      k = 13;
      break;
    case ChannelMode::Right:
      s = frame[1];
      k = 13;
      break;
    case ChannelMode::Sum:
      s = frame[0] + frame[1];
      break;
    case ChannelMode::Diff:
      s = frame[0] - frame[1];
      break;
  }
  // A window sample times a sample (sum) can exceed 32 bits; the shift rounds toward minus
  // infinity and brings it back into range.
  return low32((static_cast<std::int64_t>(windowValue) * s) >> k);
}

void assembleFftInput(const std::int16_t* previous, const std::int16_t* current,
                      std::int32_t blockFrames, const std::int32_t* windowTable, ChannelMode mode,
                      ComplexInt* fftInput) {
  const std::int32_t n = blockFrames;
  for (std::int32_t i = 0; i < n; ++i) {
    fftInput[i] = {windowedSample(previous + 2 * i, windowTable[i], mode), 0};
    fftInput[n + i] = {windowedSample(current + 2 * i, windowTable[n + i], mode), 0};
  }
}

}  // namespace kestrel
