#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "ExportTestTree.h"
#include "export/CsvTextExport.h"
#include "export/ExportRegistry.h"

namespace {

using RegistryTest = ExportTest;

TEST_F(RegistryTest, OffersTheFormatsInRegistrationOrder)
{
    TExportRegistry registry;
    EXPECT_EQ(registry.GetExportFilters(), "");
    RegisterExportClasses(registry);
    EXPECT_EQ(registry.GetExportFilters(),
        "CSV (Comma separated) (*.csv)|*.csv|Text File (Tree Structure) (*.txt)|*.txt|HTML File (*.html)|*.html|"
        "XML File (*.xml)|*.xml|XML File v2.0 (*.xml)|*.xml|ncdu JSON (*.json)|*.json");

    struct TCase
    {
        const char *ClassName;
        const char *Ext;
        TExportFileType Type;
    };
    const TCase expected[] = {
        {"TCsvTextExport", ".csv", xfUndefined},
        {"TTextTreeExport", ".txt", xfVisual},
        {"THtmlTableExport", ".html", xfVisual},
        {"TXmlTreeExport", ".xml", xfUndefined},
        {"TXmlTreeExport2", ".xml", xfUndefined},
        {"TNcduJsonExport", ".json", xfData},
    };
    ASSERT_EQ(registry.Count(), 6);
    for (std::int32_t i = 0; i < registry.Count(); ++i) {
        const TExportClass &c = registry.GetExportClass(i);
        EXPECT_STREQ(c.ClassName(), expected[i].ClassName);
        EXPECT_EQ(registry.GetExtension(i), expected[i].Ext);
        EXPECT_EQ(c.GetFileType(), expected[i].Type);
        EXPECT_EQ(registry.IndexOfClass(expected[i].ClassName), i);
    }
    EXPECT_EQ(registry.IndexOfClass("TNoExport"), -1);
    EXPECT_THROW((void)registry.GetExportClass(6), std::out_of_range);
    EXPECT_THROW((void)registry.GetExportClass(-1), std::out_of_range);
    EXPECT_THROW((void)registry.GetExtension(6), std::out_of_range);
}

TEST_F(RegistryTest, DuplicatesAreKept)
{
    TExportRegistry registry;
    registry.RegisterExportClass(TExportClass::Of<TCsvTextExport>());
    registry.RegisterExportClass(TExportClass::Of<TCsvTextExport>());
    EXPECT_EQ(registry.GetExportFilters(), "CSV (Comma separated) (*.csv)|*.csv|CSV (Comma separated) (*.csv)|*.csv");
    EXPECT_TRUE(registry.GetExportClass(0) == registry.GetExportClass(1));
}

// The save command's rule: only formats for people get the rounded or truncated size text.
TEST_F(RegistryTest, CreateExportSetsTheSizeTextForVisualFormatsOnly)
{
    TExportRegistry registry;
    RegisterExportClasses(registry);
    const auto root = Root("R", 5 * 1024 * 1024 + 1, 1);
    struct TCase
    {
        const char *ClassName;
        TRoundingStyle Rounding;
        const char *Expected;
    };
    const TCase cases[] = {
        {"TTextTreeExport", rsTruncate, "   R   (5.00 MB, 1 File)\r\n"},
        {"TTextTreeExport", rsBankers, "   R   (5 MB, 1 File)\r\n"},
        {"TTextTreeExport", rsNone, "   R   (5242881, 1 File)\r\n"},
        {"TCsvTextExport", rsTruncate, "R,5242881,1\r\n"},
    };
    for (const TCase &c : cases) {
        const auto exporter
            = CreateExport(registry.GetExportClass(registry.IndexOfClass(c.ClassName)), root.get(), c.Rounding);
        EXPECT_EQ(ExportText(*exporter), c.Expected) << c.ClassName << " " << c.Rounding;
    }
    EXPECT_EQ(SizeFormatterFor(rsBankers), &FileSizeToStrRounded);
    EXPECT_EQ(SizeFormatterFor(rsTruncate), &FileSizeToStrTruncated);
    EXPECT_EQ(SizeFormatterFor(rsNone), nullptr);
}

} // namespace
