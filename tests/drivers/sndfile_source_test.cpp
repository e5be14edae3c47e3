// SndfileSource on small files that the test writes itself with libsndfile.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <type_traits>
#include <vector>

#include "capture/drivers/file/sndfile_source.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

fs::path outputDir() {
  const char* fromEnv = std::getenv("KESTREL_TEST_OUTPUT");
  fs::path dir = fromEnv != nullptr && *fromEnv != '\0'
                     ? fs::path(fromEnv)
                     : fs::temp_directory_path() / "kestrel-tests";
  dir /= "drivers";
  fs::create_directories(dir);
  return dir;
}

// Writes interleaved frames of the given channel count; format e.g. SF_FORMAT_WAV | PCM_16.
template <typename Sample>
std::string writeFile(const std::string& name, int format, int channels,
                      const std::vector<Sample>& interleaved) {
  const std::string path = (outputDir() / name).string();
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
  if (file == nullptr) return path;
  const sf_count_t frames = static_cast<sf_count_t>(interleaved.size()) / channels;
  if constexpr (std::is_same_v<Sample, float>) {
    EXPECT_EQ(sf_writef_float(file, interleaved.data(), frames), frames);
  } else {
    EXPECT_EQ(sf_writef_short(file, interleaved.data(), frames), frames);
  }
  sf_close(file);
  return path;
}

std::shared_ptr<SndfileSource> openOrFail(const std::string& path) {
  auto source = SndfileSource::open(path);
  EXPECT_TRUE(source.ok()) << source.error().text;
  return source.ok() ? source.value() : nullptr;
}

std::vector<std::int16_t> render(SndfileSource& source, std::int32_t frames) {
  std::vector<std::int16_t> out(2 * static_cast<std::size_t>(frames), 0x5555);
  source.render(out.data(), frames, 48000);
  return out;
}

TEST(SndfileSource, MonoFeedsBothChannelsAcrossChunksThenSilence) {
  // More frames than one read of the source holds, so it must read in pieces.
  std::vector<short> mono(10000);
  for (std::size_t k = 0; k < mono.size(); ++k)
    mono[k] = static_cast<short>(3 * static_cast<int>(k) - 15000);
  mono[1] = 32767;
  mono[2] = -32768;
  const auto source = openOrFail(writeFile("mono.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, mono));
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(source->info().frames, 10000);
  EXPECT_EQ(source->info().channels, 1);
  EXPECT_EQ(source->info().sampleRate, 44100);

  const auto first = render(*source, 9000);
  const auto rest = render(*source, 1500);  // the last 1000 frames, then silence
  for (std::size_t k = 0; k < 10500; ++k) {
    const std::int16_t expected = k < 10000 ? mono[k] : 0;
    const std::int16_t left = k < 9000 ? first[2 * k] : rest[2 * (k - 9000)];
    const std::int16_t right = k < 9000 ? first[2 * k + 1] : rest[2 * (k - 9000) + 1];
    ASSERT_EQ(left, expected) << "frame " << k;
    ASSERT_EQ(right, expected) << "frame " << k;
  }
  EXPECT_EQ(source->position(), 10000);
  const auto after = render(*source, 10);
  EXPECT_EQ(after, std::vector<std::int16_t>(20, 0));
  EXPECT_EQ(source->position(), 10000);
}

TEST(SndfileSource, OfThreeChannelsTheFirstTwoAreUsed) {
  const std::vector<short> frames = {1, 2, 3, -4, -5, -6, 7, 8, 9};
  const auto source =
      openOrFail(writeFile("three.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3, frames));
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(source->info().channels, 3);
  EXPECT_EQ(render(*source, 4), (std::vector<std::int16_t>{1, 2, -4, -5, 7, 8, 0, 0}));
}

// 1.0 is full scale (32767), whatever the file's own peak; beyond it the samples clip.
TEST(SndfileSource, AnOverFullFloatFileClipsAtFullScale) {
  const std::vector<float> frames = {2.0f, -2.0f, 1000.0f, -1000.0f, 0.0f,
                                     1.5f, 1.0f,  -1.0f,   0.25f,    -0.25f};
  const auto source = openOrFail(writeFile("loud.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, frames));
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(render(*source, 6), (std::vector<std::int16_t>{32767, -32768, 32767, -32768, 0, 32767,
                                                           32767, -32767, 8192, -8192, 0, 0}));
}

TEST(SndfileSource, AFileThatCannotBeReadIsNamedInTheError) {
  const std::string text = (outputDir() / "notes.wav").string();
  std::ofstream(text) << "These are not the samples you are looking for.\n";
  const std::string missing = (outputDir() / "no such file.flac").string();
  for (const std::string& path : {text, missing}) {
    const auto source = SndfileSource::open(path);
    ASSERT_FALSE(source.ok()) << path;
    const std::string& message = source.error().text;
    const std::string prefix = "cannot read '" + path + "': ";
    EXPECT_EQ(message.rfind(prefix, 0), 0u) << message;
    EXPECT_GT(message.size(), prefix.size()) << "no reason given: " << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
  }
}

}  // namespace
}  // namespace kestrel
