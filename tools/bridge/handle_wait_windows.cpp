#include <winsock2.h>

#include <windows.h>

#include <boost/asio/windows/object_handle.hpp>

#include "tools/bridge/handle_wait.h"

namespace velmora::bridge {

struct HandleWait::State : std::enable_shared_from_this<State> {
    explicit State(boost::asio::io_context& loop) : handle(loop) {}

    void Wait()
    {
        handle.async_wait([self = shared_from_this()](const boost::system::error_code& error) {
            if (error || !self->handle.is_open()) return;
            self->ready();
            if (self->handle.is_open()) self->Wait();
        });
    }

    boost::asio::windows::object_handle handle;
    std::function<void()> ready;
};

HandleWait::HandleWait(boost::asio::io_context& loop) : m_state(std::make_shared<State>(loop)) {}

HandleWait::~HandleWait()
{
    Stop();
}

bool HandleWait::Start(controllers::WaitHandle handle, std::function<void()> ready, std::string& error)
{
    HANDLE own = nullptr;
    if (!handle || !DuplicateHandle(GetCurrentProcess(), static_cast<HANDLE>(handle), GetCurrentProcess(),
                                    &own, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        error = handle ? "cannot wait on its event: error " + std::to_string(GetLastError())
                       : "it has no event to wait on";
        return false;
    }
    m_state->ready = std::move(ready);
    m_state->handle.assign(own);
    m_state->Wait();
    return true;
}

void HandleWait::Stop()
{
    boost::system::error_code ignored;
    m_state->handle.close(ignored);
}

}  // namespace velmora::bridge
