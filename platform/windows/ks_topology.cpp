#include "platform/windows/ks_topology.h"

namespace velmora::windows {

namespace {

constexpr std::size_t MultipleItemHeaderSize = 8;  // KSMULTIPLE_ITEM: Size, Count
constexpr std::size_t GuidSize = 16;

std::uint32_t ReadU32(const std::uint8_t* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

KsNodeRequest TopologyNodesRequest()
{
    KsNodeRequest request;
    request.set = KsPropertySetTopology;
    request.id = KsPropertyTopologyNodes;
    request.flags = KsPropertyTypeGet;
    return request;
}

}  // namespace

Status ReadTopologyNodeTypes(KsControl& control, std::vector<Guid>& nodeTypes)
{
    nodeTypes.clear();
    std::uint32_t needed = 0;
    const Status sizeStatus = control.KsProperty(TopologyNodesRequest(), nullptr, 0, needed);
    if (sizeStatus != StatusMoreData && sizeStatus != StatusInsufficientBuffer) {
        return Failed(sizeStatus) ? sizeStatus : StatusUnexpected;
    }
    if (needed < MultipleItemHeaderSize || needed > MaxTopologyNodesBytes) return StatusUnexpected;

    std::vector<std::uint8_t> answer(needed);
    std::uint32_t returned = 0;
    const Status readStatus = control.KsProperty(TopologyNodesRequest(), answer.data(), needed, returned);
    if (Failed(readStatus)) return readStatus;
    if (returned < MultipleItemHeaderSize || returned > needed) return StatusUnexpected;

    const std::uint32_t size = ReadU32(answer.data());
    const std::uint32_t count = ReadU32(answer.data() + 4);
    if (size < MultipleItemHeaderSize || size > returned) return StatusUnexpected;
    if (count > (size - MultipleItemHeaderSize) / GuidSize) return StatusUnexpected;

    nodeTypes.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        nodeTypes.push_back(GuidFromBytes(answer.data() + MultipleItemHeaderSize + i * GuidSize));
    }
    return StatusOk;
}

Status DescribeKsExtensionUnits(KsControl& control, const Guid& propertySet, std::uint32_t nodeId,
                                std::vector<ExtensionUnitInfo>& units)
{
    units.clear();
    std::vector<Guid> nodeTypes;
    const Status status = ReadTopologyNodeTypes(control, nodeTypes);
    if (Failed(status)) return status;

    for (std::uint32_t node = 0; node < nodeTypes.size(); ++node) {
        if (nodeTypes[node] != KsNodeTypeDevSpecific) continue;
        KsNodeRequest probe;
        probe.set = propertySet;
        probe.id = 0;
        probe.flags = KsPropertyTypeSetSupport | KsPropertyTypeTopology;
        probe.nodeId = node;
        std::uint32_t returned = 0;
        ExtensionUnitInfo unit;
        unit.nodeId = node;
        unit.answersPropertySet = Succeeded(control.KsProperty(probe, nullptr, 0, returned));
        if (unit.answersPropertySet) unit.guid = propertySet;
        unit.addressed = unit.answersPropertySet && node == nodeId;
        units.push_back(unit);
    }
    return StatusOk;
}

}  // namespace velmora::windows
