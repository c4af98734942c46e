// Runs of the app: starting it hooked, its windows, its message boxes, its end.
#include "Harness.h"
#include <algorithm>
#include <cstdlib>
#include <ostream>

namespace e2e {

namespace {

std::wstring ModuleFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path, n);
    return s.substr(0, s.find_last_of(L'\\') + 1);
}

HMODULE HookDll()
{
    static const Module dll(LoadLibraryW((ModuleFolder() + L"e2e_hook.dll").c_str()));
    if (!dll)
        throw SetupFailure("cannot load e2e_hook.dll beside the test program");
    return dll.get();
}

Hook SetHook(int kind, const char* procName, DWORD threadId)
{
    const HMODULE dll = HookDll();
    const auto proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(dll, procName)));
    Hook hook(SetWindowsHookExW(kind, proc, dll, threadId));
    if (!hook)
        throw SetupFailure(std::string("cannot hook the app with ") + procName);
    return hook;
}

}  // namespace

std::runtime_error SetupFailure(const std::string& what)
{
    return std::runtime_error(what + " (Windows error " + std::to_string(GetLastError()) + ")");
}

std::wstring ClassOf(HWND hwnd)
{
    wchar_t name[256];
    return std::wstring(name, static_cast<size_t>(GetClassNameW(hwnd, name, ARRAYSIZE(name))));
}

// WM_GETTEXT, which the window answers itself: GetWindowTextW on a window of
// another process gives only the caption kept by the system, never an edit control's text.
std::wstring TextOf(HWND hwnd)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length))
        return std::wstring();
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 2000,
                        &copied);
    text.resize(std::min<size_t>(copied, length));
    return text;
}

std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> children;
    EnumChildWindows(
        parent,
        [](HWND hwnd, LPARAM list) CALLBACK -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

bool HasStyle(HWND hwnd, LONG style) { return (GetWindowLongW(hwnd, GWL_STYLE) & style) == style; }

std::ostream& operator<<(std::ostream& out, Dismissal dismissal)
{
    static const char* const names[] = {"by the Return key", "by WM_COMMAND IDOK", "key ignored"};
    return out << names[static_cast<int>(dismissal)];
}

std::wstring AppRun::ExePath()
{
    const wchar_t* path = _wgetenv(L"QB_QUILLBOX");
    if (!path || !*path)
        throw std::runtime_error("set QB_QUILLBOX to Quillbox.exe's Windows path (CTest does)");
    return path;
}

AppRun::AppRun(const std::wstring& argument, Start start, const std::wstring& desktop, WORD show)
{
    const std::wstring exe = ExePath();
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!argument.empty())
        commandLine += L" " + argument;

    // As a shell starts a program the user opens.
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = show;
    std::wstring desktopName = desktop;
    if (!desktop.empty())
        si.lpDesktop = desktopName.data();
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                        &si, &pi))
        throw SetupFailure("cannot start Quillbox.exe");
    process_ = Process(pi.hProcess);
    const Handle thread(pi.hThread);
    processId_ = pi.dwProcessId;
    threadId_ = pi.dwThreadId;

    wchar_t name[64];
    AppLogName(processId_, name);
    logMapping_ = Handle(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(AppLog), name));
    logView_ = View(logMapping_ ? MapViewOfFile(logMapping_.get(), FILE_MAP_WRITE, 0, 0, 0) : nullptr);
    if (!logView_)
        throw SetupFailure("cannot make the app's log");
    log_ = static_cast<AppLog*>(logView_.get());  // the system fills it with zeros
    if (start == Start::PausedAtRead) {
        AppEventName(processId_, L"read", name);
        atRead_ = Handle(CreateEventW(nullptr, TRUE, FALSE, name));
        AppEventName(processId_, L"go", name);
        continueRead_ = Handle(CreateEventW(nullptr, TRUE, FALSE, name));
        if (!atRead_ || !continueRead_)
            throw SetupFailure("cannot make the events that pause the app's read");
        log_->pauseAtRead = 1;
    }
    if (start == Start::NoMessageBox)
        log_->faults = AppLog::NoMessageBox;
    if (start == Start::NoFont)
        log_->faults = AppLog::NoFont;

    callWndHook_ = SetHook(WH_CALLWNDPROC, "QbCallWndProc", threadId_);
    getMessageHook_ = SetHook(WH_GETMESSAGE, "QbGetMessageProc", threadId_);
    if (ResumeThread(thread.get()) == static_cast<DWORD>(-1))
        throw SetupFailure("cannot resume Quillbox.exe");
}

