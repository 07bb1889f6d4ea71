#include <fcntl.h>
#include <unistd.h>

#include <boost/asio/posix/stream_descriptor.hpp>
#include <cerrno>
#include <cstring>

#include "tools/bridge/handle_wait.h"

namespace velmora::bridge {

struct HandleWait::State : std::enable_shared_from_this<State> {
    explicit State(boost::asio::io_context& loop) : descriptor(loop) {}

    void Wait()
    {
        descriptor.async_wait(boost::asio::posix::stream_descriptor::wait_read,
                              [self = shared_from_this()](const boost::system::error_code& error) {
                                  if (error || !self->descriptor.is_open()) return;
                                  self->ready();
                                  if (self->descriptor.is_open()) self->Wait();
                              });
    }

    boost::asio::posix::stream_descriptor descriptor;
    std::function<void()> ready;
};

HandleWait::HandleWait(boost::asio::io_context& loop) : m_state(std::make_shared<State>(loop)) {}

HandleWait::~HandleWait()
{
    Stop();
}

bool HandleWait::Start(controllers::WaitHandle handle, std::function<void()> ready, std::string& error)
{
    const int own = handle >= 0 ? ::fcntl(handle, F_DUPFD_CLOEXEC, 0) : -1;
    if (own < 0) {
        error = handle < 0 ? "it has no descriptor to wait on" : std::strerror(errno);
        return false;
    }
    m_state->ready = std::move(ready);
    m_state->descriptor.assign(own);
    m_state->Wait();
    return true;
}

void HandleWait::Stop()
{
    boost::system::error_code ignored;
    m_state->descriptor.close(ignored);
}

}  // namespace velmora::bridge
