// The simulated wave driver: devices from a configuration, buffers filled in queue order from
// each device's signal, either on request (stepped) or by a thread of its own at the sample rate
// (real time), with faults that tests can inject.
//
// Locking: one mutex guards all state. Notifications are posted with that mutex held, so a
// message about a handle can never arrive after waveInClose of that handle has returned (the
// caller may destroy its target then). A target's post() must therefore never call back into
// the driver; NotificationQueue only takes its own lock for a moment.
#include "capture/drivers/simulated/simulated_driver.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

namespace kestrel::sim {
namespace {

using Clock = std::chrono::steady_clock;

// A device holds at most this many buffers at once; the analyser hands out four.
constexpr std::size_t kQueueCapacity = 16;
// The real-time thread wakes at least this often even with nothing due, so a missed wake-up
// costs no more than this and the thread never sleeps unbounded.
constexpr auto kIdleWait = std::chrono::milliseconds(100);

std::uint32_t loadFlags(WAVEHDR* header) {
  return std::atomic_ref<std::uint32_t>(header->dwFlags).load(std::memory_order_acquire);
}

void storeFlags(WAVEHDR* header, std::uint32_t flags) {
  std::atomic_ref<std::uint32_t>(header->dwFlags).store(flags, std::memory_order_release);
}

// The header goes back to its owner: bytes recorded first, then WHDR_DONE with release, so a
// reader that sees WHDR_DONE (acquire) also sees the samples and the byte count.
void markDone(WAVEHDR* header, std::uint32_t bytesRecorded) {
  header->dwBytesRecorded = bytesRecorded;
  storeFlags(header, (loadFlags(header) & ~WHDR_INQUEUE) | WHDR_DONE);
}

bool formatAccepted(const WAVEFORMATEX& format) {
  return format.wFormatTag == WAVE_FORMAT_PCM && format.nChannels == 2 &&
         format.wBitsPerSample == 16 && format.nBlockAlign == 4 && format.nSamplesPerSec > 0 &&
         format.nSamplesPerSec <= 0xFFFFFFFFu / 4 &&
         format.nAvgBytesPerSec == format.nSamplesPerSec * 4;
}

struct DeviceEntry {
  InputDevice device;  // signal never empty
  HWAVEIN openBy = kNoWaveIn;
};

// One open handle and the headers its device holds, oldest first.
struct OpenInput {
  HWAVEIN handle = kNoWaveIn;
  SourcePtr signal;
  NotificationTarget* target = nullptr;
  std::int32_t sampleRate = 0;
  bool started = false;
  bool lost = false;     // the device was removed: it delivers nothing any more
  bool holding = false;  // the front header is kept for ever (holdBuffer)
  std::array<WAVEHDR*, kQueueCapacity> queue{};
  std::size_t head = 0;
  std::size_t count = 0;
  // Real time: when the front buffer began recording; empty while nothing is being recorded.
  std::optional<Clock::time_point> fillStart;

  WAVEHDR* at(std::size_t i) const { return queue[(head + i) % kQueueCapacity]; }
  void push(WAVEHDR* header) {
    queue[(head + count) % kQueueCapacity] = header;
    ++count;
  }
  WAVEHDR* pop() {
    WAVEHDR* header = queue[head];
    head = (head + 1) % kQueueCapacity;
    --count;
    return header;
  }
  std::optional<std::size_t> indexOf(const WAVEHDR* header) const {
    for (std::size_t i = 0; i < count; ++i) {
      if (at(i) == header) return i;
    }
    return std::nullopt;
  }
  void erase(std::size_t index) {
    for (std::size_t i = index; i + 1 < count; ++i) {
      queue[(head + i) % kQueueCapacity] = queue[(head + i + 1) % kQueueCapacity];
    }
    --count;
  }
  bool canDeliver() const { return started && !lost && !holding && count > 0; }
};

Clock::duration bufferDuration(const WAVEHDR* header, std::int32_t sampleRate) {
  const std::int64_t frames = header->dwBufferLength / 4;
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::nanoseconds(frames * 1'000'000'000 / sampleRate));
}

}  // namespace

struct SimulatedDriver::Impl {
  mutable std::mutex mutex;
  std::condition_variable wake;  // something changed that the real-time thread should see

  std::vector<DeviceEntry> inputs;
  std::vector<OutputDevice> outputs;
  std::vector<Mixer> mixers;
  Pacing pacing = Pacing::Stepped;

  std::vector<std::unique_ptr<OpenInput>> open;  // in the order they were opened
  HWAVEIN nextHandle = 1;
  Stats stats;

