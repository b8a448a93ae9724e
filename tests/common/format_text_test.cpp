#include <string>

#include <gtest/gtest.h>

#include "common/FormatText.h"

namespace {

// Translations are written by people: a pattern may lose, gain or reorder its place holders,
// and the values (file names) may contain "%s" themselves. None of that may throw or re-expand.
TEST(FormatTextTest, FillsPlaceHoldersWhateverTheTranslationKeeps)
{
    struct TCase
    {
        const char *Pattern;
        std::string Expected;
    };
    const TCase cases[] = {
        {"The file \"%s\" cannot be read: %s", "The file \"a%sb\" cannot be read: gone"},
        {"Die Datei kann nicht gelesen werden", "Die Datei kann nicht gelesen werden"}, // both dropped
        {"%s", "a%sb"}, // one dropped
        {"%s %s %s", "a%sb gone "}, // one too many
        {"100%% of %s", "100% of a%sb"},
        {"ends with %", "ends with %"},
        {"", ""},
    };
    for (const TCase &c : cases)
        EXPECT_EQ(FormatText(c.Pattern, {"a%sb", "gone"}), c.Expected) << c.Pattern;
}

} // namespace
