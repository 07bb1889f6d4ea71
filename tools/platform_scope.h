// What the platform needs for as long as velmoractl runs (COM on Windows, nothing elsewhere).
#pragma once

#include <memory>
#include <string>

namespace velmoractl {

// Null with error set when the platform cannot be made ready.
std::shared_ptr<void> EnterPlatform(std::string& error);

}  // namespace velmoractl
