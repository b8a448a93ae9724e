#include <atomic>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "ExportTestTree.h"
#include "export/CsvTextExport.h"
#include "export/TextTreeExport.h"

namespace {

using ExportConcurrencyTest = ExportTest;

std::size_t CountLines(const std::string &text)
{
    std::size_t lines = 0;
    for (std::size_t pos = text.find("\r\n"); pos != std::string::npos; pos = text.find("\r\n", pos + 2))
        ++lines;
    return lines;
}

// Exports run on the window's thread while scan threads still append directories.
TEST_F(ExportConcurrencyTest, ExportsWhileAScanAddsDirectories)
{
    auto root = Root("/live", 0, 0);
    root->SetScanning(true);
    std::atomic<bool> done {false};
    std::atomic<int> added {0};
    std::thread scanner([&] {
        for (int i = 0; i < 300; ++i) {
            TDirNode *dir = root->AddChildDir("d" + std::to_string(i));
            for (int k = 0; k < 5; ++k) {
                TDirNode *sub = dir->AddChildDir("s" + std::to_string(k));
                auto file = TFileNode::Create("f");
                file->SetSize(10);
                sub->AddChildNode(std::move(file));
                sub->IncSize(10);
                sub->IncFileCount(1);
            }
            added.fetch_add(6, std::memory_order_release);
        }
        done = true;
    });
    std::size_t previous = 0;
    while (!done.load()) {
        const int before = added.load(std::memory_order_acquire);
        TCsvTextExport csv(root.get());
        const std::size_t lines = CountLines(ExportText(csv));
        // Everything published before the export started is in it; nothing is lost later.
        EXPECT_GE(lines, static_cast<std::size_t>(before) + 1);
        EXPECT_GE(lines, previous);
        previous = lines;
        TTextTreeExport tree(root.get());
        (void)ExportText(tree);
    }
    scanner.join();
    root->SetScanning(false);
    TCsvTextExport csv(root.get());
    EXPECT_EQ(CountLines(ExportText(csv)), 1u + 300u * 6u);
}

} // namespace
