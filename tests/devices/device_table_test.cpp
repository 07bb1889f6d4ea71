// Enumeration into the device table: failures, skipped devices, capacity, handles, references.
#include <gtest/gtest.h>

#include <set>

#include "devices/device_enumeration.h"
#include "tests/devices/sim_devices.h"

namespace {

using devices_test::BackendWith;
using devices_test::BackendWithCameras;
using devices_test::Camera;
using velmora::DeviceTable;
using velmora::sim::SimBackend;
using velmora::sim::SimCameraConfig;

int FilledSlots(const DeviceTable& table)
{
    int filled = 0;
    for (int i = 0; i < DeviceTable::Capacity; ++i) {
        const bool moniker = table.monikers[i] != nullptr;
        const bool filter = table.filters[i] != nullptr;
        EXPECT_EQ(moniker, filter) << "slot " << i << " is half filled";
        EXPECT_EQ(filter, table.handles[i] != 0) << "slot " << i;
        if (filter) {
            EXPECT_EQ(filled, i) << "filled slots must be 0..n-1";
            ++filled;
        }
    }
    return filled;
}

// Counts the moniker fetches of the backend's enumerations.
class CountingBackend : public velmora::Backend {
public:
    explicit CountingBackend(std::shared_ptr<SimBackend> inner) : m_inner(std::move(inner)) {}
    std::string Name() const override { return "counting"; }
    velmora::Status CreateSystemDeviceEnumerator(
        std::unique_ptr<velmora::SystemDeviceEnumerator>& out) override
    {
        std::unique_ptr<velmora::SystemDeviceEnumerator> inner;
        const velmora::Status status = m_inner->CreateSystemDeviceEnumerator(inner);
        if (inner) out = std::make_unique<System>(std::move(inner), fetches);
        return status;
    }
    std::unique_ptr<velmora::DeviceChangeSource> CreateDeviceChangeSource() override { return nullptr; }

    int fetches = 0;

private:
    class Walk : public velmora::MonikerEnumerator {
    public:
        Walk(std::unique_ptr<velmora::MonikerEnumerator> inner, int& fetches)
            : m_inner(std::move(inner)), m_fetches(fetches)
        {
        }
        velmora::Status Reset() override { return m_inner->Reset(); }
        velmora::Status Next(std::unique_ptr<velmora::Moniker>& out) override
        {
            ++m_fetches;
            return m_inner->Next(out);
        }

    private:
        std::unique_ptr<velmora::MonikerEnumerator> m_inner;
        int& m_fetches;
    };
    class System : public velmora::SystemDeviceEnumerator {
    public:
        System(std::unique_ptr<velmora::SystemDeviceEnumerator> inner, int& fetches)
            : m_inner(std::move(inner)), m_fetches(fetches)
        {
        }
        velmora::Status CreateVideoInputEnumerator(std::unique_ptr<velmora::MonikerEnumerator>& out) override
        {
            std::unique_ptr<velmora::MonikerEnumerator> inner;
            const velmora::Status status = m_inner->CreateVideoInputEnumerator(inner);
            if (inner) out = std::make_unique<Walk>(std::move(inner), m_fetches);
            return status;
        }

