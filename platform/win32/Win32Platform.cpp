// frmMain's window: creating it and its controls, laying them out for the DPI,
// the message loop, and the field and message-box operations the form calls.
#include "platform/win32/Win32Platform.h"
#include "form/Layout.h"
#include "form/frmMain.h"
#include "platform/win32/Wide.h"
#include "resources/resource.h"
#include <shlobj.h>  // DROPFILES
#include <algorithm>
#include <string>

namespace {
constexpr int IdField = 100;
constexpr int IdLabel = 101;
constexpr wchar_t ClassName[] = L"frmMain";
// A fixed border, a close box and system menu, and minimise: the window is the
// program's only one and has its own taskbar button.
constexpr DWORD FormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD FormExStyle = WS_EX_ACCEPTFILES;
// By ControlLayout::Kind.
constexpr const wchar_t* ControlClasses[] = {L"STATIC", L"EDIT", L"BUTTON"};

[[noreturn]] void ThrowLastError() { throw Win32Platform::Failure(GetLastError()); }

int CALLBACK NoteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM lParam)
{
    *reinterpret_cast<bool*>(lParam) = true;
    return 0;
}

bool FaceInstalled(const LOGFONTW& font)
{
    LOGFONTW query{};
    query.lfCharSet = font.lfCharSet;
    wcscpy_s(query.lfFaceName, font.lfFaceName);
    bool bFound = false;
    const HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &query, NoteFound, reinterpret_cast<LPARAM>(&bFound), 0);
    ReleaseDC(nullptr, dc);
    return bFound;
}

// The form's font at nDpi. Where its face is not installed, the system's message
// font face stands in, at the same size: it shows Japanese and Latin text well
// on any system, where the font mapper's own choice may not.
HFONT CreateFormFont(UINT nDpi)
{
    LOGFONTW font{};
    font.lfHeight = FormLayout::FontHeight(static_cast<int>(nDpi));
    font.lfWeight = FormLayout::FontWeight;
    font.lfCharSet = FormLayout::FontCharset;
    wcscpy_s(font.lfFaceName, reinterpret_cast<const wchar_t*>(FormLayout::FontFace));
    if (!FaceInstalled(font)) {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, nDpi)) {
            wcscpy_s(font.lfFaceName, metrics.lfMessageFont.lfFaceName);
            font.lfCharSet = metrics.lfMessageFont.lfCharSet;
        }
    }
    return CreateFontIndirectW(&font);
}

// The window's outer size at nDpi: the layout's client area in a frame drawn for that DPI.
SIZE WindowSize(UINT nDpi)
{
    const PixelRect client = FormLayout::Client(static_cast<int>(nDpi));
    RECT outer{0, 0, client.width, client.height};
    AdjustWindowRectExForDpi(&outer, FormStyle, FALSE, FormExStyle, nDpi);
    return {outer.right - outer.left, outer.bottom - outer.top};
}

// Whether hDrop is a list of dropped files in this process's own memory, whole:
// a DROPFILES header and names ended by an empty one, all inside the block.
// Any program may post WM_DROPFILES, and Wine's virtual desktop posts one for a
// drag from an X program with a handle to its own memory, which means nothing
// here: reading through it would crash.
bool IsDropList(HDROP hDrop)
{
    const SIZE_T nSize = GlobalSize(hDrop);  // 0 for anything not of this process's heap
    const auto* drop = nSize >= sizeof(DROPFILES) ? static_cast<const DROPFILES*>(GlobalLock(hDrop)) : nullptr;
    if (!drop)
        return false;
    bool bWhole = false;
    if (drop->pFiles >= sizeof(DROPFILES) && drop->pFiles < nSize) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(drop);
        const SIZE_T nUnit = drop->fWide ? sizeof(wchar_t) : 1;
        SIZE_T nZeros = 0;  // zero bytes in a row, counted in whole characters
        for (SIZE_T i = drop->pFiles; i + nUnit <= nSize && !bWhole; i += nUnit) {
            const bool bNul = std::all_of(bytes + i, bytes + i + nUnit, [](unsigned char b) { return b == 0; });
            nZeros = bNul ? nZeros + 1 : 0;
            bWhole = nZeros == 2;
        }
    }
    GlobalUnlock(hDrop);
    return bWhole;
}
}  // namespace

Win32Platform::~Win32Platform()
{
    if (hwnd_)  // with its controls: no later message finds the object gone
        DestroyWindow(hwnd_);
    if (font_)
        DeleteObject(font_);
}

