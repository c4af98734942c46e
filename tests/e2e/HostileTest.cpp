// Whatever path Quillbox.exe is given on its command line, it ends with a clear
// message or a correct copy: it never hangs, never writes, and changes the
// clipboard only when it copied. One row per case. Where Windows is documented
// to answer otherwise than Wine, the row's "windows" column says how.
#include "AppTest.h"
#include <map>
#include <tuple>

using namespace e2e;

namespace {

// What the user gets.
struct Outcome {
    enum Kind { Copy, PathWarning, Report } kind;
    std::wstring text;  // Copy: the clipboard's text; Report: the description, line 3
    int code = 0;       // Report
    const wchar_t* place = L"frmMain!ReadText";  // Report
};
Outcome Copies(std::wstring text) { return {Outcome::Copy, std::move(text)}; }
const Outcome Warns{Outcome::PathWarning, L""};
Outcome Reports(int code, std::wstring description, const wchar_t* place = L"frmMain!ReadText")
{
    return {Outcome::Report, std::move(description), code, place};
}

const std::wstring TooLarge = L"The file is 2 GB or larger. Quillbox copies files smaller than 2 GB.";
const std::wstring Shrank = L"The file became shorter while it was being read. Nothing was copied.";
const std::wstring ClipboardHeld = L"Another program is holding the clipboard, so nothing was copied. Please try again.";
const std::wstring Binary = L"This file holds binary data (a NUL character), so it was not copied.";
const std::wstring Empty = L"The file is empty, so nothing was copied.";
const std::wstring Untold = L"Quillbox could not tell how this file's text is written, so it was not copied: it looks "
                            L"like UTF-16 without a byte-order mark, at least in part. Save it with a byte-order mark "
                            L"(BOM) and try again.";
const std::wstring TooLargeInJapanese =
    L"ファイルのサイズが 2 GB 以上です。Quillbox でコピーできるのは 2 GB 未満のファイルです。";
// The text of a file that today's Notepad saves: UTF-8 without a mark.
const std::wstring Notes = L"café 日本語 ✓\r\n";
const std::string NotesInUtf8 = "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xE2\x9C\x93\r\n";

std::string AllByteValuesButNul()
{
    std::string bytes;
    for (int b = 1; b < 256; ++b)
        bytes += static_cast<char>(b);
    return bytes;
}

std::wstring Ascii(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// UTF-16 without a mark, as a program that writes its code units as they are makes it.
std::string Utf16(const std::wstring& text, bool bBigEndian = false)
{
    std::string bytes;
    for (const wchar_t c : text)
        bytes += bBigEndian ? std::string{char(c >> 8), char(c)} : std::string{char(c), char(c >> 8)};
    return bytes;
}
const std::wstring Indented = L"　　我们最开始的时候\r\n　　后来开发言论最多\r\n";
const std::wstring Contents = L"目次\r\n第一章　　　　　　　　１\r\n第二章　　　　　　　　１５\r\n";

std::string Repeated(const std::string& piece, size_t length)
{
    std::string s;
    while (s.size() < length)
        s += piece;
    return s.substr(0, length);
}

// A path into the test folder longer than MAX_PATH: nested folders, each made.
std::wstring DeepFolder(const TempFolder& folder, size_t length)
{
    std::wstring relative;
    while (folder.Path().size() + relative.size() < length) {
        relative += std::wstring(40, L'd') + std::to_wstring(relative.size());
        folder.Folder(relative);
        relative += L"\\";
    }
    return relative;
}

// One case's set-up: its files, and what this test process holds or does
// while the app runs. Returns paths for the rows to build their argument from.
class Stage {
public:
    enum class DuringRead { Nothing, Truncate, Delete, HoldClipboard };

    explicit Stage(const TempFolder& folder) : folder_(folder) {}
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;
    // Wine cannot delete a FIFO, so the folder could not be removed with it in.
    ~Stage()
    {
        if (!fifo_.empty())
            RunLinux(L"rm -f '" + fifo_ + L"'");
    }

    std::wstring In(const std::wstring& name) const { return folder_.Path() + name; }
    std::wstring File(const std::wstring& name, const std::string& bytes)
    {
        return target_ = folder_.File(name, bytes);
    }
    std::wstring Folder(const std::wstring& name) const { return folder_.Folder(name); }
    std::wstring Sparse(const std::wstring& name, long long length)
    {
        return target_ = folder_.SparseFile(name, length);
    }
    std::wstring Deep(size_t length) const { return DeepFolder(folder_, length); }

    // The file stays open in this process, with that access and sharing, until the case ends.
    std::wstring Held(const std::wstring& path, DWORD access, DWORD share)
    {
        held_.push_back(FileHandle(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr)));
        if (!held_.back())
            throw SetupFailure("cannot hold the file open");
        return path;
    }
    // The file's bytes are locked by this process, as a database locks a range.
    std::wstring Locked(const std::wstring& path)
    {
        Held(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
        OVERLAPPED whole{};
        const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY;
        if (!LockFileEx(held_.back().get(), flags, 0, MAXDWORD, MAXDWORD, &whole))
            throw SetupFailure("cannot lock the file");
        return path;
    }
    // A named pipe whose server never writes: a read from it would wait forever.
    std::wstring Pipe()
    {
        const std::wstring name = L"\\\\.\\pipe\\qb-e2e-" + std::to_wstring(GetCurrentProcessId());
        held_.push_back(FileHandle(
            CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0, nullptr)));
        if (!held_.back())
            throw SetupFailure("cannot make a named pipe");
        return name;
    }
    // A Linux FIFO with no writer: a read from it would wait forever.
    std::wstring Fifo(const std::wstring& name)
    {
        using UnixName = char*(CDECL*)(const wchar_t*);
        const auto unixName = reinterpret_cast<UnixName>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
        char* folder = unixName ? unixName(folder_.Path().c_str()) : nullptr;
        if (!folder)
            throw SetupFailure("not under Wine: no Unix name for the test folder");
        const std::string unixFolder = folder;
        HeapFree(GetProcessHeap(), 0, folder);
        if (!RunLinux(L"mkfifo '" + Ascii(unixFolder) + name + L"'"))
            throw SetupFailure("cannot make a FIFO");
        fifo_ = Ascii(unixFolder) + name;
        return In(name);
    }

    // Once the app has taken the file's length and before it reads it.
    void During(DuringRead what) { duringRead_ = what; }
    // The clipboard is held open by this process for that long, from before the read.
    void HoldClipboard(Duration held)
    {
        duringRead_ = DuringRead::HoldClipboard;
        clipboardHeld_ = held;
    }
    Duration ClipboardHeldFor() const { return clipboardHeld_; }
    DuringRead During() const { return duringRead_; }
    const std::wstring& Target() const { return target_; }
    void NeedCodePage(UINT codePage) { codePage_ = codePage; }
    UINT CodePage() const { return codePage_; }

private:
    const TempFolder& folder_;
    std::vector<Handle> held_;
    std::wstring target_;
    std::wstring fifo_;  // its Unix name
    DuringRead duringRead_ = DuringRead::Nothing;
    Duration clipboardHeld_{};
    UINT codePage_ = 0;
};

struct Case {
    const char* name;
    std::wstring (*argument)(Stage& stage);  // sets the case up and gives the app's argument
    Outcome outcome;                          // under Wine
    const char* windows = nullptr;            // where Windows is documented to answer otherwise
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

// For the app to show its box or end, and to end after the box: past it, it hangs.
constexpr Duration Bound = 10s;

using During = Stage::DuringRead;

const Case cases[] = {
    // ---- names that lead nowhere ----
    {"MissingFile", [](Stage& s) { return s.In(L"missing.txt"); }, Warns},
    {"MissingFolder", [](Stage& s) { return s.In(L"no folder\\file.txt"); }, Warns},
    {"FolderNamedAsTheFile", [](Stage& s) { return s.Folder(L"folder"); }, Warns},
    {"FileNamedAsAFolder", [](Stage& s) { return s.File(L"file.txt", "x") + L"\\x"; }, Warns},
    {"TrailingBackslash", [](Stage& s) { return s.File(L"file.txt", "x") + L"\\"; }, Warns},
    // As Explorer passes a path with blanks: one pair of quotation marks around it is taken off.
    {"PathInQuotationMarks", [](Stage& s) { return L"\"" + s.File(L"memo 1.txt", "quoted") + L"\" "; },
     Copies(L"quoted")},
    {"OnlyQuotationMarks", [](Stage&) { return std::wstring(L"\"\""); }, Warns},
    // Several files dropped at once: quotation marks inside the name (error 123).
    {"SeveralPathsInQuotationMarks",
     [](Stage& s) { return L"\"" + s.File(L"a b.txt", "a") + L"\" \"" + s.File(L"c.txt", "c") + L"\""; }, Warns},
    {"Star", [](Stage& s) { s.File(L"file.txt", "x"); return s.In(L"*.txt"); }, Warns},
    {"QuestionMark", [](Stage& s) { s.File(L"file.txt", "x"); return s.In(L"fil?.txt"); }, Warns},
    {"LessThan", [](Stage& s) { s.File(L"file.txt", "x"); return s.In(L"file<txt"); }, Warns},
    {"Bar", [](Stage& s) { s.File(L"file.txt", "x"); return s.In(L"file|.txt"); }, Warns},
    // The system drops blanks at the end of a name.
    {"TrailingBlanks", [](Stage& s) { return s.File(L"file.txt", "blanks after") + L"   "; }, Copies(L"blanks after")},
    {"MissingDrive", [](Stage&) { return std::wstring(L"Q:\\file.txt"); }, Warns, "error 3, not 2: the same warning"},
    {"MissingServer", [](Stage&) { return std::wstring(L"\\\\no-server.invalid\\share\\file.txt"); }, Warns,
     "error 53 after a network look-up that may take many seconds: the same warning"},
    // The program is long-path aware: past MAX_PATH a file still copies.
    {"PathOver260Characters", [](Stage& s) { return s.File(s.Deep(300) + L"deep.txt", "deep"); }, Copies(L"deep")},
    {"PathOf40000Characters", [](Stage& s) { return s.In(Ascii(Repeated("x\\", 40000 - s.In(L"").size()))); }, Warns,
     "CreateProcess refuses a command line past 32,767 characters, where Wine cuts it at 32,766; typed in "
     "the dialog, the name is too long (error 206): the same warning"},
    // ---- devices and other things that are not files; a read of some would never end ----
    {"Nul", [](Stage&) { return std::wstring(L"NUL"); }, Warns},
    {"Con", [](Stage&) { return std::wstring(L"CON"); }, Warns},
    {"Com1", [](Stage&) { return std::wstring(L"COM1"); }, Warns, "error 2 without a serial port: the same warning"},
    {"Aux", [](Stage&) { return std::wstring(L"AUX"); }, Warns, "error 2 without a serial port: the same warning"},
    {"Prn", [](Stage&) { return std::wstring(L"PRN"); }, Warns},
    {"ConTxt", [](Stage&) { return std::wstring(L"CON.txt"); }, Warns,
     "a device name followed by an extension is documented as the device: the same warning"},
    {"MissingPipe", [](Stage&) { return std::wstring(L"\\\\.\\pipe\\none"); }, Warns},
    {"PipeThatNeverWrites", [](Stage& s) { return s.Pipe(); }, Warns},
    {"PhysicalDrive0", [](Stage&) { return std::wstring(L"\\\\.\\PhysicalDrive0"); }, Warns,
     "error 5 without administrator rights: the same warning"},
    {"LinuxFifoWithoutWriter", [](Stage& s) { return s.Fifo(L"fifo"); }, Warns, "no such thing"},
    {"LinuxDevZero", [](Stage&) { return std::wstring(L"Z:\\dev\\zero"); }, Warns, "no such thing"},
    // Linux reports no length for its /proc files: to Quillbox they are empty.
    {"LinuxProcFile", [](Stage&) { return std::wstring(L"Z:\\proc\\version"); }, Reports(62, Empty), "no such thing"},
    // ---- files that others hold ----
    {"HeldWithoutSharing", [](Stage& s) { return s.Held(s.File(L"held.txt", "held"), GENERIC_READ, 0); }, Warns},
    // Wine keeps byte-range locks from other locks only, not from reads.
    {"LockedByAnotherProcess", [](Stage& s) { return s.Locked(s.File(L"locked.txt", "locked")); }, Copies(L"locked"),
     "the read fails with error 33: the path warning"},
    // Quillbox asks for reading only, and shares writing: an editor may keep the file open.
    {"OpenForWritingWithReadSharing",
     [](Stage& s) { return s.Held(s.File(L"open.txt", "being edited"), GENERIC_WRITE, FILE_SHARE_READ); },
     Copies(L"being edited")},
    {"TruncatedAfterItsLengthWasTaken",
     [](Stage& s) {
         s.During(During::Truncate);
         return s.File(L"shrinks.txt", "this file loses its second half");
     },
     Reports(62, Shrank)},
    // Quillbox shares no deletion: the file stays whole while it is open.
    {"DeletedAfterItsLengthWasTaken",
     [](Stage& s) {
         s.During(During::Delete);
         return s.File(L"stays.txt", "still here");
     },
     Copies(L"still here")},
    // ---- contents ----
    // Nothing to copy, and the clipboard's text must not pass for the file's.
    {"EmptyFile", [](Stage& s) { return s.File(L"empty.txt", ""); }, Reports(62, Empty)},
    {"OnlyAByteOrderMark", [](Stage& s) { return s.File(L"mark.txt", "\xEF\xBB\xBF"); }, Reports(62, Empty)},
    {"OneCharacter", [](Stage& s) { return s.File(L"one.txt", "x"); }, Copies(L"x")},
    // The field would copy the text only up to its first NUL.
    {"NulBytes", [](Stage& s) { return s.File(L"zeros.log", "before" + std::string(600, '\0') + "after"); },
     Reports(321, Binary)},
    {"BinaryFile", [](Stage& s) { return s.File(L"all.bin", AllByteValuesButNul() + std::string(1, '\0') + "tail"); },
     Reports(321, Binary)},
    {"OnlyCr", [](Stage& s) { return s.File(L"cr.txt", "a\rb\r\rc\r"); }, Copies(L"a\rb\r\rc\r")},
    {"OnlyLf", [](Stage& s) { return s.File(L"lf.txt", "\na\nb\n\n"); }, Copies(L"\na\nb\n\n")},
    {"MixedLineBreaks", [](Stage& s) { return s.File(L"mixed.txt", "a\r\nb\nc\rd\n\re\r\n"); },
     Copies(L"a\r\nb\nc\rd\n\re\r\n")},
    {"Exactly32768Characters", [](Stage& s) { return s.File(L"32k.txt", Repeated("0123456789abcdef\r\n", 32768)); },
     Copies(Ascii(Repeated("0123456789abcdef\r\n", 32768)))},
    // Bytes that are no Shift-JIS: a lead byte before a blank, bytes unused by the
    // code page, a lead byte at the very end; the valid text around them stays.
    {"InvalidShiftJisUnderCodePage932",
     [](Stage& s) {
         s.NeedCodePage(932);
         return s.File(L"bad-sjis.txt", "\x82\xa0[\x81 ][\x80\xa0\xfd\xfe\xff]\x82\xa2\x88");
     },
     Copies(L"あ[・][\u0080\uf8f0\uf8f1\uf8f2\uf8f3]い・"),
     "the single bytes alike (its best-fit table for code page 932); whether the blank after the lone lead byte "
     "is kept is its converter's choice"},
    // Valid UTF-8 is read as UTF-8 whatever the code page; a byte-order mark is never copied.
    {"Utf8WithoutAMarkUnderCodePage932",
     [](Stage& s) {
         s.NeedCodePage(932);
         return s.File(L"notepad.txt", NotesInUtf8);
     },
     Copies(Notes)},
    {"Utf16LeWithoutAMark", [](Stage& s) { return s.File(L"unicode.txt", Utf16(Notes)); }, Copies(Notes)},
    // Without a mark, read only where the line breaks show the byte order: the
    // ideographic spaces and 一 开 最 言 outnumber them on the other side.
    {"Utf16BeChineseIndented", [](Stage& s) { return s.File(L"zh.txt", Utf16(Indented, true)); }, Copies(Indented)},
    {"Utf16LeContentsPadded", [](Stage& s) { return s.File(L"toc.txt", Utf16(Contents)); }, Copies(Contents)},
    {"Utf16LeAddressOfOneLine", [](Stage& s) { return s.File(L"jp.txt", Utf16(L"東京都　千代田区　一番町\n")); },
     Reports(321, Untold)},
    // What PowerShell 5.1's >> makes of an ANSI file: UTF-16 LE after 8-bit text.
    {"AnsiWithUtf16Appended",
     [](Stage& s) { return s.File(L"ps.txt", "caf\xE9 ansi\r\n" + Utf16(L"appended\r\n")); },
     Reports(321, Untold)},
    {"LogPaddedWithNulBytes", [](Stage& s) { return s.File(L"crash.log", "line 1\r\nline 2\n" + std::string(4096, '\0')); },
     Copies(L"line 1\r\nline 2\n")},
    {"Utf16LeWithAMark",
     [](Stage& s) {
         const std::string utf16(reinterpret_cast<const char*>(Notes.data()), Notes.size() * sizeof(wchar_t));
         return s.File(L"unicode.txt", "\xFF\xFE" + utf16);
     },
     Copies(Notes)},
    // ---- the clipboard ----
    // Another program holds it open for half a second, as clipboard managers do
    // for a moment: the copy is made once the clipboard is free.
    {"ClipboardHeldForAMoment",
     [](Stage& s) {
         s.HoldClipboard(500ms);
         return s.File(L"held.txt", "waited for");
     },
     Copies(L"waited for")},
    // Held for longer than Quillbox waits (about a second): the report, and the
    // clipboard keeps what it held.
    {"ClipboardHeldLongerThanQuillboxWaits",
     [](Stage& s) {
         s.HoldClipboard(4s);
         return s.File(L"held.txt", "never copied");
     },
     Reports(static_cast<int>(HRESULT_FROM_WIN32(ERROR_CLIPBOARD_NOT_OPEN)), ClipboardHeld, L"CopyToClip")},
    // ---- sizes the signed 32-bit length cannot hold ----
    {"SparseFileOf2GiB", [](Stage& s) { return s.Sparse(L"2g.bin", 1LL << 31); }, Reports(6, TooLarge)},
    {"SparseFileOf4GiBAndOneByte", [](Stage& s) { return s.Sparse(L"4g.bin", (1LL << 32) + 1); }, Reports(6, TooLarge)},
    // The program's own descriptions are Japanese for a user whose language is
    // (LC_ALL=ja_JP.UTF-8 makes Wine's UI language Japanese along with its code page).
    {"SparseFileOf2GiBUnderCodePage932",
     [](Stage& s) {
         s.NeedCodePage(932);
         return s.Sparse(L"2g.bin", 1LL << 31);
     },
     Reports(6, TooLargeInJapanese)},
};

// What the app could have written: every file and folder under the test folder,
// with its size, last write and attributes.
using Snapshot = std::map<std::wstring, std::tuple<ULONGLONG, ULONGLONG, DWORD>>;

void Take(const std::wstring& folder, const std::wstring& relative, Snapshot& snapshot)
{
    WIN32_FIND_DATAW found;
    const HANDLE h = FindFirstFileW((folder + relative + L"*").c_str(), &found);
    for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &found)) {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const FILETIME& written = found.ftLastWriteTime;
        snapshot[relative + name] = {(ULONGLONG{found.nFileSizeHigh} << 32) | found.nFileSizeLow,
                                     (ULONGLONG{written.dwHighDateTime} << 32) | written.dwLowDateTime,
                                     found.dwFileAttributes};
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Take(folder, relative + name + L"\\", snapshot);
    }
    if (h != INVALID_HANDLE_VALUE)
        FindClose(h);
}

