// The benchmark's reference: reads and converts a file with Quillbox's own code
// and puts the text on the clipboard with SetClipboardData, without the field.
// No program on this platform can copy a file's text faster.
#include "app/EndProgram.h"
#include "form/frmMain.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Wide.h"
#include <cstring>

void EndProgram(uint32_t nExitCode) { ExitProcess(nExitCode); }

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR sArgument, int)
{
    Win32Platform platform(hInstance, SW_HIDE);
    HGLOBAL h = nullptr;
    try {
        auto file = platform.OpenForRead(FromWide(sArgument));
        std::string bytes = file->Read(static_cast<int32_t>(file->Length()));
        file.reset();
        size_t nMark = 0;
        const Encoding encoding = frmMain::ChooseEncoding(bytes, nMark).value();
        Text text = platform.BytesToText(frmMain::TextBytes(bytes, nMark, encoding), encoding);
        std::string().swap(bytes);
        const size_t nSize = (text.size() + 1) * sizeof(char16_t);
        if (!(h = GlobalAlloc(GMEM_MOVEABLE, nSize)))
            return 2;
        std::memcpy(GlobalLock(h), text.c_str(), nSize);
        GlobalUnlock(h);
    } catch (...) {
        return 1;
    }
    if (!OpenClipboard(nullptr))
        return 3;
    EmptyClipboard();
    const bool bSet = SetClipboardData(CF_UNICODETEXT, h) != nullptr;
    CloseClipboard();
    return bSet ? 0 : 4;
}
