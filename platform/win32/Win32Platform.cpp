// frmMain's window: creating it and its controls, the message loop, and the
// field and message-box operations the form calls.
#include "platform/win32/Win32Platform.h"
#include "form/Layout.h"
#include "form/frmMain.h"
#include "platform/win32/Wide.h"

namespace {
constexpr int IdField = 100;
constexpr int IdLabel = 101;
constexpr wchar_t ClassName[] = L"frmMain";

[[noreturn]] void ThrowLastError() { throw Win32Platform::Failure(GetLastError()); }
}  // namespace

void Win32Platform::CreateForm(frmMain& form)
{
    form_ = &form;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = hInstance_;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = ClassName;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        ThrowLastError();

    const DWORD nStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    const int nDpi = 96;
    RECT rc{0, 0, MulDiv(FormLayout::ClientWidth, nDpi, 1440), MulDiv(FormLayout::ClientHeight, nDpi, 1440)};
    AdjustWindowRectEx(&rc, nStyle, FALSE, 0);
    if (!CreateWindowExW(0, ClassName, Wide(Program::Name), nStyle, CW_USEDEFAULT, CW_USEDEFAULT, rc.right - rc.left,
                         rc.bottom - rc.top, nullptr, nullptr, hInstance_, this))
        ThrowLastError();

    // Created in tab order.
    txt_ = CreateControl(FormLayout::txtMain, IdField, WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE);
    cmd_[0] = CreateControl(FormLayout::cmdMain[0], IDOK, WS_TABSTOP | WS_DISABLED | BS_DEFPUSHBUTTON, 0);
    cmd_[1] = CreateControl(FormLayout::cmdMain[1], IDCANCEL, WS_TABSTOP | BS_PUSHBUTTON, 0);
    lbl_ = CreateControl(FormLayout::lblMain, IdLabel, SS_LEFT, 0);
    SendMessageW(txt_, EM_SETLIMITTEXT, 0, 0);  // the largest text the field can hold
}

HWND Win32Platform::CreateControl(const ControlLayout& layout, int nId, DWORD nStyle, DWORD nExStyle)
{
    static const wchar_t* const classes[] = {L"STATIC", L"EDIT", L"BUTTON"};
    const int nDpi = 96;
    const HWND h = CreateWindowExW(nExStyle, classes[static_cast<int>(layout.kind)],
                                   reinterpret_cast<const wchar_t*>(layout.caption), WS_CHILD | WS_VISIBLE | nStyle,
                                   MulDiv(layout.left, nDpi, 1440), MulDiv(layout.top, nDpi, 1440),
                                   MulDiv(layout.width, nDpi, 1440), MulDiv(layout.height, nDpi, 1440), hwnd_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(nId)), hInstance_, nullptr);
    if (!h)
        ThrowLastError();
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return h;
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
    return self ? self->OnMessage(msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT Win32Platform::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CLOSE: {
        int16_t nCancel = 0;
        form_->Form_Close(nCancel);
        if (!nCancel)
            DestroyWindow(hwnd_);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd_, msg, wParam, lParam);
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

Text Win32Platform::CommandLine() { return FromWide(GetCommandLineW()); }

void Win32Platform::ShowForm()
{
    ShowWindow(hwnd_, nCmdShow_);
    SetFocus(txt_);
}

void Win32Platform::HideForm()
{
    // Only a shown window is hidden: the first ShowWindow of a process may take
    // its show command from the starter, and must not be spent here.
    if (IsWindowVisible(hwnd_))
        ShowWindow(hwnd_, SW_HIDE);
}

void Win32Platform::CloseForm() { SendMessageW(hwnd_, WM_CLOSE, 0, 0); }

void Win32Platform::SetFieldText(const Text& sText)
{
    SetLastError(ERROR_SUCCESS);
    if (!SetWindowTextW(txt_, Wide(sText))) {
        const DWORD nError = GetLastError();
        if (nError != ERROR_SUCCESS)
            throw Failure(nError);
        throw ErrorInfo{ErrorInfo::OutOfMemory, u"The text field could not take the file's text: not enough memory."};
    }
}

Text Win32Platform::FieldText()
{
    Text s(static_cast<size_t>(GetWindowTextLengthW(txt_)), u'\0');
    s.resize(static_cast<size_t>(GetWindowTextW(txt_, Wide(s), static_cast<int>(s.size()) + 1)));
    return s;
}

void Win32Platform::SelectField(int32_t nStart, int32_t nLength)
{
    SendMessageW(txt_, EM_SETSEL, static_cast<WPARAM>(nStart), static_cast<LPARAM>(nStart) + nLength);
}

void Win32Platform::CopyField() { SendMessageA(txt_, WM_COPY, 0, 0); }

void Win32Platform::EnableOk(bool bEnabled) { EnableWindow(cmd_[0], bEnabled); }

void Win32Platform::ShowMessage(const Text& sText, const Text& sTitle, uint32_t nStyle)
{
    if (!MessageBoxW(nullptr, Wide(sText), Wide(sTitle), nStyle))
        ThrowLastError();
}
