#include "platform/linux/LinuxDirLister.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "platform/UnixTime.h"

namespace {

struct linux_dirent64
{
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1]; // really as long as the record says
};

class TFd
{
public:
    TFd() = default;
    explicit TFd(int fd)
        : FFd(fd)
    { }
    ~TFd() { Reset(); }
    TFd(const TFd &) = delete;
    TFd &operator=(const TFd &) = delete;
    TFd(TFd &&other) noexcept
        : FFd(other.Release())
    { }
    TFd &operator=(TFd &&other) noexcept
    {
        if (this != &other) {
            Reset();
            FFd = other.Release();
        }
        return *this;
    }
    [[nodiscard]] int Get() const { return FFd; }
    int Release()
    {
        const int fd = FFd;
        FFd = -1;
        return fd;
    }
    void Reset(int fd = -1)
    {
        if (FFd >= 0)
            ::close(FFd);
        FFd = fd;
    }

private:
    int FFd = -1;
};

int OpenDirAt(int dirFd, const char *name, int &err, bool followLink = false)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (followLink ? 0 : O_NOFOLLOW);
    const int fd = ::openat(dirFd, name, flags);
    err = fd < 0 ? errno : 0;
    return fd;
}

class TLinuxDirHandle final : public IDirHandle
{
public:
    TLinuxDirHandle(TFd fd, dev_t dev, ino_t ino, bool identified = true, std::int64_t ownDisk = -1)
        : FFd(std::move(fd))
        , FDev(dev)
        , FIno(ino)
        , FIdentified(identified)
        , FOwnDisk(ownDisk)
    { }

    static std::unique_ptr<IDirHandle> Make(TFd fd, int &err)
    {
        struct stat st
        { };
        if (::fstat(fd.Get(), &st) != 0) {
            err = errno;
            return nullptr;
        }
        err = 0;
        return std::make_unique<TLinuxDirHandle>(
            std::move(fd), st.st_dev, st.st_ino, true, static_cast<std::int64_t>(st.st_blocks) * 512);
    }

    [[nodiscard]] std::int64_t OwnDiskSize() const override { return FOwnDisk; }

    long ReadFileStart(std::string_view name, char *buffer, std::size_t size) override
    {
        if (FFd.Get() < 0)
            return -1;
        const std::string n(name);
        TFd fd(::openat(FFd.Get(), n.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK));
        if (fd.Get() < 0)
            return -1;
        struct stat st
        { };
        if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
            return -1;
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n2 = ::read(fd.Get(), buffer + done, size - done);
            if (n2 < 0 && errno == EINTR)
                continue;
            if (n2 <= 0)
                break;
            done += static_cast<std::size_t>(n2);
        }
        return static_cast<long>(done);
    }

    int ReadAll(TDirListing &out, const std::atomic<bool> &stop) override
    {
        out.Clear();
        if (FFd.Get() < 0)
            return EBADF;
        // A fresh descriptor is at the start already (the common case: one listing per folder).
        if (FRead && ::lseek(FFd.Get(), 0, SEEK_SET) < 0)
            return errno;
        FRead = true;
        std::vector<char> &buffer = Buffer();
        int statError = 0;
        for (;;) {
            const long n = ::syscall(SYS_getdents64, FFd.Get(), buffer.data(), buffer.size());
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            if (n == 0)
                return statError;
            for (long pos = 0; pos < n;) {
                const auto *d = reinterpret_cast<const linux_dirent64 *>(buffer.data() + pos);
                pos += d->d_reclen;
                const char *name = d->d_name;
                if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                    continue;
                if (stop.load(std::memory_order_relaxed))
                    return 0;
                const int err = AddEntry(out, name, d->d_type);
                // An entry that vanished meanwhile is no failure of the folder; a folder that
                // can be listed but not searched (no x permission) is.
                if (err && err != ENOENT && !statError)
                    statError = err;
            }
        }
    }

    std::unique_ptr<IDirHandle> OpenChild(std::string_view name, int &err, bool crossing) override
    {
        if (FFd.Get() < 0) {
            err = EBADF;
            return nullptr;
        }
        const std::string n(name);
        TFd fd(OpenDirAt(FFd.Get(), n.c_str(), err));
        if (fd.Get() < 0)
            return nullptr;
        if (crossing)
            return Make(std::move(fd), err);
        // The scan descends only into folders that the listing showed on this device, so
        // the child starts with its parent's device (a mount put there in the meantime then
        // shows as foreign below, not crossed); which directory it is, is asked only when
        // that matters, when it is parked (one system call less per folder).
        err = 0;
        return std::make_unique<TLinuxDirHandle>(std::move(fd), FDev, 0, false);
    }

    bool Identity(std::uint64_t &device, std::uint64_t &inode) override
    {
        if (!FIdentified) {
            struct stat st
            { };
            if (FFd.Get() < 0 || ::fstat(FFd.Get(), &st) != 0)
                return false;
            FDev = st.st_dev;
            FIno = st.st_ino;
            FIdentified = true;
        }
        device = FDev;
        inode = FIno;
        return true;
    }

    void Park() override
    {
        if (FFd.Get() >= 0 && !FIdentified) {
            struct stat st
            { };
            // Without an answer the handle cannot be reopened: Adopt then finds another one.
            if (::fstat(FFd.Get(), &st) == 0) {
                FDev = st.st_dev;
                FIno = st.st_ino;
            }
            FIdentified = true;
        }
        FFd.Reset();
        FRead = false;
    }

    int Reopen(IDirHandle *parent, const std::string &name) override
    {
        if (FFd.Get() >= 0)
            return 0;
        int err = 0;
        TFd fd;
        if (parent) {
            auto &p = static_cast<TLinuxDirHandle &>(*parent);
            if (p.FFd.Get() < 0)
                return EBADF;
            fd = TFd(OpenDirAt(p.FFd.Get(), name.c_str(), err));
        } else {
            fd = TFd(OpenDirAt(AT_FDCWD, name.empty() ? "." : name.c_str(), err, true));
        }
        if (fd.Get() < 0)
            return err;
        return Adopt(std::move(fd));
    }

    int Unpark(IDirHandle &child) override
    {
        if (FFd.Get() >= 0)
            return 0;
        auto &c = static_cast<TLinuxDirHandle &>(child);
        if (c.FFd.Get() < 0)
            return EBADF;
        int err = 0;
        TFd fd(OpenDirAt(c.FFd.Get(), "..", err));
        if (fd.Get() < 0)
            return err;
        return Adopt(std::move(fd));
    }

