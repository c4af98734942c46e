// The real platform layer under Wine: files, code pages, the field and the clipboard.
#include "form/frmMain.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Wide.h"
#include "../e2e/PatchImport.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

void EndProgram(uint32_t nExitCode) { ExitProcess(nExitCode); }

namespace {

std::wstring selfPath;

Text T(const std::wstring& s) { return Text(s.begin(), s.end()); }

std::wstring opened;  // the name last given to CreateFileW, while NoteOpened stands in for it
decltype(&CreateFileW) realCreateFileW = nullptr;
HANDLE WINAPI NoteOpened(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                         DWORD flags, HANDLE pattern)
{
    opened = name;
    return realCreateFileW(name, access, share, security, disposition, flags, pattern);
}

class PlatformTest : public ::testing::Test {
protected:
    Win32Platform platform{GetModuleHandleW(nullptr), SW_HIDE};
    std::wstring dir;

    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        dir = std::wstring(temp) + L"qb-platform-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(dir.c_str(), nullptr);
    }
    void TearDown() override
    {
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW((dir + L"*").c_str(), &found);
        for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &found)) {
            const std::wstring p = dir + found.cFileName;
            (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(p.c_str()) : DeleteFileW(p.c_str());
        }
        FindClose(h);
        RemoveDirectoryW(dir.c_str());
    }

    static void Write(const std::wstring& sPath, const std::string& bytes)
    {
        HANDLE h = CreateFileW(sPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n = 0;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        CloseHandle(h);
    }

    std::wstring Make(const std::wstring& name, const std::string& bytes)
    {
        Write(dir + name, bytes);
        return dir + name;
    }

    // The failure code that opening sPath raises; 0 if it opens.
    int32_t OpenCode(const std::wstring& sPath)
    {
        try {
            platform.OpenForRead(T(sPath));
        } catch (const ErrorInfo& failure) {
            EXPECT_FALSE(failure.Message.empty());
            return failure.Code;
        }
        return 0;
    }

    // As the program reads a file: its bytes whole, converted from their encoding.
    Text ReadAll(const std::wstring& sPath)
    {
        try {
            auto file = platform.OpenForRead(T(sPath));
            const std::string bytes = file->Read(static_cast<int32_t>(file->Length()));
            size_t nMark = 0;
            const Encoding encoding = frmMain::ChooseEncoding(bytes, nMark).value();
            return platform.BytesToText(frmMain::TextBytes(bytes, nMark, encoding), encoding);
        } catch (const ErrorInfo& failure) {
            ADD_FAILURE() << "failure " << failure.Code << ": " << std::string(failure.Message.begin(), failure.Message.end());
            return u"(failed)";
        }
    }
};

TEST_F(PlatformTest, PathFailuresGetThePathCodes)
{
    CreateDirectoryW((dir + L"folder").c_str(), nullptr);
    const std::wstring file = Make(L"file.txt", "x");
    EXPECT_EQ(OpenCode(dir + L"missing.txt"), 53);
    EXPECT_EQ(OpenCode(dir + L"missing\\file.txt"), 76);
    EXPECT_EQ(OpenCode(L"Q:\\file.txt"), 76);  // no drive Q: in the test prefix
    EXPECT_EQ(OpenCode(dir + L"folder"), 75);
    EXPECT_EQ(OpenCode(dir + L"folder\\"), 75);
    EXPECT_EQ(OpenCode(L"\"" + file + L"\""), 75);
    EXPECT_EQ(OpenCode(dir + L"*.txt"), 75);
    EXPECT_EQ(OpenCode(L""), 76);  // what "" names once its quotation marks are off
    EXPECT_EQ(OpenCode(file), 0);
}

// Devices open like files under Wine, and a read from COM1 never returns.
TEST_F(PlatformTest, DevicesAreRefusedWithoutReading)
{
    for (const wchar_t* name : {L"NUL", L"COM1", L"AUX", L"CON", L"CON.txt", L"\\\\.\\PhysicalDrive0"})
        EXPECT_EQ(OpenCode(name), 75) << std::string(name, name + wcslen(name));
}

