#include <gtest/gtest.h>

#include "ui/WindowPlacement.h"

namespace {

TEST(FitInArea, KeepsAPlaceInsideAndBringsAnyOtherInside)
{
    const PlacementRect area = {0, 0, 1024, 738};  // a taskbar below
    const struct
    {
        const char* what;
        PlacementRect place;
        PlacementRect expected;
    } cases[] = {
        {"inside", {50, 60, 650, 480}, {50, 60, 650, 480}},
        {"larger than the area", {-100, -50, 4900, 3950}, {0, 0, 1024, 738}},
        {"off the right and the bottom", {900, 700, 1300, 1000}, {624, 438, 1024, 738}},
        {"off the left and the top", {-300, -200, 100, 100}, {0, 0, 400, 300}},
        {"wider only", {10, 20, 2010, 320}, {0, 20, 1024, 320}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const PlacementRect fitted = FitInArea(c.place, area);
        EXPECT_EQ(c.expected.left, fitted.left);
        EXPECT_EQ(c.expected.top, fitted.top);
        EXPECT_EQ(c.expected.right, fitted.right);
        EXPECT_EQ(c.expected.bottom, fitted.bottom);
    }
}

TEST(FitInArea, WorksInAnAreaAwayFromTheOrigin)
{
    // A second monitor left of the first, its taskbar at the top.
    const PlacementRect area = {-1280, 40, 0, 1024};
    const PlacementRect fitted = FitInArea({-100, 0, 300, 300}, area);
    EXPECT_EQ(-400, fitted.left);
    EXPECT_EQ(40, fitted.top);
    EXPECT_EQ(0, fitted.right);
    EXPECT_EQ(340, fitted.bottom);
}

} // namespace
