#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "model/TreeTypes.h"

// One thread builds while another reads exactly as the user interface does: counts under
// the lock, children by index without it, live sums with try-locks, flags beside the
// writer's flags.
TEST(ModelConcurrency, ReadersSeeWholeValuesWhileAWriterAppends)
{
    constexpr int files = 20000;
    TRootDirNode root;
    root.SetName("/r");
    root.SetScanning(true);
    TDirNode *dir = root.AddChildDir("d");
    dir->SetScanning(true);
    std::atomic<bool> done {false};

    std::thread writer([&] {
        for (int i = 0; i < files; ++i) {
            auto f = TFileNode::Create("f" + std::to_string(i));
            f->SetSize(3);
            dir->AddChildNode(std::move(f));
            dir->IncSize(3);
            dir->IncFileCount(1);
            if (i % 1000 == 0)
                dir->SetEmpty(false);
        }
        dir->SetScanning(false);
        root.IncSize(dir->GetSize());
        root.IncFileCount(dir->FileCount());
        root.SetScanning(false);
        done = true;
    });

    std::int64_t lastSize = 0;
    bool expandedStayed = true;
    while (!done) {
        dir->SetExpanded(true);
        const std::int32_t count = dir->InterlockedChildCount();
        for (std::int32_t i = 0; i < count; i += 97)
            EXPECT_EQ(dir->GetUnlockedChildNode(i)->GetSize(), 3);
        const std::int64_t size = root.GetSize();
        EXPECT_EQ(size % 3, 0);
        EXPECT_GE(size, 0);
        lastSize = size;
        expandedStayed = expandedStayed && dir->IsExpanded();
        (void)dir->FileCount();
    }
    writer.join();
    EXPECT_TRUE(expandedStayed);
    EXPECT_GE(lastSize, 0);
    EXPECT_EQ(root.GetSize(), 3 * files);
    EXPECT_EQ(root.FileCount(), files);
    EXPECT_EQ(dir->InterlockedChildCount(), files);
    EXPECT_TRUE(dir->IsExpanded());
}
