#include "model/TreeTypes.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <unordered_map>
#include <vector>

#include "common/Drives.h"
#include "common/FormatText.h"
#include "common/ThreadPriority.h"
#include "common/Translate.h"
#include "log/Logger.h"
#include "model/NodePool.h"
#include "model/Paths.h"
#include "platform/Platform.h"

namespace {

std::int32_t CheckedAdd32(std::int32_t a, std::int32_t b)
{
    std::int32_t r;
    if (__builtin_add_overflow(a, b, &r))
        throw std::overflow_error("file count overflow");
    return r;
}

// Sizes stop at the ends of their range: a sum of sparse files beyond 2^63 bytes must not
// end a scan or tear a tree apart.
std::int64_t SaturatingAdd64(std::int64_t a, std::int64_t b, bool *saturated = nullptr)
{
    std::int64_t r;
    if (!__builtin_add_overflow(a, b, &r))
        return r;
    if (saturated)
        *saturated = true;
    return b > 0 ? INT64_MAX : INT64_MIN;
}

// Adds with an overflow check; retries when another thread changed the value meanwhile.
template <class T, class Add> void AtomicCheckedAdd(std::atomic<T> &target, T value, Add add)
{
    T current = target.load(std::memory_order_relaxed);
    while (!target.compare_exchange_weak(current, add(current, value), std::memory_order_relaxed))
        ;
}

// RAII for the children lock when a list is needed, not only the lock.
class TChildLock
{
public:
    explicit TChildLock(const TGroupNode &node)
        : FNode(node)
        , FChildren(node.LockChildren())
    { }
    ~TChildLock() { FNode.UnlockChildren(); }
    TChildLock(const TChildLock &) = delete;
    TChildLock &operator=(const TChildLock &) = delete;
    TMemNodeList &Children() const { return FChildren; }

private:
    const TGroupNode &FNode;
    TMemNodeList &FChildren;
};

} // namespace

// ---- TFileSystemNode ----

void TFileSystemNode::SetFullPathName(std::string_view value)
{
    SetName(LastPathComponent(ExcludeTrailingPathDelimiter(value)));
}

void TFileSystemNode::Clear()
{
    SetName({});
    FSize.store(0, std::memory_order_relaxed);
    SetAttributes(0);
    SetErrorCode(0);
    SetImageIndex(-1);
}

std::unique_ptr<TFileSystemNode> TFileSystemNode::Clone() const
{
    throw std::logic_error(std::string("Clone is not offered for ") + ClassName());
}

bool TFileSystemNode::IncSize(std::int64_t value)
{
    bool saturated = false;
    std::int64_t current = FSize.load(std::memory_order_relaxed);
    while (
        !FSize.compare_exchange_weak(current, SaturatingAdd64(current, value, &saturated), std::memory_order_relaxed))
        saturated = false;
    return saturated;
}

void TFileSystemNode::SetParent(TGroupNode *parent)
{
    const auto address = reinterpret_cast<std::uintptr_t>(parent);
    if ((address & ~ParentBits) != 0)
        throw std::logic_error("node address outside the 48-bit range");
    SetLinkBits(ParentBits, address, 0);
}

void TFileSystemNode::SetLinkBits(std::uint64_t mask, std::uint64_t value, unsigned shift)
{
    const std::uint64_t bits = (value << shift) & mask;
    std::uint64_t current = FLink.load(std::memory_order_relaxed);
    while (!FLink.compare_exchange_weak(current, (current & ~mask) | bits, std::memory_order_relaxed))
        ;
}

void TFileSystemNode::Delete()
{
    TGroupNode *parent = Parent();
    if (!parent)
        return;
    parent->RemoveChildNode(this);
    parent->RecalcSizeAndFileCountUpToRoot();
}

std::string TFileSystemNode::GetFullPathName() const
{
    // Collect the names first and join once: deep trees would make prepending quadratic.
    std::vector<std::string_view> parts {Name()};
    for (const TFileSystemNode *node = this; node->Parent() && node->Parent()->FileType() != fstComputer;
         node = node->Parent()) {
        if (node->Parent()->FileType() != fstFileGroup)
            parts.push_back(node->Parent()->Name());
    }
    std::size_t length = 0;
    for (const std::string_view part : parts)
        length += part.size() + 1;
    std::string path;
    path.reserve(length);
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
        // Joined in place, as JoinPath would: never "//", and "/" stays "/".
        if (it != parts.rbegin() && (path.empty() || path.back() != PathDelim))
            path += PathDelim;
        path.append(*it);
    }
    return path;
}

