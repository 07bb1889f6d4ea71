#include "keys/held_keys.h"

#include <algorithm>

#include "keys/key_table.h"

namespace velmora {

void HeldKeys::Sent(int slotIndex, Owner owner)
{
    if (slotIndex < 0 || slotIndex >= KeySlotCount) return;
    const int key = slotIndex / 2;
    if (!Keys[static_cast<std::size_t>(key)].releaseCode) return;
    const auto found = std::find(m_keys.begin(), m_keys.end(), key);
    const auto at = static_cast<std::size_t>(found - m_keys.begin());
    if (slotIndex % 2 == 1) {
        if (found == m_keys.end()) return;
        m_keys.erase(found);
        m_owners.erase(m_owners.begin() + static_cast<std::ptrdiff_t>(at));
    } else if (found == m_keys.end()) {
        m_keys.push_back(key);
        m_owners.push_back(owner);
    } else {
        m_owners[at] = owner;
    }
}

bool HeldKeys::Holds(int keyIndex) const
{
    return std::find(m_keys.begin(), m_keys.end(), keyIndex) != m_keys.end();
}

std::optional<HeldKeys::Owner> HeldKeys::HolderOf(int keyIndex) const
{
    const auto found = std::find(m_keys.begin(), m_keys.end(), keyIndex);
    if (found == m_keys.end()) return std::nullopt;
    return m_owners[static_cast<std::size_t>(found - m_keys.begin())];
}

std::vector<int> HeldKeys::TakeReleases()
{
    std::vector<int> slots;
    slots.reserve(m_keys.size());
    for (int key : m_keys) slots.push_back(2 * key + 1);
    m_keys.clear();
    m_owners.clear();
    return slots;
}

std::vector<int> HeldKeys::TakeReleases(Owner owner)
{
    std::vector<int> slots;
    for (std::size_t i = 0; i < m_keys.size();) {
        if (m_owners[i] != owner) {
            ++i;
            continue;
        }
        slots.push_back(2 * m_keys[i] + 1);
        m_keys.erase(m_keys.begin() + static_cast<std::ptrdiff_t>(i));
        m_owners.erase(m_owners.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return slots;
}

std::vector<int> KeypadPressSlots(const HeldKeys& held, int keyIndex, bool click)
{
    std::vector<int> slots;
    if (!click && held.Holds(keyIndex)) return slots;
    for (const int key : held.KeyIndices()) slots.push_back(2 * key + 1);
    slots.push_back(2 * keyIndex);
    if (click) slots.push_back(2 * keyIndex + 1);
    return slots;
}

}  // namespace velmora
