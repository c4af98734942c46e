#pragma once
#include "common/Text.h"
#include <cstdint>
#include <string_view>

// UTF-16 and UTF-32 bytes, in either byte order, to UTF-16 text. Windows has no
// converter for them (MultiByteToWideChar takes neither UTF-32 nor UTF-16 BE),
// and it is plain byte work: portable, so that the fuzz target runs it too.
struct CodeUnits {
    // An incomplete last unit becomes U+FFFD. UTF-16 units stay as they are,
    // unpaired surrogates too, as a UTF-16 program reads them; a UTF-32 value
    // that is a surrogate or past U+10FFFF becomes U+FFFD. Two passes, as the
    // system's converters make them: the text is allocated once, at its size.
    static Text Decode(std::string_view bytes, Encoding encoding)
    {
        const bool bUtf32 = encoding == Encoding::Utf32LE || encoding == Encoding::Utf32BE;
        const bool bBigEndian = encoding == Encoding::Utf16BE || encoding == Encoding::Utf32BE;
        const size_t nUnit = bUtf32 ? 4 : 2;
        const size_t nUnits = bytes.size() / nUnit;
        const auto Unit = [&](size_t i) {
            uint32_t nValue = 0;
            for (size_t k = 0; k < nUnit; ++k) {
                const uint32_t nByte = static_cast<unsigned char>(bytes[i * nUnit + (bBigEndian ? k : nUnit - 1 - k)]);
                nValue = nValue << 8 | nByte;
            }
            return nValue;
        };
        size_t nLength = nUnits + (bytes.size() % nUnit != 0);
        if (bUtf32) {
            for (size_t i = 0; i < nUnits; ++i)
                nLength += Unit(i) >= 0x10000 && Unit(i) <= 0x10FFFF;
        }
        Text text(nLength, u'\xFFFD');
        size_t n = 0;
        for (size_t i = 0; i < nUnits; ++i) {
            const uint32_t nValue = Unit(i);
            if (!bUtf32 || nValue < 0xD800 || (nValue > 0xDFFF && nValue < 0x10000)) {
                text[n++] = static_cast<char16_t>(nValue);
            } else if (nValue >= 0x10000 && nValue <= 0x10FFFF) {
                text[n++] = static_cast<char16_t>(0xD800 + ((nValue - 0x10000) >> 10));
                text[n++] = static_cast<char16_t>(0xDC00 + (nValue & 0x3FF));
            } else {
                ++n;  // stays U+FFFD
            }
        }
        return text;
    }
};
