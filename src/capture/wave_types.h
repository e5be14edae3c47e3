// The records, flags and result codes of the wave-in, wave-out and mixer interface. The names
// and numeric values are the ones the analyser's logic is written against; the records hold
// whole strings, so no device name is ever cut short.
#pragma once

#include <cstdint>
#include <string>

namespace kestrel {

using MMRESULT = std::uint32_t;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;         // unspecified failure
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;   // id out of range
inline constexpr MMRESULT MMSYSERR_NOTENABLED = 3;    // driver failed to enable
inline constexpr MMRESULT MMSYSERR_ALLOCATED = 4;     // device already in use
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;   // handle not open
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6;      // no driver / sound system
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;         // out of memory
inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;  // operation not supported
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT MMSYSERR_NODEVICE = 12;    // the device has gone away
inline constexpr MMRESULT WAVERR_BADFORMAT = 32;     // format not accepted
inline constexpr MMRESULT WAVERR_STILLPLAYING = 33;  // the device still holds the buffer
inline constexpr MMRESULT WAVERR_UNPREPARED = 34;    // header not prepared

// Device ids run 0 .. n-1; -1 asks for the system's default input.
using DeviceId = std::int32_t;
inline constexpr DeviceId WAVE_MAPPER = -1;

// An open wave-in device; 0 is no device.
using HWAVEIN = std::uint32_t;
inline constexpr HWAVEIN kNoWaveIn = 0;

// Notifications posted to the target named at open.
using MessageId = std::uint32_t;
inline constexpr MessageId MM_WIM_OPEN = 0x3BE;
inline constexpr MessageId MM_WIM_CLOSE = 0x3BF;
inline constexpr MessageId MM_WIM_DATA = 0x3C0;  // a queued buffer is full
// The open device stopped delivering for good (server gone, device unplugged). Our own.
inline constexpr MessageId WIM_DEVICE_LOST = 0x8001;

// waveInOpen flags
inline constexpr std::uint32_t CALLBACK_WINDOW = 0x00010000;

inline constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

struct WAVEFORMATEX {
  std::uint16_t wFormatTag = 0;
  std::uint16_t nChannels = 0;
  std::uint32_t nSamplesPerSec = 0;
  std::uint32_t nAvgBytesPerSec = 0;
  std::uint16_t nBlockAlign = 0;
  std::uint16_t wBitsPerSample = 0;
  std::uint16_t cbSize = 0;
};

// The one format the analyser records in: 16-bit stereo PCM at sampleRate.
constexpr WAVEFORMATEX pcmStereo16(std::uint32_t sampleRate) {
  WAVEFORMATEX format;
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = sampleRate;
  format.nAvgBytesPerSec = sampleRate * 4;
  format.nBlockAlign = 4;
  format.wBitsPerSample = 16;
  format.cbSize = 0;
  return format;
}

// Header flags
inline constexpr std::uint32_t WHDR_DONE = 0x01;  // the device has filled the buffer
inline constexpr std::uint32_t WHDR_PREPARED = 0x02;
inline constexpr std::uint32_t WHDR_BEGINLOOP = 0x04;
inline constexpr std::uint32_t WHDR_ENDLOOP = 0x08;
inline constexpr std::uint32_t WHDR_INQUEUE = 0x10;  // the device holds the buffer

// One buffer handed to the device. While it is queued only the driver writes it: the driver
// sets dwBytesRecorded, then WHDR_DONE in dwFlags with release semantics (std::atomic_ref), and
// readers test WHDR_DONE with acquire semantics.
struct WAVEHDR {
  char* lpData = nullptr;
  std::uint32_t dwBufferLength = 0;
  std::uint32_t dwBytesRecorded = 0;
  std::uintptr_t dwUser = 0;
  alignas(4) std::uint32_t dwFlags = 0;
  std::uint32_t dwLoops = 0;
};

// Wave-in format bits (dwFormats): 11.025, 22.05 and 44.1 kHz; M/S mono/stereo; 08/16 bits.
inline constexpr std::uint32_t WAVE_FORMAT_1M08 = 0x0001;
inline constexpr std::uint32_t WAVE_FORMAT_1S08 = 0x0002;
inline constexpr std::uint32_t WAVE_FORMAT_1M16 = 0x0004;
inline constexpr std::uint32_t WAVE_FORMAT_1S16 = 0x0008;
inline constexpr std::uint32_t WAVE_FORMAT_2M08 = 0x0010;
inline constexpr std::uint32_t WAVE_FORMAT_2S08 = 0x0020;
inline constexpr std::uint32_t WAVE_FORMAT_2M16 = 0x0040;
inline constexpr std::uint32_t WAVE_FORMAT_2S16 = 0x0080;
inline constexpr std::uint32_t WAVE_FORMAT_4M08 = 0x0100;
inline constexpr std::uint32_t WAVE_FORMAT_4S08 = 0x0200;
inline constexpr std::uint32_t WAVE_FORMAT_4M16 = 0x0400;
inline constexpr std::uint32_t WAVE_FORMAT_4S16 = 0x0800;
inline constexpr std::uint32_t kAllWaveFormats = 0x0FFF;

struct WAVEINCAPS {
  std::string szPname;          // product name, whole
  std::uint32_t dwFormats = 0;  // WAVE_FORMAT_* bits
  std::uint16_t wChannels = 0;
};

// Wave-out support bits (dwSupport)
inline constexpr std::uint32_t WAVECAPS_PITCH = 0x0001;
inline constexpr std::uint32_t WAVECAPS_PLAYBACKRATE = 0x0002;
inline constexpr std::uint32_t WAVECAPS_VOLUME = 0x0004;
inline constexpr std::uint32_t WAVECAPS_LRVOLUME = 0x0008;
inline constexpr std::uint32_t WAVECAPS_SYNC = 0x0010;
inline constexpr std::uint32_t WAVECAPS_SAMPLEACCURATE = 0x0020;

struct WAVEOUTCAPS {
  std::string szPname;
  std::uint32_t dwFormats = 0;
  std::uint16_t wChannels = 0;
  std::uint32_t dwSupport = 0;  // WAVECAPS_* bits
};

using MixerId = std::uint32_t;

struct MIXERCAPS {
  std::string szPname;
  std::uint32_t fdwSupport = 0;
  std::uint32_t cDestinations = 0;
};

// mixerGetLineInfo flags
inline constexpr std::uint32_t MIXER_GETLINEINFOF_DESTINATION = 0;
inline constexpr std::uint32_t MIXER_GETLINEINFOF_SOURCE = 1;
// mixerGetID flags
inline constexpr std::uint32_t MIXER_OBJECTF_WAVEIN = 0x20000000;

// Line component types
inline constexpr std::uint32_t MIXERLINE_COMPONENTTYPE_DST_UNDEFINED = 0;
inline constexpr std::uint32_t MIXERLINE_COMPONENTTYPE_DST_SPEAKERS = 4;
inline constexpr std::uint32_t MIXERLINE_COMPONENTTYPE_DST_WAVEIN = 7;
inline constexpr std::uint32_t MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED = 0x1000;

struct MIXERLINE {
  std::uint32_t dwDestination = 0;  // in: which destination
  std::uint32_t dwSource = 0;       // in: which connection of it (source queries)
  std::uint32_t dwComponentType = 0;
  std::uint32_t cChannels = 0;
  std::uint32_t cConnections = 0;
  std::uint32_t cControls = 0;
  std::string szShortName;
  std::string szName;
};

}  // namespace kestrel
