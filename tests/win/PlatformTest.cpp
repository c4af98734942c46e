// The real platform layer under Wine: files, code pages, the field and the clipboard.
#include "form/frmMain.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Wide.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <string>
#include <vector>

void EndProgram(uint32_t nExitCode) { ExitProcess(nExitCode); }

namespace {

std::wstring selfPath;

Text T(const std::wstring& s) { return Text(s.begin(), s.end()); }

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

    std::wstring Make(const std::wstring& name, const std::string& bytes)
    {
        const std::wstring p = dir + name;
        HANDLE h = CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n = 0;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        CloseHandle(h);
        return p;
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

    Text ReadAll(const std::wstring& sPath)
    {
        try {
            auto file = platform.OpenForRead(T(sPath));
            return platform.AnsiToText(file->Read(static_cast<int32_t>(file->Length())));
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

TEST_F(PlatformTest, PathsPastMaxPathOpenInTheExtendedForm)
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
    EXPECT_EQ(ReadAll(file), u"deep");
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
        {ERROR_NOT_CONNECTED, 76},    // a mapped drive whose connection is gone
        {ERROR_SHARING_VIOLATION, 75},
        {ERROR_NOT_ENOUGH_MEMORY, 7},
        {ERROR_CRC, static_cast<int32_t>(0x80070017)},  // a read that failed: the report
    };
    for (const auto& row : rows) {
        const ErrorInfo failure = Win32Platform::Failure(row.nError);
        EXPECT_EQ(failure.Code, row.nCode) << row.nError;
        ASSERT_FALSE(failure.Message.empty()) << row.nError;
        EXPECT_NE(failure.Message.back(), u'\n') << row.nError;
    }
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
        Text s;
        EXPECT_TRUE(OpenClipboard(nullptr));
        if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
            s = FromWide(static_cast<const wchar_t*>(GlobalLock(h)));
            GlobalUnlock(h);
        }
        CloseClipboard();
        return s;
    }
};

// The field's copy fails silently on Windows while another program holds the
// clipboard open (Wine lets it through, so a field that ignores the copy stands in).
TEST_F(FieldTest, ACopyThatDidNotHappenIsAFailure)
{
    platform.SetFieldText(u"text");
    platform.SelectField(0, 4);
    const HWND field = platform.FieldWindow();
    static WNDPROC original;
    original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(field, GWLP_WNDPROC));
    SetWindowLongPtrW(field, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(+[](HWND h, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
                          return msg == WM_COPY ? 0 : CallWindowProcW(original, h, msg, w, l);
                      }));
    try {
        platform.CopyField();
        ADD_FAILURE() << "a copy that changed nothing passed as done";
    } catch (const ErrorInfo& failure) {
        EXPECT_LT(failure.Code, 0);  // not a path failure: the error report
    }
    SetWindowLongPtrW(field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    platform.SelectField(0, 0);
    EXPECT_NO_THROW(platform.CopyField());  // an empty selection copies nothing, rightly
}

// Run in a 2 GB address space, as the 32-bit build has (the test platform_tests_2gb
// limits this process with prlimit and sets QB_TWO_GB). An edit control that cannot
// grow keeps its old text, and WM_SETTEXT still says it succeeded.
TEST_F(FieldTest, InTwoGigabytesATextThatFitsOnlyOnceIsOutOfMemoryNotAShorterField)
{
    if (!std::getenv("QB_TWO_GB"))
        GTEST_SKIP() << "needs a 2 GB address space and QB_TWO_GB";
    platform.SetFieldText(u"C:\\typed\\path.txt");
    const Text big(size_t{500} << 20, u'x');  // 1 GB: room for it, not for the field's copy too
    try {
        platform.SetFieldText(big);
        ADD_FAILURE() << "the field took 1 GB in a 2 GB address space";
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
