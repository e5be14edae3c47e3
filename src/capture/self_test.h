// The self-test signal: a sine sweep from 1 to 2 kHz over 20 seconds, repeated, one step short
// of full scale, identical on both channels. Its position follows from the block count alone.
#pragma once

#include <cstdint>

namespace kestrel {

// Overwrites both channels of frames 0 .. fftSize/2 - 1 of an interleaved stereo buffer with
// the sweep for the block whose count (before its own increment) is avgCount.
void writeSelfTest(std::int16_t* frames, std::int32_t fftSize, std::int32_t avgCount,
                   std::int32_t sampleRate);

// The sweep's sample at running index m, for tests and tools.
std::int16_t selfTestSample(std::int32_t m, std::int32_t sampleRate);

}  // namespace kestrel
