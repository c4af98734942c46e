#include "app/EndProgram.h"
#include "form/frmMain.h"

// The path arrives by value: the field that may have held it is overwritten below.
void frmMain::CopyToClip(Text sPath)
{
    try {
        platform_.HideForm();
        // Temporaries, so that neither the text nor the copy read back outlives
        // its statement: for a large file each is as big as the field's own copy.
        platform_.SetFieldText(ReadText(sPath));
        // Right after the text is set the selection starts at 0, so one selection
        // call covers both the start and the length of what the field really holds
        // (the field ends its text at a NUL character, for one).
        platform_.SelectField(0, static_cast<int32_t>(platform_.FieldText().size()));
        platform_.CopyField();
    } catch (...) {
        ReportAndEnd(u"CopyToClip");
    }
}

Text frmMain::ReadText(const Text& sPath)
{
    Text sResult;
    try {
        auto file = platform_.OpenForRead(sPath);
        const int64_t nLength = file->Length();
        if (nLength > INT32_MAX)
            throw ErrorInfo{ErrorInfo::Overflow,
                            u"The file is 2 GB or larger. Quillbox copies files smaller than 2 GB."};
        std::string bytes = file->Read(static_cast<int32_t>(nLength));
        sResult = platform_.AnsiToText(bytes);
        std::string().swap(bytes);  // the bytes are not needed past this point
        file.reset();               // closes the file
    } catch (...) {
        StoreFailure();
        if (Err_.IsPathFailure()) {
            ShowMessage(u"指定されたパスに間違いがあります。", Program::Name, 0x1030);
            return Text();
        }
        ErrorMsg(u"frmMain!ReadText");
        EndProgram(1);
    }
    return sResult;
}
