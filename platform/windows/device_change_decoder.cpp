#include "platform/windows/device_change_decoder.h"

#include <string>

#include "platform/windows/utf16.h"

namespace velmora::windows {

namespace {

std::uint32_t ReadU32(const std::uint8_t* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

char16_t ReadU16(const std::uint8_t* bytes)
{
    return static_cast<char16_t>(bytes[0] | bytes[1] << 8);
}

constexpr std::uint32_t DeviceRecordDevnode = 1;
constexpr std::uint32_t DeviceRecordNet = 4;

DeviceChangeEvent Malformed(DeviceChangeKind kind)
{
    DeviceChangeEvent event;
    event.kind = kind;
    event.recordType = DeviceRecordMalformed;
    return event;
}

}  // namespace

DeviceChangeKind DeviceChangeKindOf(std::uintptr_t wParam)
{
    if (wParam == DbtDeviceArrival) return DeviceChangeKind::Arrival;
    if (wParam == DbtDeviceRemoveComplete) return DeviceChangeKind::RemoveComplete;
    return DeviceChangeKind::Other;
}

std::size_t MinimumRecordSize(std::uint32_t recordType)
{
    switch (recordType) {
        case DeviceRecordOem:
            return DeviceRecordHeaderSize + 8;  // identifier, suppfunc
        case DeviceRecordDevnode:
            return DeviceRecordHeaderSize + 4;  // devnode
        case DeviceRecordVolume:
            return DeviceRecordHeaderSize + 6;  // unit mask, flags
        case DeviceRecordPort:
            return DeviceRecordHeaderSize + 2;  // the name's NUL
        case DeviceRecordNet:
            return DeviceRecordHeaderSize + 8;  // resource, flags
        case DeviceRecordInterface:
            return DeviceInterfaceNameOffset + 2;
        case DeviceRecordHandle:
            return HandleRecordMinimum;
        default:
            return DeviceRecordHeaderSize;
    }
}

DeviceChangeEvent DecodeDeviceChangeRecord(std::uintptr_t wParam, const std::uint8_t* record,
                                           std::size_t size)
{
    const DeviceChangeKind kind = DeviceChangeKindOf(wParam);
    if (kind == DeviceChangeKind::Other) return Malformed(kind);
    if (record == nullptr || size < 4) return Malformed(kind);

    const std::size_t declared = ReadU32(record);
    if (declared > size || declared < DeviceRecordHeaderSize) return Malformed(kind);
    const std::uint32_t type = ReadU32(record + 4);
    if (declared < MinimumRecordSize(type)) return Malformed(kind);

    DeviceChangeEvent event;
    event.kind = kind;
    event.recordType = type;
    if (type != DeviceRecordInterface) return event;

    std::u16string name;
    for (std::size_t offset = DeviceInterfaceNameOffset; offset + 2 <= declared; offset += 2) {
        const char16_t unit = ReadU16(record + offset);
        if (unit == 0) {
            event.interfaceName = Utf16ToUtf8(name);
            return event;
        }
        name += unit;
    }
    return Malformed(kind);
}

DeviceChangeEvent DecodeDeviceChange(std::uintptr_t wParam, const void* lParam)
{
    const DeviceChangeKind kind = DeviceChangeKindOf(wParam);
    if (kind == DeviceChangeKind::Other || lParam == nullptr) return Malformed(kind);
    const auto* record = static_cast<const std::uint8_t*>(lParam);
    return DecodeDeviceChangeRecord(wParam, record, ReadU32(record));
}

}  // namespace velmora::windows
