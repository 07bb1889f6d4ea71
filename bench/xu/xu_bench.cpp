// The CPU cost of one key write and one register read through the transport and the register
// protocol, over a simulated camera with tracing off. The figures include the simulated camera's own
// work (firmware, request log), so they bound our side of a key press from above.
#include <benchmark/benchmark.h>

#include <memory>

#include "platform/sim/sim_backend.h"
#include "xu/register_protocol.h"

namespace {

struct SimDevice {
    explicit SimDevice(std::uint32_t controlSize)
    {
        velmora::sim::SimCameraConfig camera;
        camera.controlSize = controlSize;
        velmora::sim::SimWorldConfig world;
        world.cameras = {camera};
        backend = std::make_shared<velmora::sim::SimBackend>(world);
        device = backend->OpenCaptureDevice(0);
    }
    std::shared_ptr<velmora::sim::SimBackend> backend;
    std::unique_ptr<velmora::CaptureDevice> device;
};

void KeyWrite(benchmark::State& state)
{
    SimDevice sim(static_cast<std::uint32_t>(state.range(0)));
    if (sim.backend->Trace()) state.SkipWithError("unset VELMORA_SIM_TRACE: the figure is without tracing");
    for (auto _ : state) {
        benchmark::DoNotOptimize(velmora::WriteRegister(sim.device.get(), 1, 0x05, 0, 0x16));
    }
    if (sim.backend->Cameras()[0]->Firmware().KeyCodes().empty())
        state.SkipWithError("no key reached the camera");
}
BENCHMARK(KeyWrite)->Arg(12)->Arg(4);

void RegisterRead(benchmark::State& state)
{
    SimDevice sim(static_cast<std::uint32_t>(state.range(0)));
    if (sim.backend->Trace()) state.SkipWithError("unset VELMORA_SIM_TRACE: the figure is without tracing");
    std::uint64_t value = 0;
    for (auto _ : state) {
        if (velmora::ReadRegister(sim.device.get(), 376, value, 1, 0x00) != velmora::StatusOk) {
            state.SkipWithError("the read failed");
            break;
        }
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(RegisterRead)->Arg(12)->Arg(4);

void PacketOnly(benchmark::State& state)
{
    std::uint64_t data = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(velmora::MakeRegisterPacket(0x16, 1, 0, ++data & 0xFF));
    }
}
BENCHMARK(PacketOnly);

}  // namespace

BENCHMARK_MAIN();
