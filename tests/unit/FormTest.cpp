#include "tests/unit/FormFixture.h"
#include <new>

void EndProgram(uint32_t nExitCode) { throw ProgramEnded{nExitCode}; }

namespace {
const Text Warning = u"指定されたパスに間違いがあります。";
const Text Memo = u"C:\\notes\\memo.txt";

using StartTest = FormFixture;

TEST_F(StartTest, CopiesTheWholeTextWithoutShowingTheWindowAndEnds)
{
    platform.files[Memo] = std::string("first line\r\nsecond\tline\r\n\xe9t\xe9", 28);
    EXPECT_EQ(Start(u"Quillbox.exe C:\\notes\\memo.txt"), 0u);
    EXPECT_EQ(platform.clipboard, u"first line\r\nsecond\tline\r\nété");
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_FALSE(Logged("ShowForm"));
    EXPECT_FALSE(platform.fileOpen);
    // Hidden before reading; the file is read once, whole; the copy comes last.
    const std::vector<std::string> order{"CommandLine", "HideForm", "Open", "Length", "Read", "BytesToText",
                                         "SetFieldText", "FieldLength", "FieldText", "SelectField", "CopyField",
                                         "CloseForm"};
    EXPECT_EQ(platform.log, order);
}

TEST_F(StartTest, NoArgumentShowsTheDialogAndGoesOn)
{
    for (const Text& sLine : {Text(u"Quillbox.exe"), Text(u"\"C:\\Program Files\\Quillbox.exe\"  \t ")}) {
        platform.log.clear();
        EXPECT_EQ(Start(sLine), std::nullopt);
        EXPECT_TRUE(platform.visible);
        EXPECT_EQ(platform.log, (std::vector<std::string>{"CommandLine", "ShowForm"}));
    }
}

// Explorer passes a path with blanks in quotation marks: they are taken off.
TEST_F(StartTest, ArgumentIsOnePathWithBlanksKeptAndItsQuotationMarksTakenOff)
{
    platform.files[u"my notes.txt  "] = "a";
    platform.files[u"C:\\my notes\\memo 1.txt"] = "b";
    EXPECT_EQ(Start(u"q.exe my notes.txt  "), 0u);
    EXPECT_EQ(platform.clipboard, u"a");
    EXPECT_EQ(Start(u"q.exe \"C:\\my notes\\memo 1.txt\" "), 0u);
    EXPECT_EQ(platform.clipboard, u"b");
}

TEST_F(StartTest, EachPathFailureWarnsKeepsTheClipboardAndEndsNormally)
{
    for (int32_t nCode : {53, 75, 76}) {
        platform.messages.clear();
        platform.log.clear();
        platform.files[u"x"] = ErrorInfo{nCode, u"whatever the system says"};
        EXPECT_EQ(Start(u"q.exe x"), 1u) << nCode;
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].sText, Warning);
        EXPECT_EQ(platform.messages[0].sTitle, u"Quillbox");
        EXPECT_EQ(platform.messages[0].nStyle, 0x1030u);
        EXPECT_EQ(platform.clipboard, u"sentinel");
        EXPECT_EQ(form.CurrentFailure().Code, nCode);
        // The copy goes on with nothing, and the program ends through Form_Close.
        EXPECT_TRUE(Logged("CopyField"));
        EXPECT_EQ(platform.log.back(), "CloseForm");
        // The window was never shown, not even under the warning.
        EXPECT_FALSE(Logged("ShowForm"));
        EXPECT_FALSE(platform.messages[0].bOverForm);
    }
}

// A message that cannot be shown, or whose text finds no memory, ends the
// program with 1 at once: nothing is copied, and no failure escapes a handler.
TEST_F(StartTest, AMessageThatCannotBeShownEndsTheProgramWithOne)
{
    platform.files[u"bad"] = ErrorInfo{57, u"Device I/O error"};
    struct Case {
        Text sCommandLine;  // the path warning, or the error report
        bool bBoxFails;
        const char* outOfMemory;
    };
    for (const Case& c : {Case{u"q.exe missing", true, ""}, Case{u"q.exe bad", true, ""},
                          Case{u"q.exe missing", false, "ShowMessage"}, Case{u"q.exe bad", false, "ShowMessage"}}) {
        platform.log.clear();
        platform.boxFails = c.bBoxFails;
        platform.outOfMemory = c.outOfMemory;
        EXPECT_EQ(Start(c.sCommandLine), 1u);
        EXPECT_TRUE(platform.messages.empty());
        EXPECT_FALSE(Logged("CopyField"));
        EXPECT_EQ(platform.clipboard, u"sentinel");
    }
}

