// Quillbox.exe as a user meets it: started with a file's path it puts the
// file's text on the clipboard and ends unseen; a wrong path gets the path
// warning, any other failure the error report; started alone it shows its window.
#include "AppTest.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace e2e;

namespace {

// What X clients get for the text: Wine gives them LF line breaks.
std::wstring WithLf(std::wstring text)
{
    for (size_t i = 0; (i = text.find(L"\r\n", i)) != std::wstring::npos;)
        text.erase(i, 1);
    return text;
}

// ---- the copy ----

class CopyFromCommandLine : public QuillboxTest {
protected:
    // A quiet run: exit 0, and its window, which the hooks saw made, never shown.
    void ExpectQuietCopy(const std::wstring& argument)
    {
        AppRun app(argument);
        EXPECT_EQ(app.WaitForExit(), 0u);
        const std::vector<std::wstring> created = Classes(app.CreatedWindows());
        EXPECT_NE(std::find(created.begin(), created.end(), L"frmMain"), created.end()) << "the hooks missed the start";
        EXPECT_EQ(Classes(app.ShownWindows()), std::vector<std::wstring>{});
    }
};

TEST_F(CopyFromCommandLine, TheWholeTextReachesBothSidesOfTheClipboardWithNothingShown)
{
    // Code page 1252 is the default: 0xE9 is é, and 0x80 is the euro sign, which Latin-1 does not have.
    const std::wstring path = folder.File(L"notes.txt", "first line\r\n\tindented\nlone LF above, caf\xE9 \x80" "5\r\nend");
    const std::wstring text = L"first line\r\n\tindented\nlone LF above, café €5\r\nend";
    ExpectQuietCopy(path);
    EXPECT_EQ(clipboard::Text(), text);

    // Wine hands the text on to X a moment later.
    std::optional<std::wstring> x;
    WaitUntil(5s, [&] { return (x = XClipboardText()) == WithLf(text); });
    EXPECT_EQ(x, WithLf(text));
}

TEST_F(CopyFromCommandLine, APathWithBlanksNeedsNoQuotes)
{
    const std::wstring path = folder.Folder(L"my  documents") + L"notes for  today.txt";
    folder.File(L"my  documents\\notes for  today.txt", "blanks");
    ExpectQuietCopy(path);
    EXPECT_EQ(clipboard::Text(), std::wstring(L"blanks"));
}

// Run by the e2e_cp932 test, with LC_ALL=ja_JP.UTF-8 and QB_EXPECT_ACP=932: the
// app inherits the test program's code page. Under the default code page 1252
// the same bytes come out as Latin letters and symbols.
TEST_F(CopyFromCommandLine, ShiftJisBytesBecomeTheSameJapaneseUnderCodePage932)
{
    const char* expected = std::getenv("QB_EXPECT_ACP");
    if (!expected)
        GTEST_SKIP() << "needs LC_ALL=ja_JP.UTF-8 and QB_EXPECT_ACP=932";
    ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected)));
    const std::string sjis = "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x4c\x83\x58\x83\x67\r\n\x94\xbc\x8a\x70\xb6\xc5";
    ExpectQuietCopy(folder.File(L"japanese.txt", sjis));
    EXPECT_EQ(clipboard::Text(), std::wstring(L"日本語のテキスト\r\n半角ｶﾅ"));
}

// ---- failures: a message box, and the end only once it is dismissed ----

class FailureMessage : public QuillboxTest {
protected:
    // The box a failure shows: system-modal, one OK button, while the app waits
    // on it; up (WaitForMessageBox finds only a visible box), as a window of its
    // own with its own taskbar button.
    void ExpectBox(AppRun& app, const MessageBoxView& box, IconKind icon)
    {
        EXPECT_TRUE(app.Running()) << "the app did not wait for its box";
        EXPECT_FALSE(IsIconic(box.hwnd));
        EXPECT_EQ(GetWindow(box.hwnd, GW_OWNER), nullptr);
        EXPECT_TRUE(box.topmost) << "not system-modal";
        EXPECT_EQ(box.icon, icon);
        ASSERT_EQ(box.buttons.size(), 1u);
        EXPECT_EQ(box.buttons[0].id, IDOK);
        EXPECT_EQ(box.buttons[0].text, L"OK");
    }

    // Dismisses the box as a user would; the app then ends with 1, having shown nothing else.
    void DismissAndExpectTheEnd(AppRun& app, const MessageBoxView& box)
    {
        const Dismissal how = app.PressReturn(box.hwnd);
        EXPECT_NE(how, Dismissal::KeyIgnored) << "Return reached the box and did not close it";
        if (how == Dismissal::ByCommand)
            std::fprintf(stderr, "note: the Return key never reached the box; it was closed with WM_COMMAND IDOK\n");
        EXPECT_EQ(app.WaitForExit(), 1u);
        EXPECT_EQ(Classes(app.ShownWindows()), std::vector<std::wstring>{L"#32770"});
        ExpectClipboardUntouched();
    }
};