TRootNode *TFileSystemNode::GetRootNode() const
{
    const TFileSystemNode *node = this;
    while (node->Parent())
        node = node->Parent();
    if (auto *root = dynamic_cast<const TRootNode *>(node))
        return const_cast<TRootNode *>(root);
    throw std::runtime_error(FormatText(_("The root element has an invalid type: %s"), {node->ClassName()}));
}

std::int16_t TFileSystemNode::ClampedErrorCode(std::int32_t value)
{
    return value < INT16_MIN || value > INT16_MAX ? std::int16_t {1} : static_cast<std::int16_t>(value);
}

std::int16_t TFileSystemNode::CheckedImageIndex(std::int32_t value)
{
    if (value < INT16_MIN || value > INT16_MAX)
        throw std::out_of_range("image index out of range (" + std::to_string(value) + ")");
    return static_cast<std::int16_t>(value);
}

// ---- TGroupNode ----

void *TGroupNode::operator new(std::size_t size)
{
    return AllocateNodeBytes(size);
}

void TGroupNode::operator delete(void *p, std::size_t size) noexcept
{
    FreeNodeBytes(p, size);
}

void *TGroupNode::operator new(std::size_t size, TNameRoom room)
{
    return AllocateNodeBytes(size + room.Bytes);
}

void TGroupNode::operator delete(void *p, TNameRoom room) noexcept
{
    // Only a constructor that throws gets here, and only TDirNode is built with room.
    FreeNodeBytes(p, sizeof(TDirNode) + room.Bytes);
}

void TGroupNode::operator delete(TGroupNode *node, std::destroying_delete_t, std::size_t size)
{
    const std::size_t bytes = size + node->FNameRoom;
    node->~TGroupNode();
    FreeNodeBytes(node, bytes);
}

TGroupNode::~TGroupNode()
{
    while (TFileSystemNode *child = TakeLastChild())
        DestroyNodeTree(child);
}

TFileSystemNode *TGroupNode::TakeLastChild()
{
    std::scoped_lock guard(FLock);
    TFileSystemNode *child = FChildren.PopLast();
    if (child)
        child->SetParent(this); // it is this node's child already; the walk up relies on it
    return child;
}

void TGroupNode::DetachChildrenInto(std::vector<TFileSystemNode *> &out)
{
    std::scoped_lock guard(FLock);
    FChildren.DetachInto(out);
}

std::int32_t TGroupNode::FileCount() const
{
    return Scanning() ? SumChildFileCounts() : FFileCount.load(std::memory_order_relaxed);
}

std::int64_t TGroupNode::GetSize() const
{
    return Scanning() ? SumChildSizes() : FSize.load(std::memory_order_relaxed);
}

std::int64_t TGroupNode::GetDiskSize() const
{
    return Scanning() ? SaturatingAdd64(OwnDiskSize(), SumChildDiskSizes()) : FDiskSize.load(std::memory_order_relaxed);
}

void TGroupNode::SetOwnDiskSize(std::int64_t value)
{
    const std::int64_t units = std::clamp<std::int64_t>((value + 511) / 512, 0, UINT32_MAX);
    FOwnDisk = static_cast<std::uint32_t>(units);
}

bool TGroupNode::IncDiskSize(std::int64_t value)
{
    bool saturated = false;
    std::int64_t current = FDiskSize.load(std::memory_order_relaxed);
    while (!FDiskSize.compare_exchange_weak(
        current, SaturatingAdd64(current, value, &saturated), std::memory_order_relaxed))
        saturated = false;
    return saturated;
}

void TGroupNode::Clear()
{
    TFileSystemNode::Clear();
    {
        std::scoped_lock guard(FLock);
        FChildren.Clear();
    }
    FFileCount.store(0, std::memory_order_relaxed);
    FGroupNodeAttributes.store(0, std::memory_order_relaxed);
    FDiskSize.store(0, std::memory_order_relaxed);
    FOwnDisk = 0;
}

std::size_t TGroupNode::ListAndNameBytes(std::size_t &nameBytes, std::size_t &retiredChildren) const
{
    nameBytes = FName.HeapBytes();
    if (FNameRoom)
        nameBytes += NodeAllocationSize(sizeof(TDirNode) + FNameRoom) - NodeAllocationSize(sizeof(TDirNode));
    return FChildren.HeapBytes(retiredChildren);
}

void TGroupNode::IncFileCount(std::int32_t value)
{
    AtomicCheckedAdd(FFileCount, value, CheckedAdd32);
}

