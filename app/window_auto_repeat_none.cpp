#include "app/window_auto_repeat.h"

namespace velmora {

int WindowKeyReleaseSettleMs()
{
    return 0;
}

}  // namespace velmora
