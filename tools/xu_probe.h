// Why a transfer ended with E_INVALIDARG: the transport folds every unexpected size-query answer
// into that one status, so the probe asks again and keeps the camera's own answer.
#pragma once

#include <cstdint>

#include "platform/capture_device.h"
#include "platform/status.h"

namespace velmoractl {

struct SizeQueryAnswer {
    velmora::Status status = velmora::StatusOk;  // of the interface query, or else of the size query
    std::uint32_t size = 0;                      // BytesReturned of the size query
};

// One size query for selector, addressed as every transfer is (g_xuIdentity).
SizeQueryAnswer ProbeSizeQuery(velmora::CaptureDevice& device, std::uint32_t selector);

}  // namespace velmoractl
