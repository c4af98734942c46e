#pragma once
// An in-memory platform: files are a map of path to bytes or failure, the field
// and the clipboard behave as the real edit control's do, and every operation
// the form performs is logged so tests can see the order of things.
#include "common/ErrorInfo.h"
#include "form/frmMain.h"
#include "platform/CodeUnits.h"
#include "platform/Platform.h"
#include <map>
#include <new>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// What the tests' EndProgram throws: not a failure, so no handler keeps it.
struct ProgramEnded {
    uint32_t nExitCode;
};

struct Message {
    Text sText;
    Text sTitle;
    uint32_t nStyle;
    bool bOverForm;  // shown while the form was
};

class FakePlatform final : public Platform {
public:
    Text commandLine = u"Quillbox.exe";
    // A file: its bytes, or the failure that opening it raises.
    std::map<Text, std::variant<std::string, ErrorInfo>> files;
    // Failures raised by a named operation ("Read", "BytesToText", "SetFieldText", ...).
    std::map<std::string, ErrorInfo> failures;
    std::string outOfMemory;  // the operation that throws std::bad_alloc
    std::optional<int64_t> reportedLength;  // a length other than the bytes held
    bool boxFails = false;                   // no message box can be shown
    bool japanese = false;                   // the user's language

    frmMain* form = nullptr;
    bool visible = false;
    bool okEnabled = false;
    bool fileOpen = false;
    Text field;
    int32_t selStart = 0, selLength = 0;
    std::optional<Text> clipboard;
    std::vector<Message> messages;
    std::vector<std::string> log;
    std::optional<Encoding> converted;  // the encoding of the last conversion

    class FakeFile final : public File {
    public:
        FakeFile(FakePlatform& p, std::string bytes) : p_(p), bytes_(std::move(bytes)) { p_.fileOpen = true; }
        ~FakeFile() override { p_.fileOpen = false; }
        int64_t Length() override
        {
            p_.Step("Length");
            return p_.reportedLength.value_or(static_cast<int64_t>(bytes_.size()));
        }
        std::string Read(int32_t nCount) override
        {
            p_.Step("Read");
            if (static_cast<size_t>(nCount) > bytes_.size())
                throw ErrorInfo{ErrorInfo::InputPastEnd, u"short"};
            return bytes_.substr(0, static_cast<size_t>(nCount));
        }

    private:
        FakePlatform& p_;
        std::string bytes_;
    };

    void Step(const std::string& name)
    {
        log.push_back(name);
        if (name == outOfMemory)
            throw std::bad_alloc();
        if (auto it = failures.find(name); it != failures.end())
            throw it->second;
    }

    Text CommandLine() override { Step("CommandLine"); return commandLine; }

    std::unique_ptr<File> OpenForRead(const Text& sPath) override
    {
        Step("Open");
        auto it = files.find(sPath);
        if (it == files.end())
            throw ErrorInfo{ErrorInfo::FileNotFound, u"File not found."};
        if (auto* failure = std::get_if<ErrorInfo>(&it->second))
            throw *failure;
        return std::make_unique<FakeFile>(*this, std::get<std::string>(it->second));
    }

    // Latin-1 stands in for the ANSI code page, and for UTF-8 too: the tests
    // give UTF-8 in ASCII, and see its choice in `converted`.
    Text BytesToText(std::string_view bytes, Encoding encoding) override
    {
        Step("BytesToText");
        converted = encoding;
        if (encoding != Encoding::Ansi && encoding != Encoding::Utf8)
            return CodeUnits::Decode(bytes, encoding);
        Text text;
        for (unsigned char c : bytes)
            text.push_back(c);
        return text;
    }

    Text Describe(Description::Id nWhat) override { return Description::Of(nWhat, japanese); }

    void ShowForm() override { Step("ShowForm"); visible = true; }
    void HideForm() override { Step("HideForm"); visible = false; }
    void CloseForm() override
    {
        Step("CloseForm");
        int16_t nCancel = 0;
        form->Form_Close(nCancel);
    }

    // Like an edit control: the text ends at a NUL, setting it moves the
    // selection to the start, and a change runs the form's handler.
    void SetFieldText(const Text& sText) override
    {
        Step("SetFieldText");
        field = sText.substr(0, sText.find(u'\0'));
        selStart = selLength = 0;
        form->txtMain_TextChanged();
    }
    Text FieldText() override { Step("FieldText"); return field; }
    int32_t FieldLength() override { Step("FieldLength"); return static_cast<int32_t>(field.size()); }
    void SelectField(int32_t nStart, int32_t nLength) override
    {
        Step("SelectField");
        selStart = nStart;
        selLength = nLength;
    }
    // An empty selection leaves the clipboard as it was.
    void CopyField() override
    {
        Step("CopyField");
        if (selLength > 0)
            clipboard = field.substr(static_cast<size_t>(selStart), static_cast<size_t>(selLength));
    }
    void EnableOk(bool bEnabled) override { okEnabled = bEnabled; }

    bool ShowMessage(const Text& sText, const Text& sTitle, uint32_t nStyle) override
    {
        Step("ShowMessage");
        if (!boxFails)
            messages.push_back({sText, sTitle, nStyle, visible});
        return !boxFails;
    }
};
