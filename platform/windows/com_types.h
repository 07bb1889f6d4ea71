// Conversions between the ports' plain values and their Windows counterparts.
#pragma once

#include <string>
#include <string_view>

#include "platform/guid.h"
#include "platform/windows/windows_headers.h"

namespace velmora::windows {

GUID ToWindowsGuid(const Guid& guid);
Guid FromWindowsGuid(const GUID& guid);

// A NUL-terminated UTF-16 string for the platform's LPCOLESTR / LPCWSTR parameters.
std::wstring ToWide(std::string_view utf8);
// The wide characters up to the first NUL, or count of them when there is none.
std::string FromWide(const wchar_t* text, std::size_t count);

// A VARIANT that asks a property bag for a string and frees what it got back.
class BstrVariant {
public:
    BstrVariant();
    ~BstrVariant();
    BstrVariant(const BstrVariant&) = delete;
    BstrVariant& operator=(const BstrVariant&) = delete;

    VARIANT* Get() { return &m_variant; }
    const VARIANT& Value() const { return m_variant; }

private:
    VARIANT m_variant;
};

}  // namespace velmora::windows
