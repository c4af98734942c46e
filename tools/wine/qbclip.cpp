// The clipboard from inside Wine, for the run script, the tests and the benchmarks.
//   qbclip keep      stays alive (until killed) so that Wine's desktop, which holds
//                    the clipboard, outlives the programs started after it
//   qbclip get       writes the clipboard's CF_UNICODETEXT to stdout as UTF-8, CR LF kept;
//                    exit status 1 when it holds no text
//   qbclip set       puts stdin (UTF-8) on the clipboard as CF_UNICODETEXT
//   qbclip seq       writes the clipboard's sequence number
#include <windows.h>
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
    CreateWindowExW(0, L"STATIC", L"qbclip keeper", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
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
    Write("usage: qbclip keep|get|set|seq\n");
    return 2;
}