TEST_F(PlatformTest, AFileHeldWithoutSharingByAnotherProcessIsAnAccessError)
{
    const std::wstring file = Make(L"held.txt", "x");
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, L"qb-platform-held");
    std::wstring command = L"\"" + selfPath + L"\" --hold \"" + file + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ASSERT_EQ(WaitForSingleObject(ready, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(OpenCode(file), 75);
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(ready);
    EXPECT_EQ(OpenCode(file), 0);
}

TEST_F(PlatformTest, AFileOpenForWritingWithReadSharingStillReads)
{
    const std::wstring file = Make(L"open.txt", "being edited");
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadAll(file), u"being edited");
    CloseHandle(h);
}

TEST_F(PlatformTest, ReadsBytesWholeAndConvertsThemAsTheyAre)
{
    EXPECT_EQ(ReadAll(Make(L"empty.txt", "")), u"");
    EXPECT_EQ(ReadAll(Make(L"lines.txt", "a\r\nb\nc\rd\x1a" "e")), u"a\r\nb\nc\rd\x1a" u"e");
    // The conversion keeps NUL characters; the field is what stops at them.
    EXPECT_EQ(ReadAll(Make(L"with-nul.txt", std::string("ab\0cd", 5))), Text(u"ab\0cd", 5));
}

TEST_F(PlatformTest, PathsAreRewrittenOnlyWhereTheSystemWouldNotOpenThemAsNamed)
{
    const struct {
        const char16_t* full;
        const char16_t* extended;
    } forms[] = {
        {u"C:\\notes\\memo.txt", u"\\\\?\\C:\\notes\\memo.txt"},
        {u"z:\\memo.txt", u"\\\\?\\z:\\memo.txt"},
        {u"\\\\server\\share\\memo.txt", u"\\\\?\\UNC\\server\\share\\memo.txt"},
        {u"\\\\?\\C:\\memo.txt", u"\\\\?\\C:\\memo.txt"},
        {u"\\\\?\\UNC\\server\\share", u"\\\\?\\UNC\\server\\share"},
        {u"\\\\.\\COM1", u"\\\\.\\COM1"},
        {u"C:", u"C:"},
        {u"\\\\", u"\\\\"},
        {u"", u""},
    };
    for (const auto& form : forms)
        EXPECT_EQ(Win32Platform::ExtendedForm(form.full), form.extended);
    // The 32-bit build opens with WOW64's redirection off, where Sysnative means nothing.
    const struct {
        const char16_t* path;
        const char16_t* windows;
        const char16_t* opened;
    } aliases[] = {
        {u"C:\\Windows\\Sysnative\\drivers\\etc\\hosts", u"C:\\Windows", u"C:\\Windows\\System32\\drivers\\etc\\hosts"},
        {u"c:\\WINDOWS\\sysNative\\a.txt", u"C:\\Windows\\", u"c:\\WINDOWS\\System32\\a.txt"},
        {u"C:\\Windows\\Sysnative\\", u"C:\\Windows", u"C:\\Windows\\System32\\"},
        {u"C:\\Windows\\Sysnative", u"C:\\Windows", u"C:\\Windows\\Sysnative"},
        {u"C:\\Windows\\Sysnatives\\a.txt", u"C:\\Windows", u"C:\\Windows\\Sysnatives\\a.txt"},
        {u"D:\\Windows\\Sysnative\\a.txt", u"C:\\Windows", u"D:\\Windows\\Sysnative\\a.txt"},
        {u"C:\\Users\\Windows\\Sysnative\\a.txt", u"C:\\Windows", u"C:\\Users\\Windows\\Sysnative\\a.txt"},
        {u"\\Sysnative\\a.txt", u"", u"\\Sysnative\\a.txt"},
        {u"C:/Windows/Sysnative/a.txt", u"C:\\Windows", u"C:\\Windows\\System32\\a.txt"},
        {u"C:\\Windows\\\\Sysnative\\a.txt", u"C:\\Windows", u"C:\\Windows\\System32\\a.txt"},
        {u"C:\\Windows\\.\\Sysnative\\a.txt", u"C:\\Windows", u"C:\\Windows\\System32\\a.txt"},
        {u"\\\\?\\C:\\Windows\\Sysnative\\a.txt", u"C:\\Windows", u"\\\\?\\C:\\Windows\\System32\\a.txt"},
        {u"\\\\.\\C:\\Windows\\Sysnative\\a.txt", u"C:\\Windows", u"\\\\.\\C:\\Windows\\System32\\a.txt"},
        {u"\\\\.\\c:\\windows\\.\\SYSNATIVE\\a.txt", u"C:\\Windows", u"\\\\.\\c:\\windows\\System32\\a.txt"},
    };
    for (const auto& alias : aliases)
        EXPECT_EQ(Win32Platform::WithoutSysnative(alias.path, alias.windows), alias.opened);

    // A real file 300 characters deep: its plain path, with blanks after it, and
    // through "..", which the extended form would not resolve by itself.
    std::wstring folders, last;
    std::vector<std::wstring> made;
    while ((dir + folders).size() < 300) {
        last = std::wstring(50, static_cast<wchar_t>(L'a' + made.size()));
        folders += last + L"\\";
        made.push_back(dir + folders);
        ASSERT_TRUE(CreateDirectoryW(made.back().c_str(), nullptr));
    }
    const std::wstring file = Make(folders + L"deep.txt", "deep");
    realCreateFileW = PatchImport("kernel32.dll", "CreateFileW", &NoteOpened);
    EXPECT_EQ(ReadAll(file), u"deep");
    PatchImport("kernel32.dll", "CreateFileW", realCreateFileW);
    EXPECT_EQ(opened.substr(0, 4), L"\\\\?\\") << "Windows opens it only so, Wine either way";
    EXPECT_EQ(ReadAll(file + L"  "), u"deep");
    EXPECT_EQ(ReadAll(made.back() + L"..\\" + last + L"\\deep.txt"), u"deep");
    DeleteFileW(file.c_str());
    for (auto folder = made.rbegin(); folder != made.rend(); ++folder)
        RemoveDirectoryW(folder->c_str());
}

