// One simulated camera: its configuration, its extension-unit control and its camera controls.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "platform/camera_control.h"
#include "platform/capture_device.h"
#include "platform/ks_control.h"
#include "platform/sim/register_firmware.h"
#include "platform/sim/sim_config.h"
#include "platform/sim/sim_trace.h"

namespace velmora::sim {

// Live interface objects and piece buffers handed out by the simulated backend, by kind.
struct SimLiveCounts {
    int enumerators = 0;
    int monikers = 0;
    int propertyBags = 0;
    int devices = 0;
    int ksControls = 0;
    int cameraControls = 0;
    int pieceBuffers = 0;
    int Total() const
    {
        return enumerators + monikers + propertyBags + devices + ksControls + cameraControls + pieceBuffers;
    }
};

// Counts one live object of a kind for as long as it exists.
class LiveToken {
public:
    LiveToken(std::shared_ptr<SimLiveCounts> counts, int SimLiveCounts::*kind);
    ~LiveToken();
    LiveToken(const LiveToken&) = delete;
    LiveToken& operator=(const LiveToken&) = delete;

private:
    std::shared_ptr<SimLiveCounts> m_counts;
    int SimLiveCounts::*m_kind;
};

// One KsProperty call as the camera received it.
struct SimRequest {
    KsNodeRequest request;
    std::uint32_t dataLength = 0;
    std::uint32_t bytesReturned = 0;
    Status status = StatusOk;
    std::vector<std::uint8_t> bytes;  // a set request's data; a successful read's answer

    bool IsSet() const { return (request.flags & KsPropertyTypeSet) != 0; }
    bool IsSizeQuery() const { return !IsSet() && dataLength == 0; }
    bool IsGet() const { return !IsSet() && dataLength != 0; }
};

// The extension unit's selector 10 carries the register packets: the pieces of a write (each exactly
// the control size) are put together until 12 bytes are there, the firmware executes the packet, and
// the following reads answer its response in pieces of the control size, padded with zeros. A size
// query starts a new transfer.
class SimCamera {
public:
    // The request log keeps the most recent requests only.
    static constexpr std::size_t RequestLogLimit = 65536;

    explicit SimCamera(SimCameraConfig config, std::shared_ptr<SimTraceFile> trace = nullptr);

    // Faults and the extension unit's address are read at each request; the firmware's settings are
    // in Firmware().Settings().
    const SimCameraConfig& Config() const { return m_config; }
    SimCameraConfig& Config() { return m_config; }
    bool Plugged() const { return m_plugged; }
    void SetPlugged(bool plugged) { m_plugged = plugged; }

    // QueryInterface of the capture device, counted.
    Status QueryKsControl();
    Status QueryCameraControl();
    int KsControlQueries() const { return m_ksControlQueries; }
    int CameraControlQueries() const { return m_cameraControlQueries; }
    // Whether AllocatePieceBuffer must fail; a failing allocation ends the transfer.
    bool PieceBufferFails();

    // The extension-unit control, as IKsControl::KsProperty sees it.
    Status KsProperty(const KsNodeRequest& request, void* data, std::uint32_t dataLength,
                      std::uint32_t& bytesReturned);

    // IAMCameraControl: zoom and roll.
    Status CameraGet(CameraProperty property, std::int32_t& value, std::int32_t& flags);
    Status CameraGetRange(CameraProperty property, CameraRange& range);
    Status CameraSet(CameraProperty property, std::int32_t value, std::int32_t flags);

    // The camera's extension unit, described for a probe of propertySet and nodeId.
    Status DescribeExtensionUnits(const Guid& propertySet, std::uint32_t nodeId,
                                  std::vector<ExtensionUnitInfo>& out) const;

    const std::deque<SimRequest>& Requests() const { return m_requests; }
    // For each camera-control get, range query or set, in order: how many extension-unit requests
    // the camera had received before it.
    const std::vector<std::uint64_t>& CameraControlCalls() const { return m_cameraControlCalls; }
    void ClearRequests() { m_requests.clear(); }
    // The bytes of every set request, in order.
    std::vector<std::vector<std::uint8_t>> Writes() const;

    RegisterFirmware& Firmware() { return m_firmware; }
    const RegisterFirmware& Firmware() const { return m_firmware; }

private:
    Status Answer(const KsNodeRequest& request, void* data, std::uint32_t dataLength,
                  std::uint32_t& bytesReturned);
    Status AnswerSizeQuery(std::uint32_t& bytesReturned);
    void ReceivePiece(const std::uint8_t* bytes, std::uint32_t length);
    void SendPiece(std::uint8_t* bytes, std::uint32_t length);
    void Record(const KsNodeRequest& request, const void* data, std::uint32_t dataLength,
                std::uint32_t bytesReturned, Status status);
    SimCameraAxis* Axis(CameraProperty property);

    SimCameraConfig m_config;
    std::shared_ptr<SimTraceFile> m_trace;
    RegisterFirmware m_firmware;
    bool m_plugged = true;
    int m_ksControlQueries = 0;
    int m_cameraControlQueries = 0;
    std::uint32_t m_dataRequests = 0;
    std::vector<std::uint8_t> m_incoming;  // pieces of a packet being written
    RegisterPacket m_response{};           // what the control holds for reading
    std::uint32_t m_responseOffset = 0;    // where the next read piece starts
    SimCameraAxis m_zoom;
    SimCameraAxis m_roll;
    std::deque<SimRequest> m_requests;
    std::uint64_t m_requestsReceived = 0;
    std::vector<std::uint64_t> m_cameraControlCalls;
};

}  // namespace velmora::sim
