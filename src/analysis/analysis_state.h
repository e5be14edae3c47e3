// What the analyser keeps between blocks for the current FFT length: the transform engine, the
// window table and the long-time average, with the operations that change them together.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "analysis/fft.h"
#include "analysis/fft_sizes.h"
#include "analysis/levels.h"
#include "analysis/window.h"

namespace kestrel {

class AnalysisState {
 public:
  // Starts as the program does: changeFftSize(11) with the Hanning window.
  AnalysisState();

  // Replaces the engine for 2^bits points (10, 11 or 12), sets the sizes, rebuilds the window
  // table and resets the average. The new engine is built before the old one goes, so a
  // failed allocation leaves everything as it was.
  void changeFftSize(std::int32_t bits);

  // Rebuilds the table for the current size and window, then resets the average.
  void buildWindowTable();
  void setWindow(WindowFunction window);  // sets the window and runs buildWindowTable

  void resetAverage() { average.resetAverage(); }

  const FftSizes& sizes() const { return sizes_; }
  WindowFunction window() const { return window_; }
  const fft& fftEngine() const { return *fftEngine_; }
  const std::int32_t* windowTable() const { return windowTable_.data(); }

  LongTimeAverage average;

 private:
  FftSizes sizes_;
  WindowFunction window_ = WindowFunction::Hanning;
  std::unique_ptr<fft> fftEngine_;
  std::array<std::int32_t, kMaxFftSize> windowTable_{};
};

}  // namespace kestrel
