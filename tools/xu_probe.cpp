#include "tools/xu_probe.h"

#include <memory>

#include "config/xu_identity.h"

namespace velmoractl {

SizeQueryAnswer ProbeSizeQuery(velmora::CaptureDevice& device, std::uint32_t selector)
{
    SizeQueryAnswer answer;
    std::unique_ptr<velmora::KsControl> control;
    answer.status = device.QueryKsControl(control);
    if (velmora::Failed(answer.status) || !control) return answer;
    velmora::KsNodeRequest request;
    request.set = velmora::EffectiveXuPropertySet(velmora::g_xuIdentity);
    request.id = selector;
    request.flags = velmora::KsNodeGetFlags;
    request.nodeId = static_cast<std::uint32_t>(velmora::g_xuIdentity.exId);
    answer.status = control->KsProperty(request, nullptr, 0, answer.size);
    return answer;
}

}  // namespace velmoractl
