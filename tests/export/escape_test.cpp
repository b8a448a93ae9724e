#include <string>

#include <gtest/gtest.h>
#include <utility>

#include "export/TextEscape.h"

namespace {

const std::string FFFD = "\xEF\xBF\xBD";

struct TEscapeCase
{
    std::string Input;
    std::string Xml;
    std::string Html;
    std::string Csv;
    std::string Line;
};

TEST(TextEscapeTest, EachConversionOnOddNames)
{
    const TEscapeCase cases[] = {
        {"plain name", "plain name", "plain name", "plain name", "plain name"},
        {"a&b", "a&amp;b", "a&amp;b", "a&b", "a&b"},
        {"<x>", "&lt;x&gt;", "&lt;x&gt;", "<x>", "<x>"},
        {"say \"hi\"", "say &quot;hi&quot;", "say &quot;hi&quot;", "\"say \"\"hi\"\"\"", "say \"hi\""},
        {"it's", "it&apos;s", "it&#39;s", "it's", "it's"},
        {"a,b", "a,b", "a,b", "\"a,b\"", "a,b"},
        {"tab\there", "tab&#9;here", "tab&#9;here", "tab\there", "tab" + FFFD + "here"},
        {"new\nline\r", "new&#10;line&#13;", "new&#10;line&#13;", "\"new\nline\r\"", "new" + FFFD + "line" + FFFD},
        {"bell\x07\x7f", "bell" + FFFD + "\x7f", "bell" + FFFD + "\x7f", "bell\x07\x7f", "bell" + FFFD + FFFD},
        // Non-Latin letters pass unchanged; U+2028 is only a line break for line-based readers.
        {"\xCE\xA9\xD0\xBC\xE2\x80\xA8\xF0\x9F\x98\x80", "\xCE\xA9\xD0\xBC\xE2\x80\xA8\xF0\x9F\x98\x80",
            "\xCE\xA9\xD0\xBC\xE2\x80\xA8\xF0\x9F\x98\x80", "\xCE\xA9\xD0\xBC\xE2\x80\xA8\xF0\x9F\x98\x80",
            "\xCE\xA9\xD0\xBC" + FFFD + "\xF0\x9F\x98\x80"},
        // Invalid UTF-8: a lone byte, a cut-off sequence, an overlong "/", a surrogate, U+FFFF.
        {"a\xff"
         "b",
            "a" + FFFD + "b", "a" + FFFD + "b", "a" + FFFD + "b", "a" + FFFD + "b"},
        {"x\xE2\x82", "x" + FFFD + FFFD, "x" + FFFD + FFFD, "x" + FFFD + FFFD, "x" + FFFD + FFFD},
        {"\xC0\xAF", FFFD + FFFD, FFFD + FFFD, FFFD + FFFD, FFFD + FFFD},
        {"\xED\xA0\x80", FFFD + FFFD + FFFD, FFFD + FFFD + FFFD, FFFD + FFFD + FFFD, FFFD + FFFD + FFFD},
        {"\xEF\xBF\xBF", FFFD, FFFD, "\xEF\xBF\xBF", "\xEF\xBF\xBF"},
        {"", "", "", "", ""},
    };
    for (const TEscapeCase &c : cases) {
        EXPECT_EQ(XmlEscape(c.Input, false), c.Xml) << c.Input;
        EXPECT_EQ(XmlEscape(c.Input, true), c.Html) << c.Input;
        std::string csv;
        AppendCsvField(csv, c.Input, ",");
        EXPECT_EQ(csv, c.Csv) << c.Input;
        std::string line;
        AppendLineText(line, c.Input);
        EXPECT_EQ(line, c.Line) << c.Input;
    }
}

TEST(TextEscapeTest, CsvCellsNeverStartAFormula)
{
    const std::pair<std::string, std::string> cases[] = {
        {"=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
        {"+1", "\"'+1\""},
        {"-2", "\"'-2\""},
        {"@SUM(A1)", "\"'@SUM(A1)\""},
        {"\tx", "\"'\tx\""},
        {"\rx", "\"'\rx\""},
        {"a=b", "a=b"}, // only the first character counts
        {"/srv/=x", "/srv/=x"},
    };
    for (const auto &[input, expected] : cases) {
        std::string csv;
        AppendCsvField(csv, input, ",");
        EXPECT_EQ(csv, expected) << input;
    }
}

TEST(TextEscapeTest, DecodesOnlyWellFormedSequences)
{
    struct TCase
    {
        std::string Bytes;
        std::size_t Length;
        char32_t CodePoint;
    };
    const TCase cases[] = {
        {"A", 1, U'A'},
        {"\xC3\xA9", 2, 0xE9},
        {"\xE2\x82\xAC", 3, 0x20AC},
        {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF},
        {"\xF4\x90\x80\x80", 0, 0},
        {"\xE0\x80\x80", 0, 0},
        {"\x80", 0, 0},
        {"\xC3", 0, 0},
        {"\xC3(", 0, 0},
    };
    for (const TCase &c : cases) {
        char32_t cp = 0;
        EXPECT_EQ(DecodeUtf8(c.Bytes, cp), c.Length) << c.Bytes;
        if (c.Length) {
            EXPECT_EQ(cp, c.CodePoint);
        }
    }
}

} // namespace
