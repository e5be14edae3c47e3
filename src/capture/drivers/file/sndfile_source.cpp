// Reads an audio file through libsndfile as the signal of a simulated input. libsndfile converts
// integer and compressed data to 16 bits (with clipping on); this file maps channels, pads the
// end with silence, and converts float data itself (see fullScaleToInt16).
#include "capture/drivers/file/sndfile_source.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/numeric.h"

namespace kestrel {

namespace {
// Frames read from the file per libsndfile call; the scratch for them is allocated at open.
constexpr std::int32_t kScratchFrames = 4096;

// libsndfile reads float data as 16-bit either unscaled (1.0 becomes 1) or scaled by the file's
// own peak (a quiet file comes out at full scale), so float files are read as float and
// converted here: 1.0 is 32767, as libsndfile scales integer data, and what lies beyond clips
// as libsndfile's clipping conversion does.
std::int16_t fullScaleToInt16(float value) {
  const float scaled = value * 32767.0f;  // in float, as libsndfile scales
  if (scaled >= 32767.0f) return 32767;
  if (scaled <= -32768.0f) return -32768;
  // Round to nearest (ties to even, as lrintf); NaN becomes 0.
  return static_cast<std::int16_t>(truncToInt64(std::nearbyint(scaled)));
}

bool holdsFloatData(const SF_INFO& info) {
  const int subtype = info.format & SF_FORMAT_SUBMASK;
  return subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
}
}  // namespace

struct SndfileSource::Handle {
  SNDFILE* file = nullptr;
  // kScratchFrames frames of the file's own channel count; only the one in use is allocated.
  std::vector<short> shortScratch;
  std::vector<float> floatScratch;
  bool atEnd = false;

  // Reads up to `wanted` frames into the scratch; returns how many came.
  sf_count_t read(std::int32_t wanted) {
    const sf_count_t got = floatScratch.empty() ? sf_readf_short(file, shortScratch.data(), wanted)
                                                : sf_readf_float(file, floatScratch.data(), wanted);
    if (got < wanted) atEnd = true;
    return std::max<sf_count_t>(got, 0);
  }

  std::int16_t sample(sf_count_t index) const {
    return floatScratch.empty() ? shortScratch[static_cast<std::size_t>(index)]
                                : fullScaleToInt16(floatScratch[static_cast<std::size_t>(index)]);
  }

  ~Handle() {
    if (file != nullptr) sf_close(file);
  }
};

Result<std::shared_ptr<SndfileSource>> SndfileSource::open(const std::string& path) {
  SF_INFO sfInfo{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &sfInfo);
  if (file == nullptr) {
    // With no handle, libsndfile keeps the reason of the last failed open.
    return Error{sf_error(nullptr), "cannot read '" + path + "': " + sf_strerror(nullptr)};
  }
  auto handle = std::make_unique<Handle>();
  handle->file = file;
  if (sfInfo.channels < 1) {
    return Error{SF_ERR_UNRECOGNISED_FORMAT,
                 "cannot read '" + path + "': the file has no channels"};
  }
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  const std::size_t scratchSize =
      static_cast<std::size_t>(kScratchFrames) * static_cast<std::size_t>(sfInfo.channels);
  if (holdsFloatData(sfInfo)) {
    handle->floatScratch.resize(scratchSize);
  } else {
    handle->shortScratch.resize(scratchSize);
  }
  AudioFileInfo info;
  info.frames = sfInfo.frames;
  info.sampleRate = sfInfo.samplerate;
  info.channels = sfInfo.channels;
  return std::shared_ptr<SndfileSource>(new SndfileSource(std::move(handle), info));
}

SndfileSource::SndfileSource(std::unique_ptr<Handle> handle, AudioFileInfo info)
    : handle_(std::move(handle)), info_(info) {}

SndfileSource::~SndfileSource() = default;

void SndfileSource::render(std::int16_t* interleaved, std::int32_t frames, std::int32_t) {
  const sf_count_t channels = info_.channels;
  std::int32_t done = 0;
  while (done < frames && !handle_->atEnd) {
    const sf_count_t got = handle_->read(std::min(frames - done, kScratchFrames));
    std::int16_t* out = interleaved + 2 * static_cast<std::int64_t>(done);
    for (sf_count_t i = 0; i < got; ++i) {
      const std::int16_t left = handle_->sample(i * channels);
      // A mono file feeds both channels; of more channels the first two are used.
      const std::int16_t right = channels >= 2 ? handle_->sample(i * channels + 1) : left;
      out[2 * i] = left;
      out[2 * i + 1] = right;
    }
    done += static_cast<std::int32_t>(got);
    position_ += got;
  }
  std::fill(interleaved + 2 * static_cast<std::int64_t>(done),
            interleaved + 2 * static_cast<std::int64_t>(std::max(frames, 0)), std::int16_t{0});
}

}  // namespace kestrel
