#include "keys/held_keys.h"

#include <algorithm>

#include "keys/key_table.h"

namespace velmora {

void HeldKeys::Sent(int slotIndex)
{
    if (slotIndex < 0 || slotIndex >= KeySlotCount) return;
    const int key = slotIndex / 2;
    if (!Keys[static_cast<std::size_t>(key)].releaseCode) return;
    const auto found = std::find(m_keys.begin(), m_keys.end(), key);
    if (slotIndex % 2 == 1) {
        if (found != m_keys.end()) m_keys.erase(found);
    } else if (found == m_keys.end()) {
        m_keys.push_back(key);
    }
}

bool HeldKeys::Holds(int keyIndex) const
{
    return std::find(m_keys.begin(), m_keys.end(), keyIndex) != m_keys.end();
}

std::vector<int> HeldKeys::TakeReleases()
{
    std::vector<int> slots;
    slots.reserve(m_keys.size());
    for (int key : m_keys) slots.push_back(2 * key + 1);
    m_keys.clear();
    return slots;
}

}  // namespace velmora
