// velmoractl as a function: the arguments after the program name in, the exit status out.
#pragma once

#include <string>
#include <vector>

namespace velmoractl {

int RunVelmoractl(const std::vector<std::string>& arguments);

}  // namespace velmoractl
