// Quillbox.exe started without an argument: its dialog, measured from outside
// at the screen's DPI (QB_DPI) and driven with real keys and clicks.
#include "AppTest.h"
#include <shlobj.h>
#include <cctype>
#include <cstring>
#include <memory>
#include <ostream>

using namespace e2e;

namespace {

// A rectangle as the layout gives it: left, top, width, height, in pixels.
struct Box {
    int left, top, width, height;
    bool operator==(const Box& o) const
    {
        return left == o.left && top == o.top && width == o.width && height == o.height;
    }
};
void PrintTo(const Box& b, std::ostream* out)
{
    *out << "{" << b.left << ", " << b.top << ", " << b.width << ", " << b.height << "}";
}
Box BoxOf(const RECT& rc) { return {rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top}; }

// The twips of the layout (client area 4104 x 1404; label 180, 240, 972, 372;
// field 1200, 180, 2772, 372; OK 1800, 840, 1032, 432; Cancel 2940, 840, 1032, 432;
// the font 10.2 pt) in pixels, each edge rounded to the nearest pixel.
struct Expected {
    UINT dpi;
    Box client, field, ok, cancel, label;
    LONG fontHeight;
};
const Expected layouts[] = {
    {96, {0, 0, 274, 94}, {80, 12, 185, 25}, {120, 56, 69, 29}, {196, 56, 69, 29}, {12, 16, 65, 25}, -14},
    {120, {0, 0, 342, 117}, {100, 15, 231, 31}, {150, 70, 86, 36}, {245, 70, 86, 36}, {15, 20, 81, 31}, -17},
    {144, {0, 0, 410, 140}, {120, 18, 277, 37}, {180, 84, 103, 43}, {294, 84, 103, 43}, {18, 24, 97, 37}, -20},
};
const Expected& LayoutAt(UINT dpi)
{
    for (const Expected& e : layouts)
        if (e.dpi == dpi)
            return e;
    throw std::runtime_error("no expected layout for QB_DPI=" + std::to_string(dpi));
}

const wchar_t* const FormFace = L"ＭＳ Ｐゴシック";

// The face the font mapper draws a font with.
std::wstring RealisedFace(const LOGFONTW& font)
{
    const HFONT handle = CreateFontIndirectW(&font);
    const HDC dc = GetDC(nullptr);
    const HGDIOBJ old = SelectObject(dc, handle);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(handle);
    return face;
}

class Dialog : public QuillboxTest {
protected:
    std::unique_ptr<AppRun> app;
    HWND form = nullptr, field = nullptr, ok = nullptr, cancel = nullptr, label = nullptr;

    // Starts Quillbox without an argument, as the starter shows it, and waits
    // for its dialog; shown normally, with the focus in the field.
    void Open(WORD show = SW_SHOWNORMAL)
    {
        app = std::make_unique<AppRun>(L"", AppRun::Start::AtOnce, L"", show);
        ASSERT_NO_FATAL_FAILURE(TakeShownDialog());
        if (show != SW_SHOWMINNOACTIVE && show != SW_SHOWNOACTIVATE && show != SW_SHOWNA) {
            ASSERT_TRUE(WaitUntil(5s, [&] { return app->Focus() == field; })) << "the focus is not in the field";
        }
    }

