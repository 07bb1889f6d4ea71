// Decodes WM_DEVICECHANGE (wParam and the DEV_BROADCAST_* record behind lParam) into a
// DeviceChangeEvent. Plain C++: every read is bounded by the record's own dbch_size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/device_change.h"

namespace velmora::windows {

inline constexpr std::uint32_t WmDeviceChange = 0x0219;
inline constexpr std::uintptr_t DbtDeviceArrival = 0x8000;
inline constexpr std::uintptr_t DbtDeviceRemoveComplete = 0x8004;

// DEV_BROADCAST_HDR is 12 bytes; DEV_BROADCAST_DEVICEINTERFACE_W's name starts at byte 28.
inline constexpr std::size_t DeviceRecordHeaderSize = 12;
inline constexpr std::size_t DeviceInterfaceNameOffset = 28;
// DEV_BROADCAST_HANDLE up to dbch_data: two handles after the (aligned) header, an event GUID and
// a name offset; 40 bytes in a 32-bit process, 52 in a 64-bit one.
inline constexpr std::size_t HandleRecordMinimum =
    (DeviceRecordHeaderSize + sizeof(void*) - 1) / sizeof(void*) * sizeof(void*) + 2 * sizeof(void*) + 16 + 4;

// Arrival for DBT_DEVICEARRIVAL, RemoveComplete for DBT_DEVICEREMOVECOMPLETE, Other otherwise.
DeviceChangeKind DeviceChangeKindOf(std::uintptr_t wParam);

// The smallest dbch_size a record of this type can have; the header size for types not listed.
std::size_t MinimumRecordSize(std::uint32_t recordType);

// Decodes a record of which size bytes may be read. Only arrival and removal carry a record:
// for any other wParam the record is not read. A missing record, a dbch_size below the minimum of
// its type or beyond size, or an interface name without a NUL within dbch_size gives
// recordType DeviceRecordMalformed.
DeviceChangeEvent DecodeDeviceChangeRecord(std::uintptr_t wParam, const std::uint8_t* record,
                                           std::size_t size);

// Decodes the message as the system delivers it: lParam points at a record whose dbch_size is
// the only bound there is.
DeviceChangeEvent DecodeDeviceChange(std::uintptr_t wParam, const void* lParam);

}  // namespace velmora::windows
