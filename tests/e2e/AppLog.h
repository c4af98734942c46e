// What the hook DLL records inside Quillbox: a block of shared memory that the
// harness creates, under a name made from the app's process id, before the app runs.
#pragma once
#include <windows.h>

namespace e2e {

struct WindowEvent {
    enum Kind : LONG { Empty = 0, Created = 1, Shown = 2 };
    volatile LONG kind;  // written last: an entry is complete once it is not Empty
    ULONG64 hwnd;
    wchar_t className[64];
    wchar_t text[256];
};

// A question the harness puts to the app from inside, where it can do what no
// other process can: a window's font (WM_GETFONT across processes gives 0), or
// messages whose parameters point into the app's own memory. The harness fills
// it, then sends the registered message ProbeMessage to the window concerned;
// the hook answers before the window procedure sees it.
struct Probe {
    enum Kind : LONG { Font = 1, DpiChanged = 2, DropFiles = 3, AccessibleName = 4, FailAllocations = 5 };
    // Font: what the window answers to WM_GETFONT, as created and as realised on a DC.
    BOOL hasFont;
    LOGFONTW font;
    wchar_t realisedFace[LF_FACESIZE];
    LONG realisedCharset;
    // DpiChanged: the new DPI is the message's lParam. As Windows does when a
    // drag takes the window onto a screen of that DPI, the window is asked its
    // size there (WM_GETDPISCALEDSIZE, from its size scaled), then is suggested
    // a rectangle of that size (WM_DPICHANGED), moved as by the drag.
    BOOL sizeAnswered;
    SIZE size;
    RECT suggested;
    // AccessibleName: the window's name as screen readers get it (IAccessible's
    // accName), and what asking for it returned.
    HRESULT nameResult;
    wchar_t name[256];
    // FailAllocations: from now on the app's allocations of lParam bytes or more fail.
    // DropFiles: the files, each ended by a NUL, the list by another; dropped
    // at the point in the window's client area given by the message's lParam.
    wchar_t files[1024];
};

struct AppLog {
    volatile LONG messages;  // messages the hooks saw; nonzero proves they are in place
    volatile LONG keyDowns;  // WM_KEYDOWN taken from the app's queue
    volatile LONG events;    // entries reserved; more than the capacity are dropped
    WindowEvent event[64];
    // Set by the harness before the app runs: the app's first ReadFile waits, after
    // signalling AppEventName(.., L"read"), until AppEventName(.., L"go") is set.
    volatile LONG pauseAtRead;
    // Set by the harness before the app runs: system calls that fail in the app.
    enum Fault : LONG { NoMessageBox = 1, NoFont = 2 };
    volatile LONG faults;
    Probe probe;
    // Bytes the harness writes and the app has in its memory, at this address there.
    ULONG64 scratchInApp;
    BYTE scratch[64];
};

inline UINT ProbeMessage() { return RegisterWindowMessageW(L"qb-e2e-probe"); }

// wsprintfW rather than the C++ library: the DLL loads into Quillbox, which
// finds DLLs in the system folder only, so it must need nothing but system DLLs.
inline void AppLogName(DWORD processId, wchar_t (&name)[64])
{
    wsprintfW(name, L"Local\\qb-e2e-log-%lu", processId);
}

inline void AppEventName(DWORD processId, const wchar_t* what, wchar_t (&name)[64])
{
    wsprintfW(name, L"Local\\qb-e2e-%s-%lu", what, processId);
}

}  // namespace e2e
