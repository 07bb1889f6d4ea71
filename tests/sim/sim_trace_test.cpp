// The request trace: its line format, the simulated camera's trace file and the tracing decorator.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform/ks_trace.h"
#include "platform/sim/sim_backend.h"
#include "platform/tracing_device.h"
#include "xu/register_protocol.h"
#include "xu/xu_transport.h"

namespace velmora {
namespace {

const std::string kSet = "set={46394292-0CD0-4AE3-8783-3133F9EAAA3B}";
const std::string kLen = "LEN sel=10 node=1 " + kSet +
                         " flags=0x10000001 len=0 status=HRESULT_FROM_WIN32(ERROR_MORE_DATA) size=12";
const std::string kMenu = "SET sel=10 node=1 " + kSet +
                          " flags=0x10000002 len=12 status=S_OK data=26 16 00 00 00 01 00 00 00 00 05 BD";

std::vector<std::string> ReadLines(const std::string& path)
{
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
}

std::string TempPath(const std::string& name)
{
    const std::string path = ::testing::TempDir() + "velmora_" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + name;
    std::remove(path.c_str());
    return path;
}

TEST(KsTraceLine, NamesDirectionAddressFlagsLengthStatusAndBytes)
{
    KsNodeRequest request;
    request.set = DefaultXuPropertySet;
    request.id = 10;
    request.nodeId = 1;
    request.flags = KsNodeGetFlags;
    EXPECT_EQ(KsTraceLine(request, nullptr, 0, 12, StatusMoreData), kLen);

    std::uint8_t bytes[12] = {0x26, 0x16, 0, 0, 0, 1, 0, 0, 0, 0, 5, 0xBD};
    request.flags = KsNodeSetFlags;
    EXPECT_EQ(KsTraceLine(request, bytes, 12, 0, StatusOk), kMenu);
    // A failed write still shows what was sent; a failed read shows nothing read.
    EXPECT_EQ(KsTraceLine(request, bytes, 2, 0, StatusGenFailure),
              "SET sel=10 node=1 " + kSet +
                  " flags=0x10000002 len=2 status=HRESULT_FROM_WIN32(ERROR_GEN_FAILURE) data=26 16");
    request.flags = KsNodeGetFlags;
    request.nodeId = 7;
    request.id = 3;
    EXPECT_EQ(KsTraceLine(request, bytes, 3, 3, StatusOk),
              "GET sel=3 node=7 " + kSet + " flags=0x10000001 len=3 status=S_OK data=26 16 00");
    EXPECT_EQ(KsTraceLine(request, bytes, 3, 0, StatusFromBits(0x8007001Eu)),
              "GET sel=3 node=7 " + kSet + " flags=0x10000001 len=3 status=0x8007001E");
}

TEST(SimTrace, ConfiguredFileGetsEveryRequestOneALine)
{
    sim::SimWorldConfig world;
    world.cameras.resize(1);
    world.traceFile = TempPath("configured");
    {
        auto backend = std::make_shared<sim::SimBackend>(world);
        auto device = backend->OpenCaptureDevice(0);
        ASSERT_EQ(WriteRegister(device.get(), 1, 5, 0, 0x16), StatusOk);
        backend->Cameras()[0]->Config().failPiece = 2;
        std::uint64_t value = 0;
        EXPECT_EQ(ReadRegister(device.get(), 1, value, 0, 0x16), StatusGenFailure);
    }
    EXPECT_EQ(
        ReadLines(world.traceFile),
        (std::vector<std::string>{kLen, kMenu, kLen,
                                  "SET sel=10 node=1 " + kSet +
                                      " flags=0x10000002 len=12 status=HRESULT_FROM_WIN32(ERROR_GEN_FAILURE) "
                                      "data=26 96 00 00 00 01 00 00 00 00 00 42"}));
}

TEST(SimTrace, EnvironmentWinsOverTheConfiguration)
{
    sim::SimWorldConfig world;
    world.cameras.resize(1);
    world.traceFile = TempPath("configured");
    const std::string fromEnvironment = TempPath("environment");
    ::setenv("VELMORA_SIM_TRACE", fromEnvironment.c_str(), 1);
    {
        auto backend = std::make_shared<sim::SimBackend>(world);
        auto device = backend->OpenCaptureDevice(0);
        ASSERT_EQ(WriteRegister(device.get(), 1, 5, 0, 0x16), StatusOk);
    }
    ::unsetenv("VELMORA_SIM_TRACE");
    EXPECT_EQ(ReadLines(fromEnvironment), (std::vector<std::string>{kLen, kMenu}));
    EXPECT_TRUE(ReadLines(world.traceFile).empty());
}

TEST(SimTrace, TimeOnRequestEndsEachLineWithTheMonotonicClock)
{
    sim::SimWorldConfig world;
    world.cameras.resize(1);
    world.traceFile = TempPath("timed");
    ::setenv("VELMORA_SIM_TRACE_TIME", "1", 1);
    const double before =
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    {
        auto backend = std::make_shared<sim::SimBackend>(world);
        auto device = backend->OpenCaptureDevice(0);
        ASSERT_EQ(WriteRegister(device.get(), 1, 5, 0, 0x16), StatusOk);
    }
    ::unsetenv("VELMORA_SIM_TRACE_TIME");
    const double after =
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    const std::vector<std::string> lines = ReadLines(world.traceFile);
    ASSERT_EQ(lines.size(), 2u);
    double previous = before;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string expected = i == 0 ? kLen : kMenu;
        ASSERT_EQ(lines[i].rfind(expected + " t=", 0), 0u) << lines[i];
        const double stamp = std::stod(lines[i].substr(expected.size() + 3));
        EXPECT_GE(stamp, previous - 1e-6);
        EXPECT_LE(stamp, after + 1e-6);
        previous = stamp;
    }
}

TEST(TracingCaptureDevice, ReportsEachRequestAndForwardsTheRest)
{
    sim::SimWorldConfig world;
    world.cameras.resize(1);
    auto backend = std::make_shared<sim::SimBackend>(world);
    auto inner = backend->OpenCaptureDevice(0);
    std::vector<std::string> lines;
    {
        TracingCaptureDevice device(*inner, [&lines](const std::string& line) { lines.push_back(line); });
        ASSERT_EQ(WriteRegister(&device, 1, 5, 0, 0x16), StatusOk);
        EXPECT_EQ(lines, (std::vector<std::string>{kLen, kMenu}));

        std::int16_t value = 0, minimum = 0, maximum = 0, step = 0;
        EXPECT_EQ(GetCameraZoom(&device, value, minimum, maximum, step), StatusOk);
        EXPECT_EQ(value, 100);
        std::vector<ExtensionUnitInfo> units;
        EXPECT_EQ(device.DescribeExtensionUnits(DefaultXuPropertySet, 1, units), StatusOk);
        ASSERT_EQ(units.size(), 1u);
        EXPECT_TRUE(units[0].addressed);

        backend->Cameras()[0]->Config().failKsQuery = true;
        std::unique_ptr<KsControl> control;
        EXPECT_EQ(device.QueryKsControl(control), StatusNoInterface);
        EXPECT_EQ(control, nullptr);
        EXPECT_EQ(lines.size(), 2u);
        // Piece buffers come from the wrapped device, and are given back.
        backend->Cameras()[0]->Config().failKsQuery = false;
        ASSERT_EQ(device.QueryKsControl(control), StatusOk);
        PieceBuffer buffer = control->AllocatePieceBuffer(12);
        EXPECT_EQ(backend->Live().pieceBuffers, 1);
    }
    EXPECT_EQ(backend->Live().pieceBuffers, 0);
    inner.reset();
    EXPECT_EQ(backend->Live().Total(), 0);
}

}  // namespace
}  // namespace velmora
