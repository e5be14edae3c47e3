// Real-time pacing: the driver's own thread fills the queued buffers in order. The tests wait
// for notifications (events), never for an amount of time, and assert no timing.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "wave_rig.h"

namespace kestrel::test {
namespace {

using sim::Config;
using sim::Pacing;
using sim::SimulatedDriver;

// Far longer than any buffer here lasts; reached only when a notification never comes.
constexpr std::chrono::milliseconds kPatience{10'000};

Config realTimeCounter() {
  Config config;
  config.inputs.push_back(device("Counter", sim::counter()));
  config.pacing = Pacing::RealTime;
  return config;
}

TEST(SimulatedDriverRealTime, FillsTheRingInOrderAndStopsLikeTheAnalyser) {
  SimulatedDriver driver(realTimeCounter());
  WaveRig rig(driver);
  constexpr std::int32_t kFrames = 80;  // 10 ms at 8 kHz
  rig.start(0, kFrames, 8000);
  EXPECT_FALSE(driver.deliverBuffer());  // the thread delivers, not the caller

  std::uint64_t next = 0;
  for (int block = 0; block < 24; ++block) {
    const int i = block % 4;
    WaveMessage message;
    ASSERT_TRUE(rig.queue.waitTake(message, kPatience)) << "block " << block;
    ASSERT_EQ(message.message, MM_WIM_DATA);
    ASSERT_EQ(message.header, &rig.headers[static_cast<std::size_t>(i)]) << "block " << block;
    ASSERT_EQ(rig.unprepare(i), MMSYSERR_NOERROR);
    // Time with nothing queued is dropped, not rendered, so the signal stays continuous.
    expectCounterFrames(rig.samples(i), kFrames, next);
    ASSERT_EQ(rig.queueBuffer(i, kFrames), MMSYSERR_NOERROR);
  }

  // Stop: wait for every queued buffer, as the analyser does, then close.
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  for (int i = 0; i < 4; ++i) {
    MMRESULT result;
    while ((result = rig.unprepare(i)) == WAVERR_STILLPLAYING) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "buffer " << i << " never came back";
      std::this_thread::yield();
    }
    EXPECT_EQ(result, MMSYSERR_NOERROR);
  }
  ASSERT_EQ(driver.waveInClose(rig.handle), MMSYSERR_NOERROR);
  EXPECT_EQ(driver.stats().delivered, 28);
  for (int k = 0; k < 4; ++k) {
    WaveMessage message;
    ASSERT_TRUE(rig.queue.tryTake(message));
    EXPECT_EQ(message.header, &rig.headers[static_cast<std::size_t>(k)]);
  }
}

// The driver goes while its device records: its destructor must stop and join the thread (a
// hang or a use of the freed driver shows here, the latter under ASan).
TEST(SimulatedDriverRealTime, DestroyingTheDriverDuringACaptureStopsItsThread) {
  auto driver = std::make_unique<SimulatedDriver>(realTimeCounter());
  WaveRig rig(*driver);
  rig.start(0, 8, 8000);
  WaveMessage message;
  ASSERT_TRUE(rig.queue.waitTake(message, kPatience));
  driver.reset();
  rig.handle = kNoWaveIn;  // went with the driver
  const std::size_t pending = rig.queue.size();
  EXPECT_LE(pending, 3u);  // at most the rest of the ring, delivered before the driver went
}

}  // namespace
}  // namespace kestrel::test
