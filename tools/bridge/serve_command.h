// velmoractl serve: the keypad bridge, until SIGINT or SIGTERM (Ctrl-C or Ctrl-Break on Windows).
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "tools/cli_failure.h"
#include "tools/cli_options.h"

namespace velmora::bridge {

inline constexpr unsigned short DefaultHttpPort = 8719;

struct ServeSettings {
    std::string address = "127.0.0.1";
    unsigned short port = DefaultHttpPort;
    std::optional<std::string> token;
    std::chrono::milliseconds holdLimit{10000};
    std::chrono::milliseconds idleLimit{30000};
};

// The settings the options give, or the usage failure (exit 2) naming what is wrong: a bad
// address, a token file that cannot be read or is empty, a listen address other than loopback
// without --token-file.
std::optional<velmoractl::Failure> ReadServeSettings(const velmoractl::Options& options,
                                                     ServeSettings& settings);

int RunServe(const velmoractl::Options& options);

}  // namespace velmora::bridge
