// Drives the real Quillbox.exe from outside, as a user starts it: its windows,
// its message boxes, the clipboard on both sides, files and exit codes.
#pragma once
#include "AppLog.h"
#include <windows.h>
#include <chrono>
#include <iosfwd>
#include <map>
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
// The file's name on the Linux side.
std::string UnixPath(const std::wstring& path);

// Windows of any process, read from outside.
std::wstring ClassOf(HWND hwnd);
std::wstring TextOf(HWND hwnd);
std::vector<HWND> Children(HWND parent);
bool HasStyle(HWND hwnd, LONG style);
// The window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND hwnd);
POINT CentreOnScreen(HWND hwnd);
// What the window's frame is at each place, as the system hit-tests it (HTCLOSE,
// HTMINBUTTON, HTLEFT...), along its caption and its outer edge: for each code
// the screen rectangle around the places found.
std::map<LRESULT, RECT> FrameHits(HWND window);

// Input as a user makes it, sent with SendInput.
using Keys = std::vector<INPUT>;
Keys Tap(WORD vk);                    // press and release
Keys Chord(WORD modifier, WORD vk);   // e.g. Chord(VK_MENU, 'P') for Alt+P
Keys Typed(const std::wstring& text); // each character as a Unicode key press
Keys operator+(Keys a, const Keys& b);
// Moves the mouse to the point of the screen, then presses and releases the left button.
void Click(POINT screen);

// A registry value of the current user for as long as it lives (none: the value
// removed); the old value, or its absence, is put back at the end.
class RegistryValue {
public:
    RegistryValue(const wchar_t* key, const wchar_t* name, std::optional<DWORD> value);
    RegistryValue(const wchar_t* key, const wchar_t* name, std::optional<std::wstring> value);
    RegistryValue(const RegistryValue&) = delete;
    RegistryValue& operator=(const RegistryValue&) = delete;
    ~RegistryValue();

private:
    void Save(const wchar_t* key, const wchar_t* name);
    std::wstring key_, name_;
    bool existed_ = false;
    DWORD type_ = 0;
    std::string old_;
};

// A window's font as the app itself sees it.
struct FontView {
    LOGFONTW font;               // as created
    std::wstring realisedFace;   // as the font mapper realised it on a DC
    int realisedCharset;
};

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
    enum class Start { AtOnce, PausedAtRead, NoMessageBox, NoFont };
    // argument: the raw text after the program's name, as a shell passes it; empty for none.
    // PausedAtRead: the app's first read of a file waits for ContinueRead().
    // NoMessageBox, NoFont: no message box can be shown, no font made (the system's calls fail).
    // desktop: the desktop it runs on; empty for the test's own.
    // show: the show command the starter gives it (STARTUPINFO), as a shortcut's "Run" setting does.
    explicit AppRun(const std::wstring& argument, Start start = Start::AtOnce, const std::wstring& desktop = L"",
                    WORD show = SW_SHOWNORMAL);
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

    // The classes of the windows shown, in the order they were, each show once.
    std::vector<std::wstring> ShowOrder() const;

    std::optional<MessageBoxView> WaitForMessageBox(Duration limit = 10s) const;
    // Presses Return on the box as a user would.
    Dismissal PressReturn(HWND box);

    // Makes the window the active one, as a click on it would, and presses the
    // keys; false if it could not be made active.
    bool Press(HWND window, const Keys& keys) const;
    // The window of the app that has the keyboard focus.
    HWND Focus() const;
    // Memory of the app that holds these bytes (at most 64), as the app sees it.
    ULONG64 InAppMemory(const void* bytes, size_t size);
    // Keys the app has taken from its queue so far.
    LONG KeysTaken() const { return log_->keyDowns; }

    // Done inside the app by the hook DLL (see Probe in AppLog.h).
    std::optional<FontView> FontOf(HWND window);
    // What the system asks and tells a window that a drag takes onto a screen of
    // that DPI (see Probe::DpiChanged): the size it answered, if it did, and the
    // rectangle suggested to it.
    struct DpiChange {
        std::optional<SIZE> size;
        RECT suggested;
    };
    DpiChange ChangeDpi(HWND window, UINT dpi);
    // The window's name as screen readers get it; none if it has none or cannot be asked.
    std::optional<std::wstring> AccessibleName(HWND window);
    // From now on, the app's allocations of that many bytes or more find no memory.
    void FailAllocationsFrom(HWND window, size_t bytes);
    // WM_DROPFILES as the system posts it when a file is dropped at that point of the client area.
    void DropFile(HWND window, const std::wstring& path, POINT client);

private:
    std::vector<AppWindow> Windows(WindowEvent::Kind kind) const;
    HWND FindMessageBox() const;
    bool Activate(HWND hwnd) const;
    bool Ask(HWND window, Probe::Kind kind, LPARAM lParam);

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
