#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

#include <gtest/gtest.h>
#include <unistd.h>

#include "model/TreeTypes.h"
#include "platform/linux/LinuxPlatform.h"
#include "scan/QueueDispatcher.h"
#include "scan/ScanThread.h"
#include "support/TempTree.h"

namespace {

std::vector<TDirNode *> Folders(TGroupNode &top)
{
    std::vector<TDirNode *> found;
    std::vector<TGroupNode *> pending {&top};
    while (!pending.empty()) {
        TGroupNode *node = pending.back();
        pending.pop_back();
        for (std::int32_t i = 0; i < node->InterlockedChildCount(); ++i) {
            TFileSystemNode *child = node->GetUnlockedChildNode(i);
            if (child->FileType() == fstDirectory && !child->IsSymLink()) {
                found.push_back(static_cast<TDirNode *>(child));
                pending.push_back(static_cast<TGroupNode *>(child));
            }
        }
    }
    return found;
}

bool Below(const TFileSystemNode *node, const TGroupNode *ancestor)
{
    for (const TGroupNode *up = node->Parent(); up; up = up->Parent())
        if (up == ancestor)
            return true;
    return false;
}

// Every folder's totals are the sums of its children's, however its scan ended.
int InconsistentFolders(TGroupNode &top)
{
    int wrong = 0;
    for (TDirNode *dir : Folders(top)) {
        wrong += dir->Scanning();
        const std::int64_t size = dir->GetSize();
        const std::int32_t files = dir->FileCount();
        dir->RecalcSizeAndFileCount();
        if (dir->GetSize() != size || dir->FileCount() != files || dir->Scanning())
            ADD_FAILURE() << dir->GetFullPathName() << " size " << size << " -> " << dir->GetSize() << " files "
                          << files << " -> " << dir->FileCount() << " flags " << int(dir->Flags()) << " err "
                          << dir->ErrorCode();
        wrong += dir->GetSize() != size || dir->FileCount() != files;
    }
    return wrong;
}

// Starts, stops and rescans folders at random, with several workers per scan, while another
// thread keeps creating, renaming and removing files and folders of the tree on disk.
TEST(ScanStress, StartStopAndRescanWhileTheTreeChanges)
{
    const TPlatform previous = InstallPlatform(LinuxPlatform());
    TempTree tree;
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 6; ++j)
            for (int k = 0; k < 4; ++k)
                tree.MakeFile("d" + std::to_string(i) + "/e" + std::to_string(j) + "/f" + std::to_string(k), k * 10);
    std::atomic<bool> quit {false};
    std::thread mutator([&] {
        std::mt19937 rnd(7);
        while (!quit) {
            const std::string dir = tree / ("d" + std::to_string(rnd() % 8) + "/e" + std::to_string(rnd() % 6));
            const std::string name = dir + "/x" + std::to_string(rnd() % 5);
            switch (rnd() % 4) {
            case 0:
                if (std::FILE *f = std::fopen(name.c_str(), "w"))
                    std::fclose(f);
                break;
            case 1:
                ::unlink(name.c_str());
                break;
            case 2:
                ::mkdir((name + "d").c_str(), 0755);
                break;
            default:
                ::rename((name + "d").c_str(), (dir + "/moved").c_str());
                ::rmdir((dir + "/moved").c_str());
            }
        }
    });
    TQueueDispatcher dispatcher;
    TDirScanThreadList list(9, dispatcher);
    TRootDirNode root;
    root.SetName(tree.Path());
    std::mt19937 rnd(42);
    std::atomic<int> running {0};
    const auto start = [&](TDirNode *node) {
        TDirScanOptions options;
        options.Threads = 1 + static_cast<std::int32_t>(rnd() % 3);
        TDirScanThread *t = list.Add(node, options);
        if (!t)
            return;
        ++running;
        t->SetOnTerminate([&](TDirScanThread &) { --running; });
        t->Start();
    };
    std::vector<TDirNode *> busy;
    for (int round = 0; round < 150; ++round) {
        start(&root);
        std::this_thread::sleep_for(std::chrono::microseconds(rnd() % 3000));
        (void)root.GetSize(), (void)root.FileCount(), (void)list.GetFirstThreadCurrentDir();
        if (rnd() % 2)
            list.StopAll();
        dispatcher.ProcessUntil([&] { return running == 0; });
        // Rescans of unrelated folders side by side, some stopped from above.
        busy.clear();
        std::vector<TDirNode *> folders = Folders(root);
        for (int i = 0; i < 4 && !folders.empty(); ++i) {
            TDirNode *node = folders[rnd() % folders.size()];
            bool related = false;
            for (TDirNode *other : busy)
                related = related || other == node || Below(node, other) || Below(other, node);
            if (related)
                continue;
            busy.push_back(node);
        }
        // Chosen first: a rescan frees the old nodes below its folder.
        for (TDirNode *node : busy) {
            const std::string name(node->Name()); // as the window does: the node is reused in place
            node->Clear();
            node->SetName(name);
            start(node);
        }
        (void)root.GetSize(), (void)list.GetFirstThreadCurrentDir();
        if (rnd() % 3 == 0)
            list.StopAllChildren(&root);
        dispatcher.ProcessUntil([&] { return running == 0; });
        for (TDirNode *node : busy)
            node->Parent()->RecalcSizeAndFileCountUpToRoot(); // as the window does after a rescan
        ASSERT_EQ(InconsistentFolders(root), 0) << "round " << round;
    }
    list.StopAndWaitFor();
    quit = true;
    mutator.join();
    InstallPlatform(previous);
}

} // namespace
