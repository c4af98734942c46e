// Drives the real Quillbox.exe from outside, as a user starts it: its windows,
// its message boxes, the clipboard on both sides, files and exit codes.
#pragma once
#include "AppLog.h"
#include <windows.h>
#include <chrono>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

using namespace std::chrono_literals;
using Duration = std::chrono::milliseconds;

// One move-only owner for every kind of handle; the empty value is T{}.
template <typename T, auto Close>
class Owner {
public:
    Owner() = default;
    explicit Owner(T value) : value_(value) {}
    Owner(Owner&& other) noexcept : value_(std::exchange(other.value_, T{})) {}
    Owner& operator=(Owner&& other) noexcept
    {
        if (this != &other) {
            reset();
            value_ = std::exchange(other.value_, T{});
        }
        return *this;
    }
    ~Owner() { reset(); }
    T get() const { return value_; }
    explicit operator bool() const { return value_ != T{}; }
    void reset()
    {
        if (value_ != T{})
            Close(value_);
        value_ = T{};
    }

private:
    T value_{};
};
using Handle = Owner<HANDLE, CloseHandle>;
using Hook = Owner<HHOOK, UnhookWindowsHookEx>;
using Module = Owner<HMODULE, FreeLibrary>;
using View = Owner<void*, UnmapViewOfFile>;
// Kills the process if it still runs, then closes the handle: nothing a test started outlives it.
void KillAndClose(HANDLE process);
using Process = Owner<HANDLE, KillAndClose>;

// CreateFileW fails with INVALID_HANDLE_VALUE where other calls give nullptr.
inline Handle FileHandle(HANDLE h) { return Handle(h == INVALID_HANDLE_VALUE ? nullptr : h); }

// A fault of the test's own set-up, not of the app, with the last Windows error.
std::runtime_error SetupFailure(const std::string& what);

// Polls every 20 ms until done() is true or the time is up; returns done()'s last answer.
template <typename F>
bool WaitUntil(Duration limit, F done)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        Sleep(20);
    }
}

// A folder of its own for each test, under the temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();
    const std::wstring& Path() const { return path_; }  // ends with a backslash
    std::wstring File(const std::wstring& name, const std::string& bytes) const;
    // A file of that length that takes no room: its bytes are never written.
    std::wstring SparseFile(const std::wstring& name, long long length) const;
    std::wstring Folder(const std::wstring& name) const;

private:
    std::wstring path_;
};

namespace clipboard {
bool PutText(const std::wstring& text);
// CF_UNICODETEXT exactly as held (UTF-16, CR LF), up to its terminating NUL; none if no text.
std::optional<std::wstring> Text();
DWORD Sequence();
}  // namespace clipboard

// Runs a shell command line on the Linux side (Wine starts Linux programs too) and
// returns its standard output; none if it failed or did not finish within the limit.
// The command is passed in double quotes, so it may contain none.
std::optional<std::string> RunLinux(const std::wstring& shellCommand, Duration limit = 5s);
// The text that X clients see on the CLIPBOARD selection, as UTF-8 decoded (line breaks are LF there).
std::optional<std::wstring> XClipboardText();

// Windows of any process, read from outside.
std::wstring ClassOf(HWND hwnd);
std::wstring TextOf(HWND hwnd);
std::vector<HWND> Children(HWND parent);
bool HasStyle(HWND hwnd, LONG style);

enum class IconKind { None, Warning, Error, Information, Question, Unknown };
std::ostream& operator<<(std::ostream& out, IconKind kind);
// Which of the system's icons the window's icon control shows, by its pixels on
// the screen (waiting a moment for it to be painted); None if it has no icon control.
IconKind IconOf(HWND window);

struct Button {
    int id;
    std::wstring text;
};

// A message box as a user sees it.
struct MessageBoxView {
    HWND hwnd = nullptr;
    std::wstring title;
    std::wstring text;
    bool topmost = false;
    IconKind icon = IconKind::None;
    std::vector<Button> buttons;  // the visible ones, in creation order
};

struct AppWindow {
    HWND hwnd;
    std::wstring className;
    std::wstring text;
};

enum class Dismissal {
    ByKey,      // a real Return key closed it
    ByCommand,  // the key never reached the app (a test-environment fault), so WM_COMMAND IDOK did
    KeyIgnored  // the app took the key and the box stayed: a fault of the app
};
std::ostream& operator<<(std::ostream& out, Dismissal dismissal);

// One run of Quillbox.exe. It starts suspended, gets the hook DLL on its main
// thread, then runs. Whatever still runs when this ends is killed.
// Its locale, and so its ANSI code page, is the test program's own: Wine takes
// it from the Unix environment that started the test (LC_ALL), never from a
// Windows environment block.
class AppRun {
public:
    enum class Start { AtOnce, PausedAtRead };
    // argument: the raw text after the program's name, as a shell passes it; empty for none.
    // PausedAtRead: the app's first read of a file waits for ContinueRead().
    explicit AppRun(const std::wstring& argument, Start start = Start::AtOnce);
    AppRun(const AppRun&) = delete;
    AppRun& operator=(const AppRun&) = delete;

    static std::wstring ExePath();

    bool Running() const;
    // The exit code; none if it did not end within the limit, in which case it was killed.
    std::optional<DWORD> WaitForExit(Duration limit = 10s);

    // Top-level windows of the app, as the hooks saw them, each once, in order.
    std::vector<AppWindow> CreatedWindows() const { return Windows(WindowEvent::Created); }
    std::vector<AppWindow> ShownWindows() const { return Windows(WindowEvent::Shown); }
    // The first window of the class shown, once it is; none if not within the limit.
    std::optional<AppWindow> WaitUntilShown(const std::wstring& className, Duration limit = 10s) const;

    // PausedAtRead: true once the app has opened its file, taken its length and
    // waits to read it; false if it did not get there within the limit.
    bool WaitAtRead(Duration limit = 10s) const;
    void ContinueRead() const;

    std::optional<MessageBoxView> WaitForMessageBox(Duration limit = 10s) const;
    // Presses Return on the box as a user would.
    Dismissal PressReturn(HWND box);

private:
    std::vector<AppWindow> Windows(WindowEvent::Kind kind) const;
    HWND FindMessageBox() const;
    bool Activate(HWND hwnd) const;

    Process process_;
    DWORD processId_ = 0;
    DWORD threadId_ = 0;
    Handle logMapping_;
    View logView_;
    AppLog* log_ = nullptr;
    Handle atRead_;
    Handle continueRead_;
    Hook callWndHook_;
    Hook getMessageHook_;
};

}  // namespace e2e
