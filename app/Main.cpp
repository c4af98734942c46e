// The process entry and the end of program.
#include "app/EndProgram.h"
#include "form/frmMain.h"
#include "platform/win32/Win32Platform.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int nCmdShow)
{
    // Before anything can touch a drive: a drive without a medium is a failure
    // the program reports itself, never a system box asking to insert a disk.
    SetErrorMode(SEM_FAILCRITICALERRORS);
    // Before anything can load a DLL: never from the current or the program's folder.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

    Win32Platform platform(hInstance, nCmdShow);
    frmMain form(platform);
    try {
        platform.CreateForm(form);
    } catch (...) {
        form.ReportAndEnd(u"frmMain");
    }
    form.Form_Load();
    platform.RunMessageLoop();
    EndProgram(0);
}

void EndProgram(uint32_t nExitCode) { ExitProcess(nExitCode); }
