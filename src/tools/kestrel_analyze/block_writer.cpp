// JSON lines and CSV rows for analysed blocks.
#include "tools/kestrel_analyze/block_writer.h"

#include <charconv>

namespace kestrel::analyze {

namespace {
void appendInt(std::string& line, std::int64_t value) {
  char digits[24];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
  line.append(digits, end);
}
const char* boolText(bool value) {
  return value ? "true" : "false";
}

void appendLevels(std::string& line, const std::int32_t* levels, std::int32_t bins,
                  char separator) {
  for (std::int32_t i = 0; i < bins; ++i) {
    if (i > 0) line += separator;
    appendInt(line, levels[i]);
  }
}
}  // namespace

BlockWriter::BlockWriter(std::FILE* out, Format format) : out_(out), format_(format) {}

void BlockWriter::emit() {
  if (ok_ && std::fwrite(line_.data(), 1, line_.size(), out_) != line_.size()) ok_ = false;
}

void BlockWriter::writeCsvHeader(std::int32_t bins) {
  line_ = "block,clip_left,clip_right,peak_left,peak_right";
  for (std::int32_t i = 0; i < bins; ++i) {
    line_ += ",level_";
    appendInt(line_, i);
  }
  for (std::int32_t i = 0; i < bins; ++i) {
    line_ += ",average_";
    appendInt(line_, i);
  }
  line_ += '\n';
  emit();
}

void BlockWriter::displayStep(const BlockResult& block) {
  const std::int32_t bins = block.blockFrames;
  if (format_ == Format::Csv) {
    if (blocks_ == 0) writeCsvHeader(bins);
    line_.clear();
    appendInt(line_, blocks_);
    line_ += ',';
    line_ += boolText(block.peaks.clipLeft);
    line_ += ',';
    line_ += boolText(block.peaks.clipRight);
    line_ += ',';
    appendInt(line_, block.peaks.peakLeft());
    line_ += ',';
    appendInt(line_, block.peaks.peakRight());
    line_ += ',';
    appendLevels(line_, block.binLevels, bins, ',');
    line_ += ',';
    appendLevels(line_, block.avgLevels, bins, ',');
  } else {
    line_ = "{\"block\":";
    appendInt(line_, blocks_);
    line_ += ",\"clip_left\":";
    line_ += boolText(block.peaks.clipLeft);
    line_ += ",\"clip_right\":";
    line_ += boolText(block.peaks.clipRight);
    line_ += ",\"peak_left\":";
    appendInt(line_, block.peaks.peakLeft());
    line_ += ",\"peak_right\":";
    appendInt(line_, block.peaks.peakRight());
    line_ += ",\"levels\":[";
    appendLevels(line_, block.binLevels, bins, ',');
    line_ += "],\"average\":[";
    appendLevels(line_, block.avgLevels, bins, ',');
    line_ += "]}";
  }
  line_ += '\n';
  emit();
  ++blocks_;
}

}  // namespace kestrel::analyze