void TGroupNode::SetFlag(TFlag flag, bool value)
{
    if (value)
        FGroupNodeAttributes.fetch_or(flag, std::memory_order_relaxed);
    else
        FGroupNodeAttributes.fetch_and(static_cast<std::uint8_t>(~flag), std::memory_order_relaxed);
}

void TGroupNode::RecalcSizeAndFileCount()
{
    if (Scanning())
        return;
    TChildLock lock(*this);
    std::int64_t size = 0;
    std::int64_t disk = IsExcluded() ? 0 : OwnDiskSize();
    std::int32_t count = 0;
    for (std::int32_t i = 0; i < lock.Children().Count(); ++i) {
        const TFileSystemNode *child = lock.Children().Items(i);
        size = SaturatingAdd64(size, child->CountedSize(skLogical));
        // A small-files group's files are counted in the folder already; its own size on disk
        // is only theirs.
        disk = SaturatingAdd64(disk, child->CountedSize(skDisk));
        count = CheckedAdd32(count, child->FileCount());
    }
    FSize.store(size, std::memory_order_relaxed);
    FDiskSize.store(disk, std::memory_order_relaxed);
    FFileCount.store(count, std::memory_order_relaxed);
}

TDirNode *TGroupNode::AddChildDir(std::string_view name, double timestamp, std::uint16_t attributes)
{
    // The first name goes behind the node: no block of its own and one size class step at most.
    const bool inlined = name.size() < UINT16_MAX && name.find('\0') == std::string_view::npos;
    const std::size_t room = inlined ? name.size() + 1 : 0;
    std::unique_ptr<TDirNode> dir(new (TNameRoom {room}) TDirNode);
    if (inlined) {
        dir->FNameRoom = static_cast<std::uint16_t>(room);
        char *text = reinterpret_cast<char *>(dir.get()) + sizeof(TDirNode);
        if (!name.empty())
            std::memcpy(text, name.data(), name.size());
        text[name.size()] = 0;
        dir->FName.SetInline(text);
    } else {
        dir->SetName(name);
    }
    dir->FTimestamp = timestamp;
    dir->SetAttributes(attributes);
    TDirNode *result = dir.get();
    AddChildNode(std::move(dir));
    return result;
}

std::int32_t TGroupNode::AddChildNode(std::unique_ptr<TFileSystemNode> node)
{
    if (node)
        node->SetParent(this);
    std::scoped_lock guard(FLock);
    if (!node)
        return -1;
    const std::int32_t index = FChildren.Add(node.get());
    node.release(); // the list owns it now
    return index;
}

void TGroupNode::RemoveChildNode(TFileSystemNode *node)
{
    std::scoped_lock guard(FLock);
    const std::int32_t index = FChildren.IndexOf(node);
    if (index >= 0)
        FChildren.Delete(index);
}

TFileSystemNode *TGroupNode::FindChildNode(std::string_view name) const
{
    std::scoped_lock guard(FLock);
    for (std::int32_t i = 0; i < FChildren.Count(); ++i)
        if (FChildren.Items(i)->Name() == name)
            return FChildren.Items(i);
    return nullptr;
}

TFileSystemNode *TGroupNode::FindChildNodePath(std::string_view path) const
{
    const std::string key = IncludeTrailingPathDelimiter(path);
    const std::string exact = ExcludeTrailingPathDelimiter(path);
    // Walks down one level at a time, holding the locks of the path taken (ancestor first).
    // Of the children whose path leads to the key the longest decides: only the file system
    // root "/" leads to every path, and below all fixed drives "/" and "/home" are siblings.
    std::vector<std::unique_lock<TNodeLock>> held;
    const TGroupNode *node = this;
    for (;;) {
        held.emplace_back(node->FLock);
        TFileSystemNode *best = nullptr;
        std::size_t bestLength = 0;
        bool bestExact = false;
        for (std::int32_t i = 0; i < node->FChildren.Count(); ++i) {
            TFileSystemNode *child = node->FChildren.Items(i);
            const std::string full = child->GetFullPathName();
            const std::string prefix = IncludeTrailingPathDelimiter(full);
            if (!PathStartsWith(key, prefix) || (best && prefix.size() <= bestLength))
                continue;
            best = child;
            bestLength = prefix.size();
            bestExact = full == exact;
        }
        if (!best)
            return nullptr;
        if (bestExact)
            return best;
        if (!best->IsGroup())
            return nullptr;
        node = static_cast<const TGroupNode *>(best);
    }
}

