#include "tests/windows/fake_com.h"

#include <algorithm>
#include <cstring>

namespace velmora::windows::fakes {

namespace {

int g_liveObjects = 0;

std::uint32_t ReadU32(const std::vector<std::uint8_t>& bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    if (offset + 4 <= bytes.size()) std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

BindCall Bind(IBindCtx* context, IMoniker* left, REFIID iid)
{
    BindCall call;
    call.bindContext = context != nullptr;
    call.leftMoniker = left != nullptr;
    call.iid = iid;
    return call;
}

}  // namespace

int LiveObjects()
{
    return g_liveObjects;
}

template <class Interface>
Fake<Interface>::Fake(const IID& iid) : m_iid(iid)
{
    ++g_liveObjects;
}

template <class Interface>
Fake<Interface>::~Fake()
{
    --g_liveObjects;
}

template <class Interface>
HRESULT STDMETHODCALLTYPE Fake<Interface>::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, m_iid)) {
        AddRef();
        *out = static_cast<Interface*>(this);
        return S_OK;
    }
    return QueryOther(iid, out);
}

template <class Interface>
ULONG STDMETHODCALLTYPE Fake<Interface>::Release()
{
    const ULONG left = --m_references;
    if (left == 0) delete this;
    return left;
}

template <class Interface>
HRESULT Fake<Interface>::QueryOther(REFIID, void**)
{
    return E_NOINTERFACE;
}

template class Fake<IKsControl>;
template class Fake<IAMCameraControl>;
template class Fake<IBaseFilter>;
template class Fake<IPropertyBag>;
template class Fake<IMoniker>;
template class Fake<IEnumMoniker>;
template class Fake<ICreateDevEnum>;

std::uint32_t KsCall::Flags() const
{
    return ReadU32(property, 20);
}
std::uint32_t KsCall::NodeId() const
{
    return ReadU32(property, 24);
}

HRESULT STDMETHODCALLTYPE FakeKsControl::KsProperty(PKSPROPERTY property, ULONG propertyLength, LPVOID data,
                                                    ULONG dataLength, ULONG* bytesReturned)
{
    KsCall call;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(property);
    call.property.assign(bytes, bytes + propertyLength);
    call.propertyLength = propertyLength;
    call.dataPresent = data != nullptr;
    call.dataLength = dataLength;
    if (data) {
        const auto* sent = static_cast<const std::uint8_t*>(data);
        call.dataSent.assign(sent, sent + dataLength);
    }
    calls.push_back(call);
    if (respond) return respond(call, data, bytesReturned);

    *bytesReturned = 0;
    if (!data && dataLength == 0) {
        *bytesReturned = controlSize;
        return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
    }
    const HRESULT status = m_dataRequests < dataStatuses.size() ? dataStatuses[m_dataRequests] : S_OK;
    ++m_dataRequests;
    if (FAILED(status)) return status;
    if ((call.Flags() & KSPROPERTY_TYPE_GET) && data) {
        const std::size_t count = std::min<std::size_t>(dataLength, readBytes.size());
        std::memcpy(data, readBytes.data(), count);
        *bytesReturned = static_cast<ULONG>(count);
    }
    return status;
}

HRESULT STDMETHODCALLTYPE FakeCameraControl::GetRange(LONG property, LONG* min, LONG* max, LONG* stepping,
                                                      LONG* defaultOut, LONG* caps)
{
    calls.push_back({"GetRange", property, 0, 0});
    if (FAILED(rangeStatus)) return rangeStatus;
    *min = minimum;
    *max = maximum;
    *stepping = step;
    *defaultOut = defaultValue;
    *caps = capsFlags;
    return rangeStatus;
}

HRESULT STDMETHODCALLTYPE FakeCameraControl::Set(LONG property, LONG propertyValue, LONG propertyFlags)
{
    calls.push_back({"Set", property, propertyValue, propertyFlags});
    return setStatus;
}

HRESULT STDMETHODCALLTYPE FakeCameraControl::Get(LONG property, LONG* propertyValue, LONG* propertyFlags)
{
    calls.push_back({"Get", property, 0, 0});
    if (FAILED(getStatus)) return getStatus;
    *propertyValue = value;
    *propertyFlags = flags;
    return getStatus;
}

HRESULT FakeFilter::QueryOther(REFIID iid, void** out)
{
    if (IsEqualIID(iid, IID_IKsControl) && ks) {
        ks->AddRef();
        *out = static_cast<IKsControl*>(ks.Get());
        return S_OK;
    }
    if (IsEqualIID(iid, IID_IAMCameraControl) && camera) {
        camera->AddRef();
        *out = static_cast<IAMCameraControl*>(camera.Get());
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE FakePropertyBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog* errorLog)
{
    namesRead.emplace_back(name);
    typesAsked.push_back(value->vt);
    if (errorLog) ++errorLogsGiven;
    if (readStatus) return *readStatus;
    if (const auto found = strings.find(name); found != strings.end()) {
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocString(found->second.c_str());
        return value->bstrVal ? S_OK : E_OUTOFMEMORY;
    }
    if (const auto found = numbers.find(name); found != numbers.end()) {
        value->vt = VT_I4;
        value->lVal = found->second;
        return S_OK;
    }
    return E_FAIL;
}

HRESULT STDMETHODCALLTYPE FakeMoniker::BindToObject(IBindCtx* context, IMoniker* left, REFIID iid, void** out)
{
    objectCalls.push_back(Bind(context, left, iid));
    *out = nullptr;
    if (FAILED(objectStatus)) return objectStatus;
    if (succeedWithoutObject) return S_OK;
    if (!filter) return E_NOINTERFACE;
    return filter->QueryInterface(iid, out);
}

HRESULT STDMETHODCALLTYPE FakeMoniker::BindToStorage(IBindCtx* context, IMoniker* left, REFIID iid,
                                                     void** out)
{
    storageCalls.push_back(Bind(context, left, iid));
    *out = nullptr;
    if (FAILED(storageStatus)) return storageStatus;
    if (!bag) return E_NOINTERFACE;
    return bag->QueryInterface(iid, out);
}

HRESULT STDMETHODCALLTYPE FakeEnumMoniker::Next(ULONG count, IMoniker** out, ULONG* fetched)
{
    countsAsked.push_back(count);
    if (fetched) *fetched = 0;
    if (m_position >= monikers.size()) {
        *out = nullptr;
        return S_FALSE;
    }
    FakeMoniker* moniker = monikers[m_position++].Get();
    moniker->AddRef();
    *out = moniker;
    if (fetched) *fetched = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeEnumMoniker::Reset()
{
    ++resets;
    m_position = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeCreateDevEnum::CreateClassEnumerator(REFCLSID category, IEnumMoniker** out,
                                                                   DWORD flags)
{
    calls.push_back({category, flags});
    *out = nullptr;
    if (FAILED(status) || !monikers) return FAILED(status) ? status : S_FALSE;
    monikers->AddRef();
    *out = monikers.Get();
    return status;
}

}  // namespace velmora::windows::fakes
