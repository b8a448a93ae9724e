#include "import/ImportInput.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool StartsWith(std::string_view head, std::string_view magic)
{
    return head.substr(0, magic.size()) == magic;
}

const char *FileTypeText(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder, not an analysis file";
    if (S_ISFIFO(mode))
        return "a FIFO, not an analysis file";
    if (S_ISSOCK(mode))
        return "a socket, not an analysis file";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device, not an analysis file";
    return "not a regular file";
}

} // namespace

int OpenAnalysisFile(const std::string &fileName, std::string &error)
{
    // O_NONBLOCK: opening a FIFO for reading otherwise waits for a writer, for ever.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    struct stat st
    { };
    if (::fstat(fd, &st) != 0) {
        error = std::strerror(errno);
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        error = FileTypeText(st.st_mode);
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        error = std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

std::size_t Utf8BomLength(std::string_view head)
{
    return StartsWith(head, "\xEF\xBB\xBF") ? 3 : 0;
}

std::string DescribeForeignContent(std::string_view head)
{
    struct TMagic
    {
        std::string_view Bytes;
        const char *Text;
    };
    static constexpr TMagic Magics[] = {
        {"\x1F\x8B", "a gzip-compressed file (unpack it first: gunzip)"},
        {"\x28\xB5\x2F\xFD", "a zstd-compressed file (unpack it first: unzstd; ncdu writes these with -c)"},
        {"\xFD"
         "7zXZ",
            "an xz-compressed file (unpack it first: unxz)"},
        {"BZh", "a bzip2-compressed file (unpack it first: bunzip2)"},
        {"PK\x03\x04", "a zip archive, not an analysis file"},
        {"\x7F"
         "ELF",
            "a program, not an analysis file"},
        {"%PDF", "a PDF document, not an analysis file"},
        {"\xFF\xFE", "UTF-16 text; an analysis is UTF-8 JSON"},
        {"\xFE\xFF", "UTF-16 text; an analysis is UTF-8 JSON"},
    };
    for (const TMagic &magic : Magics)
        if (StartsWith(head, magic.Bytes))
            return magic.Text;
    head.remove_prefix(Utf8BomLength(head));
    const std::size_t first = head.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return head.size() < 8 ? std::string() : "only white space, not an analysis file";
    for (const char b : head)
        if (b == '\0' || (static_cast<unsigned char>(b) < 0x20 && b != '\t' && b != '\r' && b != '\n'))
            return "binary data, not an analysis file";
    // JSON of another shape is left to the parser, which says what it lacks.
    const char c = head[first];
    if (std::string_view("[{\"-0123456789tfn").find(c) != std::string_view::npos)
        return {};
    return "text that is not an analysis in JSON (an analysis starts with \"[\")";
}
