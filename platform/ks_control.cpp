#include "platform/ks_control.h"

#include <new>

namespace velmora {

std::unique_ptr<std::uint8_t[]> KsControl::AllocatePieceBuffer(std::uint32_t size)
{
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]());
}

}  // namespace velmora
