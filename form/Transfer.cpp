#include "app/EndProgram.h"
#include "form/frmMain.h"
#include <algorithm>
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
        const std::optional<Encoding> encoding = ChooseEncoding(bytes, nMark);
        if (!encoding)
            throw ErrorInfo{ErrorInfo::InvalidFileFormat, platform_.Describe(Description::Untold)};
        sResult = platform_.BytesToText(TextBytes(bytes, nMark, *encoding), *encoding);
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

std::optional<Encoding> frmMain::ChooseEncoding(std::string_view bytes, size_t& nMark)
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
    // Before the UTF-8 check: ASCII with NUL bytes is valid UTF-8. The NUL
    // padding at the end says nothing of the text.
    if (bytes.find('\0') != std::string_view::npos) {
        switch (Utf16WithoutMark(TextBytes(bytes, 0, Encoding::Utf16LE))) {
        case Utf16::LittleEndian: return Encoding::Utf16LE;
        case Utf16::BigEndian: return Encoding::Utf16BE;
        case Utf16::Untold: return std::nullopt;
        case Utf16::No: break;
        }
    }
    return IsUtf8(bytes) ? Encoding::Utf8 : Encoding::Ansi;
}

// A run of NUL bytes at the very end, after the text, is padding (what a crash
// or a preallocated file leaves): the text ends before it, with the code unit
// that holds its last bytes kept whole. Nothing but NUL bytes after the mark is
// no padding: those stay, and the NUL check refuses them.
std::string_view frmMain::TextBytes(std::string_view bytes, size_t nMark, Encoding encoding)
{
    const size_t nUnit = encoding == Encoding::Utf32LE || encoding == Encoding::Utf32BE ? 4
                         : encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE ? 2
                                                                                          : 1;
    const size_t nEnd = (bytes.find_last_not_of('\0') + 1 + nUnit - 1) / nUnit * nUnit;  // npos + 1 is 0
    return bytes.substr(nMark, nEnd > nMark ? std::min(nEnd, bytes.size()) - nMark : std::string_view::npos);
}

// UTF-16 without a mark is read only where its text shows the byte order, never
// by a count of NUL bytes: U+3000 (the ideographic space) and ideographs such as
// 一, 开, 最 and 言 put theirs on the other side than Latin characters do, and in
// Chinese or Japanese they often outnumber the line breaks. So the bytes are
// read both ways, and a reading is the text's when it holds nothing that text
// does not (see Reading) and either
// - shows line breaks or blanks (U+000A, U+000D, U+0009, U+0020) and two
//   characters below U+0100 at least, where the other reading shows none: read
//   the wrong way round they are U+0A00, U+0D00, U+0900 and U+2000; or
// - is made only of characters below U+0100 (a word, a number), with no line
//   break or blank either way.
// Not UTF-16 at all, and refused as binary by their NUL bytes: bytes with a
// U+0000 code unit (a NUL run, binary data), and bytes where neither reading
// shows a blank or two characters below U+0100 (a stray NUL byte).
// Of an encoding that cannot be told: bytes that fit none of this, and bytes in
// part 8-bit text beside UTF-16 (two neighbouring characters below U+0100): CR
// LF as two neighbouring bytes (UTF-16 makes them four), or code units of two
// ASCII characters making up most of those without a NUL byte.
// Bytes whose one NUL byte is their last may be 8-bit text before NUL padding,
// or UTF-16 LE whose last character is below U+0100: they are 8-bit text when
// they hold no control character but TAB, LF, FF and CR, and either look like
// ASCII as above or hold what text does not in both readings; else they cannot
// be told.
frmMain::Utf16 frmMain::Utf16WithoutMark(std::string_view bytes)
{
    // What one byte order makes of the bytes. Text does not hold a control
    // character but TAB, LF, FF and CR, an unpaired surrogate, a noncharacter or
    // a private-use character (the wrong reading of Chinese, Japanese or Korean
    // is full of these), nor Gurmukhi, Gujarati, Malayalam or Sinhala (U+0Axx,
    // U+0Dxx, where the bytes of an 8-bit LF or CR land) unless two of them at
    // least make half of the characters without a NUL byte: the text's script.
    struct Reading {
        size_t nLatin1 = 0, nBreaks = 0, nWrong = 0, nIndic = 0;
        bool bNeighbours = false, bLastLatin1 = false, bHighSurrogate = false;

        void Add(char16_t c)
        {
            const bool bLatin1 = c < 0x100;
            nLatin1 += bLatin1;
            bNeighbours = bNeighbours || (bLatin1 && bLastLatin1);
            bLastLatin1 = bLatin1;
            nBreaks += c == u'\n' || c == u'\r' || c == u'\t' || c == u' ';
            nIndic += c >> 8 == 0x0A || c >> 8 == 0x0D;
            const bool bLow = c >= 0xDC00 && c <= 0xDFFF;
            nWrong += (bHighSurrogate && !bLow) || (bLow && !bHighSurrogate);
            bHighSurrogate = c >= 0xD800 && c <= 0xDBFF;
            nWrong += (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\f' && c != u'\r') || (c >= 0x7F && c <= 0x9F) ||
                      (c >= 0xE000 && c <= 0xF8FF) || (c >= 0xFDD0 && c <= 0xFDEF) || c >= 0xFFFE;
        }
    } readings[2];  // little endian, big endian
    size_t nWithoutNul = 0, nAsciiPairs = 0, nNuls = 0, nControls = 0;
    const auto Ascii = [](unsigned char b) { return b >= 0x20 && b < 0x7F; };
    const auto Control = [](unsigned char b) { return b && b < 0x20 && b != '\t' && b != '\n' && b != '\f' && b != '\r'; };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const unsigned char b0 = bytes[i], b1 = bytes[i + 1];
        if (b0 == 0 && b1 == 0)
            return Utf16::No;
        readings[0].Add(static_cast<char16_t>(b1 << 8 | b0));
        readings[1].Add(static_cast<char16_t>(b0 << 8 | b1));
        nWithoutNul += b0 && b1;
        nNuls += !b0 + !b1;
        nControls += Control(b0) + Control(b1);
        nAsciiPairs += Ascii(b0) && Ascii(b1);
    }
    for (Reading& reading : readings) {
        reading.nWrong += reading.bHighSurrogate;
        if (reading.nIndic < 2 || reading.nIndic * 2 < nWithoutNul)
            reading.nWrong += reading.nIndic;
    }
    const auto& [le, be] = readings;
    const bool bAsciiPairs = nWithoutNul >= 8 && nAsciiPairs * 4 >= nWithoutNul * 3;
    if (nNuls == 1 && bytes.back() == '\0')
        return !nControls && (bAsciiPairs || (le.nWrong && be.nWrong)) ? Utf16::No : Utf16::Untold;
    if (!le.nBreaks && !be.nBreaks && le.nLatin1 < 2 && be.nLatin1 < 2)
        return Utf16::No;
    if (bAsciiPairs || bytes.find("\r\n") != std::string_view::npos)
        return le.bNeighbours || be.bNeighbours ? Utf16::Untold : Utf16::No;
    const size_t nUnits = bytes.size() / 2;
    for (int k = 0; k < 2; ++k) {
        const Reading &reading = readings[k], &other = readings[1 - k];
        const bool bShown = !other.nBreaks && (reading.nBreaks ? reading.nLatin1 >= 2 : reading.nLatin1 == nUnits);
        if (bShown && !reading.nWrong)
            return k == 0 ? Utf16::LittleEndian : Utf16::BigEndian;
    }
    return Utf16::Untold;
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
