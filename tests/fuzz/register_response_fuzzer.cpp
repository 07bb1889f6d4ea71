// Register transactions against a camera whose answers come from the input: the control size, the
// size query's status, a request that fails, and every byte a read piece returns. The 12-byte
// response is so delivered in pieces of any control size, and must be put back together exactly.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/capture_device.h"
#include "tests/fuzz/fuzz_check.h"
#include "xu/register_protocol.h"
#include "xu/xu_transport.h"

using namespace velmora;

namespace {

// Control sizes a camera may answer, the usual ones first; 0 and above 65535 must be refused.
constexpr std::uint32_t kSizes[] = {12, 1, 2, 3, 4, 5, 6, 7, 8, 11, 13, 16, 24, 64, 0, 0x10000};

struct Request {
    bool set = false;
    std::uint32_t length = 0;
    std::vector<std::uint8_t> bytes;  // what a set request carried, or what a read piece was given
};

struct Camera {
    const std::uint8_t* input = nullptr;
    std::size_t size = 0;
    std::size_t position = 0;
    std::uint32_t controlSize = 12;
    Status sizeQueryStatus = StatusMoreData;
    std::uint32_t failingRequest = 0;  // 1-based among data requests; 0: none
    std::uint32_t dataRequests = 0;
    std::vector<Request> log;  // data requests only

    // Out of input: the camera is gone.
    bool Exhausted() const { return position >= size; }
};

class FakeKsControl final : public KsControl {
public:
    explicit FakeKsControl(Camera& camera) : m_camera(camera) {}

