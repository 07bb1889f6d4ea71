// libFuzzer target: WM_DEVICECHANGE records. Byte 0 picks wParam, the rest is the record.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/windows/device_change_decoder.h"

namespace {

constexpr std::uintptr_t WParams[] = {velmora::windows::DbtDeviceArrival,
                                      velmora::windows::DbtDeviceRemoveComplete, 0x0007, 0x8001};

void Check(bool condition)
{
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace velmora;
    using namespace velmora::windows;
    if (size == 0) return 0;
    const std::uintptr_t wParam = WParams[data[0] % 4];
    // A heap copy of exactly the record's bytes, so that a read past them is caught.
    const std::vector<std::uint8_t> record(data + 1, data + size);

    const DeviceChangeEvent viewed = DecodeDeviceChangeRecord(wParam, record.data(), record.size());
    Check(viewed.kind == DeviceChangeKindOf(wParam));
    if (viewed.recordType != DeviceRecordInterface) Check(viewed.interfaceName.empty());

    // As the system delivers it, lParam alone: only when dbch_size does not claim more than there is.
    if (record.size() >= 4) {
        std::uint32_t declared = 0;
        std::memcpy(&declared, record.data(), 4);
        if (declared <= record.size()) {
            const DeviceChangeEvent native = DecodeDeviceChange(wParam, record.data());
            Check(native.kind == viewed.kind && native.recordType == viewed.recordType &&
                  native.interfaceName == viewed.interfaceName);
        }
    }
    return 0;
}
