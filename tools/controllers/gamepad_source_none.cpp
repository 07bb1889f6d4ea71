// GamepadSource where SDL2 was not found at build time.
#include "tools/controllers/gamepad_source.h"

namespace velmora::controllers {

std::unique_ptr<GamepadSource> CreateGamepadSource(std::string& error)
{
    error = "gamepads are not built in: SDL2 was not found when velmoractl was built";
    return nullptr;
}

}  // namespace velmora::controllers
