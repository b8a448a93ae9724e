#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "export/TreeTypesExport.h"
#include "model/TreeTypes.h"
#include "platform/fake/FakeDirLister.h"
#include "platform/fake/FakeSystem.h"
#include "platform/fake/FakeVolumes.h"

// Builds finished trees in memory with the sizes and counts chosen by the test.
inline TDirNode *Dir(TGroupNode &parent, std::string_view name, std::int64_t size, std::int32_t files)
{
    TDirNode *dir = parent.AddChildDir(name);
    dir->SetSize(size);
    dir->SetFileCount(files);
    return dir;
}

inline void AddFile(TGroupNode &parent, std::string_view name, std::int64_t size)
{
    auto file = TFileNode::Create(name);
    file->SetSize(size);
    parent.AddChildNode(std::move(file));
}

inline std::unique_ptr<TRootDirNode> Root(std::string_view path, std::int64_t size, std::int32_t files)
{
    auto root = std::make_unique<TRootDirNode>();
    root->SetName(path);
    root->SetSize(size);
    root->SetFileCount(files);
    return root;
}

// R (1234, 56) with A (100, 3) holding C (50, 1), and B (20, 2): the tree of the examples.
// Files sit beside the directories so that the walk has to skip them.
inline std::unique_ptr<TRootDirNode> ExampleTree()
{
    auto root = Root("R", 1234, 56);
    AddFile(*root, "top.bin", 1000);
    TDirNode *a = Dir(*root, "A", 100, 3);
    Dir(*a, "C", 50, 1);
    AddFile(*a, "a.txt", 50);
    Dir(*root, "B", 20, 2);
    AddFile(*root, "last.bin", 14);
    return root;
}

template <class TExport> std::string ExportText(TExport &exporter)
{
    std::ostringstream out;
    exporter.SaveToStream(out);
    return out.str();
}

template <class TExport> std::string ExportText(const TDirNode *root)
{
    TExport exporter(root);
    return ExportText(exporter);
}

// Every export test runs with the fake platform installed.
class ExportTest : public ::testing::Test
{
protected:
    void SetUp() override { FPrevious = InstallPlatform({&FLister, &FVolumes, &FSystem}); }
    void TearDown() override { InstallPlatform(FPrevious); }

    TFakeDirLister FLister;
    TFakeVolumes FVolumes;
    TFakeSystem FSystem;
    TPlatform FPrevious;
};