void Win32Platform::CreateForm(frmMain& form)
{
    form_ = &form;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WndProc;
    wc.cbWndExtra = DLGWINDOWEXTRA;  // the dialog manager's default handling, see OnMessage
    wc.hInstance = hInstance_;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = ClassName;
    wc.hIcon = static_cast<HICON>(LoadImageW(hInstance_, MAKEINTRESOURCEW(IDI_QUILLBOX), IMAGE_ICON, 32, 32, 0));
    wc.hIconSm = static_cast<HICON>(LoadImageW(hInstance_, MAKEINTRESOURCEW(IDI_QUILLBOX), IMAGE_ICON, 16, 16, 0));
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        ThrowLastError();

    if (!CreateWindowExW(FormExStyle, ClassName, Wide(Program::Name), FormStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
                         nullptr, nullptr, hInstance_, this))
        ThrowLastError();
    const auto controls = Controls();
    for (const ControlLayout* layout : FormLayout::CreationOrder) {
        const auto c = std::find_if(controls.begin(), controls.end(),
                                    [&](const Control& control) { return &control.layout == layout; });
        c->hwnd = CreateWindowExW(c->exStyle, ControlClasses[static_cast<int>(layout->kind)],
                                  reinterpret_cast<const wchar_t*>(layout->caption), WS_CHILD | WS_VISIBLE | c->style,
                                  0, 0, 0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c->id)), hInstance_,
                                  nullptr);
        if (!c->hwnd)
            ThrowLastError();
    }
    fieldProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(txt_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32Platform::FieldProc)));
    SpendStartupShowCommand();
    SendMessageW(txt_, EM_SETLIMITTEXT, 0, 0);  // the largest text the field can hold
    SendMessageW(hwnd_, DM_SETDEFID, IDOK, 0);
    const UINT nDpi = GetDpiForWindow(hwnd_);
    ApplyLayout(nDpi);
    // GDI says nothing when it cannot make a font: it has run out of resources then.
    if (!font_)
        throw Failure(ERROR_NOT_ENOUGH_MEMORY);
    const SIZE size = WindowSize(nDpi);
    SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::array<Win32Platform::Control, 4> Win32Platform::Controls()
{
    return {{
        {FormLayout::lblMain, lbl_, IdLabel, SS_LEFT, 0},
        {FormLayout::txtMain, txt_, IdField, WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
        {FormLayout::cmdMain[0], cmd_[0], IDOK, WS_TABSTOP | WS_DISABLED | BS_DEFPUSHBUTTON, 0},
        {FormLayout::cmdMain[1], cmd_[1], IDCANCEL, WS_TABSTOP | BS_PUSHBUTTON, 0},
    }};
}

// The first ShowWindow of a process may show its window as the starter asked
// (STARTUPINFO.wShowWindow: hidden, minimised, maximised). ShowWindow's
// documentation says that the first call's own command is then ignored,
// whatever window it names; the window manager is known to give the starter's
// command to the first show of an unowned top-level window with a caption. Left
// for later, that would be a message box on the command-line road (hidden, and
// waiting unseen) or the dialog (maximised). It is spent here, where nobody can
// see it under either rule: on the label inside the hidden window, which the
// second call puts back as it was; then on the hidden window itself, with
// SW_HIDE, which no rule turns into a show.
void Win32Platform::SpendStartupShowCommand()
{
    ShowWindow(lbl_, SW_SHOWNA);
    ShowWindow(lbl_, SW_SHOWNOACTIVATE);
    ShowWindow(hwnd_, SW_HIDE);
}

int Win32Platform::DialogShowCommand(int nCmdShow)
{
    switch (nCmdShow) {
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE:
        return SW_SHOWMINNOACTIVE;
    case SW_SHOWNOACTIVATE:
    case SW_SHOWNA:
        // A starter that keeps the focus for itself (a launcher that stays in use).
        return SW_SHOWNOACTIVATE;
    default:
        // Never maximised: the dialog has one size. Never hidden either: a hidden
        // dialog would wait for a user who cannot see it.
        return SW_SHOWNORMAL;
    }
}

void Win32Platform::ApplyLayout(UINT nDpi)
{
    if (const HFONT font = CreateFormFont(nDpi)) {
        for (const Control& c : Controls())
            SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (font_)
            DeleteObject(font_);
        font_ = font;
    }
    for (const Control& c : Controls()) {
        const PixelRect r = FormLayout::Place(c.layout, static_cast<int>(nDpi));
        SetWindowPos(c.hwnd, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
}

// Windows moves the window to a screen of another DPI in two steps: it asks for
// the size there (WM_GETDPISCALEDSIZE), then suggests a rectangle of that size
// placed so that the window stays under the cursor (WM_DPICHANGED). Taken whole,
// the window neither drifts from the cursor nor bounces back across the edge.
void Win32Platform::OnDpiChanged(UINT nDpi, const RECT& suggested)
{
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyLayout(nDpi);
}

void Win32Platform::RunMessageLoop()
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(hwnd_, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

LRESULT CALLBACK Win32Platform::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<Win32Platform*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32Platform*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    // No C++ exception may cross into the system's frames: a failure in a handler
    // that has no catch of its own (the drop's, which allocates) is reported like
    // any other, and the program ends.
    try {
        return self->OnMessage(msg, wParam, lParam);
    } catch (...) {
        self->form_->ReportAndEnd(u"frmMain");
    }
}

// What the window does not handle itself goes to the dialog manager, which
// gives it the keys of a dialog: the default and cancel buttons, Tab, access
// keys, and the focus kept across activation.
LRESULT Win32Platform::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CLOSE: {
        int16_t nCancel = 0;
        form_->Form_Close(nCancel);  // ends the program: a close is never refused
    }
    case WM_GETDPISCALEDSIZE:
        *reinterpret_cast<SIZE*>(lParam) = WindowSize(static_cast<UINT>(wParam));
        return TRUE;
    case WM_DPICHANGED:
        OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_GETFONT:  // the dialog manager keeps a font only for dialogs made from a template
        return reinterpret_cast<LRESULT>(font_);
    default:
        return DefDlgProcW(hwnd_, msg, wParam, lParam);
    }
}

// No C++ exception may cross the window procedure: a failure in a handler that
// has none of its own is reported like any other, and the program ends.
void Win32Platform::OnCommand(int nId, int nCode)
{
    const char16_t* sPlace = u"cmdMain_Press";
    try {
        if (nId == IdField && nCode == EN_CHANGE) {
            sPlace = u"txtMain_TextChanged";
            form_->txtMain_TextChanged();
        } else if (nId == IDOK && IsWindowEnabled(cmd_[0])) {  // Enter never presses a disabled "OK"
            form_->cmdMain_Press(0);
        } else if (nId == IDCANCEL) {
            form_->cmdMain_Press(1);
        }
    } catch (...) {
        form_->ReportAndEnd(sPlace);
    }
}

// A file dropped on the window: its path goes into the field, as if typed; the
// user still presses OK.
void Win32Platform::OnDropFiles(HDROP hDrop)
{
    if (!IsDropList(hDrop))
        return;
    std::wstring path(DragQueryFileW(hDrop, 0, nullptr, 0), L'\0');
    DragQueryFileW(hDrop, 0, path.data(), static_cast<UINT>(path.size()) + 1);
    DragFinish(hDrop);
    if (path.empty())
        return;
    SetWindowTextW(txt_, path.c_str());
    SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(txt_), TRUE);
    SendMessageW(txt_, EM_SETSEL, path.size(), path.size());
    SetForegroundWindow(hwnd_);
}

