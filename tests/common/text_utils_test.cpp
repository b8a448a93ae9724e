#include <set>

#include <gtest/gtest.h>

#include "common/TextUtils.h"

namespace {

TEST(TextUtils, StartsWithTextIsAPlainCaseSensitivePrefixTest)
{
    EXPECT_TRUE(StartsWithText("/usr/lib32x", "/usr/lib32"));
    EXPECT_TRUE(StartsWithText("abc", "abc"));
    EXPECT_FALSE(StartsWithText("Abc", "abc"));
    EXPECT_FALSE(StartsWithText("ab", "abc"));
    EXPECT_FALSE(StartsWithText("", ""));
    EXPECT_FALSE(StartsWithText("abc", ""));
    EXPECT_FALSE(StartsWithText("", "a"));
}

TEST(TextUtils, AddTrailingBackslash)
{
    EXPECT_EQ(AddTrailingBackslash(""), "");
    EXPECT_EQ(AddTrailingBackslash("/"), "/");
    EXPECT_EQ(AddTrailingBackslash("/home"), "/home/");
    EXPECT_EQ(AddTrailingBackslash("/home/"), "/home/");
    EXPECT_EQ(AddTrailingBackslash("/home "), "/home /");
    EXPECT_EQ(AddTrailingBackslashTrimmed("  /home \t"), "/home/");
    EXPECT_EQ(AddTrailingBackslashTrimmed("   "), "");
}

TEST(TextUtils, NextTokenTakesTextUpToTheFirstDelimiter)
{
    std::string text = "a,b;;c";
    EXPECT_EQ(NextToken(text, ",;"), "a");
    EXPECT_EQ(text, "b;;c");
    EXPECT_EQ(NextToken(text, ",;"), "b");
    EXPECT_EQ(NextToken(text, ",;"), "");
    EXPECT_EQ(NextToken(text, ",;"), "c");
    EXPECT_EQ(text, "");
    EXPECT_EQ(NextToken(text, ",;"), "");
}

TEST(TextUtils, SplitTextDropsEmptyPieces)
{
    std::vector<std::string> list {"stale"};
    EXPECT_EQ(SplitText(",,a,,bc;d,", ",;", list), 3);
    EXPECT_EQ(list, (std::vector<std::string> {"a", "bc", "d"}));
    EXPECT_EQ(SplitText("", ",", list), 0);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(SplitText("abc", "", list), 1);
}

TEST(TextUtils, RemoveChars)
{
    std::string text = "C:\\a:b::";
    RemoveChars(text, ":");
    EXPECT_EQ(text, "C\\ab");
    std::string withNul("a\0b", 3);
    RemoveChars(withNul, std::string_view("\0", 1));
    EXPECT_EQ(withNul, "ab");
}

TEST(TextUtils, TextBetween)
{
    EXPECT_EQ(TextBetween("German [de]", "[", "]"), "de");
    EXPECT_EQ(TextBetween("Portuguese [pt_BR] [x]", "[", "]"), "pt_BR");
    EXPECT_EQ(TextBetween("[]", "[", "]"), "");
    EXPECT_EQ(TextBetween("German [de", "[", "]"), "");
    EXPECT_EQ(TextBetween("] German [de]", "[", "]"), "de");
    // Without a start marker there is nothing between the markers.
    EXPECT_EQ(TextBetween("German de]", "[", "]"), "");
    EXPECT_EQ(TextBetween("<<a>>", "<<", ">>"), "a");
}

TEST(TextUtils, MakeIdentifier)
{
    const std::pair<const char *, const char *> cases[] = {
        {"", ""},
        {"1 Gr\xC3\xB6\xC3\x9F"
         "e",
            "_1_Groesse"},
        {"\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6\xC3\xBC", "AeOeUeaeoeue"},
        {"a_b9", "a_b9"},
        {"/home/user", "_home_user"},
        {"\xE2\x82\xAC", "_"}, // one character, three bytes: one "_"
        {"a\xFF\xFE"
         "b",
            "a__b"}, // invalid bytes: one "_" each
        {"\xC3", "_"}, // cut-off sequence
        {"9", "_9"},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(MakeIdentifier(in), out) << in;
}

TEST(TextUtils, MakeFileName)
{
    EXPECT_EQ(MakeFileName(" a:b  c. ", '_', " "), "a_b_c");
    EXPECT_EQ(MakeFileName("a<>b", '_'), "a_b");
    EXPECT_EQ(MakeFileName("a/b\\c|d?e*f\"g", '-'), "a-b-c-d-e-f-g");
    EXPECT_EQ(MakeFileName("a\nb\tc", '_'), "a_b_c");
    EXPECT_EQ(MakeFileName("a:b", '\0'), "ab");
    EXPECT_EQ(MakeFileName("name..", '_'), "name.");
    EXPECT_EQ(MakeFileName(":a", '_'), "_a");
    EXPECT_EQ(MakeFileName("Gr\xC3\xB6\xC3\x9F"
                           "e \xE2\x82\xAC",
                  '_', " "),
        "Gr\xC3\xB6\xC3\x9F"
        "e_\xE2\x82\xAC");
    EXPECT_EQ(MakeFileName("   ", '_'), "");
}

TEST(TextUtils, RemoveNestedPaths)
{
    struct TCase
    {
        std::vector<std::string> In;
        std::vector<std::string> Out;
        int Removed;
    };
    const TCase cases[] = {
        {{"/a/b", "/a", "/x"}, {"/a", "/x"}, 1},
        {{"/a", "/a/b", "/a/b/c"}, {"/a"}, 2},
        {{"/a", "/ab", "/a/"}, {"/a", "/ab"}, 1}, // a trailing delimiter names the same folder
        {{"/x", "/x"}, {"/x"}, 1},
        {{"/", "/home", "/tmp/z"}, {"/"}, 2},
        {{"", "/a", ""}, {"/a"}, 2},
        {{"/A", "/a/b"}, {"/A", "/a/b"}, 0}, // Linux paths differ by case
        {{}, {}, 0},
    };
    for (const auto &c : cases) {
        std::vector<std::string> list = c.In;
        EXPECT_EQ(RemoveNestedPaths(list), c.Removed);
        EXPECT_EQ(list, c.Out);
    }
}

TEST(TextUtils, RemoveNestedPathsKeepsTheEarlierOfTwoEqualEntries)
{
    std::vector<std::string> list {"/b", "/a", "/c", "/a"};
    EXPECT_EQ(RemoveNestedPaths(list), 1);
    EXPECT_EQ(list, (std::vector<std::string> {"/b", "/a", "/c"}));
}

TEST(TextUtils, RandomText)
{
    EXPECT_EQ(RandomText(0), "");
    const std::string text = RandomText(4000);
    ASSERT_EQ(text.size(), 4000u);
    int digits = 0;
    std::set<char> seen;
    for (const char c : text) {
        ASSERT_TRUE((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) << c;
        digits += c >= '0' && c <= '9';
        seen.insert(c);
    }
    // Digits and letters are equally likely: far from the 10:26 a single alphabet would give.
    EXPECT_GT(digits, 1700);
    EXPECT_LT(digits, 2300);
    EXPECT_EQ(seen.size(), 36u);
    EXPECT_NE(RandomText(16), RandomText(16));
}

TEST(TextUtils, BooleanTexts)
{
    EXPECT_STREQ(BoolToStr(true), "True");
    EXPECT_STREQ(BoolToStr(false), "False");
    const std::pair<const char *, bool> good[] = {
        {"True", true},
        {"wahr", true},
        {"TRUE", true},
        {" False ", false},
        {"Falsch", false},
        {"0", false},
        {"1", true},
        {"-1", true},
    };
    for (const auto &[text, expected] : good) {
        bool value = !expected;
        EXPECT_TRUE(TryStrToBool(text, value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
    for (const char *bad : {"", "yes", "Truex", "1.5", "+-1"}) {
        bool value = true;
        EXPECT_FALSE(TryStrToBool(bad, value)) << bad;
        EXPECT_TRUE(value);
    }
    EXPECT_TRUE(StrToBoolDef("nonsense", true));
    EXPECT_FALSE(StrToBoolDef("Falsch", true));
}

TEST(TextUtils, TryStrToInt)
{
    int value = 7;
    EXPECT_TRUE(TryStrToInt(" -42 ", value));
    EXPECT_EQ(value, -42);
    EXPECT_TRUE(TryStrToInt("+5", value));
    EXPECT_EQ(value, 5);
    for (const char *bad : {"", "x", "4x", "99999999999", "+", "-", "1 2"}) {
        value = 7;
        EXPECT_FALSE(TryStrToInt(bad, value)) << bad;
        EXPECT_EQ(value, 7);
    }
    std::int64_t big = 0;
    EXPECT_TRUE(TryStrToInt64("9223372036854775807", big));
    EXPECT_EQ(big, INT64_MAX);
}

} // namespace
