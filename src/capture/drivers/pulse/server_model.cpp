// Mapping the server's sources, sinks and cards onto wave-in, wave-out and mixer records.
#include "capture/drivers/pulse/server_model.h"

#include <algorithm>

namespace kestrel::pulse {

std::optional<std::size_t> ServerSnapshot::defaultSourcePosition() const {
  for (std::size_t i = 0; i < sources.size(); ++i) {
    if (sources[i].name == defaultSource) return i;
  }
  return std::nullopt;
}

WAVEINCAPS inputCaps(const SourceEntry& source) {
  WAVEINCAPS caps;
  caps.szPname = source.description;
  // The server converts rate, width and channel count for every stream, so each format is
  // accepted from every source.
  caps.dwFormats = kAllWaveFormats;
  caps.wChannels = static_cast<std::uint16_t>(std::min<std::uint32_t>(source.channels, 0xFFFF));
  return caps;
}

WAVEOUTCAPS outputCaps(const SinkEntry& sink) {
  WAVEOUTCAPS caps;
  caps.szPname = sink.description;
  caps.dwFormats = kAllWaveFormats;
  caps.wChannels = static_cast<std::uint16_t>(std::min<std::uint32_t>(sink.channels, 0xFFFF));
  // Every sink has a volume (in hardware or in the server), kept per channel.
  caps.dwSupport = WAVECAPS_VOLUME;
  if (sink.channels >= 2) caps.dwSupport |= WAVECAPS_LRVOLUME;
  if (sink.latencyQueries) caps.dwSupport |= WAVECAPS_SAMPLEACCURATE;
  return caps;
}

std::uint16_t waveVolume(std::uint32_t serverVolume) {
  // 100 % maps to full scale; the server allows amplification above it, which saturates.
  const std::uint64_t scaled = std::uint64_t{serverVolume} * 0xFFFFu / kNormalVolume;
  return static_cast<std::uint16_t>(std::min<std::uint64_t>(scaled, 0xFFFFu));
}

std::uint32_t outputVolume(const SinkEntry& sink) {
  return std::uint32_t{waveVolume(sink.leftVolume)} |
         (std::uint32_t{waveVolume(sink.rightVolume)} << 16);
}

namespace {

std::uint32_t countOf(std::size_t n) {
  return static_cast<std::uint32_t>(std::min<std::size_t>(n, 0xFFFFFFFFu));
}

template <typename Entry>
MixerDestination destination(const Entry& entry, std::uint32_t componentType) {
  MixerDestination result;
  result.line.dwComponentType = componentType;
  result.line.cChannels = entry.channels;
  result.line.cConnections = countOf(entry.ports.size());
  result.line.cControls = (entry.hardwareVolume ? 1u : 0u) + (entry.hardwareMute ? 1u : 0u);
  result.line.szName = entry.description;
  result.line.szShortName = entry.name;
  for (const PortEntry& port : entry.ports) {
    MIXERLINE connection;
    connection.dwComponentType = MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED;
    connection.cChannels = entry.channels;
    connection.szName = port.description;
    connection.szShortName = port.description;
    result.connections.push_back(std::move(connection));
  }
  return result;
}

}  // namespace

std::vector<MixerEntry> buildMixers(const ServerSnapshot& snapshot) {
  std::vector<MixerEntry> mixers;
  for (const CardEntry& card : snapshot.cards) {
    MixerEntry mixer;
    mixer.name = card.description.empty() ? card.name : card.description;
    for (const SinkEntry& sink : snapshot.sinks) {
      if (sink.card == card.index) {
        mixer.destinations.push_back(destination(sink, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS));
      }
    }
    for (const SourceEntry& source : snapshot.sources) {
      if (source.card == card.index && !source.monitor) {
        mixer.destinations.push_back(destination(source, MIXERLINE_COMPONENTTYPE_DST_WAVEIN));
      }
    }
    for (std::uint32_t d = 0; d < mixer.destinations.size(); ++d) {
      mixer.destinations[d].line.dwDestination = d;
      for (std::uint32_t s = 0; s < mixer.destinations[d].connections.size(); ++s) {
        mixer.destinations[d].connections[s].dwDestination = d;
        mixer.destinations[d].connections[s].dwSource = s;
      }
    }
    mixers.push_back(std::move(mixer));
  }
  return mixers;
}

std::optional<MixerId> mixerOfSource(const ServerSnapshot& snapshot, std::size_t source) {
  if (source >= snapshot.sources.size()) return std::nullopt;
  const std::uint32_t card = snapshot.sources[source].card;
  if (card == kNoIndex) return std::nullopt;
  for (std::size_t i = 0; i < snapshot.cards.size(); ++i) {
    if (snapshot.cards[i].index == card) return static_cast<MixerId>(i);
  }
  return std::nullopt;
}

}  // namespace kestrel::pulse
