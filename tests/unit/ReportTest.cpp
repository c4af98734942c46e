#include "form/frmMain.h"
#include <gtest/gtest.h>

namespace {

TEST(VersionText, PadsMinorToTwoAndRevisionToFourDigitsAndNeverCuts)
{
    EXPECT_EQ(frmMain::VersionText(Program::Version), u"1.02.2485");
    EXPECT_EQ(frmMain::VersionText({1, 0, 7}), u"1.00.0007");
    EXPECT_EQ(frmMain::VersionText({0, 0, 0}), u"0.00.0000");
    EXPECT_EQ(frmMain::VersionText({12, 345, 65535}), u"12.345.65535");
}

TEST(ReportText, FiveLinesWithThePlaceRunningIntoTheVersion)
{
    EXPECT_EQ(frmMain::ReportText(u"CopyToClip", {5, u"Access is denied."}, Program::Version),
              u"エラー番号:5\r\n"
              u"場所:CopyToClip1.02.2485\r\n"
              u"Access is denied.\r\n"
              u"上記の説明と、エラーの発生したときの簡単な状況を書いて、\r\n"
              u"\"Support #2; A\\B\" <help#desk@example.org> まで連絡してください。");
}

TEST(ReportText, NegativeCodeAndEmptyDescriptionKeepTheShape)
{
    const Text s = frmMain::ReportText(u"frmMain!ReadText", {-1, u""}, {1, 0, 7});
    EXPECT_EQ(s.substr(0, s.find(u"\r\n上記")), u"エラー番号:-1\r\n場所:frmMain!ReadText1.00.0007\r\n");
    EXPECT_EQ(frmMain::ReportText(u"x", {INT32_MIN, u""}, {1, 2, 3}).substr(0, 17), u"エラー番号:-2147483648");
    size_t nBreaks = 0;
    for (size_t i = s.find(u"\r\n"); i != Text::npos; i = s.find(u"\r\n", i + 2))
        ++nBreaks;
    EXPECT_EQ(nBreaks, 4u);
    EXPECT_NE(s.substr(s.size() - 2), u"\r\n");
}

}  // namespace
