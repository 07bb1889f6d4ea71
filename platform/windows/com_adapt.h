// Wraps an interface, obtained through a COM call, in the adapter that serves it as a port.
#pragma once

#include <memory>
#include <utility>

#include "platform/windows/com_ptr.h"
#include "platform/windows/windows_headers.h"

namespace velmora::windows {

// obtain(ComPtr<Interface>&) makes the call. A failure is passed on with out empty; a success
// without an interface gives missing instead.
template <class Adapter, class Interface, class Port, class Obtain>
HRESULT AdaptInterface(std::unique_ptr<Port>& out, HRESULT missing, Obtain&& obtain)
{
    out.reset();
    ComPtr<Interface> object;
    const HRESULT result = obtain(object);
    if (FAILED(result)) return result;
    if (!object) return missing;
    out = std::make_unique<Adapter>(std::move(object));
    return result;
}

}  // namespace velmora::windows
