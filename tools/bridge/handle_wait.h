// An adapter's event handle (a descriptor on POSIX, an event on Windows) watched by the bridge's
// event loop: ready runs on the loop each time it fires, until Stop. Nothing polls meanwhile.
#pragma once

#include <boost/asio/io_context.hpp>
#include <functional>
#include <memory>
#include <string>

#include "tools/controllers/gamepad_source.h"

namespace velmora::bridge {

class HandleWait {
public:
    explicit HandleWait(boost::asio::io_context& loop);
    ~HandleWait();
    HandleWait(const HandleWait&) = delete;
    HandleWait& operator=(const HandleWait&) = delete;

    // Watches a copy of handle (the adapter keeps its own). false with error when it cannot.
    bool Start(controllers::WaitHandle handle, std::function<void()> ready, std::string& error);
    void Stop();

private:
    struct State;
    std::shared_ptr<State> m_state;
};

}  // namespace velmora::bridge
