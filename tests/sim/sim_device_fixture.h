// A test fixture with one simulated camera bound to a capture device, and helpers to look at the
// requests the camera received. At the end every interface and buffer must have been given back.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/xu_identity.h"
#include "platform/ks_trace.h"
#include "platform/sim/sim_backend.h"

namespace velmora::test {

class SimDeviceTest : public ::testing::Test {
protected:
    void Use(const sim::SimCameraConfig& config)
    {
        sim::SimWorldConfig world;
        world.cameras = {config};
        backend = std::make_shared<sim::SimBackend>(world);
        device = backend->OpenCaptureDevice(0);
        camera = backend->Cameras()[0].get();
    }

    void TearDown() override
    {
        if (backend) {
            // Between operations only the device itself is alive.
            EXPECT_EQ(backend->Live().Total(), device ? 1 : 0);
            device.reset();
            EXPECT_EQ(backend->Live().Total(), 0);
        }
        g_xuIdentity = XuIdentity{};
    }

    const std::deque<sim::SimRequest>& Requests() const { return camera->Requests(); }

    // "LEN", "SET" or "GET" for each request received, in order.
    std::vector<std::string> Kinds() const
    {
        std::vector<std::string> kinds;
        for (const sim::SimRequest& request : Requests()) {
            kinds.push_back(request.IsSet() ? "SET" : request.IsSizeQuery() ? "LEN" : "GET");
        }
        return kinds;
    }

    // The bytes of the data requests of one kind, as hexadecimal text.
    std::vector<std::string> Data(bool set) const
    {
        std::vector<std::string> data;
        for (const sim::SimRequest& request : Requests()) {
            if (request.IsSizeQuery() || request.IsSet() != set) continue;
            data.push_back(HexBytes(request.bytes.data(), request.bytes.size()));
        }
        return data;
    }

    std::shared_ptr<sim::SimBackend> backend;
    std::unique_ptr<CaptureDevice> device;
    sim::SimCamera* camera = nullptr;
};

inline sim::SimCameraConfig CameraWithControlSize(std::uint32_t size)
{
    sim::SimCameraConfig config;
    config.controlSize = size;
    return config;
}

}  // namespace velmora::test
