// PulseDriver: libpulse's asynchronous API on a threaded main loop. Calls from the analyser take
// the loop's lock, send their requests and wait (bounded) for the answers; the loop's thread
// copies recorded samples into the queued buffers and posts the notifications.
//
// The bounds. Every wait below ends at the first of: the answer, a change of the connection's or
// stream's state, or its bound. A local server answers in milliseconds; the bounds only matter
// for a server that accepts a connection and then never answers (stopped, overloaded), which
// must not freeze the window.
//   kConnectBound  connecting to the server            at the bound: kServerTimedOut, no lists
//   kQueryBound    the four lists behind a count call  at the bound: kServerTimedOut, empty list
//   kStreamBound   record stream ready / fragment size / uncork
//                                                      at the bound: open or start fails with
//                                                      kServerTimedOut
// Nothing on the capture path waits: prepare, queue, unprepare and close answer at once.
#include "capture/drivers/pulse/pulse_driver.h"

#include <pulse/introspect.h>
#include <pulse/subscribe.h>

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

#include "capture/drivers/pulse/header_queue.h"
#include "capture/drivers/pulse/pulse_errors.h"
#include "capture/drivers/pulse/pulse_loop.h"
#include "capture/drivers/pulse/server_model.h"
#include "capture/drivers/pulse/server_query.h"

namespace kestrel::pulse {
namespace {

constexpr std::chrono::milliseconds kConnectBound{3000};
constexpr std::chrono::milliseconds kQueryBound{2000};
constexpr std::chrono::milliseconds kStreamBound{2000};

// The fragment asked for at open, before the first buffer's length is known: about one block.
constexpr pa_usec_t kInitialFragmentUsec = 20'000;

bool formatAccepted(const WAVEFORMATEX& format) {
  return format.wFormatTag == WAVE_FORMAT_PCM && format.nChannels == 2 &&
         format.wBitsPerSample == 16 && format.nBlockAlign == 4 && format.nSamplesPerSec > 0 &&
         format.nSamplesPerSec <= 0xFFFFFFFFu / 4 &&
         format.nAvgBytesPerSec == format.nSamplesPerSec * 4 && format.cbSize == 0;
}

void signalLoop(pa_stream*, int, void* userdata) {
  static_cast<MainLoop*>(userdata)->signal();
}

}  // namespace

struct PulseDriver::Impl {
  // One open handle: its record stream and the buffers it holds.
  struct OpenInput {
    Impl* impl = nullptr;
    HWAVEIN handle = kNoWaveIn;
    pa_context* context = nullptr;  // our own reference: the connection this stream lives on
    pa_stream* stream = nullptr;
    NotificationTarget* target = nullptr;
    std::uint32_t sourceIndex =
        kNoIndex;            // the source it records, followed when the server moves it
    bool connecting = true;  // still inside waveInOpen
    bool lost = false;       // the device is gone; WIM_DEVICE_LOST has been posted
    HeaderQueue queue;
  };

  explicit Impl(PulseOptions o) : options(std::move(o)) {}

  PulseOptions options;
  MainLoop loop;
  pa_context* context = nullptr;  // the current connection; replaced once it has failed
  ServerSnapshot snapshot;
  std::vector<MixerEntry> mixers;
  bool haveSnapshot = false;
  MMRESULT listResult = MMSYSERR_NOERROR;  // how the last reading of the lists went
  std::vector<std::unique_ptr<OpenInput>> open;
  HWAVEIN nextHandle = 1;
  PulseStats stats;

  // --- everything below: loop locked

  OpenInput* find(HWAVEIN handle) {
    for (auto& input : open) {
      if (input->handle == handle) return input.get();
    }
    return nullptr;
  }

  void dropContext() {
    if (context == nullptr) return;
    pa_context_set_state_callback(context, nullptr, nullptr);
    pa_context_set_subscribe_callback(context, nullptr, nullptr);
    pa_context_disconnect(context);
    pa_context_unref(context);
    context = nullptr;
  }

