#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <unordered_map>
#include <vector>

#include "common/Drives.h"
#include "common/ThreadPriority.h"
#include "common/Translate.h"
#include "log/Logger.h"
#include "model/NodePool.h"
#include "model/Paths.h"
#include "model/TreeTypes.h"
#include "platform/Platform.h"

// File nodes: their names behind them, and the error codes and image indexes kept beside
// the tree for nodes that have no fields for them.

namespace {

struct TAside
{
    std::int16_t ErrorCode = 0;
    std::int16_t ImageIndex = -1;
    std::uint32_t Links = 0; // more than 1 for a hard-linked file
    std::int64_t DiskSize = -1; // -1: none kept here
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    [[nodiscard]] bool Kept() const { return ErrorCode != 0 || ImageIndex != -1 || Links != 0 || DiskSize >= 0; }
};

// The error codes and image indexes of nodes without fields for them. Never destroyed: nodes
// may be freed by threads that outlive static destruction.
struct TAsideTable
{
    std::mutex Lock;
    std::unordered_map<const TFileSystemNode *, TAside> Values;
};

TAsideTable &Aside()
{
    static auto *table = new TAsideTable;
    return *table;
}

} // namespace

std::int32_t TFileSystemNode::ErrorCode() const
{
    if (!(FLink.load(std::memory_order_acquire) & AsideBit))
        return 0;
    TAsideTable &table = Aside();
    std::scoped_lock guard(table.Lock);
    const auto it = table.Values.find(this);
    return it == table.Values.end() ? 0 : it->second.ErrorCode;
}

std::int32_t TFileSystemNode::GetImageIndex() const
{
    if (!(FLink.load(std::memory_order_acquire) & AsideBit))
        return -1;
    TAsideTable &table = Aside();
    std::scoped_lock guard(table.Lock);
    const auto it = table.Values.find(this);
    return it == table.Values.end() ? -1 : it->second.ImageIndex;
}

namespace {

// Stores one value beside `node`; an entry left holding only defaults goes, and `mark` tells
// the node whether it has one.
template <class TValue, class TMark>
void StoreAside(const TFileSystemNode *node, TValue TAside::*field, TValue value, TValue none, TMark mark)
{
    TAsideTable &table = Aside();
    std::scoped_lock guard(table.Lock);
    auto it = table.Values.find(node);
    if (it == table.Values.end()) {
        if (value == none)
            return;
        it = table.Values.emplace(node, TAside {}).first;
    }
    it->second.*field = value;
    const bool kept = it->second.Kept();
    if (!kept)
        table.Values.erase(it);
    mark(kept);
}

} // namespace

void TFileSystemNode::SetErrorCode(std::int32_t value)
{
    StoreAside(this, &TAside::ErrorCode, ClampedErrorCode(value), std::int16_t {0},
        [this](bool kept) { SetLinkBits(AsideBit, kept ? AsideBit : 0, 0); });
}

void TFileSystemNode::SetImageIndex(std::int32_t value)
{
    StoreAside(this, &TAside::ImageIndex, CheckedImageIndex(value), std::int16_t {-1},
        [this](bool kept) { SetLinkBits(AsideBit, kept ? AsideBit : 0, 0); });
}

std::int64_t TFileSystemNode::GetDiskSize() const
{
    const std::uint16_t attributes = Attributes();
    if (attributes & NodeAttr::NoBlocks)
        return 0;
    if (attributes & NodeAttr::DiskAside) {
        TAsideTable &table = Aside();
        std::scoped_lock guard(table.Lock);
        const auto it = table.Values.find(this);
        return it == table.Values.end() || it->second.DiskSize < 0 ? 0 : it->second.DiskSize;
    }
    const std::int64_t size = GetSize();
    if (size <= 0)
        return 0;
    return size > INT64_MAX - DiskBlockSize ? INT64_MAX : (size + DiskBlockSize - 1) / DiskBlockSize * DiskBlockSize;
}

void TFileSystemNode::SetDiskSize(std::int64_t value)
{
    // Most files take their size rounded up to the block size, or nothing: only the others
    // pay for an entry beside the tree.
    const std::int64_t size = GetSize();
    const std::int64_t rounded = size <= 0
        ? 0
        : (size > INT64_MAX - DiskBlockSize ? INT64_MAX : (size + DiskBlockSize - 1) / DiskBlockSize * DiskBlockSize);
    std::uint16_t attributes = Attributes() & static_cast<std::uint16_t>(~(NodeAttr::NoBlocks | NodeAttr::DiskAside));
    value = std::max<std::int64_t>(value, 0);
    const bool aside = value != rounded && value != 0;
    if (value == 0 && rounded != 0)
        attributes |= NodeAttr::NoBlocks;
    if (aside)
        attributes |= NodeAttr::DiskAside;
    if (aside || (Attributes() & NodeAttr::DiskAside))
        StoreAside(this, &TAside::DiskSize, aside ? value : std::int64_t {-1}, std::int64_t {-1},
            [this](bool kept) { SetLinkBits(AsideBit, kept ? AsideBit : 0, 0); });
    SetAttributes(attributes);
}