private:
    // Takes `fd` as this handle's descriptor when it is still the same directory as before:
    // a folder may have been moved away meanwhile, and a scan never continues in another one.
    int Adopt(TFd fd)
    {
        struct stat st
        { };
        if (::fstat(fd.Get(), &st) != 0)
            return errno;
        if (!FIdentified || st.st_dev != FDev || st.st_ino != FIno)
            return ESTALE;
        FFd = std::move(fd);
        FRead = false;
        return 0;
    }

    static std::vector<char> &Buffer()
    {
        thread_local std::vector<char> buffer(64 * 1024);
        return buffer;
    }

    // Adds one entry; returns the errno of statx, or 0. Without statx's answer the entry's
    // type still comes from the listing.
    int AddEntry(TDirListing &out, const char *name, unsigned char type)
    {
        int err = 0;
        struct statx sx; // filled by the call; read only when it succeeds
        const unsigned mask
            = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_BLOCKS | STATX_INO | STATX_NLINK;
        std::uint16_t attributes = 0;
        std::int64_t size = 0;
        double timestamp = 0;
        std::int64_t disk = -1;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::uint32_t links = 1;
        if (::statx(FFd.Get(), name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC, mask, &sx) == 0) {
            const mode_t mode = sx.stx_mode;
            if (S_ISDIR(mode)) {
                attributes |= FileAttr::Directory;
                // A mount point is shown, never descended: a folder on another device, or the
                // root of a bind mount of this same file system (same device, so only the
                // mount-root attribute tells).
                if (makedev(sx.stx_dev_major, sx.stx_dev_minor) != FDev
                    || (sx.stx_attributes_mask & sx.stx_attributes & STATX_ATTR_MOUNT_ROOT))
                    attributes |= FileAttr::ReparsePoint;
            } else if (S_ISLNK(mode)) {
                attributes |= FileAttr::ReparsePoint;
            } else if (S_ISREG(mode)) {
                size = static_cast<std::int64_t>(sx.stx_size);
            } else {
                attributes |= FileAttr::System; // a FIFO, socket or device
            }
            if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
                attributes |= FileAttr::ReadOnly;
            if (sx.stx_attributes_mask & sx.stx_attributes & STATX_ATTR_COMPRESSED)
                attributes |= FileAttr::Compressed;
            timestamp = UnixTimeToDateTime(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
            if (sx.stx_mask & STATX_BLOCKS)
                disk = static_cast<std::int64_t>(std::min<std::uint64_t>(sx.stx_blocks, INT64_MAX / 512) * 512);
            device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
            inode = sx.stx_ino;
            if (!S_ISDIR(mode) && (sx.stx_mask & STATX_NLINK))
                links = sx.stx_nlink;
        } else {
            err = errno;
            if (type == DT_DIR)
                attributes |= FileAttr::Directory;
            else if (type == DT_LNK)
                attributes |= FileAttr::ReparsePoint;
        }
        // An entry that vanished between listing and statx is still reported, as a file of
        // 0 bytes: the listing said it was there.
        if (name[0] == '.')
            attributes |= FileAttr::Hidden;
        out.Add(name, attributes, size, timestamp);
        TRawDirEntry &entry = out.Entries.back();
        entry.DiskSize = disk;
        entry.Device = device;
        entry.Inode = inode;
        entry.Links = links;
        return err;
    }

    TFd FFd;
    dev_t FDev;
    ino_t FIno;
    bool FRead = false; // the descriptor's position may have moved from the start
    bool FIdentified; // FDev and FIno were read from the descriptor (else FDev is the parent's)
    std::int64_t FOwnDisk; // the folder's blocks, when opened by path
};

} // namespace

double UnixTimeToDateTime(std::int64_t seconds, std::uint32_t nanoseconds)
{
    return UnixSecondsToLocalDateTime(seconds, nanoseconds);
}

std::unique_ptr<IDirHandle> TLinuxDirLister::Open(const std::string &path, int &err)
{
    // The folder the user named may itself be a link; below it nothing is followed.
    TFd fd(OpenDirAt(AT_FDCWD, path.empty() ? "." : path.c_str(), err, true));
    if (fd.Get() < 0)
        return nullptr;
    return TLinuxDirHandle::Make(std::move(fd), err);
}
