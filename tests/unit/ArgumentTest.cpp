#include "form/frmMain.h"
#include <gtest/gtest.h>
#include <utility>

namespace {

struct Case {
    const char16_t* sCommandLine;
    const char16_t* sArgument;
};

// The argument is what follows the program's name and the blanks after it, untouched.
TEST(ArgumentOf, SkipsTheProgramNameByTheWindowsRules)
{
    const Case cases[] = {
        {u"Quillbox.exe", u""},
        {u"Quillbox.exe ", u""},
        {u"Quillbox.exe \t  ", u""},
        {u"", u""},
        {u"Quillbox.exe C:\\memo.txt", u"C:\\memo.txt"},
        {u"Quillbox.exe\tC:\\memo.txt", u"C:\\memo.txt"},
        {u"C:\\Tools\\Quillbox.exe   C:\\a b\\c d.txt  ", u"C:\\a b\\c d.txt  "},
        {u"\"C:\\Program Files\\Quillbox\\Quillbox.exe\" C:\\memo.txt", u"C:\\memo.txt"},
        {u"\"C:\\Program Files\\Quillbox\\Quillbox.exe\"", u""},
        // A quoted name may run on past its closing quotation mark.
        {u"\"C:\\Program Files\"\\Quillbox.exe x", u"x"},
        // An unclosed quotation mark takes the rest of the line as the name.
        {u"\"C:\\Program Files\\Quillbox.exe x", u""},
        // Quotation marks and blanks inside the argument stay.
        {u"q.exe \"C:\\my notes\\memo.txt\"", u"\"C:\\my notes\\memo.txt\""},
        {u"q.exe a \"b\" c", u"a \"b\" c"},
        {u"q.exe  \t  \t", u""},
        {u"q.exe \"  \"", u"\"  \""},
        {u"q.exe 　全角", u"　全角"},  // an ideographic space is not a separator
    };
    for (const Case& c : cases) {
        const Text sLine = c.sCommandLine;
        EXPECT_EQ(frmMain::ArgumentOf(sLine), c.sArgument) << std::string(sLine.begin(), sLine.end());
    }
}

TEST(ArgumentOf, BlanksAfterTheSeparatorAreSkippedButNotTheOnesWithinOrAfter)
{
    // Whatever is left after the separating blanks is the argument, trailing blanks included.
    EXPECT_EQ(frmMain::ArgumentOf(u"q.exe   x   "), u"x   ");
}

// One pair of quotation marks around the whole path, blanks around them set
// aside, names the file between them; any other path stays exactly as it is.
TEST(UnquotePath, TakesOffOnePairOfEnclosingMarksAndNothingElse)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"\"C:\\Users\\Taro Yamada\\memo 1.txt\"", u"C:\\Users\\Taro Yamada\\memo 1.txt"},
        {u"\"memo.txt\"", u"memo.txt"},
        {u" \t \"memo.txt\"  \t", u"memo.txt"},
        {u"\"  memo.txt \"", u"  memo.txt "},  // inside, nothing is trimmed
        {u"\"\"", u""},                       // names nothing: the path warning
        {u" \"\" ", u""},
        {u"\"", u"\""},                       // one mark only
        {u"  \"  ", u"  \"  "},
        {u"\"memo.txt", u"\"memo.txt"},
        {u"memo.txt\"", u"memo.txt\""},
        {u"\"a\"b\"", u"\"a\"b\""},          // a mark inside
        {u"\"a b.txt\" \"c.txt\"", u"\"a b.txt\" \"c.txt\""},  // several files dropped at once
        {u"C:\\my notes\\memo.txt  ", u"C:\\my notes\\memo.txt  "},  // unquoted: blanks stay
        {u"  ", u"  "},
        {u"", u""},
        {u"\u3000\"memo.txt\"\u3000", u"\u3000\"memo.txt\"\u3000"},  // an ideographic space is no blank
    };
    for (const auto& [sGiven, sPath] : cases) {
        const Text sText = sGiven;
        EXPECT_EQ(frmMain::UnquotePath(sText), sPath) << std::string(sText.begin(), sText.end());
    }
}

}  // namespace
