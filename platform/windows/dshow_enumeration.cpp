#include "platform/windows/dshow_enumeration.h"

#include "platform/windows/com_adapt.h"
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
    return AdaptInterface<DirectShowPropertyBag, IPropertyBag>(
        out, E_POINTER, [&](ComPtr<IPropertyBag>& bag) {
            return m_moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid());
        });
}

Status DirectShowMoniker::BindToObject(std::unique_ptr<CaptureDevice>& out)
{
    return AdaptInterface<DirectShowCaptureDevice, IBaseFilter>(
        out, E_POINTER, [&](ComPtr<IBaseFilter>& filter) {
            return m_moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.PutVoid());
        });
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
    return AdaptInterface<DirectShowSystemDeviceEnumerator, ICreateDevEnum>(
        out, E_POINTER, [&](ComPtr<ICreateDevEnum>& devices) { return create(devices.Put()); });
}

}  // namespace velmora::windows
