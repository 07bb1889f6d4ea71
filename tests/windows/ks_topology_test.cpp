#include "platform/windows/ks_topology.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace velmora::windows {
namespace {

constexpr Guid CameraTerminal{0xDFF229E1, 0xF70F, 0x11D0, {0xB9, 0x17, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
constexpr Guid VideoProcessing{0xDFF229E5, 0xF70F, 0x11D0, {0xB9, 0x17, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
constexpr Guid OtherSet{0x0F3F95DC, 0x2632, 0x4C4E, {0x92, 0xC9, 0xA0, 0x47, 0x82, 0xF4, 0x3B, 0xC8}};

// A filter's topology: answers KSPROPERTY_TOPOLOGY_NODES from answer and the set-support probe
// for propertySet at the nodes in supported.
class TopologyControl : public KsControl {
public:
    std::vector<std::uint8_t> answer;
    Guid supportedSet = DefaultXuPropertySet;
    std::vector<std::uint32_t> supported;
    Status sizeStatus = StatusMoreData;
    std::vector<KsNodeRequest> requests;

    static std::vector<std::uint8_t> NodesAnswer(const std::vector<Guid>& nodes)
    {
        std::vector<std::uint8_t> bytes(8 + 16 * nodes.size());
        const auto size = static_cast<std::uint32_t>(bytes.size());
        const auto count = static_cast<std::uint32_t>(nodes.size());
        std::memcpy(bytes.data(), &size, 4);
        std::memcpy(bytes.data() + 4, &count, 4);
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            const auto guid = GuidBytes(nodes[i]);
            std::memcpy(bytes.data() + 8 + 16 * i, guid.data(), 16);
        }
        return bytes;
    }

    Status KsProperty(const KsNodeRequest& request, void* data, std::uint32_t dataLength,
                      std::uint32_t& bytesReturned) override
    {
        requests.push_back(request);
        bytesReturned = 0;
        if (request.set == KsPropertySetTopology) {
            if (dataLength == 0) {
                bytesReturned = static_cast<std::uint32_t>(answer.size());
                return sizeStatus;
            }
            if (dataLength < answer.size()) return StatusMoreData;
            std::memcpy(data, answer.data(), answer.size());
            bytesReturned = static_cast<std::uint32_t>(answer.size());
            return StatusOk;
        }
        for (std::uint32_t node : supported) {
            if (request.set == supportedSet && request.nodeId == node) return StatusOk;
        }
        return StatusFromBits(0x80070492u);  // HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND)
    }
};

TEST(KsTopology, ListsDevSpecificNodesAndMarksTheAddressedOne)
{
    TopologyControl control;
    control.answer = TopologyControl::NodesAnswer({CameraTerminal, VideoProcessing, KsNodeTypeDevSpecific,
                                                   KsNodeTypeDevSpecific, KsNodeTypeDevSpecific});
    control.supported = {3};

    std::vector<ExtensionUnitInfo> units;
    ASSERT_EQ(DescribeKsExtensionUnits(control, DefaultXuPropertySet, 3, units), StatusOk);
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units[0].nodeId, 2u);
    EXPECT_FALSE(units[0].answersPropertySet);
    EXPECT_FALSE(units[0].guid.has_value());
    EXPECT_EQ(units[1].nodeId, 3u);
    EXPECT_TRUE(units[1].answersPropertySet);
    EXPECT_EQ(units[1].guid, DefaultXuPropertySet);
    EXPECT_TRUE(units[1].addressed);
    EXPECT_EQ(units[2].nodeId, 4u);
    EXPECT_FALSE(units[2].addressed);

    // Size query, read, then one set-support probe per extension unit, with the topology flag.
    ASSERT_EQ(control.requests.size(), 5u);
    EXPECT_EQ(control.requests[0].set, KsPropertySetTopology);
    EXPECT_EQ(control.requests[0].id, KsPropertyTopologyNodes);
    EXPECT_EQ(control.requests[0].flags, KsPropertyTypeGet);
    for (std::size_t i = 2; i < 5; ++i) {
        EXPECT_EQ(control.requests[i].set, DefaultXuPropertySet);
        EXPECT_EQ(control.requests[i].id, 0u);
        EXPECT_EQ(control.requests[i].flags, 0x10000100u);
        EXPECT_EQ(control.requests[i].nodeId, i);
    }

    // Node 1 is configured but is the processing unit: the unit that answers is not addressed.
    ASSERT_EQ(DescribeKsExtensionUnits(control, DefaultXuPropertySet, 1, units), StatusOk);
    EXPECT_TRUE(units[1].answersPropertySet);
    EXPECT_FALSE(units[1].addressed);

    // Another property set is answered by none.
    ASSERT_EQ(DescribeKsExtensionUnits(control, OtherSet, 3, units), StatusOk);
    for (const ExtensionUnitInfo& unit : units) EXPECT_FALSE(unit.answersPropertySet);
}

TEST(KsTopology, FailuresAndMalformedAnswers)
{
    TopologyControl control;
    std::vector<Guid> types;

    control.answer = TopologyControl::NodesAnswer({});
    EXPECT_EQ(ReadTopologyNodeTypes(control, types), StatusOk);
    EXPECT_TRUE(types.empty());

    control.sizeStatus = StatusNotFound;
    EXPECT_EQ(ReadTopologyNodeTypes(control, types), StatusNotFound);
    control.sizeStatus = StatusOk;
    EXPECT_EQ(ReadTopologyNodeTypes(control, types), StatusUnexpected);
    control.sizeStatus = StatusMoreData;

    // A count that the bytes cannot hold, a size beyond them, a size below the header.
    std::vector<std::uint8_t> answer = TopologyControl::NodesAnswer({KsNodeTypeDevSpecific});
    answer[4] = 2;
    control.answer = answer;
    EXPECT_EQ(ReadTopologyNodeTypes(control, types), StatusUnexpected);
    answer[4] = 1;
    answer[0] = 40;
    control.answer = answer;
    EXPECT_EQ(ReadTopologyNodeTypes(control, types), StatusUnexpected);
    answer[0] = 4;
    control.answer = answer;
    EXPECT_EQ(ReadTopologyNodeTypes(control, types), StatusUnexpected);
    EXPECT_TRUE(types.empty());

    // An absurd size is neither allocated nor read.
    control.answer.assign(MaxTopologyNodesBytes + 8, 0);
    const std::size_t before = control.requests.size();
    EXPECT_EQ(ReadTopologyNodeTypes(control, types), StatusUnexpected);
    EXPECT_EQ(control.requests.size(), before + 1);
}

}  // namespace
}  // namespace velmora::windows
