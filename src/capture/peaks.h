// The peak and clip scan of one block: per channel, the largest and smallest sample over the
// previous and the current buffer, and whether a clip value (+32767 or -32768) is among them.
#pragma once

#include <cstdint>

namespace kestrel {

struct PeakScan {
  std::int32_t maxLeft = -32768, minLeft = 32767;
  std::int32_t maxRight = -32768, minRight = 32767;
  bool clipLeft = false;
  bool clipRight = false;

  std::int32_t peakLeft() const { return maxLeft - minLeft; }  // peak to peak, 0 .. 65535
  std::int32_t peakRight() const { return maxRight - minRight; }
};

PeakScan scanPeaks(const std::int16_t* previous, const std::int16_t* current,
                   std::int32_t blockFrames);

}  // namespace kestrel
