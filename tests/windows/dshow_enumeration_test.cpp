// The enumeration adapters over fake COM objects: the calls they make, what they return at
// each failure step, and that every reference they take is given back.
#include <gtest/gtest.h>

#include "platform/windows/dshow_enumeration.h"
#include "platform/windows/windows_backend.h"
#include "tests/windows/fake_com.h"

namespace velmora::windows {
namespace {

using fakes::FakeCreateDevEnum;
using fakes::FakeEnumMoniker;
using fakes::FakeFilter;
using fakes::FakeMoniker;
using fakes::FakePropertyBag;
using fakes::Make;

// A camera as the enumerator reports it: moniker, property bag and capture filter.
ComPtr<FakeMoniker> Camera(const std::wstring& name, const std::wstring& path)
{
    ComPtr<FakeMoniker> moniker = Make<FakeMoniker>();
    moniker->bag = Make<FakePropertyBag>();
    moniker->bag->strings[L"FriendlyName"] = name;
    moniker->bag->strings[L"DevicePath"] = path;
    moniker->filter = Make<FakeFilter>();
    return moniker;
}

class DirectShowEnumeration : public testing::Test {
protected:
    void SetUp() override
    {
        devices = Make<FakeCreateDevEnum>();
        devices->monikers = Make<FakeEnumMoniker>();
        devices->monikers->monikers.push_back(
            Camera(L"USB Camera",
                   L"\\\\?\\usb#vid_abcd&pid_ef01&mi_00#6&2c0a0001&0&0000#{65e8773d-8f56-11d0-a3b9-"
                   L"00a0c9223196}\\global"));
        devices->monikers->monikers.push_back(
            Camera(L"\u4f1a\u8bae\u6444\u50cf\u5934", L"\\\\?\\root#image#0000"));
    }

    // Every fake is held by the test alone again, and none is left once the test lets go.
    void TearDown() override
    {
        EXPECT_EQ(devices->References(), 1u);
        EXPECT_EQ(devices->monikers->References(), 1u);
        for (const ComPtr<FakeMoniker>& moniker : devices->monikers->monikers) {
            EXPECT_EQ(moniker->References(), 1u);
            EXPECT_EQ(moniker->bag->References(), 1u);
            EXPECT_EQ(moniker->filter->References(), 1u);
        }
        devices = {};
        EXPECT_EQ(fakes::LiveObjects(), 0);
    }

    WindowsBackend Backend()
    {
        ComPtr<FakeCreateDevEnum> held = devices;
        return WindowsBackend([held](ICreateDevEnum** out) {
            held->AddRef();
            *out = held.Get();
            return S_OK;
        });
    }

    FakeMoniker& MonikerAt(std::size_t i) { return *devices->monikers->monikers[i].Get(); }