TEST_F(PlatformTest, FileLengthBeyondTwoGigabytesIsTakenWhole)
{
    const std::wstring p = dir + L"sparse.bin";
    HANDLE h = CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER size;
    size.QuadPart = (int64_t{1} << 31) + 5;
    SetFilePointerEx(h, size, nullptr, FILE_BEGIN);
    SetEndOfFile(h);
    CloseHandle(h);
    EXPECT_EQ(platform.OpenForRead(T(p))->Length(), size.QuadPart);
}

// Under WOW64 (the 32-bit build on 64-bit Windows; the test platform_tests_wow64)
// a 32-bit program's System32 is SysWOW64 unless it turns that redirection off:
// the file read is the one named, in System32 itself or through Sysnative.
TEST_F(PlatformTest, UnderWow64System32IsReadAsNamed)
{
    BOOL bWow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &bWow64) || !bWow64)
        GTEST_SKIP() << "needs WOW64 (platform_tests_wow64)";
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring name = L"\\qb-wow64-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    const std::wstring system32 = windows + (L"\\System32" + name);
    const std::wstring syswow64 = windows + (L"\\SysWOW64" + name);
    PVOID pRedirection = nullptr;
    ASSERT_TRUE(Wow64DisableWow64FsRedirection(&pRedirection));
    Write(system32, "read as named");
    Wow64RevertWow64FsRedirection(pRedirection);
    Write(syswow64, "redirected");

    EXPECT_EQ(ReadAll(system32), u"read as named");
    EXPECT_EQ(ReadAll(windows + (L"\\Sysnative" + name)), u"read as named");
    EXPECT_EQ(ReadAll(syswow64), u"redirected");
    WIN32_FILE_ATTRIBUTE_DATA seen{};
    GetFileAttributesExW(system32.c_str(), GetFileExInfoStandard, &seen);
    EXPECT_EQ(seen.nFileSizeLow, 10u) << "the redirection is not back on after the open";

    DeleteFileW(syswow64.c_str());
    Wow64DisableWow64FsRedirection(&pRedirection);
    DeleteFileW(system32.c_str());
    Wow64RevertWow64FsRedirection(pRedirection);
}

