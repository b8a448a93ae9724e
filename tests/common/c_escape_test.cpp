#include <string>

#include <gtest/gtest.h>

#include "common/CEscape.h"
#include "common/Utf8.h"

namespace {

struct TCase
{
    std::string Bytes;
    std::string Escaped;
};

TEST(CEscape, EscapesWhatBreaksALineOrDrivesATerminal)
{
    const TCase cases[] = {
        {"plain name.txt", "plain name.txt"},
        {"", ""},
        {"new\nline", "new\\nline"},
        {"forged\nfiles=1", "forged\\nfiles=1"},
        {"tab\there", "tab\\there"},
        {"cr\rhere", "cr\\rhere"},
        {"back\\slash", "back\\\\slash"},
        {"\\n", "\\\\n"}, // a real backslash before n must not read as a newline
        {std::string("nul\0x", 5), "nul\\x00x"},
        {"esc\x1b[31mred", "esc\\x1b[31mred"},
        {"del\x7f", "del\\x7f"},
        {"bad\xff\xfe"
         "bytes",
            "bad\\xff\\xfebytes"},
        {"\xe4\xb8\xad\xe6\x96\x87 \xc3\xa4", "\xe4\xb8\xad\xe6\x96\x87 \xc3\xa4"}, // valid UTF-8 stays
        {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},
        {"cut\xe4\xb8", "cut\\xe4\\xb8"}, // a sequence cut off at the end
        {"\xc0\xaf", "\\xc0\\xaf"}, // overlong "/"
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"}, // a surrogate
        {"c1\xc2\x9b"
         "2J",
            "c1\\xc2\\x9b2J"}, // the one-character CSI
        {"ls\xe2\x80\xa8"
         "ps\xe2\x80\xa9",
            "ls\\xe2\\x80\\xa8ps\\xe2\\x80\\xa9"},
    };
    for (const TCase &c : cases) {
        EXPECT_EQ(CEscaped(c.Bytes), c.Escaped) << c.Escaped;
        std::string back;
        ASSERT_TRUE(CUnescape(c.Escaped, back)) << c.Escaped;
        EXPECT_EQ(back, c.Bytes) << c.Escaped;
    }
}

TEST(CEscape, EveryByteStringComesBackExactlyAndEscapedIsPrintableUtf8)
{
    // All byte pairs and triples of a telling alphabet: boundaries of every class above.
    const std::string alphabet = std::string("a\\\n\t\r\x01\x1f\x7f\x80\x9b\xbf\xc2\xe2\xa8\xed\xf4\xff\0", 18);
    std::string sample;
    for (char a : alphabet)
        for (char b : alphabet)
            for (char c : alphabet) {
                sample.assign({a, b, c});
                const std::string escaped = CEscaped(sample);
                std::string back;
                ASSERT_TRUE(CUnescape(escaped, back));
                ASSERT_EQ(back, sample);
                for (std::size_t i = 0; i < escaped.size();) {
                    char32_t cp = 0;
                    const std::size_t n = DecodeUtf8(std::string_view(escaped).substr(i), cp);
                    ASSERT_GT(n, 0u) << "invalid UTF-8 in " << escaped;
                    ASSERT_FALSE(cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F)) << escaped;
                    i += n;
                }
            }
}

TEST(CEscape, AppendKeepsWhatIsThere)
{
    std::string out = "path=";
    AppendCEscaped(out, "a\nb");
    EXPECT_EQ(out, "path=a\\nb");
}

TEST(CEscape, UnescapeRefusesWhatNoEscapingProduces)
{
    std::string bytes;
    for (const char *text : {"end\\", "\\q", "\\x", "\\x4", "\\xg0"})
        EXPECT_FALSE(CUnescape(text, bytes)) << text;
}

} // namespace
