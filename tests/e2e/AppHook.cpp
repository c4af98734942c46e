// The hook DLL. The harness hooks Quillbox's main thread with it before the
// first instruction runs, so every top-level window the app creates or shows,
// and every key it takes, is recorded in the AppLog, however briefly it lived.
#include "AppLog.h"

namespace {

e2e::AppLog* Log()
{
    static e2e::AppLog* log = [] {
        wchar_t name[64];
        e2e::AppLogName(GetCurrentProcessId(), name);
        const HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, name);
        // The mapping stays open for the life of the process: the app ends with ExitProcess.
        return mapping ? static_cast<e2e::AppLog*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0)) : nullptr;
    }();
    return log;
}

void Record(e2e::AppLog& log, e2e::WindowEvent::Kind kind, HWND hwnd)
{
    const LONG i = InterlockedIncrement(&log.events) - 1;
    if (i >= static_cast<LONG>(ARRAYSIZE(log.event)))
        return;
    e2e::WindowEvent& e = log.event[i];
    e.hwnd = reinterpret_cast<ULONG_PTR>(hwnd);
    GetClassNameW(hwnd, e.className, ARRAYSIZE(e.className));
    GetWindowTextW(hwnd, e.text, ARRAYSIZE(e.text));
    MemoryBarrier();
    e.kind = kind;
}

bool IsShow(const CWPSTRUCT& m)
{
    return (m.message == WM_SHOWWINDOW && m.wParam) ||
           (m.message == WM_WINDOWPOSCHANGING && (reinterpret_cast<const WINDOWPOS*>(m.lParam)->flags & SWP_SHOWWINDOW));
}

}  // namespace

// WH_CALLWNDPROC: sent messages, which is how creation and showing arrive.
extern "C" __declspec(dllexport) LRESULT CALLBACK QbCallWndProc(int code, WPARAM wParam, LPARAM lParam)
{
    e2e::AppLog* log = code == HC_ACTION ? Log() : nullptr;
    if (log) {
        InterlockedIncrement(&log->messages);
        const auto& m = *reinterpret_cast<const CWPSTRUCT*>(lParam);
        // A child shown inside a hidden window is not seen by anyone.
        if (!(GetWindowLongW(m.hwnd, GWL_STYLE) & WS_CHILD)) {
            if (m.message == WM_CREATE)
                Record(*log, e2e::WindowEvent::Created, m.hwnd);
            else if (IsShow(m))
                Record(*log, e2e::WindowEvent::Shown, m.hwnd);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// WH_GETMESSAGE: posted messages, which is how keys arrive.
extern "C" __declspec(dllexport) LRESULT CALLBACK QbGetMessageProc(int code, WPARAM wParam, LPARAM lParam)
{
    e2e::AppLog* log = code == HC_ACTION && wParam == PM_REMOVE ? Log() : nullptr;
    if (log) {
        InterlockedIncrement(&log->messages);
        const auto& m = *reinterpret_cast<const MSG*>(lParam);
        if (m.message == WM_KEYDOWN)
            InterlockedIncrement(&log->keyDowns);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
