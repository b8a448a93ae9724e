#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

#include "model/MemNodeList.h"
#include "model/NodeLock.h"
#include "platform/Platform.h"

// The tree of one analysis: directories and files found by the scan threads, plus synthetic
// nodes for the root, for all fixed drives and for the small files of a directory.
//
// Threads: scan threads append below the nodes they scan while the user interface thread
// reads. Each group node's lock guards its child list (membership and order) only; take an
// ancestor's lock before a descendant's, never the other way round. Sizes, counts, flags,
// error codes and image indexes are atomics: readers get whole, possibly stale, values.
// Names are raw bytes, always followed by a NUL byte in memory.
//
// Lifetime: directories and files are freed only by the user interface thread (a new analysis,
// a rescan, a deletion), after the threads scanning below them have ended. Small-files groups
// are the exception: when a directory's scan ends with its group holding a single file, the
// scan thread folds the group back (TDirNode::SetScanning(false)) and frees the group and the
// file in it at any moment. A reader holding a group, or a node inside a group, must take the
// directory's lock and find the group again in the directory's child list (same index, same
// node) before it reads either, and keep that lock while it reads.

enum TFileType { fstNone = 0, fstComputer = 1, fstDrive = 2, fstFile = 3, fstDirectory = 4, fstFileGroup = 5 };
enum TTreeSortType { tsFileName = 0, tsFileSize = 1 };
enum TSortDirection { sdAscending = 0, sdDescending = 1 };
// Which of a node's two sizes: the logical size (the default everywhere) or the size on disk
// (the allocated blocks, as du counts them).
enum TSizeKind { skLogical = 0, skDisk = 1 };

// Bits of a node's attribute word beside the FileAttr ones the listing reports.
namespace NodeAttr {
// The allocation is far below the logical size (holes): the row carries a mark.
inline constexpr std::uint16_t Sparse = 0x0200;
// Files: no block allocated (sizes on disk of 0 are common: holes, inline data, empty files).
inline constexpr std::uint16_t NoBlocks = 0x1000;
// Files: the size on disk is kept beside the tree (it is not the logical size rounded up).
inline constexpr std::uint16_t DiskAside = 0x2000;
// Files: another name of the same inode carries the sizes; this one is shown, not counted.
inline constexpr std::uint16_t HardLink = 0x4000;
// Left out of the analysis by an exclusion rule: shown as a row, with no size.
inline constexpr std::uint16_t Excluded = 0x8000;
} // namespace NodeAttr

// The device, inode and link count of a file with more than one name.
struct THardLinkInfo
{
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::uint32_t Links = 0;
};

// Files take their logical size rounded up to this when nothing else is stored.
inline constexpr std::int64_t DiskBlockSize = 4096;

// An allocation "far below" the logical size, worth a mark: less than half of it, and at
// least 1 MiB less (a few unallocated blocks at the end of a small file are no news).
constexpr bool IsSparseAllocation(std::int64_t size, std::int64_t disk)
{
    return disk >= 0 && disk < size / 2 && size - disk >= (std::int64_t {1} << 20);
}

class TGroupNode;
class TDirNode;
class TRootNode;
class TFileGroupNode;

class TFileSystemNode
{
public:
    virtual ~TFileSystemNode() = default;
    TFileSystemNode(const TFileSystemNode &) = delete;
    TFileSystemNode &operator=(const TFileSystemNode &) = delete;

    [[nodiscard]] virtual const char *ClassName() const = 0;
    [[nodiscard]] virtual bool IsGroup() const { return false; }

    [[nodiscard]] TGroupNode *Parent() const
    {
        return reinterpret_cast<TGroupNode *>(FLink.load(std::memory_order_relaxed) & ParentBits);
    }
    [[nodiscard]] virtual std::string_view Name() const = 0;
    virtual void SetName(std::string_view name) = 0;

