// The one-line text form of a KsProperty call, shared by the simulated camera's trace and the
// tracing decorator of any capture device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/ks_control.h"
#include "platform/status.h"

namespace velmora {

// "26 16 00": upper-case hexadecimal bytes separated by single spaces.
std::string HexBytes(const std::uint8_t* bytes, std::size_t count);

// One call, for example
//   LEN sel=10 node=1 set={46394292-...} flags=0x10000001 len=0 status=HRESULT_FROM_WIN32(ERROR_MORE_DATA)
//   size=12 SET sel=10 node=1 set={46394292-...} flags=0x10000002 len=12 status=S_OK data=26 16 00 00 00 01
//   00 00 00 00 05 BD GET sel=10 node=1 set={46394292-...} flags=0x10000001 len=12 status=S_OK data=26 80 ...
// LEN is a read without data (the size query) and shows BytesReturned; SET shows the bytes sent; GET
// shows the bytes read, and no data when the read failed. Call it after KsProperty returned.
std::string KsTraceLine(const KsNodeRequest& request, const void* data, std::uint32_t dataLength,
                        std::uint32_t bytesReturned, Status status);

}  // namespace velmora
