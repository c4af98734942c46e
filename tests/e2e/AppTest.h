// What the tests of the real Quillbox.exe share: what a user is meant to see
// (the texts of its boxes), the sentinel left on the clipboard, and the fixture.
#pragma once
#include "Harness.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <string>
#include <vector>

namespace e2e {

inline const std::wstring Sentinel = L"left on the clipboard by the test\r\nbefore Quillbox ran";
inline const std::wstring PathWarningText = L"指定されたパスに間違いがあります。";

// The version as the error report shows it, from the exe's own version block.
std::wstring ReportedVersion();
// The five lines of the error report.
std::wstring ErrorReport(const std::wstring& code, const std::wstring& place, const std::wstring& description);
std::vector<std::wstring> Lines(const std::wstring& text);
std::vector<std::wstring> Classes(const std::vector<AppWindow>& windows);

// The DPI the apps of this run are started at: QB_DPI, or 96.
inline UINT TestDpi()
{
    const char* dpi = std::getenv("QB_DPI");
    return dpi && *dpi ? static_cast<UINT>(std::atoi(dpi)) : 96;
}

// Every test starts with a sentinel on the clipboard, so an unwanted write shows.
class QuillboxTest : public ::testing::Test {
protected:
    TempFolder folder;
    DWORD sequence = 0;

    void SetUp() override
    {
        ASSERT_TRUE(clipboard::PutText(Sentinel));
        sequence = clipboard::Sequence();
    }

    void ExpectClipboardUntouched()
    {
        EXPECT_EQ(clipboard::Text(), Sentinel);
        EXPECT_EQ(clipboard::Sequence(), sequence) << "something was put on the clipboard";
    }
};

}  // namespace e2e