    [[nodiscard]] virtual std::int32_t FileCount() const = 0;
    virtual void SetFileCount(std::int32_t value) = 0;
    // Keeps the last path component of `value` (the whole value for a root).
    virtual void SetFullPathName(std::string_view value);
    virtual void Clear();
    // A copy of a file node, parent included (it is not added to the parent).
    [[nodiscard]] virtual std::unique_ptr<TFileSystemNode> Clone() const;
    [[nodiscard]] virtual TFileType FileType() const { return fstFile; }
    [[nodiscard]] virtual std::string GetDisplayName() const { return std::string(Name()); }
    [[nodiscard]] virtual std::int64_t GetSize() const { return FSize.load(std::memory_order_relaxed); }
    // Adds to the size; a total beyond the 64-bit range stays at its end. Returns true
    // when this addition reached the end of the range.
    virtual bool IncSize(std::int64_t value);
    // The size on disk: for a file its allocated bytes, for a group its own blocks and the
    // counted sizes on disk of everything below it.
    [[nodiscard]] virtual std::int64_t GetDiskSize() const;
    // Files: stores the allocation, in the node when it is the logical size rounded up to
    // DiskBlockSize or 0, else beside the tree. Set the logical size first.
    virtual void SetDiskSize(std::int64_t value);
    [[nodiscard]] std::int64_t GetSizeOf(TSizeKind kind) const { return kind == skDisk ? GetDiskSize() : GetSize(); }
    // What the node adds to its parent's totals: nothing for a further name of a hard-linked
    // file (another name carries the sizes).
    [[nodiscard]] std::int64_t CountedSize(TSizeKind kind) const { return IsHardLink() ? 0 : GetSizeOf(kind); }
    // Files with more than one link: where they are, kept beside the tree.
    void SetHardLinkInfo(const THardLinkInfo &info);
    [[nodiscard]] bool GetHardLinkInfo(THardLinkInfo &info) const;

    // Removes the node from its parent, which frees it, and recalculates the ancestors.
    // `this` is gone afterwards. Without a parent nothing happens.
    void Delete();
    [[nodiscard]] std::string GetFullPathName() const;
    // The top node of the tree; throws std::runtime_error when it is not a root node.
    [[nodiscard]] TRootNode *GetRootNode() const;
    // The first following sibling that is a T (or derived from T), or null.
    template <class T> [[nodiscard]] T *GetNextSiblingType() const;
    [[nodiscard]] bool HasNextSibling() const { return GetNextSiblingType<TFileSystemNode>() != nullptr; }

    [[nodiscard]] bool IsCompressed() const { return Attributes() & 0x0800; }
    [[nodiscard]] bool IsHidden() const { return Attributes() & 0x0002; }
    [[nodiscard]] bool IsSymLink() const { return Attributes() & 0x0400; }
    [[nodiscard]] bool IsSysFile() const { return Attributes() & 0x0004; }
    [[nodiscard]] bool IsHardLink() const { return Attributes() & NodeAttr::HardLink; }
    [[nodiscard]] bool IsExcluded() const { return Attributes() & NodeAttr::Excluded; }
    [[nodiscard]] bool IsSparse() const { return Attributes() & NodeAttr::Sparse; }
    // A folder where another file system (or a bind mount) is mounted: shown, not descended.
    [[nodiscard]] bool IsMountPoint() const
    {
        return (Attributes() & (0x0010 | 0x0400)) == (0x0010 | 0x0400) && FileType() == fstDirectory;
    }
    // Sets or clears attribute bits without disturbing the others.
    void SetAttributeBits(std::uint16_t bits, bool value)
    {
        const std::uint16_t current = Attributes();
        SetAttributes(value ? current | bits : current & static_cast<std::uint16_t>(~bits));
    }

