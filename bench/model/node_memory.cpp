// Measures the heap bytes one file node and one directory node cost, names included, the
// way the scanner builds them (children reserved per directory).
#include <cstdio>
#include <string>
#include <vector>

#include <malloc.h>

#include "model/TreeTypes.h"
#include "platform/fake/FakeDirLister.h"
#include "platform/fake/FakeSystem.h"
#include "platform/fake/FakeVolumes.h"

namespace {

std::size_t HeapInUse()
{
    return mallinfo2().uordblks + mallinfo2().hblkhd;
}

std::string NameOf(int i, std::size_t length)
{
    std::string name = "entry-" + std::to_string(i);
    name.resize(length, 'x');
    return name;
}

} // namespace

int main()
{
    TFakeDirLister lister;
    TFakeVolumes volumes;
    TFakeSystem system;
    TScopedPlatform platform({&lister, &volumes, &system});
    constexpr int dirs = 20000;
    constexpr int filesPerDir = 50;
    constexpr std::size_t nameLength = 14; // a typical name length in /usr

    for (int pass = 0; pass < 2; ++pass) {
        const bool withFiles = pass == 1;
        auto root = std::make_unique<TRootDirNode>();
        root->SetName("/bench");
        root->ReserveChildren(dirs);
        const std::size_t before = HeapInUse();
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
        const double bytes = static_cast<double>(HeapInUse() - before);
        static double perDir = 0;
        if (!withFiles) {
            perDir = bytes / dirs;
            std::printf("directory node: %.1f bytes (name of %zu bytes, child list included)\n", perDir, nameLength);
        } else {
            const double perFile = (bytes - perDir * dirs) / (static_cast<double>(dirs) * filesPerDir);
            std::printf("file node:      %.1f bytes (name of %zu bytes, its slot in the parent included)\n", perFile,
                nameLength);
            std::printf("sizeof: TFileNode %zu, TDirNode %zu, TRootDirNode %zu\n", sizeof(TFileNode), sizeof(TDirNode),
                sizeof(TRootDirNode));
        }
    }
    return 0;
}