  std::optional<MMRESULT> openFault;
  std::optional<MMRESULT> startFault;
  int addBufferCountdown = 0;  // 0: no fault armed
  MMRESULT addBufferFault = MMSYSERR_NOERROR;
  int holdCountdown = 0;  // 0: no hold armed

  bool stopping = false;
  std::thread thread;

  OpenInput* find(HWAVEIN handle) {
    for (auto& input : open) {
      if (input->handle == handle) return input.get();
    }
    return nullptr;
  }

  // WAVE_MAPPER is the first device. With no device at all there is nothing to map to, which
  // is the absence of a sound input rather than a bad choice: MMSYSERR_NODRIVER.
  MMRESULT resolveInput(DeviceId id, std::size_t& index) const {
    if (id == WAVE_MAPPER) {
      if (inputs.empty()) return MMSYSERR_NODRIVER;
      index = 0;
      return MMSYSERR_NOERROR;
    }
    if (id < 0 || static_cast<std::size_t>(id) >= inputs.size()) return MMSYSERR_BADDEVICEID;
    index = static_cast<std::size_t>(id);
    return MMSYSERR_NOERROR;
  }

  void armClock(OpenInput& input) {
    if (pacing == Pacing::RealTime && input.canDeliver() && !input.fillStart) {
      input.fillStart = Clock::now();
    }
  }

  // Fills the front header from the signal, hands it back and posts MM_WIM_DATA. False when the
  // front header is (or now becomes) held.
  bool fillFront(OpenInput& input) {
    if (!input.canDeliver()) return false;
    if (holdCountdown > 0 && --holdCountdown == 0) {
      input.holding = true;
      return false;
    }
    WAVEHDR* header = input.pop();
    const auto frames = static_cast<std::int32_t>(header->dwBufferLength / 4);
    render(input, header->lpData, frames);
    markDone(header, static_cast<std::uint32_t>(frames) * 4);
    ++stats.delivered;
    if (input.target != nullptr) input.target->post({MM_WIM_DATA, input.handle, header});
    return true;
  }

  // Straight into the buffer; a buffer that is not aligned for 16-bit samples goes through a
  // small chunk on the stack instead, since writing it through an int16_t pointer is undefined.
  static void render(OpenInput& input, char* data, std::int32_t frames) {
    if (frames <= 0) return;
    if (reinterpret_cast<std::uintptr_t>(data) % alignof(std::int16_t) == 0) {
      input.signal->render(reinterpret_cast<std::int16_t*>(data), frames, input.sampleRate);
      return;
    }
    constexpr std::int32_t kChunkFrames = 256;
    std::array<std::int16_t, 2 * kChunkFrames> chunk;
    for (std::int32_t done = 0; done < frames;) {
      const std::int32_t n = std::min(frames - done, kChunkFrames);
      input.signal->render(chunk.data(), n, input.sampleRate);
      std::memcpy(data + static_cast<std::size_t>(done) * 4, chunk.data(),
                  static_cast<std::size_t>(n) * 4);
      done += n;
    }
  }

  // The real-time thread: fills each open device's front buffer once its duration has passed
  // since it began recording. The next buffer begins where the last one ended, so audio time is
  // continuous while buffers are queued; time with nothing queued is dropped (armClock restarts
  // the clock when a buffer arrives).
  void run() {
    std::unique_lock lock(mutex);
    while (!stopping) {
      const Clock::time_point now = Clock::now();
      Clock::time_point next = now + kIdleWait;
      for (auto& entry : open) {
        OpenInput& input = *entry;
        while (input.canDeliver() && input.fillStart) {
          const Clock::time_point due =
              *input.fillStart + bufferDuration(input.at(0), input.sampleRate);
          if (due > now) {
            next = std::min(next, due);
            break;
          }
          if (!fillFront(input)) break;
          input.fillStart = input.count > 0 ? std::optional(due) : std::nullopt;
        }
      }
      // Bounded by kIdleWait; every change that could make a buffer due sooner notifies.
      wake.wait_until(lock, next);
    }
  }
};

SimulatedDriver::SimulatedDriver(Config config) : impl_(std::make_unique<Impl>()) {
  for (InputDevice& device : config.inputs) addInputDevice(std::move(device), WAVE_MAPPER);
  impl_->outputs = std::move(config.outputs);
  impl_->mixers = std::move(config.mixers);
  impl_->pacing = config.pacing;
  if (impl_->pacing == Pacing::RealTime) impl_->thread = std::thread([this] { impl_->run(); });
}

SimulatedDriver::~SimulatedDriver() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->stopping = true;
  }
  impl_->wake.notify_all();
  if (impl_->thread.joinable()) impl_->thread.join();
}