    void SetSize(std::int64_t value) { FSize.store(value, std::memory_order_relaxed); }
    [[nodiscard]] double Timestamp() const { return FTimestamp; }
    void SetTimestamp(double value) { FTimestamp = value; }
    [[nodiscard]] std::uint16_t Attributes() const
    {
        return static_cast<std::uint16_t>(FLink.load(std::memory_order_relaxed) >> AttributeShift);
    }
    void SetAttributes(std::uint16_t value)
    {
        SetLinkBits(~std::uint64_t {0} << AttributeShift, value, AttributeShift);
    }
    // Codes outside the 16-bit range are stored as 1: the node still shows as failed.
    [[nodiscard]] virtual std::int32_t ErrorCode() const;
    virtual void SetErrorCode(std::int32_t value);
    // -1 until set.
    [[nodiscard]] virtual std::int32_t GetImageIndex() const;
    // Throws std::out_of_range outside the 16-bit range.
    virtual void SetImageIndex(std::int32_t value);

protected:
    TFileSystemNode() = default;
    friend class TGroupNode;

    // Throws std::logic_error for an address that does not fit the parent bits (never on Linux).
    void SetParent(TGroupNode *parent);
    // Replaces the bits of `mask` in FLink by `value << shift`, leaving the others as they are.
    void SetLinkBits(std::uint64_t mask, std::uint64_t value, unsigned shift);
    // Files rarely have an error code or an image index (only rows on screen get one), so
    // nodes without fields for them keep them in a table beside the tree, marked by AsideBit.
    // The owner of such a node calls this before freeing it.
    void ForgetAside() const;
    static std::int16_t CheckedImageIndex(std::int32_t value);
    static std::int16_t ClampedErrorCode(std::int32_t value);

    // One word for the parent (not owned), the attributes, AsideBit and two bits a node class
    // may use: every node of a tree pays for it. The parent is 8-byte aligned and, like every
    // address of a Linux process, below 2^48, so its bits 0-2 and 48-63 are free.
    static constexpr unsigned AttributeShift = 48;
    static constexpr std::uint64_t ParentBits = ((std::uint64_t {1} << AttributeShift) - 1) & ~std::uint64_t {7};
    static constexpr std::uint64_t ClassBits = 3;
    static constexpr std::uint64_t AsideBit = 4;
    std::atomic<std::uint64_t> FLink {0};
    std::atomic<std::int64_t> FSize {0};
    double FTimestamp = 0; // set before the node is published to other threads
};

// A file. Its name lives right behind the object, so a file costs one allocation.
class TFileNode final : public TFileSystemNode
{
public:
    // File names never hold a NUL byte (std::invalid_argument); up to 65535 bytes, which
    // covers the 255 UTF-16 units of exFAT, NTFS or CIFS names in UTF-8.
    static std::unique_ptr<TFileNode> Create(std::string_view name);

    [[nodiscard]] const char *ClassName() const override { return "TFileNode"; }
    // Neither length nor room is stored: the name ends at its NUL and starts right after the
    // 32 bytes of the node's fields (see NameRoom for the room).
    [[nodiscard]] std::string_view Name() const override { return {NameBytes()}; }
    // A name longer than the one the node was created with raises std::length_error.
    void SetName(std::string_view name) override;
    [[nodiscard]] std::int32_t FileCount() const override { return 1; }
    void SetFileCount(std::int32_t) override { }
    [[nodiscard]] std::unique_ptr<TFileSystemNode> Clone() const override;
    // Pool bytes of the node with its name, for memory benchmarks.
    [[nodiscard]] std::size_t HeapBytes() const;

    // File nodes come from size-class pools (no allocator header, 8-byte steps); the size
    // class follows from the room of the name, which the destroying delete still can read.
    struct TNameRoom
    {
        std::size_t Bytes;
    };
    static void *operator new(std::size_t size, TNameRoom room);
    static void operator delete(void *p, TNameRoom room);
    static void operator delete(TFileNode *node, std::destroying_delete_t);

