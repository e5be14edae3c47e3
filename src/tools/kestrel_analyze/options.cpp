// Parsing and checking kestrel-analyze's options; every mistake gets its own one-line reason.
#include "tools/kestrel_analyze/options.h"

#include <charconv>
#include <string_view>
#include <utility>

namespace kestrel::analyze {

const char* const kUsage =
    "usage: kestrel-analyze [--fft 1024|2048|4096] [--window hanning|kaiser-bessel|flat-top]\n"
    "                       [--scale x1|x2|x4|x8|x16|x32|sqrt|100db|135db] [--weighting zero|a]\n"
    "                       [--channel left|right|sum|diff] [--rate HZ] [--self-test] [--blocks "
    "N]\n"
    "                       [--format jsonl|csv] [FILE | --device ID|default]\n"
    "       kestrel-analyze --list-devices\n"
    "       kestrel-analyze ... --picture DIR\n"
    "                       [--visualisation spectrograph|average|spectrogram-h|spectrogram-v|\n"
    "                        stereo-vector] [--freq-scale normal|x2|x3|log] [--plot-size WxH] "
    "FILE\n"
    "\n"
    "Runs Kestrel's analyser over an audio file (any format libsndfile reads) and prints, for\n"
    "every block of FFT/2 frames, the peak-to-peak level and clip flag of each channel, the\n"
    "display level of every bin and the long-time average.\n"
    "\n"
    "  --fft N         FFT length (default 2048)\n"
    "  --window W      window function (default hanning)\n"
    "  --scale S       amplitude scale (default x2)\n"
    "  --weighting W   zero or a (A-weighting) (default zero)\n"
    "  --channel C     analysed channel: left, right, (L+R)/2 sum, (L-R)/2 diff (default sum)\n"
    "  --rate HZ       sample rate (default: the file's; required without FILE)\n"
    "  --self-test     replace every block by the 1-2 kHz test sweep\n"
    "  --blocks N      stop after N blocks (required without FILE)\n"
    "  --format F      jsonl (one JSON object per line, default) or csv\n"
    "  --picture DIR   also draw every block as the window does, and after the last one write\n"
    "                  plot.png, amplitude-ruler.png, frequency-ruler.png, bar-left.png,\n"
    "                  bar-right.png and clip.txt into DIR\n"
    "  --visualisation V  what the plot shows (default spectrograph; average adds the\n"
    "                  long-time average; the spectrograms use the normal frequency scale)\n"
    "  --freq-scale F  frequency axis of the spectrographs (default normal)\n"
    "  --plot-size WxH plot size in pixels (default 948x387, the window's design size)\n"
    "  --list-devices  print the sound server's input devices, one \"ID<TAB>NAME\" per line\n"
    "  --device D      capture live from input ID (or the server's default input) instead of\n"
    "                  reading FILE, until --blocks N or Ctrl-C (default rate 44100)\n"
    "  --help          print this text\n";

namespace {

template <typename T>
bool parseInteger(std::string_view text, T& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

template <typename T>
bool lookUp(std::string_view text, std::initializer_list<std::pair<std::string_view, T>> table,
            T& value) {
  for (const auto& [name, v] : table) {
    if (text == name) {
      value = v;
      return true;
    }
  }
  return false;
}

// "948x387": both parts whole numbers from 1 to the largest plot we draw.
bool parseSize(std::string_view text, std::int32_t& width, std::int32_t& height) {
  const auto x = text.find('x');
  if (x == std::string_view::npos) return false;
  constexpr std::int32_t kLargest = 8192;
  return parseInteger(text.substr(0, x), width) && parseInteger(text.substr(x + 1), height) &&
         width >= 1 && height >= 1 && width <= kLargest && height <= kLargest;
}

constexpr std::int32_t kMinRate = 1000;
constexpr std::int32_t kMaxRate = 768000;

}  // namespace

ParseResult parseOptions(const std::vector<std::string>& args) {
  Options options;
  std::string pictureOnly;  // a picture option given, for the check that --picture is there
  auto fail = [](std::string why) { return ParseResult{std::nullopt, std::move(why)}; };

  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    std::string_view value;
    bool hasInlineValue = false;
    if (arg.starts_with("--")) {
      if (const auto eq = arg.find('='); eq != std::string_view::npos) {
        value = arg.substr(eq + 1);
        arg = arg.substr(0, eq);
        hasInlineValue = true;
      }
    }
    // The value of an option that takes one: inline (--fft=1024) or the next argument.
    auto takeValue = [&](std::string_view& out) {
      if (hasInlineValue) {
        out = value;
        return true;
      }
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    auto flagOnly = [&] { return !hasInlineValue; };

    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return {options, {}};
    }
    if (arg == "--list-devices") {
      if (!flagOnly()) return fail("--list-devices takes no value");
      options.listDevices = true;
      continue;
    }
    if (arg == "--self-test") {
      if (!flagOnly()) return fail("--self-test takes no value");
      options.selfTest = true;
      continue;
    }
    if (arg == "--") {
      if (i + 2 < args.size()) return fail("only one FILE can be analysed");
      if (i + 1 < args.size()) {
        if (options.file) return fail("only one FILE can be analysed");
        options.file = args[i + 1];
      }
      break;
    }
    if (arg.starts_with("-") && arg.size() > 1) {
      std::string_view v;
      const std::string name(arg);
      if (name != "--fft" && name != "--window" && name != "--scale" && name != "--weighting" &&
          name != "--channel" && name != "--rate" && name != "--blocks" && name != "--format" &&
          name != "--picture" && name != "--visualisation" && name != "--freq-scale" &&
          name != "--plot-size" && name != "--device") {
        return fail("unknown option " + name);
      }
      if (!takeValue(v)) return fail(name + " needs a value");
      const std::string shown(v);
      if (name == "--fft") {
        if (!lookUp<std::int32_t>(v, {{"1024", 10}, {"2048", 11}, {"4096", 12}}, options.fftBits))
          return fail("--fft must be 1024, 2048 or 4096, not '" + shown + "'");
      } else if (name == "--window") {
        if (!lookUp<WindowFunction>(v,
                                    {{"hanning", WindowFunction::Hanning},
                                     {"kaiser-bessel", WindowFunction::KaiserBessel},
                                     {"flat-top", WindowFunction::FlatTop}},
                                    options.window))
          return fail("--window must be hanning, kaiser-bessel or flat-top, not '" + shown + "'");
      } else if (name == "--scale") {
        if (!lookUp<std::int32_t>(v,
                                  {{"x1", 1},
                                   {"x2", 2},
                                   {"x4", 4},
                                   {"x8", 8},
                                   {"x16", 16},
                                   {"x32", 32},
                                   {"sqrt", kAmpSqrt},
                                   {"100db", kAmp100dB},
                                   {"135db", kAmp135dB}},
                                  options.ampScale))
          return fail("--scale must be x1, x2, x4, x8, x16, x32, sqrt, 100db or 135db, not '" +
                      shown + "'");
      } else if (name == "--weighting") {
        if (!lookUp<std::int32_t>(v, {{"zero", kWeightingNone}, {"a", kWeightingA}},
                                  options.weighting))
          return fail("--weighting must be zero or a, not '" + shown + "'");
      } else if (name == "--channel") {
        if (!lookUp<ChannelMode>(v,
                                 {{"left", ChannelMode::Left},
                                  {"right", ChannelMode::Right},
                                  {"sum", ChannelMode::Sum},
                                  {"diff", ChannelMode::Diff}},
                                 options.channel))
          return fail("--channel must be left, right, sum or diff, not '" + shown + "'");
      } else if (name == "--rate") {
        std::int32_t rate = 0;
        if (!parseInteger(v, rate) || rate < kMinRate || rate > kMaxRate)
          return fail("--rate must be a whole number of Hz from 1000 to 768000, not '" + shown +
                      "'");
        options.rate = rate;
      } else if (name == "--blocks") {
        std::int64_t blocks = 0;
        if (!parseInteger(v, blocks) || blocks < 0)
          return fail("--blocks must be a whole number of 0 or more, not '" + shown + "'");
        options.blocks = blocks;
      } else if (name == "--format") {
        if (!lookUp<Format>(v, {{"jsonl", Format::Jsonl}, {"csv", Format::Csv}}, options.format))
          return fail("--format must be jsonl or csv, not '" + shown + "'");
      } else if (name == "--device") {
        std::int32_t id = -1;
        if (v != "default" && (!parseInteger(v, id) || id < 0))
          return fail("--device must be an ID from --list-devices or default, not '" + shown + "'");
        options.device = id;
      } else if (name == "--picture") {
        if (v.empty()) return fail("--picture needs a directory");
        options.pictureDir = shown;
      } else if (name == "--visualisation") {
        if (!lookUp<Visualisation>(v,
                                   {{"spectrograph", Visualisation::Spectrograph},
                                    {"average", Visualisation::SpectrographAverage},
                                    {"spectrogram-h", Visualisation::SpectrogramH},
                                    {"spectrogram-v", Visualisation::SpectrogramV},
                                    {"stereo-vector", Visualisation::StereoVector}},
                                   options.visualisation))
          return fail(
              "--visualisation must be spectrograph, average, spectrogram-h, spectrogram-v or "
              "stereo-vector, not '" +
              shown + "'");
        pictureOnly = name;
      } else if (name == "--freq-scale") {
        if (!lookUp<std::int32_t>(v, {{"normal", 1}, {"x2", 2}, {"x3", 3}, {"log", kFreqLog}},
                                  options.freqScale))
          return fail("--freq-scale must be normal, x2, x3 or log, not '" + shown + "'");
        pictureOnly = name;
      } else if (name == "--plot-size") {
        if (!parseSize(v, options.plotWidth, options.plotHeight))
          return fail("--plot-size must be WIDTHxHEIGHT from 1x1 to 8192x8192, not '" + shown +
                      "'");
        pictureOnly = name;
      }
      continue;
    }
    if (options.file) return fail("only one FILE can be analysed");
    options.file = std::string(arg);
  }

  if (!pictureOnly.empty() && !options.pictureDir) {
    return fail(pictureOnly + " needs --picture DIR");
  }
  if (options.listDevices) return {options, {}};
  if (options.device) {
    if (options.file) return fail("--device and FILE cannot be used together");
    if (options.pictureDir) return fail("--picture works on FILE only, not with --device");
    return {options, {}};
  }
  if (!options.file) {
    if (!options.selfTest || !options.blocks || !options.rate) {
      return fail("without FILE, --self-test, --blocks and --rate are required");
    }
  }
  return {options, {}};
}

void applyOptions(const Options& options, std::int32_t sampleRate, Analyser& analyser) {
  analyser.settings.sampleRate = sampleRate;
  analyser.settings.ampScale = options.ampScale;
  analyser.settings.weighting = options.weighting;
  analyser.settings.channelMode = options.channel;
  analyser.analysis.changeFftSize(options.fftBits);
  analyser.analysis.setWindow(options.window);
  analyser.selfTest = options.selfTest;
}

}  // namespace kestrel::analyze
