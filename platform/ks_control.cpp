#include "platform/ks_control.h"

#include <new>

namespace velmora {

PieceBuffer KsControl::AllocatePieceBuffer(std::uint32_t size)
{
    return PieceBuffer(new (std::nothrow) std::uint8_t[size]());
}

}  // namespace velmora
