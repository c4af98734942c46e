#include "app/EndProgram.h"
#include "form/frmMain.h"
#include <new>
#include <stdexcept>
#include <string>

namespace {
Text Decimal(long long nValue, size_t nMinDigits = 1)
{
    const std::string digits = std::to_string(nValue < 0 ? -nValue : nValue);
    Text s = nValue < 0 ? u"-" : u"";
    if (digits.size() < nMinDigits)
        s.append(nMinDigits - digits.size(), u'0');
    s.append(digits.begin(), digits.end());
    return s;
}
}  // namespace

Text frmMain::VersionText(const AppVersion& version)
{
    return Decimal(version.Major) + u"." + Decimal(version.Minor, 2) + u"." + Decimal(version.Revision, 4);
}

Text frmMain::ReportText(const Text& sPlace, const ErrorInfo& failure, const AppVersion& version)
{
    const Text sBreak = u"\r\n";
    return u"エラー番号:" + Decimal(failure.Code) + sBreak +
           u"場所:" + sPlace + VersionText(version) + sBreak +
           failure.Message + sBreak +
           u"上記の説明と、エラーの発生したときの簡単な状況を書いて、" + sBreak +
           u"\"" + Program::Author.Name + u"\" <" + Program::Author.Mail + u"> まで連絡してください。";
}

void frmMain::ErrorMsg(const Text& sPlace)
{
    ShowMessage(ReportText(sPlace, Err_, Program::Version), Text(u"エラー - ") + Program::Name, 0x1010);
}

void frmMain::ReportAndEnd(const Text& sPlace)
{
    try {
        StoreFailure();
        ErrorMsg(sPlace);
    } catch (const std::exception&) {
        // Not even the report could be made (no memory for its text): the end is the same.
    }
    EndProgram(1);
}

void frmMain::ShowMessage(const Text& sText, const Text& sTitle, uint32_t nStyle)
{
    if (!platform_.ShowMessage(sText, sTitle, nStyle))
        EndProgram(1);
}

void frmMain::StoreFailure()
{
    try {
        throw;
    } catch (const ErrorInfo& failure) {
        Err_ = failure;
    } catch (const std::bad_alloc&) {
        Err_ = ErrorInfo{ErrorInfo::OutOfMemory, platform_.Describe(Description::NoMemory)};
    } catch (const std::length_error&) {
        Err_ = ErrorInfo{ErrorInfo::OutOfMemory, platform_.Describe(Description::TooLong)};
    } catch (const std::exception& e) {
        const std::string what = e.what();
        Err_ = ErrorInfo{ErrorInfo::InternalError, Text(what.begin(), what.end())};
    }
}
