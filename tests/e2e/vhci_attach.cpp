#include "tests/e2e/vhci_attach.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velmora::e2e {

namespace {

constexpr int HighSpeed = 3;
constexpr int AttachTries = 50;  // 5 s in steps of 0.1 s

}  // namespace

VhciPlug AttachToVhci(const std::string& sysfsDir, int port, unsigned devid)
{
    VhciPlug plug;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        plug.error = std::string("socketpair: ") + std::strerror(errno);
        return plug;
    }
    const std::string line = std::to_string(port) + " " + std::to_string(pair[1]) + " " +
                             std::to_string(devid) + " " + std::to_string(HighSpeed);
    const std::string path = sysfsDir + "/attach";
    for (int attempt = 0; attempt < AttachTries; ++attempt) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            plug.error = path + ": " + std::strerror(errno);
            break;
        }
        const ssize_t written = ::write(fd, line.data(), line.size());
        const int writeError = errno;
        ::close(fd);
        if (written == static_cast<ssize_t>(line.size())) {
            ::close(pair[1]);
            plug.deviceFd = pair[0];
            plug.error.clear();
            return plug;
        }
        plug.error = "attach \"" + line + "\": " + std::strerror(writeError);
        if (writeError != EBUSY) break;
        ::usleep(100000);
    }
    ::close(pair[0]);
    ::close(pair[1]);
    return plug;
}

}  // namespace velmora::e2e
