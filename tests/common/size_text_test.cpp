#include <gtest/gtest.h>

#include "common/SizeText.h"

namespace {

// Restores "." whatever a test set.
class SizeTextTest : public ::testing::Test
{
protected:
    void TearDown() override { SetDecimalSeparator("."); }
};

struct TSizeCase
{
    std::int64_t Size;
    const char *Truncated;
    const char *Rounded;
};

TEST_F(SizeTextTest, WorkedExamples)
{
    const TSizeCase cases[] = {
        {0, "0 Bytes", "0 Bytes"},
        {1, "1 Byte", "1 Byte"},
        {1023, "1023 Bytes", "1023 Bytes"},
        {1024, "1 KB", "1 KB"},
        {1536, "1.5 KB", "1.5 KB"},
        {10239, "9.99 KB", "10 KB"},
        {1048063, "1023 KB", "1023 KB"},
        {2621440, "2.5 MB", "2.5 MB"},
        {1073741823, "1023 MB", "1024 MB"},
        {1125899906842624, "1024 TB", "1024 TB"},
        {INT64_MAX, "8388608 TB", "8388608 TB"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(FileSizeToStrTruncated(c.Size), c.Truncated) << c.Size;
        EXPECT_EQ(FileSizeToStrRounded(c.Size), c.Rounded) << c.Size;
    }
}

TEST_F(SizeTextTest, RangeBoundariesAndHalfToEven)
{
    const TSizeCase cases[] = {
        // 99.95 KB: one decimal below 100 before rounding, so the rounded form shows "100".
        {102349, "99.9 KB", "100 KB"},
        // 100 KB and more: whole numbers; 100.5 KB rounds to the even 100, 101.5 KB to 102.
        {102912, "100 KB", "100 KB"},
        {103936, "101 KB", "102 KB"},
        // 1.125 KB and 1.375 KB are exact halves on the second decimal: to the even neighbour.
        {1152, "1.12 KB", "1.12 KB"},
        {1408, "1.37 KB", "1.38 KB"},
        // 1023.5 TB stays in TB as 1023.5 rounded to the nearest even neighbour.
        {1125350151028736, "1023 TB", "1024 TB"},
        // 1536 TB: beyond the last unit, whole TB without separator in both forms.
        {1688849860263936, "1536 TB", "1536 TB"},
        {-5, "-5 Bytes", "-5 Bytes"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(FileSizeToStrTruncated(c.Size), c.Truncated) << c.Size;
        EXPECT_EQ(FileSizeToStrRounded(c.Size), c.Rounded) << c.Size;
    }
}

TEST_F(SizeTextTest, CommaSeparator)
{
    SetDecimalSeparator(",");
    EXPECT_EQ(DecimalSeparator(), ",");
    EXPECT_EQ(FileSizeToStrTruncated(1536), "1,5 KB");
    EXPECT_EQ(FileSizeToStrRounded(10239), "10 KB");
    EXPECT_EQ(FileSizeToStrTruncated(10239), "9,99 KB");
    EXPECT_EQ(FileSizeToStrRounded(2621440), "2,5 MB");
    EXPECT_EQ(FileSizeToStrRounded(1125899906842624), "1024 TB");
    EXPECT_EQ(FloatToStrDecimals(2, 1.999), "1,99");
}

TEST_F(SizeTextTest, SeparatorOfSeveralBytesAndInvalidOnes)
{
    SetDecimalSeparator("\xD9\xAB"); // ARABIC DECIMAL SEPARATOR
    EXPECT_EQ(FloatToStrDecimals(1, 2.75),
        "2\xD9\xAB"
        "7");
    SetDecimalSeparator("");
    EXPECT_EQ(DecimalSeparator(), ".");
    SetDecimalSeparator("too long");
    EXPECT_EQ(DecimalSeparator(), ".");
}

TEST_F(SizeTextTest, FloatToStrDecimalsCutsInsteadOfRounding)
{
    const struct
    {
        int Decimals;
        double Value;
        const char *Text;
    } cases[] = {
        {2, 1.999, "1.99"},
        {1, 1.999, "1.9"},
        {0, 1.999, "1"},
        {2, 1.5, "1.5"},
        {2, 3.0, "3"},
        {0, 12345.0, "12345"},
        {3, 0.1 + 0.2, "0.3"}, // 15 significant digits hide the binary error
        {2, -2.567, "-2.56"},
        {5, 1.25, "1.25"},
        {1, 1.25e-7, "1.2e-07"},
        {0, 3.5e20, "3e+20"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FloatToStrDecimals(c.Decimals, c.Value), c.Text) << c.Decimals << " " << c.Value;
}

TEST_F(SizeTextTest, RoundingStyleTexts)
{
    EXPECT_EQ(RoundingStyleText(rsNone), "");
    EXPECT_EQ(RoundingStyleText(rsBankers), "Bankers' Rounding");
    EXPECT_EQ(RoundingStyleText(rsTruncate), "Round down (file-manager style)");
    EXPECT_EQ(
        RoundingStyleTexts(), (std::vector<std::string> {"Bankers' Rounding", "Round down (file-manager style)"}));
    EXPECT_EQ(TextToRoundingStyle("Bankers' Rounding"), rsBankers);
    EXPECT_EQ(TextToRoundingStyle("Round down (file-manager style)"), rsTruncate);
    EXPECT_EQ(TextToRoundingStyle(""), rsNone);
    EXPECT_EQ(TextToRoundingStyle("bankers' rounding"), rsNone);
}

} // namespace
