// GamepadSource on Linux: one epoll descriptor over what can bring a pad's event (the pad's evdev
// node, inotify on /dev/input and a udev monitor of the input subsystem, whichever of the two SDL
// follows plugging with); SDL is pumped only when one of them is readable.
#include <fcntl.h>
#include <libudev.h>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/controllers/gamepad_source.h"
#include "tools/controllers/sdl_gamepads.h"

namespace velmora::controllers {

namespace {

constexpr const char* kInputFolder = "/dev/input";

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { Reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    void Reset(int fd = -1)
    {
        if (m_fd >= 0) close(m_fd);
        m_fd = fd;
    }
    int Get() const { return m_fd; }

private:
    int m_fd;
};

// Reads and forgets whatever waits on a non-blocking descriptor; false when it failed for good
// (an evdev node whose device went answers ENODEV).
bool Drain(int fd)
{
    char buffer[4096];
    for (;;) {
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count > 0) continue;
        if (count < 0 && errno == EINTR) continue;
        return count < 0 && errno == EAGAIN;
    }
}

class LinuxGamepadSource : public GamepadSource {
public:
    LinuxGamepadSource() = default;
    ~LinuxGamepadSource() override
    {
        if (m_monitor) udev_monitor_unref(m_monitor);
        if (m_udev) udev_unref(m_udev);
    }
    LinuxGamepadSource(const LinuxGamepadSource&) = delete;
    LinuxGamepadSource& operator=(const LinuxGamepadSource&) = delete;

    bool Start(const GamepadChoice& choice, Sink sink, std::string& error) override
    {
        m_sink = std::move(sink);
        m_epoll.Reset(epoll_create1(EPOLL_CLOEXEC));
        m_inotify.Reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        if (m_epoll.Get() < 0 || m_inotify.Get() < 0) {
            error = std::string("cannot watch for gamepads: ") + std::strerror(errno);
            return false;
        }
        WatchInputFolder();
        Add(m_inotify.Get());
        m_udev = udev_new();
        if (m_udev) m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
        if (m_monitor && udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "input", nullptr) >= 0 &&
            udev_monitor_enable_receiving(m_monitor) >= 0) {
            Add(udev_monitor_get_fd(m_monitor));
        }
        std::vector<GamepadEvent> events;
        if (!m_pads.Start(choice, events, error)) return false;
        Deliver(events);
        return true;
    }

    WaitHandle EventHandle() const override { return m_epoll.Get(); }

    void DispatchPending() override
    {
        std::vector<GamepadEvent> events;
        if (m_pad.Get() >= 0 && !Drain(m_pad.Get())) {
            m_pads.Lost(events);
            m_pad.Reset();  // closing takes it out of the epoll set
            m_padPath.clear();
        }
        Drain(m_inotify.Get());
        if (m_watch < 0) WatchInputFolder();
        if (m_monitor) {
            while (udev_device* device = udev_monitor_receive_device(m_monitor)) udev_device_unref(device);
        }
        m_pads.Pump(events);
        Deliver(events);
    }

private:
    void Add(int fd)
    {
        epoll_event interest{};
        interest.events = EPOLLIN;
        interest.data.fd = fd;
        epoll_ctl(m_epoll.Get(), EPOLL_CTL_ADD, fd, &interest);
    }

    // /dev/input appears with the first input device; until then /dev tells when it does.
    void WatchInputFolder()
    {
        constexpr std::uint32_t changes = IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVED_TO | IN_MOVED_FROM;
        m_watch = inotify_add_watch(m_inotify.Get(), kInputFolder, changes);
        if (m_watch < 0 && !m_watchingDev) {
            m_watchingDev = inotify_add_watch(m_inotify.Get(), "/dev", IN_CREATE | IN_ONLYDIR) >= 0;
        }
    }

    // Hands the events on, waiting on the node of a pad taken meanwhile.
    void Deliver(const std::vector<GamepadEvent>& events)
    {
        const std::string path = m_pads.HasPad() ? m_pads.PadPath() : std::string();
        if (path != m_padPath) {
            m_pad.Reset(path.empty() ? -1 : open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
            m_padPath = path;
            if (m_pad.Get() >= 0) Add(m_pad.Get());
        }
        for (const GamepadEvent& event : events) m_sink(event);
    }

    Descriptor m_epoll;
    Descriptor m_inotify;
    Descriptor m_pad;  // our own reader of the pad's node: readable when SDL's is
    std::string m_padPath;
    int m_watch = -1;
    bool m_watchingDev = false;
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    SdlGamepads m_pads;
    Sink m_sink;
};

}  // namespace

std::unique_ptr<GamepadSource> CreateGamepadSource(std::string&)
{
    return std::make_unique<LinuxGamepadSource>();
}

}  // namespace velmora::controllers
