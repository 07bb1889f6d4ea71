#include "platform/windows/device_change_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::windows {
namespace {

constexpr std::uintptr_t DbtDevnodesChanged = 0x0007;
constexpr std::uintptr_t DbtDeviceQueryRemove = 0x8001;

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A record laid out as the system lays it: header, then the type's fields.
std::vector<std::uint8_t> Record(std::uint32_t type, std::size_t size)
{
    std::vector<std::uint8_t> bytes(size, 0xCC);
    PutU32(bytes, 0, static_cast<std::uint32_t>(size));
    PutU32(bytes, 4, type);
    PutU32(bytes, 8, 0);
    return bytes;
}

// DEV_BROADCAST_DEVICEINTERFACE_W with dbcc_size covering the name and its NUL.
std::vector<std::uint8_t> InterfaceRecord(const std::u16string& name)
{
    std::vector<std::uint8_t> bytes =
        Record(DeviceRecordInterface, DeviceInterfaceNameOffset + 2 * (name.size() + 1));
    for (std::size_t i = 0; i <= name.size(); ++i) {
        const char16_t unit = i < name.size() ? name[i] : u'\0';
        bytes[DeviceInterfaceNameOffset + 2 * i] = static_cast<std::uint8_t>(unit & 0xFF);
        bytes[DeviceInterfaceNameOffset + 2 * i + 1] = static_cast<std::uint8_t>(unit >> 8);
    }
    return bytes;
}

const std::u16string CameraName =
    u"\\\\?\\USB#VID_ABCD&PID_EF01&MI_00#6&2c0a0001&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";

TEST(DeviceChangeDecoder, InterfaceArrivalAndRemovalCarryTheName)
{
    const std::vector<std::uint8_t> record = InterfaceRecord(CameraName);
    const DeviceChangeEvent arrival = DecodeDeviceChange(DbtDeviceArrival, record.data());
    EXPECT_EQ(arrival.kind, DeviceChangeKind::Arrival);
    EXPECT_EQ(arrival.recordType, DeviceRecordInterface);
    EXPECT_EQ(arrival.interfaceName,
              "\\\\?\\USB#VID_ABCD&PID_EF01&MI_00#6&2c0a0001&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}"
              "\\global");

    const DeviceChangeEvent removal = DecodeDeviceChange(DbtDeviceRemoveComplete, record.data());
    EXPECT_EQ(removal.kind, DeviceChangeKind::RemoveComplete);
    EXPECT_EQ(removal.recordType, DeviceRecordInterface);
    EXPECT_EQ(removal.interfaceName, arrival.interfaceName);
}

TEST(DeviceChangeDecoder, NamesAreConvertedToUtf8)
{
    // U+00E9, U+6444 and U+1F4F7 (a surrogate pair), then an unpaired high surrogate.
    const std::u16string name = {u'c', 0x00E9, 0x6444, 0xD83D, 0xDCF7, 0xD800, u'x'};
    const DeviceChangeEvent event = DecodeDeviceChange(DbtDeviceArrival, InterfaceRecord(name).data());
    EXPECT_EQ(event.interfaceName, "c\xC3\xA9\xE6\x91\x84\xF0\x9F\x93\xB7\xEF\xBF\xBDx");
}

TEST(DeviceChangeDecoder, OtherRecordTypesAreReportedWithoutAName)
{
    struct Case {
        std::uint32_t type;
        std::size_t size;
    };
    for (const Case c : {Case{DeviceRecordVolume, 18}, Case{DeviceRecordPort, 14}, Case{DeviceRecordOem, 20},
                         Case{DeviceRecordHandle, HandleRecordMinimum}, Case{0x77, 12}}) {
        const DeviceChangeEvent event =
            DecodeDeviceChange(DbtDeviceRemoveComplete, Record(c.type, c.size).data());
        EXPECT_EQ(event.kind, DeviceChangeKind::RemoveComplete) << c.type;
        EXPECT_EQ(event.recordType, c.type);
        EXPECT_TRUE(event.interfaceName.empty());
    }
}

TEST(DeviceChangeDecoder, OtherMessagesNeverTouchTheRecord)
{
    // For these wParams lParam is no record (often 0, sometimes a value of another kind).
    const void* notARecord = reinterpret_cast<const void*>(std::uintptr_t{0x10});
    for (std::uintptr_t wParam : {DbtDevnodesChanged, DbtDeviceQueryRemove, std::uintptr_t{0x8003}}) {
        const DeviceChangeEvent event = DecodeDeviceChange(wParam, notARecord);
        EXPECT_EQ(event.kind, DeviceChangeKind::Other);
        EXPECT_EQ(event.recordType, DeviceRecordMalformed);
    }
}

TEST(DeviceChangeDecoder, MissingOrUndersizedRecordsAreMalformed)
{
    EXPECT_EQ(DecodeDeviceChange(DbtDeviceArrival, nullptr).recordType, DeviceRecordMalformed);
    EXPECT_EQ(DecodeDeviceChange(DbtDeviceArrival, nullptr).kind, DeviceChangeKind::Arrival);

    // dbch_size below the header.
    std::vector<std::uint8_t> tiny = Record(DeviceRecordVolume, 12);
    PutU32(tiny, 0, 8);
    EXPECT_EQ(DecodeDeviceChange(DbtDeviceArrival, tiny.data()).recordType, DeviceRecordMalformed);

    // A size too small for the type, one byte short of each minimum.
    for (std::uint32_t type :
         {DeviceRecordOem, DeviceRecordVolume, DeviceRecordPort, DeviceRecordInterface, DeviceRecordHandle}) {
        const std::vector<std::uint8_t> shortRecord = Record(type, MinimumRecordSize(type) - 1);
        EXPECT_EQ(DecodeDeviceChange(DbtDeviceRemoveComplete, shortRecord.data()).recordType,
                  DeviceRecordMalformed)
            << type;
    }
}

TEST(DeviceChangeDecoder, NameMustEndWithinTheRecord)
{
    // The record ends right after the name's last character: its NUL lies outside dbch_size. The
    // vector is exactly dbch_size long, so a read past it is caught under AddressSanitizer.
    std::vector<std::uint8_t> record = InterfaceRecord(u"ABC");
    record.resize(record.size() - 2);
    PutU32(record, 0, static_cast<std::uint32_t>(record.size()));
    EXPECT_EQ(DecodeDeviceChange(DbtDeviceArrival, record.data()).recordType, DeviceRecordMalformed);

    // An odd dbch_size leaves a half unit, which is not read.
    std::vector<std::uint8_t> odd = InterfaceRecord(u"AB");
    odd.resize(odd.size() - 1);
    PutU32(odd, 0, static_cast<std::uint32_t>(odd.size()));
    EXPECT_EQ(DecodeDeviceChange(DbtDeviceArrival, odd.data()).recordType, DeviceRecordMalformed);

    // A NUL before the end ends the name there; an empty name is still a name.
    std::vector<std::uint8_t> early = InterfaceRecord(std::u16string(u"AB\0CD", 5));
    EXPECT_EQ(DecodeDeviceChange(DbtDeviceArrival, early.data()).interfaceName, "AB");
    const DeviceChangeEvent empty = DecodeDeviceChange(DbtDeviceArrival, InterfaceRecord(u"").data());
    EXPECT_EQ(empty.recordType, DeviceRecordInterface);
    EXPECT_EQ(empty.interfaceName, "");
}

TEST(DeviceChangeDecoder, ViewRejectsRecordsLargerThanTheBytesGiven)
{
    const std::vector<std::uint8_t> record = InterfaceRecord(u"ABC");
    EXPECT_EQ(DecodeDeviceChangeRecord(DbtDeviceArrival, record.data(), record.size()).interfaceName, "ABC");
    EXPECT_EQ(DecodeDeviceChangeRecord(DbtDeviceArrival, record.data(), record.size() - 1).recordType,
              DeviceRecordMalformed);
    EXPECT_EQ(DecodeDeviceChangeRecord(DbtDeviceArrival, record.data(), 3).recordType, DeviceRecordMalformed);
    EXPECT_EQ(DecodeDeviceChangeRecord(DbtDeviceArrival, nullptr, 64).recordType, DeviceRecordMalformed);
}

}  // namespace
}  // namespace velmora::windows