void TFileSystemNode::SetHardLinkInfo(const THardLinkInfo &info)
{
    TAsideTable &table = Aside();
    {
        std::scoped_lock guard(table.Lock);
        auto it = table.Values.find(this);
        if (it == table.Values.end()) {
            if (info.Links == 0)
                return;
            it = table.Values.emplace(this, TAside {}).first;
        }
        it->second.Links = info.Links;
        it->second.Device = info.Device;
        it->second.Inode = info.Inode;
        if (!it->second.Kept()) {
            table.Values.erase(it);
            SetLinkBits(AsideBit, 0, 0);
            return;
        }
    }
    SetLinkBits(AsideBit, AsideBit, 0);
}

bool TFileSystemNode::GetHardLinkInfo(THardLinkInfo &info) const
{
    if (!(FLink.load(std::memory_order_acquire) & AsideBit))
        return false;
    TAsideTable &table = Aside();
    std::scoped_lock guard(table.Lock);
    const auto it = table.Values.find(this);
    if (it == table.Values.end() || it->second.Links == 0)
        return false;
    info = {it->second.Device, it->second.Inode, it->second.Links};
    return true;
}

void TFileSystemNode::ForgetAside() const
{
    if (!(FLink.load(std::memory_order_acquire) & AsideBit))
        return;
    TAsideTable &table = Aside();
    std::scoped_lock guard(table.Lock);
    table.Values.erase(this);
}

// ---- TFileNode ----

namespace {

// The bytes of a file node whose name has `room` bytes (its NUL not counted): the name may end
// inside the padding of the node's fields.
std::size_t FileNodeBytes(std::size_t room)
{
    return std::max(sizeof(TFileNode), TFileNode::NameOffset + room + 1);
}

enum : std::uint64_t { RoomIsLength = 0, RoomIsLengthPlusOne = 1, RoomAfterNul = 2 };

} // namespace

static_assert(sizeof(TFileNode) == 32 && alignof(TFileNode) == 8, "a file node's fields take 32 bytes");

void *TFileNode::operator new(std::size_t, TNameRoom room)
{
    return AllocateNodeBytes(FileNodeBytes(room.Bytes));
}

void TFileNode::operator delete(void *p, TNameRoom room)
{
    FreeNodeBytes(p, FileNodeBytes(room.Bytes));
}

void TFileNode::operator delete(TFileNode *node, std::destroying_delete_t)
{
    const std::size_t bytes = FileNodeBytes(node->NameRoom());
    node->ForgetAside();
    node->~TFileNode();
    FreeNodeBytes(node, bytes);
}

std::size_t TFileNode::NameRoom() const
{
    const char *bytes = NameBytes();
    const std::size_t length = std::strlen(bytes);
    switch (FLink.load(std::memory_order_relaxed) & ClassBits) {
    case RoomIsLength:
        return length;
    case RoomIsLengthPlusOne:
        return length + 1;
    default: {
        std::uint16_t room;
        std::memcpy(&room, bytes + length + 1, sizeof room);
        return room;
    }
    }
}

std::unique_ptr<TFileNode> TFileNode::Create(std::string_view name)
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
    static_assert(
        offsetof(TFileNode, FTimestamp) + sizeof(double) == NameOffset, "the name follows the last field of the node");
#pragma GCC diagnostic pop
    if (name.size() > UINT16_MAX)
        throw std::length_error("file name longer than 65535 bytes");
    if (name.find('\0') != std::string_view::npos)
        throw std::invalid_argument("file name with a NUL byte");
    std::unique_ptr<TFileNode> node(new (TNameRoom {name.size()}) TFileNode);
    char *bytes = node->NameBytes();
    if (!name.empty())
        std::memcpy(bytes, name.data(), name.size());
    bytes[name.size()] = 0;
    return node;
}

void TFileNode::SetName(std::string_view name)
{
    const std::size_t room = NameRoom();
    if (name.size() > room)
        throw std::length_error("file name longer than the node holds");
    if (name.find('\0') != std::string_view::npos)
        throw std::invalid_argument("file name with a NUL byte");
    char *bytes = NameBytes();
    if (!name.empty())
        std::memcpy(bytes, name.data(), name.size());
    bytes[name.size()] = 0;
    std::uint64_t kind = RoomIsLength;
    if (room == name.size() + 1) {
        kind = RoomIsLengthPlusOne;
    } else if (room > name.size()) {
        const auto stored = static_cast<std::uint16_t>(room);
        std::memcpy(bytes + name.size() + 1, &stored, sizeof stored);
        kind = RoomAfterNul;
    }
    SetLinkBits(ClassBits, kind, 0);
}

std::size_t TFileNode::HeapBytes() const
{
    return NodeAllocationSize(FileNodeBytes(NameRoom()));
}

std::unique_ptr<TFileSystemNode> TFileNode::Clone() const
{
    auto copy = Create(Name());
    copy->SetParent(Parent());
    copy->FSize.store(GetSize(), std::memory_order_relaxed);
    copy->FTimestamp = FTimestamp;
    copy->SetAttributes(Attributes());
    copy->SetErrorCode(ErrorCode());
    copy->SetImageIndex(GetImageIndex());
    copy->SetDiskSize(GetDiskSize());
    if (THardLinkInfo info; GetHardLinkInfo(info))
        copy->SetHardLinkInfo(info);
    return copy;
}