// Run with LC_ALL=ja_JP.UTF-8 and QB_EXPECT_ACP=932: Wine's ANSI code page is then Shift-JIS.
TEST_F(PlatformTest, ShiftJisBytesBecomeTheSameJapaneseText)
{
    const char* expected = std::getenv("QB_EXPECT_ACP");
    if (!expected)
        GTEST_SKIP() << "needs LC_ALL=ja_JP.UTF-8 and QB_EXPECT_ACP=932";
    ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected)));
    // "日本語のテキスト\r\n半角ｶﾅ" in Shift-JIS.
    const std::string sjis = "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x4c\x83\x58\x83\x67\r\n\x94\xbc\x8a\x70\xb6\xc5";
    EXPECT_EQ(ReadAll(Make(L"sjis.txt", sjis)), u"日本語のテキスト\r\n半角ｶﾅ");
}

// The text in each encoding, as its bytes spell it in the file.
std::string Spelt(const Text& sText, Encoding encoding)
{
    const bool bUtf32 = encoding == Encoding::Utf32LE || encoding == Encoding::Utf32BE;
    const bool bBigEndian = encoding == Encoding::Utf16BE || encoding == Encoding::Utf32BE;
    std::string bytes;
    for (size_t i = 0; i < sText.size(); ++i) {
        uint32_t nValue = sText[i];
        if (bUtf32 && nValue >= 0xD800 && nValue <= 0xDBFF)
            nValue = 0x10000 + ((nValue - 0xD800) << 10) + (sText[++i] - 0xDC00);
        const int nBytes = bUtf32 ? 4 : 2;
        for (int k = 0; k < nBytes; ++k)
            bytes += static_cast<char>(nValue >> 8 * (bBigEndian ? nBytes - 1 - k : k));
    }
    return bytes;
}

// Each encoding becomes the exact UTF-16 text, under code page 1252 and (the
// test platform_tests_cp932, LC_ALL=ja_JP.UTF-8) under 932: only ANSI depends on it.
TEST_F(PlatformTest, EachEncodingBecomesTheExactText)
{
    const Text sText = u"café 日本語 ✓ 😀\r\nｶﾅ\t~\\";
    const std::string utf8 = "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xE2\x9C\x93 \xF0\x9F\x98\x80\r\n"
                             "\xEF\xBD\xB6\xEF\xBE\x85\t~\\";
    const struct {
        const char* name;
        std::string bytes;
        Text text;
        UINT codePage = 0;  // 0: any
    } files[] = {
        {"UTF-8", utf8, sText},
        {"UTF-8 with a mark", "\xEF\xBB\xBF" + utf8, sText},
        {"UTF-8 with a mark and an invalid byte", "\xEF\xBB\xBF" "a\xFF" "b", u"a\uFFFD" u"b"},
        {"UTF-16 LE", "\xFF\xFE" + Spelt(sText, Encoding::Utf16LE), sText},
        {"UTF-16 BE", "\xFE\xFF" + Spelt(sText, Encoding::Utf16BE), sText},
        {"UTF-32 LE", std::string("\xFF\xFE\0\0", 4) + Spelt(sText, Encoding::Utf32LE), sText},
        {"UTF-32 BE", std::string("\0\0\xFE\xFF", 4) + Spelt(sText, Encoding::Utf32BE), sText},
        {"UTF-16 LE of odd length", "\xFF\xFE" + Spelt(u"ab", Encoding::Utf16LE) + "c", u"ab\uFFFD"},
        {"UTF-32 BE cut short", std::string("\0\0\xFE\xFF\0\0\0a\0\x01", 10), u"a\uFFFD"},  // NUL bytes would be padding
        {"UTF-16 LE, an unpaired surrogate", "\xFF\xFE" + Spelt(u"a\xD800" u"b", Encoding::Utf16LE), u"a\xD800" u"b"},
        {"UTF-32 LE, surrogates at both ends of their range and past U+10FFFF",
         std::string("\xFF\xFE\0\0\0\xD8\0\0\xFF\xDF\0\0\0\0\x11\0a\0\0\0", 20), u"\uFFFD\uFFFD\uFFFD" u"a"},
        {"a mark alone", "\xFF\xFE", u""},
        {"ASCII", "plain\r\ntext", u"plain\r\ntext"},
        {"ANSI, code page 1252", "caf\xE9 \x80" "5", u"café €5", 1252},
        {"ANSI, code page 932", "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\xb6\xc5", u"日本語のｶﾅ", 932},
    };
    for (const auto& file : files) {
        if (file.codePage && file.codePage != GetACP())
            continue;
        EXPECT_EQ(ReadAll(Make(L"encoded.txt", file.bytes)), file.text) << file.name;
    }
}

