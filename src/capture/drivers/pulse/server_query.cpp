// The introspection queries behind the device lists, the capabilities report and the mixers.
#include "capture/drivers/pulse/server_query.h"

#include "capture/drivers/pulse/pulse_errors.h"

#include <pulse/introspect.h>
#include <pulse/proplist.h>
#include <pulse/volume.h>

#include <algorithm>
#include <array>

namespace kestrel::pulse {
namespace {

struct Pending {
  MainLoop* loop = nullptr;
  ServerSnapshot building;
  bool failed = false;  // a list ended with an error
};

std::string text(const char* s) {
  return s != nullptr ? std::string(s) : std::string();
}

template <typename Port>
std::vector<PortEntry> portsOf(Port* const* ports, std::uint32_t count) {
  std::vector<PortEntry> result;
  for (std::uint32_t i = 0; i < count && ports != nullptr; ++i) {
    result.push_back({text(ports[i]->description)});
  }
  return result;
}

void onServer(pa_context*, const pa_server_info* info, void* userdata) {
  auto* pending = static_cast<Pending*>(userdata);
  if (info != nullptr) pending->building.defaultSource = text(info->default_source_name);
  pending->loop->signal();
}

void onSource(pa_context*, const pa_source_info* info, int eol, void* userdata) {
  auto* pending = static_cast<Pending*>(userdata);
  if (eol != 0) {
    pending->failed |= eol < 0;
    pending->loop->signal();
    return;
  }
  SourceEntry source;
  source.index = info->index;
  source.name = text(info->name);
  source.description = text(info->description);
  source.card = info->card;
  source.monitor = info->monitor_of_sink != PA_INVALID_INDEX;
  source.channels = info->sample_spec.channels;
  source.hardwareVolume = (info->flags & PA_SOURCE_HW_VOLUME_CTRL) != 0;
  source.hardwareMute = (info->flags & PA_SOURCE_HW_MUTE_CTRL) != 0;
  source.ports = portsOf(info->ports, info->n_ports);
  pending->building.sources.push_back(std::move(source));
}

bool onSide(pa_channel_position_t position, bool left) {
  switch (position) {
    case PA_CHANNEL_POSITION_FRONT_LEFT:
    case PA_CHANNEL_POSITION_REAR_LEFT:
    case PA_CHANNEL_POSITION_SIDE_LEFT:
    case PA_CHANNEL_POSITION_FRONT_LEFT_OF_CENTER:
    case PA_CHANNEL_POSITION_TOP_FRONT_LEFT:
    case PA_CHANNEL_POSITION_TOP_REAR_LEFT:
      return left;
    case PA_CHANNEL_POSITION_FRONT_RIGHT:
    case PA_CHANNEL_POSITION_REAR_RIGHT:
    case PA_CHANNEL_POSITION_SIDE_RIGHT:
    case PA_CHANNEL_POSITION_FRONT_RIGHT_OF_CENTER:
    case PA_CHANNEL_POSITION_TOP_FRONT_RIGHT:
    case PA_CHANNEL_POSITION_TOP_REAR_RIGHT:
      return !left;
    default:
      return false;
  }
}

// The volume of one side: the loudest channel on that side. A mono sink, or a map with no
// left or right positions, reads its overall volume on both sides.
std::uint32_t sideVolume(const pa_cvolume& volume, const pa_channel_map& map, bool left) {
  pa_volume_t loudest = PA_VOLUME_MUTED;
  bool found = false;
  for (unsigned i = 0; i < volume.channels && i < map.channels; ++i) {
    if (onSide(map.map[i], left)) {
      loudest = std::max(loudest, volume.values[i]);
      found = true;
    }
  }
  return found ? loudest : pa_cvolume_max(&volume);
}

void onSink(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
  auto* pending = static_cast<Pending*>(userdata);
  if (eol != 0) {
    pending->failed |= eol < 0;
    pending->loop->signal();
    return;
  }
  SinkEntry sink;
  sink.index = info->index;
  sink.name = text(info->name);
  sink.description = text(info->description);
  sink.card = info->card;
  sink.channels = info->sample_spec.channels;
  sink.hardwareVolume = (info->flags & PA_SINK_HW_VOLUME_CTRL) != 0;
  sink.hardwareMute = (info->flags & PA_SINK_HW_MUTE_CTRL) != 0;
  sink.latencyQueries = (info->flags & PA_SINK_LATENCY) != 0;
  sink.leftVolume = sideVolume(info->volume, info->channel_map, true);
  sink.rightVolume = sideVolume(info->volume, info->channel_map, false);
  sink.ports = portsOf(info->ports, info->n_ports);
  pending->building.sinks.push_back(std::move(sink));
}

void onCard(pa_context*, const pa_card_info* info, int eol, void* userdata) {
  auto* pending = static_cast<Pending*>(userdata);
  if (eol != 0) {
    pending->failed |= eol < 0;
    pending->loop->signal();
    return;
  }
  CardEntry card;
  card.index = info->index;
  card.name = text(info->name);
  card.description = text(pa_proplist_gets(info->proplist, PA_PROP_DEVICE_DESCRIPTION));
  pending->building.cards.push_back(std::move(card));
}

template <typename Entry>
void sortByIndex(std::vector<Entry>& entries) {
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.index < b.index; });
}

}  // namespace

MMRESULT fetchSnapshot(MainLoop& loop, pa_context* context, std::chrono::milliseconds bound,
                       ServerSnapshot& snapshot) {
  Pending pending;
  pending.loop = &loop;
  const std::array<pa_operation*, 4> operations = {
      pa_context_get_server_info(context, onServer, &pending),
      pa_context_get_source_info_list(context, onSource, &pending),
      pa_context_get_sink_info_list(context, onSink, &pending),
      pa_context_get_card_info_list(context, onCard, &pending),
  };
  bool complete = true;
  for (pa_operation* operation : operations) {
    if (operation == nullptr) complete = false;
  }
  // One deadline for the four together; each operation left at it is cancelled before `pending`
  // goes out of scope, so no callback can reach it later.
  const auto deadline = std::chrono::steady_clock::now() + bound;
  for (pa_operation* operation : operations) {
    if (operation == nullptr) continue;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    complete &= loop.finish(context, operation, std::max(left, std::chrono::milliseconds(0)));
  }
  if (contextState(context) != ContextState::Ready) return kNoServer;
  if (!complete) return kServerTimedOut;
  if (pending.failed) return kServerRefused;
  sortByIndex(pending.building.sources);
  sortByIndex(pending.building.sinks);
  sortByIndex(pending.building.cards);
  snapshot = std::move(pending.building);
  return MMSYSERR_NOERROR;
}

}  // namespace kestrel::pulse