Snapshot Take(const TempFolder& folder)
{
    Snapshot snapshot;
    Take(folder.Path(), L"", snapshot);
    return snapshot;
}

// Does to the file what the row asks, while the app waits to read it.
void Disturb(const Stage& stage)
{
    const std::wstring& path = stage.Target();
    if (stage.During() == During::Truncate) {
        const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;  // the app reads it
        const Handle file =
            FileHandle(CreateFileW(path.c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER half{};
        half.QuadPart = 10;
        ASSERT_TRUE(file && SetFilePointerEx(file.get(), half, nullptr, FILE_BEGIN) && SetEndOfFile(file.get()))
            << "cannot truncate the file the app holds (Windows error " << GetLastError() << ")";
    } else if (stage.During() == During::Delete) {
        EXPECT_FALSE(DeleteFileW(path.c_str())) << "the file was deleted while the app held it";
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    } else if (stage.During() == During::HoldClipboard) {
        ASSERT_TRUE(OpenClipboard(nullptr)) << "cannot hold the clipboard open";
    }
}

class HostileCase : public ::testing::TestWithParam<Case> {};

TEST_P(HostileCase, EndsWithAClearMessageOrACorrectCopy)
{
    const Case& row = GetParam();
    const Outcome& expected = row.outcome;
    SCOPED_TRACE(std::string("on Windows: ") + (row.windows ? row.windows : "the same"));
    TempFolder folder;
    Stage stage(folder);
    const std::wstring argument = row.argument(stage);
    if (stage.CodePage() && GetACP() != stage.CodePage())
        GTEST_SKIP() << "needs code page " << stage.CodePage() << " (LC_ALL=ja_JP.UTF-8)";
    ASSERT_TRUE(clipboard::PutText(Sentinel));
    const DWORD sequence = clipboard::Sequence();
    Snapshot before = Take(folder);

    const bool disturbs = stage.During() != During::Nothing;
    AppRun app(argument, disturbs ? AppRun::Start::PausedAtRead : AppRun::Start::AtOnce);
    if (disturbs) {
        ASSERT_TRUE(app.WaitAtRead(Bound)) << "the app never came to read the file";
        Disturb(stage);
        before = Take(folder);
        app.ContinueRead();
        if (stage.During() == During::HoldClipboard) {
            Sleep(static_cast<DWORD>(stage.ClipboardHeldFor().count()));
            CloseClipboard();
        }
    }

    const bool boxed = expected.kind == Outcome::PathWarning || expected.kind == Outcome::Report;
    const auto box = app.WaitForMessageBox(Bound);
    if (boxed) {
        ASSERT_TRUE(box) << (app.Running() ? "no message box and the app still runs: it hangs" : "no message box");
        EXPECT_TRUE(box->topmost) << "not system-modal";
        ASSERT_EQ(box->buttons.size(), 1u);
        EXPECT_EQ(box->buttons[0].text, L"OK");
        if (expected.kind == Outcome::PathWarning) {
            EXPECT_EQ(box->title, L"Quillbox");
            EXPECT_EQ(box->text, PathWarningText);
            EXPECT_EQ(box->icon, IconKind::Warning);
        } else {
            EXPECT_EQ(box->title, L"エラー - Quillbox");
            EXPECT_EQ(box->text, ErrorReport(std::to_wstring(expected.code), expected.place, expected.text));
            EXPECT_EQ(box->icon, IconKind::Error);
        }
        EXPECT_NE(app.PressReturn(box->hwnd), Dismissal::KeyIgnored);
    } else if (box) {
        ADD_FAILURE() << "unexpected box: " << testing::PrintToString(box->text);
        app.PressReturn(box->hwnd);
    }
    const std::optional<DWORD> exitCode = app.WaitForExit(Bound);
    ASSERT_TRUE(exitCode) << "the app did not end within " << Bound.count() << " ms: it hangs";
    EXPECT_EQ(*exitCode, boxed ? 1u : 0u);
    EXPECT_EQ(Classes(app.ShownWindows()), boxed ? std::vector<std::wstring>{L"#32770"} : std::vector<std::wstring>{});

    if (expected.kind == Outcome::Copy) {
        EXPECT_EQ(clipboard::Text(), expected.text);
    } else {
        EXPECT_EQ(clipboard::Text(), Sentinel);
        EXPECT_EQ(clipboard::Sequence(), sequence) << "something was put on the clipboard";
    }
    EXPECT_EQ(Take(folder), before) << "the test folder changed";
}

INSTANTIATE_TEST_SUITE_P(, HostileCase, ::testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
