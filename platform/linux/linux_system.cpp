#include "platform/linux/linux_system.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <libudev.h>
#include <cerrno>
#include <utility>

namespace velmora::linux_backend {

namespace {

class RealSystem : public LinuxSystem {
public:
    std::string SysfsRoot() const override { return "/sys"; }
    std::string DevRoot() const override { return "/dev"; }

    int Open(const std::string& path) override
    {
        int fd;
        do {
            fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        return fd >= 0 ? fd : -errno;
    }

    int Ioctl(int fd, unsigned long request, void* argument) override
    {
        int result;
        do {
            result = ::ioctl(fd, request, argument);
        } while (result < 0 && errno == EINTR);
        return result >= 0 ? result : -errno;
    }

    void Close(int fd) override { ::close(fd); }

    bool UdevDaemonRunning() const override
    {
        struct udev* udev = udev_new();
        if (!udev) return false;
        struct udev_queue* queue = udev_queue_new(udev);
        const bool active = queue && udev_queue_get_udev_is_active(queue) == 1;
        if (queue) udev_queue_unref(queue);
        udev_unref(udev);
        return active;
    }
};

}  // namespace

std::shared_ptr<LinuxSystem> RealLinuxSystem()
{
    return std::make_shared<RealSystem>();
}

DeviceNode::DeviceNode(DeviceNode&& other) noexcept
    : m_system(std::move(other.m_system)), m_fd(std::exchange(other.m_fd, -1))
{
}

DeviceNode& DeviceNode::operator=(DeviceNode&& other) noexcept
{
    if (this != &other) {
        Close();
        m_system = std::move(other.m_system);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

DeviceNode::~DeviceNode()
{
    Close();
}

int DeviceNode::Open(std::shared_ptr<LinuxSystem> system, const std::string& path)
{
    Close();
    const int fd = system->Open(path);
    if (fd < 0) return fd;
    m_system = std::move(system);
    m_fd = fd;
    return 0;
}

int DeviceNode::Ioctl(unsigned long request, void* argument) const
{
    if (m_fd < 0) return -EBADF;
    return m_system->Ioctl(m_fd, request, argument);
}

void DeviceNode::Close()
{
    if (m_fd >= 0) m_system->Close(m_fd);
    m_fd = -1;
    m_system.reset();
}

}  // namespace velmora::linux_backend
