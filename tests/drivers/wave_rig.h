// Helpers for the simulated driver's tests: the shared capture rig, the counter signal's check,
// and a device record.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "capture/drivers/simulated/simulated_driver.h"
#include "common/wave_rig.h"

namespace kestrel::test {

using testing::flagsOf;
using testing::WaveRig;

// Checks that frames carry the counter signal from `next` on, and moves `next` past them.
inline void expectCounterFrames(const std::int16_t* data, std::int32_t frames,
                                std::uint64_t& next) {
  for (std::int32_t k = 0; k < frames; ++k, ++next) {
    const auto left = static_cast<std::int16_t>(static_cast<std::uint16_t>(next));
    const auto right = static_cast<std::int16_t>(static_cast<std::uint16_t>(~left));
    ASSERT_EQ(data[2 * k], left) << "frame " << k << " of counter position " << next;
    ASSERT_EQ(data[2 * k + 1], right) << "frame " << k << " of counter position " << next;
  }
}

inline sim::InputDevice device(const char* name, sim::SourcePtr signal = nullptr) {
  sim::InputDevice input;
  input.name = name;
  input.signal = std::move(signal);
  return input;
}

}  // namespace kestrel::test
