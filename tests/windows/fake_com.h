// Fake COM objects for the DirectShow and kernel-streaming adapters: each records what it was
// asked and counts its references, so a test can check every request and every Release.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/windows/com_ptr.h"
#include "platform/windows/windows_headers.h"

namespace velmora::windows::fakes {

// Fake objects alive in the process; zero once every reference is released.
int LiveObjects();

// IUnknown for one interface with identifier iid: counts references, deletes itself at zero.
template <class Interface>
class Fake : public Interface {
public:
    explicit Fake(const IID& iid);
    virtual ~Fake();
    Fake(const Fake&) = delete;
    Fake& operator=(const Fake&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override;

    ULONG References() const { return m_references; }

protected:
    // Interfaces other than IUnknown and the object's own; E_NOINTERFACE by default.
    virtual HRESULT QueryOther(REFIID iid, void** out);

private:
    IID m_iid;
    ULONG m_references = 1;
};

// One IKsControl::KsProperty call as the adapter made it.
struct KsCall {
    std::vector<std::uint8_t> property;  // PropertyLength bytes of the request
    ULONG propertyLength = 0;
    bool dataPresent = false;
    ULONG dataLength = 0;
    std::vector<std::uint8_t> dataSent;  // the buffer's bytes at the call

    std::uint32_t Flags() const;
    std::uint32_t NodeId() const;
};

// A vendor control of controlSize bytes: answers the size query with 0x800700EA and the size,
// stores what is set and gives back readBytes on a get. respond, when set, answers instead.
class FakeKsControl : public Fake<IKsControl> {
public:
    FakeKsControl() : Fake(IID_IKsControl) {}

    ULONG controlSize = 12;
    std::vector<std::uint8_t> readBytes;
    std::vector<HRESULT> dataStatuses;  // for the data requests in order; S_OK past the end
    std::function<HRESULT(const KsCall& call, void* data, ULONG* bytesReturned)> respond;
    std::vector<KsCall> calls;

    HRESULT STDMETHODCALLTYPE KsProperty(PKSPROPERTY property, ULONG propertyLength, LPVOID data,
                                         ULONG dataLength, ULONG* bytesReturned) override;
    HRESULT STDMETHODCALLTYPE KsMethod(PKSMETHOD, ULONG, LPVOID, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE KsEvent(PKSEVENT, ULONG, LPVOID, ULONG, ULONG*) override { return E_NOTIMPL; }

private:
    std::size_t m_dataRequests = 0;
};

struct CameraCall {
    std::string method;
    LONG property = 0;
    LONG value = 0;
    LONG flags = 0;
};

class FakeCameraControl : public Fake<IAMCameraControl> {
public:
    FakeCameraControl() : Fake(IID_IAMCameraControl) {}

    LONG value = 0, flags = 0, minimum = 0, maximum = 0, step = 0, defaultValue = 0, capsFlags = 0;
    HRESULT getStatus = S_OK, rangeStatus = S_OK, setStatus = S_OK;
    std::vector<CameraCall> calls;

    HRESULT STDMETHODCALLTYPE GetRange(LONG property, LONG* min, LONG* max, LONG* stepping, LONG* defaultOut,
                                       LONG* caps) override;
    HRESULT STDMETHODCALLTYPE Set(LONG property, LONG propertyValue, LONG propertyFlags) override;
    HRESULT STDMETHODCALLTYPE Get(LONG property, LONG* propertyValue, LONG* propertyFlags) override;
};

// The capture filter: hands out its IKsControl and IAMCameraControl (either may be missing).
class FakeFilter : public Fake<IBaseFilter> {
public:
    FakeFilter() : Fake(IID_IBaseFilter) {}

    ComPtr<FakeKsControl> ks;
    ComPtr<FakeCameraControl> camera;

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stop() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Pause() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

protected:
    HRESULT QueryOther(REFIID iid, void** out) override;
};

// Properties as VT_BSTR; a missing one fails the read with E_FAIL (or readStatus when set).
class FakePropertyBag : public Fake<IPropertyBag> {
public:
    FakePropertyBag() : Fake(IID_IPropertyBag) {}

    std::map<std::wstring, std::wstring> strings;
    std::map<std::wstring, LONG> numbers;  // answered as VT_I4
    std::optional<HRESULT> readStatus;
    std::vector<std::wstring> namesRead;
    std::vector<VARTYPE> typesAsked;
    int errorLogsGiven = 0;

    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog* errorLog) override;
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
};

struct BindCall {
    bool bindContext = false;
    bool leftMoniker = false;
    IID iid{};
};

class FakeMoniker : public Fake<IMoniker> {
public:
    FakeMoniker() : Fake(IID_IMoniker) {}

    ComPtr<FakePropertyBag> bag;
    ComPtr<FakeFilter> filter;
    HRESULT storageStatus = S_OK;
    HRESULT objectStatus = S_OK;
    bool succeedWithoutObject = false;  // BindToObject answers S_OK and no object
    std::vector<BindCall> storageCalls;
    std::vector<BindCall> objectCalls;

    HRESULT STDMETHODCALLTYPE BindToObject(IBindCtx* context, IMoniker* left, REFIID iid,
                                           void** out) override;
    HRESULT STDMETHODCALLTYPE BindToStorage(IBindCtx* context, IMoniker* left, REFIID iid,
                                            void** out) override;

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Load(IStream*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Save(IStream*, WINBOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ComposeWith(IMoniker*, WINBOOL, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Enum(WINBOOL, IEnumMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsEqual(IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Hash(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsRunning(IBindCtx*, IMoniker*, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Inverse(IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CommonPrefixWith(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RelativePathTo(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG*, IMoniker**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE IsSystemMoniker(DWORD*) override { return E_NOTIMPL; }
};

// Hands out its monikers one by one, then S_FALSE.
class FakeEnumMoniker : public Fake<IEnumMoniker> {
public:
    FakeEnumMoniker() : Fake(IID_IEnumMoniker) {}

    std::vector<ComPtr<FakeMoniker>> monikers;
    int resets = 0;
    std::vector<ULONG> countsAsked;

    HRESULT STDMETHODCALLTYPE Next(ULONG count, IMoniker** out, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumMoniker**) override { return E_NOTIMPL; }

private:
    std::size_t m_position = 0;
};

struct ClassEnumeratorCall {
    CLSID category{};
    DWORD flags = 0;
};

// The system device enumerator: its category enumerator, or S_FALSE without one.
class FakeCreateDevEnum : public Fake<ICreateDevEnum> {
public:
    FakeCreateDevEnum() : Fake(IID_ICreateDevEnum) {}

    ComPtr<FakeEnumMoniker> monikers;
    HRESULT status = S_OK;
    std::vector<ClassEnumeratorCall> calls;

    HRESULT STDMETHODCALLTYPE CreateClassEnumerator(REFCLSID category, IEnumMoniker** out,
                                                    DWORD flags) override;
};

// A new fake with one reference, held by the returned pointer.
template <class T>
ComPtr<T> Make()
{
    return ComPtr<T>(new T());
}

}  // namespace velmora::windows::fakes