bool SimulatedDriver::deliverBuffer() {
  std::lock_guard lock(impl_->mutex);
  if (impl_->pacing != Pacing::Stepped) return false;
  for (auto& input : impl_->open) {
    if (input->canDeliver()) return impl_->fillFront(*input);
  }
  return false;
}

int SimulatedDriver::deliverBuffers(int n) {
  int delivered = 0;
  while (delivered < n && deliverBuffer()) ++delivered;
  return delivered;
}

void SimulatedDriver::failOpen(MMRESULT code) {
  std::lock_guard lock(impl_->mutex);
  impl_->openFault = code;
}

void SimulatedDriver::failAddBuffer(int call, MMRESULT code) {
  std::lock_guard lock(impl_->mutex);
  impl_->addBufferCountdown = std::max(call, 0);
  impl_->addBufferFault = code;
}

void SimulatedDriver::failStart(MMRESULT code) {
  std::lock_guard lock(impl_->mutex);
  impl_->startFault = code;
}

void SimulatedDriver::holdBuffer(int nth) {
  std::lock_guard lock(impl_->mutex);
  impl_->holdCountdown = std::max(nth, 0);
}

void SimulatedDriver::clearFaults() {
  std::lock_guard lock(impl_->mutex);
  impl_->openFault.reset();
  impl_->startFault.reset();
  impl_->addBufferCountdown = 0;
  impl_->holdCountdown = 0;
}

void SimulatedDriver::removeInputDevice(DeviceId id) {
  std::lock_guard lock(impl_->mutex);
  if (id < 0 || static_cast<std::size_t>(id) >= impl_->inputs.size()) return;
  const auto position = impl_->inputs.begin() + id;
  if (OpenInput* input = impl_->find(position->openBy)) {
    input->lost = true;
    input->fillStart.reset();
    if (input->target != nullptr) input->target->post({WIM_DEVICE_LOST, input->handle, nullptr});
  }
  impl_->inputs.erase(position);
}

void SimulatedDriver::addInputDevice(InputDevice device, DeviceId id) {
  std::lock_guard lock(impl_->mutex);
  if (!device.signal) device.signal = silence();
  auto& inputs = impl_->inputs;
  const auto position =
      id >= 0 && static_cast<std::size_t>(id) < inputs.size() ? inputs.begin() + id : inputs.end();
  inputs.insert(position, DeviceEntry{std::move(device), kNoWaveIn});
}

Stats SimulatedDriver::stats() const {
  std::lock_guard lock(impl_->mutex);
  Stats stats = impl_->stats;
  stats.openHandles = static_cast<int>(impl_->open.size());
  stats.queued = 0;
  for (const auto& input : impl_->open) stats.queued += static_cast<int>(input->count);
  return stats;
}

// --- wave input

std::uint32_t SimulatedDriver::waveInGetNumDevs() {
  std::lock_guard lock(impl_->mutex);
  return static_cast<std::uint32_t>(impl_->inputs.size());
}

MMRESULT SimulatedDriver::waveInGetDevCaps(DeviceId id, WAVEINCAPS& caps) {
  std::lock_guard lock(impl_->mutex);
  std::size_t index = 0;
  if (const MMRESULT result = impl_->resolveInput(id, index); result != MMSYSERR_NOERROR) {
    return result;
  }
  const InputDevice& device = impl_->inputs[index].device;
  caps.szPname = device.name;
  caps.dwFormats = device.formats;
  caps.wChannels = 2;
  return MMSYSERR_NOERROR;
}

MMRESULT SimulatedDriver::waveInOpen(HWAVEIN* handle, DeviceId id, const WAVEFORMATEX& format,
                                     NotificationTarget* target, std::uintptr_t /*instance*/,
                                     std::uint32_t /*flags*/) {
  std::lock_guard lock(impl_->mutex);
  if (handle == nullptr) return MMSYSERR_INVALPARAM;
  *handle = kNoWaveIn;
  if (impl_->openFault) return *impl_->openFault;
  std::size_t index = 0;
  if (const MMRESULT result = impl_->resolveInput(id, index); result != MMSYSERR_NOERROR) {
    return result;
  }
  if (!formatAccepted(format)) return WAVERR_BADFORMAT;
  DeviceEntry& entry = impl_->inputs[index];
  if (entry.openBy != kNoWaveIn) return MMSYSERR_ALLOCATED;

  auto input = std::make_unique<OpenInput>();
  input->handle = impl_->nextHandle++;
  if (impl_->nextHandle == kNoWaveIn) impl_->nextHandle = 1;
  input->signal = entry.device.signal;
  input->target = target;
  input->sampleRate = static_cast<std::int32_t>(format.nSamplesPerSec);
  entry.openBy = input->handle;
  *handle = input->handle;
  impl_->open.push_back(std::move(input));
  ++impl_->stats.opens;
  return MMSYSERR_NOERROR;
}

