// Where the memory of a tree goes.
//   bench_node_memory                  the cost of one file node and one directory node, names
//                                      included, the way the scanner builds them
//   bench_node_memory PATH [THREADS]   scans PATH (small files grouped below 1 MiB, as the
//                                      command line does) and breaks the heap down by part
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <malloc.h>

#include "model/NodePool.h"
#include "model/TreeTypes.h"
#include "platform/fake/FakeDirLister.h"
#include "platform/fake/FakeSystem.h"
#include "platform/fake/FakeVolumes.h"
#include "platform/linux/LinuxPlatform.h"
#include "scan/DirScanner.h"

namespace {

std::size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

std::string NameOf(int i, std::size_t length)
{
    std::string name = "entry-" + std::to_string(i);
    name.resize(length, 'x');
    return name;
}

// A line of /proc/self/status in kB, such as VmHWM.
long StatusKb(const char *key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t keyLength = std::strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, keyLength, key) == 0 && line.size() > keyLength && line[keyLength] == ':')
            return std::stol(line.substr(keyLength + 1));
    return -1;
}

void PerNode()
{
    TFakeDirLister lister;
    TFakeVolumes volumes;
    TFakeSystem system;
    TScopedPlatform platform({&lister, &volumes, &system});
    constexpr int dirs = 20000;
    constexpr int filesPerDir = 50;
    constexpr std::size_t nameLength = 14; // a typical name length in /usr
    double perDir = 0;
    for (int pass = 0; pass < 2; ++pass) {
        const bool withFiles = pass == 1;
        auto root = std::make_unique<TRootDirNode>();
        root->SetName("/bench");
        root->ReserveChildren(dirs);
        // Pieces handed out by the pool, not the blocks it took from the heap.
        const std::size_t before = NodePoolUse().InUse;
        for (int d = 0; d < dirs; ++d) {
            TDirNode *dir = root->AddChildDir(NameOf(d, nameLength));
            if (!withFiles)
                continue;
            dir->ReserveChildren(filesPerDir);
            for (int f = 0; f < filesPerDir; ++f) {
                auto file = TFileNode::Create(NameOf(f, nameLength));
                file->SetSize(f);
                dir->AddChildNode(std::move(file));
            }
        }
        const double pooled = static_cast<double>(NodePoolUse().InUse - before);
        if (!withFiles) {
            perDir = pooled / dirs;
        } else {
            const double perFile = (pooled - perDir * dirs) / (static_cast<double>(dirs) * filesPerDir);
            std::printf("file node:      %.1f bytes (name of %zu bytes, its slot in the parent included)\n", perFile,
                nameLength);
        }
    }
    std::printf("directory node: %.1f bytes (name of %zu bytes, child list included)\n", perDir, nameLength);
    std::printf("sizeof: TFileNode %zu, TDirNode %zu, TFileGroupNode %zu, TRootDirNode %zu\n", sizeof(TFileNode),
        sizeof(TDirNode), sizeof(TFileGroupNode), sizeof(TRootDirNode));
}

struct TPart
{
    const char *Name;
    std::size_t Bytes = 0;
};

