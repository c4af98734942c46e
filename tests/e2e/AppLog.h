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

struct AppLog {
    volatile LONG messages;  // messages the hooks saw; nonzero proves they are in place
    volatile LONG keyDowns;  // WM_KEYDOWN taken from the app's queue
    volatile LONG events;    // entries reserved; more than the capacity are dropped
    WindowEvent event[64];
    // Set by the harness before the app runs: the app's first ReadFile waits, after
    // signalling AppEventName(.., L"read"), until AppEventName(.., L"go") is set.
    volatile LONG pauseAtRead;
};

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
