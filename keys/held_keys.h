// The keys that are down: pressed, with their release still owed. Every front end that presses
// keys keeps one, so that whatever ends a hold (the user, a lost focus, a signal, a failure, a
// timeout, a closed connection) sends each owed release exactly once.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace velmora {

class HeldKeys {
public:
    // Who pressed a key: a front end with several clients (a network bridge) gives each its own,
    // so that a client going away releases what it pressed and nothing else.
    using Owner = std::uint64_t;

    // After slot slotIndex (0..23) went out: the press of a key that has a release starts its
    // hold (or hands a held key to this owner), the key's release ends it, whoever pressed it.
    // Keys without a release never hold; other slots are ignored.
    void Sent(int slotIndex, Owner owner = 0);

    bool Holds(int keyIndex) const;
    // Who holds the key, or nullopt when it is not held.
    std::optional<Owner> HolderOf(int keyIndex) const;
    bool Empty() const { return m_keys.empty(); }
    const std::vector<int>& KeyIndices() const { return m_keys; }  // key indices, oldest press first

    // The release slots of every held key, oldest press first; the keys count as released.
    std::vector<int> TakeReleases();
    // The same for the keys one owner holds.
    std::vector<int> TakeReleases(Owner owner);

private:
    std::vector<int> m_keys;
    std::vector<Owner> m_owners;  // beside m_keys
};

// The camera has one keypad, whose release code names no key: the slots a press of keyIndex (and,
// for a click, its release) sends while held is down. Every key held is released first, whoever
// pressed it; a press of the key already held sends nothing.
std::vector<int> KeypadPressSlots(const HeldKeys& held, int keyIndex, bool click);

}  // namespace velmora
