// velmoractl midi learn PORT: each message a MIDI port sends, with the mapping line that binds it.
#pragma once

#include "tools/cli_options.h"

namespace velmoractl {

// Returns the exit status: 0 when stopped by a signal, 2 for a bad argument (a port that does not
// exist, a bad --midi-map), 4 when the port went away, 1 when it cannot be opened.
int RunMidi(const Options& options);

}  // namespace velmoractl
