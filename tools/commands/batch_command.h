// velmoractl batch: the commands of a file or of standard input against one device.
#pragma once

#include "tools/cli_options.h"

namespace velmoractl {

// Reads and checks the whole input, then runs its commands in order; returns the exit status.
int RunBatch(const Options& options);

}  // namespace velmoractl
