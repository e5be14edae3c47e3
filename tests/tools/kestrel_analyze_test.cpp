// kestrel-analyze end to end on small generated recordings: where tones land, clipping, the
// two output formats, block counting and padding, and every kind of error exit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tool_runner.h"

namespace kestrel {
namespace {

using testing::runTool;
using testing::testOutputDir;

const std::string kTool = KESTREL_ANALYZE_PATH;

std::string writeWav(const std::string& name, int rate, int channels,
                     const std::vector<std::int16_t>& samples) {
  return testing::writeWav(testOutputDir("kestrel-analyze") / name, rate, channels, samples);
}

std::vector<std::int16_t> stereoSine(double frequency, double amplitude, int rate, int frames) {
  std::vector<std::int16_t> samples(2 * frames);
  for (int k = 0; k < frames; ++k) {
    const auto v = static_cast<std::int16_t>(
        std::lround(amplitude * std::sin(2 * M_PI * frequency * k / rate)));
    samples[2 * k] = samples[2 * k + 1] = v;
  }
  return samples;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      result.push_back(text.substr(start) + "<no newline>");
      break;
    }
    result.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return result;
}

// The integers of the JSON array after "key":[ in line.
std::vector<std::int64_t> jsonArray(const std::string& line, const std::string& key) {
  std::vector<std::int64_t> values;
  std::size_t at = line.find("\"" + key + "\":[");
  if (at == std::string::npos) return values;
  at += key.size() + 4;
  const std::size_t end = line.find(']', at);
  std::string body = line.substr(at, end - at);
  std::replace(body.begin(), body.end(), ',', ' ');
  std::istringstream in(body);
  std::int64_t v;
  while (in >> v) values.push_back(v);
  return values;
}

std::size_t argmax(const std::vector<std::int64_t>& v) {
  return static_cast<std::size_t>(std::max_element(v.begin(), v.end()) - v.begin());
}

TEST(KestrelAnalyze, ToneLandsInItsBin) {
  struct Case {
    const char* fft;
    int bins, bin;
  };
  for (const Case c : {Case{"1024", 512, 40}, Case{"2048", 1024, 93}, Case{"4096", 2048, 300}}) {
    SCOPED_TRACE(c.fft);
    const double frequency = c.bin * 44100.0 / (2 * c.bins);
    const auto file =
        writeWav("tone.wav", 44100, 2, stereoSine(frequency, 10000, 44100, 8 * c.bins));
    const auto run =
        runTool(kTool, std::string("--fft ") + c.fft + " '" + file + "'", testOutputDir("tone"));
    ASSERT_EQ(run.status, 0) << run.err;
    const auto rows = lines(run.out);
    ASSERT_EQ(rows.size(), 8u);  // 8 blocks of FFT/2 frames
    for (std::size_t k = 1; k < rows.size(); ++k) {
      const auto levels = jsonArray(rows[k], "levels");
      ASSERT_EQ(levels.size(), static_cast<std::size_t>(c.bins));
      EXPECT_EQ(argmax(levels), static_cast<std::size_t>(c.bin)) << rows[k].substr(0, 80);
    }
  }
}

TEST(KestrelAnalyze, JsonLinesHaveTheFieldsInOrderAndTheAverageWarmsUp) {
  const auto file = writeWav("warm.wav", 48000, 2, stereoSine(3000, 16000, 48000, 10 * 1024));
  const auto run = runTool(kTool, "'" + file + "'", testOutputDir("jsonl"));
  ASSERT_EQ(run.status, 0) << run.err;
  const auto rows = lines(run.out);
  ASSERT_EQ(rows.size(), 10u);
  const std::string prefix = "{\"block\":0,\"clip_left\":false,\"clip_right\":false,\"peak_left\":";
  EXPECT_EQ(rows[0].substr(0, prefix.size()), prefix);
  EXPECT_NE(rows[0].find(",\"peak_right\":"), std::string::npos);
  EXPECT_LT(rows[0].find("\"levels\":["), rows[0].find("\"average\":["));
  EXPECT_EQ(rows[0].back(), '}');
  EXPECT_EQ(rows[0].find(' '), std::string::npos);
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const auto average = jsonArray(rows[k], "average");
    ASSERT_EQ(average.size(), 1024u);
    const bool warm = k >= 5;  // the five blocks after Start stay out of the average
    EXPECT_EQ(*std::max_element(average.begin(), average.end()) > 0, warm) << k;
  }
}

