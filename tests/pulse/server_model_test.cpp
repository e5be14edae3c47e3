// The mapping from the server's cards, sinks and sources onto mixers, wave-out records and
// volumes, on hand-made server contents (real cards cannot be conjured on a test server).
#include <gtest/gtest.h>

#include "capture/drivers/pulse/server_model.h"

namespace kestrel::pulse {
namespace {

ServerSnapshot twoCards() {
  ServerSnapshot s;
  s.cards = {{3, "alsa_card.usb", "USB Audio"}, {7, "alsa_card.pci", ""}};
  SinkEntry speakers;
  speakers.index = 1;
  speakers.description = "USB Speakers";
  speakers.card = 3;
  speakers.channels = 2;
  speakers.hardwareVolume = true;
  speakers.hardwareMute = true;
  speakers.ports = {{"Speakers"}, {"Headphones"}};
  SinkEntry nullSink;
  nullSink.index = 2;
  nullSink.description = "Null Output";
  s.sinks = {speakers, nullSink};
  SourceEntry monitor;  // of the USB speakers: same card, but not a recording destination
  monitor.index = 4;
  monitor.description = "Monitor of USB Speakers";
  monitor.card = 3;
  monitor.monitor = true;
  SourceEntry mic;
  mic.index = 5;
  mic.description = "USB Microphone";
  mic.card = 3;
  mic.channels = 1;
  mic.hardwareVolume = true;
  mic.ports = {{"Microphone"}};
  SourceEntry line;
  line.index = 6;
  line.description = "Built-in Line In";
  line.card = 7;
  line.channels = 2;
  line.hardwareMute = true;
  SourceEntry nullMonitor;
  nullMonitor.index = 8;
  nullMonitor.description = "Monitor of Null Output";
  nullMonitor.monitor = true;
  s.sources = {monitor, mic, line, nullMonitor};
  return s;
}

TEST(ServerModel, OneMixerPerCardWithItsSinksThenItsRecordingSources) {
  const std::vector<MixerEntry> mixers = buildMixers(twoCards());
  ASSERT_EQ(mixers.size(), 2u);
  EXPECT_EQ(mixers[0].name, "USB Audio");
  EXPECT_EQ(mixers[1].name, "alsa_card.pci");  // no description: the card's name

  ASSERT_EQ(mixers[0].destinations.size(), 2u);
  const MIXERLINE& out = mixers[0].destinations[0].line;
  EXPECT_EQ(out.szName, "USB Speakers");
  EXPECT_EQ(out.dwComponentType, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS);
  EXPECT_EQ(out.cChannels, 2u);
  EXPECT_EQ(out.cConnections, 2u);
  EXPECT_EQ(out.cControls, 2u);  // volume and mute
  ASSERT_EQ(mixers[0].destinations[0].connections.size(), 2u);
  EXPECT_EQ(mixers[0].destinations[0].connections[1].szName, "Headphones");
  EXPECT_EQ(mixers[0].destinations[0].connections[1].cChannels, 2u);
  EXPECT_EQ(mixers[0].destinations[0].connections[1].dwSource, 1u);

  const MIXERLINE& in = mixers[0].destinations[1].line;
  EXPECT_EQ(in.szName, "USB Microphone");
  EXPECT_EQ(in.dwComponentType, MIXERLINE_COMPONENTTYPE_DST_WAVEIN);
  EXPECT_EQ(in.dwDestination, 1u);
  EXPECT_EQ(in.cConnections, 1u);
  EXPECT_EQ(in.cControls, 1u);
  EXPECT_EQ(mixers[0].destinations[1].connections[0].cChannels, 1u);

  ASSERT_EQ(mixers[1].destinations.size(), 1u);
  EXPECT_EQ(mixers[1].destinations[0].line.szName, "Built-in Line In");
  EXPECT_EQ(mixers[1].destinations[0].line.cConnections, 0u);
  EXPECT_EQ(mixers[1].destinations[0].line.cControls, 1u);
}

TEST(ServerModel, AnInputsMixerIsItsCardsPositionAndNoneWithoutACard) {
  const ServerSnapshot s = twoCards();
  EXPECT_EQ(mixerOfSource(s, 0), MixerId{0});  // a monitor of a card's sink: that card
  EXPECT_EQ(mixerOfSource(s, 1), MixerId{0});
  EXPECT_EQ(mixerOfSource(s, 2), MixerId{1});
  EXPECT_EQ(mixerOfSource(s, 3), std::nullopt);  // a null sink's monitor
  EXPECT_EQ(mixerOfSource(s, 4), std::nullopt);  // past the end
}

TEST(ServerModel, VolumesMapNormalToFullScaleAndSaturateAboveIt) {
  EXPECT_EQ(waveVolume(0), 0u);
  EXPECT_EQ(waveVolume(kNormalVolume), 0xFFFFu);
  EXPECT_EQ(waveVolume(kNormalVolume / 2), 0x7FFFu);
  EXPECT_EQ(waveVolume(kNormalVolume * 3 / 2), 0xFFFFu);
  SinkEntry sink;
  sink.leftVolume = kNormalVolume;
  sink.rightVolume = kNormalVolume / 4;
  EXPECT_EQ(outputVolume(sink), 0x3FFFFFFFu);
}

TEST(ServerModel, OutputSupportFlagsFollowTheSink) {
  SinkEntry stereo;
  stereo.channels = 2;
  stereo.latencyQueries = true;
  EXPECT_EQ(outputCaps(stereo).dwSupport,
            WAVECAPS_VOLUME | WAVECAPS_LRVOLUME | WAVECAPS_SAMPLEACCURATE);
  SinkEntry mono;
  mono.channels = 1;
  EXPECT_EQ(outputCaps(mono).dwSupport, WAVECAPS_VOLUME);
}

}  // namespace
}  // namespace kestrel::pulse
