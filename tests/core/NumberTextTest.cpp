#include <gtest/gtest.h>

#include "emulator/NumberText.h"

TEST(NumberText, PictureRoundsHalfAwayFromZeroOnShortestText) {
    struct Row {
        double value;
        bool asFloat;
        int decimals;
        const char* text;
    };
    const Row rows[] = {
        {1.25, true, 1, "1.3"},    {0.125, true, 2, "0.13"},   {2.5, false, 0, "3"},
        {0.0, true, 1, "0.0"},     {150.0, true, 1, "150.0"},  {150.4, true, 0, "150"},
        {-9.99, true, 2, "-9.99"}, {-1.25, true, 1, "-1.3"},   {9.95, true, 1, "10.0"},
        {0.7, true, 2, "0.70"},    {359.9, false, 1, "359.9"}, {-0.04, true, 1, "0.0"},
        {0.05, true, 1, "0.1"},    {12.3, false, 1, "12.3"},   {999.96, false, 1, "1000.0"},
        {0.1, true, 1, "0.1"},     {10.0, true, 1, "10.0"},    {-0.5, false, 0, "-1"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.value);
        const std::string got = r.asFloat ? FormatPicture(static_cast<float>(r.value), r.decimals)
                                          : FormatPicture(r.value, r.decimals);
        EXPECT_EQ(got, r.text);
    }
}

TEST(NumberText, PictureUsesGivenSeparator) {
    EXPECT_EQ(FormatPicture(2.5f, 2, ','), "2,50");
    EXPECT_EQ(FormatPicture(3.0, 0, ','), "3");
}

TEST(NumberText, FixedWidthAndPadding) {
    EXPECT_EQ(FormatFixed(5.0, 1, 5), "  5.0");
    EXPECT_EQ(FormatFixed(9.9, 1, 5, true), "009.9");
    EXPECT_EQ(FormatFixed(1.25, 3, 5), "1.250");
    EXPECT_EQ(FormatFixed(1234.5, 1, 5), "1234.5");
    EXPECT_EQ(FormatFixed(-1.5, 1, 6, true), "-001.5");
}