void KillAndClose(HANDLE process)
{
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process, 255);
        WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
}

bool AppRun::Running() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

std::optional<DWORD> AppRun::WaitForExit(Duration limit)
{
    if (WaitForSingleObject(process_.get(), static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
        TerminateProcess(process_.get(), 255);
        WaitForSingleObject(process_.get(), 5000);
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

bool AppRun::WaitAtRead(Duration limit) const
{
    const HANDLE waits[] = {atRead_.get(), process_.get()};
    return atRead_ && WaitForMultipleObjects(2, waits, FALSE, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
}

void AppRun::ContinueRead() const
{
    if (continueRead_)
        SetEvent(continueRead_.get());
}

std::vector<AppWindow> AppRun::Windows(WindowEvent::Kind kind) const
{
    std::vector<AppWindow> windows;
    const LONG reserved = log_->events;
    const LONG n = std::min<LONG>(reserved, ARRAYSIZE(log_->event));
    for (LONG i = 0; i < n; ++i) {
        const WindowEvent& e = log_->event[i];
        if (e.kind != kind)
            continue;
        MemoryBarrier();  // the hook writes the kind last: the rest is whole once it is set
        const HWND hwnd = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(e.hwnd));
        if (std::none_of(windows.begin(), windows.end(), [&](const auto& w) { return w.hwnd == hwnd; }))
            windows.push_back({hwnd, e.className, e.text});
    }
    return windows;
}

std::optional<AppWindow> AppRun::WaitUntilShown(const std::wstring& className, Duration limit) const
{
    std::optional<AppWindow> found;
    WaitUntil(limit, [&] {
        const std::vector<AppWindow> shown = ShownWindows();
        const auto w = std::find_if(shown.begin(), shown.end(), [&](const auto& s) { return s.className == className; });
        if (w != shown.end())
            found = *w;
        return found || !Running();
    });
    return found;
}

HWND AppRun::FindMessageBox() const
{
    struct Search {
        DWORD processId;
        HWND box;
    } search{processId_, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM param) CALLBACK -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            if (owner == s.processId && IsWindowVisible(hwnd) && ClassOf(hwnd) == L"#32770")
                s.box = hwnd;
            return s.box ? FALSE : TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.box;
}

std::optional<MessageBoxView> AppRun::WaitForMessageBox(Duration limit) const
{
    HWND box = nullptr;
    WaitUntil(limit, [&] { return (box = FindMessageBox()) != nullptr || !Running(); });
    if (!box)
        return std::nullopt;
    MessageBoxView view;
    view.hwnd = box;
    view.title = TextOf(box);
    wchar_t text[4096];
    view.text.assign(text, GetDlgItemTextW(box, 0xFFFF, text, ARRAYSIZE(text)));  // the box's text control
    view.topmost = (GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    for (HWND child : Children(box)) {
        if (ClassOf(child) == L"Button" && HasStyle(child, WS_VISIBLE))
            view.buttons.push_back({GetDlgCtrlID(child), TextOf(child)});
    }
    view.icon = IconOf(box);
    return view;
}

// Makes the window the active one of its thread, with a focus, as a click would.
bool AppRun::Activate(HWND hwnd) const
{
    const DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
    return WaitUntil(5s, [&] {
        SetForegroundWindow(hwnd);
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(thread, &info) && info.hwndActive == hwnd && info.hwndFocus;
    });
}

Dismissal AppRun::PressReturn(HWND box)
{
    const LONG keysBefore = log_->keyDowns;
    if (Press(box, Tap(VK_RETURN)) && WaitUntil(3s, [&] { return !IsWindow(box); }))
        return Dismissal::ByKey;
    // The box is still up; end it the other way so the run can finish.
    const bool keyArrived = log_->keyDowns != keysBefore;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return keyArrived ? Dismissal::KeyIgnored : Dismissal::ByCommand;
}

bool AppRun::Press(HWND window, const Keys& keys) const
{
    if (!Activate(window))
        return false;
    Keys copy = keys;
    return SendInput(static_cast<UINT>(copy.size()), copy.data(), sizeof(INPUT)) == copy.size();
}

HWND AppRun::Focus() const
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(threadId_, &info) ? info.hwndFocus : nullptr;
}

std::vector<std::wstring> AppRun::ShowOrder() const
{
    // One show is seen twice (WM_WINDOWPOSCHANGING, then WM_SHOWWINDOW).
    std::vector<std::wstring> order;
    HWND last = nullptr;
    const LONG reserved = log_->events;
    const LONG n = std::min<LONG>(reserved, ARRAYSIZE(log_->event));
    for (LONG i = 0; i < n; ++i) {
        const WindowEvent& e = log_->event[i];
        if (e.kind != WindowEvent::Shown)
            continue;
        MemoryBarrier();  // as in Windows()
        const HWND hwnd = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(e.hwnd));
        if (hwnd != last)
            order.push_back(e.className);
        last = hwnd;
    }
    return order;
}

bool AppRun::Ask(HWND window, Probe::Kind kind, LPARAM lParam)
{
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, ProbeMessage(), kind, lParam, SMTO_ABORTIFHUNG, 5000, &ignored) != 0;
}

std::optional<FontView> AppRun::FontOf(HWND window)
{
    log_->probe.hasFont = FALSE;
    if (!Ask(window, Probe::Font, 0) || !log_->probe.hasFont)
        return std::nullopt;
    return FontView{log_->probe.font, log_->probe.realisedFace, static_cast<int>(log_->probe.realisedCharset)};
}

ULONG64 AppRun::InAppMemory(const void* bytes, size_t size)
{
    if (size > sizeof log_->scratch)
        throw std::runtime_error("too many bytes for the app's scratch memory");
    CopyMemory(log_->scratch, bytes, size);
    return log_->scratchInApp;
}

AppRun::DpiChange AppRun::ChangeDpi(HWND window, UINT dpi)
{
    if (!Ask(window, Probe::DpiChanged, static_cast<LPARAM>(dpi)))
        throw SetupFailure("the app did not take WM_DPICHANGED");
    const Probe& probe = log_->probe;
    return {probe.sizeAnswered ? std::optional<SIZE>(probe.size) : std::nullopt, probe.suggested};
}

void AppRun::FailAllocationsFrom(HWND window, size_t bytes)
{
    if (!Ask(window, Probe::FailAllocations, static_cast<LPARAM>(bytes)))
        throw SetupFailure("the app did not take the allocation limit");
}

std::optional<std::wstring> AppRun::AccessibleName(HWND window)
{
    log_->probe.nameResult = E_FAIL;
    if (!Ask(window, Probe::AccessibleName, 0) || log_->probe.nameResult != S_OK)
        return std::nullopt;
    return std::wstring(log_->probe.name);
}

void AppRun::DropFile(HWND window, const std::wstring& path, POINT client)
{
    Probe& probe = log_->probe;
    if (path.size() + 2 > ARRAYSIZE(probe.files))
        throw std::runtime_error("path too long for a drop");
    std::fill(std::begin(probe.files), std::end(probe.files), L'\0');
    std::copy(path.begin(), path.end(), probe.files);
    if (!Ask(window, Probe::DropFiles, MAKELPARAM(client.x, client.y)))
        throw SetupFailure("the app did not take the drop");
}

}  // namespace e2e
