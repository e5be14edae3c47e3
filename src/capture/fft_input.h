// The transform input of one block: the previous buffer's frames, then the current buffer's,
// in the chosen channel mix, times the window, in fixed point.
#pragma once

#include <cstdint>

#include "analysis/complex_int.h"
#include "analysis/settings.h"

namespace kestrel {

// One windowed sample: the low 32 bits of (window * s) >> k, with s the channel value of the
// stereo frame (left, right, left + right or left - right) and k 13 for one channel, 14 for a
// mix, so every mode has the same scale. The product is formed in 64 bits.
std::int32_t windowedSample(const std::int16_t* frame, std::int32_t windowValue, ChannelMode mode);

// fftInput[i] from frame i of previous, fftInput[n + i] from frame i of current (n = blockFrames),
// each weighted by the matching window entry; imaginary parts 0.
void assembleFftInput(const std::int16_t* previous, const std::int16_t* current,
                      std::int32_t blockFrames, const std::int32_t* windowTable, ChannelMode mode,
                      ComplexInt* fftInput);

}  // namespace kestrel
