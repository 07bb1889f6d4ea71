// SDL2's game controllers on the thread that made this: the chosen pad opened, followed through
// plugging and pulling, its SDL events turned into GamepadEvents. SDL is pumped only when the
// platform's adapter says something came (SDL's own wait polls every millisecond while a joystick
// is open).
#pragma once

#include <string>
#include <vector>

#include "tools/controllers/controller_choice.h"
#include "tools/controllers/gamepad_event.h"

struct _SDL_GameController;

namespace velmora::controllers {

class SdlGamepads {
public:
    SdlGamepads() = default;
    ~SdlGamepads();
    SdlGamepads(const SdlGamepads&) = delete;
    SdlGamepads& operator=(const SdlGamepads&) = delete;

    // Starts SDL's game controllers and opens the chosen pad (Connected in out). false with error when
    // SDL cannot start or the index names no pad.
    bool Start(const GamepadChoice& choice, std::vector<GamepadEvent>& out, std::string& error);
    // Reads what SDL has and appends the events of the pad in use.
    void Pump(std::vector<GamepadEvent>& out);
    // The pad's device went away under it (its node hung up): closed at once, Disconnected in out;
    // the next pad is taken once SDL has seen the removal.
    void Lost(std::vector<GamepadEvent>& out);

    bool HasPad() const { return m_pad != nullptr; }
    // The pad's device node (Linux: /dev/input/eventN), or empty.
    const std::string& PadPath() const { return m_path; }

private:
    bool Open(int deviceIndex, std::vector<GamepadEvent>& out);
    void OpenFirst(std::vector<GamepadEvent>& out);
    void Close(std::vector<GamepadEvent>& out);

    bool m_started = false;
    _SDL_GameController* m_pad = nullptr;
    int m_instance = -1;
    int m_goneInstance = -1;  // a pad lost before SDL saw it go, not to be opened again
    int m_index = -1;
    std::string m_name;
    std::string m_path;
};

}  // namespace velmora::controllers