    Status KsProperty(const KsNodeRequest& request, void* data, std::uint32_t dataLength,
                      std::uint32_t& bytesReturned) override
    {
        FUZZ_CHECK(request.id == RegisterSelector);
        if (!data && dataLength == 0) {
            bytesReturned = m_camera.controlSize;
            return m_camera.sizeQueryStatus;
        }
        // Every data request carries a whole piece of the control's size.
        FUZZ_CHECK(data && dataLength == m_camera.controlSize);
        const bool set = request.flags == KsNodeSetFlags;
        FUZZ_CHECK(set || request.flags == KsNodeGetFlags);
        ++m_camera.dataRequests;
        if (m_camera.dataRequests == m_camera.failingRequest || m_camera.Exhausted())
            return StatusDeviceNotConnected;
        Request logged{set, dataLength, {}};
        auto* bytes = static_cast<std::uint8_t*>(data);
        if (set) {
            logged.bytes.assign(bytes, bytes + dataLength);
        } else {
            const std::size_t available =
                std::min<std::size_t>(dataLength, m_camera.size - m_camera.position);
            std::memset(bytes, 0, dataLength);
            std::memcpy(bytes, m_camera.input + m_camera.position, available);
            m_camera.position += available;
            logged.bytes.assign(bytes, bytes + dataLength);
        }
        m_camera.log.push_back(std::move(logged));
        bytesReturned = dataLength;
        return StatusOk;
    }

private:
    Camera& m_camera;
};

class FakeDevice final : public CaptureDevice {
public:
    explicit FakeDevice(Camera& camera) : m_camera(camera) {}
    Status QueryKsControl(std::unique_ptr<KsControl>& out) override
    {
        out = std::make_unique<FakeKsControl>(m_camera);
        return StatusOk;
    }
    Status QueryCameraControl(std::unique_ptr<CameraControl>& out) override
    {
        out.reset();
        return StatusNoInterface;
    }

private:
    Camera& m_camera;
};

// The bytes of consecutive logged requests of one direction, starting at first.
std::vector<std::uint8_t> Joined(const std::vector<Request>& log, std::size_t first, bool set,
                                 std::size_t& next)
{
    std::vector<std::uint8_t> bytes;
    next = first;
    while (next < log.size() && log[next].set == set) {
        bytes.insert(bytes.end(), log[next].bytes.begin(), log[next].bytes.end());
        ++next;
    }
    return bytes;
}

std::size_t PiecesFor(std::uint32_t length, std::uint32_t controlSize)
{
    return (length + controlSize - 1) / controlSize;
}

void CheckRead(Camera& camera, FakeDevice& device, std::uint32_t address, std::uint8_t command)
{
    std::uint64_t value = 0xDEADBEEFCAFEull;
    const Status status = ReadRegister(&device, address, value, 1, command);
    const bool usableSize = camera.sizeQueryStatus == StatusMoreData && camera.controlSize != 0 &&
                            camera.controlSize <= MaxXuControlSize;
    if (!usableSize) {
        FUZZ_CHECK(status == StatusInvalidArg && camera.log.empty() && value == 0xDEADBEEFCAFEull);
        return;
    }
    std::size_t next = 0;
    const std::vector<std::uint8_t> sent = Joined(camera.log, 0, true, next);
    if (!Failed(status)) {
        // The request went out whole, zero-padded to a multiple of the control size.
        const RegisterPacket request =
            MakeRegisterPacket(static_cast<std::uint8_t>(command | RegisterReadFlag), address, 1, 0);
        FUZZ_CHECK(sent.size() == PiecesFor(RegisterPacketSize, camera.controlSize) * camera.controlSize);
        FUZZ_CHECK(std::equal(request.begin(), request.end(), sent.begin()));
        FUZZ_CHECK(std::all_of(sent.begin() + RegisterPacketSize, sent.end(),
                               [](std::uint8_t b) { return b == 0; }));

        const std::vector<std::uint8_t> received = Joined(camera.log, next, false, next);
        FUZZ_CHECK(received.size() == PiecesFor(RegisterPacketSize, camera.controlSize) * camera.controlSize);
        FUZZ_CHECK(next == camera.log.size());
        RegisterPacket response{};
        std::copy_n(received.begin(), RegisterPacketSize, response.begin());
        if (PacketChecksumMatches(response)) {
            FUZZ_CHECK(status == StatusOk && value == PacketData(response));
        } else {
            FUZZ_CHECK(status == StatusFalse && value == 0xDEADBEEFCAFEull);
        }
    } else {
        FUZZ_CHECK(value == 0xDEADBEEFCAFEull);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4) return 0;
    Camera camera;
    camera.controlSize = kSizes[data[0] % std::size(kSizes)];
    const std::uint8_t sizeMode = data[1] % 8;
    camera.sizeQueryStatus = sizeMode == 6   ? StatusOk
                             : sizeMode == 7 ? StatusDeviceNotConnected
                                             : StatusMoreData;
    camera.failingRequest = data[2] % 16 < 12 ? 0 : data[2] % 16 - 11;
    const std::uint8_t operation = data[3];
    camera.input = data + 4;
    camera.size = size - 4;
    FakeDevice device(camera);

    switch (operation % 4) {
        case 0:
            CheckRead(camera, device, 0x12345678u ^ operation, static_cast<std::uint8_t>(operation));
            break;
        case 1: {
            std::string text = "stale";
            const Status status = ReadRegisterString(&device, text);
            FUZZ_CHECK(text.size() <= RegisterStringMaxLength);
            FUZZ_CHECK(text.find('\0') == std::string::npos);
            if (status == RegisterStringTooLong) FUZZ_CHECK(text.empty());
            break;
        }
        case 2: {
            ReadStatusRegisterBlock(&device);
            // Never more than the 24 requests and responses, each in whole pieces.
            if (camera.controlSize != 0 && camera.controlSize <= MaxXuControlSize)
                FUZZ_CHECK(camera.log.size() <=
                           2 * StatusRegisterCount * PiecesFor(RegisterPacketSize, camera.controlSize));
            break;
        }
        default: {
            // A read into a buffer of any length, in pieces of the control's size.
            const std::uint32_t length = 1u + operation / 4u;
            std::vector<std::uint8_t> buffer(length, 0xA5);
            const Status status = GetXuControl(&device, RegisterSelector, buffer.data(), length);
            if (status == StatusOk) {
                std::size_t next = 0;
                const std::vector<std::uint8_t> received = Joined(camera.log, 0, false, next);
                FUZZ_CHECK(received.size() >= length &&
                           std::equal(buffer.begin(), buffer.end(), received.begin()));
            }
            break;
        }
    }
    return 0;
}
