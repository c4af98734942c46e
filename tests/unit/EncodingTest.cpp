#include "form/frmMain.h"
#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

std::string Utf16(std::u16string_view text, bool bBigEndian = false)
{
    std::string bytes;
    for (const char16_t c : text)
        bytes += bBigEndian ? std::string{char(c >> 8), char(c)} : std::string{char(c), char(c >> 8)};
    return bytes;
}

// The encoding a file's bytes are read in, and the length of the mark before its text.
TEST(ChooseEncoding, AMarkFirstThenUtf16ByItsNulBytesThenValidUtf8ThenAnsi)
{
    const struct {
        std::string bytes;
        Encoding encoding;
        size_t nMark;
    } cases[] = {
        {"\xEF\xBB\xBF" "caf\xC3\xA9", Encoding::Utf8, 3},
        {"\xEF\xBB\xBF" "\xFF", Encoding::Utf8, 3},  // the mark decides, whatever follows
        {"\xFF\xFE\0\0a\0\0\0"s, Encoding::Utf32LE, 4},
        {"\0\0\xFE\xFF\0\0\0a"s, Encoding::Utf32BE, 4},
        {"\xFF\xFE" "a\0"s, Encoding::Utf16LE, 2},
        {"\xFF\xFE\0"s, Encoding::Utf16LE, 2},  // the UTF-32 mark cut short; an odd length
        {"\xFE\xFF\0a"s, Encoding::Utf16BE, 2},
        {"\xFF\xFE", Encoding::Utf16LE, 2},
        // marks cut short: no mark
        {"\xEF\xBB", Encoding::Ansi, 0},
        {"\xFF", Encoding::Ansi, 0},
        {"\xFE", Encoding::Ansi, 0},
        {"\0\0\xFE"s, Encoding::Ansi, 0},
        // no mark: UTF-16 where its NUL bytes say so, none standing for U+0000
        {Utf16(u"Text\r\n"), Encoding::Utf16LE, 0},
        {Utf16(u"Text\r\n", true), Encoding::Utf16BE, 0},
        {Utf16(u"第一章　2024年\r\n一　はじめに\r\n"), Encoding::Utf16LE, 0},  // U+4E00, U+3000
        {Utf16(u"ab") + "c", Encoding::Utf16LE, 0},                            // cut short in a unit
        {Utf16(u"log\r\n") + std::string(6, '\0') + Utf16(u"more"), Encoding::Utf8, 0},
        {"crash\0\0\0\0\0\0\0\0log"s, Encoding::Utf8, 0},
        {"before\0after\0"s, Encoding::Utf8, 0},  // a NUL byte here and there
        {"a\0b\0\0c\0d"s, Encoding::Utf8, 0},    // as many on both sides
        // no mark: valid UTF-8 (pure ASCII reads the same either way), else ANSI
        {"", Encoding::Utf8, 0},
        {"x", Encoding::Utf8, 0},
        {"line\r\n\tnext\0"s, Encoding::Utf8, 0},
        {"caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xE2\x9C\x93", Encoding::Utf8, 0},  // café 日本語 ✓
        {"\xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF \xEF\xBF\xBF \xED\x9F\xBF \xEE\x80\x80", Encoding::Utf8, 0},
        {"caf\xE9", Encoding::Ansi, 0},                       // code page 1252
        {"\x93\xFA\x96\x7B\x8C\xEA", Encoding::Ansi, 0},      // 日本語 in Shift-JIS
        {"\x82\xA0\x82\xA2", Encoding::Ansi, 0},              // あい in Shift-JIS
        {"\xC0\x80", Encoding::Ansi, 0},                      // overlong NUL
        {"\xE0\x9F\xBF", Encoding::Ansi, 0},                  // overlong
        {"\xF0\x8F\xBF\xBF", Encoding::Ansi, 0},              // overlong
        {"\xED\xA0\x80", Encoding::Ansi, 0},                  // a surrogate
        {"\xF4\x90\x80\x80", Encoding::Ansi, 0},              // past U+10FFFF
        {"\xF5\x80\x80\x80", Encoding::Ansi, 0},
        {"ok \xE6\x97", Encoding::Ansi, 0},                   // cut short at the end
        {"\xE6\x97" "a", Encoding::Ansi, 0},                  // cut short inside
        {"\x80", Encoding::Ansi, 0},                          // a lone continuation byte
    };
    for (const auto& c : cases) {
        size_t nMark = 99;
        EXPECT_EQ(frmMain::ChooseEncoding(c.bytes, nMark), c.encoding) << testing::PrintToString(c.bytes);
        EXPECT_EQ(nMark, c.nMark) << testing::PrintToString(c.bytes);
    }
}

}  // namespace
