#include "platform/fake/FakeDirLister.h"

#include <cerrno>
#include <functional>
#include <vector>

struct TFakeDirLister::TNode
{
    std::string Name;
    bool IsDir = false;
    std::uint16_t Attributes = 0;
    std::int64_t Size = 0;
    double Timestamp = 0;
    int OpenError = 0;
    int ListError = 0;
    std::string Path;
    std::vector<std::unique_ptr<TNode>> Children;

    TNode *Child(std::string_view name)
    {
        for (auto &c : Children)
            if (c->Name == name)
                return c.get();
        return nullptr;
    }
};

namespace {

std::vector<std::string> Split(const std::string &path)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '/') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

class TFakeDirHandle final : public IDirHandle
{
public:
    TFakeDirHandle(TFakeDirLister::TNode *node, TFakeDirLister *owner)
        : FNode(node)
        , FOwner(owner)
    { }

    int ReadAll(TDirListing &out, const std::atomic<bool> &stop) override
    {
        out.Clear();
        if (FOwner->OnList)
            FOwner->OnList(FNode->Path);
        for (auto &c : FNode->Children) {
            if (stop.load())
                return 0;
            std::uint16_t attributes = c->Attributes;
            if (c->IsDir)
                attributes |= FileAttr::Directory;
            if (!c->Name.empty() && c->Name[0] == '.')
                attributes |= FileAttr::Hidden;
            out.Add(c->Name, attributes, c->IsDir ? 0 : c->Size, c->Timestamp);
        }
        return FNode->ListError;
    }

    std::unique_ptr<IDirHandle> OpenChild(std::string_view name, int &err, bool = false) override
    {
        TFakeDirLister::TNode *child = FNode->Child(name);
        if (FOwner->OnOpen)
            FOwner->OnOpen(child ? child->Path : FNode->Path + "/" + std::string(name));
        if (!child || !child->IsDir) {
            err = child ? ENOTDIR : ENOENT;
            return nullptr;
        }
        if (child->OpenError) {
            err = child->OpenError;
            return nullptr;
        }
        err = 0;
        return std::make_unique<TFakeDirHandle>(child, FOwner);
    }

    void Park() override { FParked = true; }
    int Unpark(IDirHandle &) override
    {
        FParked = false;
        return 0;
    }
    int Reopen(IDirHandle *parent, const std::string &name) override
    {
        if (!FParked)
            return 0;
        int err = 0;
        auto again = parent ? parent->OpenChild(name, err) : FOwner->Open(name, err);
        if (!again)
            return err;
        if (static_cast<TFakeDirHandle &>(*again).FNode != FNode)
            return ESTALE;
        FParked = false;
        return 0;
    }

private:
    TFakeDirLister::TNode *FNode;
    TFakeDirLister *FOwner;
    bool FParked = false;
};

} // namespace

TFakeDirLister::TFakeDirLister()
    : FRoot(std::make_unique<TNode>())
{
    FRoot->IsDir = true;
    FRoot->Path = "/";
}

TFakeDirLister::~TFakeDirLister() = default;

TFakeDirLister::TNode *TFakeDirLister::Find(const std::string &path)
{
    TNode *node = FRoot.get();
    for (const auto &part : Split(path)) {
        node = node->Child(part);
        if (!node)
            return nullptr;
    }
    return node;
}

TFakeDirLister::TNode *TFakeDirLister::Ensure(const std::string &path)
{
    TNode *node = FRoot.get();
    std::string sofar;
    for (const auto &part : Split(path)) {
        sofar += "/" + part;
        TNode *child = node->Child(part);
        if (!child) {
            auto made = std::make_unique<TNode>();
            made->Name = part;
            made->IsDir = true;
            made->Path = sofar;
            child = made.get();
            node->Children.push_back(std::move(made));
        }
        node = child;
    }
    return node;
}

void TFakeDirLister::AddDir(const std::string &path, double timestamp, std::uint16_t extraAttributes)
{
    TNode *node = Ensure(path);
    node->Timestamp = timestamp;
    node->Attributes = extraAttributes;
}

void TFakeDirLister::AddFile(const std::string &path, std::int64_t size, double timestamp, std::uint16_t attributes)
{
    const auto slash = path.rfind('/');
    TNode *dir = Ensure(path.substr(0, slash));
    auto file = std::make_unique<TNode>();
    file->Name = path.substr(slash + 1);
    file->Size = size;
    file->Timestamp = timestamp;
    file->Attributes = attributes;
    file->Path = path;
    dir->Children.push_back(std::move(file));
}

void TFakeDirLister::SetOpenError(const std::string &path, int err)
{
    Ensure(path)->OpenError = err;
}

void TFakeDirLister::SetListError(const std::string &path, int err)
{
    Ensure(path)->ListError = err;
}

std::unique_ptr<IDirHandle> TFakeDirLister::Open(const std::string &path, int &err)
{
    if (OnOpen)
        OnOpen(path);
    TNode *node = Find(path);
    if (!node || !node->IsDir) {
        err = node ? ENOTDIR : ENOENT;
        return nullptr;
    }
    if (node->OpenError) {
        err = node->OpenError;
        return nullptr;
    }
    err = 0;
    return std::make_unique<TFakeDirHandle>(node, this);
}