    ComPtr<FakeCreateDevEnum> devices;
};

TEST_F(DirectShowEnumeration, WalksTheVideoInputCategory)
{
    {
        WindowsBackend backend = Backend();
        std::unique_ptr<SystemDeviceEnumerator> enumerator;
        ASSERT_EQ(backend.CreateSystemDeviceEnumerator(enumerator), StatusOk);
        std::unique_ptr<MonikerEnumerator> monikers;
        ASSERT_EQ(enumerator->CreateVideoInputEnumerator(monikers), StatusOk);
        ASSERT_TRUE(monikers);
        ASSERT_EQ(monikers->Reset(), StatusOk);

        std::vector<std::string> names, paths;
        std::vector<std::unique_ptr<CaptureDevice>> handles;
        std::unique_ptr<Moniker> moniker;
        while (monikers->Next(moniker) == StatusOk) {
            std::unique_ptr<PropertyBag> bag;
            ASSERT_EQ(moniker->BindToStorage(bag), StatusOk);
            std::string name, path;
            EXPECT_EQ(bag->Read(PropertyFriendlyName, name), StatusOk);
            EXPECT_EQ(bag->Read(PropertyDevicePath, path), StatusOk);
            names.push_back(name);
            paths.push_back(path);
            std::unique_ptr<CaptureDevice> device;
            ASSERT_EQ(moniker->BindToObject(device), StatusOk);
            handles.push_back(std::move(device));
        }
        EXPECT_FALSE(moniker);
        EXPECT_EQ(names, (std::vector<std::string>{"USB Camera",
                                                   "\xE4\xBC\x9A\xE8\xAE\xAE\xE6\x91\x84\xE5\x83\x8F"
                                                   "\xE5\xA4\xB4"}));
        EXPECT_EQ(paths[1], "\\\\?\\root#image#0000");
        EXPECT_EQ(handles.size(), 2u);
        // The capture filters stay referenced while their devices are held.
        EXPECT_EQ(MonikerAt(0).filter->References(), 2u);
    }

    ASSERT_EQ(devices->calls.size(), 1u);
    EXPECT_TRUE(IsEqualCLSID(devices->calls[0].category, CLSID_VideoInputDeviceCategory));
    EXPECT_EQ(devices->calls[0].flags, 0u);
    EXPECT_EQ(devices->monikers->resets, 1);
    EXPECT_EQ(devices->monikers->countsAsked, (std::vector<ULONG>{1, 1, 1}));
    for (std::size_t i = 0; i < 2; ++i) {
        const FakeMoniker& moniker = MonikerAt(i);
        ASSERT_EQ(moniker.storageCalls.size(), 1u);
        EXPECT_FALSE(moniker.storageCalls[0].bindContext);
        EXPECT_FALSE(moniker.storageCalls[0].leftMoniker);
        EXPECT_TRUE(IsEqualIID(moniker.storageCalls[0].iid, IID_IPropertyBag));
        ASSERT_EQ(moniker.objectCalls.size(), 1u);
        EXPECT_FALSE(moniker.objectCalls[0].bindContext);
        EXPECT_FALSE(moniker.objectCalls[0].leftMoniker);
        EXPECT_TRUE(IsEqualIID(moniker.objectCalls[0].iid, IID_IBaseFilter));
        EXPECT_EQ(moniker.bag->namesRead, (std::vector<std::wstring>{L"FriendlyName", L"DevicePath"}));
        EXPECT_EQ(moniker.bag->typesAsked, (std::vector<VARTYPE>{VT_BSTR, VT_BSTR}));
        EXPECT_EQ(moniker.bag->errorLogsGiven, 0);
    }
}

TEST_F(DirectShowEnumeration, EnumeratorCannotBeCreated)
{
    WindowsBackend failing([](ICreateDevEnum** out) {
        *out = nullptr;
        return REGDB_E_CLASSNOTREG;
    });
    std::unique_ptr<SystemDeviceEnumerator> enumerator;
    EXPECT_EQ(failing.CreateSystemDeviceEnumerator(enumerator), static_cast<Status>(REGDB_E_CLASSNOTREG));
    EXPECT_FALSE(enumerator);

    WindowsBackend empty([](ICreateDevEnum** out) {
        *out = nullptr;
        return S_OK;
    });
    EXPECT_EQ(empty.CreateSystemDeviceEnumerator(enumerator), StatusPointer);
    EXPECT_FALSE(enumerator);
}

TEST_F(DirectShowEnumeration, ClassEnumeratorFailsOrFindsNoDevice)
{
    WindowsBackend backend = Backend();
    std::unique_ptr<SystemDeviceEnumerator> enumerator;
    ASSERT_EQ(backend.CreateSystemDeviceEnumerator(enumerator), StatusOk);
    std::unique_ptr<MonikerEnumerator> monikers;

    devices->status = E_OUTOFMEMORY;
    EXPECT_EQ(enumerator->CreateVideoInputEnumerator(monikers), StatusOutOfMemory);
    EXPECT_FALSE(monikers);

    // The category without devices: success without an enumerator.
    devices->status = S_OK;
    ComPtr<FakeEnumMoniker> saved = devices->monikers;
    devices->monikers = {};
    EXPECT_EQ(enumerator->CreateVideoInputEnumerator(monikers), StatusFalse);
    EXPECT_FALSE(monikers);
    devices->monikers = saved;
}

TEST_F(DirectShowEnumeration, EachDeviceStepCanFail)
{
    WindowsBackend backend = Backend();
    std::unique_ptr<SystemDeviceEnumerator> enumerator;
    ASSERT_EQ(backend.CreateSystemDeviceEnumerator(enumerator), StatusOk);
    std::unique_ptr<MonikerEnumerator> monikers;
    ASSERT_EQ(enumerator->CreateVideoInputEnumerator(monikers), StatusOk);
    std::unique_ptr<Moniker> moniker;
    ASSERT_EQ(monikers->Next(moniker), StatusOk);
    FakeMoniker& fake = MonikerAt(0);

    // The property store cannot be opened.
    fake.storageStatus = STG_E_ACCESSDENIED;
    std::unique_ptr<PropertyBag> bag;
    EXPECT_EQ(moniker->BindToStorage(bag), static_cast<Status>(STG_E_ACCESSDENIED));
    EXPECT_FALSE(bag);
    fake.storageStatus = S_OK;

    // "DevicePath" cannot be read, or is no string.
    ASSERT_EQ(moniker->BindToStorage(bag), StatusOk);
    fake.bag->strings.erase(L"DevicePath");
    std::string path = "unchanged";
    EXPECT_EQ(bag->Read(PropertyDevicePath, path), StatusFail);
    EXPECT_EQ(path, "unchanged");
    fake.bag->numbers[L"DevicePath"] = 7;
    EXPECT_EQ(bag->Read(PropertyDevicePath, path), static_cast<Status>(DISP_E_TYPEMISMATCH));
    EXPECT_EQ(path, "unchanged");
    bag.reset();

    // The device does not bind to a capture filter.
    fake.objectStatus = E_NOINTERFACE;
    std::unique_ptr<CaptureDevice> device;
    EXPECT_EQ(moniker->BindToObject(device), StatusNoInterface);
    EXPECT_FALSE(device);
    fake.objectStatus = S_OK;

    // A bind that claims success without an object is no device either.
    fake.succeedWithoutObject = true;
    EXPECT_EQ(moniker->BindToObject(device), StatusPointer);
    EXPECT_FALSE(device);
}

}  // namespace
}  // namespace velmora::windows
