// Peak-to-peak level and clip detection over the two buffers a block analyses.
#include "capture/peaks.h"

namespace kestrel {

namespace {
void scanChannel(const std::int16_t* previous, const std::int16_t* current,
                 std::int32_t blockFrames, int channel, std::int32_t& max, std::int32_t& min) {
  for (std::int32_t j = 0; j < blockFrames; ++j) {
    // The previous buffer's sample first, then the current buffer's.
    const std::int32_t p = previous[2 * j + channel];
    const std::int32_t c = current[2 * j + channel];
    if (p > max) max = p;
    if (p < min) min = p;
    if (c > max) max = c;
    if (c < min) min = c;
  }
}
}  // namespace

PeakScan scanPeaks(const std::int16_t* previous, const std::int16_t* current,
                   std::int32_t blockFrames) {
  PeakScan scan;
  scanChannel(previous, current, blockFrames, 0, scan.maxLeft, scan.minLeft);
  scanChannel(previous, current, blockFrames, 1, scan.maxRight, scan.minRight);
  scan.clipLeft = scan.maxLeft == 32767 || scan.minLeft == -32768;
  scan.clipRight = scan.maxRight == 32767 || scan.minRight == -32768;
  return scan;
}

}  // namespace kestrel
