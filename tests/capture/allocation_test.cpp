// Proves that the capture path allocates nothing per block: counts every heap allocation made
// while many blocks run through the simulated device, the ring and the block handler.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "analyser_fixture.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace kestrel {
namespace {

TEST(Allocation, NoBlockAllocates) {
  struct Case {
    const char* what;
    std::int32_t ampScale, weighting, fftBits;
    ChannelMode mode;
    bool selfTest;
  };
  const Case cases[] = {
      {"linear, sum", 2, kWeightingNone, 11, ChannelMode::Sum, false},
      {"log, A-weighted, self-test", kAmp135dB, kWeightingA, 12, ChannelMode::Left, true},
      {"square root, difference", kAmpSqrt, kWeightingA, 10, ChannelMode::Diff, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::AnalyserRig rig(testing::oneInput(sim::noise(7, 20000)));
    rig.analyser->setObserver(nullptr);  // the recorder copies blocks; the handler must not
    rig.analyser->settings.ampScale = c.ampScale;
    rig.analyser->settings.weighting = c.weighting;
    rig.analyser->settings.channelMode = c.mode;
    rig.analyser->selfTest = c.selfTest;
    rig.analyser->analysis.changeFftSize(c.fftBits);
    ASSERT_EQ(rig.analyser->start(0).outcome, StartOutcome::Started);
    rig.deliver(8);  // past the average's warm-up

    const long before = allocations.load();
    rig.deliver(500);
    const long after = allocations.load();
    EXPECT_EQ(after - before, 0);
    EXPECT_EQ(rig.driver.stats().delivered, 508);
  }
}

}  // namespace
}  // namespace kestrel
