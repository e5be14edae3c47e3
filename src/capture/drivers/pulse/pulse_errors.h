// The result codes the PulseAudio driver answers with, where they come from, and the texts that
// tell the user what to do about each.
#pragma once

#include <string>

#include "capture/wave_types.h"

namespace kestrel::pulse {

// No server reachable: none running, PULSE_SERVER wrong, or the connection was refused or lost.
inline constexpr MMRESULT kNoServer = MMSYSERR_NODRIVER;
// The id is not in the list the server gave.
inline constexpr MMRESULT kNoSuchInput = MMSYSERR_BADDEVICEID;
// The source was in the list but is no longer on the server (or went away during a capture).
inline constexpr MMRESULT kInputGone = MMSYSERR_NODEVICE;
// The server (or libpulse before it) does not accept the sample format.
inline constexpr MMRESULT kFormatRefused = WAVERR_BADFORMAT;
// The server did not answer within the bound of the call.
inline constexpr MMRESULT kServerTimedOut = MMSYSERR_NOTENABLED;
// The server refused the stream for a reason of its own.
inline constexpr MMRESULT kServerRefused = MMSYSERR_ERROR;

// A libpulse error number (pa_context_errno) as one of the codes above.
MMRESULT resultOfPulseError(int error);

std::string errorText(MMRESULT code);

}  // namespace kestrel::pulse