Text Win32Platform::CommandLine() { return FromWide(GetCommandLineW()); }

void Win32Platform::ShowForm()
{
    ShowWindow(hwnd_, nCmdShow_);
    // The label's access key is always underlined, not only once Alt is pressed.
    SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEACCEL), 0);
    // Setting the focus would activate a dialog started minimised or without
    // activation; there the dialog manager puts it in the field, the first
    // control that takes it, once the user brings the dialog up or clicks it.
    if (nCmdShow_ == SW_SHOWNORMAL)
        SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(txt_), TRUE);
}

void Win32Platform::HideForm() { ShowWindow(hwnd_, SW_HIDE); }

void Win32Platform::CloseForm() { SendMessageW(hwnd_, WM_CLOSE, 0, 0); }

void Win32Platform::SetFieldText(const Text& sText)
{
    SetLastError(ERROR_SUCCESS);
    const BOOL bSet = SetWindowTextW(txt_, Wide(sText));
    if (const DWORD nError = GetLastError(); !bSet && nError != ERROR_SUCCESS)
        throw Failure(nError);
    // An edit control that cannot grow its buffer keeps its old text and says so
    // only with EN_ERRSPACE, while WM_SETTEXT still reports success.
    const size_t nExpected = std::min(sText.size(), sText.find(u'\0'));
    if (!bSet || static_cast<size_t>(FieldLength()) != nExpected)
        throw ErrorInfo{ErrorInfo::OutOfMemory, InUserLanguage(Description::FieldFull)};
}

Text Win32Platform::FieldText()
{
    Text s(static_cast<size_t>(FieldLength()), u'\0');
    s.resize(static_cast<size_t>(GetWindowTextW(txt_, Wide(s), static_cast<int>(s.size()) + 1)));
    return s;
}

int32_t Win32Platform::FieldLength() { return GetWindowTextLengthW(txt_); }

void Win32Platform::SelectField(int32_t nStart, int32_t nLength)
{
    SendMessageW(txt_, EM_SETSEL, static_cast<WPARAM>(nStart), static_cast<LPARAM>(nStart) + nLength);
}

void Win32Platform::CopyField()
{
    copyFailure_ = nullptr;
    bCopyField_ = true;
    SendMessageA(txt_, WM_COPY, 0, 0);
    bCopyField_ = false;
    if (copyFailure_)
        std::rethrow_exception(copyFailure_);
}

