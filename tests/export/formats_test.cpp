#include <string>

#include <gtest/gtest.h>

#include "ExportTestTree.h"
#include "export/CsvTextExport.h"
#include "export/HtmlTableExport.h"
#include "export/TextTreeExport.h"
#include "export/XmlTreeExport.h"
#include "common/SizeText.h"

namespace {

using FormatsTest = ExportTest;

const std::string XmlHeader = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- " + GeneratedByText() + " ("
    + HomepageUrl() + ") -->\r\n<Zumbrel>";

std::string FixedSize(std::int64_t size)
{
    return "<" + std::to_string(size) + ">";
}

TEST_F(FormatsTest, CsvWritesOneLinePerDirectory)
{
    const auto root = ExampleTree();
    EXPECT_EQ(ExportText<TCsvTextExport>(root.get()), "R,1234,56\r\nR/A,100,3\r\nR/A/C,50,1\r\nR/B,20,2\r\n");

    const auto lonely = Root("/data", 0, 0);
    EXPECT_EQ(ExportText<TCsvTextExport>(lonely.get()), "/data,0,0\r\n");
}

TEST_F(FormatsTest, CsvQuotesOnlyFieldsThatNeedIt)
{
    auto root = Root("/d", 7, 1);
    Dir(*root, "a,b", 1, 1);
    Dir(*root, "say \"hi\"", 2, 0);
    Dir(*root, "two\nlines", 3, 0);
    Dir(*root, "it's; fine", 4, 0);
    EXPECT_EQ(ExportText<TCsvTextExport>(root.get()),
        "/d,7,1\r\n\"/d/a,b\",1,1\r\n\"/d/say \"\"hi\"\"\",2,0\r\n\"/d/two\nlines\",3,0\r\n/d/it's; fine,4,0\r\n");

    TCsvTextExport semicolon(root.get());
    semicolon.SetCsvSeparator(";");
    EXPECT_EQ(ExportText(semicolon),
        "/d;7;1\r\n/d/a,b;1;1\r\n\"/d/say \"\"hi\"\"\";2;0\r\n\"/d/two\nlines\";3;0\r\n\"/d/it's; fine\";4;0\r\n");
    EXPECT_THROW(semicolon.SetCsvSeparator("\""), std::invalid_argument);
    EXPECT_THROW(semicolon.SetCsvSeparator(",;"), std::invalid_argument);
    EXPECT_NO_THROW(semicolon.SetCsvSeparator("\xC2\xA7")); // one non-ASCII character
}

TEST_F(FormatsTest, TextTreeDrawsBranchesFromDirectorySiblings)
{
    const auto root = ExampleTree();
    EXPECT_EQ(ExportText<TTextTreeExport>(root.get()),
        "   R   (1234, 56 Files)\r\n"
        "       |-- A   (100, 3 Files)\r\n"
        "       |   `-- C   (50, 1 File)\r\n"
        "       `-- B   (20, 2 Files)\r\n");
}

TEST_F(FormatsTest, TextTreeIndentsDeeperLevelsAndKeepsNamesOnTheirLine)
{
    auto root = Root("/r", 0, 0);
    TDirNode *a = Dir(*root, "a", 0, 0);
    TDirNode *b = Dir(*a, "b", 0, 0);
    Dir(*b, "c", 0, 0);
    Dir(*a, "d\nnext\tline\x1b", 0, 0);
    Dir(*root, "e\xC2\x85", 0, 0); // NEL, a line break to Unicode-aware readers
    EXPECT_EQ(ExportText<TTextTreeExport>(root.get()),
        "   /r   (0, 0 Files)\r\n"
        "       |-- a   (0, 0 Files)\r\n"
        "       |   |-- b   (0, 0 Files)\r\n"
        "       |   |   `-- c   (0, 0 Files)\r\n"
        "       |   `-- d\xEF\xBF\xBDnext\xEF\xBF\xBDline\xEF\xBF\xBD   (0, 0 Files)\r\n"
        "       `-- e\xEF\xBF\xBD   (0, 0 Files)\r\n");
}

TEST_F(FormatsTest, TextTreeUsesTheSizeFormatter)
{
    auto root = Root("R", 2048, 1);
    TTextTreeExport exporter(root.get());
    exporter.SetFormatFileSizeProc(&FileSizeToStrTruncated);
    EXPECT_EQ(ExportText(exporter), "   R   (2 KB, 1 File)\r\n");
    exporter.SetFormatFileSizeProc(&FixedSize);
    EXPECT_EQ(ExportText(exporter), "   R   (<2048>, 1 File)\r\n");
}

TEST_F(FormatsTest, XmlWritesAnElementPerValue)
{
    const auto root = ExampleTree();
    EXPECT_EQ(ExportText<TXmlTreeExport>(root.get()),
        XmlHeader
            + "<dir><name>R</name><size>1234</size><count>56</count><subdirs>"
              "<dir><name>A</name><size>100</size><count>3</count><subdirs>"
              "<dir><name>C</name><size>50</size><count>1</count></dir></subdirs></dir>"
              "<dir><name>B</name><size>20</size><count>2</count></dir></subdirs></dir></Zumbrel>");

    const auto lonely = Root("R", 1234, 56);
    EXPECT_EQ(ExportText<TXmlTreeExport>(lonely.get()),
        XmlHeader + "<dir><name>R</name><size>1234</size><count>56</count></dir></Zumbrel>");
}

TEST_F(FormatsTest, Xml2WritesAttributes)
{
    const auto root = ExampleTree();
    EXPECT_EQ(ExportText<TXmlTreeExport2>(root.get()),
        XmlHeader
            + "<dir name=\"R\" size=\"1234\" filecount=\"56\"><dir name=\"A\" size=\"100\" filecount=\"3\">"
              "<dir name=\"C\" size=\"50\" filecount=\"1\"></dir></dir>"
              "<dir name=\"B\" size=\"20\" filecount=\"2\"></dir></dir></Zumbrel>");
}

TEST_F(FormatsTest, PrettyXmlIndentsFourBlanksPerLevel)
{
    auto root = Root("R", 1234, 56);
    Dir(*root, "A", 100, 3);
    TXmlTreeExport xml(root.get());
    xml.SetPrettyXml(true);
    EXPECT_EQ(ExportText(xml),
        XmlHeader
            + "\r\n<dir>\r\n    <name>R</name>\r\n    <size>1234</size>\r\n    <count>56</count>\r\n"
              "    <subdirs>\r\n        <dir>\r\n            <name>A</name>\r\n"
              "            <size>100</size>\r\n            <count>3</count>\r\n"
              "        </dir>\r\n    </subdirs>\r\n</dir>\r\n</Zumbrel>\r\n");

    TXmlTreeExport2 xml2(root.get());
    xml2.SetPrettyXml(true);
    EXPECT_EQ(ExportText(xml2),
        XmlHeader
            + "\r\n    <dir name=\"R\" size=\"1234\" filecount=\"56\">\r\n"
              "            <dir name=\"A\" size=\"100\" filecount=\"3\">\r\n"
              "            </dir>\r\n    </dir>\r\n</Zumbrel>\r\n");
}

TEST_F(FormatsTest, XmlEscapesNamesInBothDialects)
{
    auto root = Root("R", 0, 0);
    Dir(*root, "a&b<c>\"d\" 'e'\tf\x01", 0, 0);
    const std::string escaped = "a&amp;b&lt;c&gt;&quot;d&quot; &apos;e&apos;&#9;f\xEF\xBF\xBD";
    EXPECT_NE(ExportText<TXmlTreeExport>(root.get()).find("<name>" + escaped + "</name>"), std::string::npos);
    EXPECT_NE(ExportText<TXmlTreeExport2>(root.get()).find("<dir name=\"" + escaped + "\""), std::string::npos);
}

class HtmlTest : public ExportTest
{
protected:
    void TearDown() override
    {
        SetExportColorResolver({});
        ExportTest::TearDown();
    }

    static std::string Header(const std::string &title, const std::string &caption, const std::string &border,
        const std::string &activeCaption)
    {
        const std::string link = GeneratedByText() + " <a href=\"" + HomepageUrl() + "\" title=\"Zumbrel Website\">"
            + HomepageUrl() + "</a>";
        return "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"\r\n"
               "\t\"http://www.w3.org/TR/html4/loose.dtd\">\r\n"
               "<!-- "
            + GeneratedByText()
            + " -->\r\n"
              "<html>\r\n"
              "<head>\r\n"
              "\t<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">\r\n"
              "\t<title>Zumbrel - "
            + title
            + "</title>\r\n"
              "\t<style type=\"text/css\">\r\n"
              "<!--\r\n"
              "body { font-family:Arial,sans-serif; }\r\n"
              "h1 { font-size:1.2em; }\r\n"
              "th { color: "
            + caption
            + "; }\r\n"
              "td { font-size:0.7em; font-family:Tahoma,Arial,sans-serif; }\r\n"
              "table.gauge { empty-cells:show; }\r\n"
              "td.gauge { color: #000000; border: 1px solid #0376E0; background-color: #3492FE; }\r\n"
              "-->\r\n"
              "\t</style>\r\n"
              "</head>\r\n"
              "<body>\r\n"
              "<code>"
            + link
            + "</code>\r\n"
              "<h1>"
            + title
            + "</h1>\r\n"
              "<table cellpadding=\"3\" cellspacing=\"1\" bgcolor=\""
            + border
            + "\">\r\n"
              "<tr bgcolor=\""
            + activeCaption + "\"><th>Folder</th><th>Size</th><th>Percent</th><th>Files</th></tr>\r\n";
    }

    static std::string Footer()
    {
        return "</table>\r\n<code>" + GeneratedByText() + " <a href=\"" + HomepageUrl()
            + "\" title=\"Zumbrel Website\">" + HomepageUrl() + "</a></code>\r\n</body></html>\r\n";
    }

    static std::string Row(const std::string &colour, const std::string &path, const std::string &size,
        const std::string &gauge, const std::string &percent, const std::string &files)
    {
        return "<tr bgcolor=\"" + colour + "\"><td>" + path + "</td><td align=\"right\">" + size
            + "</td><td><table class=\"gauge\" cellpadding=\"0\" cellspacing=\"0\"><tr><td class=\"gauge\" width=\""
            + gauge + "\"></td><td>&nbsp;" + percent + "%</td></tr></table></td><td align=\"right\">" + files
            + "</td></tr>\r\n";
    }
};

TEST_F(HtmlTest, WritesATableRowPerDirectory)
{
    // System colours come from the installed resolver: caption text, active border, caption.
    SetExportColorResolver([](std::uint32_t c) -> std::uint32_t {
        switch (c & 0xFF) {
        case 9:
            return 0x332211;
        case 10:
            return 0x665544;
        case 2:
            return 0x998877;
        default:
            return 0;
        }
    });
    const auto root = ExampleTree();
    EXPECT_EQ(ExportText<THtmlTableExport>(root.get()),
        Header("R", "#112233", "#445566", "#778899") + Row("#FFFFFF", "R", "1234", "100", "100", "56")
            + Row("#F0F0F0", "R/A", "100", "8", "8.1", "3") + Row("#FFFFFF", "R/A/C", "50", "4", "4.1", "1")
            + Row("#F0F0F0", "R/B", "20", "2", "1.6", "2") + Footer());
}

TEST_F(HtmlTest, EscapesTheRootPathEverywhereAndZeroSizesGiveZeroPercent)
{
    auto root = Root("/t/<img src=x onerror=alert(1)>", 0, 0);
    Dir(*root, "it's & <b>", 0, 0);
    const std::string rootPath = "/t/&lt;img src=x onerror=alert(1)&gt;";
    EXPECT_EQ(ExportText<THtmlTableExport>(root.get()),
        Header(rootPath, "#000000", "#B4B4B4", "#99B4D1") + Row("#FFFFFF", rootPath, "0", "0", "0", "0")
            + Row("#F0F0F0", rootPath + "/it&#39;s &amp; &lt;b&gt;", "0", "0", "0", "0") + Footer());
}

TEST_F(HtmlTest, FormattedSizesAndTheSizeFormatter)
{
    auto root = Root("R", 3 * 1024 * 1024 + 512 * 1024, 2);
    THtmlTableExport exporter(root.get());
    exporter.SetFormatFileSizeProc(&FileSizeToStrRounded);
    EXPECT_NE(ExportText(exporter).find("<td align=\"right\">3.5 MB</td>"), std::string::npos);
}

TEST(HtmlShareTest, RoundsHalvesToEvenWithTheLocaleSeparator)
{
    struct TCase
    {
        std::int64_t Size, RootSize, Gauge;
        const char *Percent;
    };
    const TCase cases[] = {
        {1234, 1234, 100, "100"},
        {0, 1234, 0, "0"},
        {5, 0, 0, "0"},
        {5, -3, 0, "0"},
        {1, 8, 12, "12.5"},
        {5, 8, 62, "62.5"},
        {1, 16, 6, "6.2"},
        {3, 16, 19, "18.8"},
        {1, 3, 33, "33.3"},
        {2, 3, 67, "66.7"},
        {1, 1000000, 0, "0"},
        {999999, 1000000, 100, "100"},
    };
    for (const TCase &c : cases) {
        const THtmlShare share = HtmlShare(c.Size, c.RootSize);
        EXPECT_EQ(share.Gauge, c.Gauge) << c.Size << "/" << c.RootSize;
        EXPECT_EQ(share.Percent, c.Percent) << c.Size << "/" << c.RootSize;
    }
    SetDecimalSeparator(",");
    EXPECT_EQ(HtmlShare(425, 1000).Percent, "42,5");
    SetDecimalSeparator(".");
}

TEST(ExportHelpersTest, VersionAndColourTexts)
{
    EXPECT_EQ(VersionTextOf("3.1.0.7"), "Version 3.1");
    EXPECT_EQ(VersionTextOf("3.1.2"), "Version 3.1.2");
    EXPECT_EQ(VersionTextOf("0.1.0"), "Version 0.1");
    EXPECT_EQ(VersionTextOf(""), "");
    EXPECT_EQ(VersionTextOf("beta"), "");
    EXPECT_EQ(GeneratedByText(), "generated by Zumbrel " + VersionText());
    EXPECT_EQ(ColorToHtml(0xE07603), "#0376E0");
    EXPECT_EQ(ColorToHtml(0xF0F0F0), "#F0F0F0");
    EXPECT_EQ(ColorToHtml(0xFF000002), "#99B4D1"); // the classic scheme without a window
}

} // namespace
