// velmoractl serve --gamepad: a game controller as a front end of the bridge, read through its
// adapter on the event loop. The pad chosen is followed as it is pulled and another is plugged; a
// pad that goes releases what it held at once.
#pragma once

#include <boost/asio/io_context.hpp>
#include <memory>
#include <string>

#include "tools/bridge/controller_front.h"
#include "tools/bridge/handle_wait.h"
#include "tools/controllers/gamepad_mapper.h"
#include "tools/controllers/gamepad_source.h"

namespace velmora::bridge {

class GamepadFront {
public:
    enum class StartResult {
        Started,
        NoSuchPad,  // the index names no pad present: error lists those there are
        Failed,     // the adapter cannot start or be waited on
    };

    GamepadFront(boost::asio::io_context& loop, BridgeCore& core, const controllers::GamepadMapping& mapping,
                 bool quiet);
    GamepadFront(const GamepadFront&) = delete;
    GamepadFront& operator=(const GamepadFront&) = delete;

    // Starts source on the pad chosen: one present now is connected before this returns.
    StartResult Start(std::unique_ptr<controllers::GamepadSource> source,
                      const controllers::GamepadChoice& choice, std::string& error);
    // Reads the pad no more; the keys it holds are the core's to release as it stops.
    void Stop();

    ControllerFront& Front() { return m_front; }

private:
    void Take(const controllers::GamepadEvent& event);

    ControllerFront m_front;
    controllers::GamepadMapper m_mapper;
    std::unique_ptr<controllers::GamepadSource> m_source;
    HandleWait m_wait;
    bool m_stopped = false;
};

}  // namespace velmora::bridge
