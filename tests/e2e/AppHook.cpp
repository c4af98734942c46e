// The hook DLL. The harness hooks Quillbox's main thread with it before the
// first instruction runs, so every top-level window the app creates or shows,
// and every key it takes, is recorded in the AppLog, however briefly it lived.
// On request it also holds the app's read of its file, so that a test can change
// the file between the moment the app took its length and the read, and makes
// system calls of the app fail, as they may on a system short of resources.
#include "AppLog.h"
#include "PatchImport.h"
#include <oleacc.h>
#include <shlobj.h>
#include <windowsx.h>

namespace {

using ReadFileProc = BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
ReadFileProc realReadFile = nullptr;

BOOL WINAPI ReadFileAfterPause(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED overlapped)
{
    static bool paused = false;
    if (!paused) {
        paused = true;
        wchar_t name[64];
        e2e::AppEventName(GetCurrentProcessId(), L"read", name);
        const HANDLE atRead = OpenEventW(EVENT_MODIFY_STATE, FALSE, name);
        e2e::AppEventName(GetCurrentProcessId(), L"go", name);
        const HANDLE go = OpenEventW(SYNCHRONIZE, FALSE, name);
        if (atRead && go && SetEvent(atRead))
            WaitForSingleObject(go, 20000);  // bounded: a test that never answers cannot hang the app
        if (atRead)
            CloseHandle(atRead);
        if (go)
            CloseHandle(go);
    }
    return realReadFile(file, buffer, count, read, overlapped);
}

int WINAPI NoMessageBox(HWND, LPCWSTR, LPCWSTR, UINT)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
}

HFONT WINAPI NoFont(const LOGFONTW*)
{
    SetLastError(ERROR_SUCCESS);  // GDI, short of resources, says nothing either
    return nullptr;
}

using MallocProc = void*(__cdecl*)(size_t);
MallocProc realMalloc = nullptr;
size_t failAllocationsFrom = 0;

void* __cdecl MallocUnlessLarge(size_t size)
{
    return size >= failAllocationsFrom ? nullptr : realMalloc(size);
}

// From now on, the app's allocations of that many bytes or more find no memory.
void FailAllocationsFrom(size_t size)
{
    failAllocationsFrom = size;
    if (!realMalloc)
        realMalloc = PatchImport("msvcrt.dll", "malloc", &MallocUnlessLarge);
}

e2e::AppLog* Log()
{
    static e2e::AppLog* log = [] {
        wchar_t name[64];
        e2e::AppLogName(GetCurrentProcessId(), name);
        const HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, name);
        // The mapping stays open for the life of the process: the app ends with ExitProcess.
        auto* const view = mapping ? static_cast<e2e::AppLog*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0)) : nullptr;
        if (view) {
            view->scratchInApp = reinterpret_cast<ULONG_PTR>(view->scratch);
            // The first hooked message comes while the app makes its window,
            // before it makes a font, shows a message or reads a file.
            if (view->pauseAtRead)
                realReadFile = PatchImport("kernel32.dll", "ReadFile", &ReadFileAfterPause);
            if (view->faults & e2e::AppLog::NoMessageBox)
                PatchImport("user32.dll", "MessageBoxW", &NoMessageBox);
            if (view->faults & e2e::AppLog::NoFont)
                PatchImport("gdi32.dll", "CreateFontIndirectW", &NoFont);
        }
        return view;
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

void AnswerFont(e2e::Probe& probe, HWND hwnd)
{
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    probe.hasFont = font && GetObjectW(font, sizeof probe.font, &probe.font) == sizeof probe.font;
    const HDC dc = GetDC(hwnd);
    const HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(SYSTEM_FONT));
    GetTextFaceW(dc, LF_FACESIZE, probe.realisedFace);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    probe.realisedCharset = metrics.tmCharSet;
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
}

// oleacc and oleaut32 are loaded only when asked for: the DLL itself needs no
// more than what every Windows program has loaded.
void AnswerAccessibleName(e2e::Probe& probe, HWND hwnd)
{
    using FromWindow = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
    using FreeString = void(WINAPI*)(BSTR);
    static const auto fromWindow = reinterpret_cast<FromWindow>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"oleacc.dll"), "AccessibleObjectFromWindow")));
    static const auto freeString = reinterpret_cast<FreeString>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"oleaut32.dll"), "SysFreeString")));
    probe.name[0] = L'\0';
    IAccessible* accessible = nullptr;
    probe.nameResult = fromWindow && freeString ? fromWindow(hwnd, OBJID_CLIENT, __uuidof(IAccessible),
                                                             reinterpret_cast<void**>(&accessible))
                                                : E_NOTIMPL;
    if (FAILED(probe.nameResult))
        return;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    probe.nameResult = accessible->get_accName(self, &name);
    if (name)
        lstrcpynW(probe.name, name, ARRAYSIZE(probe.name));
    freeString(name);
    accessible->Release();
}

// As the system delivers a drop: a DROPFILES block in the app's own memory, posted.
void PostDrop(const e2e::Probe& probe, HWND hwnd, LPARAM point)
{
    size_t chars = 0;
    while (probe.files[chars] || probe.files[chars + 1])
        ++chars;
    chars += 2;
    const HGLOBAL drop = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(drop));
    header->pFiles = sizeof(DROPFILES);
    header->pt = {GET_X_LPARAM(point), GET_Y_LPARAM(point)};
    header->fWide = TRUE;
    CopyMemory(header + 1, probe.files, chars * sizeof(wchar_t));
    GlobalUnlock(drop);
    PostMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
}

void Answer(e2e::Probe& probe, const CWPSTRUCT& m)
{
    switch (m.wParam) {
    case e2e::Probe::Font:
        AnswerFont(probe, m.hwnd);
        break;
    case e2e::Probe::DpiChanged: {
        RECT rc;
        GetWindowRect(m.hwnd, &rc);
        const UINT dpi = static_cast<UINT>(m.lParam), old = GetDpiForWindow(m.hwnd);
        // Unanswered, the size stays as scaled, which is what Windows then takes.
        probe.size = {MulDiv(rc.right - rc.left, dpi, old), MulDiv(rc.bottom - rc.top, dpi, old)};
        probe.sizeAnswered =
            SendMessageW(m.hwnd, WM_GETDPISCALEDSIZE, dpi, reinterpret_cast<LPARAM>(&probe.size)) != 0;
        const LONG dragged = 40;
        probe.suggested = {rc.left + dragged, rc.top + dragged, rc.left + dragged + probe.size.cx,
                           rc.top + dragged + probe.size.cy};
        RECT suggested = probe.suggested;  // the window may write where it is given
        SendMessageW(m.hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        break;
    }
    case e2e::Probe::AccessibleName:
        AnswerAccessibleName(probe, m.hwnd);
        break;
    case e2e::Probe::FailAllocations:
        FailAllocationsFrom(static_cast<size_t>(m.lParam));
        break;
    case e2e::Probe::DropFiles:
        PostDrop(probe, m.hwnd, m.lParam);
        break;
    }
}

}  // namespace

// WH_CALLWNDPROC: sent messages, which is how creation and showing arrive.
extern "C" __declspec(dllexport) LRESULT CALLBACK QbCallWndProc(int code, WPARAM wParam, LPARAM lParam)
{
    e2e::AppLog* log = code == HC_ACTION ? Log() : nullptr;
    if (log) {
        InterlockedIncrement(&log->messages);
        const auto& m = *reinterpret_cast<const CWPSTRUCT*>(lParam);
        static const UINT probeMessage = e2e::ProbeMessage();
        if (m.message == probeMessage)
            Answer(log->probe, m);
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