// Blanks after the program's name only separate it from an argument.
TEST_F(StartTest, BlanksAloneAreNoArgument)
{
    EXPECT_EQ(Start(u"q.exe    "), std::nullopt);
    EXPECT_TRUE(platform.visible);
    EXPECT_FALSE(Logged("Open"));
}

// A text the field cannot carry whole, or none at all, is reported, not copied.
TEST_F(StartTest, AFileWithNoTextOrWithANulIsReportedAndNothingCopied)
{
    const struct {
        std::string bytes;
        ErrorInfo failure;
    } files[] = {
        {"", {62, u"The file is empty, so nothing was copied."}},
        {"\xFF\xFE", {62, u"The file is empty, so nothing was copied."}},
        {std::string("before\0after", 12), {321, u"This file holds binary data (a NUL character), so it was not copied."}},
        {std::string(4, '\0'), {321, u"This file holds binary data (a NUL character), so it was not copied."}},
        {std::string("ansi\r\nw\0i\0d\0e\0\r\0\n\0", 18),
         {321, u"Quillbox could not tell how this file's text is written, so it was not copied: it looks like UTF-16 "
               u"without a byte-order mark, at least in part. Save it with a byte-order mark (BOM) and try again."}},
    };
    for (const auto& file : files) {
        platform.messages.clear();
        platform.files[u"f"] = file.bytes;
        EXPECT_EQ(Start(u"q.exe f"), 1u);
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].sText, frmMain::ReportText(u"frmMain!ReadText", file.failure, Program::Version));
        EXPECT_EQ(platform.clipboard, u"sentinel");
        EXPECT_FALSE(platform.fileOpen);
    }
}

// A failure other than the three path failures: the report names the catching
// procedure, and the program ends at once, before anything else happens.
struct Unexpected {
    const char* step;
    Text sCommandLine;
    const char16_t* sPlace;
};

void PrintTo(const Unexpected& u, std::ostream* os) { *os << u.step; }

class UnexpectedFailureTest : public FormFixture, public ::testing::WithParamInterface<Unexpected> {};

TEST_P(UnexpectedFailureTest, ReportsWithItsPlaceAndEndsAtOnce)
{
    platform.files[u"f"] = "text";
    platform.failures[GetParam().step] = ErrorInfo{57, u"Device I/O error"};
    EXPECT_EQ(Start(GetParam().sCommandLine), 1u);
    ASSERT_EQ(platform.messages.size(), 1u);
    const Message& box = platform.messages[0];
    EXPECT_EQ(box.sTitle, u"エラー - Quillbox");
    EXPECT_EQ(box.nStyle, 0x1010u);
    EXPECT_EQ(box.sText, frmMain::ReportText(GetParam().sPlace, {57, u"Device I/O error"}, Program::Version));
    EXPECT_EQ(platform.log.back(), "ShowMessage");
    EXPECT_EQ(platform.clipboard, u"sentinel");
    EXPECT_FALSE(platform.fileOpen);
}

INSTANTIATE_TEST_SUITE_P(Places, UnexpectedFailureTest,
                         ::testing::Values(Unexpected{"CommandLine", u"q.exe f", u"Form_Load"},
                                           Unexpected{"ShowForm", u"q.exe", u"Form_Load"},
                                           Unexpected{"HideForm", u"q.exe f", u"CopyToClip"},
                                           Unexpected{"SetFieldText", u"q.exe f", u"CopyToClip"},
                                           Unexpected{"SelectField", u"q.exe f", u"CopyToClip"},
                                           Unexpected{"CopyField", u"q.exe f", u"CopyToClip"},
                                           Unexpected{"Open", u"q.exe f", u"frmMain!ReadText"},
                                           Unexpected{"Length", u"q.exe f", u"frmMain!ReadText"},
                                           Unexpected{"Read", u"q.exe f", u"frmMain!ReadText"},
                                           Unexpected{"BytesToText", u"q.exe f", u"frmMain!ReadText"}),
                         [](const auto& info) { return std::string(info.param.step); });

