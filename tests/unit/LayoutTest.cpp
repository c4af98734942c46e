#include "form/Layout.h"
#include <gtest/gtest.h>
#include <iterator>
#include <vector>

namespace {

// At 120 DPI a pixel is 12 twips, and every value of the table is whole.
TEST(Layout, At120DpiEveryValueIsExact)
{
    EXPECT_EQ(FormLayout::Client(120), (PixelRect{0, 0, 342, 117}));
    EXPECT_EQ(FormLayout::Place(FormLayout::lblMain, 120), (PixelRect{15, 20, 81, 31}));
    EXPECT_EQ(FormLayout::Place(FormLayout::txtMain, 120), (PixelRect{100, 15, 231, 31}));
    EXPECT_EQ(FormLayout::Place(FormLayout::cmdMain[0], 120), (PixelRect{150, 70, 86, 36}));
    EXPECT_EQ(FormLayout::Place(FormLayout::cmdMain[1], 120), (PixelRect{245, 70, 86, 36}));
    EXPECT_EQ(FormLayout::FontHeight(120), -17);
}

// At 96 DPI (15 twips a pixel) edges round to the nearest pixel, and the two
// buttons and the field still end at the same right edge, as they do in twips.
TEST(Layout, At96DpiEdgesRoundToTheNearestPixel)
{
    EXPECT_EQ(FormLayout::Client(96), (PixelRect{0, 0, 274, 94}));
    EXPECT_EQ(FormLayout::Place(FormLayout::lblMain, 96), (PixelRect{12, 16, 65, 25}));
    EXPECT_EQ(FormLayout::Place(FormLayout::txtMain, 96), (PixelRect{80, 12, 185, 25}));
    EXPECT_EQ(FormLayout::Place(FormLayout::cmdMain[0], 96), (PixelRect{120, 56, 69, 29}));
    EXPECT_EQ(FormLayout::Place(FormLayout::cmdMain[1], 96), (PixelRect{196, 56, 69, 29}));
    EXPECT_EQ(FormLayout::FontHeight(96), -14);
}

TEST(Layout, At144And192DpiEverythingScales)
{
    EXPECT_EQ(FormLayout::Client(144), (PixelRect{0, 0, 410, 140}));
    EXPECT_EQ(FormLayout::Place(FormLayout::cmdMain[0], 144), (PixelRect{180, 84, 103, 43}));
    EXPECT_EQ(FormLayout::FontHeight(144), -20);
    EXPECT_EQ(FormLayout::Client(192), (PixelRect{0, 0, 547, 187}));
    EXPECT_EQ(FormLayout::FontHeight(192), -27);
}

// The window makes its controls in CreationOrder, which the dialog manager
// follows: so the controls that take the focus must come in the order of their
// tab indexes (field, OK, Cancel), and the label right before the control its
// access key reaches, the next tab index after its own (after the last, the first).
TEST(Layout, MadeInTabOrderWithTheLabelRightBeforeTheField)
{
    const auto& order = FormLayout::CreationOrder;
    const int n = static_cast<int>(std::size(order));
    ASSERT_EQ(n, 4);
    std::vector<int> tabStops;
    for (int i = 0; i < n; ++i) {
        if (order[i]->kind != ControlLayout::Kind::Label) {
            tabStops.push_back(order[i]->tabIndex);
        } else {
            ASSERT_LT(i + 1, n) << "a label made last leads nowhere";
            EXPECT_EQ(order[i + 1]->tabIndex, (order[i]->tabIndex + 1) % n);
        }
    }
    EXPECT_EQ(tabStops, (std::vector<int>{0, 1, 2}));
}

}  // namespace
