// Feeds arbitrary text to the simulated cameras' configuration format, both as a configuration file
// and as a hotplug `*.camera` file, and runs the register firmware a parsed camera describes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/sim/register_firmware.h"
#include "platform/sim/sim_config.h"
#include "platform/sim/sim_hotplug.h"
#include "tests/fuzz/fuzz_check.h"

using namespace velmora;
using namespace velmora::sim;

namespace {

void CheckCamera(const SimCameraConfig& camera)
{
    FUZZ_CHECK(camera.controlSize >= 1 && camera.controlSize <= 0xFFFF);
    FUZZ_CHECK(!camera.failKsQuery || Failed(camera.ksQueryFailure));
    RegisterFirmware firmware(camera.firmware);
    // The text's length, one status register and one configured register answer in sealed packets.
    const RegisterPacket reads[] = {
        MakeRegisterPacket(StringCommand | RegisterReadFlag, StringStartRegister, 0, 0),
        MakeRegisterPacket(StatusCommand | RegisterReadFlag, StatusRegisterFirst + StatusRegisterCount - 1,
                           StatusParam, 0),
        MakeRegisterPacket(RegisterReadFlag,
                           camera.firmware.registers.empty() ? 0 : camera.firmware.registers.begin()->first,
                           0, 0),
    };
    for (const RegisterPacket& request : reads) {
        const RegisterPacket response = firmware.Handle(request);
        FUZZ_CHECK(PacketChecksumMatches(response) != camera.firmware.corruptChecksum);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto world = ParseSimConfig(text, error);
    if (world) {
        FUZZ_CHECK(error.empty());
        for (const SimCameraConfig& camera : world->cameras) CheckCamera(camera);
    } else {
        FUZZ_CHECK(error.rfind("line ", 0) == 0);
    }

    std::string hotplugError;
    const auto camera = ParseHotplugCamera(text, hotplugError);
    // A hotplug file is a configuration of exactly one camera and nothing else.
    FUZZ_CHECK(!camera || (world && world->cameras.size() == 1));
    FUZZ_CHECK(camera || !hotplugError.empty());
    return 0;
}
