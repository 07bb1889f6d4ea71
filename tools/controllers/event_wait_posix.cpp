#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/stop_signals.h"
#include "tools/controllers/event_wait.h"

namespace velmora::controllers {

int RunUntilStopped(WaitHandle handle, const std::function<bool()>& dispatch, std::string& error)
{
    int wake[2];
    if (pipe(wake) != 0) {
        error = std::string("cannot wait: ") + std::strerror(errno);
        return -1;
    }
    for (int end : wake) fcntl(end, F_SETFD, FD_CLOEXEC);
    fcntl(wake[1], F_SETFL, O_NONBLOCK);
    int result = 0;
    {
        const StopSignals signals(wake[1]);
        for (;;) {
            pollfd watched[2] = {{wake[0], POLLIN, 0}, {handle, POLLIN, 0}};
            if (poll(watched, handle >= 0 ? 2 : 1, -1) < 0) {
                if (errno == EINTR) continue;
                error = std::string("cannot wait: ") + std::strerror(errno);
                result = -1;
                break;
            }
            if (watched[0].revents != 0) {
                result = StopSignals::Received();
                break;
            }
            if (watched[1].revents != 0 && !dispatch()) break;
        }
    }
    close(wake[0]);
    close(wake[1]);
    return result;
}

}  // namespace velmora::controllers
