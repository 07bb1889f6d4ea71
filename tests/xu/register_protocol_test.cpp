// Register transactions over the simulated camera: the packets on the wire, the response checks and
// the string and status conventions.
#include <gtest/gtest.h>

#include "tests/sim/sim_device_fixture.h"
#include "xu/register_protocol.h"

namespace velmora {
namespace {

using Lines = std::vector<std::string>;

class RegisterProtocol : public test::SimDeviceTest {
protected:
    // The register writes the firmware executed, as (address, data) pairs, all with command 0x20, param 0.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> StringWrites() const
    {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> writes;
        for (const sim::RegisterTransaction& transaction : camera->Firmware().Transactions()) {
            EXPECT_EQ(transaction.command, 0x20);
            EXPECT_EQ(transaction.param, 0);
            if (!transaction.read) writes.emplace_back(transaction.address, transaction.data);
        }
        return writes;
    }
};

TEST_F(RegisterProtocol, WorkedExamplesOnTheWire)
{
    Use({});
    std::uint64_t value = 0;
    EXPECT_EQ(WriteRegister(device.get(), 1, 1, 0, 0x16), StatusOk);
    EXPECT_EQ(WriteRegister(device.get(), 1, 0x16, 0, 0x16), StatusOk);
    EXPECT_EQ(ReadRegister(device.get(), 376, value, 1, 0x00), StatusOk);
    EXPECT_EQ(WriteRegister(device.get(), 228, 0, 0, 0x20), StatusOk);
    EXPECT_EQ(ReadRegister(device.get(), 228, value, 0, 0x20), StatusOk);
    EXPECT_EQ(Data(true), (Lines{
                              "26 16 00 00 00 01 00 00 00 00 01 C1",
                              "26 16 00 00 00 01 00 00 00 00 16 AC",
                              "26 80 00 00 01 78 01 00 00 00 00 DF",
                              "26 20 00 00 00 E4 00 00 00 00 00 D5",
                              "26 A0 00 00 00 E4 00 00 00 00 00 55",
                          }));
    // A write is one transfer, a read two: size query and data each time.
    EXPECT_EQ(Requests().size(), 2u * 3 + 4u * 2);
}

TEST_F(RegisterProtocol, CommandByteRulesAndTruncation)
{
    Use({});
    std::uint64_t value = 0;
    EXPECT_EQ(WriteRegister(device.get(), 7, 0, 0, 0x80), StatusOk);
    EXPECT_EQ(WriteRegister(device.get(), 7, 0, 0, 0xA5), StatusOk);
    EXPECT_EQ(ReadRegister(device.get(), 7, value, 0, 0x80), StatusOk);
    EXPECT_EQ(ReadRegister(device.get(), 7, value, 0, 0x20), StatusOk);
    EXPECT_EQ(WriteRegister(device.get(), (1ull << 32) + 1, 0x123456789Aull, 0x101, 0x16), StatusOk);
    const Lines sent = Data(true);
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(sent[0].substr(0, 5), "26 80");
    EXPECT_EQ(sent[1].substr(0, 5), "26 A5");
    EXPECT_EQ(sent[2].substr(0, 5), "26 80");
    EXPECT_EQ(sent[3].substr(0, 5), "26 A0");
    EXPECT_EQ(sent[4], "26 16 00 00 00 01 01 34 56 78 9A 25");
}

TEST_F(RegisterProtocol, ReadAnswersTheRegisterZeroExtended)
{
    sim::SimCameraConfig config;
    config.firmware.registers[0x300] = 0xFFFFFFFFu;
    Use(config);
    std::uint64_t value = 0;
    ASSERT_EQ(ReadRegister(device.get(), 0x300, value, 0, 0x00), StatusOk);
    EXPECT_EQ(value, 0x00000000FFFFFFFFull);
    EXPECT_EQ(Data(false), (Lines{"26 80 00 00 03 00 00 FF FF FF FF 5A"}));

    ASSERT_EQ(WriteRegister(device.get(), 0x301, 0x0A0B0C0D, 0, 0x10), StatusOk);
    ASSERT_EQ(ReadRegister(device.get(), 0x301, value, 0, 0x10), StatusOk);
    EXPECT_EQ(value, 0x0A0B0C0Du);
}

TEST_F(RegisterProtocol, WrongResponseChecksumAnswers1AndLeavesTheValue)
{
    sim::SimCameraConfig config;
    config.firmware.registers[5] = 42;
    config.firmware.corruptChecksum = true;
    Use(config);
    std::uint64_t value = 0x5555;
    EXPECT_EQ(ReadRegister(device.get(), 5, value, 0, 0x00), StatusFalse);
    EXPECT_EQ(value, 0x5555u);
    EXPECT_EQ(Data(false).size(), 1u);  // the response was read, then refused
}

TEST_F(RegisterProtocol, ForeignMarkerAndAddressWithRightChecksumAreAccepted)
{
    sim::SimCameraConfig config;
    config.firmware.registers[5] = 42;
    config.firmware.foreignMarker = true;
    Use(config);
    std::uint64_t value = 0;
    EXPECT_EQ(ReadRegister(device.get(), 5, value, 0, 0x00), StatusOk);
    EXPECT_EQ(value, 42u);
    const sim::SimRequest& response = Requests().back();
    ASSERT_EQ(response.bytes.size(), 12u);
    EXPECT_NE(response.bytes[0], 0x26);
    EXPECT_NE(HexBytes(response.bytes.data() + 2, 4), "00 00 00 05");
}

TEST_F(RegisterProtocol, TransportFailureIsPassedOnAndTheValueKept)
{
    sim::SimCameraConfig config;
    config.failPiece = 2;  // the read's data request
    Use(config);
    std::uint64_t value = 9;
    EXPECT_EQ(ReadRegister(device.get(), 5, value, 0, 0x00), StatusGenFailure);
    EXPECT_EQ(value, 9u);
    camera->Config().failPiece = 3;  // the next read's write request
    EXPECT_EQ(ReadRegister(device.get(), 5, value, 0, 0x00), StatusGenFailure);
    EXPECT_EQ(value, 9u);
    EXPECT_EQ(Requests().back().IsSet(), true);
    EXPECT_EQ(WriteRegister(nullptr, 1, 5, 0, 0x16), StatusPointer);
    EXPECT_EQ(ReadRegister(nullptr, 1, value, 0, 0x16), StatusPointer);
}

TEST_F(RegisterProtocol, WriteStringAB)
{
    Use({});
    ASSERT_EQ(WriteRegisterString(device.get(), u"AB"), StatusOk);
    EXPECT_EQ(StringWrites(), (std::vector<std::pair<std::uint32_t, std::uint32_t>>{
                                  {228, 0}, {229, 0x41}, {229, 0x42}, {230, 2}}));
    EXPECT_EQ(camera->Firmware().Text(), "AB");

    std::string text = "stale";
    ASSERT_EQ(ReadRegisterString(device.get(), text), StatusOk);
    EXPECT_EQ(text, "AB");
}

TEST_F(RegisterProtocol, WriteStringSendsLatin1SignExtended)
{
    Use({});
    ASSERT_EQ(WriteRegisterString(device.get(), u"\u00E9"), StatusOk);
    EXPECT_EQ(StringWrites(),
              (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{228, 0}, {229, 0xFFFFFFE9u}, {230, 1}}));
    camera->Firmware().ClearLog();
    // A unit beyond Latin-1 goes as '?'; a surrogate pair is two units.
    ASSERT_EQ(WriteRegisterString(device.get(), u"\u4E2D\U0001F600"), StatusOk);
    EXPECT_EQ(StringWrites(), (std::vector<std::pair<std::uint32_t, std::uint32_t>>{
                                  {228, 0}, {229, '?'}, {229, '?'}, {229, '?'}, {230, 3}}));
}

TEST_F(RegisterProtocol, StringOperationsNeedADeviceAndWriteNeedsText)
{
    Use({});
    std::string text = "kept";
    EXPECT_EQ(WriteRegisterString(nullptr, u"AB"), StatusFail);
    EXPECT_EQ(ReadRegisterString(nullptr, text), StatusFail);
    EXPECT_EQ(WriteRegisterString(device.get(), u""), StatusFail);
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(camera->KsControlQueries(), 0);
}

TEST_F(RegisterProtocol, FailingWriteInTheMiddleStopsBeforeTheEnd)
{
    sim::SimCameraConfig config;
    config.firmware.text = "old";
    config.failPiece = 3;  // 228, 229 'A', then 229 'B' fails
    Use(config);
    EXPECT_EQ(WriteRegisterString(device.get(), u"ABC"), StatusGenFailure);
    EXPECT_EQ(StringWrites(), (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{228, 0}, {229, 0x41}}));
    EXPECT_EQ(Data(true).size(), 3u);
    EXPECT_EQ(camera->Firmware().Text(), "old");
}

