#include "config/xu_identity.h"

namespace velmora {

XuIdentity g_xuIdentity;

Guid EffectiveXuPropertySet(const XuIdentity& identity)
{
    return identity.guid.IsNull() ? DefaultXuPropertySet : identity.guid;
}

}  // namespace velmora
