#include "tools/cli_session.h"

#include <QByteArray>
#include <QFileInfo>
#include <QtGlobal>
#include <cctype>

#include "devices/device_enumeration.h"
#include "devices/device_label.h"
#include "tools/cli_number.h"
#include "tools/device_node.h"

namespace velmoractl {

namespace {

std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool IsWordCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

std::optional<std::string> ReadDevicePath(velmora::Moniker& moniker)
{
    std::unique_ptr<velmora::PropertyBag> bag;
    if (velmora::Failed(moniker.BindToStorage(bag)) || !bag) return std::nullopt;
    std::string path;
    if (bag->Read(velmora::PropertyDevicePath, path) != velmora::StatusOk) return std::nullopt;
    return path;
}

}  // namespace

bool PathMatches(const std::string& path, const std::string& selector)
{
    if (selector.empty()) return false;
    const std::string haystack = Lower(path);
    const std::string needle = Lower(selector);
    for (auto at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) {
        const std::size_t end = at + needle.size();
        const bool startsClean =
            at == 0 || !IsWordCharacter(haystack[at - 1]) || !IsWordCharacter(needle.front());
        const bool endsClean =
            end == haystack.size() || !IsWordCharacter(haystack[end]) || !IsWordCharacter(needle.back());
        if (startsClean && endsClean) return true;
    }
    return false;
}

Session::~Session()
{
    velmora::ClearDeviceTable(m_table);
}

std::optional<Failure> Session::Open(const Options& options)
{
    if (options.simConfig) qputenv("VELMORA_SIM_CONFIG", QByteArray::fromStdString(*options.simConfig));
    const std::string name = options.backend ? *options.backend : velmora::RequestedBackendName();
    std::string error;
    m_backend = velmora::CreateBackend(name, error);
    if (!m_backend) return UsageFailure(error.empty() ? "backend '" + name + "' cannot be created" : error);
    return std::nullopt;
}

const std::vector<DeviceEntry>& Session::Devices()
{
    if (m_enumerated) return m_devices;
    m_enumerated = true;
    const int count = velmora::EnumerateCaptureDevices(m_table, *m_backend);
    if (count < 0) {
        std::unique_ptr<velmora::SystemDeviceEnumerator> enumerator;
        const velmora::Status status = m_backend->CreateSystemDeviceEnumerator(enumerator);
        if (velmora::Failed(status)) {
            m_enumerationProblem =
                "the system device enumerator cannot be created (" + velmora::StatusName(status) + ")";
        } else if (enumerator) {
            std::unique_ptr<velmora::MonikerEnumerator> devices;
            const velmora::Status listed = enumerator->CreateVideoInputEnumerator(devices);
            if (velmora::Failed(listed)) {
                m_enumerationProblem =
                    "the video input devices cannot be enumerated (" + velmora::StatusName(listed) + ")";
            }
        }
    }
    for (int i = 0; i < velmora::DeviceTable::Capacity && m_table.monikers[i]; ++i) {
        DeviceEntry entry;
        // As the window: a device whose properties cannot be read now is left out, not the rest.
        if (!velmora::BuildDeviceLabel(entry.label, m_table.monikers[i].get())) continue;
        entry.index = static_cast<int>(m_devices.size());
        entry.path = ReadDevicePath(*m_table.monikers[i]);
        entry.device = m_table.filters[i].get();
        m_devices.push_back(std::move(entry));
    }
    return m_devices;
}

std::optional<Failure> Session::Select(const std::optional<std::string>& selector)
{
    const std::vector<DeviceEntry>& devices = Devices();
    const std::string wanted = selector.value_or("0");
    std::string numberError;
    const auto index = ParseNumber(wanted, 0xFFFFFFFFu, numberError);
    if (index) {
        if (*index < devices.size()) {
            m_selected = &devices[*index];
            return std::nullopt;
        }
        if (devices.empty()) {
            std::string message = "no capture device found";
            if (!m_enumerationProblem.empty()) message += ": " + m_enumerationProblem;
            return NoDeviceFailure(message);
        }
        return NoDeviceFailure("no device " + wanted + ": " + std::to_string(devices.size()) +
                               " capture device(s) listed (0 to " + std::to_string(devices.size() - 1) + ")");
    }
    std::vector<std::string> candidates{wanted};
    const QFileInfo file(QString::fromStdString(wanted));
    if (file.exists()) {
        const std::string canonical = file.canonicalFilePath().toStdString();
        if (!canonical.empty() && canonical != wanted) candidates.push_back(canonical);
        if (auto node = CharacterDeviceName(wanted)) candidates.push_back(*node);
    }
    const DeviceEntry* match = nullptr;
    for (const std::string& candidate : candidates) {
        for (const DeviceEntry& entry : devices) {
            if (!entry.path || !PathMatches(*entry.path, candidate)) continue;
            if (match && match != &entry) {
                return UsageFailure("--device " + wanted + " matches more than one device (" +
                                    std::to_string(match->index) + " and " + std::to_string(entry.index) +
                                    "); give an index or a longer path");
            }
            match = &entry;
        }
        if (match) break;
    }
    if (!match) return NoDeviceFailure("no capture device matches --device " + wanted);
    m_selected = match;
    return std::nullopt;
}

std::string Session::Subject() const
{
    if (!m_selected) return "no device";
    return "device " + std::to_string(m_selected->index) + " (" + m_selected->label.toStdString() + ")";
}

}  // namespace velmoractl
