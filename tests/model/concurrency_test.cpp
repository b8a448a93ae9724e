#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

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
    // Set before the writer starts too: a writer that ends before the reader's first round
    // must still find the flag standing.
    dir->SetExpanded(true);
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

// Sorting by size while scan threads fill the folders: the live totals change between two
// comparisons (and read 0 while a writer holds a folder's lock). The sort takes each size once,
// so it neither reads outside the list nor loses or duplicates a child.
TEST(ModelConcurrency, SortBySizeWhileSizesGrow)
{
    constexpr int folders = 64;
    TRootDirNode root;
    root.SetName("/r");
    root.SetScanning(true);
    std::vector<TDirNode *> dirs;
    for (int i = 0; i < folders; ++i) {
        TDirNode *dir = root.AddChildDir("d" + std::to_string(i));
        dir->SetScanning(true);
        dirs.push_back(dir);
    }
    std::atomic<bool> done {false};
    std::atomic<int> spins {0};
    std::thread writer([&] {
        for (int round = 0; round < 400; ++round) {
            for (int i = 0; i < folders; ++i) {
                TDirNode *dir = dirs[static_cast<std::size_t>((i * 7 + round) % folders)];
                auto file = TFileNode::Create("f" + std::to_string(round));
                file->SetSize(1000000 + (round * 31 + i * 17) % 1000);
                std::scoped_lock guard(dir->ChildLock());
                dir->AddChildNode(std::move(file));
                dir->SetEmpty(false);
                // Holding the lock a while makes the sort meet it: the folder then reads 0.
                for (int spin = 0; spin < 200; ++spin)
                    spins.fetch_add(1, std::memory_order_relaxed);
            }
        }
        done = true;
    });
    int sorts = 0;
    while (!done || sorts < 20) {
        root.Sort(tsFileSize, (sorts % 2) != 0 ? sdAscending : sdDescending);
        ++sorts;
        std::set<const TFileSystemNode *> seen;
        {
            std::scoped_lock guard(root.ChildLock());
            ASSERT_EQ(root.InterlockedChildCount(), folders);
            for (std::int32_t i = 0; i < folders; ++i)
                seen.insert(root.GetUnlockedChildNode(i));
        }
        ASSERT_EQ(seen.size(), static_cast<std::size_t>(folders));
        for (TDirNode *dir : dirs)
            ASSERT_TRUE(seen.count(dir));
    }
    writer.join();
    // The folders still count live, but nothing changes them any more.
    root.Sort(tsFileSize, sdDescending);
    for (std::int32_t i = 1; i < folders; ++i)
        EXPECT_GE(root.GetUnlockedChildNode(i - 1)->GetSize(), root.GetUnlockedChildNode(i)->GetSize());
}
