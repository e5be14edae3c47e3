// The analyser's per-length state: start-up, size changes and window changes, each of which
// rebuilds the table and restarts the long-time average.
#include "analysis/analysis_state.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kestrel {
namespace {

// Leaves a running average behind, so a test can see it restart.
void runAverage(AnalysisState& state) {
  state.average.avgCount = 12;
  state.average.avgAccum[0] = 99;
  state.average.avgAccum[kMaxBins - 1] = 99;
}

void expectFreshAverage(const AnalysisState& state) {
  EXPECT_EQ(state.average.avgCount, -5);
  EXPECT_EQ(state.average.avgAccum[0], 0);
  EXPECT_EQ(state.average.avgAccum[kMaxBins - 1], 0);
}

TEST(AnalysisState, StartsAt2048PointsWithHanning) {
  const AnalysisState state;
  EXPECT_EQ(state.sizes().fftBits, 11);
  EXPECT_EQ(state.sizes().blockFrames, 1024);
  EXPECT_EQ(state.sizes().fftSize, 2048);
  EXPECT_EQ(state.fftEngine().size(), 2048);
  EXPECT_EQ(state.window(), WindowFunction::Hanning);
  EXPECT_EQ(state.windowTable()[1024], 65534);
  expectFreshAverage(state);
}

TEST(AnalysisState, SizeChangeRebuildsEngineTableAndAverage) {
  struct Size {
    std::int32_t bits, blockFrames, fftSize;
  };
  const Size sizes[] = {{10, 512, 1024}, {12, 2048, 4096}, {11, 1024, 2048}};
  AnalysisState state;
  state.setWindow(WindowFunction::FlatTop);
  for (const Size& s : sizes) {
    runAverage(state);
    state.changeFftSize(s.bits);
    EXPECT_EQ(state.sizes().fftBits, s.bits);
    EXPECT_EQ(state.sizes().blockFrames, s.blockFrames);
    EXPECT_EQ(state.sizes().fftSize, s.fftSize);
    EXPECT_EQ(state.fftEngine().log2Size(), s.bits);
    EXPECT_EQ(state.window(), WindowFunction::FlatTop);  // the window survives a size change
    EXPECT_EQ(state.windowTable()[s.fftSize / 2], 152012);
    EXPECT_EQ(state.windowTable()[s.fftSize / 4], -8316);
    expectFreshAverage(state);
  }
}

TEST(AnalysisState, ChoosingAWindowRestartsTheAverageEvenWhenUnchanged) {
  AnalysisState state;
  const struct {
    WindowFunction window;
    std::int32_t firstEntry;
  } choices[] = {{WindowFunction::KaiserBessel, 31},
                 {WindowFunction::KaiserBessel, 31},
                 {WindowFunction::Hanning, 0},
                 {WindowFunction::FlatTop, -91}};
  for (const auto& c : choices) {
    runAverage(state);
    state.setWindow(c.window);
    EXPECT_EQ(state.window(), c.window);
    EXPECT_EQ(state.windowTable()[0], c.firstEntry);
    EXPECT_EQ(state.sizes().fftSize, 2048);
    expectFreshAverage(state);
  }
}

}  // namespace
}  // namespace kestrel