    void TakeShownDialog()
    {
        const auto shown = app->WaitUntilShown(L"frmMain");
        ASSERT_TRUE(shown) << "the dialog was never shown; the app "
                           << (app->Running() ? "still runs" : "ended with " + std::to_string(*app->WaitForExit(0ms)));
        form = shown->hwnd;
        // Children in the order the dialog manager steps through them: the tab
        // order, the label first, right before the field it names.
        std::vector<HWND> controls;
        for (HWND c = GetWindow(form, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            controls.push_back(c);
        std::vector<std::wstring> classes;
        for (HWND c : controls)
            classes.push_back(ClassOf(c));
        ASSERT_EQ(classes, (std::vector<std::wstring>{L"Static", L"Edit", L"Button", L"Button"})) << "the z-order";
        label = controls[0], field = controls[1], ok = controls[2], cancel = controls[3];
    }

    void Press(const Keys& keys) { ASSERT_TRUE(app->Press(form, keys)) << "the dialog could not be activated"; }

    // The field's text and the state of "OK" once they settle.
    void ExpectField(const std::wstring& text, bool okEnabled)
    {
        EXPECT_TRUE(WaitUntil(5s, [&] { return TextOf(field) == text && (IsWindowEnabled(ok) != 0) == okEnabled; }))
            << "field " << testing::PrintToString(TextOf(field)) << ", OK " << (IsWindowEnabled(ok) ? "enabled" : "disabled");
    }

    void ExpectFocus(HWND control, const char* name)
    {
        EXPECT_TRUE(WaitUntil(5s, [&] { return app->Focus() == control; })) << "the focus is not on " << name;
    }

    void ExpectLayout(const Expected& at)
    {
        ExpectClientAt(at);
        ExpectControlsAt(at);
    }
    void ExpectClientAt(const Expected& at)
    {
        RECT client;
        GetClientRect(form, &client);
        EXPECT_EQ(BoxOf(client), at.client);
    }
    void ExpectControlsAt(const Expected& at)
    {
        const std::pair<HWND, Box> controls[] = {{field, at.field}, {ok, at.ok}, {cancel, at.cancel}, {label, at.label}};
        for (const auto& [control, box] : controls)
            EXPECT_EQ(BoxOf(RectInParent(control)), box) << TextOf(control);
    }

    // The window and its four controls carry the font, with the face and
    // charset given, drawn with the face the system realises for it.
    void ExpectFont(LONG height, const std::wstring& face, BYTE charset, const std::wstring& realisedFace)
    {
        for (HWND w : {form, field, ok, cancel, label}) {
            const auto font = app->FontOf(w);
            ASSERT_TRUE(font) << ClassOf(w) << " has no font";
            EXPECT_EQ(font->font.lfFaceName, face) << ClassOf(w);
            EXPECT_EQ(font->font.lfCharSet, charset) << ClassOf(w);
            EXPECT_EQ(font->font.lfHeight, height) << ClassOf(w);
            EXPECT_EQ(font->font.lfWeight, 400) << ClassOf(w);
            EXPECT_FALSE(font->font.lfItalic || font->font.lfUnderline || font->font.lfStrikeOut) << ClassOf(w);
            EXPECT_EQ(font->realisedFace, realisedFace) << ClassOf(w);
        }
    }

    // The program ended as the user asked, without copying and without another window.
    void ExpectEndedUntouched()
    {
        EXPECT_EQ(app->WaitForExit(), 0u);
        EXPECT_EQ(app->ShowOrder(), std::vector<std::wstring>{L"frmMain"});
        ExpectClipboardUntouched();
    }
};

// ---- the look ----

TEST_F(Dialog, IsLaidOutFromTheTwipsAtTheScreenDpi)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    ExpectLayout(LayoutAt(TestDpi()));
    EXPECT_EQ(TextOf(form), L"Quillbox");

    struct Control {
        HWND hwnd;
        const wchar_t* className;
        const wchar_t* text;
        LONG type;  // the style's low bits: BS_* or SS_*
        bool tabStop, enabled;
        int id;
    };
    const Control controls[] = {
        {field, L"Edit", L"", 0, true, true, 0},
        {ok, L"Button", L"OK", BS_DEFPUSHBUTTON, true, false, IDOK},
        {cancel, L"Button", L"Cancel", BS_PUSHBUTTON, true, true, IDCANCEL},
        {label, L"Static", L"Path(&P):", SS_LEFT, false, true, 0},
    };
    for (const Control& c : controls) {
        const LONG style = GetWindowLongW(c.hwnd, GWL_STYLE);
        EXPECT_EQ(ClassOf(c.hwnd), c.className);
        EXPECT_EQ(TextOf(c.hwnd), c.text);
        EXPECT_EQ(style & 0xF, c.type) << TextOf(c.hwnd);
        EXPECT_EQ((style & WS_TABSTOP) != 0, c.tabStop) << TextOf(c.hwnd);
        EXPECT_EQ(IsWindowEnabled(c.hwnd) != 0, c.enabled) << TextOf(c.hwnd);
        if (c.id) {
            EXPECT_EQ(GetDlgCtrlID(c.hwnd), c.id) << TextOf(c.hwnd);
        }
    }
    // One line, shown whole by scrolling, and no limit of its own.
    EXPECT_TRUE(HasStyle(field, ES_AUTOHSCROLL));
    EXPECT_FALSE(HasStyle(field, ES_MULTILINE) || HasStyle(field, ES_READONLY) || HasStyle(field, ES_PASSWORD));
    DWORD_PTR limit = 0;
    SendMessageTimeoutW(field, EM_GETLIMITTEXT, 0, 0, SMTO_ABORTIFHUNG, 2000, &limit);
    EXPECT_GE(limit, 0x7FFFFFFEu);
    EXPECT_FALSE(HasStyle(label, SS_NOPREFIX)) << "the access key would not be underlined";
    // Screen readers name the field from its label, without the access key's mark.
    EXPECT_EQ(app->AccessibleName(field), std::wstring(L"Path(P):"));

    // A fixed frame: a close box and minimise, no edge that sizes. (The system
    // draws a maximise button beside minimise, greyed, as the style has none.)
    EXPECT_TRUE(HasStyle(form, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
    EXPECT_FALSE(HasStyle(form, WS_MAXIMIZEBOX) || HasStyle(form, WS_THICKFRAME));
    const auto hits = FrameHits(form);
    EXPECT_EQ(hits.count(HTCLOSE), 1u);
    EXPECT_EQ(hits.count(HTMINBUTTON), 1u);
    EXPECT_EQ(hits.count(HTSYSMENU), 1u);
    for (LRESULT sizing = HTLEFT; sizing <= HTBOTTOMRIGHT; ++sizing)
        EXPECT_EQ(hits.count(sizing), 0u) << "the frame sizes at hit-test code " << sizing;
    // Its own button on the taskbar.
    EXPECT_EQ(GetWindow(form, GW_OWNER), nullptr);
    EXPECT_FALSE(GetWindowLongW(form, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);

    Press(Tap(VK_ESCAPE));
    ExpectEndedUntouched();
}

// With the face installed (Wine has it once its replacement list names a font
// for it) the form uses it; without, the system's message font stands in.
struct FontCase {
    const char* name;
    bool installed;
};
void PrintTo(const FontCase& c, std::ostream* out) { *out << c.name; }

class DialogFont : public Dialog, public ::testing::WithParamInterface<FontCase> {};

TEST_P(DialogFont, IsOnTheWindowAndEveryControl)
{
    const RegistryValue replacement(L"Software\\Wine\\Fonts\\Replacements", FormFace,
                                    GetParam().installed ? std::optional<std::wstring>(L"IPAPGothic") : std::nullopt);
    ASSERT_NO_FATAL_FAILURE(Open());
    const LONG height = LayoutAt(TestDpi()).fontHeight;
    if (GetParam().installed) {
        ExpectFont(height, FormFace, SHIFTJIS_CHARSET, FormFace);
    } else {
        // Drawn as the system draws its messages, not with what the font mapper
        // would pick for the missing face (under Wine: IPAGothic, by the charset).
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        ASSERT_TRUE(SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, TestDpi()));
        LOGFONTW& message = metrics.lfMessageFont;
        message.lfHeight = height;
        ExpectFont(height, message.lfFaceName, message.lfCharSet, RealisedFace(message));
    }
    Press(Tap(VK_ESCAPE));
    ExpectEndedUntouched();
}

const FontCase fontCases[] = {{"Installed", true}, {"MissingSoTheMessageFontStandsIn", false}};
INSTANTIATE_TEST_SUITE_P(, DialogFont, ::testing::ValuesIn(fontCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Windows asks the window its size on a screen of another DPI, then suggests
// where to go, when a drag takes it there (Wine never does, so the hook does as
// Windows would). The window asks for its layout's client area in the frame of
// that DPI, and goes exactly where it is told.
TEST_F(Dialog, LaysItselfOutAgainWhenTheDpiChanges)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    for (UINT dpi : {144u, TestDpi()}) {
        SCOPED_TRACE(dpi);
        const AppRun::DpiChange change = app->ChangeDpi(form, dpi);
        const Box client = LayoutAt(dpi).client;
        RECT frame{0, 0, client.width, client.height};
        AdjustWindowRectExForDpi(&frame, GetWindowLongW(form, GWL_STYLE), FALSE, GetWindowLongW(form, GWL_EXSTYLE),
                                 dpi);
        ASSERT_TRUE(change.size) << "WM_GETDPISCALEDSIZE went unanswered";
        EXPECT_EQ(change.size->cx, frame.right - frame.left);
        EXPECT_EQ(change.size->cy, frame.bottom - frame.top);
        RECT now;
        GetWindowRect(form, &now);
        EXPECT_EQ(BoxOf(now), BoxOf(change.suggested));
        ExpectControlsAt(LayoutAt(dpi));
        // The frame for the new DPI is the system's; Wine keeps drawing it at
        // its own DPI, so the client area is exact only back at that DPI.
        if (dpi == TestDpi())
            ExpectClientAt(LayoutAt(dpi));
        const auto font = app->FontOf(field);
        ASSERT_TRUE(font);
        EXPECT_EQ(font->font.lfHeight, LayoutAt(dpi).fontHeight);
    }
    Press(Tap(VK_ESCAPE));
    ExpectEndedUntouched();
}

// A shortcut's "Run" setting reaches the program as the starter's show
// command. The dialog has one size: started maximised it is shown normally.
TEST_F(Dialog, StartedMaximisedIsShownNormally)
{
    ASSERT_NO_FATAL_FAILURE(Open(SW_SHOWMAXIMIZED));
    EXPECT_FALSE(IsZoomed(form));
    ExpectLayout(LayoutAt(TestDpi()));
    Press(Tap(VK_ESCAPE));
    ExpectEndedUntouched();
}

// Started minimised, it waits on the taskbar, and comes up at its own size
// with the focus in the field.
TEST_F(Dialog, StartedMinimisedComesUpAtItsOwnSize)
{
    ASSERT_NO_FATAL_FAILURE(Open(SW_SHOWMINNOACTIVE));
    EXPECT_TRUE(IsIconic(form));
    ShowWindow(form, SW_RESTORE);  // as a click on its taskbar button
    ASSERT_TRUE(WaitUntil(5s, [&] { return !IsIconic(form); }));
    ExpectLayout(LayoutAt(TestDpi()));
    Press(Typed(L"a"));
    ExpectField(L"a", true);
    Press(Tap(VK_ESCAPE));
    ExpectEndedUntouched();
}

// A launcher that keeps the focus for itself asks for the window without
// activation, by either command: it comes up behind, and takes the focus once clicked.
TEST_F(Dialog, StartedWithoutActivationLeavesTheFocusWithTheStarter)
{
    for (const WORD show : {SW_SHOWNOACTIVATE, SW_SHOWNA}) {
        SCOPED_TRACE(show == SW_SHOWNA ? "SW_SHOWNA" : "SW_SHOWNOACTIVATE");
        ASSERT_NO_FATAL_FAILURE(Open(show));
        EXPECT_TRUE(WaitUntil(5s, [&] { return IsWindowVisible(form) != FALSE; }));
        EXPECT_FALSE(IsIconic(form));
        EXPECT_NE(GetForegroundWindow(), form);
        EXPECT_EQ(app->Focus(), nullptr);
        Click(CentreOnScreen(field));
        ExpectFocus(field, "the field");
        Press(Tap(VK_ESCAPE));
        ExpectEndedUntouched();
    }
}

// ---- the keys and buttons ----

// Ctrl+C and Ctrl+X put the selected part of the path on the clipboard, as in any field.
TEST_F(Dialog, CtrlCAndCtrlXCopyTheSelectedPartOfThePath)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    Press(Typed(L"C:\\notes\\memo.txt"));
    Keys selectLast8;
    for (int i = 0; i < 8; ++i)
        selectLast8 = selectLast8 + Chord(VK_SHIFT, VK_LEFT);
    Press(selectLast8 + Chord(VK_CONTROL, 'C'));
    EXPECT_TRUE(WaitUntil(5s, [&] { return clipboard::Text() == L"memo.txt"; })) << "Ctrl+C copied nothing";
    ExpectField(L"C:\\notes\\memo.txt", true);
    Press(Chord(VK_SHIFT, VK_HOME) + Chord(VK_CONTROL, 'X'));
    EXPECT_TRUE(WaitUntil(5s, [&] { return clipboard::Text() == L"C:\\notes\\memo.txt"; })) << "Ctrl+X copied nothing";
    ExpectField(L"", false);
    Press(Tap(VK_ESCAPE));
    EXPECT_EQ(app->WaitForExit(), 0u);
}

TEST_F(Dialog, OkIsEnabledExactlyWhileTheFieldHoldsText)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    ExpectField(L"", false);
    Press(Typed(L" "));
    ExpectField(L" ", true);  // a single blank is text
    Press(Tap(VK_BACK));
    ExpectField(L"", false);
    Press(Typed(L"ab"));
    ExpectField(L"ab", true);
    Press(Tap(VK_BACK));
    ExpectField(L"a", true);
    Press(Tap(VK_BACK));
    ExpectField(L"", false);
    Press(Tap(VK_ESCAPE));
    ExpectEndedUntouched();
}

TEST_F(Dialog, EnterInAnEmptyFieldDoesNothing)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    // The key typed after Enter shows that Enter has been dealt with.
    Press(Tap(VK_RETURN) + Typed(L"x"));
    ExpectField(L"x", true);
    EXPECT_TRUE(app->Running());
    EXPECT_TRUE(IsWindowVisible(form));
    EXPECT_FALSE(app->WaitForMessageBox(0ms));
    Press(Tap(VK_ESCAPE));
    ExpectEndedUntouched();
}

TEST_F(Dialog, TabGoesFieldOkCancelAndAltPComesBackToTheField)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    Press(Tap(VK_TAB));
    ExpectFocus(cancel, "Cancel (OK is disabled)");
    Press(Chord(VK_MENU, 'P'));
    ExpectFocus(field, "the field");
    Press(Typed(L"a"));
    ExpectField(L"a", true);
    const std::pair<HWND, const char*> order[] = {{ok, "OK"}, {cancel, "Cancel"}, {field, "the field"}};
    for (const auto& [control, name] : order) {
        Press(Tap(VK_TAB));
        ExpectFocus(control, name);
    }
    Press(Tap(VK_TAB) + Tap(VK_TAB));
    ExpectFocus(cancel, "Cancel");
    Press(Chord(VK_MENU, 'P'));
    ExpectFocus(field, "the field");
    Press(Tap(VK_ESCAPE));
    ExpectEndedUntouched();
}

// Every way out that is not "OK" ends the program and leaves the clipboard alone.
struct WayOut {
    const char* name;
    const wchar_t* typed;  // first, into the field
    void (*take)(AppRun& app, HWND form, HWND cancel);
};
void PrintTo(const WayOut& w, std::ostream* out) { *out << w.name; }

class DialogEnds : public Dialog, public ::testing::WithParamInterface<WayOut> {};

TEST_P(DialogEnds, WithoutCopying)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    if (*GetParam().typed) {
        Press(Typed(GetParam().typed));
        ExpectField(GetParam().typed, true);
    }
    GetParam().take(*app, form, cancel);
    ExpectEndedUntouched();
}