    // Where the name starts; the allocation is this plus the room plus the NUL.
    static constexpr std::size_t NameOffset = 32;

private:
    TFileNode() = default;
    [[nodiscard]] char *NameBytes() const
    {
        return const_cast<char *>(reinterpret_cast<const char *>(this) + NameOffset);
    }
    // The bytes the name may take (without its NUL): its length unless a shorter name replaced
    // the first one. The class bits of the link word tell which: 0 the length, 1 the length
    // plus one, 2 a 16-bit room stored right after the NUL.
    [[nodiscard]] std::size_t NameRoom() const;
};

// A name that other threads may read while it changes: each value is an immutable block;
// replaced blocks are kept until the owner goes away (names change only on rescans).
class TNodeName
{
public:
    TNodeName() = default;
    ~TNodeName();
    TNodeName(const TNodeName &) = delete;
    TNodeName &operator=(const TNodeName &) = delete;
    [[nodiscard]] std::string_view View() const;
    void Set(std::string_view value);
    // Uses one block for every name of that text, kept for the rest of the run (the name of
    // every small-files group is the same).
    void SetShared(std::string_view value);
    // Uses `text`, NUL-terminated, without a NUL inside, which the owner keeps unchanged
    // until the name goes away (a folder's first name, stored behind the folder's node).
    void SetInline(const char *text);
    // Pool bytes of the current and replaced blocks (0 for a shared or inline one), for memory
    // benchmarks.
    [[nodiscard]] std::size_t HeapBytes() const;

private:
    struct TBlock;
    // Tags in the low bits of FBlock: a shared block, or inline text instead of a block.
    static constexpr std::uintptr_t SharedTag = 1;
    static constexpr std::uintptr_t InlineTag = 2;
    static std::uintptr_t Tags(const TBlock *block) { return reinterpret_cast<std::uintptr_t>(block) & 3u; }
    std::atomic<TBlock *> FBlock {nullptr};
};

class TGroupNode : public TFileSystemNode
{
public:
    enum TFlag : std::uint8_t {
        Expanded = 0x01,
        FilesScanned = 0x02,
        ScanCanceled = 0x04,
        ScanningFlag = 0x08,
        Empty = 0x10,
        IgnoreGroupFileSize = 0x20
    };

    ~TGroupNode() override;

    // Group nodes come from the node pool too; the sized delete knows the dynamic size.
    static void *operator new(std::size_t size);
    static void operator delete(void *p, std::size_t size) noexcept;
    // A folder built with its first name behind the node (see AddChildDir): `Bytes` more.
    struct TNameRoom
    {
        std::size_t Bytes;
    };
    static void *operator new(std::size_t size, TNameRoom room);
    static void operator delete(void *p, TNameRoom room) noexcept;
    // Frees the node with the room behind it; `size` is that of the dynamic type.
    static void operator delete(TGroupNode *node, std::destroying_delete_t, std::size_t size);

    [[nodiscard]] bool IsGroup() const override { return true; }
    [[nodiscard]] std::string_view Name() const override { return FName.View(); }
    void SetName(std::string_view name) override { FName.Set(name); }
    // For names that many nodes share; see TNodeName::SetShared.
    void SetSharedName(std::string_view name) { FName.SetShared(name); }
    [[nodiscard]] std::int32_t FileCount() const override;
    void SetFileCount(std::int32_t value) override { FFileCount.store(value, std::memory_order_relaxed); }
    void Clear() override;
    [[nodiscard]] TFileType FileType() const override { return fstDirectory; }
    [[nodiscard]] std::int64_t GetSize() const override;
    [[nodiscard]] std::int64_t GetDiskSize() const override;
    // Sets the size on disk of everything below and the folder's own blocks to `value`.
    void SetDiskSize(std::int64_t value) override { FDiskSize.store(value, std::memory_order_relaxed); }
    // The folder's own blocks (as du counts them); part of GetDiskSize.
    [[nodiscard]] std::int64_t OwnDiskSize() const { return std::int64_t {FOwnDisk} * 512; }
    void SetOwnDiskSize(std::int64_t value);
    virtual bool IncDiskSize(std::int64_t value);
    [[nodiscard]] std::int32_t ErrorCode() const override { return FErrorCode.load(std::memory_order_relaxed); }
    void SetErrorCode(std::int32_t value) override
    {
        FErrorCode.store(ClampedErrorCode(value), std::memory_order_relaxed);
    }
    [[nodiscard]] std::int32_t GetImageIndex() const override { return FImageIndex.load(std::memory_order_relaxed); }
    void SetImageIndex(std::int32_t value) override
    {
        FImageIndex.store(CheckedImageIndex(value), std::memory_order_relaxed);
    }

