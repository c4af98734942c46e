#include "form/frmMain.h"
#include <gtest/gtest.h>
#include <optional>

namespace {

using namespace std::string_literals;

std::string Utf16(std::u16string_view text, bool bBigEndian = false)
{
    std::string bytes;
    for (const char16_t c : text)
        bytes += bBigEndian ? std::string{char(c >> 8), char(c)} : std::string{char(c), char(c >> 8)};
    return bytes;
}

// The encoding a file's bytes are read in (none where it cannot be told), and
// the length of the mark before its text.
TEST(ChooseEncoding, AMarkFirstThenUtf16WhereItsTextShowsItThenValidUtf8ThenAnsi)
{
    const struct {
        std::string bytes;
        std::optional<Encoding> encoding;
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
        // no mark: UTF-16 where its line breaks and blanks show the byte order, none standing for U+0000
        {Utf16(u"Text\r\n"), Encoding::Utf16LE, 0},
        {Utf16(u"Text\r\n", true), Encoding::Utf16BE, 0},
        {Utf16(u"第一章　2024年\r\n一　はじめに\r\n"), Encoding::Utf16LE, 0},  // U+4E00, U+3000
        // U+3000 and 一 开 最 言 outnumber the line breaks: their NUL bytes stand on the other side
        {Utf16(u"　　我们最开始的时候\n　　后来开发言论最多\n"), Encoding::Utf16LE, 0},
        {Utf16(u"　　我们最开始的时候\r\n　　后来开发言论最多\r\n", true), Encoding::Utf16BE, 0},
        {Utf16(u"目次\r\n第一章　　　　　　　　１\r\n第二章　　　　　　　　１５\r\n"), Encoding::Utf16LE, 0},
        {Utf16(u"東京 大阪 名古屋"), Encoding::Utf16LE, 0},  // blanks alone
        {Utf16(u"東京\t大阪\t名古屋"), Encoding::Utf16LE, 0},
        {Utf16(u"😀 ok\r\n"), Encoding::Utf16LE, 0},  // a surrogate pair
        {Utf16(u"ਪੰਜਾਬੀ ਭਾਸ਼ਾ\n"), Encoding::Utf16LE, 0},  // Gurmukhi, whose code units hold an LF byte
        {Utf16(u"Hello\f"), Encoding::Utf16LE, 0},  // no blank, but below U+0100 throughout
        {Utf16(u"ab") + "c", Encoding::Utf16LE, 0},  // cut short in a unit
        {Utf16(u"一\r\n", true) + "\0\0\0"s, Encoding::Utf16BE, 0},  // NUL padding after the text
        // too little shown: one line break (the NUL byte that may be padding); none
        {Utf16(u"東京都　千代田区　一番町\n"), std::nullopt, 0},
        {Utf16(u"東京\n"), std::nullopt, 0},
        {Utf16(u"東京都　千代田区　一番町", true), std::nullopt, 0},
        {Utf16(u"一　言", true), std::nullopt, 0},  // the other reading below U+0100, but with a control
        // a reading that holds what text does not: unpaired surrogates, private use, a
        // noncharacter, a control character; line breaks both ways
        {Utf16(u"\xDC00\xD800 text\r\n"), std::nullopt, 0},
        {Utf16(u"text\r\n\xD800"), std::nullopt, 0},
        {Utf16(u"\xE000 text\r\n"), std::nullopt, 0},
        {Utf16(u"text \xFFFE\r\n"), std::nullopt, 0},
        {Utf16(u"\x01 text\r\n"), std::nullopt, 0},
        {Utf16(u"little\r\n") + Utf16(u"big\r\n", true), std::nullopt, 0},
        // 8-bit text beside UTF-16: an ANSI file that PowerShell appended to, and the other way round
        {"ansi\r\n"s + Utf16(u"appended\r\n"), std::nullopt, 0},
        {"\r\n\r\n"s + Utf16(u"appended\r\n"), std::nullopt, 0},
        {"# a header line: "s + Utf16(u"value\r\n"), std::nullopt, 0},
        {Utf16(u"wide\r\n") + "narrow\r\n", std::nullopt, 0},
        // not UTF-16: NUL runs, a NUL byte here and there
        {Utf16(u"log\r\n") + std::string(6, '\0') + Utf16(u"more"), Encoding::Utf8, 0},
        {"crash\0\0\0\0\0\0\0\0log"s, Encoding::Utf8, 0},
        {"before\0after\0"s, Encoding::Utf8, 0},
        {"ab\0 cd\r\n"s, Encoding::Utf8, 0},  // beside a blank in 8-bit text
        {"a\0b\0\0c\0d"s, std::nullopt, 0},  // below U+0100 on both sides
        // NUL padding after 8-bit text, its first NUL byte after an odd count
        {"log\r\n"s + std::string(4096, '\0'), Encoding::Utf8, 0},
        {"one line of ASCII text, padded\n\0"s, Encoding::Utf8, 0},  // its code units ASCII pairs
        {"\x83\x47\x83\x89\x81\x5B\x82\xAA\x94\xAD\x90\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD\n\0"s, Encoding::Ansi, 0},
        {"\x01\xE0\xE0\x02\n\0"s, std::nullopt, 0},  // control characters: no 8-bit text
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