void PressKeys(AppRun& app, HWND form, const Keys& keys) { ASSERT_TRUE(app.Press(form, keys)); }

const WayOut waysOut[] = {
    {"Esc", L"", [](AppRun& app, HWND form, HWND) { PressKeys(app, form, Tap(VK_ESCAPE)); }},
    {"EscWithAPathTyped", L"notes.txt", [](AppRun& app, HWND form, HWND) { PressKeys(app, form, Tap(VK_ESCAPE)); }},
    {"ClickOnCancel", L"notes.txt", [](AppRun&, HWND, HWND cancel) { Click(CentreOnScreen(cancel)); }},
    {"TabTabEnter", L"notes.txt",
     [](AppRun& app, HWND form, HWND) { PressKeys(app, form, Tap(VK_TAB) + Tap(VK_TAB) + Tap(VK_RETURN)); }},
    {"AltF4", L"notes.txt", [](AppRun& app, HWND form, HWND) { PressKeys(app, form, Chord(VK_MENU, VK_F4)); }},
    {"ClickOnTheCloseBox", L"notes.txt",
     [](AppRun&, HWND form, HWND) {
         const auto hits = FrameHits(form);
         ASSERT_EQ(hits.count(HTCLOSE), 1u) << "no close box";
         const RECT box = hits.at(HTCLOSE);
         Click({(box.left + box.right) / 2, (box.top + box.bottom) / 2});
     }},
};
INSTANTIATE_TEST_SUITE_P(, DialogEnds, ::testing::ValuesIn(waysOut),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the copy ----

// A path typed as it is, or in quotation marks as Explorer's "Copy as path" gives it.
struct TypedPath {
    const char* name;
    bool quoted;
};
void PrintTo(const TypedPath& t, std::ostream* out) { *out << t.name; }

class DialogCopies : public Dialog, public ::testing::WithParamInterface<TypedPath> {};

TEST_P(DialogCopies, EnterCopiesTheTypedFileAndEnds)
{
    const std::wstring path = folder.File(L"typed file.txt", "typed in\r\nthe dialog");
    const std::wstring typed = GetParam().quoted ? L"\"" + path + L"\"" : path;
    ASSERT_NO_FATAL_FAILURE(Open());
    Press(Typed(typed));
    ExpectField(typed, true);
    Press(Tap(VK_RETURN));
    EXPECT_EQ(app->WaitForExit(), 0u);
    EXPECT_EQ(clipboard::Text(), std::wstring(L"typed in\r\nthe dialog"));
    EXPECT_EQ(app->ShowOrder(), std::vector<std::wstring>{L"frmMain"});
}

const TypedPath typedPaths[] = {{"AsItIs", false}, {"InQuotationMarks", true}};
INSTANTIATE_TEST_SUITE_P(, DialogCopies, ::testing::ValuesIn(typedPaths),
                         [](const auto& info) { return std::string(info.param.name); });

// The window is hidden before the file is read, and after the path warning the
// program ends: the dialog never comes back.
struct BadPath {
    const char* name;
    std::wstring (*make)(const TempFolder& folder);
    bool click;  // "OK" clicked; otherwise Enter
};
void PrintTo(const BadPath& b, std::ostream* out) { *out << b.name; }

class DialogPathWarning : public Dialog, public ::testing::WithParamInterface<BadPath> {};

TEST_P(DialogPathWarning, EndsTheProgramOnceDismissed)
{
    const std::wstring path = GetParam().make(folder);
    ASSERT_NO_FATAL_FAILURE(Open());
    Press(Typed(path));
    ExpectField(path, true);
    if (GetParam().click)
        Click(CentreOnScreen(ok));
    else
        Press(Tap(VK_RETURN));
    const auto box = app->WaitForMessageBox();
    ASSERT_TRUE(box) << "no path warning";
    EXPECT_EQ(box->title, L"Quillbox");
    EXPECT_EQ(box->text, PathWarningText);
    EXPECT_FALSE(IsWindowVisible(form)) << "the dialog is still shown behind the warning";
    EXPECT_NE(app->PressReturn(box->hwnd), Dismissal::KeyIgnored);
    EXPECT_EQ(app->WaitForExit(), 1u);
    EXPECT_EQ(app->ShowOrder(), (std::vector<std::wstring>{L"frmMain", L"#32770"}));
    ExpectClipboardUntouched();
}

const BadPath badPaths[] = {
    {"MissingFileByEnter", [](const TempFolder& f) { return f.Path() + L"missing.txt"; }, false},
    {"ASingleBlankByClickingOk", [](const TempFolder&) { return std::wstring(L" "); }, true},
};
INSTANTIATE_TEST_SUITE_P(, DialogPathWarning, ::testing::ValuesIn(badPaths),
                         [](const auto& info) { return std::string(info.param.name); });

// A file dragged onto the window puts its path in the field, and copies nothing
// until "OK". The drop is delivered as the system delivers one (see DropFile).
TEST_F(Dialog, ADroppedFileGoesIntoTheFieldAndOkCopiesIt)
{
    const std::wstring path = folder.File(L"dropped file.txt", "dropped");
    ASSERT_NO_FATAL_FAILURE(Open());
    Press(Tap(VK_TAB));
    ExpectFocus(cancel, "Cancel");
    app->DropFile(form, path, {20, 80});
    ExpectField(path, true);
    ExpectFocus(field, "the field");
    EXPECT_TRUE(app->Running());
    ExpectClipboardUntouched();
    Press(Tap(VK_RETURN));
    EXPECT_EQ(app->WaitForExit(), 0u);
    EXPECT_EQ(clipboard::Text(), std::wstring(L"dropped"));
}

// A failure in the window's own handling (here the drop finds no memory for
// its path) is reported over the dialog, which cannot be used under it; the
// program then ends with 1.
TEST_F(Dialog, AFailureInTheWindowIsReportedOverIt)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    app->FailAllocationsFrom(form, 1500);  // the report's own text needs less
    app->DropFile(form, L"C:\\" + std::wstring(900, L'x') + L".txt", {20, 80});
    const auto box = app->WaitForMessageBox();
    ASSERT_TRUE(box) << "no report";
    EXPECT_EQ(Lines(box->text).at(1), L"場所:frmMain" + ReportedVersion());
    EXPECT_EQ(GetWindow(box->hwnd, GW_OWNER), form);
    EXPECT_FALSE(IsWindowEnabled(form));
    EXPECT_NE(app->PressReturn(box->hwnd), Dismissal::KeyIgnored);
    EXPECT_EQ(app->WaitForExit(), 1u);
    ExpectClipboardUntouched();
}

