#include "tools/controllers/controller_action.h"

#include <algorithm>

namespace velmora::controllers {

void KeyHolds::Down(int input, const ControllerTarget& target, std::vector<ControllerAction>& out)
{
    if (target.key < 0) {
        out.push_back({ControllerAction::Kind::Macro, -1, target.macro});
        return;
    }
    const auto same = [input](const Hold& hold) { return hold.input == input; };
    if (std::any_of(m_holds.begin(), m_holds.end(), same)) return;
    if (!Holds(target.key)) out.push_back({ControllerAction::Kind::Press, target.key, {}});
    m_holds.push_back({input, target.key});
}

void KeyHolds::Up(int input, std::vector<ControllerAction>& out)
{
    const auto found = std::find_if(m_holds.begin(), m_holds.end(),
                                    [input](const Hold& hold) { return hold.input == input; });
    if (found == m_holds.end()) return;
    const int key = found->key;
    m_holds.erase(found);
    if (!Holds(key)) out.push_back({ControllerAction::Kind::Release, key, {}});
}

void KeyHolds::ReleaseAll(std::vector<ControllerAction>& out)
{
    std::vector<int> released;
    for (const Hold& hold : m_holds) {
        if (std::find(released.begin(), released.end(), hold.key) != released.end()) continue;
        released.push_back(hold.key);
        out.push_back({ControllerAction::Kind::Release, hold.key, {}});
    }
    m_holds.clear();
}

bool KeyHolds::Holds(int key) const
{
    return std::any_of(m_holds.begin(), m_holds.end(), [key](const Hold& hold) { return hold.key == key; });
}

}  // namespace velmora::controllers
