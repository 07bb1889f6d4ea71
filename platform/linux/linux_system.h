// The Linux backend's view of the system: where sysfs is, and the device-node calls.
// Tests replace it with a fake sysfs tree in a temporary folder and a fake driver.
#pragma once

#include <memory>
#include <string>

namespace velmora::linux_backend {

class LinuxSystem {
public:
    virtual ~LinuxSystem() = default;

    // "/sys" on a real system.
    virtual std::string SysfsRoot() const = 0;
    // Where device nodes are: "/dev".
    virtual std::string DevRoot() const = 0;

    // open(2) with O_RDWR | O_NONBLOCK | O_CLOEXEC: a descriptor, or -errno.
    virtual int Open(const std::string& path) = 0;
    // ioctl(2), retried on EINTR: 0 or more, or -errno.
    virtual int Ioctl(int fd, unsigned long request, void* argument) = 0;
    virtual void Close(int fd) = 0;

    // Whether a udev daemon runs (it announces itself with /run/udev/control).
    virtual bool UdevDaemonRunning() const = 0;
};

// The running system.
std::shared_ptr<LinuxSystem> RealLinuxSystem();

// An open device node, closed when it goes out of scope.
class DeviceNode {
public:
    DeviceNode() = default;
    DeviceNode(const DeviceNode&) = delete;
    DeviceNode& operator=(const DeviceNode&) = delete;
    DeviceNode(DeviceNode&& other) noexcept;
    DeviceNode& operator=(DeviceNode&& other) noexcept;
    ~DeviceNode();

    // 0, or -errno.
    int Open(std::shared_ptr<LinuxSystem> system, const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }
    // 0 or more, or -errno; -EBADF when not open.
    int Ioctl(unsigned long request, void* argument) const;
    void Close();

private:
    std::shared_ptr<LinuxSystem> m_system;
    int m_fd = -1;
};

}  // namespace velmora::linux_backend
