#include "tools/controllers/sdl_gamepads.h"

#include <SDL.h>

#ifdef __linux__
#include <unistd.h>
#endif

namespace velmora::controllers {

namespace {

// The place of a game controller among the game controllers SDL lists (joysticks it has no mapping
// for are not pads).
int PadOrdinal(int deviceIndex)
{
    int ordinal = 0;
    for (int i = 0; i < deviceIndex; ++i) {
        if (SDL_IsGameController(i)) ++ordinal;
    }
    return ordinal;
}

std::string PadList()
{
    std::string list;
    int ordinal = 0;
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (!SDL_IsGameController(i)) continue;
        const char* name = SDL_GameControllerNameForIndex(i);
        list += (list.empty() ? "" : ", ") + std::to_string(ordinal++) + " " + (name ? name : "(no name)");
    }
    return list.empty() ? "there is none" : "there are " + list;
}

}  // namespace

SdlGamepads::~SdlGamepads()
{
    if (m_pad) SDL_GameControllerClose(m_pad);
    if (m_started) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

bool SdlGamepads::Start(const GamepadChoice& choice, std::vector<GamepadEvent>& out, std::string& error)
{
    // serve and midi learn catch the stop signals themselves.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
#ifdef __linux__
    // Every pad through its evdev node, which the adapter can wait on (HIDAPI would read some over
    // hidraw or libusb).
    SDL_SetHint(SDL_HINT_JOYSTICK_HIDAPI, "0");
    // Without udevd (a container, a minimal system) SDL's udev enumeration finds no pad: it follows
    // /dev/input through inotify instead.
    if (access("/run/udev/control", F_OK) != 0) SDL_SetHint("SDL_JOYSTICK_DISABLE_UDEV", "1");
#endif
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        error = std::string("SDL cannot start its game controllers: ") + SDL_GetError();
        return false;
    }
    m_started = true;
    if (choice.any) {
        OpenFirst(out);
    } else {
        int device = -1;
        for (int i = 0, ordinal = 0; i < SDL_NumJoysticks() && device < 0; ++i) {
            if (SDL_IsGameController(i) && ordinal++ == choice.index) device = i;
        }
        if (device < 0) {
            error = "no gamepad " + std::to_string(choice.index) + " (" + PadList() + ")";
            return false;
        }
        if (!Open(device, out)) {
            error = "gamepad " + std::to_string(choice.index) + " cannot be opened: " + out.back().detail;
            return false;
        }
    }
    // SDL announces the pads present at start as added: they were just taken in.
    SDL_FlushEvents(SDL_JOYDEVICEADDED, SDL_JOYDEVICEADDED);
    SDL_FlushEvent(SDL_CONTROLLERDEVICEADDED);
    return true;
}

bool SdlGamepads::Open(int deviceIndex, std::vector<GamepadEvent>& out)
{
    GamepadEvent event;
    event.index = PadOrdinal(deviceIndex);
    const char* name = SDL_GameControllerNameForIndex(deviceIndex);
    event.name = name ? name : "gamepad";
    SDL_GameController* pad = SDL_GameControllerOpen(deviceIndex);
    if (!pad) {
        event.kind = GamepadEvent::Kind::Unusable;
        event.detail = SDL_GetError();
        out.push_back(event);
        return false;
    }
    m_pad = pad;
    m_instance = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad));
    m_index = event.index;
    m_name = event.name;
    const char* path = SDL_GameControllerPath(pad);
    m_path = path ? path : "";
    event.kind = GamepadEvent::Kind::Connected;
    out.push_back(event);
    return true;
}

void SdlGamepads::OpenFirst(std::vector<GamepadEvent>& out)
{
    for (int i = 0; i < SDL_NumJoysticks() && !m_pad; ++i) {
        if (SDL_IsGameController(i) && SDL_JoystickGetDeviceInstanceID(i) != m_goneInstance) Open(i, out);
    }
}

void SdlGamepads::Close(std::vector<GamepadEvent>& out)
{
    SDL_GameControllerClose(m_pad);
    m_pad = nullptr;
    GamepadEvent event;
    event.kind = GamepadEvent::Kind::Disconnected;
    event.index = m_index;
    event.name = m_name;
    out.push_back(event);
    m_instance = -1;
    m_path.clear();
}

void SdlGamepads::Lost(std::vector<GamepadEvent>& out)
{
    if (!m_pad) return;
    m_goneInstance = m_instance;
    Close(out);
}

void SdlGamepads::Pump(std::vector<GamepadEvent>& out)
{
    if (!m_started) return;
    SDL_PumpEvents();
    SDL_Event sdl;
    while (SDL_PeepEvents(&sdl, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1) {
        GamepadEvent event;
        switch (sdl.type) {
            case SDL_JOYDEVICEADDED:
                if (!m_pad && SDL_IsGameController(sdl.jdevice.which)) Open(sdl.jdevice.which, out);
                break;
            case SDL_JOYDEVICEREMOVED:
                if (m_pad && sdl.jdevice.which == m_instance) Close(out);
                if (sdl.jdevice.which == m_goneInstance) m_goneInstance = -1;
                if (!m_pad) OpenFirst(out);
                break;
            case SDL_CONTROLLERBUTTONDOWN:
            case SDL_CONTROLLERBUTTONUP:
                if (!m_pad || sdl.cbutton.which != m_instance || sdl.cbutton.button >= GamepadButtonCount)
                    break;
                event.kind = GamepadEvent::Kind::Button;
                event.button = static_cast<GamepadButton>(sdl.cbutton.button);
                event.down = sdl.cbutton.state == SDL_PRESSED;
                out.push_back(event);
                break;
            case SDL_CONTROLLERAXISMOTION:
                if (!m_pad || sdl.caxis.which != m_instance || sdl.caxis.axis >= GamepadAxisCount) break;
                event.kind = GamepadEvent::Kind::Axis;
                event.axis = static_cast<GamepadAxis>(sdl.caxis.axis);
                event.value = sdl.caxis.value;
                out.push_back(event);
                break;
            default:
                break;
        }
    }
}

}  // namespace velmora::controllers