// The field's own copy and cut. The field keeps its text; the copy is made here.
LRESULT CALLBACK Win32Platform::FieldProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<Win32Platform*>(GetWindowLongPtrW(GetParent(hwnd), GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg != WM_COPY && msg != WM_CUT)
        return CallWindowProcW(self->fieldProc_, hwnd, msg, wParam, lParam);
    // A copy by the user's keys or menu that fails is heard; the program's own reports.
    try {
        self->CopySelection();
        if (msg == WM_CUT)
            SendMessageW(hwnd, WM_CLEAR, 0, 0);
    } catch (...) {
        self->copyFailure_ = std::current_exception();
        if (!self->bCopyField_)
            MessageBeep(MB_ICONWARNING);
    }
    return 0;
}

// A system field's copy may take the clipboard and fail half-way: Windows' may
// empty it and then find no memory for the text, and Wine's puts its text there
// even while another program holds the clipboard open. So the text is made
// ready first, and the clipboard is emptied only once it is open to the field:
// a copy that cannot be made leaves the clipboard as it was. A clipboard that
// another program holds (a clipboard manager, clipboard history, remote-desktop
// sharing) is tried again for about a second, as other programs wait for it.
// An empty selection copies nothing.
void Win32Platform::CopySelection()
{
    DWORD nStart = 0, nEnd = 0;
    SendMessageW(txt_, EM_GETSEL, reinterpret_cast<WPARAM>(&nStart), reinterpret_cast<LPARAM>(&nEnd));
    if (nEnd <= nStart)
        return;
    const DWORD nLength = nEnd - nStart;
    const auto NoMemory = [] { return ErrorInfo{ErrorInfo::OutOfMemory, InUserLanguage(Description::NoMemory)}; };
    std::unique_ptr<void, GlobalFreer> block(GlobalAlloc(GMEM_MOVEABLE, (SIZE_T{nEnd} + 1) * sizeof(wchar_t)));
    auto* const text = block ? static_cast<wchar_t*>(GlobalLock(block.get())) : nullptr;
    if (!text)
        throw NoMemory();
    // The text up to the selection's end, then the selection moved to the front.
    const auto nRead = static_cast<DWORD>(SendMessageW(txt_, WM_GETTEXT, nEnd + 1, reinterpret_cast<LPARAM>(text)));
    // The field gave less than it holds: a shorter copy is not the selection. (The
    // block is freed as the failure leaves, locked or not.)
    if (nRead < nEnd)
        throw ErrorInfo{ErrorInfo::InternalError, InUserLanguage(Description::CopyNotMade)};
    std::copy(text + nStart, text + nEnd, text);
    text[nLength] = L'\0';
    GlobalUnlock(block.get());
    // The block holds the selection alone: a reader may go by its size.
    if (nStart > 0) {
        const HGLOBAL shrunk = GlobalReAlloc(block.get(), (SIZE_T{nLength} + 1) * sizeof(wchar_t), GMEM_MOVEABLE);
        if (!shrunk)
            throw NoMemory();
        block.release();
        block.reset(shrunk);
    }

    constexpr int nTries = 10;
    constexpr DWORD nPause = 100;  // ms
    for (int nTry = 1; !OpenClipboard(txt_); ++nTry) {
        if (nTry == nTries)
            throw ErrorInfo{static_cast<int32_t>(HRESULT_FROM_WIN32(ERROR_CLIPBOARD_NOT_OPEN)),
                            InUserLanguage(Description::ClipboardHeld)};
        Sleep(nPause);
    }
    const bool bEmptied = EmptyClipboard();
    const bool bSet = bEmptied && SetClipboardData(CF_UNICODETEXT, block.get());
    CloseClipboard();
    if (!bEmptied)
        throw ErrorInfo{static_cast<int32_t>(CLIPBRD_E_CANT_EMPTY), InUserLanguage(Description::CopyNotMade)};
    if (!bSet)
        throw ErrorInfo{static_cast<int32_t>(CLIPBRD_E_CANT_SET), InUserLanguage(Description::ClipboardEmptied)};
    block.release();  // the clipboard's now
}

void Win32Platform::EnableOk(bool bEnabled) { EnableWindow(cmd_[0], bEnabled); }

bool Win32Platform::ShowMessage(const Text& sText, const Text& sTitle, uint32_t nStyle)
{
    // Owned by the dialog while the dialog is up, so that the dialog cannot be
    // used under its own message; otherwise a window of its own, with its own
    // button on the taskbar.
    const HWND owner = IsWindowVisible(hwnd_) && !IsIconic(hwnd_) ? hwnd_ : nullptr;
    return MessageBoxW(owner, Wide(sText), Wide(sTitle), nStyle) != 0;
}