    [[nodiscard]] virtual bool Scanning() const { return HasFlag(ScanningFlag); }
    virtual void SetScanning(bool value) { SetFlag(ScanningFlag, value); }
    virtual void IncFileCount(std::int32_t value);
    virtual void RecalcSizeAndFileCount();

    [[nodiscard]] bool HasFlag(TFlag flag) const { return FGroupNodeAttributes.load(std::memory_order_relaxed) & flag; }
    // Changes one flag without disturbing concurrent changes of the others.
    void SetFlag(TFlag flag, bool value);
    [[nodiscard]] std::uint8_t Flags() const { return FGroupNodeAttributes.load(std::memory_order_relaxed); }
    void SetFlags(std::uint8_t flags) { FGroupNodeAttributes.store(flags, std::memory_order_relaxed); }
    [[nodiscard]] bool IsExpanded() const { return HasFlag(Expanded); }
    void SetExpanded(bool v) { SetFlag(Expanded, v); }
    [[nodiscard]] bool IsFilesScanned() const { return HasFlag(FilesScanned); }
    void SetFilesScanned(bool v) { SetFlag(FilesScanned, v); }
    [[nodiscard]] bool IsScanCanceled() const { return HasFlag(ScanCanceled); }
    void SetScanCanceled(bool v) { SetFlag(ScanCanceled, v); }
    [[nodiscard]] bool IsEmpty() const { return HasFlag(Empty); }
    void SetEmpty(bool v) { SetFlag(Empty, v); }
    [[nodiscard]] bool IsIgnoreGroupFileSize() const { return HasFlag(IgnoreGroupFileSize); }
    void SetIgnoreGroupFileSize(bool v) { SetFlag(IgnoreGroupFileSize, v); }

    // Creates a directory named `name` and appends it; it is complete before other threads
    // can see it.
    TDirNode *AddChildDir(std::string_view name = {}, double timestamp = 0, std::uint16_t attributes = 0);
    // Takes ownership and appends the node. Returns its index, or -1 (and frees nothing
    // but the refused node) when CanAddChild refuses it.
    std::int32_t AddChildNode(std::unique_ptr<TFileSystemNode> node);
    // Frees the child; nothing happens when it is not a child.
    void RemoveChildNode(TFileSystemNode *node);
    [[nodiscard]] TFileSystemNode *FindChildNode(std::string_view name) const;
    [[nodiscard]] TFileSystemNode *FindChildNodePath(std::string_view path) const;
    [[nodiscard]] std::int32_t GetDirCount() const;
    [[nodiscard]] bool HasChildren() const { return FChildren.Count() > 0; }
    [[nodiscard]] std::int32_t InterlockedChildCount() const;
    // Reserves room for `extra` more children (the scanner knows a directory's size).
    void ReserveChildren(std::int32_t extra);
    // The child list in storage of its exact size (TMemNodeList::CompactUnshared): for trees
    // that one thread builds without knowing sizes up front, before anyone else sees them.
    void CompactChildrenUnshared();

    TMemNodeList &LockChildren() const;
    // Succeeds when the lock is free or already held by this thread; `children` is null
    // on failure.
    bool TryLockChildren(TMemNodeList *&children) const;
    void UnlockChildren() const;
    // The child at `index` without the lock; only for an index below a count obtained
    // before.
    [[nodiscard]] TFileSystemNode *GetUnlockedChildNode(std::int32_t index) const { return FChildren.Items(index); }
    void RecalcSizeAndFileCountUpToRoot();
    void Sort(TTreeSortType sortType, TSortDirection direction);

