#include "platform/sim/sim_backend.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace velmora::sim {

namespace {

class SimKsControl : public KsControl {
public:
    SimKsControl(std::shared_ptr<SimCamera> camera, std::shared_ptr<SimLiveCounts> live)
        : m_camera(std::move(camera)), m_live(live), m_token(std::move(live), &SimLiveCounts::ksControls)
    {
    }
    Status KsProperty(const KsNodeRequest& request, void* data, std::uint32_t dataLength,
                      std::uint32_t& bytesReturned) override
    {
        return m_camera->KsProperty(request, data, dataLength, bytesReturned);
    }
    // Counted in SimLiveCounts::pieceBuffers until given back. Filled with 0xCD, not zeros, so that a
    // transfer that forgets to clear it shows.
    PieceBuffer AllocatePieceBuffer(std::uint32_t size) override
    {
        if (m_camera->PieceBufferFails()) return nullptr;
        PieceBuffer buffer(new (std::nothrow) std::uint8_t[size]);
        if (!buffer) return buffer;
        std::memset(buffer.get(), 0xCD, size);
        buffer.get_deleter().token = std::make_shared<LiveToken>(m_live, &SimLiveCounts::pieceBuffers);
        return buffer;
    }

private:
    std::shared_ptr<SimCamera> m_camera;
    std::shared_ptr<SimLiveCounts> m_live;
    LiveToken m_token;
};

class SimCameraControl : public CameraControl {
public:
    SimCameraControl(std::shared_ptr<SimCamera> camera, std::shared_ptr<SimLiveCounts> live)
        : m_camera(std::move(camera)), m_token(std::move(live), &SimLiveCounts::cameraControls)
    {
    }
    Status Get(CameraProperty property, std::int32_t& value, std::int32_t& flags) override
    {
        return m_camera->CameraGet(property, value, flags);
    }
    Status GetRange(CameraProperty property, CameraRange& range) override
    {
        return m_camera->CameraGetRange(property, range);
    }
    Status Set(CameraProperty property, std::int32_t value, std::int32_t flags) override
    {
        return m_camera->CameraSet(property, value, flags);
    }

private:
    std::shared_ptr<SimCamera> m_camera;
    LiveToken m_token;
};

class SimCaptureDevice : public CaptureDevice {
public:
    SimCaptureDevice(std::shared_ptr<SimCamera> camera, std::shared_ptr<SimLiveCounts> live)
        : m_camera(std::move(camera)), m_live(live), m_token(std::move(live), &SimLiveCounts::devices)
    {
    }
    Status QueryKsControl(std::unique_ptr<KsControl>& out) override
    {
        const Status status = m_camera->QueryKsControl();
        if (Succeeded(status)) out = std::make_unique<SimKsControl>(m_camera, m_live);
        return status;
    }
    Status QueryCameraControl(std::unique_ptr<CameraControl>& out) override
    {
        const Status status = m_camera->QueryCameraControl();
        if (Succeeded(status)) out = std::make_unique<SimCameraControl>(m_camera, m_live);
        return status;
    }
    Status DescribeExtensionUnits(const Guid& propertySet, std::uint32_t nodeId,
                                  std::vector<ExtensionUnitInfo>& out) override
    {
        return m_camera->DescribeExtensionUnits(propertySet, nodeId, out);
    }

private:
    std::shared_ptr<SimCamera> m_camera;
    std::shared_ptr<SimLiveCounts> m_live;
    LiveToken m_token;
};

class SimPropertyBag : public PropertyBag {
public:
    SimPropertyBag(std::shared_ptr<SimCamera> camera, std::shared_ptr<SimLiveCounts> live)
        : m_camera(std::move(camera)), m_token(std::move(live), &SimLiveCounts::propertyBags)
    {
    }
    Status Read(std::string_view name, std::string& value) override
    {
        const SimCameraConfig& config = m_camera->Config();
        const std::optional<std::string>* property = nullptr;
        if (name == PropertyFriendlyName) property = &config.friendlyName;
        if (name == PropertyDevicePath) property = &config.devicePath;
        if (!property || !property->has_value()) return StatusInvalidArg;
        value = **property;
        return StatusOk;
    }

private:
    std::shared_ptr<SimCamera> m_camera;
    LiveToken m_token;
};

class SimMoniker : public Moniker {
public:
    SimMoniker(std::shared_ptr<SimCamera> camera, std::shared_ptr<SimLiveCounts> live)
        : m_camera(std::move(camera)), m_live(live), m_token(std::move(live), &SimLiveCounts::monikers)
    {
    }
    Status BindToStorage(std::unique_ptr<PropertyBag>& out) override
    {
        const SimCameraConfig& config = m_camera->Config();
        // The enumeration opens each moniker's store once; a later open is the list's.
        if (config.failBindToStorage || (config.failStorageAtFill && m_storageOpened)) return StatusFail;
        m_storageOpened = true;
        out = std::make_unique<SimPropertyBag>(m_camera, m_live);
        return StatusOk;
    }
    Status BindToObject(std::unique_ptr<CaptureDevice>& out) override
    {
        if (m_camera->Config().failBindToObject) return StatusNoInterface;
        out = std::make_unique<SimCaptureDevice>(m_camera, m_live);
        return StatusOk;
    }

private:
    std::shared_ptr<SimCamera> m_camera;
    std::shared_ptr<SimLiveCounts> m_live;
    LiveToken m_token;
    bool m_storageOpened = false;
};

class SimMonikerEnumerator : public MonikerEnumerator {
public:
    SimMonikerEnumerator(std::vector<std::shared_ptr<SimCamera>> cameras, std::shared_ptr<SimLiveCounts> live)
        : m_cameras(std::move(cameras)), m_live(live), m_token(std::move(live), &SimLiveCounts::enumerators)
    {
    }
    Status Reset() override
    {
        m_next = 0;
        return StatusOk;
    }
    Status Next(std::unique_ptr<Moniker>& out) override
    {
        if (m_next >= m_cameras.size()) return StatusFalse;
        out = std::make_unique<SimMoniker>(m_cameras[m_next++], m_live);
        return StatusOk;
    }

private:
    std::vector<std::shared_ptr<SimCamera>> m_cameras;
    std::size_t m_next = 0;
    std::shared_ptr<SimLiveCounts> m_live;
    LiveToken m_token;
};

class SimSystemDeviceEnumerator : public SystemDeviceEnumerator {
public:
    explicit SimSystemDeviceEnumerator(std::shared_ptr<SimBackend> backend)
        : m_backend(std::move(backend)), m_token(m_backend->LiveCounts(), &SimLiveCounts::enumerators)
    {
    }
    Status CreateVideoInputEnumerator(std::unique_ptr<MonikerEnumerator>& out) override
    {
        if (m_backend->World().failCreateClassEnumerator) return StatusFail;
        std::vector<std::shared_ptr<SimCamera>> present;
        for (const auto& camera : m_backend->Cameras()) {
            if (camera->Plugged()) present.push_back(camera);
        }
        if (present.empty()) return StatusFalse;
        out = std::make_unique<SimMonikerEnumerator>(std::move(present), m_backend->LiveCounts());
        return StatusOk;
    }

private:
    std::shared_ptr<SimBackend> m_backend;
    LiveToken m_token;
};

}  // namespace