int Breakdown(const std::string &path, std::int32_t threads)
{
    InstallPlatform(LinuxPlatform());
    const long baseKb = StatusKb("VmRSS");
    const std::size_t heapBefore = HeapInUse();
    std::atomic<bool> done {false};
    std::atomic<std::size_t> peakHeap {0};
    std::thread sampler([&] {
        while (!done.load()) {
            const std::size_t now = HeapInUse();
            if (now > peakHeap.load())
                peakHeap.store(now);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    auto root = std::make_unique<TRootDirNode>();
    root->SetName(path);
    root->SetGroupFileSize(1048576);
    TDirScanOptions options;
    options.GroupFileSize = 1048576;
    options.Threads = threads;
    TDirScanner scanner(root.get());
    scanner.StartScan(path, options);
    done = true;
    sampler.join();
    const std::size_t heapEnd = HeapInUse();
    const long hwmKb = StatusKb("VmHWM");
    const long rssKb = StatusKb("VmRSS");

    std::size_t files = 0, dirs = 0, groups = 0, slots = 0;
    TPart fileHeads {"file nodes without their names"}, fileNames {"file names (with NUL and rounding)"},
        dirNodes {"directory nodes"}, dirNames {"directory names"}, groupNodes {"small-files group nodes"},
        slotBytes {"child slots in use"}, listSpare {"child lists: block headers and spare room"},
        retired {"child lists: old blocks kept for readers"};
    std::vector<const TFileSystemNode *> pending {root.get()};
    while (!pending.empty()) {
        const TFileSystemNode *node = pending.back();
        pending.pop_back();
        if (!node->IsGroup()) {
            const auto *file = static_cast<const TFileNode *>(node);
            ++files;
            fileHeads.Bytes += TFileNode::NameOffset;
            fileNames.Bytes += file->HeapBytes() - TFileNode::NameOffset;
            continue;
        }
        const auto *group = static_cast<const TGroupNode *>(node);
        std::size_t nameBytes = 0, retiredBytes = 0;
        const std::size_t list = group->ListAndNameBytes(nameBytes, retiredBytes);
        const auto count = static_cast<std::size_t>(group->InterlockedChildCount());
        slots += count;
        slotBytes.Bytes += count * sizeof(void *);
        listSpare.Bytes += list - count * sizeof(void *);
        retired.Bytes += retiredBytes;
        if (node->FileType() == fstFileGroup) {
            ++groups;
            groupNodes.Bytes += NodeAllocationSize(sizeof(TFileGroupNode)) + nameBytes;
        } else {
            ++dirs;
            dirNodes.Bytes += NodeAllocationSize(sizeof(TDirNode));
            dirNames.Bytes += nameBytes;
        }
        for (std::size_t i = 0; i < count; ++i)
            pending.push_back(group->GetUnlockedChildNode(static_cast<std::int32_t>(i)));
    }
    const TNodePoolUse pool = NodePoolUse();
    TPart poolSlack {"pool: free pieces and unused block ends"};
    poolSlack.Bytes = pool.Reserved > pool.InUse ? pool.Reserved - pool.InUse : 0;
    const std::size_t entries = files + dirs - 1; // the root is not an entry
    std::printf("%s: %zu files, %zu directories, %zu small-files groups, %zu slots, %d worker(s)\n", path.c_str(),
        files, dirs - 1, groups, slots, threads);
    std::size_t sum = 0;
    for (const TPart *part :
        {&fileHeads, &fileNames, &slotBytes, &dirNodes, &dirNames, &groupNodes, &listSpare, &retired, &poolSlack}) {
        std::printf("  %-44s %8.1f MiB %6.1f B/entry\n", part->Name, static_cast<double>(part->Bytes) / 1048576.0,
            static_cast<double>(part->Bytes) / static_cast<double>(entries));
        sum += part->Bytes;
    }
    const auto perEntry = [entries](double bytes) { return bytes / static_cast<double>(entries); };
    std::printf("  %-44s %8.1f MiB %6.1f B/entry\n", "sum", static_cast<double>(sum) / 1048576.0,
        perEntry(static_cast<double>(sum)));
    const double heapGrowth = static_cast<double>(heapEnd - heapBefore);
    const double heapPeak = static_cast<double>(peakHeap.load() - heapBefore);
    std::printf("heap in use after the scan %.1f MiB (%.1f B/entry), at its peak %.1f MiB (%.1f B/entry)\n",
        heapGrowth / 1048576.0, perEntry(heapGrowth), heapPeak / 1048576.0, perEntry(heapPeak));
    std::printf("RSS before the scan %ld kB, after %ld kB, peak %ld kB (%.1f B/entry)\n", baseKb, rssKb, hwmKb,
        perEntry(static_cast<double>(hwmKb) * 1024.0));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1)
        return Breakdown(argv[1], argc > 2 ? std::stoi(argv[2]) : 1);
    PerNode();
    return 0;
}