// Valid UTF-8 is what the system's converter, asked to refuse invalid
// characters, takes: every lead byte, alone and before second bytes at the
// edges of their ranges, then continuation bytes and others.
TEST_F(PlatformTest, Utf8IsChosenExactlyWhenTheSystemFindsItValid)
{
    std::vector<std::string> samples = {"\xED\xA0\x80\xED\xB0\x80"};  // a pair spelt as two surrogates
    const unsigned char seconds[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xF5, 0xFF};
    const unsigned char others[] = {0x80, 0xBF, 0x7F, 0xC0};
    for (int nLead = 1; nLead < 256; ++nLead) {
        samples.push_back(std::string(1, static_cast<char>(nLead)));
        for (unsigned char nSecond : seconds) {
            const std::string two{static_cast<char>(nLead), static_cast<char>(nSecond)};
            samples.push_back(two);
            for (unsigned char nThird : others) {
                samples.push_back(two + static_cast<char>(nThird));
                for (unsigned char nFourth : others)
                    samples.push_back(two + static_cast<char>(nThird) + static_cast<char>(nFourth));
            }
        }
    }
    int nValid = 0;
    for (const std::string& bytes : samples) {
        size_t nMark = 0;
        const std::optional<Encoding> chosen = frmMain::ChooseEncoding(bytes, nMark);
        if (nMark || !chosen || *chosen == Encoding::Utf16LE || *chosen == Encoding::Utf16BE)
            continue;  // a mark, or a NUL byte that may be UTF-16's
        const bool bChosen = *chosen == Encoding::Utf8;
        const bool bValid = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                                static_cast<int>(bytes.size()), nullptr, 0) > 0;
        nValid += bValid;
        EXPECT_EQ(bChosen, bValid) << testing::PrintToString(bytes);
    }
    EXPECT_GT(nValid, 1000);
}

// A drive with no medium and a share that went away are wrong paths to the user;
// other errors keep a code of their own, and every one the system's words.
TEST_F(PlatformTest, SystemErrorsGetThePathCodesOrAnUnusedOneAndTheSystemsWords)
{
    const struct {
        DWORD nError;
        int32_t nCode;
    } rows[] = {
        {ERROR_NOT_READY, 76},        // a card reader or DVD drive with no medium
        {ERROR_NETNAME_DELETED, 76},  // a share that went away
        {ERROR_DEV_NOT_EXIST, 76},
        {ERROR_BAD_NETPATH, 76},
        {ERROR_BAD_NET_NAME, 76},     // a share that is not there
        {ERROR_NOT_CONNECTED, 76},    // a mapped drive whose connection is gone
        {ERROR_REM_NOT_LIST, 76},
        {ERROR_CONNECTION_UNAVAIL, 76},
        {ERROR_NO_NET_OR_BAD_PATH, 76},
        {ERROR_NO_NETWORK, 76},
        {ERROR_NETWORK_UNREACHABLE, 76},
        {ERROR_HOST_UNREACHABLE, 76},
        {ERROR_SHARING_VIOLATION, 75},
        {ERROR_PIPE_BUSY, 75},        // a pipe whose every instance is taken
        {ERROR_NOT_ENOUGH_MEMORY, 7},
        {ERROR_CRC, static_cast<int32_t>(0x80070017)},  // a read that failed: the report
    };
    for (const auto& row : rows) {
        const ErrorInfo failure = Win32Platform::Failure(row.nError);
        EXPECT_EQ(failure.Code, row.nCode) << row.nError;
        ASSERT_FALSE(failure.Message.empty()) << row.nError;
        EXPECT_NE(failure.Message.back(), u'\n') << row.nError;
    }
    // An error the system has no words for (a program's own, bit 29) is described by its number.
    EXPECT_EQ(Win32Platform::Failure(0x2000FFFF).Message, u"Windows error 536936447.");
}