SimBackend::SimBackend(SimWorldConfig world) : m_world(std::move(world))
{
    const std::string tracePath = SimTracePath(m_world.traceFile);
    if (!tracePath.empty()) m_trace = SimTraceFile::Open(tracePath);
    for (const SimCameraConfig& camera : m_world.cameras) {
        m_cameras.push_back(std::make_shared<SimCamera>(camera, m_trace));
    }
}

std::unique_ptr<CaptureDevice> SimBackend::OpenCaptureDevice(std::size_t index)
{
    if (index >= m_cameras.size()) return nullptr;
    return std::make_unique<SimCaptureDevice>(m_cameras[index], m_live);
}

std::shared_ptr<SimBackend> SimBackend::FromEnvironment(std::string& error)
{
    const char* path = std::getenv("VELMORA_SIM_CONFIG");
    std::shared_ptr<SimBackend> backend;
    if (!path || !*path) {
        backend = std::make_shared<SimBackend>(DefaultSimWorld());
    } else {
        auto world = LoadSimConfigFile(path, error);
        if (!world) return nullptr;
        backend = std::make_shared<SimBackend>(std::move(*world));
    }
    const char* hotplug = std::getenv("VELMORA_SIM_HOTPLUG_DIR");
    std::string hotplugError;
    if (hotplug && *hotplug && !backend->WatchHotplugFolder(hotplug, hotplugError)) {
        std::fprintf(stderr, "velmora: VELMORA_SIM_HOTPLUG_DIR: %s\n", hotplugError.c_str());
    }
    return backend;
}

Status SimBackend::CreateSystemDeviceEnumerator(std::unique_ptr<SystemDeviceEnumerator>& out)
{
    if (m_world.failCreateEnumerator) return StatusFromBits(0x80040154u);  // REGDB_E_CLASSNOTREG
    out = std::make_unique<SimSystemDeviceEnumerator>(shared_from_this());
    return StatusOk;
}

std::unique_ptr<DeviceChangeSource> SimBackend::CreateDeviceChangeSource()
{
    return std::make_unique<SimDeviceChangeSource>(m_deviceChanges, m_hotplug);
}

std::shared_ptr<SimCamera> SimBackend::Plug(SimCameraConfig config)
{
    auto camera = std::make_shared<SimCamera>(std::move(config), m_trace);
    m_cameras.push_back(camera);
    const std::string& name = m_interfaceNames[camera.get()] =
        SimInterfaceName(camera->Config(), ++m_plugged);
    m_deviceChanges->Post(KsCategoryCapture, {DeviceChangeKind::Arrival, DeviceRecordInterface, name});
    return camera;
}

bool SimBackend::Unplug(std::shared_ptr<SimCamera> camera)
{
    const auto found = std::find(m_cameras.begin(), m_cameras.end(), camera);
    if (!camera || found == m_cameras.end()) return false;
    const auto position = static_cast<int>(found - m_cameras.begin());
    m_cameras.erase(found);
    camera->SetPlugged(false);
    std::string name = SimInterfaceName(camera->Config(), position + 1);
    if (const auto known = m_interfaceNames.find(camera.get()); known != m_interfaceNames.end()) {
        name = std::move(known->second);
        m_interfaceNames.erase(known);
    }
    m_deviceChanges->Post(KsCategoryCapture, {DeviceChangeKind::RemoveComplete, DeviceRecordInterface, name});
    return true;
}

bool SimBackend::WatchHotplugFolder(const std::string& folder, std::string& error)
{
    const std::weak_ptr<SimBackend> self = weak_from_this();
    auto hotplug = SimHotplugFolder::Open(
        folder,
        [self](SimCameraConfig camera) {
            const auto backend = self.lock();
            return backend ? backend->Plug(std::move(camera)) : nullptr;
        },
        [self](const std::shared_ptr<SimCamera>& camera) {
            if (const auto backend = self.lock()) backend->Unplug(camera);
        },
        error);
    if (!hotplug) return false;
    m_hotplug = std::move(hotplug);
    return true;
}

}  // namespace velmora::sim