    [[nodiscard]] std::int64_t SumChildSizes() const;
    [[nodiscard]] std::int64_t SumChildDiskSizes() const;
    [[nodiscard]] std::int32_t SumChildFileCounts() const;

    // Pool bytes of the child list and the name, for memory benchmarks (`retiredChildren` gets
    // those of the list's blocks kept for readers); only while no thread changes the node.
    [[nodiscard]] std::size_t ListAndNameBytes(std::size_t &nameBytes, std::size_t &retiredChildren) const;

    // The lock for RAII use: std::scoped_lock guard(node.ChildLock());
    TNodeLock &ChildLock() const { return FLock; }

protected:
    TGroupNode() = default;
    void DetachChildrenInto(std::vector<TFileSystemNode *> &out);
    // Removes the last child from the list without freeing it (null when there is none), its
    // parent link still naming this node: the way down of DestroyNodeTree, which must not
    // allocate, since it also runs when memory has run out.
    TFileSystemNode *TakeLastChild();
    static void Adopt(TFileSystemNode &node, TGroupNode *parent) { node.SetParent(parent); }
    friend void DestroyNodeTree(TFileSystemNode *node);
    friend class TFileSystemNode;

    // A group node is 88 bytes.
    std::atomic<std::int16_t> FErrorCode {0};
    std::atomic<std::int16_t> FImageIndex {-1};
    std::atomic<std::uint8_t> FGroupNodeAttributes {0};
    std::uint16_t FNameRoom = 0; // bytes allocated behind the node for its first name
    std::atomic<std::int32_t> FFileCount {0};
    mutable TNodeLock FLock;
    TNodeName FName;
    TMemNodeList FChildren;
    std::atomic<std::int64_t> FDiskSize {0};
    std::uint32_t FOwnDisk = 0; // the folder's own blocks, in 512-byte units
};

class TDirNode : public TGroupNode
{
public:
    TDirNode() { SetFlags(Empty); }
    ~TDirNode() override;

    [[nodiscard]] const char *ClassName() const override { return "TDirNode"; }
    void Clear() override;
    // Clearing the flag folds a group left with one file back into the directory: the file is
    // copied and appended, then the group is removed from the child list and freed, under this
    // directory's lock, on whichever thread clears the flag (a scan thread, mostly).
    void SetScanning(bool value) override;
    // The small-files group, created and appended on first use.
    TFileGroupNode *GetSmallFilesGroup();
    [[nodiscard]] TFileGroupNode *SmallFilesGroup() const { return FSmallFilesGroup.load(std::memory_order_acquire); }
    // Removes and frees the small-files group (one that deleting its files emptied).
    void DropSmallFilesGroup();

    // Which folder on disk the scan listed here (st_dev, st_ino), so that file commands can
    // tell it from whatever takes its name later; both 0 when unknown (an imported analysis, a
    // lister that cannot tell).
    void SetDiskIdentity(std::uint64_t device, std::uint64_t inode)
    {
        FDiskDevice.store(device, std::memory_order_relaxed);
        FDiskInode.store(inode, std::memory_order_relaxed);
    }
    [[nodiscard]] std::uint64_t DiskDevice() const { return FDiskDevice.load(std::memory_order_relaxed); }
    [[nodiscard]] std::uint64_t DiskInode() const { return FDiskInode.load(std::memory_order_relaxed); }

protected:
    std::atomic<TFileGroupNode *> FSmallFilesGroup {nullptr}; // not owned: it is one of the children
    std::atomic<std::uint64_t> FDiskDevice {0};
    std::atomic<std::uint64_t> FDiskInode {0};
};

class TRootNode : public TDirNode
{
public:
    [[nodiscard]] std::int64_t GroupFileSize() const { return FGroupFileSize; }
    void SetGroupFileSize(std::int64_t value) { FGroupFileSize = value; }

