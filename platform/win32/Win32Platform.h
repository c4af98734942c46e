#pragma once
#include "common/ErrorInfo.h"
#include "platform/Platform.h"
#include <array>
#include <exception>
#include <windows.h>
#include <shellapi.h>

struct ControlLayout;

class Win32Platform final : public Platform {
public:
    // nCmdShow: how the starter asked for the program's window to be shown.
    Win32Platform(HINSTANCE hInstance, int nCmdShow)
        : hInstance_(hInstance), nCmdShow_(DialogShowCommand(nCmdShow))
    {
    }
    ~Win32Platform() override;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    // Creates frmMain's window, hidden, with its four controls, laid out for
    // the DPI of the place it is created on.
    void CreateForm(frmMain& form);
    // Runs until the program ends.
    void RunMessageLoop();

    // The program's failure for a Win32 error code, described by the system.
    static ErrorInfo Failure(DWORD nError);
    // A full path (as GetFullPathNameW makes it) in the extended form that opens
    // past MAX_PATH on every Windows: \\?\C:\... or \\?\UNC\server\...; other
    // forms (already extended, devices) as they are.
    static Text ExtendedForm(const Text& sFullPath);
    // The path in <sWindows>\Sysnative, the alias by which 32-bit programs name
    // the real System32, made full and spelt with System32 itself; any other path
    // as it is. Compared as the system would open it: from the current folder,
    // with / for \, doubled separators and . taken out, \\?\ set aside.
    static Text WithoutSysnative(const Text& sPath, const Text& sWindows);
    // The program's own description, in the user's UI language: Japanese, or English.
    static Text InUserLanguage(Description::Id nWhat);

    Text CommandLine() override;
    std::unique_ptr<File> OpenForRead(const Text& sPath) override;
    Text BytesToText(std::string_view bytes, Encoding encoding) override;
    Text Describe(Description::Id nWhat) override;
    void ShowForm() override;
    void HideForm() override;
    void CloseForm() override;
    void SetFieldText(const Text& sText) override;
    Text FieldText() override;
    int32_t FieldLength() override;
    void SelectField(int32_t nStart, int32_t nLength) override;
    void CopyField() override;
    void EnableOk(bool bEnabled) override;
    bool ShowMessage(const Text& sText, const Text& sTitle, uint32_t nStyle) override;

    HWND FormWindow() const { return hwnd_; }
    HWND FieldWindow() const { return txt_; }

private:
    // A control: its place in the layout, its window, its id and its styles.
    struct Control {
        const ControlLayout& layout;
        HWND& hwnd;
        int id;
        DWORD style, exStyle;
    };
    std::array<Control, 4> Controls();

    // The dialog's own show command for the one the starter gave.
    static int DialogShowCommand(int nCmdShow);
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void OnCommand(int nId, int nCode);
    static LRESULT CALLBACK FieldProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // Puts the field's selection, and nothing else, on the clipboard; raises
    // ErrorInfo, and then leaves the clipboard as it was, unless the failure says
    // it was emptied.
    void CopySelection();
    struct GlobalFreer {
        void operator()(HGLOBAL h) const { GlobalFree(h); }
    };
    void OnDropFiles(HDROP hDrop);
    void OnDpiChanged(UINT nDpi, const RECT& suggested);
    void SpendStartupShowCommand();
    // Places the controls and sets the font for nDpi; the window's own size is the caller's.
    void ApplyLayout(UINT nDpi);

    HINSTANCE hInstance_;
    int nCmdShow_;  // the dialog's
    frmMain* form_ = nullptr;
    HWND hwnd_ = nullptr;
    HWND lbl_ = nullptr;
    HWND txt_ = nullptr;
    HWND cmd_[2] = {nullptr, nullptr};
    HFONT font_ = nullptr;  // owned; replaced when the DPI changes
    WNDPROC fieldProc_ = nullptr;     // the field's own, for all but its copy and cut
    bool bCopyField_ = false;         // while the program's own copy command runs
    std::exception_ptr copyFailure_;  // how the last copy command failed; none if it did not
};
