#include "app/EndProgram.h"
#include "form/frmMain.h"
#include <utility>

// The path arrives by value: the field that may have held it is overwritten below.
void frmMain::CopyToClip(Text sPath)
{
    try {
        platform_.HideForm();
        // Temporaries, so that neither the text nor the copy read back outlives
        // its statement: for a large file each is as big as the field's own copy.
        platform_.SetFieldText(ReadText(sPath));
        // Right after the text is set the selection starts at 0, so one selection
        // call covers both the start and the length of what the field really holds
        // (the field ends its text at a NUL character, for one).
        platform_.SelectField(0, static_cast<int32_t>(platform_.FieldText().size()));
        platform_.CopyField();
    } catch (...) {
        ReportAndEnd(u"CopyToClip");
    }
}

Text frmMain::ReadText(const Text& sPath)
{
    Text sResult;
    try {
        auto file = platform_.OpenForRead(UnquotePath(sPath));
        const int64_t nLength = file->Length();
        if (nLength > INT32_MAX)
            throw ErrorInfo{ErrorInfo::Overflow, platform_.Describe(Description::TooLarge)};
        std::string bytes = file->Read(static_cast<int32_t>(nLength));
        size_t nMark = 0;
        const Encoding encoding = ChooseEncoding(bytes, nMark);
        sResult = platform_.BytesToText(std::string_view(bytes).substr(nMark), encoding);
        std::string().swap(bytes);  // the bytes are not needed past this point
        file.reset();               // closes the file
        // The field ends its text at a NUL character: the copy would be cut short
        // there without a word. And an empty text would leave on the clipboard
        // what was there before, to be pasted as if it were the file's.
        if (sResult.find(u'\0') != Text::npos)
            throw ErrorInfo{ErrorInfo::InvalidFileFormat, platform_.Describe(Description::Binary)};
        if (sResult.empty())
            throw ErrorInfo{ErrorInfo::InputPastEnd, platform_.Describe(Description::Empty)};
    } catch (...) {
        StoreFailure();
        if (Err_.IsPathFailure()) {
            ShowMessage(u"指定されたパスに間違いがあります。", Program::Name, 0x1030);
            return Text();
        }
        ErrorMsg(u"frmMain!ReadText");
        EndProgram(1);
    }
    return sResult;
}

// Explorer quotes a path with blanks when a file is dropped on the program or
// sent to it, "Open with" quotes every path, and so does "Copy as path"; a
// Windows file name never holds a quotation mark.
Text frmMain::UnquotePath(const Text& sPath)
{
    const size_t nFirst = sPath.find_first_not_of(u" \t");
    const size_t nLast = sPath.find_last_not_of(u" \t");
    if (nFirst == Text::npos || nLast == nFirst || sPath[nFirst] != u'"' || sPath[nLast] != u'"')
        return sPath;
    const Text sInside = sPath.substr(nFirst + 1, nLast - nFirst - 1);
    return sInside.find(u'"') == Text::npos ? sInside : sPath;
}

Encoding frmMain::ChooseEncoding(std::string_view bytes, size_t& nMark)
{
    // In this order: the UTF-32 LE mark begins with the UTF-16 LE one.
    static constexpr std::pair<std::string_view, Encoding> marks[] = {
        {{"\xEF\xBB\xBF", 3}, Encoding::Utf8},  {{"\xFF\xFE\0\0", 4}, Encoding::Utf32LE},
        {{"\0\0\xFE\xFF", 4}, Encoding::Utf32BE}, {{"\xFF\xFE", 2}, Encoding::Utf16LE},
        {{"\xFE\xFF", 2}, Encoding::Utf16BE},
    };
    for (const auto& [mark, encoding] : marks) {
        if (bytes.substr(0, mark.size()) == mark) {
            nMark = mark.size();
            return encoding;
        }
    }
    nMark = 0;
    // Before the UTF-8 check: ASCII with NUL bytes is valid UTF-8.
    if (bytes.find('\0') != std::string_view::npos) {
        if (const auto utf16 = Utf16WithoutMark(bytes))
            return *utf16;
    }
    return IsUtf8(bytes) ? Encoding::Utf8 : Encoding::Ansi;
}