// The field as the carrier: it holds more than an edit control's default
// 32,767 characters, ends its text at a NUL, and copies exactly its selection.
class FieldTest : public PlatformTest {
protected:
    frmMain form{platform};
    void SetUp() override
    {
        PlatformTest::SetUp();
        platform.CreateForm(form);
    }

    Text CopyThroughField(const Text& sText)
    {
        platform.SetFieldText(sText);
        platform.SelectField(0, static_cast<int32_t>(platform.FieldText().size()));
        platform.CopyField();
        return ClipboardText();
    }

    static Text ClipboardText(SIZE_T* pSize = nullptr)
    {
        Text s;
        EXPECT_TRUE(OpenClipboard(nullptr));
        if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
            s = FromWide(static_cast<const wchar_t*>(GlobalLock(h)));
            if (pSize)
                *pSize = GlobalSize(h);
            GlobalUnlock(h);
        }
        CloseClipboard();
        return s;
    }

public:
    static void PutOnClipboard(HWND owner, const wchar_t* text)
    {
        const size_t nSize = (wcslen(text) + 1) * sizeof(wchar_t);
        const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, nSize);
        memcpy(GlobalLock(h), text, nSize);
        GlobalUnlock(h);
        ASSERT_TRUE(OpenClipboard(owner));
        EmptyClipboard();
        SetClipboardData(CF_UNICODETEXT, h);
        CloseClipboard();
    }
};

// The field's copy command, and the user's cut, in the same conditions: the
// selection on the clipboard, or a failure that leaves the clipboard (but for
// one, which says it was emptied) and the field as they were, while another
// thread or program holds the clipboard open, or a system call fails.
struct Copying {
    const char* name;
    DWORD nHeld;               // ms another thread holds the clipboard open from before the copy
    enum { None, GlobalAlloc, OpenClipboard, EmptyClipboard, SetClipboardData } failing;
    int32_t nCode;             // the failure; 0: the copy is made
    Description::Id nWhat;     // its description
    const wchar_t* clipboard;  // afterwards
};
void PrintTo(const Copying& c, std::ostream* out) { *out << c.name; }

class FieldCopy : public FieldTest, public ::testing::WithParamInterface<Copying> {
protected:
    static inline int nOpens = 0;
    static inline std::vector<DWORD> pauses;
    static HGLOBAL WINAPI NoMemory(UINT, SIZE_T) { SetLastError(ERROR_NOT_ENOUGH_MEMORY); return nullptr; }
    static BOOL WINAPI HeldElsewhere(HWND) { ++nOpens; SetLastError(ERROR_ACCESS_DENIED); return FALSE; }
    // Sleep(0) is a yield of the runtime's own (seen in the 32-bit build), not a pause.
    static void WINAPI NotePause(DWORD nMs) { if (nMs) pauses.push_back(nMs); }
    static BOOL WINAPI NotEmptied() { SetLastError(ERROR_ACCESS_DENIED); return FALSE; }
    static HANDLE WINAPI NoData(UINT, HANDLE) { SetLastError(ERROR_NOT_ENOUGH_MEMORY); return nullptr; }
    // By Copying's failing: the call that fails, and what stands in for it.
    static inline const struct { const char* dll; const char* function; void* replacement; } failings[] = {
        {}, {"kernel32.dll", "GlobalAlloc", reinterpret_cast<void*>(&NoMemory)},
        {"user32.dll", "OpenClipboard", reinterpret_cast<void*>(&HeldElsewhere)},
        {"user32.dll", "EmptyClipboard", reinterpret_cast<void*>(&NotEmptied)},
        {"user32.dll", "SetClipboardData", reinterpret_cast<void*>(&NoData)},
    };
};