std::int32_t TGroupNode::GetDirCount() const
{
    std::int32_t count = 0;
    std::vector<const TGroupNode *> pending {this};
    while (!pending.empty()) {
        const TGroupNode *node = pending.back();
        pending.pop_back();
        std::scoped_lock guard(node->FLock);
        for (std::int32_t i = 0; i < node->FChildren.Count(); ++i) {
            TFileSystemNode *child = node->FChildren.Items(i);
            if (child->FileType() == fstDirectory) {
                count = CheckedAdd32(count, 1);
                pending.push_back(static_cast<const TGroupNode *>(child));
            }
        }
    }
    return count;
}

std::int32_t TGroupNode::InterlockedChildCount() const
{
    std::scoped_lock guard(FLock);
    return FChildren.Count();
}

void TGroupNode::CompactChildrenUnshared()
{
    std::scoped_lock guard(FLock);
    FChildren.CompactUnshared();
}

void TGroupNode::ReserveChildren(std::int32_t extra)
{
    std::scoped_lock guard(FLock);
    FChildren.Reserve(extra);
}

TMemNodeList &TGroupNode::LockChildren() const
{
    FLock.lock();
    return const_cast<TMemNodeList &>(FChildren);
}

bool TGroupNode::TryLockChildren(TMemNodeList *&children) const
{
    if (!FLock.try_lock()) {
        children = nullptr;
        return false;
    }
    children = const_cast<TMemNodeList *>(&FChildren);
    return true;
}

void TGroupNode::UnlockChildren() const
{
    FLock.unlock();
}

void TGroupNode::RecalcSizeAndFileCountUpToRoot()
{
    for (TGroupNode *node = this; node; node = node->Parent())
        node->RecalcSizeAndFileCount();
}

namespace {

// The live total of a group that is being scanned: its children's totals, where a child that
// is itself being scanned counts with its own live total. Walked with an explicit stack (a
// scan runs depth-first, so every level of a deep chain is scanning at once), holding the
// try-locks of the path taken, ancestor first, like the nested calls it replaces. A group
// whose lock another thread holds contributes 0 for this call.
template <class T, class Value, class Add> T LiveSum(const TGroupNode &top, Value value, Add add)
{
    struct TLevel
    {
        const TMemNodeList *Children;
        std::int32_t Count;
        std::int32_t Next;
    };
    T sum = 0;
    std::vector<TLevel> path;
    std::vector<std::unique_lock<TNodeLock>> locks;
    const auto enter = [&](const TGroupNode *node) {
        TMemNodeList *children = nullptr;
        if (!node->HasChildren() || !node->TryLockChildren(children))
            return;
        locks.emplace_back(node->ChildLock(), std::adopt_lock);
        path.push_back({children, children->Count(), 0});
    };
    enter(&top);
    while (!path.empty()) {
        TLevel &level = path.back();
        if (level.Next >= level.Count) {
            path.pop_back();
            locks.pop_back();
            continue;
        }
        const TFileSystemNode *child = level.Children->Items(level.Next++);
        if (child->IsGroup() && static_cast<const TGroupNode *>(child)->Scanning())
            enter(static_cast<const TGroupNode *>(child));
        else
            sum = add(sum, value(child));
    }
    return sum;
}

} // namespace

std::int64_t TGroupNode::SumChildSizes() const
{
    return LiveSum<std::int64_t>(
        *this, [](const TFileSystemNode *n) { return n->CountedSize(skLogical); },
        [](std::int64_t a, std::int64_t b) { return SaturatingAdd64(a, b); });
}

std::int64_t TGroupNode::SumChildDiskSizes() const
{
    return LiveSum<std::int64_t>(
        *this, [](const TFileSystemNode *n) { return n->CountedSize(skDisk); },
        [](std::int64_t a, std::int64_t b) { return SaturatingAdd64(a, b); });
}

std::int32_t TGroupNode::SumChildFileCounts() const
{
    return LiveSum<std::int32_t>(
        *this, [](const TFileSystemNode *n) { return n->FileCount(); }, CheckedAdd32);
}