// UTF-16 without a mark is told by where its NUL bytes stand. Each character
// below U+0100 (line breaks, digits, blanks, Latin letters) has a NUL high
// byte: at an odd offset in UTF-16 LE, an even one in BE. Only characters at a
// multiple of U+0100 put one on the other side: in Japanese, U+3000 (the
// ideographic space) and a few kanji such as U+4E00, which the line breaks
// (two characters each), digits and blanks of real text outnumber; a line
// indented with U+3000 still has two to one. So the bytes are UTF-16 when:
// - no code unit is U+0000 (in either order): a run of three NUL bytes or
//   more, as binary data and a log that a crash cut short hold, makes one;
// - the NUL bytes on one side are at least twice those on the other: bytes
//   whose NULs fall on both sides alike (binary data, NUL-separated records)
//   are not text either way;
// - two of those stand in neighbouring code units, as any two characters below
//   U+0100 in a row do (a line break, a number): a stray NUL byte or two in
//   8-bit text does not.
// Bytes that fail are read as before, and their NUL bytes then keep the text
// from being copied.
std::optional<Encoding> frmMain::Utf16WithoutMark(std::string_view bytes)
{
    size_t nNuls[2] = {};            // at even offsets (BE's high bytes), at odd ones (LE's)
    bool bInRow[2] = {}, bLast[2] = {};
    for (size_t i = 0; i < bytes.size(); i += 2) {
        // An odd last byte stands alone: the conversion makes it U+FFFD.
        const bool bNul[2] = {bytes[i] == '\0', i + 1 < bytes.size() && bytes[i + 1] == '\0'};
        if (bNul[0] && bNul[1])
            return std::nullopt;
        for (int k = 0; k < 2; ++k) {
            nNuls[k] += bNul[k];
            bInRow[k] = bInRow[k] || (bNul[k] && bLast[k]);
            bLast[k] = bNul[k];
        }
    }
    if (bInRow[1] && nNuls[1] >= 2 * nNuls[0])
        return Encoding::Utf16LE;
    if (bInRow[0] && nNuls[0] >= 2 * nNuls[1])
        return Encoding::Utf16BE;
    return std::nullopt;
}

// The well-formed byte sequences of the Unicode standard (its table 3-7), which
// is what the system's converter accepts from UTF-8 when it is asked to refuse
// invalid characters.
bool frmMain::IsUtf8(std::string_view bytes)
{
    const auto Byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char nLead = Byte(i++);
        if (nLead < 0x80)
            continue;
        size_t nMore;
        unsigned char nLow = 0x80, nHigh = 0xBF;  // the second byte's range
        if (nLead >= 0xC2 && nLead <= 0xDF) {
            nMore = 1;
        } else if (nLead >= 0xE0 && nLead <= 0xEF) {
            nMore = 2;
            if (nLead == 0xE0)
                nLow = 0xA0;   // overlong below
            else if (nLead == 0xED)
                nHigh = 0x9F;  // surrogates above
        } else if (nLead >= 0xF0 && nLead <= 0xF4) {
            nMore = 3;
            if (nLead == 0xF0)
                nLow = 0x90;   // overlong below
            else if (nLead == 0xF4)
                nHigh = 0x8F;  // past U+10FFFF above
        } else {
            return false;
        }
        if (bytes.size() - i < nMore || Byte(i) < nLow || Byte(i) > nHigh)
            return false;
        for (size_t k = 1; k < nMore; ++k) {
            if ((Byte(i + k) & 0xC0) != 0x80)
                return false;
        }
        i += nMore;
    }
    return true;
}
