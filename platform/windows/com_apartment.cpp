#include "platform/windows/com_apartment.h"

#include "platform/windows/windows_headers.h"

namespace velmora::windows {

ComApartment::ComApartment() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}

ComApartment::~ComApartment()
{
    if (Succeeded(m_result)) CoUninitialize();
}

}  // namespace velmora::windows
