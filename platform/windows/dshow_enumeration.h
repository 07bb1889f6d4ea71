// The system device enumerator's video input category: monikers, property bags and the
// capture filters they bind to, as the enumeration ports.
#pragma once

#include <functional>
#include <memory>

#include "platform/device_enumerator.h"
#include "platform/windows/com_ptr.h"
#include "platform/windows/windows_headers.h"

namespace velmora::windows {

class DirectShowPropertyBag : public PropertyBag {
public:
    explicit DirectShowPropertyBag(ComPtr<IPropertyBag> bag) : m_bag(std::move(bag)) {}
    // IPropertyBag::Read into a VT_BSTR VARIANT, no error log; the BSTR is freed with SysFreeString.
    Status Read(std::string_view name, std::string& value) override;

private:
    ComPtr<IPropertyBag> m_bag;
};

class DirectShowMoniker : public Moniker {
public:
    explicit DirectShowMoniker(ComPtr<IMoniker> moniker) : m_moniker(std::move(moniker)) {}
    Status BindToStorage(std::unique_ptr<PropertyBag>& out) override;
    Status BindToObject(std::unique_ptr<CaptureDevice>& out) override;

private:
    ComPtr<IMoniker> m_moniker;
};

class DirectShowMonikerEnumerator : public MonikerEnumerator {
public:
    explicit DirectShowMonikerEnumerator(ComPtr<IEnumMoniker> monikers) : m_monikers(std::move(monikers)) {}
    Status Reset() override;
    Status Next(std::unique_ptr<Moniker>& out) override;

private:
    ComPtr<IEnumMoniker> m_monikers;
};

class DirectShowSystemDeviceEnumerator : public SystemDeviceEnumerator {
public:
    explicit DirectShowSystemDeviceEnumerator(ComPtr<ICreateDevEnum> devices) : m_devices(std::move(devices))
    {
    }
    // CreateClassEnumerator(CLSID_VideoInputDeviceCategory, flags 0).
    Status CreateVideoInputEnumerator(std::unique_ptr<MonikerEnumerator>& out) override;

private:
    ComPtr<ICreateDevEnum> m_devices;
};

// Creates the ICreateDevEnum that the enumeration starts from.
using CreateDevEnumFunction = std::function<HRESULT(ICreateDevEnum** out)>;

// CoCreateInstance(CLSID_SystemDeviceEnum, no outer object, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum).
HRESULT CoCreateSystemDeviceEnum(ICreateDevEnum** out);

Status CreateDirectShowSystemDeviceEnumerator(const CreateDevEnumFunction& create,
                                              std::unique_ptr<SystemDeviceEnumerator>& out);

}  // namespace velmora::windows