TEST_P(FieldCopy, CopiesTheSelectionOrLeavesTheClipboardAsItWas)
{
    const Copying& row = GetParam();
    for (const UINT command : {WM_COPY, WM_CUT}) {
        SCOPED_TRACE(command == WM_COPY ? "the copy command" : "a cut");
        PutOnClipboard(nullptr, L"sentinel");
        platform.SetFieldText(u"a path.txt");
        platform.SelectField(2, 4);
        const HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        bool bHeld = false;
        std::thread holder([&] {
            bHeld = row.nHeld && OpenClipboard(nullptr);
            SetEvent(ready);
            if (bHeld) {
                Sleep(row.nHeld);
                CloseClipboard();
            }
        });
        WaitForSingleObject(ready, 5000);
        CloseHandle(ready);
        EXPECT_EQ(bHeld, row.nHeld != 0) << "the clipboard could not be held";
        const auto& failing = failings[row.failing];
        void* const real = failing.dll ? PatchImport(failing.dll, failing.function, failing.replacement) : nullptr;
        EXPECT_EQ(real != nullptr, failing.dll != nullptr) << "no import to make fail";
        // A held clipboard: the tries, and the pauses between them as asked for, not as timed.
        void* const realSleep = row.failing == Copying::OpenClipboard
                                    ? PatchImport("kernel32.dll", "Sleep", reinterpret_cast<void*>(&NotePause)) : nullptr;
        nOpens = 0;
        pauses.clear();
        std::optional<ErrorInfo> failure;
        try {
            if (command == WM_COPY)
                platform.CopyField();
            else
                SendMessageW(platform.FieldWindow(), WM_CUT, 0, 0);
        } catch (const ErrorInfo& caught) {
            failure = caught;
        }
        if (real)
            PatchImport(failing.dll, failing.function, real);
        if (realSleep)
            PatchImport("kernel32.dll", "Sleep", realSleep);
        holder.join();
        if (command == WM_COPY) {
            EXPECT_EQ(failure ? failure->Code : 0, row.nCode);
            EXPECT_EQ(failure ? failure->Message : Text(), row.nCode ? Description::Of(row.nWhat, false) : Text());
        }
        if (row.failing == Copying::OpenClipboard) {
            EXPECT_EQ(nOpens, 10);
            EXPECT_EQ(pauses, std::vector<DWORD>(9, 100));
        }
        SIZE_T nSize = 0;
        EXPECT_EQ(ClipboardText(&nSize), FromWide(row.clipboard));
        if (!row.nCode) {
            EXPECT_EQ(nSize, 5 * sizeof(wchar_t)) << "the block holds more than the selection and its NUL";
        }
        EXPECT_EQ(platform.FieldText(), command == WM_CUT && !row.nCode ? u"a .txt" : u"a path.txt");
    }

    // An empty selection copies nothing, and leaves the clipboard alone.
    PutOnClipboard(nullptr, L"sentinel");
    const DWORD nSequence = GetClipboardSequenceNumber();
    platform.SelectField(3, 0);
    EXPECT_NO_THROW(platform.CopyField());
    EXPECT_EQ(GetClipboardSequenceNumber(), nSequence);
}

constexpr auto Held = static_cast<int32_t>(HRESULT_FROM_WIN32(ERROR_CLIPBOARD_NOT_OPEN));
const Copying copyings[] = {
    {"Made", 0, Copying::None, 0, Description::Count, L"path"},
    {"MadeOnceTheClipboardIsFreeAgain", 300, Copying::None, 0, Description::Count, L"path"},
    {"NotWhileAnotherHoldsTheClipboard", 0, Copying::OpenClipboard, Held, Description::ClipboardHeld, L"sentinel"},
    {"NotWithoutMemoryForTheText", 0, Copying::GlobalAlloc, 7, Description::NoMemory, L"sentinel"},
    {"NotWhenTheClipboardCannotBeEmptied", 0, Copying::EmptyClipboard, static_cast<int32_t>(CLIPBRD_E_CANT_EMPTY),
     Description::CopyNotMade, L"sentinel"},
    {"NotWhenTheClipboardTakesNoText", 0, Copying::SetClipboardData, static_cast<int32_t>(CLIPBRD_E_CANT_SET),
     Description::ClipboardEmptied, L""},
};
INSTANTIATE_TEST_SUITE_P(, FieldCopy, ::testing::ValuesIn(copyings),
                         [](const auto& info) { return std::string(info.param.name); });

