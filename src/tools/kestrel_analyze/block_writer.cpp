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
  const bool csv = format_ == Format::Csv;
  if (csv && blocks_ == 0) writeCsvHeader(bins);
  // The same fields in the same order for both formats; only the punctuation differs.
  line_ = csv ? "" : "{";
  auto key = [&](const char* name) {
    if (line_.size() > (csv ? 0u : 1u)) line_ += ',';
    if (!csv) {
      line_ += '"';
      line_ += name;
      line_ += "\":";
    }
  };
  auto levels = [&](const char* name, const std::int32_t* values) {
    key(name);
    if (!csv) line_ += '[';
    appendLevels(line_, values, bins, ',');
    if (!csv) line_ += ']';
  };
  key("block");
  appendInt(line_, blocks_);
  key("clip_left");
  line_ += boolText(block.peaks.clipLeft);
  key("clip_right");
  line_ += boolText(block.peaks.clipRight);
  key("peak_left");
  appendInt(line_, block.peaks.peakLeft());
  key("peak_right");
  appendInt(line_, block.peaks.peakRight());
  levels("levels", block.binLevels);
  levels("average", block.avgLevels);
  if (!csv) line_ += '}';
  line_ += '\n';
  emit();
  ++blocks_;
}

}  // namespace kestrel::analyze
