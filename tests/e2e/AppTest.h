// What the tests of the real Quillbox.exe share.
#pragma once
#include "Expected.h"
#include "Harness.h"
#include <gtest/gtest.h>
#include <cstdlib>

namespace e2e {

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