  MMRESULT connect() {
    if (context != nullptr) {
      if (contextState(context) == ContextState::Ready) return MMSYSERR_NOERROR;
      dropContext();  // failed or terminated: open streams keep their own reference
    }
    if (!loop.running()) return kNoServer;
    context = pa_context_new(loop.api(), options.applicationName.c_str());
    if (context == nullptr) return kNoServer;
    pa_context_set_state_callback(context, onContextState, this);
    pa_context_set_subscribe_callback(context, onSubscribe, this);
    const char* server = options.server.empty() ? nullptr : options.server.c_str();
    // No autospawn: with no server running we report it instead of starting one behind the
    // user's back.
    if (pa_context_connect(context, server, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
      dropContext();
      return kNoServer;
    }
    pa_context* connecting = context;
    if (!loop.waitUntil(connecting, kConnectBound,
                        [connecting] { return isFinal(contextState(connecting)); })) {
      ++stats.timedOutWaits;
      dropContext();
      return kServerTimedOut;
    }
    if (contextState(context) != ContextState::Ready) {
      dropContext();
      return kNoServer;
    }
    // Source events tell an open input that its device went away; not waited for.
    if (pa_operation* o =
            pa_context_subscribe(context, PA_SUBSCRIPTION_MASK_SOURCE, nullptr, nullptr)) {
      pa_operation_unref(o);
    }
    return MMSYSERR_NOERROR;
  }

  // Reads the lists afresh; with no server (or no answer) they are empty.
  MMRESULT refresh() {
    haveSnapshot = true;
    listResult = connect();
    if (listResult == MMSYSERR_NOERROR) {
      listResult = fetchSnapshot(loop, context, kQueryBound, snapshot);
      if (listResult == kServerTimedOut) ++stats.timedOutWaits;
    }
    if (listResult != MMSYSERR_NOERROR) snapshot = ServerSnapshot{};
    mixers = buildMixers(snapshot);
    return listResult;
  }

  void ensureSnapshot() {
    if (!haveSnapshot) refresh();
  }

  // The source position an input id names: WAVE_MAPPER is the server's default source.
  MMRESULT resolveInput(DeviceId id, std::size_t& position) {
    ensureSnapshot();
    if (snapshot.sources.empty() && listResult != MMSYSERR_NOERROR) return listResult;
    if (id == WAVE_MAPPER) {
      const std::optional<std::size_t> found = snapshot.defaultSourcePosition();
      if (!found) return kNoSuchInput;
      position = *found;
      return MMSYSERR_NOERROR;
    }
    if (id < 0 || static_cast<std::size_t>(id) >= snapshot.sources.size()) return kNoSuchInput;
    position = static_cast<std::size_t>(id);
    return MMSYSERR_NOERROR;
  }

  // The device stopped for good: tell the target once; the headers come back on unprepare.
  void lose(OpenInput& input) {
    if (input.lost || input.connecting) return;
    input.lost = true;
    ++stats.deviceLostReports;
    if (input.target != nullptr) input.target->post({WIM_DEVICE_LOST, input.handle, nullptr});
  }

  void release(OpenInput& input) {
    if (input.stream != nullptr) {
      // Callbacks are cleared with the lock held, so none of them runs for this input again.
      pa_stream_set_state_callback(input.stream, nullptr, nullptr);
      pa_stream_set_read_callback(input.stream, nullptr, nullptr);
      pa_stream_set_moved_callback(input.stream, nullptr, nullptr);
      const StreamState state = streamState(input.stream);
      if (state == StreamState::Ready || state == StreamState::Creating) {
        pa_stream_disconnect(input.stream);
      }
      pa_stream_unref(input.stream);
      input.stream = nullptr;
    }
    if (input.context != nullptr) {
      pa_context_unref(input.context);
      input.context = nullptr;
    }
    input.queue.releaseAll();
  }

  // --- callbacks: the loop's thread, lock held

  static void onContextState(pa_context* c, void* userdata) {
    auto* self = static_cast<Impl*>(userdata);
    const ContextState state = contextState(c);
    if (state == ContextState::Failed || state == ContextState::Terminated) {
      for (auto& input : self->open) {
        if (input->context == c) self->lose(*input);
      }
    }
    self->loop.signal();
  }

  static void onSubscribe(pa_context* c, pa_subscription_event_type_t type, std::uint32_t index,
                          void* userdata) {
    auto* self = static_cast<Impl*>(userdata);
    const unsigned facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    const unsigned kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    if (facility != PA_SUBSCRIPTION_EVENT_SOURCE || kind != PA_SUBSCRIPTION_EVENT_REMOVE) return;
    for (auto& input : self->open) {
      if (input->context == c && input->sourceIndex == index) self->lose(*input);
    }
  }

  static void onStreamState(pa_stream* s, void* userdata) {
    auto* input = static_cast<OpenInput*>(userdata);
    const StreamState state = streamState(s);
    if (state == StreamState::Failed || state == StreamState::Terminated) input->impl->lose(*input);
    input->impl->loop.signal();
  }

  static void onMoved(pa_stream* s, void* userdata) {
    static_cast<OpenInput*>(userdata)->sourceIndex = pa_stream_get_device_index(s);
  }

  static void onRead(pa_stream* s, std::size_t, void* userdata) {
    auto* input = static_cast<OpenInput*>(userdata);
    PulseStats& stats = input->impl->stats;
    for (;;) {
      const void* data = nullptr;
      std::size_t bytes = 0;
      if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0) return;
      if (input->lost) {
        stats.droppedBytes += bytes;
      } else {
        if (data == nullptr) stats.holeBytes += bytes;
        // Data that finds no queued buffer is dropped, as hardware does.
        stats.droppedBytes += input->queue.write(data, bytes, input->target, input->handle);
      }
      pa_stream_drop(s);
    }
  }
};

PulseDriver::PulseDriver(PulseOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}

PulseDriver::~PulseDriver() {
  if (impl_->loop.running()) {
    LoopLock lock(impl_->loop);
    for (auto& input : impl_->open) impl_->release(*input);
    impl_->open.clear();
    impl_->dropContext();
  }
}

PulseStats PulseDriver::stats() const {
  LoopLock lock(impl_->loop);
  return impl_->stats;
}

// --- wave input

std::uint32_t PulseDriver::waveInGetNumDevs() {
  LoopLock lock(impl_->loop);
  impl_->refresh();
  return static_cast<std::uint32_t>(impl_->snapshot.sources.size());
}

MMRESULT PulseDriver::waveInGetDevCaps(DeviceId id, WAVEINCAPS& caps) {
  LoopLock lock(impl_->loop);
  std::size_t position = 0;
  if (const MMRESULT r = impl_->resolveInput(id, position); r != MMSYSERR_NOERROR) return r;
  caps = inputCaps(impl_->snapshot.sources[position]);
  return MMSYSERR_NOERROR;
}

MMRESULT PulseDriver::waveInOpen(HWAVEIN* handle, DeviceId id, const WAVEFORMATEX& format,
                                 NotificationTarget* target, std::uintptr_t /*instance*/,
                                 std::uint32_t /*flags*/) {
  if (handle == nullptr) return MMSYSERR_INVALPARAM;
  *handle = kNoWaveIn;
  Impl& impl = *impl_;
  LoopLock lock(impl.loop);
  if (const MMRESULT r = impl.connect(); r != MMSYSERR_NOERROR) return r;

  // An explicit id names the source the caller saw in the list; the mapper lets the server pick
  // its default source (and follow it when the user changes it).
  std::string sourceName;
  if (id != WAVE_MAPPER) {
    std::size_t position = 0;
    if (const MMRESULT r = impl.resolveInput(id, position); r != MMSYSERR_NOERROR) return r;
    sourceName = impl.snapshot.sources[position].name;
  }
  if (!formatAccepted(format)) return kFormatRefused;
  pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, format.nSamplesPerSec, 2};
  if (pa_sample_spec_valid(&sampleFormat) == 0) return kFormatRefused;
  pa_channel_map map;
  pa_channel_map_init_stereo(&map);

