#include "platform/status.h"

#include <cstdio>

namespace velmora {

namespace {

struct NamedStatus {
    Status status;
    const char* name;
};

constexpr NamedStatus kNames[] = {
    {StatusOk, "S_OK"},
    {StatusFalse, "S_FALSE"},
    {StatusNotImpl, "E_NOTIMPL"},
    {StatusNoInterface, "E_NOINTERFACE"},
    {StatusPointer, "E_POINTER"},
    {StatusFail, "E_FAIL"},
    {StatusUnexpected, "E_UNEXPECTED"},
    {StatusAccessDenied, "E_ACCESSDENIED"},
    {StatusOutOfMemory, "E_OUTOFMEMORY"},
    {StatusInvalidArg, "E_INVALIDARG"},
    {StatusMoreData, "HRESULT_FROM_WIN32(ERROR_MORE_DATA)"},
    {StatusNotFound, "HRESULT_FROM_WIN32(ERROR_NOT_FOUND)"},
    {StatusDeviceNotConnected, "HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED)"},
    {StatusNotSupported, "HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED)"},
    {StatusGenFailure, "HRESULT_FROM_WIN32(ERROR_GEN_FAILURE)"},
    {StatusTimeout, "HRESULT_FROM_WIN32(ERROR_SEM_TIMEOUT)"},
    {StatusBusy, "HRESULT_FROM_WIN32(ERROR_BUSY)"},
    {StatusInsufficientBuffer, "HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER)"},
    {StatusFileNotFound, "HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)"},
    {StatusInvalidFunction, "HRESULT_FROM_WIN32(ERROR_INVALID_FUNCTION)"},
    {StatusServiceNotActive, "HRESULT_FROM_WIN32(ERROR_SERVICE_NOT_ACTIVE)"},
};

}  // namespace

std::string StatusHex(Status status)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
    return text;
}

std::string StatusName(Status status)
{
    for (const NamedStatus& entry : kNames) {
        if (entry.status == status) return entry.name;
    }
    return StatusHex(status);
}

}  // namespace velmora
