#include "AppTest.h"
#include "common/Contact.h"
#include <cwchar>

namespace e2e {

std::wstring ReportedVersion()
{
    const std::wstring exe = AppRun::ExePath();
    DWORD ignored = 0;
    std::string block(GetFileVersionInfoSizeW(exe.c_str(), &ignored), '\0');
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    if (block.empty() || !GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(block.size()), block.data()) ||
        !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size))
        return L"(no version block)";
    wchar_t text[32];
    swprintf(text, ARRAYSIZE(text), L"%u.%02u.%04u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
             LOWORD(fixed->dwFileVersionLS));
    return text;
}

std::wstring ErrorReport(const std::wstring& code, const std::wstring& place, const std::wstring& description)
{
    return L"エラー番号:" + code + L"\r\n" +
           L"場所:" + place + ReportedVersion() + L"\r\n" +
           description + L"\r\n" +
           L"上記の説明と、エラーの発生したときの簡単な状況を書いて、\r\n" +
           L"\"" QB_CONTACT_NAME "\" <" QB_CONTACT_MAIL "> まで連絡してください。";
}

std::vector<std::wstring> Lines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    for (size_t start = 0;;) {
        const size_t end = text.find(L"\r\n", start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::wstring::npos)
            return lines;
        start = end + 2;
    }
}

std::vector<std::wstring> Classes(const std::vector<AppWindow>& windows)
{
    std::vector<std::wstring> classes;
    for (const AppWindow& w : windows)
        classes.push_back(w.className);
    return classes;
}

}  // namespace e2e
