// Surfaces through PNG files and back, and the errors a user would see.
#include "display/png/png_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace kestrel {
namespace {

std::filesystem::path outputDir() {
  const char* out = std::getenv("KESTREL_TEST_OUTPUT");
  std::filesystem::path dir = out && *out ? out : std::filesystem::temp_directory_path();
  dir /= "png";
  std::filesystem::create_directories(dir);
  return dir;
}

TEST(Png, RoundTripKeepsEveryPixel) {
  Surface s(7, 5);
  for (std::int32_t y = 0; y < 5; ++y)
    for (std::int32_t x = 0; x < 7; ++x)
      s.setPixel(x, y,
                 rgb(static_cast<std::uint8_t>(x * 40), static_cast<std::uint8_t>(y * 60),
                     static_cast<std::uint8_t>(255 - x * y)));
  const std::string path = (outputDir() / "round-trip.png").string();
  ASSERT_TRUE(writePng(s, path).ok());
  Result<Surface> back = readPng(path);
  ASSERT_TRUE(back.ok()) << back.error().text;
  ASSERT_EQ(back->width(), 7);
  ASSERT_EQ(back->height(), 5);
  for (std::int32_t y = 0; y < 5; ++y)
    for (std::int32_t x = 0; x < 7; ++x) EXPECT_EQ(back->pixel(x, y), s.pixel(x, y));
}

TEST(Png, ErrorsNameTheFile) {
  const std::string missing = (outputDir() / "no-such-picture.png").string();
  std::filesystem::remove(missing);
  Result<Surface> read = readPng(missing);
  ASSERT_FALSE(read.ok());
  EXPECT_NE(read.error().text.find(missing), std::string::npos) << read.error().text;

  const std::string unwritable = (outputDir() / "no-such-dir" / "x.png").string();
  Result<bool> written = writePng(Surface(2, 2), unwritable);
  ASSERT_FALSE(written.ok());
  EXPECT_NE(written.error().text.find(unwritable), std::string::npos) << written.error().text;

  const std::string notPng = (outputDir() / "not-a-picture.png").string();
  {
    std::FILE* f = std::fopen(notPng.c_str(), "w");
    std::fputs("hello", f);
    std::fclose(f);
  }
  EXPECT_FALSE(readPng(notPng).ok());
}

}  // namespace
}  // namespace kestrel