struct WrongPath {
    const char* name;
    std::wstring (*make)(const TempFolder& folder);
    WORD show;  // the starter's show command, which no message may take for its own
};

void PrintTo(const WrongPath& path, std::ostream* out) { *out << path.name; }

class PathWarning : public FailureMessage, public ::testing::WithParamInterface<WrongPath> {};

TEST_P(PathWarning, IsShownAndTheAppEndsOnceItIsDismissed)
{
    AppRun app(GetParam().make(folder), AppRun::Start::AtOnce, L"", GetParam().show);
    const auto box = app.WaitForMessageBox();
    ASSERT_TRUE(box) << "no message box";
    EXPECT_EQ(box->title, L"Quillbox");
    EXPECT_EQ(box->text, PathWarningText);
    ExpectBox(app, *box, IconKind::Warning);
    DismissAndExpectTheEnd(app, *box);
}

std::wstring MissingFile(const TempFolder& f) { return f.Path() + L"missing.txt"; }

const WrongPath wrongPaths[] = {
    {"MissingFile", MissingFile, SW_SHOWNORMAL},
    {"MissingFolder", [](const TempFolder& f) { return f.Path() + L"no such folder\\file.txt"; }, SW_SHOWNORMAL},
    {"StartedHidden", MissingFile, SW_HIDE},
    {"StartedMinimised", MissingFile, SW_SHOWMINNOACTIVE},
    {"StartedMaximised", MissingFile, SW_SHOWMAXIMIZED},
};
INSTANTIATE_TEST_SUITE_P(, PathWarning, ::testing::ValuesIn(wrongPaths),
                         [](const auto& info) { return std::string(info.param.name); });

using ErrorReportBox = FailureMessage;

TEST_F(ErrorReportBox, AFileOf2GiBShowsTheFiveLinesAndTheAppEndsOnceDismissed)
{
    AppRun app(folder.SparseFile(L"huge.bin", 1LL << 31));
    const auto box = app.WaitForMessageBox();
    ASSERT_TRUE(box) << "no message box";
    EXPECT_EQ(box->title, L"エラー - Quillbox");
    const std::vector<std::wstring> lines = Lines(box->text);
    ASSERT_EQ(lines.size(), 5u) << testing::PrintToString(box->text);
    EXPECT_NE(lines[2].find(L"2 GB"), std::wstring::npos) << testing::PrintToString(lines[2]);
    EXPECT_EQ(box->text, ErrorReport(L"6", L"frmMain!ReadText", lines[2]));
    ExpectBox(app, *box, IconKind::Error);
    DismissAndExpectTheEnd(app, *box);
}

// GDI, short of resources, makes no font and says nothing: the report gives a
// real code (out of memory), never 0, "the operation completed successfully".
TEST_F(ErrorReportBox, AFontThatCannotBeMadeIsOutOfMemory)
{
    AppRun app(L"", AppRun::Start::NoFont);
    const auto box = app.WaitForMessageBox();
    ASSERT_TRUE(box) << "no message box";
    const std::vector<std::wstring> lines = Lines(box->text);
    ASSERT_EQ(lines.size(), 5u) << testing::PrintToString(box->text);
    EXPECT_EQ(box->text, ErrorReport(L"7", L"frmMain", lines[2]));
    ExpectBox(app, *box, IconKind::Error);
    DismissAndExpectTheEnd(app, *box);
}

// A message that cannot be shown tells nobody: the app ends at once with 1.
TEST_F(FailureMessage, ThatCannotBeShownEndsTheAppWithOne)
{
    AppRun app(MissingFile(folder), AppRun::Start::NoMessageBox);
    EXPECT_EQ(app.WaitForExit(), 1u);
    EXPECT_EQ(Classes(app.ShownWindows()), std::vector<std::wstring>{});
    ExpectClipboardUntouched();
}

// ---- no argument: the window ----

using MainWindow = QuillboxTest;

TEST_F(MainWindow, IsShownWithoutAnArgumentAndClosingItEndsTheApp)
{
    AppRun app(L"");
    const auto form = app.WaitUntilShown(L"frmMain");
    ASSERT_TRUE(form) << "the window was never shown";
    EXPECT_EQ(form->text, L"Quillbox");
    EXPECT_TRUE(WaitUntil(5s, [&] { return IsWindowVisible(form->hwnd) != FALSE; }));
    EXPECT_TRUE(app.Running());
    PostMessageW(form->hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.WaitForExit(), 0u);
    EXPECT_EQ(Classes(app.ShownWindows()), std::vector<std::wstring>{L"frmMain"});
    ExpectClipboardUntouched();
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    // Window rectangles and screen pixels in real pixels, whatever the DPI.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    // The screen's DPI as Wine gives it to programs started from now on.
    const RegistryValue dpi(L"Control Panel\\Desktop", L"LogPixels", std::optional<DWORD>(TestDpi()));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