    // The services the tree asks about its volumes: those handed to its constructor, else the
    // installed ones. A test gives each tree its own fakes.
    [[nodiscard]] const TPlatform &Services() const { return FPlatform.Volumes ? FPlatform : Platform(); }

protected:
    TRootNode() = default;
    explicit TRootNode(const TPlatform &platform)
        : FPlatform(platform)
    { }
    std::int64_t FGroupFileSize = 0;

private:
    TPlatform FPlatform; // empty: the installed services
};

class TRootDirNode : public TRootNode
{
public:
    TRootDirNode() = default;
    explicit TRootDirNode(const TPlatform &platform)
        : TRootNode(platform)
    { }
    [[nodiscard]] const char *ClassName() const override { return "TRootDirNode"; }
    // Stores the whole path and reads the volume's label and free space.
    void SetFullPathName(std::string_view value) override;
    void Clear() override;
    [[nodiscard]] TFileType FileType() const override;
    [[nodiscard]] std::string GetDisplayName() const override;
    void RecalcSizeAndFileCount() override;

    [[nodiscard]] std::string_view VolumeName() const { return FVolumeName.View(); }
    [[nodiscard]] std::int64_t FreeDiskSize() const { return FFreeDiskSize.load(std::memory_order_relaxed); }
    void UpdateFreeDiskSize();

private:
    TNodeName FVolumeName;
    std::atomic<std::int64_t> FFreeDiskSize {0};
    mutable std::atomic<std::uint8_t> FFileType {fstNone};
};

class TFixedDrivesNode : public TRootNode
{
public:
    // Adds one root per fixed drive; the drives share the node's services.
    TFixedDrivesNode();
    explicit TFixedDrivesNode(const TPlatform &platform);
    [[nodiscard]] const char *ClassName() const override { return "TFixedDrivesNode"; }
    [[nodiscard]] TFileType FileType() const override { return fstComputer; }
    [[nodiscard]] std::string GetDisplayName() const override;
    void Clear() override;
    // Returns the number of drives added, or -1 when they were added before.
    std::int32_t PopulateDrives();
};

class TFileGroupNode : public TGroupNode
{
public:
    TFileGroupNode() = default;
    [[nodiscard]] const char *ClassName() const override { return "TFileGroupNode"; }
    [[nodiscard]] TFileType FileType() const override { return fstFileGroup; }
    bool IncSize(std::int64_t value) override;
    bool IncDiskSize(std::int64_t value) override;
    [[nodiscard]] bool Scanning() const override;
    void IncFileCount(std::int32_t value) override;
};

// Frees a detached tree on a thread of its own at lowered priority, so that freeing
// millions of nodes never blocks the user interface.
class TDestroyGroupNodeThread
{
public:
    explicit TDestroyGroupNodeThread(std::unique_ptr<TGroupNode> node);
    ~TDestroyGroupNodeThread(); // waits for the thread
    TDestroyGroupNodeThread(const TDestroyGroupNodeThread &) = delete;
    TDestroyGroupNodeThread &operator=(const TDestroyGroupNodeThread &) = delete;

    void Start();
    void WaitFor();
    [[nodiscard]] bool Finished() const { return FFinished.load(); }

private:
    std::unique_ptr<TGroupNode> FNode;
    std::thread FThread;
    std::atomic<bool> FFinished {false};
};

template <class T> T *TFileSystemNode::GetNextSiblingType() const
{
    TGroupNode *parent = Parent();
    if (!parent || !parent->HasChildren())
        return nullptr;
    std::scoped_lock guard(parent->ChildLock());
    TMemNodeList &children = parent->FChildren;
    const std::int32_t index = children.IndexOf(this);
    if (index < 0)
        return nullptr;
    for (std::int32_t i = index + 1; i < children.Count(); ++i)
        if (auto *node = dynamic_cast<T *>(children.Items(i)))
            return node;
    return nullptr;
}
