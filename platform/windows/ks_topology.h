// The extension units of a kernel-streaming filter: its topology nodes of type
// KSNODETYPE_DEV_SPECIFIC, each probed for a property set. A KS node id is a topology index,
// not the UVC unit id: this is what an ExId in Cfg.ini names.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/capture_device.h"
#include "platform/guid.h"
#include "platform/ks_control.h"
#include "platform/status.h"

namespace velmora::windows {

// KSPROPSETID_Topology and its KSPROPERTY_TOPOLOGY_NODES item.
inline constexpr Guid KsPropertySetTopology{
    0x720D4AC0, 0x7533, 0x11D0, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
inline constexpr std::uint32_t KsPropertyTopologyNodes = 1;
// KSNODETYPE_DEV_SPECIFIC: the node type of a UVC extension unit.
inline constexpr Guid KsNodeTypeDevSpecific{
    0x941C7AC0, 0xC559, 0x11D0, {0x8A, 0x2B, 0x00, 0xA0, 0xC9, 0x25, 0x5A, 0xC1}};
inline constexpr std::uint32_t KsPropertyTypeSetSupport = 0x00000100;

// Answers above this are not believed.
inline constexpr std::uint32_t MaxTopologyNodesBytes = 64 * 1024;

// KSPROPERTY_TOPOLOGY_NODES: the type of every node, in node-id order. A malformed answer
// (a KSMULTIPLE_ITEM whose size or count does not fit the bytes returned) is StatusUnexpected.
Status ReadTopologyNodeTypes(KsControl& control, std::vector<Guid>& nodeTypes);

// The KSNODETYPE_DEV_SPECIFIC nodes, each probed with KSPROPERTY_TYPE_SETSUPPORT for propertySet;
// addressed marks the node that a request naming propertySet and nodeId reaches.
Status DescribeKsExtensionUnits(KsControl& control, const Guid& propertySet, std::uint32_t nodeId,
                                std::vector<ExtensionUnitInfo>& units);

}  // namespace velmora::windows
