// The analyser's per-length state: engine, window table and long-time average change together.
#include "analysis/analysis_state.h"

#include <cassert>
#include <utility>

namespace kestrel {

AnalysisState::AnalysisState() {
  changeFftSize(kDefaultFftBits);
}

void AnalysisState::changeFftSize(std::int32_t bits) {
  assert(isSupportedFftBits(bits));
  // Built first: if this throws, the old engine and sizes are still consistent.
  auto engine = std::make_unique<fft>(bits);
  fftEngine_ = std::move(engine);
  sizes_ = deriveBlockSizes(bits);
  buildWindowTable();
}

void AnalysisState::buildWindowTable() {
  fillWindowTable(window_, sizes_.fftSize, windowTable_.data());
  resetAverage();
}

void AnalysisState::setWindow(WindowFunction window) {
  window_ = window;
  buildWindowTable();
}

}  // namespace kestrel
