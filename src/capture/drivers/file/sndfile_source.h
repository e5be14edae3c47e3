// An audio file as the signal of a simulated input: any format libsndfile reads, converted to
// 16-bit stereo with clipping on (1.0 of float data is 32767). A mono file feeds both channels;
// of more channels the first two are used. Past the end it renders silence.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/result.h"
#include "capture/drivers/simulated/sample_source.h"

namespace kestrel {

struct AudioFileInfo {
  std::int64_t frames = 0;
  std::int32_t sampleRate = 0;
  std::int32_t channels = 0;
};

class SndfileSource final : public sim::SampleSource {
 public:
  // The error's text names the file and gives libsndfile's reason.
  static Result<std::shared_ptr<SndfileSource>> open(const std::string& path);
  ~SndfileSource() override;

  const AudioFileInfo& info() const { return info_; }
  // Frames rendered from the file so far (silence past the end not counted).
  std::int64_t position() const { return position_; }

  // The sample rate argument is ignored: the file plays at whatever rate it is asked for.
  void render(std::int16_t* interleaved, std::int32_t frames, std::int32_t sampleRate) override;

 private:
  struct Handle;
  SndfileSource(std::unique_ptr<Handle> handle, AudioFileInfo info);
  std::unique_ptr<Handle> handle_;
  AudioFileInfo info_;
  std::int64_t position_ = 0;
};

}  // namespace kestrel
