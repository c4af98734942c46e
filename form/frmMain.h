#pragma once
#include "common/ErrorInfo.h"
#include "common/Program.h"
#include "common/Text.h"
#include "platform/Platform.h"
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// The program's one window and all of its logic. The window itself (controls,
// messages) belongs to the platform layer, which calls the handlers below.
class frmMain {
public:
    explicit frmMain(Platform& platform) : platform_(platform) {}
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Start-up and shutdown (Load.cpp).
    void Form_Load();
    [[noreturn]] void Form_Close(int16_t& nCancel);
    // The argument portion of a command line: what follows the program's name
    // and the blanks after it, untouched.
    static Text ArgumentOf(const Text& sCommandLine);

    // The transfer's rules (Transfer.cpp).
    // The file a path names: what lies between one pair of quotation marks that
    // enclose it, blanks around them set aside; any other path as it is.
    static Text UnquotePath(const Text& sPath);
    // The encoding of a file's text, from its bytes: a byte-order mark (its
    // length goes to nMark), else UTF-16 where its text shows the byte order,
    // else UTF-8 if the bytes are valid UTF-8, else ANSI. None where the bytes
    // look like UTF-16, at least in part, but do not show which.
    static std::optional<Encoding> ChooseEncoding(std::string_view bytes, size_t& nMark);
    // The bytes of the text: after its mark, and before the NUL padding that
    // may end the file.
    static std::string_view TextBytes(std::string_view bytes, size_t nMark, Encoding encoding);

    // The dialog (Dialog.cpp).
    void txtMain_TextChanged();
    void cmdMain_Press(int16_t nButton);

    // The error report (Report.cpp).
    void ErrorMsg(const Text& sPlace);
    // The end of a catch-all handler: keeps the caught failure, reports it and
    // ends the program with 1, also when the report cannot be made. Called only
    // inside a catch (...) block.
    [[noreturn]] void ReportAndEnd(const Text& sPlace);
    static Text VersionText(const AppVersion& version);
    static Text ReportText(const Text& sPlace, const ErrorInfo& failure, const AppVersion& version);

    const ErrorInfo& CurrentFailure() const { return Err_; }

private:
    // The transfer (Transfer.cpp).
    void CopyToClip(Text sPath);
    Text ReadText(const Text& sPath);
    // Strictly valid UTF-8: no overlong form, no surrogate, nothing past
    // U+10FFFF, no sequence cut short.
    static bool IsUtf8(std::string_view bytes);
    // What bytes without a mark that hold a NUL byte say of UTF-16.
    enum class Utf16 { No, LittleEndian, BigEndian, Untold };
    static Utf16 Utf16WithoutMark(std::string_view bytes);

    // A message box, which the user dismisses; if it cannot be shown, the
    // program ends with 1 at once, as nobody can be told.
    void ShowMessage(const Text& sText, const Text& sTitle, uint32_t nStyle);

    // Called first thing in a catch (...) handler: keeps the caught failure in
    // the slot. Anything that is not a failure (the tests' end-of-program
    // sentinel) passes on.
    void StoreFailure();

    Platform& platform_;
    ErrorInfo Err_;  // the current failure
};
