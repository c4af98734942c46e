// Helps scripts work with Wine: the clipboard and a raw command line. Used by the
// run script, the tests and the benchmarks.
//   qbwine keep      stays alive (until killed) so that Wine's desktop, which holds
//                    the clipboard, outlives the programs started after it
//   qbwine get       writes the clipboard's CF_UNICODETEXT to stdout as UTF-8, CR LF kept;
//                    exit status 1 when it holds no text
//   qbwine set       puts stdin (UTF-8) on the clipboard as CF_UNICODETEXT
//   qbwine seq       writes the clipboard's sequence number
//   qbwine run [--dismiss] EXE [ARGUMENT]
//                    runs EXE with ARGUMENT as the raw rest of its command line
//                    (Wine's own launcher would put quotation marks around an
//                    argument with blanks), waits and returns its exit code;
//                    with --dismiss, a message box of EXE's is written to stdout
//                    and answered with OK, for where nobody can see it
//   qbwine rect CLASS
//                    waits for a shown top-level window of that class and for
//                    it to be painted, then writes its place on the screen as
//                    WxH+X+Y (how ImageMagick crops); Wine's screen is the X
//                    root window's top left when it runs in its virtual desktop
//   qbwine close CLASS
//                    closes the shown top-level window of that class (WM_CLOSE)
//   qbwine indirect SOURCE
//                    writes the text that SHLoadIndirectString loads for SOURCE
//                    ("@FILE,-ID", as a right-click entry's MUIVerb names it)
// Copied under another name (the installer's test puts it in place of
// powershell.exe), it stands in for that program: it appends its command line,
// as UTF-8, and a line break to that name with .log added, beside it, and fails
// with exit code 1.
#include <windows.h>
#include <shlwapi.h>
#include <string>

namespace {

void Write(const std::string& s)
{
    DWORD n = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), s.data(), static_cast<DWORD>(s.size()), &n, nullptr);
}

std::string ReadStdin()
{
    std::string s;
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &n, nullptr) && n > 0)
        s.append(buffer, n);
    return s;
}

bool OpenClipboardSoon()
{
    for (int i = 0; i < 100; ++i) {
        if (OpenClipboard(nullptr))
            return true;
        Sleep(20);
    }
    return false;
}

int Get()
{
    if (!OpenClipboardSoon())
        return 2;
    int status = 1;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        const auto* text = static_cast<const wchar_t*>(GlobalLock(h));
        const int nText = static_cast<int>(wcslen(text));
        std::string utf8(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text, nText, nullptr, 0, nullptr, nullptr)), '\0');
        WideCharToMultiByte(CP_UTF8, 0, text, nText, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
        GlobalUnlock(h);
        Write(utf8);
        status = 0;
    }
    CloseClipboard();
    return status;
}

int Set()
{
    const std::string utf8 = ReadStdin();
    const int nChars = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, (static_cast<size_t>(nChars) + 1) * sizeof(wchar_t));
    auto* text = static_cast<wchar_t*>(GlobalLock(h));
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text, nChars);
    text[nChars] = 0;
    GlobalUnlock(h);
    if (!OpenClipboardSoon())
        return 2;
    EmptyClipboard();
    const bool ok = SetClipboardData(CF_UNICODETEXT, h) != nullptr;
    CloseClipboard();
    return ok ? 0 : 2;
}

int Keep()
{
    // A (hidden) window brings up Wine's desktop now, not in whatever program comes next.
    CreateWindowExW(0, L"STATIC", L"qbwine keeper", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}

std::string Utf8(const std::wstring& s)
{
    std::string utf8(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
    return utf8;
}

// Writes and answers a visible message box of process nPid (the lParam).
BOOL CALLBACK DismissBox(HWND hwnd, LPARAM lParam)
{
    DWORD nOwner = 0;
    GetWindowThreadProcessId(hwnd, &nOwner);
    wchar_t className[16] = {};
    GetClassNameW(hwnd, className, 16);
    if (nOwner != static_cast<DWORD>(lParam) || !IsWindowVisible(hwnd) || std::wstring(className) != L"#32770")
        return TRUE;
    wchar_t title[256] = {}, text[4096] = {};
    GetWindowTextW(hwnd, title, 256);
    GetDlgItemTextW(hwnd, 0xFFFF, text, 4096);
    Write("[" + Utf8(title) + "]\n" + Utf8(text) + "\n[OK]\n");
    PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
    return TRUE;
}

int Run(bool bDismiss, const wchar_t* exe, const wchar_t* argument)
{
    std::wstring line = L"\"" + std::wstring(exe) + L"\"";
    if (argument)
        line += L" " + std::wstring(argument);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 127;
    while (WaitForSingleObject(pi.hProcess, bDismiss ? 200 : INFINITE) == WAIT_TIMEOUT)
        EnumWindows(DismissBox, static_cast<LPARAM>(pi.dwProcessId));
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

// A shown top-level window of that class, waiting up to 10 s for one.
HWND FindShown(const std::wstring& className)
{
    for (int i = 0; i < 500; ++i) {
        const HWND hwnd = FindWindowW(className.c_str(), nullptr);
        if (hwnd && IsWindowVisible(hwnd))
            return hwnd;
        Sleep(20);
    }
    return nullptr;
}

// The window's place on the screen as an ImageMagick geometry, WxH+X+Y, once it is painted.
int Rect(const std::wstring& className)
{
    // Real pixels, whatever the DPI of the window.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    const HWND hwnd = FindShown(className);
    if (!hwnd)
        return 1;
    Sleep(700);  // painted, and the caret's first blink over
    RECT rc;
    GetWindowRect(hwnd, &rc);
    Write(std::to_string(rc.right - rc.left) + "x" + std::to_string(rc.bottom - rc.top) + "+" +
          std::to_string(rc.left) + "+" + std::to_string(rc.top) + "\n");
    return 0;
}

int Indirect(const wchar_t* source)
{
    wchar_t text[1024] = {};
    if (FAILED(SHLoadIndirectString(source, text, 1024, nullptr)))
        return 1;
    Write(Utf8(text) + "\n");
    return 0;
}

int StandIn(const std::wstring& self)
{
    const HANDLE log = CreateFileW((self + L".log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    const std::string line = Utf8(GetCommandLineW()) + "\n";
    DWORD n = 0;
    WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &n, nullptr);
    CloseHandle(log);
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (lstrcmpiW(PathFindFileNameW(self), L"qbwine.exe") != 0)
        return StandIn(self);
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"keep")
        return Keep();
    if (command == L"get")
        return Get();
    if (command == L"set")
        return Set();
    if (command == L"seq") {
        Write(std::to_string(GetClipboardSequenceNumber()) + "\n");
        return 0;
    }
    if (command == L"run") {
        const bool bDismiss = argc > 2 && std::wstring(argv[2]) == L"--dismiss";
        const int nExe = bDismiss ? 3 : 2;
        if (argc == nExe + 1 || argc == nExe + 2)
            return Run(bDismiss, argv[nExe], argc == nExe + 2 ? argv[nExe + 1] : nullptr);
    }
    if (command == L"rect" && argc == 3)
        return Rect(argv[2]);
    if (command == L"close" && argc == 3) {
        const HWND hwnd = FindShown(argv[2]);
        return hwnd && PostMessageW(hwnd, WM_CLOSE, 0, 0) ? 0 : 1;
    }
    if (command == L"indirect" && argc == 3)
        return Indirect(argv[2]);
    Write("usage: qbwine keep|get|set|seq|run [--dismiss] EXE [ARGUMENT]|rect|close CLASS|indirect SOURCE\n");
    return 2;
}
