#include "tools/cli_session.h"

#include <QByteArray>
#include <QFileInfo>
#include <QtGlobal>
#include <cctype>

#include "devices/device_enumeration.h"
#include "devices/device_id.h"
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

// "DevicePath" and the id made from it (empty when the path cannot be read).
void ReadDevicePath(velmora::Moniker& moniker, DeviceEntry& entry)
{
    std::unique_ptr<velmora::PropertyBag> bag;
    if (velmora::Failed(moniker.BindToStorage(bag)) || !bag) return;
    std::string path;
    if (bag->Read(velmora::PropertyDevicePath, path) != velmora::StatusOk) return;
    std::string serial;
    if (bag->Read(velmora::PropertySerialNumber, serial) != velmora::StatusOk) serial.clear();
    entry.id = velmora::StableDeviceId(path, serial);
    entry.path = std::move(path);
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

void Session::Forget()
{
    m_selected = nullptr;
    m_devices.clear();
    velmora::ClearDeviceTable(m_table);
    m_enumerated = false;
    m_enumerationProblem.clear();
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
        ReadDevicePath(*m_table.monikers[i], entry);
        if (entry.id.empty()) entry.id = velmora::StableDeviceId(entry.label.toStdString(), "");
        entry.device = m_table.filters[i].get();
        m_devices.push_back(std::move(entry));
    }
    std::vector<std::string> ids;
    for (const DeviceEntry& entry : m_devices) ids.push_back(entry.id);
    velmora::DisambiguateDeviceIds(ids);
    for (std::size_t i = 0; i < ids.size(); ++i) m_devices[i].id = ids[i];
    return m_devices;
}

std::optional<Failure> Session::Select(const std::optional<std::string>& selector)
{
    std::optional<Failure> failure;
    m_selected = Find(selector.value_or("0"), failure);
    return failure;
}

const DeviceEntry* Session::Find(const std::string& wanted, std::optional<Failure>& failure)
{
    const std::vector<DeviceEntry>& devices = Devices();
    std::string numberError;
    const auto index = ParseNumber(wanted, 0xFFFFFFFFu, numberError);
    if (index) {
        if (*index < devices.size()) return &devices[*index];
        if (devices.empty()) {
            std::string message = "no capture device found";
            if (!m_enumerationProblem.empty()) message += ": " + m_enumerationProblem;
            failure = NoDeviceFailure(message);
        } else {
            failure = NoDeviceFailure("no device " + wanted + ": " + std::to_string(devices.size()) +
                                      " capture device(s) listed (0 to " +
                                      std::to_string(devices.size() - 1) + ")");
        }
        return nullptr;
    }
    for (const DeviceEntry& entry : devices) {
        if (Lower(entry.id) == Lower(wanted)) return &entry;
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
                failure = UsageFailure("--device " + wanted + " matches more than one device (" +
                                       std::to_string(match->index) + " and " + std::to_string(entry.index) +
                                       "); give an index, an id or a longer path");
                return nullptr;
            }
            match = &entry;
        }
        if (match) break;
    }
    if (!match) failure = NoDeviceFailure("no capture device matches --device " + wanted);
    return match;
}

std::string Session::Subject() const
{
    if (!m_selected) return "no device";
    return "device " + std::to_string(m_selected->index) + " (" + m_selected->label.toStdString() + ")";
}

}  // namespace velmoractl
