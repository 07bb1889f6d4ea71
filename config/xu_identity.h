// The extension unit every request addresses: node id and property set.
#pragma once

#include <cstdint>

#include "platform/guid.h"

namespace velmora {

struct XuIdentity {
    std::int32_t exId = 1;  // node id of the extension unit
    Guid guid;              // property set; the null GUID selects DefaultXuPropertySet
};

// The process-wide identity, statically initialised to node 1 and the null GUID.
extern XuIdentity g_xuIdentity;

// The property set a request names: the configured GUID, or DefaultXuPropertySet for the null GUID.
Guid EffectiveXuPropertySet(const XuIdentity& identity);

}  // namespace velmora
