// What a controller's input asks of the keypad, and the keys its inputs hold.
#pragma once

#include <string>
#include <vector>

#include "tools/controllers/controller_target.h"

namespace velmora::controllers {

struct ControllerAction {
    enum class Kind {
        Press,    // key: an input went down
        Release,  // key: the last input holding it came up
        Click,    // key: press and release at once (a MIDI program change)
        Macro,    // macro: run it
    };
    Kind kind = Kind::Press;
    int key = -1;  // Press, Release, Click: the key's index in Keys
    std::string macro;

    bool operator==(const ControllerAction& other) const
    {
        return kind == other.kind && key == other.key && macro == other.macro;
    }
};

// Which inputs hold which keys. A key stays down while any input mapped to it is down (the D-pad and
// the stick both on zoom-in): it is pressed by the first and released with the last.
class KeyHolds {
public:
    // input went down (or came up) on target; the action this takes, appended to out.
    void Down(int input, const ControllerTarget& target, std::vector<ControllerAction>& out);
    void Up(int input, std::vector<ControllerAction>& out);
    // The releases of every held key, oldest press first; nothing is held after.
    void ReleaseAll(std::vector<ControllerAction>& out);

    bool Holds(int key) const;

private:
    struct Hold {
        int input;
        int key;
    };
    std::vector<Hold> m_holds;  // in the order the inputs went down
};

}  // namespace velmora::controllers
