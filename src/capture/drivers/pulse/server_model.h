// What the sound server offers, copied out of libpulse into plain records, and how that maps onto
// the wave-in, wave-out and mixer records the analyser reads. No libpulse in here, so the mapping
// is tested without a server.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "capture/wave_types.h"

namespace kestrel::pulse {

inline constexpr std::uint32_t kNoIndex = 0xFFFFFFFFu;    // the server's "no such object"
inline constexpr std::uint32_t kNormalVolume = 0x10000u;  // the server's 100 %

struct PortEntry {
  std::string description;
};

struct SourceEntry {
  std::uint32_t index = kNoIndex;
  std::string name;  // the server's name, used to open it
  std::string description;
  std::uint32_t card = kNoIndex;
  bool monitor = false;  // the monitor of a sink
  std::uint32_t channels = 0;
  bool hardwareVolume = false;
  bool hardwareMute = false;
  std::vector<PortEntry> ports;
};

struct SinkEntry {
  std::uint32_t index = kNoIndex;
  std::string name;
  std::string description;
  std::uint32_t card = kNoIndex;
  std::uint32_t channels = 0;
  bool hardwareVolume = false;
  bool hardwareMute = false;
  bool latencyQueries = false;   // the server answers exact latency (position) queries
  std::uint32_t leftVolume = 0;  // server volume units, kNormalVolume = 100 %
  std::uint32_t rightVolume = 0;
  std::vector<PortEntry> ports;
};

struct CardEntry {
  std::uint32_t index = kNoIndex;
  std::string name;
  std::string description;
};

// Every list ordered by the server's index, which is stable while an object exists.
struct ServerSnapshot {
  std::string defaultSource;
  std::vector<SourceEntry> sources;
  std::vector<SinkEntry> sinks;
  std::vector<CardEntry> cards;

  // The position of the default source in sources.
  std::optional<std::size_t> defaultSourcePosition() const;
};

// One mixer per card: its sinks, then its sources that are not monitors, each with its ports.
struct MixerDestination {
  MIXERLINE line;
  std::vector<MIXERLINE> connections;
};

struct MixerEntry {
  std::string name;
  std::vector<MixerDestination> destinations;
};

WAVEINCAPS inputCaps(const SourceEntry& source);
WAVEOUTCAPS outputCaps(const SinkEntry& sink);
// Left in the low word, right in the high word; 100 % and above read 0xFFFF.
std::uint32_t outputVolume(const SinkEntry& sink);
std::uint16_t waveVolume(std::uint32_t serverVolume);

std::vector<MixerEntry> buildMixers(const ServerSnapshot& snapshot);
// The mixer serving source position `source`: the position of its card; none for a source
// without a card (a null sink's monitor, a virtual source).
std::optional<MixerId> mixerOfSource(const ServerSnapshot& snapshot, std::size_t source);

}  // namespace kestrel::pulse