// The largest block of address space this process can still take, in bytes; a
// reservation, which commits nothing.
size_t LargestFreeBlock()
{
    constexpr size_t nUnit = 64 << 10;  // the allocation granularity
    size_t nLow = 0, nHigh = (sizeof(void*) == 4 ? SIZE_MAX : size_t{1} << 40) / nUnit;
    while (nLow < nHigh) {
        const size_t nMid = nHigh - (nHigh - nLow) / 2;
        if (void* p = VirtualAlloc(nullptr, nMid * nUnit, MEM_RESERVE, PAGE_NOACCESS)) {
            VirtualFree(p, 0, MEM_RELEASE);
            nLow = nMid;
        } else {
            nHigh = nMid - 1;
        }
    }
    return nLow * nUnit;
}

// Run where the address space is bounded and QB_BOUNDED is set (the test
// platform_tests_bounded): the 64-bit build's under prlimit, the 32-bit build's
// its own 4 GB (it is large-address-aware). A text as large as the largest free
// block fits once, and the field cannot take a copy of it. An edit control that
// cannot grow keeps its old text, and WM_SETTEXT still says it succeeded.
TEST_F(FieldTest, ATextThatFitsInTheAddressSpaceOnlyOnceIsOutOfMemoryNotAShorterField)
{
    if (!std::getenv("QB_BOUNDED"))
        GTEST_SKIP() << "needs a bounded address space and QB_BOUNDED";
    platform.SetFieldText(u"C:\\typed\\path.txt");
    // 2 MB spare for the heap's own use; at most 1 GB on 32 bits, the longest string there.
    const Text big(std::min(LargestFreeBlock() / sizeof(char16_t) - (1 << 20), Text().max_size()), u'x');
    ASSERT_LT(LargestFreeBlock(), big.size() * sizeof(char16_t)) << "the text would fit twice";
    try {
        platform.SetFieldText(big);
        ADD_FAILURE() << "the field took " << big.size() << " characters, as large as the largest free block";
    } catch (const ErrorInfo& failure) {
        EXPECT_EQ(failure.Code, ErrorInfo::OutOfMemory);
    }
}

TEST_F(FieldTest, CopiesTextPastTheOldLimitWholeWithItsLineBreaks)
{
    Text big;
    for (int i = 0; big.size() < 100000; ++i)
        big += u"line " + T(std::to_wstring(i)) + u" 日本語\r\n";
    EXPECT_EQ(CopyThroughField(big), big);
    // Text the program sets is never cut to the field's limit, a paste is (and it
    // ends at a line break): at the default limit (32,767 on Windows) it keeps only the start.
    CopyThroughField(Text(100000, u'x'));
    platform.SetFieldText(u"");
    SendMessageW(platform.FieldWindow(), WM_PASTE, 0, 0);
    EXPECT_EQ(platform.FieldLength(), 100000);
    EXPECT_EQ(CopyThroughField(Text(u"before\0after", 12)), u"before");
}

TEST_F(FieldTest, EnablesOkWhileItHoldsText)
{
    platform.SetFieldText(u" ");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(platform.FormWindow(), IDOK)));
    platform.SetFieldText(u"");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(platform.FormWindow(), IDOK)));
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    selfPath = argv[0];
    // Child mode for the sharing test: hold a file open, sharing nothing, until killed.
    if (argc == 3 && std::wstring(argv[1]) == L"--hold") {
        HANDLE h = CreateFileW(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"qb-platform-held");
        if (h == INVALID_HANDLE_VALUE || !ready || !SetEvent(ready))
            return 1;
        Sleep(INFINITE);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
