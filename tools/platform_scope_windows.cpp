#include "platform/windows/com_apartment.h"
#include "tools/platform_scope.h"

namespace velmoractl {

// velmoractl has no GUI application object to initialise COM: it does so itself.
std::shared_ptr<void> EnterPlatform(std::string& error)
{
    auto apartment = std::make_shared<velmora::windows::ComApartment>();
    if (velmora::Failed(apartment->Result())) {
        error = "COM cannot be initialised (" + velmora::StatusName(apartment->Result()) + ")";
        return nullptr;
    }
    return apartment;
}

}  // namespace velmoractl
