#include <gtest/gtest.h>

#include "mainframe/dpilayout.h"

TEST(DpiLayout, FixedWidthsAtCommonScalesAndWorkAreaLimits) {
    SDpiLayout l = ComputeDpiLayout(120, 1000, 640, 0, 0, 1920, 1040);
    EXPECT_TRUE(l.changed);
    EXPECT_EQ(l.width, 1400);
    EXPECT_EQ(l.height, 787);
    EXPECT_EQ(l.x, 260);
    EXPECT_EQ(l.y, 126);
    EXPECT_EQ(ComputeDpiLayout(144, 1000, 640, 0, 0, 3840, 2100).height, 956);
    EXPECT_EQ(ComputeDpiLayout(192, 1000, 640, 0, 0, 3840, 2100).height, 1248);

    // Both limits apply on a small work area.
    l = ComputeDpiLayout(120, 1000, 640, 0, 0, 1366, 728);
    EXPECT_EQ(l.width, 1366);
    EXPECT_EQ(l.height, 728);
    EXPECT_EQ(l.x, 0);
    EXPECT_EQ(l.y, 0);

    // Another scale: 200 pixels narrower than the work area, 16:9.
    l = ComputeDpiLayout(110, 1000, 640, 0, 0, 1600, 900);
    EXPECT_EQ(l.width, 1400);
    EXPECT_EQ(l.height, 787);
}

TEST(DpiLayout, NinetySixDpiKeepsTheSkinSizeUnlessItDoesNotFit) {
    SDpiLayout l = ComputeDpiLayout(96, 1000, 640, 0, 0, 1920, 1040);
    EXPECT_FALSE(l.changed);
    EXPECT_EQ(l.width, 1000);
    l = ComputeDpiLayout(96, 1000, 640, 100, 50, 900, 650);
    EXPECT_TRUE(l.changed);
    EXPECT_EQ(l.x, 100);
    EXPECT_EQ(l.width, 800);
    EXPECT_EQ(l.height, 600);
    EXPECT_EQ(l.y, 50);
}

TEST(DpiLayout, ScaledDisplaysGetTheFixedWidthsInDisplayPixels) {
    // 120 dpi: 1.25 display pixels per unit. A 1920 x 1040 display work area is 1536 x 832.
    SDpiLayout l = ComputeDpiLayoutInUnits(120, 1000, 640, RECT{0, 0, 1536, 832});
    EXPECT_EQ(UnitsToDisplayPixels(l.width, 120), 1400);
    EXPECT_NEAR(UnitsToDisplayPixels(l.height, 120), 787, 1);
    // The work-area limits hold in the same unit: 1366 x 728 display pixels.
    l = ComputeDpiLayoutInUnits(120, 1000, 640, RECT{0, 0, 1093, 582});
    EXPECT_EQ(l.width, 1093);
    EXPECT_EQ(l.height, 582);

    // 192 dpi on a 3840 x 2160 display: 1920 x 1080 units; the window is 2220 display pixels
    // wide, not the whole screen.
    l = ComputeDpiLayoutInUnits(192, 1000, 640, RECT{0, 0, 1920, 1080});
    EXPECT_EQ(l.width, 1110);
    EXPECT_EQ(l.height, 624);
    EXPECT_EQ(UnitsToDisplayPixels(l.width, 192), 2220);
    // The skin's minimum size counts in units too: at 96 dpi nothing changes.
    EXPECT_FALSE(ComputeDpiLayoutInUnits(96, 1000, 640, RECT{0, 0, 1920, 1040}).changed);
}
