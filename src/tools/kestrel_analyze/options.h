// The command line of kestrel-analyze.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/settings.h"

namespace kestrel::analyze {

enum class Format { Jsonl, Csv };

struct Options {
  std::int32_t fftBits = 11;
  WindowFunction window = WindowFunction::Hanning;
  std::int32_t ampScale = 2;
  std::int32_t weighting = kWeightingNone;
  ChannelMode channel = ChannelMode::Sum;
  std::optional<std::int32_t> rate;
  bool selfTest = false;
  std::optional<std::int64_t> blocks;
  Format format = Format::Jsonl;
  std::optional<std::string> file;
  bool help = false;
};

// Either options, or what is wrong with the command line (one line, no usage).
struct ParseResult {
  std::optional<Options> options;
  std::string error;
};

ParseResult parseOptions(const std::vector<std::string>& args);

extern const char* const kUsage;

}  // namespace kestrel::analyze
