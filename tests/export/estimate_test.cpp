#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "ExportTestTree.h"
#include "export/CsvTextExport.h"
#include "export/ExportEstimate.h"
#include "export/HtmlTableExport.h"
#include "export/NcduJsonExport.h"
#include "export/TextTreeExport.h"
#include "export/XmlTreeExport.h"

namespace {

using EstimateTest = ExportTest;

// A chain of `depth` folders below /data, each with one file beside it.
std::unique_ptr<TRootDirNode> Chain(int depth)
{
    auto root = Root("/data", 0, 0);
    TDirNode *dir = root.get();
    for (int i = 0; i < depth; ++i) {
        AddFile(*dir, "file-" + std::to_string(i), 10);
        dir = Dir(*dir, "folder-" + std::to_string(i), 10, 1);
    }
    return root;
}

template <class TExport> std::size_t ActualBytes(const TDirNode &root)
{
    TExport exporter(&root);
    std::ostringstream out;
    exporter.SaveToStream(out);
    return out.str().size();
}

// The estimate follows what is written within a small factor at every depth, so that the
// limit catches an export that grows with the square of the depth before it is written.
TEST_F(EstimateTest, FollowsTheRealSizeOfEveryFormat)
{
    for (const int depth : {1, 40, 400}) {
        SCOPED_TRACE(depth);
        const auto root = Chain(depth);
        const auto check = [&](std::string_view name, std::size_t actual) {
            const std::uint64_t estimate = EstimateExportBytes(*root, name);
            EXPECT_GE(estimate * 2, actual) << name;
            EXPECT_LE(estimate, actual * 3 + 2048) << name;
        };
        check("TCsvTextExport", ActualBytes<TCsvTextExport>(*root));
        check("TTextTreeExport", ActualBytes<TTextTreeExport>(*root));
        check("THtmlTableExport", ActualBytes<THtmlTableExport>(*root));
        check("TXmlTreeExport", ActualBytes<TXmlTreeExport>(*root));
        check("TXmlTreeExport2", ActualBytes<TXmlTreeExport2>(*root));
        check("TNcduJsonExport", ActualBytes<TNcduJsonExport>(*root));
    }
    // A million-level chain would need terabytes of CSV: far above any limit.
    EXPECT_GT(EstimateExportBytes(*Chain(20000), "TCsvTextExport"), std::uint64_t {2} << 30);
    EXPECT_LE(ExportSizeLimit(""), std::uint64_t {4} << 30);
}

// Past a depth nobody reads, the text tree stops indenting and names the level instead: the
// lines stay short however deep the tree goes.
TEST_F(EstimateTest, TheTextTreeCapsItsIndentation)
{
    const auto root = Chain(200);
    TTextTreeExport exporter(root.get());
    std::ostringstream out;
    exporter.SaveToStream(out);
    std::istringstream lines(out.str());
    std::string line;
    std::size_t longest = 0;
    std::string deepest;
    while (std::getline(lines, line)) {
        longest = std::max(longest, line.size());
        deepest = line;
    }
    EXPECT_LT(longest, 4 * MaxIndentedLevels + 80);
    EXPECT_NE(deepest.find(" [level 200]   `-- folder-199   ("), std::string::npos) << deepest;
    EXPECT_NE(out.str().find("`-- folder-62   ("), std::string::npos);
    EXPECT_EQ(out.str().find("[level 64]"), std::string::npos) << "level 64 is still drawn";
    EXPECT_NE(out.str().find("[level 65]"), std::string::npos);
}

} // namespace
