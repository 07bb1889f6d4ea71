#include <string>
#include <vector>

#include "tools/velmoractl.h"

int main(int argc, char* argv[])
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return velmoractl::RunVelmoractl(arguments);
}
