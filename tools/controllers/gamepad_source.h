// Adapter: a game controller, read through SDL2's game-controller API, as a stream of GamepadEvents.
// Event-driven: the front end waits on EventHandle (in an Asio loop, a posix::stream_descriptor or a
// windows::object_handle) and calls DispatchPending when it fires. On Linux nothing polls meanwhile;
// on Windows XInput has no notification, so an open pad is read every 8 ms on the adapter's thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "tools/controllers/controller_choice.h"
#include "tools/controllers/gamepad_event.h"

namespace velmora::controllers {

#ifdef _WIN32
using WaitHandle = void*;  // an event, signalled when events wait
#else
using WaitHandle = int;  // a descriptor, readable when events wait
#endif

class GamepadSource {
public:
    using Sink = std::function<void(const GamepadEvent&)>;

    virtual ~GamepadSource() = default;

    // Opens the chosen pad and follows plugging and pulling from then on: when the pad goes, the next
    // one present or plugged is taken. Connected for a pad present now reaches sink before Start
    // returns. false with error when it cannot start, or when choice names an index no pad has.
    virtual bool Start(const GamepadChoice& choice, Sink sink, std::string& error) = 0;

    virtual WaitHandle EventHandle() const = 0;
    // Reads what waits and hands each event to the sink, on the caller's thread. Call it whenever
    // EventHandle fires; a call with nothing waiting does nothing.
    virtual void DispatchPending() = 0;
};

// The platform's adapter; null where none is built (no SDL2), with why in error.
std::unique_ptr<GamepadSource> CreateGamepadSource(std::string& error);

}  // namespace velmora::controllers
