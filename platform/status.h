// HRESULT-style 32-bit statuses: 0 success, negative failure.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

using Status = std::int32_t;

constexpr Status StatusFromBits(std::uint32_t bits)
{
    return static_cast<Status>(bits);
}

// HRESULT_FROM_WIN32: a positive Win32 code x becomes (x & 0xFFFF) | 0x80070000.
constexpr Status StatusFromWin32(std::int32_t code)
{
    return code <= 0 ? code : StatusFromBits((static_cast<std::uint32_t>(code) & 0xFFFFu) | 0x80070000u);
}

constexpr bool Failed(Status status)
{
    return status < 0;
}
constexpr bool Succeeded(Status status)
{
    return status >= 0;
}

inline constexpr Status StatusOk = 0;                                      // S_OK
inline constexpr Status StatusFalse = 1;                                   // S_FALSE
inline constexpr Status StatusNotImpl = StatusFromBits(0x80004001u);       // E_NOTIMPL
inline constexpr Status StatusNoInterface = StatusFromBits(0x80004002u);   // E_NOINTERFACE
inline constexpr Status StatusPointer = StatusFromBits(0x80004003u);       // E_POINTER
inline constexpr Status StatusFail = StatusFromBits(0x80004005u);          // E_FAIL
inline constexpr Status StatusUnexpected = StatusFromBits(0x8000FFFFu);    // E_UNEXPECTED
inline constexpr Status StatusAccessDenied = StatusFromBits(0x80070005u);  // E_ACCESSDENIED
inline constexpr Status StatusOutOfMemory = StatusFromBits(0x8007000Eu);   // E_OUTOFMEMORY
inline constexpr Status StatusInvalidArg = StatusFromBits(0x80070057u);    // E_INVALIDARG

// Win32 error codes the backends map onto.
namespace win32 {
inline constexpr std::int32_t FileNotFound = 2;
inline constexpr std::int32_t GenFailure = 31;
inline constexpr std::int32_t NotSupported = 50;
inline constexpr std::int32_t InvalidFunction = 1;
inline constexpr std::int32_t InsufficientBuffer = 122;
inline constexpr std::int32_t SemTimeout = 121;
inline constexpr std::int32_t Busy = 170;
inline constexpr std::int32_t MoreData = 234;
inline constexpr std::int32_t DeviceNotConnected = 1167;
inline constexpr std::int32_t NotFound = 1168;
inline constexpr std::int32_t ServiceNotActive = 1062;
}  // namespace win32

inline constexpr Status StatusMoreData = StatusFromWin32(win32::MoreData);  // 0x800700EA
inline constexpr Status StatusNotFound = StatusFromWin32(win32::NotFound);
inline constexpr Status StatusDeviceNotConnected = StatusFromWin32(win32::DeviceNotConnected);
inline constexpr Status StatusNotSupported = StatusFromWin32(win32::NotSupported);
inline constexpr Status StatusGenFailure = StatusFromWin32(win32::GenFailure);
inline constexpr Status StatusTimeout = StatusFromWin32(win32::SemTimeout);
inline constexpr Status StatusBusy = StatusFromWin32(win32::Busy);
inline constexpr Status StatusInsufficientBuffer = StatusFromWin32(win32::InsufficientBuffer);
inline constexpr Status StatusFileNotFound = StatusFromWin32(win32::FileNotFound);
inline constexpr Status StatusInvalidFunction = StatusFromWin32(win32::InvalidFunction);
inline constexpr Status StatusServiceNotActive = StatusFromWin32(win32::ServiceNotActive);

// "E_POINTER", "HRESULT_FROM_WIN32(ERROR_NOT_FOUND)", or "0x8007001F" for an unnamed status.
std::string StatusName(Status status);

// The hexadecimal form, "0x80004003".
std::string StatusHex(Status status);

}  // namespace velmora
