#pragma once
#include "common/Description.h"
#include "common/Text.h"
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class frmMain;

// What frmMain needs from the system, and nothing more. Every operation raises
// ErrorInfo on failure. The real layer is platform/win32; tests use a fake.
class Platform {
public:
    // An open file; destroying it closes the file.
    class File {
    public:
        virtual ~File() = default;
        virtual int64_t Length() = 0;
        // Reads exactly nCount bytes from the start of the file; fewer is a failure.
        virtual std::string Read(int32_t nCount) = 0;
    };

    virtual ~Platform() = default;

    // The process command line as the system gives it, program name included.
    virtual Text CommandLine() = 0;

    // Opens an existing disk file for reading; anything else (a device, a pipe,
    // a folder) is a path/file access error, and an empty name a path failure.
    virtual std::unique_ptr<File> OpenForRead(const Text& sPath) = 0;
    // Bytes in that encoding (no byte-order mark) to UTF-16. ANSI and UTF-8 as
    // the system's converter makes them, unmappable bytes included.
    virtual Text BytesToText(std::string_view bytes, Encoding encoding) = 0;
    // The program's own description of a failure, in the user's language.
    virtual Text Describe(Description::Id nWhat) = 0;

    virtual void ShowForm() = 0;
    virtual void HideForm() = 0;
    // Closes the window; its close notification runs frmMain::Form_Close.
    virtual void CloseForm() = 0;

    // The path field, txtMain. Setting its text runs frmMain::txtMain_TextChanged.
    // A field that cannot take the whole text (up to a NUL, where it ends) is
    // a failure, never a silently shorter text.
    virtual void SetFieldText(const Text& sText) = 0;
    virtual Text FieldText() = 0;
    // How many characters the field holds, without copying them.
    virtual int32_t FieldLength() = 0;
    virtual void SelectField(int32_t nStart, int32_t nLength) = 0;
    // The field's copy command, SendMessageA(field, WM_COPY, 0, 0): the selection
    // goes on the clipboard, or the failure is raised and the clipboard is as it
    // was (but for one failure, which says that it was emptied). An empty
    // selection copies nothing.
    virtual void CopyField() = 0;

    // cmdMain(0), "OK".
    virtual void EnableOk(bool bEnabled) = 0;

    // A modal message box; returns when the user dismisses it. Raises nothing:
    // false if the box could not be shown.
    virtual bool ShowMessage(const Text& sText, const Text& sTitle, uint32_t nStyle) = 0;
};
