// The formats meant for people list folders in the window's order (biggest first unless told
// otherwise); the data formats keep the order the folders were read in.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ExportTestTree.h"
#include "export/CsvTextExport.h"
#include "export/ExportRegistry.h"
#include "export/HtmlTableExport.h"
#include "export/NcduJsonExport.h"
#include "export/TextTreeExport.h"
#include "export/XmlTreeExport.h"

namespace {

using OrderTest = ExportTest;

// /usr as read from disk: "etc" first although it is the smallest; "bin" and "Apps" tie.
std::unique_ptr<TRootDirNode> ReadOrderTree()
{
    auto root = Root("/usr", 6000, 40);
    Dir(*root, "etc", 42, 2);
    TDirNode *lib = Dir(*root, "lib", 5000, 30);
    Dir(*lib, "small", 10, 1);
    Dir(*lib, "big", 4000, 20);
    Dir(*root, "bin", 300, 4);
    Dir(*root, "Apps", 300, 4);
    AddFile(*root, "a-file", 358);
    return root;
}

std::string Export(const TExportClass &cls, const TDirNode *root, TExportOrder order)
{
    const auto exporter = CreateExport(cls, root, rsNone, order);
    return ExportText(*exporter);
}

TEST_F(OrderTest, TextTreeFollowsTheOrderItIsGiven)
{
    const auto root = ReadOrderTree();
    const TExportClass text = TExportClass::Of<TTextTreeExport>();
    EXPECT_EQ(Export(text, root.get(), TExportOrder::BiggestFirst()),
        "   /usr   (6000, 40 Files)\r\n"
        "       |-- lib   (5000, 30 Files)\r\n"
        "       |   |-- big   (4000, 20 Files)\r\n"
        "       |   `-- small   (10, 1 File)\r\n"
        "       |-- bin   (300, 4 Files)\r\n" // ties keep the order they were read in
        "       |-- Apps   (300, 4 Files)\r\n"
        "       `-- etc   (42, 2 Files)\r\n");
    const std::string byName = Export(text, root.get(), {TExportOrder::Name, false});
    EXPECT_LT(byName.find("Apps"), byName.find("bin"));
    EXPECT_LT(byName.find("bin"), byName.find("etc"));
    EXPECT_LT(byName.find("etc"), byName.find("lib"));
    EXPECT_LT(byName.find("big"), byName.find("small"));
    EXPECT_NE(byName.find("`-- lib"), std::string::npos);
    const std::string stored = Export(text, root.get(), {TExportOrder::Stored, false});
    EXPECT_EQ(stored.find("|-- etc"), stored.find("etc") - 4);
    EXPECT_LT(stored.find("etc"), stored.find("lib"));
    EXPECT_NE(stored.find("`-- Apps"), std::string::npos);
    const std::string byFiles = Export(text, root.get(), {TExportOrder::Files, false});
    EXPECT_LT(byFiles.find("etc"), byFiles.find("bin"));
    EXPECT_LT(byFiles.find("Apps"), byFiles.find("lib"));
}

TEST_F(OrderTest, HtmlIsBiggestFirstByDefaultAndDataFormatsKeepTheirOrder)
{
    const auto root = ReadOrderTree();
    const auto html = CreateExport(TExportClass::Of<THtmlTableExport>(), root.get(), rsNone);
    const std::string page = ExportText(*html);
    ASSERT_NE(page.find("/usr/etc<"), std::string::npos);
    EXPECT_LT(page.find("/usr/lib<"), page.find("/usr/bin<"));
    EXPECT_LT(page.find("/usr/Apps<"), page.find("/usr/etc<"));
    // Written for programs: the order of the disk, whatever the window shows.
    const std::vector<std::string> stored {"etc", "lib", "small", "big", "bin", "Apps"};
    for (const TExportClass &cls :
        {TExportClass::Of<TCsvTextExport>(), TExportClass::Of<TXmlTreeExport>(), TExportClass::Of<TNcduJsonExport>()}) {
        const std::string data = Export(cls, root.get(), TExportOrder::BiggestFirst());
        std::vector<std::size_t> at;
        for (const std::string &name : stored)
            at.push_back(data.find(name, at.empty() ? 0 : at.back()));
        for (std::size_t i = 0; i < at.size(); ++i)
            EXPECT_NE(at[i], std::string::npos) << cls.ClassName() << ": " << stored[i] << " out of order";
    }
}

} // namespace
