#include "platform/linux/video_node.h"

#include "platform/linux/errno_status.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace velmora::linux_backend {

namespace fs = std::filesystem;

namespace {

// A descriptor from open(2), closed on scope exit.
class FileHandle {
public:
    explicit FileHandle(int fd) : m_fd(fd) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    int Get() const { return m_fd; }

private:
    int m_fd;
};

std::optional<long> ParseNumber(const std::optional<std::string>& text, int base)
{
    if (!text || text->empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text->c_str(), &end, base);
    if (errno != 0 || *end != '\0') return std::nullopt;
    return value;
}

// The number of "video12", or -1.
int NodeNumber(const std::string& name)
{
    static constexpr char prefix[] = "video";
    if (name.rfind(prefix, 0) != 0 || name.size() == sizeof prefix - 1 || name.size() > sizeof prefix + 8)
        return -1;
    int number = 0;
    for (std::size_t i = sizeof prefix - 1; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return -1;
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

// KEY=value from a uevent file.
std::optional<std::string> UeventValue(const std::string& path, const std::string& key)
{
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.size() > key.size() && line.compare(0, key.size(), key) == 0 && line[key.size()] == '=') {
            return line.substr(key.size() + 1);
        }
    }
    return std::nullopt;
}

std::string LinkTargetName(const fs::path& link)
{
    std::error_code error;
    const fs::path target = fs::canonical(link, error);
    return error ? std::string() : target.filename().string();
}

void ReadParent(const fs::path& classDir, VideoNode& node)
{
    std::error_code error;
    const fs::path parent = fs::canonical(classDir / "device", error);
    if (error) return;
    node.parentName = parent.filename().string();
    node.parentSubsystem = LinkTargetName(parent / "subsystem");
    if (node.parentSubsystem != "usb") return;

    // uvcvideo binds to the video-control interface; the USB device is the folder above it.
    fs::path usbDevice = parent;
    if (UeventValue((parent / "uevent").string(), "DEVTYPE").value_or("") == "usb_interface") {
        node.interfaceNumber = static_cast<int>(
            ParseNumber(ReadFileLine((parent / "bInterfaceNumber").string()), 16).value_or(-1));
        usbDevice = parent.parent_path();
    }
    const auto vendor = ParseNumber(ReadFileLine((usbDevice / "idVendor").string()), 16);
    const auto product = ParseNumber(ReadFileLine((usbDevice / "idProduct").string()), 16);
    if (!vendor || !product) return;
    node.usb = true;
    node.usbDeviceDir = usbDevice.string();
    node.vendorId = static_cast<std::uint16_t>(*vendor);
    node.productId = static_cast<std::uint16_t>(*product);
    node.usbProduct = ReadFileLine((usbDevice / "product").string()).value_or("");
    node.usbSerial = ReadFileLine((usbDevice / "serial").string()).value_or("");
}

}  // namespace

int ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::size_t maxBytes)
{
    bytes.clear();
    FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) return -errno;
    std::uint8_t chunk[4096];
    while (bytes.size() < maxBytes) {
        const std::size_t want = std::min(sizeof chunk, maxBytes - bytes.size());
        const ssize_t got = ::read(file.Get(), chunk, want);
        if (got < 0) {
            if (errno == EINTR) continue;
            return -errno;
        }
        if (got == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    return 0;
}

std::optional<std::string> ReadFileLine(const std::string& path)
{
    std::ifstream file(path);
    if (!file) return std::nullopt;
    std::string line;
    std::getline(file, line);
    while (!line.empty() &&
           (line.back() == '\n' || line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.pop_back();
    }
    return line;
}

std::optional<VideoNode> ReadVideoNode(const LinuxSystem& system, const std::string& name)
{
    VideoNode node;
    node.name = name;
    node.number = NodeNumber(name);
    if (node.number < 0) return std::nullopt;
    const fs::path classDir = fs::path(system.SysfsRoot()) / "class" / "video4linux" / name;
    std::error_code error;
    if (!fs::is_directory(classDir, error)) return std::nullopt;
    node.classDir = classDir.string();

    const std::string uevent = (classDir / "uevent").string();
    node.devNode = system.DevRoot() + "/" + UeventValue(uevent, "DEVNAME").value_or(name);
    const auto major = ParseNumber(UeventValue(uevent, "MAJOR"), 10);
    const auto minor = ParseNumber(UeventValue(uevent, "MINOR"), 10);
    if (!major || !minor) return std::nullopt;
    node.major = static_cast<unsigned>(*major);
    node.minor = static_cast<unsigned>(*minor);
    node.sysfsName = ReadFileLine((classDir / "name").string()).value_or("");
    node.index = static_cast<int>(ParseNumber(ReadFileLine((classDir / "index").string()), 10).value_or(-1));
    ReadParent(classDir, node);
    return node;
}

std::vector<VideoNode> ListVideoNodes(const LinuxSystem& system)
{
    std::vector<VideoNode> nodes;
    std::error_code error;
    fs::directory_iterator entries(fs::path(system.SysfsRoot()) / "class" / "video4linux", error);
    if (error) return nodes;
    for (const fs::directory_entry& entry : entries) {
        if (auto node = ReadVideoNode(system, entry.path().filename().string()))
            nodes.push_back(std::move(*node));
    }
    std::sort(nodes.begin(), nodes.end(),
              [](const VideoNode& a, const VideoNode& b) { return a.number < b.number; });
    return nodes;
}

std::string DevicePathOf(const VideoNode& node)
{
    char text[64];
    std::snprintf(text, sizeof text, "#/dev/char/%u:%u", node.major, node.minor);
    const std::string nodePart = text;
    if (node.usb) {
        std::snprintf(text, sizeof text, "usb#vid_%04x&pid_%04x&mi_%02x#", node.vendorId, node.productId,
                      node.interfaceNumber < 0 ? 0u : static_cast<unsigned>(node.interfaceNumber));
        return text + node.parentName + nodePart;
    }
    if (node.parentSubsystem.empty()) return "virtual" + nodePart;
    return node.parentSubsystem + "#" + node.parentName + nodePart;
}

Status ReadExtensionUnits(const VideoNode& node, std::vector<UvcExtensionUnit>& units)
{
    units.clear();
    if (!node.usb) return StatusNotSupported;
    std::vector<std::uint8_t> descriptors;
    const fs::path device(node.usbDeviceDir);
    if (const int result = ReadFileBytes((device / "descriptors").string(), descriptors); result < 0) {
        return result == -ENOENT ? StatusDeviceNotConnected : StatusFromErrno(result);
    }
    UvcFunction function;
    function.interfaceNumber = node.interfaceNumber;
    function.configurationValue = static_cast<int>(
        ParseNumber(ReadFileLine((device / "bConfigurationValue").string()), 10).value_or(0));
    units = ParseExtensionUnits(descriptors.data(), descriptors.size(), function);
    return StatusOk;
}

}  // namespace velmora::linux_backend
