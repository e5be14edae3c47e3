// The command line of kestrel-analyze.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/settings.h"
#include "capture/analyser.h"
#include "display/display_settings.h"

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

  // Live input through the sound server instead of FILE.
  bool listDevices = false;
  std::optional<std::int32_t> device;  // an input id from --list-devices; -1: the default input

  // Pictures: with a directory, every block is also drawn as the window draws it.
  std::optional<std::string> pictureDir;
  Visualisation visualisation = Visualisation::Spectrograph;
  std::int32_t freqScale = 1;
  std::int32_t plotWidth = 948;  // the plot at the window's design size
  std::int32_t plotHeight = 387;
};

// Either options, or what is wrong with the command line (one line, no usage).
struct ParseResult {
  std::optional<Options> options;
  std::string error;
};

ParseResult parseOptions(const std::vector<std::string>& args);

extern const char* const kUsage;

// Gives a freshly made analyser the analysis settings of the command line, at sampleRate.
void applyOptions(const Options& options, std::int32_t sampleRate, Analyser& analyser);

}  // namespace kestrel::analyze
