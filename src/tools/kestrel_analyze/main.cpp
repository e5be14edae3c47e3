// kestrel-analyze: the analyser's engine on the command line. Plays a file (or silence under
// the self-test) through a simulated input device, one buffer at a time, and prints what the
// analyser computes for every block.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "capture/analyser.h"
#include "capture/drivers/file/sndfile_source.h"
#include "capture/drivers/simulated/simulated_driver.h"
#include "capture/notification_queue.h"
#include "tools/kestrel_analyze/block_writer.h"
#include "tools/kestrel_analyze/live.h"
#include "tools/kestrel_analyze/options.h"
#include "tools/kestrel_analyze/picture.h"

namespace {

using namespace kestrel;

// Hands every block to the output writer and, with --picture, to the picture renderer.
class BothObservers final : public BlockObserver {
 public:
  BothObservers(BlockObserver& first, BlockObserver* second) : first_(first), second_(second) {}
  void levelsMeasured(const PeakScan& peaks) override {
    first_.levelsMeasured(peaks);
    if (second_ != nullptr) second_->levelsMeasured(peaks);
  }
  void displayStep(const BlockResult& block) override {
    first_.displayStep(block);
    if (second_ != nullptr) second_->displayStep(block);
  }

 private:
  BlockObserver& first_;
  BlockObserver* second_;
};

int usageError(const std::string& why) {
  std::fprintf(stderr, "kestrel-analyze: %s\n%s", why.c_str(), analyze::kUsage);
  return 2;
}

int run(const analyze::Options& options) {
  sim::SourcePtr signal = sim::silence();
  std::int32_t rate = options.rate.value_or(0);
  std::int64_t blocks = options.blocks.value_or(0);
  const std::int32_t blockFrames = deriveBlockSizes(options.fftBits).blockFrames;

  if (options.file) {
    auto opened = SndfileSource::open(*options.file);
    if (!opened) {
      std::fprintf(stderr, "kestrel-analyze: %s\n", opened.error().text.c_str());
      return 1;
    }
    const AudioFileInfo info = (*opened)->info();
    if (!options.rate) rate = info.sampleRate;
    if (rate <= 0) {
      std::fprintf(stderr, "kestrel-analyze: '%s' has no usable sample rate; give --rate\n",
                   options.file->c_str());
      return 1;
    }
    // Every block is a whole buffer; the last partial one is padded with silence.
    const std::int64_t fileBlocks = (info.frames + blockFrames - 1) / blockFrames;
    blocks = options.blocks ? std::min(*options.blocks, fileBlocks) : fileBlocks;
    signal = *opened;
  }

  if (options.pictureDir) {
    // Find out now, not after the whole run, that the pictures cannot be written.
    std::error_code error;
    std::filesystem::create_directories(*options.pictureDir, error);
    if (error) {
      std::fprintf(stderr, "kestrel-analyze: cannot create '%s': %s\n", options.pictureDir->c_str(),
                   error.message().c_str());
      return 1;
    }
  }

  sim::Config config;
  config.inputs.push_back(
      {options.file ? *options.file : std::string("silence"), kAllWaveFormats, signal, {}});
  sim::SimulatedDriver driver(std::move(config));
  NotificationQueue queue;
  auto analyser = std::make_unique<Analyser>(driver, queue);

  // A fresh program start: four buffers of zeros, then the settings, then Start.
  analyze::applyOptions(options, rate, *analyser);

  analyze::BlockWriter writer(stdout, options.format);
  std::unique_ptr<analyze::PictureRenderer> picture;
  if (options.pictureDir) {
    DisplaySettings display;
    display.visualisation = options.visualisation;
    display.ampScale = options.ampScale;
    display.freqScale = options.freqScale;
    display.sampleRate = rate;
    display.fftSize = deriveBlockSizes(options.fftBits).fftSize;
    picture =
        std::make_unique<analyze::PictureRenderer>(display, options.plotWidth, options.plotHeight);
  }
  BothObservers observers(writer, picture.get());
  analyser->setObserver(&observers);

  const StartResult started = analyser->start(0);
  if (started.outcome != StartOutcome::Started) {
    std::fprintf(stderr, "kestrel-analyze: %s\n", started.errorText.c_str());
    return 1;
  }
  WaveMessage message;
  while (writer.blocksWritten() < blocks && writer.ok()) {
    if (!driver.deliverBuffer()) {
      std::fprintf(stderr, "kestrel-analyze: the input stopped delivering after %lld blocks\n",
                   static_cast<long long>(writer.blocksWritten()));
      analyser->stop();
      return 1;
    }
    while (queue.tryTake(message)) analyser->handleMessage(message);
  }
  analyser->setObserver(nullptr);
  analyser->stop();
  if (std::fflush(stdout) != 0 || !writer.ok()) {
    std::fprintf(stderr, "kestrel-analyze: could not write the output\n");
    return 1;
  }
  if (picture) {
    if (auto written = picture->write(*options.pictureDir); !written) {
      std::fprintf(stderr, "kestrel-analyze: %s\n", written.error().text.c_str());
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const kestrel::analyze::ParseResult parsed = kestrel::analyze::parseOptions(args);
  if (!parsed.options) return usageError(parsed.error);
  if (parsed.options->help) {
    std::fputs(kestrel::analyze::kUsage, stdout);
    return 0;
  }
  if (parsed.options->listDevices) return kestrel::analyze::listDevices();
  if (parsed.options->device) return kestrel::analyze::runLive(*parsed.options);
  return run(*parsed.options);
}
