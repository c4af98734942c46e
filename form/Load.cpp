#include "app/EndProgram.h"
#include "form/frmMain.h"

void frmMain::Form_Load()
{
    try {
        const Text sArgument = ArgumentOf(platform_.CommandLine());
        if (sArgument.empty()) {
            platform_.ShowForm();
        } else {
            CopyToClip(sArgument);
            platform_.CloseForm();  // Form_Close ends the program
        }
    } catch (...) {
        ReportAndEnd(u"Form_Load");
    }
}

void frmMain::Form_Close(int16_t& /*nCancel*/)
{
    // A close is never refused. The exit code tells scripts whether anything failed.
    EndProgram(Err_.Code == 0 ? 0 : 1);
}

// The rule by which the C runtime finds a GUI program's argument: the program's
// name runs to the first blank or control character outside double quotation
// marks; the blanks after it separate it from the argument.
Text frmMain::ArgumentOf(const Text& sCommandLine)
{
    size_t i = 0;
    bool bQuoted = false;
    while (i < sCommandLine.size() && (sCommandLine[i] > u' ' || (bQuoted && sCommandLine[i] != 0))) {
        if (sCommandLine[i] == u'"')
            bQuoted = !bQuoted;
        ++i;
    }
    while (i < sCommandLine.size() && sCommandLine[i] != 0 && sCommandLine[i] <= u' ')
        ++i;
    return sCommandLine.substr(i);
}