TEST_F(RegisterProtocol, ReadStringOfLengthZeroMakesOneRead)
{
    Use({});
    std::string text = "stale";
    EXPECT_EQ(ReadRegisterString(device.get(), text), StatusOk);
    EXPECT_TRUE(text.empty());
    ASSERT_EQ(camera->Firmware().Transactions().size(), 1u);
    EXPECT_EQ(camera->Firmware().Transactions()[0].address, 228u);
    EXPECT_EQ(camera->Firmware().Transactions()[0].command, 0xA0);
}

TEST_F(RegisterProtocol, ReadStringEndsAtAZeroByteButReadsEveryCharacter)
{
    sim::SimCameraConfig config;
    config.firmware.text = std::string("AB\0CD", 5);
    Use(config);
    std::string text;
    EXPECT_EQ(ReadRegisterString(device.get(), text), StatusOk);
    EXPECT_EQ(text, "AB");
    EXPECT_EQ(camera->Firmware().Transactions().size(), 6u);
}

TEST_F(RegisterProtocol, FailingReadInTheMiddleLeavesTheTextEmpty)
{
    sim::SimCameraConfig config;
    config.firmware.text = "ABC";
    config.failPiece = 5;  // the second character's write request
    Use(config);
    std::string text = "stale";
    EXPECT_EQ(ReadRegisterString(device.get(), text), StatusGenFailure);
    EXPECT_TRUE(text.empty());
}

