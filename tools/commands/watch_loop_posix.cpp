#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "tools/commands/watch_loop.h"

namespace velmoractl {

namespace {

int g_stopPipe[2] = {-1, -1};

void OnStopSignal(int)
{
    const char byte = 1;
    const int saved = errno;
    [[maybe_unused]] const ssize_t written = write(g_stopPipe[1], &byte, 1);
    errno = saved;
}

class StopSignals {
public:
    StopSignals()
    {
        if (pipe(g_stopPipe) != 0) return;
        for (int end : g_stopPipe) fcntl(end, F_SETFD, FD_CLOEXEC);
        fcntl(g_stopPipe[1], F_SETFL, O_NONBLOCK);
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_oldInt);
        sigaction(SIGTERM, &action, &m_oldTerm);
        m_ok = true;
    }
    ~StopSignals()
    {
        if (!m_ok) return;
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
        for (int& end : g_stopPipe) {
            close(end);
            end = -1;
        }
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    bool Ok() const { return m_ok; }

private:
    bool m_ok = false;
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
};

}  // namespace

void StopWatchingDeviceChanges()
{
    OnStopSignal(0);
}

bool WatchDeviceChanges(velmora::DeviceChangeSource& source, const velmora::Guid& interfaceClass,
                        const velmora::DeviceChangeSource::Sink& sink, const std::function<void()>& ready,
                        velmora::Status& status, std::string& error)
{
    StopSignals signals;
    if (!signals.Ok()) {
        error = std::string("cannot catch SIGINT and SIGTERM: ") + std::strerror(errno);
        return false;
    }
    status = source.Register(0, interfaceClass, sink);
    if (velmora::Failed(status)) {
        error = "registering for device changes failed";
        return false;
    }
    ready();
    const int descriptor = source.EventDescriptor();
    for (;;) {
        pollfd watched[2] = {{g_stopPipe[0], POLLIN, 0}, {descriptor, POLLIN, 0}};
        const nfds_t count = descriptor >= 0 ? 2 : 1;
        const int result = poll(watched, count, -1);
        if (result < 0) {
            if (errno == EINTR) continue;
            error = std::string("waiting for device changes failed: ") + std::strerror(errno);
            return false;
        }
        if (watched[0].revents != 0) return true;
        if (count == 2 && (watched[1].revents & (POLLERR | POLLNVAL)) != 0) {
            error = "the device-change source closed";
            return false;
        }
        if (count == 2 && watched[1].revents != 0) source.DispatchPending();
    }
}

}  // namespace velmoractl
