// The keys that are down: pressed, with their release still owed. Every front end that presses
// keys keeps one, so that whatever ends a hold (the user, a lost focus, a signal, a failure, a
// timeout, a closed connection) sends each owed release exactly once.
#pragma once

#include <vector>

namespace velmora {

class HeldKeys {
public:
    // After slot slotIndex (0..23) went out: the press of a key that has a release starts its
    // hold, the key's release ends it. Keys without a release never hold; other slots are ignored.
    void Sent(int slotIndex);

    bool Holds(int keyIndex) const;
    bool Empty() const { return m_keys.empty(); }
    const std::vector<int>& KeyIndices() const { return m_keys; }  // key indices, oldest press first

    // The release slots of every held key, oldest press first; the keys count as released.
    std::vector<int> TakeReleases();

private:
    std::vector<int> m_keys;
};

}  // namespace velmora