void TGroupNode::Sort(TTreeSortType sortType, TSortDirection direction)
{
    if (sortType != tsFileName && sortType != tsFileSize)
        return;
    const bool descending = direction == sdDescending;
    // The top node's lock is held throughout; every nested group is sorted under its own lock.
    // Sizes of folders still being scanned grow meanwhile: each child's size is read once.
    std::scoped_lock top(FLock);
    std::vector<TGroupNode *> pending {this};
    while (!pending.empty()) {
        TGroupNode *node = pending.back();
        pending.pop_back();
        std::scoped_lock guard(node->FLock);
        if (sortType == tsFileName) {
            node->FChildren.CustomSort([descending](const TFileSystemNode *a, const TFileSystemNode *b) {
                if (descending)
                    std::swap(a, b);
                return std::strcoll(a->Name().data(), b->Name().data()) < 0;
            });
        } else {
            node->FChildren.SortByKey([](const TFileSystemNode *child) { return child->GetSize(); }, descending);
        }
        for (std::int32_t i = 0; i < node->FChildren.Count(); ++i)
            if (TFileSystemNode *child = node->FChildren.Items(i); child->IsGroup())
                pending.push_back(static_cast<TGroupNode *>(child));
    }
}

// ---- TDirNode ----

TDirNode::~TDirNode()
{
    FSmallFilesGroup.store(nullptr, std::memory_order_relaxed);
}

void TDirNode::Clear()
{
    TGroupNode::Clear();
    FSmallFilesGroup.store(nullptr, std::memory_order_release);
    SetFlags(Empty);
}

void TDirNode::SetScanning(bool value)
{
    TGroupNode::SetScanning(value);
    TFileGroupNode *group = FSmallFilesGroup.load(std::memory_order_acquire);
    if (value || !group || group->FileCount() != 1)
        return;
    {
        // The file itself moves into the group's slot (not a copy): whoever keeps its address
        // (the hard-link accounting of a scan) still finds it. Readers of a group's files hold
        // this directory's lock, so nobody sees it half way; the group's lock is taken below
        // this one, ancestor first. Taking the group out first keeps the list inside the block
        // it has, where appending first would copy it into a bigger one.
        std::scoped_lock guard(FLock);
        TFileSystemNode *file = nullptr;
        {
            TChildLock inner(*group);
            if (inner.Children().Count() > 0)
                file = inner.Children().Extract(0);
        }
        FSmallFilesGroup.store(nullptr, std::memory_order_release);
        const std::int32_t index = FChildren.IndexOf(group);
        TFileSystemNode *removed = index >= 0 ? FChildren.Extract(index) : nullptr;
        if (file) {
            Adopt(*file, this);
            FChildren.Add(file);
        }
        DestroyNodeTree(removed);
    }
    SetIgnoreGroupFileSize(true);
}

void TDirNode::DropSmallFilesGroup()
{
    if (TFileGroupNode *group = FSmallFilesGroup.exchange(nullptr, std::memory_order_acq_rel))
        RemoveChildNode(group);
}

TFileGroupNode *TDirNode::GetSmallFilesGroup()
{
    TFileGroupNode *group = FSmallFilesGroup.load(std::memory_order_acquire);
    if (group)
        return group;
    auto made = std::make_unique<TFileGroupNode>();
    made->SetSharedName("<" + _("Grouped Files") + ">");
    group = made.get();
    FSmallFilesGroup.store(group, std::memory_order_release);
    AddChildNode(std::move(made));
    return group;
}

// ---- TFileGroupNode ----

bool TFileGroupNode::IncSize(std::int64_t value)
{
    return !IsFilesScanned() && TGroupNode::IncSize(value);
}

bool TFileGroupNode::IncDiskSize(std::int64_t value)
{
    return !IsFilesScanned() && TGroupNode::IncDiskSize(value);
}

bool TFileGroupNode::Scanning() const
{
    if (IsFilesScanned())
        return false;
    return Parent() && Parent()->Scanning();
}

void TFileGroupNode::IncFileCount(std::int32_t value)
{
    if (!IsFilesScanned())
        TGroupNode::IncFileCount(value);
}

// ---- TDestroyGroupNodeThread ----

TDestroyGroupNodeThread::TDestroyGroupNodeThread(std::unique_ptr<TGroupNode> node)
    : FNode(std::move(node))
{ }

TDestroyGroupNodeThread::~TDestroyGroupNodeThread()
{
    WaitFor();
}

void TDestroyGroupNodeThread::Start()
{
    if (FThread.joinable())
        return;
    FThread = std::thread([this] {
        LowerThreadPriority();
        TFileSystemNode *node = FNode.release();
        DestroyNodeTree(node);
        FFinished.store(true);
    });
}

void TDestroyGroupNodeThread::WaitFor()
{
    if (FThread.joinable())
        FThread.join();
    else if (FNode) {
        DestroyNodeTree(FNode.release());
        FFinished.store(true);
    }
}
