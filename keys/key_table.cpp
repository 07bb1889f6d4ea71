#include "keys/key_table.h"

namespace velmora {

KeySlotAction KeySlot(int slotIndex)
{
    KeySlotAction action;
    if (slotIndex < 0 || slotIndex >= KeySlotCount) return action;
    const KeyDefinition& key = Keys[static_cast<std::size_t>(slotIndex / 2)];
    action.key = &key;
    action.press = slotIndex % 2 == 0;
    if (key.debugMessages) action.debugMessage = action.press ? "pressed()" : "released()";
    if (action.press) {
        action.writes = true;
        action.data = key.pressCode;
    } else if (key.releaseCode) {
        action.writes = true;
        action.data = *key.releaseCode;
    }
    return action;
}

const KeyDefinition* FindKey(std::string_view objectName)
{
    for (const KeyDefinition& key : Keys) {
        if (key.objectName == objectName) return &key;
    }
    return nullptr;
}

}  // namespace velmora
