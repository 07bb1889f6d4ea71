#include "platform/windows/utf16.h"

#include <gtest/gtest.h>

namespace velmora::windows {
namespace {

TEST(Utf16, RoundTripsEveryPlane)
{
    const std::string text = "USB Camera \xE7\x9B\xB4\xE6\x92\xAD \xC3\xA9 \xF0\x9F\x93\xB7";
    const std::u16string wide = Utf8ToUtf16(text);
    EXPECT_EQ(wide, (std::u16string{u'U', u'S', u'B', u' ', u'C', u'a', u'm', u'e', u'r', u'a', u' ', 0x76F4,
                                    0x64AD, u' ', 0x00E9, u' ', 0xD83D, 0xDCF7}));
    EXPECT_EQ(Utf16ToUtf8(wide), text);
}

TEST(Utf16, MalformedInputBecomesReplacementCharacters)
{
    // A lone continuation byte, an overlong '/', an encoded surrogate, a truncated sequence.
    EXPECT_EQ(Utf8ToUtf16("a\x80"
                          "b"),
              (std::u16string{u'a', 0xFFFD, u'b'}));
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), (std::u16string{0xFFFD, 0xFFFD}));
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), (std::u16string{0xFFFD, 0xFFFD, 0xFFFD}));
    EXPECT_EQ(Utf8ToUtf16("\xE6\x91"), (std::u16string{0xFFFD, 0xFFFD}));
    EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), (std::u16string{0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}));

    // Unpaired surrogates on the wide side, at the end and reversed.
    EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD83D}), "a\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDCF7, 0xD83D}), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
}  // namespace velmora::windows
