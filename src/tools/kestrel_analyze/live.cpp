// Live capture for kestrel-analyze: the Analyser on a PulseDriver, its notifications taken from
// a queue on the main thread, with Ctrl-C ending the capture cleanly.
#include "tools/kestrel_analyze/live.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>

#include "capture/analyser.h"
#include "capture/drivers/pulse/pulse_driver.h"
#include "capture/notification_queue.h"
#include "tools/kestrel_analyze/block_writer.h"

namespace kestrel::analyze {
namespace {

std::atomic<bool> interrupted{false};  // lock-free, so a signal handler may set it
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int) {
  interrupted.store(true);
}

// How often the loop looks at the Ctrl-C flag while it waits for a block.
constexpr std::chrono::milliseconds kPoll{50};
// A started capture that delivers nothing for this long is given up (a stuck server).
constexpr std::chrono::seconds kSilenceLimit{10};

// The block writer, plus noticing that the device went away.
class LiveObserver final : public BlockObserver {
 public:
  explicit LiveObserver(BlockWriter& writer) : writer_(writer) {}
  void levelsMeasured(const PeakScan& peaks) override { writer_.levelsMeasured(peaks); }
  void displayStep(const BlockResult& block) override { writer_.displayStep(block); }
  void deviceLost() override { lost = true; }
  bool lost = false;

 private:
  BlockWriter& writer_;
};

// Reads the device list afresh; false when no server answered (an empty list from a server
// that is there is not that).
bool serverReachable(WaveDriver& driver, std::uint32_t& inputs) {
  inputs = driver.waveInGetNumDevs();
  if (inputs > 0) return true;
  WAVEINCAPS caps;
  return driver.waveInGetDevCaps(WAVE_MAPPER, caps) != MMSYSERR_NODRIVER;
}

}  // namespace

int listDevices() {
  pulse::PulseDriver driver;
  std::uint32_t n = 0;
  if (!serverReachable(driver, n)) {
    std::fprintf(stderr, "kestrel-analyze: %s\n",
                 driver.waveInGetErrorText(MMSYSERR_NODRIVER).c_str());
    return 1;
  }
  for (std::uint32_t id = 0; id < n; ++id) {
    WAVEINCAPS caps;
    driver.waveInGetDevCaps(static_cast<DeviceId>(id), caps);  // a failed query: an empty name
    std::printf("%u\t%s\n", id, caps.szPname.c_str());
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int runLive(const Options& options) {
  pulse::PulseDriver driver;
  NotificationQueue queue;
  auto analyser = std::make_unique<Analyser>(driver, queue);
  applyOptions(options, options.rate.value_or(kDefaultSampleRate), *analyser);

  BlockWriter writer(stdout, options.format);
  LiveObserver observer(writer);
  analyser->setObserver(&observer);

  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  const StartResult started = analyser->start(*options.device);
  if (started.outcome != StartOutcome::Started) {
    std::fprintf(stderr, "kestrel-analyze: %s\n", started.errorText.c_str());
    return 1;
  }
  bool silent = false;
  auto lastBlock = std::chrono::steady_clock::now();
  WaveMessage message;
  while (!interrupted.load() && !observer.lost && writer.ok() &&
         (!options.blocks || writer.blocksWritten() < *options.blocks)) {
    if (queue.waitTake(message, kPoll)) {
      analyser->handleMessage(message);
      lastBlock = std::chrono::steady_clock::now();
    } else if (std::chrono::steady_clock::now() - lastBlock > kSilenceLimit) {
      silent = true;
      break;
    }
  }
  // Blocks that arrive while Stop waits are not analysed (the capture has ended).
  analyser->stop();
  analyser->setObserver(nullptr);
  const bool flushed = std::fflush(stdout) == 0 && writer.ok();
  if (observer.lost) {
    // Say whether the device went or the whole sound server did.
    std::uint32_t inputs = 0;
    const MMRESULT why = serverReachable(driver, inputs) ? MMSYSERR_NODEVICE : MMSYSERR_NODRIVER;
    std::fprintf(stderr, "kestrel-analyze: the input stopped after %lld blocks: %s\n",
                 static_cast<long long>(writer.blocksWritten()),
                 driver.waveInGetErrorText(why).c_str());
    return 1;
  }
  if (silent) {
    std::fprintf(stderr, "kestrel-analyze: the input delivered nothing for %lld s; giving up\n",
                 static_cast<long long>(kSilenceLimit.count()));
    return 1;
  }
  if (!flushed) {
    std::fprintf(stderr, "kestrel-analyze: could not write the output\n");
    return 1;
  }
  return 0;
}

}  // namespace kestrel::analyze
