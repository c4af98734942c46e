// Fuzzes the code that takes outside input as text: the argument taken from the
// command line, and the report built around a failure's description.
#include "app/EndProgram.h"
#include "form/frmMain.h"
#include <cstdlib>
#include <cstring>

void EndProgram(uint32_t) { std::abort(); }

namespace {
void Check(bool bHolds)
{
    if (!bHolds)
        std::abort();
}

bool StartsWith(const Text& s, const Text& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 10)
        return 0;
    int32_t nCode;
    AppVersion version;
    std::memcpy(&nCode, data, 4);
    std::memcpy(&version, data + 4, 6);
    Text sLine((size - 10) / 2, u'\0');
    std::memcpy(sLine.data(), data + 10, sLine.size() * 2);

    // The argument is the end of the line, untouched, and starts after a blank.
    const Text sArgument = frmMain::ArgumentOf(sLine);
    Check(sArgument.size() <= sLine.size());
    Check(sLine.compare(sLine.size() - sArgument.size(), Text::npos, sArgument) == 0);
    Check(sArgument.empty() || sArgument[0] > u' ' || sArgument[0] == 0);

    // The report keeps its five lines around whatever the place and description hold.
    const Text sVersion = frmMain::VersionText(version);
    const Text sReport = frmMain::ReportText(sArgument, ErrorInfo{nCode, sLine}, version);
    Check(StartsWith(sReport, u"エラー番号:"));
    const size_t nPlace = sReport.find(u"\r\n場所:");
    Check(nPlace != Text::npos);
    Check(sReport.compare(nPlace + 5, sArgument.size() + sVersion.size(), sArgument + sVersion) == 0);
    Check(sReport.size() > sLine.size() && sReport.back() == u'。');
    // major.minor.revision, the minor with at least two digits and the revision four.
    const size_t nFirst = sVersion.find(u'.'), nSecond = sVersion.find(u'.', nFirst + 1);
    Check(nFirst != Text::npos && nSecond != Text::npos && nSecond - nFirst > 2 && sVersion.size() - nSecond > 4);
    return 0;
}