  auto input = std::make_unique<Impl::OpenInput>();
  input->impl = &impl;
  input->target = target;
  input->context = pa_context_ref(impl.context);
  input->stream = pa_stream_new(impl.context, "Kestrel capture", &sampleFormat, &map);
  if (input->stream == nullptr) {
    const MMRESULT r = resultOfPulseError(pa_context_errno(impl.context));
    impl.release(*input);
    return r;
  }
  pa_stream_set_state_callback(input->stream, Impl::onStreamState, input.get());
  pa_stream_set_read_callback(input->stream, Impl::onRead, input.get());
  pa_stream_set_moved_callback(input->stream, Impl::onMoved, input.get());

  pa_buffer_attr attr;
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kInitialFragmentUsec, &sampleFormat));
  // Corked until waveInStart; ADJUST_LATENCY makes the source deliver in fragments of about the
  // requested size, so a block reaches the handler promptly. A chosen device must not be swapped
  // for another behind the user's back: when it goes, the capture ends.
  auto streamFlags =
      static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
  if (id != WAVE_MAPPER) {
    streamFlags = static_cast<pa_stream_flags_t>(streamFlags | PA_STREAM_DONT_MOVE);
  }
  if (pa_stream_connect_record(input->stream, sourceName.empty() ? nullptr : sourceName.c_str(),
                               &attr, streamFlags) < 0) {
    const MMRESULT r = resultOfPulseError(pa_context_errno(impl.context));
    impl.release(*input);
    return r;
  }
  pa_stream* stream = input->stream;
  if (!impl.loop.waitUntil(impl.context, kStreamBound,
                           [stream] { return isFinal(streamState(stream)); })) {
    ++impl.stats.timedOutWaits;
    impl.release(*input);
    return kServerTimedOut;
  }
  if (streamState(stream) != StreamState::Ready) {
    const MMRESULT r = contextState(impl.context) == ContextState::Ready
                           ? resultOfPulseError(pa_context_errno(impl.context))
                           : kNoServer;
    impl.release(*input);
    return r;
  }
  input->sourceIndex = pa_stream_get_device_index(stream);
  input->connecting = false;
  if (const pa_buffer_attr* granted = pa_stream_get_buffer_attr(stream)) {
    impl.stats.fragmentBytes = granted->fragsize;
  }
  input->handle = impl.nextHandle++;
  if (impl.nextHandle == kNoWaveIn) impl.nextHandle = 1;
  *handle = input->handle;
  impl.open.push_back(std::move(input));
  return MMSYSERR_NOERROR;
}

