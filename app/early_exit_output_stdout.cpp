#include <cstdio>

#include "app/early_exit_output.h"

namespace velmora {

void ShowEarlyExitText(const std::string& text)
{
    std::fputs(text.c_str(), stdout);
}

}  // namespace velmora
