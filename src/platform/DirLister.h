#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Windows attribute bits synthesized from what the file system reports.
namespace FileAttr {
inline constexpr std::uint16_t ReadOnly = 0x0001;
inline constexpr std::uint16_t Hidden = 0x0002;
inline constexpr std::uint16_t System = 0x0004;
inline constexpr std::uint16_t Directory = 0x0010;
inline constexpr std::uint16_t Archive = 0x0020;
inline constexpr std::uint16_t Normal = 0x0080;
inline constexpr std::uint16_t ReparsePoint = 0x0400;
inline constexpr std::uint16_t Compressed = 0x0800;
} // namespace FileAttr

// One entry of a directory listing. The name lives in the listing's name buffer.
struct TRawDirEntry
{
    std::uint32_t NameOffset = 0;
    std::uint32_t NameLength = 0;
    std::uint16_t Attributes = 0; // FileAttr bits
    std::int64_t Size = 0; // logical size; 0 for directories, links and special files
    double Timestamp = 0; // local last-write time, days since 1899-12-30
    std::int64_t DiskSize = -1; // allocated bytes (blocks of 512); -1 when not known
    std::uint64_t Device = 0; // with Inode, tells the names of one file apart from other files
    std::uint64_t Inode = 0;
    std::uint32_t Links = 1; // names of a non-directory; more than 1 for a hard-linked file
};

// All entries of one directory except "." and "..", in the order the file system returns them.
class TDirListing
{
public:
    std::vector<TRawDirEntry> Entries;
    std::string Names;

    void Clear()
    {
        Entries.clear();
        Names.clear();
    }
    [[nodiscard]] std::string_view Name(const TRawDirEntry &e) const
    {
        return {Names.data() + e.NameOffset, e.NameLength};
    }
    void Add(std::string_view name, std::uint16_t attributes, std::int64_t size, double timestamp)
    {
        Entries.push_back({static_cast<std::uint32_t>(Names.size()), static_cast<std::uint32_t>(name.size()),
            attributes, size, timestamp});
        Names.append(name);
    }
};

// An open directory. Not shared between threads.
class IDirHandle
{
public:
    virtual ~IDirHandle() = default;

    // Reads every entry into `out` (cleared first). Returns 0, or the errno that ended the
    // listing; entries read before an error stay in `out`. Gives up early, returning 0,
    // once `stop` is set.
    virtual int ReadAll(TDirListing &out, const std::atomic<bool> &stop) = 0;

    // Opens the subdirectory `name` relative to this directory. On failure returns null and
    // sets `err` to the errno. `crossing` opens a mount point: its entries are then measured
    // against its own file system instead of this one's.
    virtual std::unique_ptr<IDirHandle> OpenChild(std::string_view name, int &err, bool crossing = false) = 0;

    // The directory's own allocated bytes, when the handle knows them (the folder a scan
    // starts at: its parent's listing did not measure it); -1 otherwise.
    [[nodiscard]] virtual std::int64_t OwnDiskSize() const { return -1; }
    // Reads up to `size` bytes from the start of the regular file `name` in this directory
    // (no link followed); returns the count read, or -1.
    virtual long ReadFileStart(std::string_view, char *, std::size_t) { return -1; }

    // Gives the operating-system resource back while the handle is not needed (deep trees
    // would otherwise hold one descriptor per level). The handle remembers which directory
    // it was.
    virtual void Park() = 0;
    // Reopens a parked handle through its still open `child` (its "..") and checks that it is
    // the same directory as before. Returns 0 or an errno. Does nothing on an open handle.
    virtual int Unpark(IDirHandle &child) = 0;
    // Reopens a parked handle as `name` inside the open directory `parent`, or, without a
    // parent, at the path `name` (following a link there, as IDirLister::Open does), and
    // checks that it is the same directory as before. Returns 0, ESTALE when another
    // directory is found there, or the errno of the open. Does nothing on an open handle.
    virtual int Reopen(IDirHandle *parent, const std::string &name) = 0;

    // Which directory this is (st_dev, st_ino), for the analysis to record. False when the
    // lister cannot tell.
    virtual bool Identity(std::uint64_t & /*device*/, std::uint64_t & /*inode*/) { return false; }
};

// Directory listing service.
class IDirLister
{
public:
    virtual ~IDirLister() = default;
    // Opens the directory at `path` (raw bytes). On failure returns null and sets `err`.
    virtual std::unique_ptr<IDirHandle> Open(const std::string &path, int &err) = 0;
};