// A real drag: a file dragged from an X program (as from a Linux file manager)
// and dropped on the field. Wine takes such a drag only for a window that is an
// X window of its own, which it makes outside its virtual desktop: so Quillbox
// runs here on a desktop of its own, straight on the X screen.
TEST_F(Dialog, AFileDraggedFromAnXProgramGoesIntoTheField)
{
    const char* xdrag = std::getenv("QB_XDRAG");
    if (!xdrag)
        GTEST_SKIP() << "needs QB_XDRAG, the xdrag program (CTest sets it)";
    const std::wstring path = folder.File(L"dragged file.txt", "dragged");
    app = std::make_unique<AppRun>(L"", AppRun::Start::AtOnce, L"WinSta0\\qb-e2e-x-screen");
    ASSERT_NO_FATAL_FAILURE(TakeShownDialog());

    std::string url = "file://";
    for (unsigned char c : UnixPath(path)) {
        static const char hex[] = "0123456789ABCDEF";
        if (std::isalnum(c) || std::strchr("/-._~", c))
            url += static_cast<char>(c);
        else
            url += {'%', hex[c >> 4], hex[c & 15]};
    }
    // The X screen is this desktop's screen: its coordinates are the root window's.
    const POINT at = CentreOnScreen(field);
    const std::wstring command = L"'" + std::wstring(xdrag, xdrag + std::strlen(xdrag)) + L"' " +
                                 std::to_wstring(at.x) + L" " + std::to_wstring(at.y) + L" '" +
                                 std::wstring(url.begin(), url.end()) + L"'";
    ASSERT_TRUE(RunLinux(command)) << "the drop was not taken";
    ExpectField(path, true);
    EXPECT_TRUE(app->Running());
    ExpectClipboardUntouched();
    PostMessageW(form, WM_CLOSE, 0, 0);
    ExpectEndedUntouched();
}