    private:
        std::unique_ptr<velmora::SystemDeviceEnumerator> m_inner;
        int& m_fetches;
    };
    std::shared_ptr<SimBackend> m_inner;
};

TEST(EnumerateCaptureDevices, CannotStartReturnsMinusOneWithAnEmptyTable)
{
    auto noEnumerator = BackendWithCameras(2);
    noEnumerator->World().failCreateEnumerator = true;
    auto noClassEnumerator = BackendWithCameras(2);
    noClassEnumerator->World().failCreateClassEnumerator = true;
    auto noDevice = BackendWithCameras(0);
    for (SimBackend* backend : {noEnumerator.get(), noClassEnumerator.get(), noDevice.get()}) {
        DeviceTable table;
        EXPECT_EQ(velmora::EnumerateCaptureDevices(table, *backend), -1);
        EXPECT_EQ(FilledSlots(table), 0);
        EXPECT_EQ(backend->Live().Total(), 0);
    }
}

TEST(EnumerateCaptureDevices, KeepsDevicesInOrderWithOneReferenceEach)
{
    auto backend = BackendWithCameras(3);
    DeviceTable table;
    EXPECT_EQ(velmora::EnumerateCaptureDevices(table, *backend), 3);
    EXPECT_EQ(FilledSlots(table), 3);
    EXPECT_EQ(backend->Live().monikers, 3);
    EXPECT_EQ(backend->Live().devices, 3);
    EXPECT_EQ(backend->Live().Total(), 6) << "enumerators and property stores must be given back";
    velmora::ClearDeviceTable(table);
    EXPECT_EQ(FilledSlots(table), 0);
    EXPECT_EQ(backend->Live().Total(), 0);
}

TEST(EnumerateCaptureDevices, SkipsDevicesWithoutPathStoreOrBindingAndGoesOn)
{
    SimCameraConfig noPath = Camera("no path", 1);
    noPath.devicePath.reset();
    SimCameraConfig noStore = Camera("no store", 2);
    noStore.failBindToStorage = true;
    SimCameraConfig noBind = Camera("no bind", 3);
    noBind.failBindToObject = true;
    SimCameraConfig noName = Camera("", 5);
    noName.friendlyName.reset();
    auto backend = BackendWith({noPath, Camera("first kept", 4), noStore, noBind, noName});
    DeviceTable table;
    EXPECT_EQ(velmora::EnumerateCaptureDevices(table, *backend), 2);
    ASSERT_EQ(FilledSlots(table), 2);
    EXPECT_EQ(backend->Live().Total(), 4);

    // Slot 0 holds the second camera, slot 1 the nameless fifth one.
    std::unique_ptr<velmora::PropertyBag> properties;
    std::string path;
    ASSERT_EQ(table.monikers[0]->BindToStorage(properties), velmora::StatusOk);
    ASSERT_EQ(properties->Read(velmora::PropertyDevicePath, path), velmora::StatusOk);
    EXPECT_EQ(path, *Camera("", 4).devicePath);
    ASSERT_EQ(table.monikers[1]->BindToStorage(properties), velmora::StatusOk);
    ASSERT_EQ(properties->Read(velmora::PropertyDevicePath, path), velmora::StatusOk);
    EXPECT_EQ(path, *Camera("", 5).devicePath);
}

TEST(EnumerateCaptureDevices, TwelveDevicesStopAtTheTenthSlot)
{
    auto sim = BackendWithCameras(12);
    CountingBackend backend(sim);
    DeviceTable table;
    EXPECT_EQ(velmora::EnumerateCaptureDevices(table, backend), 10);
    EXPECT_EQ(FilledSlots(table), 10);
    EXPECT_EQ(backend.fetches, 10) << "no moniker is fetched once the table is full";
    EXPECT_EQ(sim->Live().monikers, 10);
    EXPECT_EQ(sim->Live().devices, 10);
    EXPECT_EQ(sim->Live().Total(), 20);
}

TEST(EnumerateCaptureDevices, SkippedDevicesDoNotCountTowardsTheTen)
{
    std::vector<SimCameraConfig> cameras;
    for (int i = 1; i <= 12; ++i) {
        cameras.push_back(Camera("Camera " + std::to_string(i), i));
        if (i <= 2) cameras.back().failBindToObject = true;
    }
    auto backend = BackendWith(cameras);
    DeviceTable table;
    EXPECT_EQ(velmora::EnumerateCaptureDevices(table, *backend), 10);
    EXPECT_EQ(FilledSlots(table), 10);
    EXPECT_EQ(backend->Live().Total(), 20);
}

TEST(EnumerateCaptureDevices, AnOccupiedTableIsGivenBackFirst)
{
    auto backend = BackendWithCameras(3);
    DeviceTable table;
    ASSERT_EQ(velmora::EnumerateCaptureDevices(table, *backend), 3);
    backend->Cameras()[1]->SetPlugged(false);
    backend->Cameras()[2]->SetPlugged(false);
    EXPECT_EQ(velmora::EnumerateCaptureDevices(table, *backend), 1);
    EXPECT_EQ(FilledSlots(table), 1);
    EXPECT_EQ(backend->Live().Total(), 2);
    backend->Cameras()[0]->SetPlugged(false);
    EXPECT_EQ(velmora::EnumerateCaptureDevices(table, *backend), -1);
    EXPECT_EQ(FilledSlots(table), 0);
    EXPECT_EQ(backend->Live().Total(), 0);
}

TEST(DeviceHandles, AreNonZeroUniqueAndLeadBackToTheirSlot)
{
    auto backend = BackendWithCameras(10);
    DeviceTable first;
    DeviceTable second;
    ASSERT_EQ(velmora::EnumerateCaptureDevices(first, *backend), 10);
    ASSERT_EQ(velmora::EnumerateCaptureDevices(second, *backend), 10);
    std::set<int> seen;
    for (const DeviceTable* table : {&first, &second}) {
        for (int i = 0; i < DeviceTable::Capacity; ++i) {
            const int handle = table->handles[i];
            EXPECT_NE(handle, 0);
            EXPECT_TRUE(seen.insert(handle).second) << "handle " << handle << " given twice";
            EXPECT_EQ(velmora::DeviceForHandle(*table, handle), table->filters[i].get());
        }
    }
    EXPECT_EQ(velmora::DeviceForHandle(first, 0), nullptr);
    EXPECT_EQ(velmora::DeviceForHandle(first, second.handles[0]), nullptr);
    EXPECT_EQ(velmora::DeviceForHandle(first, -1), nullptr);

    const int old = first.handles[0];
    ASSERT_EQ(velmora::EnumerateCaptureDevices(first, *backend), 10);
    EXPECT_EQ(velmora::DeviceForHandle(first, old), nullptr)
        << "a refreshed table must not answer old handles";

    DeviceTable empty;
    EXPECT_EQ(velmora::DeviceForHandle(empty, 0), nullptr);
}

}  // namespace
