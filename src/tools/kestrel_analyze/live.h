// kestrel-analyze on the sound server: the input list, and live capture through the PulseAudio
// driver with the same output as for a file.
#pragma once

#include "tools/kestrel_analyze/options.h"

namespace kestrel::analyze {

// Prints "ID<TAB>NAME" for every input device. 1 with the driver's text when no server answers.
int listDevices();

// Captures from options.device, real-time paced, until --blocks N, Ctrl-C (SIGINT or SIGTERM:
// the capture is stopped and what was printed is flushed, exit 0) or the device going away
// (one line, exit 1). A device that cannot be opened: the driver's text, exit 1.
int runLive(const Options& options);

}  // namespace kestrel::analyze
