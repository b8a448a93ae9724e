#include "export/AtomicFileWriter.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "export/FdStream.h"

namespace {

std::string DirectoryOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string BaseNameOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Reading the umask through umask() would change it for a moment for every thread.
mode_t CurrentUmask()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    }
    return 022;
}

} // namespace

EFileWriteError::EFileWriteError(const std::string &fileName, int errorCode)
    : std::runtime_error(fileName + ": " + std::generic_category().message(errorCode))
    , FFileName(fileName)
    , FErrorCode(errorCode)
{ }

TAtomicFileWriter::TAtomicFileWriter(std::string fileName)
    : FFileName(std::move(fileName))
    , FTargetPath(FFileName)
{
    if (FFileName.empty())
        throw EFileWriteError(FFileName, ENOENT);
    if (!FFileName.empty() && FFileName.back() == '/')
        throw EFileWriteError(FFileName, EISDIR);

    struct stat st
    { };
    mode_t mode = 0666 & ~CurrentUmask();
    if (::lstat(FFileName.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        // Saving through a link updates the file it names rather than replacing the link.
        if (char *resolved = ::realpath(FFileName.c_str(), nullptr)) {
            FTargetPath = resolved;
            std::free(resolved);
        }
    }
    if (::stat(FTargetPath.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            throw EFileWriteError(FFileName, EISDIR);
        if (!S_ISREG(st.st_mode)) {
            FFd = ::open(FFileName.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
            if (FFd < 0)
                throw EFileWriteError(FFileName, errno);
            FInPlace = true;
            FStream = std::make_unique<TFdOStream>(FFd);
            return;
        }
        mode = st.st_mode & 07777;
    }

    // A short hidden name beside the target: the rename stays inside one file system.
    std::string base = BaseNameOf(FTargetPath).substr(0, 200);
    std::string pattern = DirectoryOf(FTargetPath) + "/." + base + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    FFd = ::mkostemp(name.data(), O_CLOEXEC);
    if (FFd < 0)
        throw EFileWriteError(FFileName, errno);
    FTempPath.assign(name.data());
    if (::fchmod(FFd, mode) != 0) {
        const int error = errno;
        Discard();
        throw EFileWriteError(FFileName, error);
    }
    FStream = std::make_unique<TFdOStream>(FFd);
}

TAtomicFileWriter::~TAtomicFileWriter()
{
    if (!FCommitted)
        Discard();
}

std::ostream &TAtomicFileWriter::Stream()
{
    if (!FStream)
        throw std::logic_error("The file writer is already done");
    return *FStream;
}

void TAtomicFileWriter::ThrowIfFailed() const
{
    if (FStream && FStream->ErrorCode() != 0)
        throw EFileWriteError(FFileName, FStream->ErrorCode());
}

void TAtomicFileWriter::Commit()
{
    if (!FStream)
        throw std::logic_error("The file writer is already done");
    FStream->flush();
    ThrowIfFailed();
    if (!*FStream)
        throw EFileWriteError(FFileName, EIO);
    FStream.reset();
    if (FInPlace) {
        const int fd = FFd;
        FFd = -1;
        if (::close(fd) != 0 && errno != EINTR)
            throw EFileWriteError(FFileName, errno);
        FCommitted = true;
        return;
    }
    // Some file systems report a full disk only here, or on close.
    if (::fsync(FFd) != 0 && errno != EINVAL && errno != EROFS) {
        const int error = errno;
        Discard();
        throw EFileWriteError(FFileName, error);
    }
    const int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0 && errno != EINTR) {
        const int error = errno;
        Discard();
        throw EFileWriteError(FFileName, error);
    }
    if (::rename(FTempPath.c_str(), FTargetPath.c_str()) != 0) {
        const int error = errno;
        Discard();
        throw EFileWriteError(FFileName, error);
    }
    FCommitted = true;
    FTempPath.clear();
    // Make the rename itself durable; a failure here changes nothing that was written.
    const int dirFd = ::open(DirectoryOf(FTargetPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
}

void TAtomicFileWriter::Discard() noexcept
{
    FStream.reset();
    if (FFd >= 0) {
        ::close(FFd);
        FFd = -1;
    }
    if (!FTempPath.empty()) {
        ::unlink(FTempPath.c_str());
        FTempPath.clear();
    }
}
