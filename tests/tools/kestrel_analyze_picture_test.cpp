// kestrel-analyze --picture: the files it writes, their sizes, the lamps, a spectrogram that
// shows the tone where it should, and the picture options' errors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "display/png/png_file.h"
#include "tool_runner.h"

namespace kestrel {
namespace {

using testing::readFile;
using testing::runTool;
using testing::testOutputDir;

const std::string kTool = KESTREL_ANALYZE_PATH;

// A square wave clipping on the left and a quiet tone at bin 100 of 1024 on the right.
std::string clippingFile(const std::filesystem::path& dir) {
  const int frames = 40 * 1024;
  std::vector<std::int16_t> samples(2 * frames);
  for (int k = 0; k < frames; ++k) {
    samples[2 * k] = (k / 64) % 2 ? std::int16_t{-32768} : std::int16_t{32767};
    samples[2 * k + 1] =
        static_cast<std::int16_t>(std::lround(3000 * std::sin(2 * M_PI * 100 * k / 2048.0)));
  }
  return testing::writeWav(dir / "input.wav", 44100, 2, samples);
}

TEST(KestrelAnalyzePicture, WritesEveryFileAtTheWindowsSizes) {
  const auto dir = testOutputDir("picture-files");
  const auto file = clippingFile(dir);
  const auto out = dir / "out";
  std::filesystem::remove_all(out);
  const auto run =
      runTool(kTool, "--picture '" + out.string() + "' --plot-size 300x200 '" + file + "'", dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(run.out.empty());  // the analysis is printed as without --picture
  struct Expected {
    const char* name;
    std::int32_t width, height;
  };
  for (const Expected e : {Expected{"plot.png", 300, 200}, Expected{"amplitude-ruler.png", 40, 200},
                           Expected{"frequency-ruler.png", 340, 33},
                           Expected{"bar-left.png", 291, 9}, Expected{"bar-right.png", 291, 9}}) {
    SCOPED_TRACE(e.name);
    auto picture = readPng((out / e.name).string());
    ASSERT_TRUE(picture.ok()) << picture.error().text;
    EXPECT_EQ(picture->width(), e.width);
    EXPECT_EQ(picture->height(), e.height);
  }
  // The left channel clips; the right one does not.
  EXPECT_EQ(readFile(out / "clip.txt"), "left 255 96 96\nright 239 239 239\n");
  // The clipping block draws the spectrum red on the white panel.
  auto plot = readPng((out / "plot.png").string());
  ASSERT_TRUE(plot.ok());
  bool red = false;
  for (std::int32_t y = 0; y < plot->height() && !red; ++y) {
    for (std::int32_t x = 0; x < plot->width() && !red; ++x)
      red = plot->pixel(x, y) == rgb(255, 0, 0);
  }
  EXPECT_TRUE(red);
  EXPECT_EQ(plot->pixel(299, 0), kWhite);
}

TEST(KestrelAnalyzePicture, VerticalSpectrogramShowsTheToneInItsColumn) {
  const auto dir = testOutputDir("picture-spectrogram");
  const auto file = clippingFile(dir);
  const auto out = dir / "out";
  const auto run = runTool(kTool,
                           "--picture '" + out.string() +
                               "' --visualisation spectrogram-v --channel right '" + file + "'",
                           dir);
  ASSERT_EQ(run.status, 0) << run.err;
  auto plot = readPng((out / "plot.png").string());
  ASSERT_TRUE(plot.ok()) << plot.error().text;
  ASSERT_EQ(plot->width(), 948);
  const std::int32_t newest = plot->height() - 2;
  EXPECT_NE(plot->pixel(100, newest), kBlack);  // the tone's bin
  EXPECT_EQ(plot->pixel(600, newest), kBlack);  // far from it: nothing
  EXPECT_EQ(plot->pixel(100, 0), kBlack);       // older than the recording: the black panel
  EXPECT_EQ(plot->pixel(100, plot->height() - 1), kBlack);  // the last row never gets pixels
}

TEST(KestrelAnalyzePicture, PictureOptionsAreChecked) {
  const auto dir = testOutputDir("picture-errors");
  const auto blocker = dir / "a-file";
  { std::ofstream(blocker) << "x"; }
  testing::expectToolErrors(
      kTool,
      {
          {"--visualisation average --self-test --rate 8000 --blocks 2", 2, "needs --picture"},
          {"--picture p --plot-size 0x10 x.wav", 2, "--plot-size must be"},
          {"--picture p --plot-size 100 x.wav", 2, "--plot-size must be"},
          {"--picture p --freq-scale x4 x.wav", 2, "--freq-scale must be"},
          {"--picture '" + (blocker / "sub").string() + "' --self-test --rate 8000 --blocks 2", 1,
           "cannot create"},
      },
      dir);
}

}  // namespace
}  // namespace kestrel
