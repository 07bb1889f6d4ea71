// Input as a person types it, through the X server's XTEST extension, for the hotkey checks and the
// latency benchmark; and a passive grab as another program holds one.
//
//   velmora-x-input STEP...   steps run in order, each once the server has taken the one before:
//     down:KEY  up:KEY        a key (Ctrl, Alt, Shift, Meta, or a hotkey key name: Up, L, F13...)
//     move:X,Y                the pointer to a screen position
//     press:N  release:N      mouse button N
//     sleep:MS
//     close:WINDOW            asks a window to close, as a window manager's close button does
//     lines:N:FILE            waits until FILE has N lines (a trace has taken a gesture; 10 s at most)
//   Each input step prints "STEP t=SECONDS", the monotonic clock (std::chrono::steady_clock) as it
//   was sent, to compare with the simulated camera's trace (VELMORA_SIM_TRACE_TIME=1).
//
//   velmora-x-input grab COMBINATION   grabs it on the root window as a hotkey program does, prints
//     "grabbed" and holds it until its standard input closes.
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "hotkeys/combination.h"
#include "hotkeys/x11/x11_keyboard.h"

namespace {

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::uint32_t Keysym(const std::string& name)
{
    if (name == "Ctrl") return 0xffe3;
    if (name == "Alt") return 0xffe9;
    if (name == "Shift") return 0xffe1;
    if (name == "Meta") return 0xffeb;
    for (const velmora::HotkeyKeyName& key : velmora::HotkeyKeyNames()) {
        if (key.name == name || key.alias == name) return key.x11Keysym;
    }
    return 0;
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "velmora-x-input: %s\n", message.c_str());
    return 2;
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// WM_DELETE_WINDOW, as a window manager sends it.
void Close(xcb_connection_t* connection, xcb_window_t window)
{
    xcb_client_message_event_t message = {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = Atom(connection, "WM_PROTOCOLS");
    message.data.data32[0] = Atom(connection, "WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
}

bool WaitForLines(const std::string& path, long wanted)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream file(path);
        long lines = 0;
        std::string line;
        while (lines < wanted && std::getline(file, line)) ++lines;
        if (lines >= wanted) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Waits until the server has handled every request sent so far.
void Sync(xcb_connection_t* connection)
{
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

int Grab(xcb_connection_t* connection, xcb_window_t root, const std::string& text)
{
    std::string error;
    const auto combination = velmora::ParseCombination(text, error);
    if (!combination) return Fail(text + ": " + error);
    std::uint16_t modifiers = 0;
    if (combination->modifiers & velmora::ModifierCtrl) modifiers |= XCB_MOD_MASK_CONTROL;
    if (combination->modifiers & velmora::ModifierAlt) modifiers |= XCB_MOD_MASK_1;
    if (combination->modifiers & velmora::ModifierShift) modifiers |= XCB_MOD_MASK_SHIFT;
    if (combination->modifiers & velmora::ModifierMeta) modifiers |= XCB_MOD_MASK_4;
    for (xcb_keycode_t keycode : velmora::x11::KeycodesFor(connection, combination->Key().x11Keysym)) {
        if (xcb_generic_error_t* failed = xcb_request_check(
                connection, xcb_grab_key_checked(connection, 0, root, modifiers, keycode, XCB_GRAB_MODE_ASYNC,
                                                 XCB_GRAB_MODE_ASYNC))) {
            std::free(failed);
            return Fail("could not grab " + text);
        }
    }
    std::printf("grabbed\n");
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    int screenNumber = 0;
    const velmora::x11::Connection connection(xcb_connect(nullptr, &screenNumber));
    if (xcb_connection_has_error(connection.get())) return Fail("cannot open the display");
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;
    if (argc == 3 && std::string(argv[1]) == "grab") return Grab(connection.get(), root, argv[2]);

    for (int i = 1; i < argc; ++i) {
        const std::string step = argv[i];
        const std::size_t colon = step.find(':');
        const std::string action = step.substr(0, colon);
        const std::string value = colon == std::string::npos ? std::string() : step.substr(colon + 1);
        if (action == "sleep") {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(value.c_str())));
            continue;
        }
        if (action == "lines") {
            const std::size_t colon2 = value.find(':');
            const long wanted = std::atol(value.substr(0, colon2).c_str());
            const std::string file = colon2 == std::string::npos ? std::string() : value.substr(colon2 + 1);
            if (!WaitForLines(file, wanted))
                return Fail("no " + std::to_string(wanted) + " lines in " + file);
            continue;
        }
        if (action == "close") {
            Close(connection.get(), static_cast<xcb_window_t>(std::strtoul(value.c_str(), nullptr, 0)));
            Sync(connection.get());
            continue;
        }
        std::uint8_t type = 0;
        std::uint8_t detail = 0;
        std::int16_t x = 0;
        std::int16_t y = 0;
        if (action == "down" || action == "up") {
            const std::vector<xcb_keycode_t> keycodes =
                velmora::x11::KeycodesFor(connection.get(), Keysym(value));
            if (keycodes.empty()) return Fail("no key " + value);
            type = action == "down" ? XCB_KEY_PRESS : XCB_KEY_RELEASE;
            detail = keycodes.front();
        } else if (action == "press" || action == "release") {
            type = action == "press" ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE;
            detail = static_cast<std::uint8_t>(std::atoi(value.c_str()));
        } else if (action == "move") {
            type = XCB_MOTION_NOTIFY;
            x = static_cast<std::int16_t>(std::atoi(value.c_str()));
            y = static_cast<std::int16_t>(std::atoi(value.substr(value.find(',') + 1).c_str()));
        } else {
            return Fail("unknown step " + step);
        }
        const double sent = Now();
        xcb_test_fake_input(connection.get(), type, detail, XCB_CURRENT_TIME, root, x, y, 0);
        Sync(connection.get());
        std::printf("%s t=%.6f\n", step.c_str(), sent);
        std::fflush(stdout);
    }
    return 0;
}
