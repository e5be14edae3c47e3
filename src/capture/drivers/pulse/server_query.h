// Reads the server's sources, sinks, cards and default source into a ServerSnapshot.
#pragma once

#include <chrono>

#include "capture/drivers/pulse/pulse_loop.h"
#include "capture/drivers/pulse/server_model.h"
#include "capture/wave_types.h"

namespace kestrel::pulse {

// The caller's thread, loop locked, context ready. All four queries go out at once and are
// waited for together, at most `bound`; at the bound the rest are cancelled and the snapshot is
// left as it was. MMSYSERR_NOERROR, kServerTimedOut or kNoServer (the connection broke).
MMRESULT fetchSnapshot(MainLoop& loop, pa_context* context, std::chrono::milliseconds bound,
                       ServerSnapshot& snapshot);

}  // namespace kestrel::pulse
