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