// The file's encoding decides its conversion, and its byte-order mark is never copied.
TEST_F(StartTest, TheTextIsConvertedFromItsEncodingWithoutItsMark)
{
    const struct {
        std::string bytes;
        Encoding encoding;
        const char16_t* text;
    } files[] = {
        {"\xEF\xBB\xBFutf-8", Encoding::Utf8, u"utf-8"},
        {std::string("\xFF\xFEl\0e\0", 6), Encoding::Utf16LE, u"le"},
        {std::string("\0\0\xFE\xFF\0\0\0b", 8), Encoding::Utf32BE, u"b"},
        {"plain", Encoding::Utf8, u"plain"},
        {"caf\xE9", Encoding::Ansi, u"café"},
        // NUL padding at the end is no part of the text
        {"log\r\n" + std::string(512, '\0'), Encoding::Utf8, u"log\r\n"},
        {std::string("\xFF\xFEl\0e\0\0\0\0", 9), Encoding::Utf16LE, u"le"},
        {std::string("\0\0\xFE\xFF\0\0\0b\0\0\0\0\0", 13), Encoding::Utf32BE, u"b"},
    };
    for (const auto& file : files) {
        platform.files[u"f"] = file.bytes;
        EXPECT_EQ(Start(u"q.exe f"), 0u);
        EXPECT_EQ(platform.converted, file.encoding);
        EXPECT_EQ(platform.clipboard, file.text);
    }
}

TEST_F(StartTest, TooLargeFileIsReportedBeforeAnythingIsRead)
{
    platform.files[u"big"] = "x";
    platform.reportedLength = int64_t{1} << 31;
    EXPECT_EQ(Start(u"q.exe big"), 1u);
    EXPECT_FALSE(Logged("Read"));
    EXPECT_EQ(form.CurrentFailure().Code, ErrorInfo::Overflow);
    EXPECT_NE(platform.messages.at(0).sText.find(u"2 GB"), Text::npos);

    // One byte less still fits the signed 32-bit length, and is read. (The fake
    // holds one byte, so that read comes up short: what counts is that it was tried.)
    platform.reportedLength = INT32_MAX;
    platform.log.clear();
    EXPECT_EQ(Start(u"q.exe big"), 1u);
    EXPECT_TRUE(Logged("Read"));
    EXPECT_EQ(form.CurrentFailure().Code, ErrorInfo::InputPastEnd);
}

// The program's own descriptions are Japanese for a user whose language is
// Japanese, English otherwise; the rest of the report stays as it is.
TEST_F(StartTest, OwnDescriptionsAreInTheUsersLanguage)
{
    platform.files[u"big"] = "x";
    platform.reportedLength = int64_t{1} << 31;
    for (bool bJapanese : {false, true}) {
        platform.japanese = bJapanese;
        platform.messages.clear();
        EXPECT_EQ(Start(u"q.exe big"), 1u);
        const Text sTooLarge = Description::Of(Description::TooLarge, bJapanese);
        EXPECT_EQ(platform.messages.at(0).sText, frmMain::ReportText(u"frmMain!ReadText", {6, sTooLarge}, Program::Version));
        EXPECT_EQ(sTooLarge.find(u"ファイル") != Text::npos, bJapanese);
    }
}

// Memory running out is a C++ exception, not an ErrorInfo: it is reported as out of memory.
TEST_F(StartTest, RunningOutOfMemoryIsReportedAsOutOfMemory)
{
    platform.files[u"f"] = "text";
    platform.outOfMemory = "BytesToText";
    EXPECT_EQ(Start(u"q.exe f"), 1u);
    EXPECT_EQ(form.CurrentFailure().Code, ErrorInfo::OutOfMemory);
    EXPECT_NE(platform.messages.at(0).sText.find(u"\r\n場所:frmMain!ReadText1.02.2485\r\n"), Text::npos);
}

// A file too big for the memory there is (the 32-bit build has 2 or 4 GB of
// address space) runs out at one step or another of the copy: wherever it does,
// the program ends in the report with 7, and nothing reaches the clipboard.
struct MemoryRunsOut {
    const char* step;
    const char16_t* sPlace;
};

