// Opening by id and format, and the capability, volume and mixer queries of the simulated
// driver.
#include <gtest/gtest.h>

#include "wave_rig.h"

namespace kestrel::test {
namespace {

using sim::Config;
using sim::SimulatedDriver;

Config twoInputs() {
  Config config;
  config.inputs.push_back(device("Line In", sim::counter()));
  config.inputs.push_back(device("Microphone", sim::square(1000)));
  return config;
}

TEST(SimulatedDriverOpen, IdsAndTheDefaultDevice) {
  struct Case {
    int devices;
    DeviceId id;
    MMRESULT expected;
  };
  const Case cases[] = {
      {0, WAVE_MAPPER, MMSYSERR_NODRIVER},  // no input at all
      {0, 0, MMSYSERR_BADDEVICEID},        {2, 2, MMSYSERR_BADDEVICEID},
      {2, -2, MMSYSERR_BADDEVICEID},       {2, 1, MMSYSERR_NOERROR},
      {2, WAVE_MAPPER, MMSYSERR_NOERROR},
  };
  for (const Case& c : cases) {
    Config config = twoInputs();
    config.inputs.resize(static_cast<std::size_t>(c.devices));
    SimulatedDriver driver(std::move(config));
    WaveRig rig(driver);
    EXPECT_EQ(rig.open(c.id), c.expected) << c.devices << " devices, id " << c.id;
  }
}

TEST(SimulatedDriverOpen, TheDefaultDeviceIsTheFirstAndEachDeviceOpensOnce) {
  SimulatedDriver driver(twoInputs());
  WaveRig byDefault(driver);
  ASSERT_EQ(byDefault.open(WAVE_MAPPER), MMSYSERR_NOERROR);
  WaveRig first(driver);
  EXPECT_EQ(first.open(0), MMSYSERR_ALLOCATED);
  EXPECT_EQ(first.open(WAVE_MAPPER), MMSYSERR_ALLOCATED);
  WaveRig second(driver);
  EXPECT_EQ(second.open(1), MMSYSERR_NOERROR);
  EXPECT_NE(second.handle, byDefault.handle);
  EXPECT_EQ(driver.stats().openHandles, 2);

  // The default device is the counter: its first frame is 0 / ~0.
  ASSERT_EQ(byDefault.queueBuffer(0, 4), MMSYSERR_NOERROR);
  ASSERT_EQ(driver.waveInStart(byDefault.handle), MMSYSERR_NOERROR);
  ASSERT_EQ(byDefault.unprepare(0), MMSYSERR_NOERROR);
  std::uint64_t next = 0;
  expectCounterFrames(byDefault.samples(0), 4, next);
}

TEST(SimulatedDriverOpen, AcceptsOnlySixteenBitStereoPcm) {
  struct Case {
    const char* what;
    void (*change)(WAVEFORMATEX&);
  };
  const Case refused[] = {
      {"not PCM", [](WAVEFORMATEX& f) { f.wFormatTag = 3; }},
      {"mono",
       [](WAVEFORMATEX& f) {
         f.nChannels = 1;
         f.nBlockAlign = 2;
         f.nAvgBytesPerSec /= 2;
       }},
      {"8 bits",
       [](WAVEFORMATEX& f) {
         f.wBitsPerSample = 8;
         f.nBlockAlign = 2;
         f.nAvgBytesPerSec /= 2;
       }},
      {"block align", [](WAVEFORMATEX& f) { f.nBlockAlign = 2; }},
      {"bytes per second", [](WAVEFORMATEX& f) { f.nAvgBytesPerSec += 4; }},
      {"rate 0",
       [](WAVEFORMATEX& f) {
         f.nSamplesPerSec = 0;
         f.nAvgBytesPerSec = 0;
       }},
  };
  SimulatedDriver driver(twoInputs());
  NotificationQueue queue;
  for (const Case& c : refused) {
    WAVEFORMATEX format = pcmStereo16(44100);
    c.change(format);
    HWAVEIN handle = 77;
    EXPECT_EQ(driver.waveInOpen(&handle, 0, format, &queue, 0, CALLBACK_WINDOW), WAVERR_BADFORMAT)
        << c.what;
    EXPECT_EQ(handle, kNoWaveIn) << c.what;
  }
  // The device's format bits do not gate the rate.
  HWAVEIN handle = kNoWaveIn;
  EXPECT_EQ(driver.waveInOpen(&handle, 0, pcmStereo16(12345), &queue, 0, CALLBACK_WINDOW),
            MMSYSERR_NOERROR);
  EXPECT_EQ(driver.stats().opens, 1);
}

Config reportConfig() {
  Config config = twoInputs();
  config.inputs[0].formats = WAVE_FORMAT_4S16 | WAVE_FORMAT_1M08;
  config.inputs[0].mixer = 1;
  sim::OutputDevice speakers;
  speakers.name = "Speakers (a rather long product name that is not cut short)";
  speakers.volume = 0x8000FFFF;
  sim::OutputDevice hdmi;
  hdmi.name = "HDMI";
  hdmi.support = WAVECAPS_SAMPLEACCURATE;
  config.outputs = {speakers, hdmi};

  sim::MixerLineSpec capture{"Recording Control", MIXERLINE_COMPONENTTYPE_DST_WAVEIN, 2, 3, {}};
  capture.connections.push_back({"Line", MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED, 2, 1, {}});
  capture.connections.push_back({"Mic", MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED, 1, 2, {}});
  sim::MixerLineSpec playback{"Volume Control", MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, 2, 1, {}};
  config.mixers = {sim::Mixer{"Onboard", {}}, sim::Mixer{"Card", {capture, playback}}};
  return config;
}

TEST(SimulatedDriverQueries, WaveInAndWaveOutCapabilitiesAndVolume) {
  SimulatedDriver driver(reportConfig());
  WAVEINCAPS in;
  ASSERT_EQ(driver.waveInGetDevCaps(0, in), MMSYSERR_NOERROR);
  EXPECT_EQ(in.szPname, "Line In");
  EXPECT_EQ(in.dwFormats, WAVE_FORMAT_4S16 | WAVE_FORMAT_1M08);
  EXPECT_EQ(driver.waveInGetDevCaps(2, in), MMSYSERR_BADDEVICEID);

  ASSERT_EQ(driver.waveOutGetNumDevs(), 2u);
  WAVEOUTCAPS out;
  ASSERT_EQ(driver.waveOutGetDevCaps(0, out), MMSYSERR_NOERROR);
  EXPECT_EQ(out.szPname, "Speakers (a rather long product name that is not cut short)");
  EXPECT_EQ(out.dwSupport, WAVECAPS_VOLUME | WAVECAPS_LRVOLUME | WAVECAPS_SAMPLEACCURATE);
  ASSERT_EQ(driver.waveOutGetDevCaps(1, out), MMSYSERR_NOERROR);
  EXPECT_EQ(out.szPname, "HDMI");
  EXPECT_EQ(out.dwSupport, WAVECAPS_SAMPLEACCURATE);
  EXPECT_EQ(driver.waveOutGetDevCaps(2, out), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(driver.waveOutGetDevCaps(-1, out), MMSYSERR_BADDEVICEID);

  std::uint32_t volume = 0;
  EXPECT_EQ(driver.waveOutGetVolume(0, &volume), MMSYSERR_NOERROR);
  EXPECT_EQ(volume, 0x8000FFFFu);
  EXPECT_EQ(driver.waveOutGetVolume(1, &volume), MMSYSERR_NOTSUPPORTED);
  EXPECT_EQ(driver.waveOutGetVolume(5, &volume), MMSYSERR_BADDEVICEID);
}

TEST(SimulatedDriverQueries, MixerDestinationsAndTheirConnections) {
  SimulatedDriver driver(reportConfig());
  ASSERT_EQ(driver.mixerGetNumDevs(), 2u);
  MIXERCAPS caps;
  ASSERT_EQ(driver.mixerGetDevCaps(1, caps), MMSYSERR_NOERROR);
  EXPECT_EQ(caps.szPname, "Card");
  EXPECT_EQ(caps.cDestinations, 2u);
  ASSERT_EQ(driver.mixerGetDevCaps(0, caps), MMSYSERR_NOERROR);
  EXPECT_EQ(caps.cDestinations, 0u);
  EXPECT_EQ(driver.mixerGetDevCaps(2, caps), MMSYSERR_BADDEVICEID);

  struct Case {
    std::uint32_t destination, source, flags;
    const char* name;
    std::uint32_t type, channels, connections, controls;
  };
  const Case lines[] = {
      {0, 0, MIXER_GETLINEINFOF_DESTINATION, "Recording Control",
       MIXERLINE_COMPONENTTYPE_DST_WAVEIN, 2, 2, 3},
      {1, 7, MIXER_GETLINEINFOF_DESTINATION, "Volume Control", MIXERLINE_COMPONENTTYPE_DST_SPEAKERS,
       2, 0, 1},
      {0, 0, MIXER_GETLINEINFOF_SOURCE, "Line", MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED, 2, 0, 1},
      {0, 1, MIXER_GETLINEINFOF_SOURCE, "Mic", MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED, 1, 0, 2},
  };
  for (const Case& c : lines) {
    MIXERLINE line;
    line.dwDestination = c.destination;
    line.dwSource = c.source;
    ASSERT_EQ(driver.mixerGetLineInfo(1, line, c.flags), MMSYSERR_NOERROR) << c.name;
    EXPECT_EQ(line.szName, c.name);
    EXPECT_EQ(line.dwComponentType, c.type) << c.name;
    EXPECT_EQ(line.cChannels, c.channels) << c.name;
    EXPECT_EQ(line.cConnections, c.connections) << c.name;
    EXPECT_EQ(line.cControls, c.controls) << c.name;
  }

  const Case bad[] = {
      {2, 0, MIXER_GETLINEINFOF_DESTINATION, "destination past the end", 0, 0, 0, 0},
      {0, 2, MIXER_GETLINEINFOF_SOURCE, "source past the end", 0, 0, 0, 0},
      {1, 0, MIXER_GETLINEINFOF_SOURCE, "destination without sources", 0, 0, 0, 0},
  };
  for (const Case& c : bad) {
    MIXERLINE line;
    line.dwDestination = c.destination;
    line.dwSource = c.source;
    EXPECT_EQ(driver.mixerGetLineInfo(1, line, c.flags), MMSYSERR_INVALPARAM) << c.name;
  }
  MIXERLINE line;
  EXPECT_EQ(driver.mixerGetLineInfo(0, line, MIXER_GETLINEINFOF_DESTINATION), MMSYSERR_INVALPARAM);
  EXPECT_EQ(driver.mixerGetLineInfo(2, line, MIXER_GETLINEINFOF_DESTINATION), MMSYSERR_BADDEVICEID);
}

TEST(SimulatedDriverQueries, MixerOfAnInputDevice) {
  SimulatedDriver driver(reportConfig());
  MixerId mixer = 0;
  EXPECT_EQ(driver.mixerGetID(0, &mixer, MIXER_OBJECTF_WAVEIN), MMSYSERR_NOERROR);
  EXPECT_EQ(mixer, 1u);
  mixer = 0;
  EXPECT_EQ(driver.mixerGetID(WAVE_MAPPER, &mixer, MIXER_OBJECTF_WAVEIN), MMSYSERR_NOERROR);
  EXPECT_EQ(mixer, 1u);

  mixer = 42;
  EXPECT_EQ(driver.mixerGetID(1, &mixer, MIXER_OBJECTF_WAVEIN), MMSYSERR_NODRIVER);
  EXPECT_EQ(mixer, 42u);  // left as it was
  EXPECT_EQ(driver.mixerGetID(2, &mixer, MIXER_OBJECTF_WAVEIN), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(mixer, 42u);

  SimulatedDriver empty(Config{});
  EXPECT_EQ(empty.mixerGetID(WAVE_MAPPER, &mixer, MIXER_OBJECTF_WAVEIN), MMSYSERR_NODRIVER);
  EXPECT_EQ(mixer, 42u);
}

}  // namespace
}  // namespace kestrel::test