TEST(KestrelAnalyze, FullScaleSquareClipsAndBlocksArePaddedAndCounted) {
  std::vector<std::int16_t> samples(2 * 2500);
  for (int k = 0; k < 2500; ++k) {
    samples[2 * k] = (k / 50) % 2 ? std::int16_t{-32768} : std::int16_t{32767};
    samples[2 * k + 1] = 0;
  }
  const auto file = writeWav("square.wav", 44100, 2, samples);
  const auto run = runTool(kTool, "'" + file + "'", testOutputDir("square"));
  ASSERT_EQ(run.status, 0) << run.err;
  const auto rows = lines(run.out);
  ASSERT_EQ(rows.size(), 3u);  // 2500 frames: two whole blocks of 1024 and a padded third
  for (const auto& row : rows) {
    EXPECT_NE(
        row.find("\"clip_left\":true,\"clip_right\":false,\"peak_left\":65535,\"peak_right\":0"),
        std::string::npos)
        << row.substr(0, 100);
  }
  const auto limited = runTool(kTool, "--blocks 2 '" + file + "'", testOutputDir("square2"));
  EXPECT_EQ(lines(limited.out).size(), 2u);
}

TEST(KestrelAnalyze, CsvHasAHeaderAndOneColumnPerBin) {
  const auto file = writeWav("csv.wav", 8000, 1, std::vector<std::int16_t>(3 * 512, 100));
  const auto run =
      runTool(kTool, "--format csv --fft 1024 --scale 100db '" + file + "'", testOutputDir("csv"));
  ASSERT_EQ(run.status, 0) << run.err;
  const auto rows = lines(run.out);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].substr(0, 55), "block,clip_left,clip_right,peak_left,peak_right,level_0");
  EXPECT_NE(rows[0].find(",level_511,average_0,"), std::string::npos);
  for (const auto& row : rows) EXPECT_EQ(std::count(row.begin(), row.end(), ','), 4 + 2 * 512);
  // A mono file feeds both channels; block 0's previous half is silence.
  EXPECT_EQ(rows[1].substr(0, 22), "0,false,false,100,100,");
}

TEST(KestrelAnalyze, SelfTestWithoutFileShowsTheSweep) {
  const auto run = runTool(kTool, "--self-test --rate 44100 --blocks 12", testOutputDir("self"));
  ASSERT_EQ(run.status, 0) << run.err;
  const auto rows = lines(run.out);
  ASSERT_EQ(rows.size(), 12u);
  // Around 1 kHz, bin 46 or 47 of 1024 at 21.5 Hz per bin; never clipping.
  const auto peak = argmax(jsonArray(rows[11], "levels"));
  EXPECT_GE(peak, 45u);
  EXPECT_LE(peak, 47u);
  for (const auto& row : rows)
    EXPECT_NE(row.find("\"clip_left\":false,\"clip_right\":false"), std::string::npos);
}

TEST(KestrelAnalyze, ErrorsExitWithTheRightStatusAndMessage) {
  const auto dir = testOutputDir("errors");
  const auto notAudio = (dir / "notes.txt").string();
  { std::ofstream(notAudio) << "not a sound file\n"; }
  testing::expectToolErrors(kTool,
                            {
                                {"--fft 512 x.wav", 2, "usage:"},
                                {"--window square x.wav", 2, "--window must be"},
                                {"--bogus x.wav", 2, "unknown option --bogus"},
                                {"--self-test --blocks 3", 2, "required"},
                                {"--rate 44100 --blocks 3", 2, "required"},
                                {"a.wav b.wav", 2, "only one FILE"},
                                {"--blocks -1 x.wav", 2, "--blocks must be"},
                                {"'" + (dir / "missing.wav").string() + "'", 1, "missing.wav"},
                                {"'" + notAudio + "'", 1, "notes.txt"},
                            },
                            dir);
  const auto help = runTool(kTool, "--help", dir);
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.substr(0, 22), "usage: kestrel-analyze");
}

}  // namespace
}  // namespace kestrel
