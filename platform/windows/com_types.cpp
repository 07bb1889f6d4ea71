#include "platform/windows/com_types.h"

#include "platform/windows/utf16.h"

namespace velmora::windows {

GUID ToWindowsGuid(const Guid& guid)
{
    GUID out{};
    out.Data1 = guid.data1;
    out.Data2 = guid.data2;
    out.Data3 = guid.data3;
    for (int i = 0; i < 8; ++i) out.Data4[i] = guid.data4[i];
    return out;
}

Guid FromWindowsGuid(const GUID& guid)
{
    Guid out;
    out.data1 = guid.Data1;
    out.data2 = guid.Data2;
    out.data3 = guid.Data3;
    for (int i = 0; i < 8; ++i) out.data4[i] = guid.Data4[i];
    return out;
}

std::wstring ToWide(std::string_view utf8)
{
    const std::u16string units = Utf8ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

std::string FromWide(const wchar_t* text, std::size_t count)
{
    std::u16string units;
    for (std::size_t i = 0; i < count && text[i] != 0; ++i) units += static_cast<char16_t>(text[i]);
    return Utf16ToUtf8(units);
}

BstrVariant::BstrVariant()
{
    VariantInit(&m_variant);
    m_variant.vt = VT_BSTR;
    m_variant.bstrVal = nullptr;
}

BstrVariant::~BstrVariant()
{
    if (m_variant.vt == VT_BSTR) {
        SysFreeString(m_variant.bstrVal);
        m_variant.vt = VT_EMPTY;
    } else {
        VariantClear(&m_variant);
    }
}

}  // namespace velmora::windows