class OutOfMemoryTest : public FormFixture, public ::testing::WithParamInterface<MemoryRunsOut> {};

TEST_P(OutOfMemoryTest, EndsInTheReportNeverInACopy)
{
    platform.files[u"big"] = "a large file";
    platform.outOfMemory = GetParam().step;
    EXPECT_EQ(Start(u"q.exe big"), 1u);
    EXPECT_EQ(form.CurrentFailure().Code, ErrorInfo::OutOfMemory);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_NE(platform.messages[0].sText.find(Text(u"\r\n場所:") + GetParam().sPlace + u"1.02.2485\r\n"), Text::npos);
    EXPECT_EQ(platform.log.back(), "ShowMessage");
    EXPECT_EQ(platform.clipboard, u"sentinel");
    EXPECT_FALSE(platform.fileOpen);
}

INSTANTIATE_TEST_SUITE_P(Steps, OutOfMemoryTest,
                         ::testing::Values(MemoryRunsOut{"Read", u"frmMain!ReadText"},
                                           MemoryRunsOut{"SetFieldText", u"CopyToClip"},
                                           MemoryRunsOut{"FieldText", u"CopyToClip"},
                                           MemoryRunsOut{"CopyField", u"CopyToClip"}),
                         [](const auto& info) { return std::string(info.param.step); });

using DialogTest = FormFixture;

TEST_F(DialogTest, OkIsEnabledExactlyWhileTheFieldHoldsText)
{
    for (auto [sText, bEnabled] : {std::pair<Text, bool>{u" ", true}, {u"", false}, {u"C:\\a.txt", true}, {u"", false}}) {
        platform.field = sText;
        form.txtMain_TextChanged();
        EXPECT_EQ(platform.okEnabled, bEnabled) << "'" << std::string(sText.begin(), sText.end()) << "'";
    }
}

// Typed, or pasted from Explorer's "Copy as path" in quotation marks.
TEST_F(DialogTest, OkCopiesTheTypedPathThenEnds)
{
    platform.files[Memo] = "memo text";
    for (const Text& sTyped : {Memo, u" \"" + Memo + u"\"\t"}) {
        platform.clipboard = u"sentinel";
        platform.field = sTyped;
        platform.log.clear();
        EXPECT_EQ(Run([&] { form.cmdMain_Press(0); }), 0u);
        // The field, which held the path, was overwritten with the text during the copy.
        EXPECT_EQ(platform.clipboard, u"memo text");
        EXPECT_LT(std::find(platform.log.begin(), platform.log.end(), "HideForm"),
                  std::find(platform.log.begin(), platform.log.end(), "Open"));
    }
}

TEST_F(DialogTest, OkOnAMissingFileWarnsAndEnds)
{
    ASSERT_EQ(Start(u"q.exe"), std::nullopt);
    ASSERT_TRUE(platform.visible);
    platform.field = u"C:\\nowhere\\x.txt";
    EXPECT_EQ(Run([&] { form.cmdMain_Press(0); }), 1u);
    EXPECT_EQ(platform.messages.at(0).sText, Warning);
    // Hidden before the warning, and not shown again.
    EXPECT_FALSE(platform.messages[0].bOverForm);
    EXPECT_FALSE(platform.visible);
    EXPECT_EQ(platform.clipboard, u"sentinel");
}

TEST_F(DialogTest, BlanksInTheFieldAreTriedAsAPath)
{
    platform.field = u"  ";
    EXPECT_EQ(Run([&] { form.cmdMain_Press(0); }), 1u);
    EXPECT_EQ(platform.messages.at(0).sText, Warning);
    EXPECT_EQ(platform.log.at(2), "Open");
}

TEST_F(DialogTest, CancelEndsWithoutCopying)
{
    platform.files[Memo] = "memo text";
    platform.field = Memo;
    EXPECT_EQ(Run([&] { form.cmdMain_Press(1); }), 0u);
    EXPECT_EQ(platform.log, (std::vector<std::string>{"CloseForm"}));
    EXPECT_EQ(platform.clipboard, u"sentinel");
}
}  // namespace
