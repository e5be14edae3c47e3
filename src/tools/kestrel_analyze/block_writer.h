// Writes what the analyser computed for every block: one JSON object per line, or CSV rows.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "capture/analyser.h"
#include "tools/kestrel_analyze/options.h"

namespace kestrel::analyze {

class BlockWriter final : public BlockObserver {
 public:
  BlockWriter(std::FILE* out, Format format);

  void displayStep(const BlockResult& block) override;

  std::int64_t blocksWritten() const { return blocks_; }
  // False once a write failed (a closed pipe, a full disk).
  bool ok() const { return ok_; }

 private:
  void writeCsvHeader(std::int32_t bins);
  void emit();

  std::FILE* out_;
  Format format_;
  std::string line_;  // one whole line, written at once: no partial lines
  std::int64_t blocks_ = 0;
  bool ok_ = true;
};

}  // namespace kestrel::analyze
