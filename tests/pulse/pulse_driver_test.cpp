// The PulseAudio driver's lists and failures against a real server: the monitors in the input
// list, the sinks with their volumes, the mixer answer for a card-less source, every open error
// with its own code and text, a source that vanishes, and no server at all.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "capture/drivers/pulse/pulse_driver.h"
#include "live_rig.h"
#include "pulse_server.h"

namespace kestrel::testing {
namespace {

using pulse::PulseDriver;
using pulse::PulseOptions;

PulseOptions sharedOptions() {
  PulseOptions options;
  options.server = sharedServer().address();
  return options;
}

TEST(PulseLists, TheMonitorsAreInputsWithTheirWholeNames) {
  PulseDriver driver(sharedOptions());
  const DeviceId test = findInput(driver, "Monitor of KestrelTest");
  const DeviceId second = findInput(driver, "Monitor of KestrelSecond");
  ASSERT_GE(test, 0);
  ASSERT_GE(second, 0);
  EXPECT_LT(test, second);  // by server index: the "test" sink was loaded first
  WAVEINCAPS caps;
  ASSERT_EQ(driver.waveInGetDevCaps(test, caps), MMSYSERR_NOERROR);
  EXPECT_EQ(caps.dwFormats, kAllWaveFormats);
  // The mapper is the server's default source, the first sink's monitor here.
  WAVEINCAPS mapped;
  ASSERT_EQ(driver.waveInGetDevCaps(WAVE_MAPPER, mapped), MMSYSERR_NOERROR);
  EXPECT_EQ(mapped.szPname, "Monitor of KestrelTest");
  // A null sink's monitor has no card, so no mixer; the test server has no cards at all.
  MixerId mixer = 0;
  EXPECT_EQ(driver.mixerGetID(test, &mixer, MIXER_OBJECTF_WAVEIN), MMSYSERR_NODRIVER);
  EXPECT_EQ(driver.mixerGetNumDevs(), 0u);
}

TEST(PulseLists, SinksAreOutputsWithTheirRealVolumes) {
  ASSERT_EQ(sharedServer().pactl("set-sink-volume second 32768 16384"), 0);
  PulseDriver driver(sharedOptions());
  const std::uint32_t n = driver.waveOutGetNumDevs();
  std::set<std::string> seen;
  for (std::uint32_t i = 0; i < n; ++i) {
    WAVEOUTCAPS caps;
    ASSERT_EQ(driver.waveOutGetDevCaps(static_cast<DeviceId>(i), caps), MMSYSERR_NOERROR);
    seen.insert(caps.szPname);
    EXPECT_EQ(caps.dwSupport & (WAVECAPS_VOLUME | WAVECAPS_LRVOLUME),
              WAVECAPS_VOLUME | WAVECAPS_LRVOLUME);
    std::uint32_t volume = 0;
    ASSERT_EQ(driver.waveOutGetVolume(static_cast<DeviceId>(i), &volume), MMSYSERR_NOERROR);
    if (caps.szPname == "KestrelTest") {
      EXPECT_EQ(volume, 0xFFFFFFFFu);
    } else if (caps.szPname == "KestrelSecond") {
      EXPECT_EQ(volume, 0x3FFF7FFFu);  // right 25 %, left 50 %
    }
  }
  EXPECT_EQ(seen, (std::set<std::string>{"KestrelTest", "KestrelSecond"}));
  sharedServer().pactl("set-sink-volume second 65536");
}

TEST(PulseErrors, EachRefusalHasItsOwnCodeAndText) {
  PulseDriver driver(sharedOptions());
  const auto count = static_cast<DeviceId>(driver.waveInGetNumDevs());
  WAVEFORMATEX mono = pcmStereo16(48000);
  mono.nChannels = 1;
  mono.nBlockAlign = 2;
  mono.nAvgBytesPerSec = 96000;
  struct Case {
    const char* what;
    DeviceId id;
    WAVEFORMATEX format;
    MMRESULT expected;
  };
  const Case cases[] = {
      {"id past the end", count, pcmStereo16(48000), MMSYSERR_BADDEVICEID},
      {"negative id", -2, pcmStereo16(48000), MMSYSERR_BADDEVICEID},
      {"rate above the server's limit", 0, pcmStereo16(1'000'000), WAVERR_BADFORMAT},
      {"mono", 0, mono, WAVERR_BADFORMAT},
  };
  for (const Case& c : cases) {
    NotificationQueue queue;
    HWAVEIN handle = 123;
    EXPECT_EQ(driver.waveInOpen(&handle, c.id, c.format, &queue, 0, CALLBACK_WINDOW), c.expected)
        << c.what;
    EXPECT_EQ(handle, kNoWaveIn) << c.what;
  }
  // One text per code, each telling the user what to do.
  const MMRESULT codes[] = {MMSYSERR_NODRIVER, MMSYSERR_BADDEVICEID, MMSYSERR_NODEVICE,
                            WAVERR_BADFORMAT,  MMSYSERR_NOTENABLED,  MMSYSERR_ERROR};
  std::set<std::string> texts;
  for (MMRESULT code : codes) texts.insert(driver.waveInGetErrorText(code));
  EXPECT_EQ(texts.size(), std::size(codes));
  EXPECT_EQ(driver.waveInGetErrorText(WAVERR_BADFORMAT),
            "The sound server does not accept 16-bit stereo at this sample rate: choose another "
            "sample rate.");
}

TEST(PulseErrors, NoServerGivesEmptyListsAndTheNoServerText) {
  PulseOptions options;
  options.server = "unix:" + (sharedServer().directory() / "missing.sock").string();
  PulseDriver driver(options);
  EXPECT_EQ(driver.waveInGetNumDevs(), 0u);
  EXPECT_EQ(driver.waveOutGetNumDevs(), 0u);
  EXPECT_EQ(driver.mixerGetNumDevs(), 0u);
  WAVEINCAPS caps;
  EXPECT_EQ(driver.waveInGetDevCaps(0, caps), MMSYSERR_NODRIVER);
  MixerId mixer = 0;
  EXPECT_EQ(driver.mixerGetID(WAVE_MAPPER, &mixer, MIXER_OBJECTF_WAVEIN), MMSYSERR_NODRIVER);
  for (const DeviceId id : {WAVE_MAPPER, DeviceId{0}}) {
    WaveRig rig(driver);
    const MMRESULT opened = rig.open(id);
    EXPECT_EQ(opened, MMSYSERR_NODRIVER);
    EXPECT_EQ(driver.waveInGetErrorText(opened),
              "No sound server is reachable: start PulseAudio or PipeWire, or check "
              "PULSE_SERVER.");
  }
  EXPECT_EQ(driver.stats().timedOutWaits, 0);
}

TEST(PulseDeviceLost, ASourceRemovedDuringACaptureIsReportedOnceAndGivesItsBuffersBack) {
  PulseServer& server = sharedServer();
  std::string module;
  ASSERT_EQ(server.pactl("load-module module-null-sink sink_name=gone "
                         "sink_properties=device.description=KestrelGone",
                         &module),
            0)
      << module;
  PulseDriver driver(sharedOptions());
  const DeviceId gone = findInput(driver, "Monitor of KestrelGone");
  ASSERT_GE(gone, 0);
  WaveRig rig(driver);
  ASSERT_NO_FATAL_FAILURE(rig.start(gone, 1024));
  WaveMessage message;
  ASSERT_TRUE(rig.next(message));
  EXPECT_EQ(message.message, MM_WIM_DATA);

  ASSERT_EQ(server.pactl("unload-module " + module), 0);
  int filled = 1;
  bool lost = false;
  while (!lost && rig.next(message)) {
    lost = message.message == WIM_DEVICE_LOST;
    filled += message.message == MM_WIM_DATA;
  }
  ASSERT_TRUE(lost) << "no device-lost report";
  EXPECT_EQ(message.device, rig.handle);
  // Headers still held come back at once as gone; nothing waits for a dead device.
  int gaveBack = 0;
  for (int i = 0; i < 4; ++i) {
    const MMRESULT r = rig.unprepare(i);
    EXPECT_TRUE(r == MMSYSERR_NOERROR || r == MMSYSERR_NODEVICE) << r;
    gaveBack += r == MMSYSERR_NODEVICE;
  }
  EXPECT_EQ(rig.queueBuffer(0), MMSYSERR_NODEVICE);
  EXPECT_EQ(driver.waveInClose(rig.handle), MMSYSERR_NOERROR);
  rig.handle = kNoWaveIn;
  EXPECT_EQ(driver.stats().deviceLostReports, 1);
  while (rig.queue.tryTake(message)) {
    EXPECT_NE(message.message, WIM_DEVICE_LOST);
    filled += message.message == MM_WIM_DATA;
  }
  EXPECT_EQ(filled + gaveBack, 4);  // every buffer came back once, filled or empty

  // Opening it again by the id of the old list: the source has vanished.
  EXPECT_EQ(rig.open(gone), MMSYSERR_NODEVICE);
  EXPECT_NE(driver.waveInGetErrorText(MMSYSERR_NODEVICE).find("reconnect"), std::string::npos);
}

}  // namespace
}  // namespace kestrel::testing
