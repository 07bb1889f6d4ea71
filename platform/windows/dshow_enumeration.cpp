#include "platform/windows/dshow_enumeration.h"

#include "platform/windows/com_types.h"
#include "platform/windows/dshow_capture_device.h"

namespace velmora::windows {

Status DirectShowPropertyBag::Read(std::string_view name, std::string& value)
{
    const std::wstring wideName = ToWide(name);
    BstrVariant variant;
    const HRESULT result = m_bag->Read(wideName.c_str(), variant.Get(), nullptr);
    if (FAILED(result)) return result;
    if (variant.Value().vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
    const BSTR text = variant.Value().bstrVal;
    value = text ? FromWide(text, SysStringLen(text)) : std::string();
    return result;
}

Status DirectShowMoniker::BindToStorage(std::unique_ptr<PropertyBag>& out)
{
    out.reset();
    ComPtr<IPropertyBag> bag;
    const HRESULT result = m_moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid());
    if (FAILED(result)) return result;
    if (!bag) return E_POINTER;
    out = std::make_unique<DirectShowPropertyBag>(std::move(bag));
    return result;
}

Status DirectShowMoniker::BindToObject(std::unique_ptr<CaptureDevice>& out)
{
    out.reset();
    ComPtr<IBaseFilter> filter;
    const HRESULT result = m_moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.PutVoid());
    if (FAILED(result)) return result;
    if (!filter) return E_POINTER;
    out = std::make_unique<DirectShowCaptureDevice>(std::move(filter));
    return result;
}

Status DirectShowMonikerEnumerator::Reset()
{
    return m_monikers->Reset();
}

Status DirectShowMonikerEnumerator::Next(std::unique_ptr<Moniker>& out)
{
    out.reset();
    ComPtr<IMoniker> moniker;
    ULONG fetched = 0;
    const HRESULT result = m_monikers->Next(1, moniker.Put(), &fetched);
    if (result != S_OK) return result;
    if (!moniker) return S_FALSE;
    out = std::make_unique<DirectShowMoniker>(std::move(moniker));
    return result;
}

Status DirectShowSystemDeviceEnumerator::CreateVideoInputEnumerator(std::unique_ptr<MonikerEnumerator>& out)
{
    out.reset();
    ComPtr<IEnumMoniker> monikers;
    const HRESULT result =
        m_devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Put(), 0);
    if (FAILED(result)) return result;
    if (monikers) out = std::make_unique<DirectShowMonikerEnumerator>(std::move(monikers));
    return result;
}

HRESULT CoCreateSystemDeviceEnum(ICreateDevEnum** out)
{
    return CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                            reinterpret_cast<void**>(out));
}

Status CreateDirectShowSystemDeviceEnumerator(const CreateDevEnumFunction& create,
                                              std::unique_ptr<SystemDeviceEnumerator>& out)
{
    out.reset();
    ComPtr<ICreateDevEnum> devices;
    const HRESULT result = create(devices.Put());
    if (FAILED(result)) return result;
    if (!devices) return E_POINTER;
    out = std::make_unique<DirectShowSystemDeviceEnumerator>(std::move(devices));
    return result;
}

}  // namespace velmora::windows
