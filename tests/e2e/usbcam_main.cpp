// velmora-usbcam: a UVC camera served to vhci_hcd over USB/IP, its extension-unit control
// running the simulated camera's register firmware.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "tests/e2e/firmware_adapter.h"
#include "tests/e2e/usbcam_options.h"
#include "tests/e2e/usbip_server.h"
#include "tests/e2e/vhci_attach.h"

using namespace velmora::e2e;

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int)
{
    g_stop = 1;
}

class Emulator {
public:
    Emulator(const EmulatorOptions& options, std::FILE* log)
        : m_options(options),
          m_log(log),
          m_camera(options.camera, MakeRegisterFirmware, [this](const std::string& line) { Write(line); })
    {
    }

    void Write(const std::string& line)
    {
        if (m_options.logTime) {
            timespec now = {};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::fprintf(m_log, "%s t=%lld.%06ld\n", line.c_str(), static_cast<long long>(now.tv_sec),
                         now.tv_nsec / 1000);
        } else {
            std::fprintf(m_log, "%s\n", line.c_str());
        }
        std::fflush(m_log);
    }

    bool Plug()
    {
        if (m_connection) return true;
        const VhciPlug plug = AttachToVhci(m_options.vhciDir, m_options.port, m_options.devid);
        if (plug.deviceFd < 0) {
            Write("PLUG failed: " + plug.error);
            return false;
        }
        m_connection = std::make_unique<UsbipConnection>(plug.deviceFd, m_camera);
        Write("PLUG port " + std::to_string(m_options.port));
        return true;
    }

    void Unplug(const std::string& why = "")
    {
        if (!m_connection) return;
        m_connection.reset();
        m_camera.PowerOff();
        Write("UNPLUG" + why);
    }

    // One control line; false for "quit".
    bool Command(const std::string& line)
    {
        Write("CTL " + line);
        char name[32] = {};
        unsigned code = 0;
        const int fields = std::sscanf(line.c_str(), "%31s %u", name, &code);
        const std::string command = fields >= 1 ? name : "";
        if (command == "quit") return false;
        if (command == "plug")
            Plug();
        else if (command == "unplug")
            Unplug();
        else if (command == "stall-write" && fields == 2 && code < 256)
            m_camera.StallNextWrite(static_cast<std::uint8_t>(code));
        else if (command == "stall-read" && fields == 2 && code < 256)
            m_camera.StallNextRead(static_cast<std::uint8_t>(code));
        else if (command == "bad-checksum")
            m_camera.CorruptNextReadChecksum();
        else if (command == "unplug-after-write" && fields == 2 && code > 0)
            m_camera.UnplugAfterWrites(static_cast<int>(code));
        else if (command == "unplug-after-read" && fields == 2 && code > 0)
            m_camera.UnplugAfterReads(static_cast<int>(code));
        else
            Write("CTL unknown command: " + line);
        return true;
    }

    int Run(int controlFd)
    {
        std::string pendingLine;
        while (!g_stop) {
            pollfd fds[2] = {{controlFd, POLLIN, 0},
                             {m_connection ? m_connection->Descriptor() : -1, POLLIN, 0}};
            const int ready = ::poll(fds, 2, -1);
            if (ready < 0) {
                if (errno == EINTR) continue;
                Write(std::string("poll: ") + std::strerror(errno));
                return 1;
            }
            // Commands first: a command written before a request it is meant for is applied before it.
            if (fds[0].revents & POLLIN) {
                char buffer[256];
                const ssize_t got = ::read(controlFd, buffer, sizeof buffer);
                for (ssize_t i = 0; i < got; ++i) {
                    if (buffer[i] != '\n') {
                        pendingLine.push_back(buffer[i]);
                        continue;
                    }
                    if (!Command(pendingLine)) {
                        Unplug();
                        return 0;
                    }
                    pendingLine.clear();
                }
            }
            if (m_connection && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
                if (!m_connection->ServeOne()) {
                    Write("DISCONNECTED");
                    m_connection.reset();
                    m_camera.PowerOff();
                } else if (m_camera.TakeUnplugRequest()) {
                    // The answer is on its way; the device goes before the next request.
                    Unplug(" (fault)");
                }
            }
        }
        Unplug();
        return 0;
    }

private:
    EmulatorOptions m_options;
    std::FILE* m_log;
    UvcCamera m_camera;
    std::unique_ptr<UsbipConnection> m_connection;
};

}  // namespace

int main(int argc, char** argv)
{
    std::string error;
    const auto options = ParseEmulatorOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "velmora-usbcam: %s\n%s", error.c_str(), EmulatorUsage);
        return 2;
    }
    std::FILE* log = stderr;
    if (!options->logFile.empty()) {
        log = std::fopen(options->logFile.c_str(), "a");
        if (!log) {
            std::fprintf(stderr, "velmora-usbcam: %s: %s\n", options->logFile.c_str(), std::strerror(errno));
            return 1;
        }
    }
    // Without a control FIFO the emulator serves until a signal ends it.
    int controlFd = -1;
    if (!options->controlFifo.empty()) {
        if (::mkfifo(options->controlFifo.c_str(), 0600) != 0 && errno != EEXIST) {
            std::fprintf(stderr, "velmora-usbcam: mkfifo %s: %s\n", options->controlFifo.c_str(),
                         std::strerror(errno));
            return 1;
        }
        // Read-write, so that the FIFO never reports end of file between writers.
        controlFd = ::open(options->controlFifo.c_str(), O_RDWR | O_CLOEXEC);
        if (controlFd < 0) {
            std::fprintf(stderr, "velmora-usbcam: %s: %s\n", options->controlFifo.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);

    Emulator emulator(*options, log);
    if (options->plugged && !emulator.Plug()) return 1;
    const int code = emulator.Run(controlFd);
    if (controlFd >= 0) ::close(controlFd);
    if (log != stderr) std::fclose(log);
    return code;
}