MMRESULT PulseDriver::waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header) {
  LoopLock lock(impl_->loop);
  const Impl::OpenInput* input = impl_->find(handle);
  if (input == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  if (input->lost) return kInputGone;
  const std::uint32_t flags = loadFlags(header);
  // A queued header is the device's; preparing it again changes nothing.
  if ((flags & WHDR_INQUEUE) == 0) storeFlags(header, flags | WHDR_PREPARED);
  return MMSYSERR_NOERROR;
}

MMRESULT PulseDriver::waveInAddBuffer(HWAVEIN handle, WAVEHDR* header) {
  LoopLock lock(impl_->loop);
  Impl::OpenInput* input = impl_->find(handle);
  if (input == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || (header->lpData == nullptr && header->dwBufferLength > 0)) {
    return MMSYSERR_INVALPARAM;
  }
  if (input->lost) return kInputGone;
  const std::uint32_t flags = loadFlags(header);
  if ((flags & WHDR_PREPARED) == 0) return WAVERR_UNPREPARED;
  if ((flags & WHDR_INQUEUE) != 0 || input->queue.holds(header)) return WAVERR_STILLPLAYING;
  if (input->queue.full()) return MMSYSERR_NOMEM;
  input->queue.push(header);
  return MMSYSERR_NOERROR;
}

MMRESULT PulseDriver::waveInStart(HWAVEIN handle) {
  Impl& impl = *impl_;
  LoopLock lock(impl.loop);
  Impl::OpenInput* input = impl.find(handle);
  if (input == nullptr) return MMSYSERR_INVALHANDLE;
  if (input->lost) return kInputGone;
  pa_stream* stream = input->stream;
  if (streamState(stream) != StreamState::Ready) return kInputGone;

  // Fragments of one buffer: each fragment that arrives completes (about) one block.
  if (const std::optional<std::uint32_t> length = input->queue.frontLength();
      length && *length > 0) {
    pa_buffer_attr attr = *pa_stream_get_buffer_attr(stream);
    attr.fragsize = *length;
    if (!impl.loop.finish(input->context,
                          pa_stream_set_buffer_attr(stream, &attr, signalLoop, &impl.loop),
                          kStreamBound)) {
      ++impl.stats.timedOutWaits;  // the stream records with the fragment it has
    }
    if (const pa_buffer_attr* granted = pa_stream_get_buffer_attr(stream)) {
      impl.stats.fragmentBytes = granted->fragsize;
    }
  }
  if (!impl.loop.finish(input->context, pa_stream_cork(stream, 0, signalLoop, &impl.loop),
                        kStreamBound)) {
    if (contextState(input->context) != ContextState::Ready) return kNoServer;
    ++impl.stats.timedOutWaits;
    return kServerTimedOut;
  }
  return MMSYSERR_NOERROR;
}

MMRESULT PulseDriver::waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header) {
  LoopLock lock(impl_->loop);
  Impl::OpenInput* input = impl_->find(handle);
  if (input == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  if (input->queue.holds(header)) {
    if (!input->lost) return WAVERR_STILLPLAYING;
    // The device is gone and will never fill it: it comes back empty, so the wait ends.
    input->queue.release(header);
    storeFlags(header, loadFlags(header) & ~WHDR_PREPARED);
    return kInputGone;
  }
  storeFlags(header, loadFlags(header) & ~WHDR_PREPARED);
  return MMSYSERR_NOERROR;
}

MMRESULT PulseDriver::waveInClose(HWAVEIN handle) {
  LoopLock lock(impl_->loop);
  auto& open = impl_->open;
  const auto it = std::find_if(open.begin(), open.end(),
                               [&](const auto& input) { return input->handle == handle; });
  if (it == open.end()) return MMSYSERR_INVALHANDLE;
  // Headers still queued come back done and empty; nothing is posted for this handle again.
  impl_->release(**it);
  open.erase(it);
  return MMSYSERR_NOERROR;
}

std::string PulseDriver::waveInGetErrorText(MMRESULT code) {
  return errorText(code);
}

// --- wave output

std::uint32_t PulseDriver::waveOutGetNumDevs() {
  LoopLock lock(impl_->loop);
  impl_->refresh();
  return static_cast<std::uint32_t>(impl_->snapshot.sinks.size());
}

MMRESULT PulseDriver::waveOutGetDevCaps(DeviceId id, WAVEOUTCAPS& caps) {
  LoopLock lock(impl_->loop);
  impl_->ensureSnapshot();
  const auto& sinks = impl_->snapshot.sinks;
  if (id < 0 || static_cast<std::size_t>(id) >= sinks.size()) return MMSYSERR_BADDEVICEID;
  caps = outputCaps(sinks[static_cast<std::size_t>(id)]);
  return MMSYSERR_NOERROR;
}

MMRESULT PulseDriver::waveOutGetVolume(DeviceId id, std::uint32_t* volume) {
  if (volume == nullptr) return MMSYSERR_INVALPARAM;
  LoopLock lock(impl_->loop);
  impl_->ensureSnapshot();
  const auto& sinks = impl_->snapshot.sinks;
  if (id < 0 || static_cast<std::size_t>(id) >= sinks.size()) return MMSYSERR_BADDEVICEID;
  *volume = outputVolume(sinks[static_cast<std::size_t>(id)]);
  return MMSYSERR_NOERROR;
}

// --- mixers

std::uint32_t PulseDriver::mixerGetNumDevs() {
  LoopLock lock(impl_->loop);
  impl_->refresh();
  return static_cast<std::uint32_t>(impl_->mixers.size());
}

MMRESULT PulseDriver::mixerGetDevCaps(MixerId id, MIXERCAPS& caps) {
  LoopLock lock(impl_->loop);
  impl_->ensureSnapshot();
  if (id >= impl_->mixers.size()) return MMSYSERR_BADDEVICEID;
  const MixerEntry& mixer = impl_->mixers[id];
  caps.szPname = mixer.name;
  caps.fdwSupport = 0;
  caps.cDestinations = static_cast<std::uint32_t>(mixer.destinations.size());
  return MMSYSERR_NOERROR;
}

MMRESULT PulseDriver::mixerGetLineInfo(MixerId id, MIXERLINE& line, std::uint32_t flags) {
  if (flags != MIXER_GETLINEINFOF_DESTINATION && flags != MIXER_GETLINEINFOF_SOURCE) {
    return MMSYSERR_INVALFLAG;
  }
  LoopLock lock(impl_->loop);
  impl_->ensureSnapshot();
  if (id >= impl_->mixers.size()) return MMSYSERR_BADDEVICEID;
  const MixerEntry& mixer = impl_->mixers[id];
  if (line.dwDestination >= mixer.destinations.size()) return MMSYSERR_INVALPARAM;
  const MixerDestination& destination = mixer.destinations[line.dwDestination];
  const MIXERLINE* found = &destination.line;
  if (flags == MIXER_GETLINEINFOF_SOURCE) {
    if (line.dwSource >= destination.connections.size()) return MMSYSERR_INVALPARAM;
    found = &destination.connections[line.dwSource];
  }
  line.dwComponentType = found->dwComponentType;
  line.cChannels = found->cChannels;
  line.cConnections = found->cConnections;
  line.cControls = found->cControls;
  line.szShortName = found->szShortName;
  line.szName = found->szName;
  return MMSYSERR_NOERROR;
}

MMRESULT PulseDriver::mixerGetID(DeviceId id, MixerId* mixer, std::uint32_t flags) {
  if (flags != MIXER_OBJECTF_WAVEIN) return MMSYSERR_INVALFLAG;
  if (mixer == nullptr) return MMSYSERR_INVALPARAM;
  LoopLock lock(impl_->loop);
  std::size_t position = 0;
  if (const MMRESULT r = impl_->resolveInput(id, position); r != MMSYSERR_NOERROR) {
    // With no server there is no mixer either.
    return r == kNoSuchInput ? r : MMSYSERR_NODRIVER;
  }
  const std::optional<MixerId> found = mixerOfSource(impl_->snapshot, position);
  if (!found) return MMSYSERR_NODRIVER;
  *mixer = *found;
  return MMSYSERR_NOERROR;
}

}  // namespace kestrel::pulse
