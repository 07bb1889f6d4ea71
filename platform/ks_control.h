// Port: kernel-streaming style property access to a capture device's topology nodes.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/guid.h"
#include "platform/status.h"

namespace velmora {

inline constexpr std::uint32_t KsPropertyTypeGet = 0x00000001;
inline constexpr std::uint32_t KsPropertyTypeSet = 0x00000002;
inline constexpr std::uint32_t KsPropertyTypeTopology = 0x10000000;
inline constexpr std::uint32_t KsNodeGetFlags = KsPropertyTypeGet | KsPropertyTypeTopology;  // 0x10000001
inline constexpr std::uint32_t KsNodeSetFlags = KsPropertyTypeSet | KsPropertyTypeTopology;  // 0x10000002

// KSP_NODE: the 32-byte node request, laid out as on Windows.
struct KsNodeRequest {
    Guid set;
    std::uint32_t id = 0;
    std::uint32_t flags = 0;
    std::uint32_t nodeId = 0;
    std::uint32_t reserved = 0;
};
static_assert(sizeof(KsNodeRequest) == 32, "KsNodeRequest must match KSP_NODE");

// Gives a piece buffer back. token, when an adapter sets one, is dropped together with the bytes,
// so the adapter can follow the buffer's lifetime (the simulated camera counts live buffers so).
struct PieceBufferDeleter {
    std::shared_ptr<void> token;
    void operator()(std::uint8_t* bytes)
    {
        delete[] bytes;
        token.reset();
    }
};
using PieceBuffer = std::unique_ptr<std::uint8_t[], PieceBufferDeleter>;

// IKsControl. One instance is obtained per operation and released (destroyed) before it returns.
class KsControl {
public:
    virtual ~KsControl() = default;

    // IKsControl::KsProperty with a KSP_NODE request (PropertyLength 32). data may be null with
    // dataLength 0 (the size query, answered with StatusMoreData and the size in bytesReturned).
    // For a set request data is only read.
    virtual Status KsProperty(const KsNodeRequest& request, void* data, std::uint32_t dataLength,
                              std::uint32_t& bytesReturned) = 0;

    // The scratch buffer of a transfer's last piece, size bytes (the transport zero-fills it); null
    // when it cannot be had.
    virtual PieceBuffer AllocatePieceBuffer(std::uint32_t size);
};

}  // namespace velmora
