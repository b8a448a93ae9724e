#include "TempTree.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
void Check(bool ok, const std::string &what)
{
    if (!ok)
        throw std::runtime_error(what + ": " + std::strerror(errno));
}

std::string Parent(const std::string &path)
{
    const auto pos = path.rfind('/');
    return pos == std::string::npos ? std::string() : path.substr(0, pos);
}
} // namespace

TempTree::TempTree()
{
    const char *tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/zumbrel-test-XXXXXX";
    Check(mkdtemp(tmpl.data()) != nullptr, "mkdtemp");
    FPath = tmpl;
}

TempTree::~TempTree()
{
    std::error_code ec;
    // Make everything writable and searchable again before removal (tests may have locked folders).
    for (auto it = std::filesystem::recursive_directory_iterator(
             FPath, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            ::chmod(it->path().c_str(), 0755);
    }
    std::filesystem::remove_all(FPath, ec);
}

void TempTree::MakeDir(std::string_view rel) const
{
    std::filesystem::create_directories(FPath + "/" + std::string(rel));
}

void TempTree::MakeFile(std::string_view rel, std::int64_t size) const
{
    const std::string path = FPath + "/" + std::string(rel);
    std::filesystem::create_directories(Parent(path));
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    Check(fd >= 0, "open " + path);
    const int rc = ::ftruncate(fd, size);
    ::close(fd);
    Check(rc == 0, "ftruncate " + path);
}

void TempTree::MakeSymlink(std::string_view rel, std::string_view target) const
{
    const std::string path = FPath + "/" + std::string(rel);
    std::filesystem::create_directories(Parent(path));
    Check(::symlink(std::string(target).c_str(), path.c_str()) == 0, "symlink " + path);
}

void TempTree::MakeHardLink(std::string_view rel, std::string_view existingRel) const
{
    const std::string path = FPath + "/" + std::string(rel);
    Check(::link((FPath + "/" + std::string(existingRel)).c_str(), path.c_str()) == 0, "link " + path);
}

void TempTree::MakeFifo(std::string_view rel) const
{
    const std::string path = FPath + "/" + std::string(rel);
    std::filesystem::create_directories(Parent(path));
    Check(::mkfifo(path.c_str(), 0644) == 0, "mkfifo " + path);
}

void TempTree::SetMtime(std::string_view rel, std::int64_t seconds) const
{
    const std::string path = FPath + "/" + std::string(rel);
    timespec times[2] = {{seconds, 0}, {seconds, 0}};
    Check(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0, "utimensat " + path);
}
