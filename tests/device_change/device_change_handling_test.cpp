// The shared handling of one device-change event: GUID text, name check, debug lines, refresh.
#include <gtest/gtest.h>

#include <QStringList>
#include <string>

#include "devices/device_change_handling.h"
#include "tests/device_change/device_change_texts.h"
#include "tests/support/debug_capture.h"

namespace {

using velmora::DeviceChangeEvent;
using velmora::DeviceChangeKind;

const std::string kCaptureName =
    "\\\\?\\usb#vid_abcd&pid_ef01&mi_00#6&2c0a0001&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
using device_change_test::kCaptureGuidText;
using device_change_test::kRemoved;
using device_change_test::kVideoRemoved;

DeviceChangeEvent Event(DeviceChangeKind kind, std::uint32_t recordType, std::string name = {})
{
    DeviceChangeEvent event;
    event.kind = kind;
    event.recordType = recordType;
    event.interfaceName = std::move(name);
    return event;
}

// Runs the handling and records the debug lines and the calls it made, in one sequence.
QStringList Handle(const DeviceChangeEvent& event, bool* matched = nullptr)
{
    DebugCapture capture;
    QStringList calls;
    const bool result = velmora::HandleDeviceChangeEvent(
        event, {[&] { calls << "<refresh>"; }, [&] { calls << "<read status>"; }});
    if (matched) *matched = result;
    return capture.Lines() + calls;
}

TEST(GuidTextTest, CaptureClassAndZeroPadding)
{
    EXPECT_EQ(velmora::NameGuidText(velmora::KsCategoryCapture), kCaptureGuidText);
    // Every field padded to its width; the high bit of Data1 does not turn into a sign.
    const velmora::Guid small{0x1, 0x2, 0x3, {0x4, 0x5, 0x6, 0x7, 0x8, 0x9, 0xA, 0xB}};
    EXPECT_EQ(velmora::NameGuidText(small), "00000001-0002-0003-0405-060708090A0B");
    const velmora::Guid high{0xFFFFFFFFu, 0xFFFF, 0x0, {0xFF, 0, 0, 0, 0, 0, 0, 0xF0}};
    EXPECT_EQ(velmora::NameGuidText(high), "FFFFFFFF-FFFF-0000-FF00-0000000000F0");
    EXPECT_EQ(velmora::NameGuidText(velmora::DefaultXuPropertySet),
              QString::fromStdString(velmora::GuidText(velmora::DefaultXuPropertySet)));
}

TEST(NameContainsGuidTest, MatchesInAnyLetterCaseAndLogsTheGuidText)
{
    const struct {
        QString name;
        bool matches;
    } cases[] = {
        {QString::fromStdString(kCaptureName), true},
        {QString::fromStdString(kCaptureName).toUpper(), true},
        {"prefix65e8773D-8f56-11D0-a3b9-00A0C9223196suffix", true},
        {"\\\\?\\usb#vid_abcd&pid_ef01#{6994ad05-93ef-11d0-a3cc-00a0c9223196}\\global", false},
        {"65e8773d8f5611d0a3b900a0c9223196", false},     // no dashes
        {"65e8773d-8f56-11d0-a3b9-00a0c922319", false},  // one digit short
        {"", false},
    };
    for (const auto& c : cases) {
        DebugCapture capture;
        EXPECT_EQ(velmora::NameContainsGuid(velmora::KsCategoryCapture, c.name), c.matches)
            << c.name.toStdString();
        EXPECT_EQ(capture.Lines(), QStringList{kCaptureGuidText});
    }
}

TEST(HandleDeviceChangeTest, MatchingArrivalLogsNameAndGuidThenRefreshesThenReads)
{
    bool matched = false;
    const QStringList seen =
        Handle(Event(DeviceChangeKind::Arrival, velmora::DeviceRecordInterface, kCaptureName), &matched);
    EXPECT_TRUE(matched);
    EXPECT_EQ(seen, QStringList({QString::fromStdString(kCaptureName), kCaptureGuidText, "<refresh>",
                                 "<read status>"}));
}

TEST(HandleDeviceChangeTest, MatchingRemovalLogsItsFourLinesInOrderThenRefreshesThenReads)
{
    bool matched = false;
    const QStringList seen = Handle(
        Event(DeviceChangeKind::RemoveComplete, velmora::DeviceRecordInterface, kCaptureName), &matched);
    EXPECT_TRUE(matched);
    EXPECT_EQ(seen, QStringList({kRemoved, QString::fromStdString(kCaptureName), kCaptureGuidText,
                                 kVideoRemoved, "<refresh>", "<read status>"}));
}

TEST(HandleDeviceChangeTest, InterfaceOfAnotherClassIsLoggedButNotFollowed)
{
    const std::string audio = "\\\\?\\usb#vid_abcd&pid_ef01#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\wave";
    const QString name = QString::fromStdString(audio);
    EXPECT_EQ(Handle(Event(DeviceChangeKind::Arrival, velmora::DeviceRecordInterface, audio)),
              QStringList({name, kCaptureGuidText}));
    EXPECT_EQ(Handle(Event(DeviceChangeKind::RemoveComplete, velmora::DeviceRecordInterface, audio)),
              QStringList({kRemoved, name, kCaptureGuidText}));
}

TEST(HandleDeviceChangeTest, OtherRecordsAndKinds)
{
    // A removal-complete of any other record type: the one line, nothing else.
    for (std::uint32_t record :
         {velmora::DeviceRecordVolume, velmora::DeviceRecordPort, velmora::DeviceRecordOem,
          velmora::DeviceRecordHandle, velmora::DeviceRecordMalformed}) {
        bool matched = true;
        EXPECT_EQ(Handle(Event(DeviceChangeKind::RemoveComplete, record, kCaptureName), &matched),
                  QStringList{kRemoved})
            << record;
        EXPECT_FALSE(matched);
        // An arrival of one: silence.
        EXPECT_EQ(Handle(Event(DeviceChangeKind::Arrival, record, kCaptureName)), QStringList()) << record;
    }
    // Any other message kind, even with a matching interface record: silence.
    EXPECT_EQ(Handle(Event(DeviceChangeKind::Other, velmora::DeviceRecordInterface, kCaptureName)),
              QStringList());
}

TEST(HandleDeviceChangeTest, NonAsciiInterfaceNameIsLoggedAsText)
{
    const std::string name =
        "\\\\?\\usb#vid_abcd&pid_ef01#相机#{65E8773D-8F56-11D0-A3B9-00A0C9223196}\\global";
    EXPECT_EQ(Handle(Event(DeviceChangeKind::Arrival, velmora::DeviceRecordInterface, name)),
              QStringList({QString::fromUtf8(name.c_str()), kCaptureGuidText, "<refresh>", "<read status>"}));
}

TEST(RegistrationFailedTest, LogsTheOneLine)
{
    DebugCapture capture;
    velmora::LogDeviceChangeRegistrationFailed();
    EXPECT_EQ(capture.Lines(), QStringList{QString::fromUtf8("注册失败")});
}

}  // namespace
