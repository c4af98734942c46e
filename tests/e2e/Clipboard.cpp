// The clipboard from inside Wine, and as X clients see it.
#include "Harness.h"
#include <algorithm>
#include <cwchar>

namespace e2e {

namespace {

bool OpenClipboardSoon()
{
    // Another process (Wine's desktop serving X, or the app) may hold it for a moment.
    return WaitUntil(2s, [] { return OpenClipboard(nullptr) != FALSE; });
}

std::wstring FromUtf8(const std::string& bytes)
{
    if (bytes.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring s(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), s.data(), n);
    return s;
}

}  // namespace

bool clipboard::PutText(const std::wstring& text)
{
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (!memory)
        return false;
    std::copy_n(text.c_str(), text.size() + 1, static_cast<wchar_t*>(GlobalLock(memory)));
    GlobalUnlock(memory);
    if (!OpenClipboardSoon()) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    const bool put = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;  // the clipboard owns it now
    CloseClipboard();
    if (!put)
        GlobalFree(memory);
    return put;
}

std::optional<std::wstring> clipboard::Text()
{
    if (!OpenClipboardSoon())
        return std::nullopt;
    std::optional<std::wstring> text;
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        const auto* chars = static_cast<const wchar_t*>(GlobalLock(data));
        text.emplace(chars, wcsnlen(chars, GlobalSize(data) / sizeof(wchar_t)));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

DWORD clipboard::Sequence() { return GetClipboardSequenceNumber(); }

// ---- the Linux side ----

std::optional<std::string> RunLinux(const std::wstring& shellCommand, Duration limit)
{
    static int runs = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"qb-e2e-linux-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++runs) + L".out";
    // Wine hands a Linux program a file as its standard output, but not a pipe.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    Handle output = FileHandle(
        CreateFileW(path.c_str(), GENERIC_WRITE, share, &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
    const Handle reader = FileHandle(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!output || !reader)
        return std::nullopt;
    DeleteFileW(path.c_str());  // gone once both handles and the program's copy are closed

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = output.get();
    // Wine gives no process handle for a Linux program, so the shell marks its end in the output.
    const std::string mark = "\n<qb-e2e exit ";
    std::wstring command = L"/bin/sh -c \"" + shellCommand + L"; printf '\\n<qb-e2e exit %d>' $?\"";
    PROCESS_INFORMATION pi{};
    // Named by drive Z:, Wine's Unix root, so it is found whatever the current drive.
    if (!CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return std::nullopt;
    const Handle process(pi.hProcess);
    const Handle thread(pi.hThread);
    output.reset();

    std::string bytes;
    const bool ended = WaitUntil(limit, [&] {
        char chunk[65536];
        DWORD n = 0;
        while (ReadFile(reader.get(), chunk, sizeof chunk, &n, nullptr) && n > 0)
            bytes.append(chunk, n);
        return bytes.size() > mark.size() && bytes.back() == '>' && bytes.rfind(mark) != std::string::npos;
    });
    if (!ended)
        return std::nullopt;
    const size_t at = bytes.rfind(mark);
    if (bytes.compare(at + mark.size(), std::string::npos, "0>") != 0)
        return std::nullopt;
    bytes.resize(at);
    return bytes;
}

std::string UnixPath(const std::wstring& path)
{
    // Wine's own export: the Unix name behind a Windows path.
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* unix = toUnix ? toUnix(path.c_str()) : nullptr;
    if (!unix)
        throw SetupFailure("no Unix name for a test file");
    std::string s = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return s;
}

std::optional<std::wstring> XClipboardText()
{
    // timeout(1) ends xclip should the selection's owner never answer.
    const auto bytes = RunLinux(L"/usr/bin/timeout 4 /usr/bin/xclip -o -selection clipboard");
    return bytes ? std::optional<std::wstring>(FromUtf8(*bytes)) : std::nullopt;
}

}  // namespace e2e