TEST_F(RegisterProtocol, StringLengthIsBounded)
{
    sim::SimCameraConfig config;
    config.firmware.text = std::string(RegisterStringMaxLength, 'x');
    Use(config);
    std::string text;
    EXPECT_EQ(ReadRegisterString(device.get(), text), StatusOk);
    EXPECT_EQ(text.size(), RegisterStringMaxLength);

    // One byte more, or a hostile length, is refused after the length read alone.
    for (const std::uint32_t length : {std::uint32_t{RegisterStringMaxLength + 1}, 0xFFFFFFFFu}) {
        camera->Firmware().ClearLog();
        camera->Firmware().Settings().reportedTextLength = length;
        text = "stale";
        EXPECT_EQ(ReadRegisterString(device.get(), text), RegisterStringTooLong);
        EXPECT_TRUE(text.empty());
        EXPECT_EQ(camera->Firmware().Transactions().size(), 1u);
    }
}

TEST_F(RegisterProtocol, StatusBlockReadsTheTwentyFourRegistersInOrder)
{
    sim::SimCameraConfig config;
    for (std::uint32_t i = 0; i < 24; ++i) config.firmware.statusRegisters[i] = 0x100 + i;
    Use(config);
    ReadStatusRegisterBlock(device.get());
    const auto& transactions = camera->Firmware().Transactions();
    ASSERT_EQ(transactions.size(), 24u);
    for (std::uint32_t i = 0; i < 24; ++i) {
        EXPECT_TRUE(transactions[i].read);
        EXPECT_EQ(transactions[i].command, 0x80);
        EXPECT_EQ(transactions[i].address, 376 + i);
        EXPECT_EQ(transactions[i].param, 1);
        EXPECT_EQ(transactions[i].data, 0x100 + i);
    }
}

TEST_F(RegisterProtocol, StatusBlockMakesAll24ReadsEvenWhenEachFails)
{
    sim::SimCameraConfig config;
    config.firmware.corruptChecksum = true;  // each read gets as far as its response
    Use(config);
    ReadStatusRegisterBlock(device.get());
    EXPECT_EQ(Data(true).size(), 24u);
    EXPECT_EQ(Data(false).size(), 24u);
    EXPECT_EQ(Requests().size(), 96u);  // 48 transfers, each with its size query

    camera->ClearRequests();
    camera->Config().sizeQuery = sim::SizeQueryAnswer::Zero;  // each read fails at its first size query
    ReadStatusRegisterBlock(device.get());
    EXPECT_EQ(Requests().size(), 24u);
}

TEST_F(RegisterProtocol, StatusBlockWithoutADeviceSendsNothing)
{
    Use({});
    ReadStatusRegisterBlock(nullptr);
    EXPECT_EQ(camera->KsControlQueries(), 0);
    EXPECT_TRUE(Requests().empty());
}

}  // namespace
}  // namespace velmora
