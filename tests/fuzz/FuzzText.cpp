// Fuzzes the code that takes outside input as text: the argument taken from the
// command line and the path in it, the report built around a failure's
// description, and a file's bytes: the choice of their encoding and the
// conversion of UTF-16 and UTF-32.
#include "app/EndProgram.h"
#include "form/frmMain.h"
#include "platform/CodeUnits.h"
#include <cstdlib>
#include <cstring>
#include <optional>

void EndProgram(uint32_t) { std::abort(); }

namespace {
void Check(bool bHolds)
{
    if (!bHolds)
        std::abort();
}

bool StartsWith(const Text& s, const Text& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// Valid UTF-8 told another way than the product does: each sequence decoded by
// its bit pattern, then refused if longer than its value needs, a surrogate or
// past U+10FFFF.
bool IsUtf8(std::string_view bytes)
{
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char nLead = bytes[i];
        const size_t nLength = nLead < 0x80 ? 1 : nLead >> 5 == 6 ? 2 : nLead >> 4 == 14 ? 3 : nLead >> 3 == 30 ? 4 : 0;
        if (nLength == 0 || bytes.size() - i < nLength)
            return false;
        uint32_t nValue = nLength == 1 ? nLead : nLead & (0x7F >> nLength);
        for (size_t k = 1; k < nLength; ++k) {
            const unsigned char nNext = bytes[i + k];
            if (nNext >> 6 != 2)
                return false;
            nValue = nValue << 6 | (nNext & 0x3F);
        }
        const uint32_t nLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (nValue < nLeast[nLength] || (nValue >= 0xD800 && nValue <= 0xDFFF) || nValue > 0x10FFFF)
            return false;
        i += nLength;
    }
    return true;
}

void CheckBytes(std::string_view bytes)
{
    size_t nMark = 99;
    const std::optional<Encoding> chosen = frmMain::ChooseEncoding(bytes, nMark);
    Check(nMark <= bytes.size() && nMark <= 4);
    // Bytes without a NUL byte are never UTF-16 without a mark, nor of an
    // encoding that cannot be told (so no 8-bit file reads otherwise than
    // before); of the marks only UTF-8's is valid UTF-8 itself.
    const bool bNul = bytes.find('\0') != std::string_view::npos;
    Check(chosen || (bNul && nMark == 0));
    const Encoding encoding = chosen.value_or(Encoding::Ansi);
    const std::string_view text = frmMain::TextBytes(bytes, nMark, encoding);
    if (chosen && nMark == 0 && (encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE)) {
        Check(bNul && CodeUnits::Decode(text, encoding).find(u'\0') == Text::npos);
    } else if (chosen) {
        Check((encoding == Encoding::Utf8 && nMark == 0) == (IsUtf8(bytes) && bytes.substr(0, 3) != "\xEF\xBB\xBF"));
    }
    Check(encoding != Encoding::Ansi || nMark == 0);
    // The text is what follows the mark, less NUL bytes at the end only.
    Check(text.data() == bytes.data() + nMark && text.size() <= bytes.size() - nMark);
    Check(bytes.find_first_not_of('\0', nMark + text.size()) == std::string_view::npos);

    // UTF-16: a unit for every two bytes, and U+FFFD for an odd one.
    for (Encoding utf16 : {Encoding::Utf16LE, Encoding::Utf16BE}) {
        const Text sText = CodeUnits::Decode(bytes, utf16);
        Check(sText.size() == (bytes.size() + 1) / 2 && (bytes.size() % 2 == 0 || sText.back() == u'\xFFFD'));
    }

    // UTF-32: the text written back as UTF-32 reads as the same text, which
    // an unpaired surrogate would not.
    for (Encoding utf32 : {Encoding::Utf32LE, Encoding::Utf32BE}) {
        const Text sText = CodeUnits::Decode(bytes, utf32);
        const size_t nUnits = (bytes.size() + 3) / 4;
        Check(sText.size() >= nUnits && sText.size() <= 2 * nUnits);
        std::string again;
        for (size_t i = 0; i < sText.size(); ++i) {
            uint32_t nValue = sText[i];
            if (nValue >= 0xD800 && nValue <= 0xDBFF && i + 1 < sText.size())
                nValue = 0x10000 + ((nValue - 0xD800) << 10) + (sText[++i] - 0xDC00);
            for (int k = 0; k < 4; ++k)
                again += static_cast<char>(nValue >> (utf32 == Encoding::Utf32LE ? 8 * k : 24 - 8 * k));
        }
        Check(CodeUnits::Decode(again, utf32) == sText);
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CheckBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    if (size < 10)
        return 0;
    int32_t nCode;
    AppVersion version;
    std::memcpy(&nCode, data, 4);
    std::memcpy(&version, data + 4, 6);
    Text sLine((size - 10) / 2, u'\0');
    std::memcpy(sLine.data(), data + 10, sLine.size() * 2);

    // The argument is the end of the line, untouched, and starts after a blank.
    const Text sArgument = frmMain::ArgumentOf(sLine);
    Check(sArgument.size() <= sLine.size());
    Check(sLine.compare(sLine.size() - sArgument.size(), Text::npos, sArgument) == 0);
    Check(sArgument.empty() || sArgument[0] > u' ' || sArgument[0] == 0);

    // The path is the argument, or what lies inside it between two marks.
    const Text sPath = frmMain::UnquotePath(sArgument);
    Check(sPath == sArgument ||
          (sPath.find(u'"') == Text::npos && sPath.size() + 2 <= sArgument.size() &&
           sArgument.find(u'"' + sPath + u'"') != Text::npos));

    // The report keeps its five lines around whatever the place and description hold.
    const Text sVersion = frmMain::VersionText(version);
    const Text sReport = frmMain::ReportText(sArgument, ErrorInfo{nCode, sLine}, version);
    Check(StartsWith(sReport, u"エラー番号:"));
    const size_t nPlace = sReport.find(u"\r\n場所:");
    Check(nPlace != Text::npos);
    Check(sReport.compare(nPlace + 5, sArgument.size() + sVersion.size(), sArgument + sVersion) == 0);
    Check(sReport.size() > sLine.size() && sReport.back() == u'。');
    // major.minor.revision, the minor with at least two digits and the revision four.
    const size_t nFirst = sVersion.find(u'.'), nSecond = sVersion.find(u'.', nFirst + 1);
    Check(nFirst != Text::npos && nSecond != Text::npos && nSecond - nFirst > 2 && sVersion.size() - nSecond > 4);
    return 0;
}