MMRESULT SimulatedDriver::waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header) {
  std::lock_guard lock(impl_->mutex);
  const OpenInput* input = impl_->find(handle);
  if (input == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  if (input->lost) return MMSYSERR_NODEVICE;
  const std::uint32_t flags = loadFlags(header);
  // A queued header is the device's; preparing it again changes nothing.
  if ((flags & WHDR_INQUEUE) == 0) storeFlags(header, flags | WHDR_PREPARED);
  return MMSYSERR_NOERROR;
}

MMRESULT SimulatedDriver::waveInAddBuffer(HWAVEIN handle, WAVEHDR* header) {
  std::lock_guard lock(impl_->mutex);
  ++impl_->stats.addBufferCalls;
  if (impl_->addBufferCountdown > 0 && --impl_->addBufferCountdown == 0) {
    return impl_->addBufferFault;
  }
  OpenInput* input = impl_->find(handle);
  if (input == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || (header->lpData == nullptr && header->dwBufferLength > 0)) {
    return MMSYSERR_INVALPARAM;
  }
  if (input->lost) return MMSYSERR_NODEVICE;
  const std::uint32_t flags = loadFlags(header);
  if ((flags & WHDR_PREPARED) == 0) return WAVERR_UNPREPARED;
  if ((flags & WHDR_INQUEUE) != 0 || input->indexOf(header)) return WAVERR_STILLPLAYING;
  if (input->count == kQueueCapacity) return MMSYSERR_NOMEM;
  storeFlags(header, (flags & ~WHDR_DONE) | WHDR_INQUEUE);
  input->push(header);
  impl_->armClock(*input);
  impl_->wake.notify_all();
  return MMSYSERR_NOERROR;
}

MMRESULT SimulatedDriver::waveInStart(HWAVEIN handle) {
  std::lock_guard lock(impl_->mutex);
  if (impl_->startFault) return *impl_->startFault;
  OpenInput* input = impl_->find(handle);
  if (input == nullptr) return MMSYSERR_INVALHANDLE;
  if (input->lost) return MMSYSERR_NODEVICE;
  input->started = true;
  impl_->armClock(*input);
  impl_->wake.notify_all();
  return MMSYSERR_NOERROR;
}

MMRESULT SimulatedDriver::waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header) {
  std::lock_guard lock(impl_->mutex);
  OpenInput* input = impl_->find(handle);
  if (input == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  if (const std::optional<std::size_t> position = input->indexOf(header)) {
    if (input->lost) {
      // The device is gone: its headers come back empty, so the caller's wait can end.
      input->erase(*position);
      markDone(header, 0);
      storeFlags(header, loadFlags(header) & ~WHDR_PREPARED);
      return MMSYSERR_NODEVICE;
    }
    // Stepped: waiting for a header stands for the time it takes the device to fill every
    // buffer up to it. In real time the caller really waits, so it is told to ask again.
    if (impl_->pacing != Pacing::Stepped || !input->canDeliver()) return WAVERR_STILLPLAYING;
    for (std::size_t i = 0; i <= *position; ++i) {
      if (!impl_->fillFront(*input)) return WAVERR_STILLPLAYING;  // held on the way
    }
  }
  storeFlags(header, loadFlags(header) & ~WHDR_PREPARED);
  return MMSYSERR_NOERROR;
}

MMRESULT SimulatedDriver::waveInClose(HWAVEIN handle) {
  std::lock_guard lock(impl_->mutex);
  auto& open = impl_->open;
  const auto it = std::find_if(open.begin(), open.end(),
                               [&](const auto& input) { return input->handle == handle; });
  if (it == open.end()) return MMSYSERR_INVALHANDLE;
  OpenInput& input = **it;
  // Headers still queued come back done and empty; no MM_WIM_DATA is posted for them.
  while (input.count > 0) markDone(input.pop(), 0);
  for (DeviceEntry& entry : impl_->inputs) {
    if (entry.openBy == handle) entry.openBy = kNoWaveIn;
  }
  open.erase(it);
  ++impl_->stats.closes;
  impl_->wake.notify_all();
  return MMSYSERR_NOERROR;
}

// --- wave output

std::uint32_t SimulatedDriver::waveOutGetNumDevs() {
  std::lock_guard lock(impl_->mutex);
  return static_cast<std::uint32_t>(impl_->outputs.size());
}

MMRESULT SimulatedDriver::waveOutGetDevCaps(DeviceId id, WAVEOUTCAPS& caps) {
  std::lock_guard lock(impl_->mutex);
  if (id < 0 || static_cast<std::size_t>(id) >= impl_->outputs.size()) return MMSYSERR_BADDEVICEID;
  const OutputDevice& device = impl_->outputs[static_cast<std::size_t>(id)];
  caps.szPname = device.name;
  caps.dwFormats = kAllWaveFormats;
  caps.wChannels = 2;
  caps.dwSupport = device.support;
  return MMSYSERR_NOERROR;
}

MMRESULT SimulatedDriver::waveOutGetVolume(DeviceId id, std::uint32_t* volume) {
  std::lock_guard lock(impl_->mutex);
  if (id < 0 || static_cast<std::size_t>(id) >= impl_->outputs.size()) return MMSYSERR_BADDEVICEID;
  if (volume == nullptr) return MMSYSERR_INVALPARAM;
  const OutputDevice& device = impl_->outputs[static_cast<std::size_t>(id)];
  if ((device.support & WAVECAPS_VOLUME) == 0) return MMSYSERR_NOTSUPPORTED;
  *volume = device.volume;
  return MMSYSERR_NOERROR;
}

// --- mixers

std::uint32_t SimulatedDriver::mixerGetNumDevs() {
  std::lock_guard lock(impl_->mutex);
  return static_cast<std::uint32_t>(impl_->mixers.size());
}

MMRESULT SimulatedDriver::mixerGetDevCaps(MixerId id, MIXERCAPS& caps) {
  std::lock_guard lock(impl_->mutex);
  if (id >= impl_->mixers.size()) return MMSYSERR_BADDEVICEID;
  const Mixer& mixer = impl_->mixers[id];
  caps.szPname = mixer.name;
  caps.fdwSupport = 0;
  caps.cDestinations = static_cast<std::uint32_t>(mixer.destinations.size());
  return MMSYSERR_NOERROR;
}

MMRESULT SimulatedDriver::mixerGetLineInfo(MixerId id, MIXERLINE& line, std::uint32_t flags) {
  std::lock_guard lock(impl_->mutex);
  if (id >= impl_->mixers.size()) return MMSYSERR_BADDEVICEID;
  if (flags != MIXER_GETLINEINFOF_DESTINATION && flags != MIXER_GETLINEINFOF_SOURCE) {
    return MMSYSERR_INVALFLAG;
  }
  const Mixer& mixer = impl_->mixers[id];
  if (line.dwDestination >= mixer.destinations.size()) return MMSYSERR_INVALPARAM;
  const MixerLineSpec& destination = mixer.destinations[line.dwDestination];
  const MixerLineSpec* chosen = &destination;
  if (flags == MIXER_GETLINEINFOF_SOURCE) {
    if (line.dwSource >= destination.connections.size()) return MMSYSERR_INVALPARAM;
    chosen = &destination.connections[line.dwSource];
  }
  line.dwComponentType = chosen->componentType;
  line.cChannels = chosen->channels;
  line.cConnections = flags == MIXER_GETLINEINFOF_SOURCE
                          ? 0
                          : static_cast<std::uint32_t>(destination.connections.size());
  line.cControls = chosen->controls;
  line.szShortName = chosen->name;
  line.szName = chosen->name;
  return MMSYSERR_NOERROR;
}

MMRESULT SimulatedDriver::mixerGetID(DeviceId id, MixerId* mixer, std::uint32_t flags) {
  std::lock_guard lock(impl_->mutex);
  if (flags != MIXER_OBJECTF_WAVEIN) return MMSYSERR_INVALFLAG;
  if (mixer == nullptr) return MMSYSERR_INVALPARAM;
  std::size_t index = 0;
  if (const MMRESULT result = impl_->resolveInput(id, index); result != MMSYSERR_NOERROR) {
    return result;
  }
  const std::optional<MixerId>& served = impl_->inputs[index].device.mixer;
  if (!served) return MMSYSERR_NODRIVER;
  *mixer = *served;
  return MMSYSERR_NOERROR;
}

}  // namespace kestrel::sim
