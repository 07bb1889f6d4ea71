// Linux: an inotify descriptor on the folder.
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/sim/sim_folder_watch.h"

namespace velmora::sim {

namespace {

class InotifyFolderWatch : public SimFolderWatch {
public:
    explicit InotifyFolderWatch(int descriptor) : m_descriptor(descriptor) {}
    ~InotifyFolderWatch() override { close(m_descriptor); }
    InotifyFolderWatch(const InotifyFolderWatch&) = delete;
    InotifyFolderWatch& operator=(const InotifyFolderWatch&) = delete;

    int Descriptor() const override { return m_descriptor; }

    SimFolderChanges TakeChanges() override
    {
        SimFolderChanges changes;
        alignas(inotify_event) char buffer[16384];
        for (;;) {
            const ssize_t length = read(m_descriptor, buffer, sizeof buffer);
            if (length < 0 && errno == EINTR) continue;
            if (length <= 0) break;
            AddInotifyEvents(buffer, static_cast<std::size_t>(length), changes);
        }
        return changes;
    }

private:
    int m_descriptor;
};

}  // namespace

void AddInotifyEvents(const char* buffer, std::size_t length, SimFolderChanges& changes)
{
    for (std::size_t offset = 0; offset + sizeof(inotify_event) <= length;) {
        inotify_event event;
        std::memcpy(&event, buffer + offset, sizeof event);
        const std::size_t next = offset + sizeof event + event.len;
        if (next > length) break;
        if (event.mask & IN_Q_OVERFLOW) changes.overflow = true;
        if (event.len > 0) {
            const char* text = buffer + offset + sizeof event;
            const std::string name(text, strnlen(text, event.len));
            // A file only created or still being written is not taken yet.
            if (event.mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) changes.written.insert(name);
            if (event.mask & (IN_DELETE | IN_MOVED_FROM)) changes.gone.insert(name);
        }
        offset = next;
    }
}

std::unique_ptr<SimFolderWatch> SimFolderWatch::Open(const std::string& folder, std::string& error)
{
    const int descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor < 0) {
        error = std::string("inotify: ") + std::strerror(errno);
        return nullptr;
    }
    auto watch = std::make_unique<InotifyFolderWatch>(descriptor);
    if (inotify_add_watch(descriptor, folder.c_str(),
                          IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE) < 0) {
        error = "cannot watch " + folder + ": " + std::strerror(errno);
        return nullptr;
    }
    return watch;
}

}  // namespace velmora::sim