// WM_DROPFILES whose handle is no drop list of Quillbox's own. Wine's virtual
// desktop posts one for every file dragged from an X program: a handle to the
// desktop process's memory, which means nothing in Quillbox and may point at
// memory Quillbox has, holding something else. Quillbox must neither crash nor
// take it.
struct ForeignDrop {
    const char* name;
    WPARAM (*make)(AppRun& app, const std::wstring& path, std::string& block);
};
void PrintTo(const ForeignDrop& d, std::ostream* out) { *out << d.name; }

class DialogForeignDrop : public Dialog, public ::testing::WithParamInterface<ForeignDrop> {};

TEST_P(DialogForeignDrop, IsIgnored)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    Press(Typed(L"typed"));
    ExpectField(L"typed", true);
    std::string block;
    const WPARAM drop = GetParam().make(*app, folder.File(L"elsewhere.txt", "elsewhere"), block);
    ASSERT_TRUE(PostMessageW(form, WM_DROPFILES, drop, 0));
    // A key behind the drop shows when it has been dealt with. (Under Wine a
    // crashed app waits for its debugger: the key is what never arrives.)
    Press(Typed(L"!"));
    ExpectField(L"typed!", true);
    ASSERT_TRUE(app->Running());
    Press(Tap(VK_ESCAPE));
    ExpectEndedUntouched();
}

const ForeignDrop foreignDrops[] = {
    // A drop list in the test program's memory, as Wine's desktop makes one.
    {"AnotherProgramsList",
     [](AppRun&, const std::wstring& path, std::string& block) {
         block.assign(sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t), '\0');
         auto* header = reinterpret_cast<DROPFILES*>(block.data());
         header->pFiles = sizeof(DROPFILES);
         header->fWide = TRUE;
         std::copy(path.begin(), path.end(), reinterpret_cast<wchar_t*>(header + 1));
         return reinterpret_cast<WPARAM>(block.data());
     }},
    // Memory the app has, holding something else: here a header whose list
    // would lie far beyond it.
    {"TheAppsOwnMemory", [](AppRun& app, const std::wstring&, std::string&) {
         DROPFILES header{};
         header.pFiles = 0x7FFF0000;
         header.fWide = TRUE;
         return static_cast<WPARAM>(app.InAppMemory(&header, sizeof header));
     }},
};
INSTANTIATE_TEST_SUITE_P(, DialogForeignDrop, ::testing::ValuesIn(foreignDrops),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
