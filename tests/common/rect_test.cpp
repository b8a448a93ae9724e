#include <gtest/gtest.h>

#include "common/Rect.h"

namespace {

TEST(Rect, TextRoundTrip)
{
    EXPECT_EQ(RectToText({10, 20, 30, 40}), "10,20,30,40");
    EXPECT_EQ(RectToText({-5, 0, INT32_MAX, INT32_MIN}), "-5,0,2147483647,-2147483648");
    const TRect rect {-5, 0, INT32_MAX, INT32_MIN};
    EXPECT_EQ(TextToRect(RectToText(rect), {}), rect);
}

TEST(Rect, TextToRectFallsBackAsAWhole)
{
    const TRect def {1, 2, 3, 4};
    const std::pair<const char *, TRect> cases[] = {
        {"10;20,30,40", {10, 20, 30, 40}},
        {" 10 , 20 ; 30 , 40 ", {10, 20, 30, 40}},
        {"10,20,30,40,50", {10, 20, 30, 40}},
        {"10,20,x,40", def},
        {"10,20,30", def},
        {"10,20,,30,40", def},
        {"", def},
        {"10,20,30,99999999999", def},
        {"1.5,2,3,4", def},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(TextToRect(text, def), expected) << text;
}

TEST(Rect, CenteredWindowRect)
{
    const TRect screen {0, 0, 1920, 1080};
    EXPECT_EQ(CenteredWindowRect(800, 600, screen, {0, 0, 1920, 1040}), (TRect {560, 240, 1360, 840}));
    // A work area narrower than the window: its own edges on that axis, centred on the other.
    EXPECT_EQ(CenteredWindowRect(800, 600, screen, {50, 0, 750, 1040}), (TRect {50, 240, 750, 840}));
    EXPECT_EQ(CenteredWindowRect(800, 600, screen, {0, 30, 1920, 530}), (TRect {560, 30, 1360, 530}));
    // Exactly as wide as the work area still centres on the screen.
    EXPECT_EQ(CenteredWindowRect(800, 600, {0, 0, 800, 600}, {0, 0, 800, 600}), (TRect {0, 0, 800, 600}));
    // Odd differences round toward zero.
    EXPECT_EQ(CenteredWindowRect(801, 601, screen, screen), (TRect {559, 239, 1360, 840}));
}

} // namespace
