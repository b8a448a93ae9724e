#include <algorithm>
#include <csignal>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ExportTestTree.h"
#include "export/AtomicFileWriter.h"
#include "export/CsvTextExport.h"
#include "export/FdStream.h"
#include "support/TempTree.h"

namespace {

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// Names in the folder, so a test sees any temporary file left behind.
std::vector<std::string> Entries(const std::string &dir)
{
    std::vector<std::string> names;
    if (DIR *d = ::opendir(dir.c_str())) {
        while (const dirent *e = ::readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.emplace_back(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Lowers the file size limit so that writes fail with EFBIG, as a full disk fails them
// with ENOSPC, and restores limit and signal afterwards.
class TFileSizeLimit
{
public:
    explicit TFileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &FOld);
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = FOld;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }
    TFileSizeLimit(const TFileSizeLimit &) = delete;
    TFileSizeLimit &operator=(const TFileSizeLimit &) = delete;

private:
    rlimit FOld {};
    void (*FOldHandler)(int) = nullptr;
};

using AtomicWriterTest = ExportTest;

TEST_F(AtomicWriterTest, ReplacesTheFileOnlyOnCommitAndKeepsItsMode)
{
    TempTree tree;
    const std::string path = tree / "out.csv";
    WriteFile(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    {
        TAtomicFileWriter writer(path);
        writer.Stream() << "new content";
        writer.Stream().flush();
        EXPECT_EQ(ReadFile(path), "old");
        EXPECT_EQ(Entries(tree.Path()).size(), 2u); // the target and the hidden temporary file
        writer.Commit();
    }
    EXPECT_EQ(ReadFile(path), "new content");
    EXPECT_EQ(Entries(tree.Path()), std::vector<std::string> {"out.csv"});
    struct stat st
    { };
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(AtomicWriterTest, PipesAndDevicesAreWrittenInPlaceNeverReplaced)
{
    TempTree tree;
    // A FIFO with a reader, and a link to /dev/null (as "--output /dev/null" would be).
    const std::string fifo = tree / "fifo";
    tree.MakeFifo("fifo");
    std::string received;
    std::thread reader([&] { received = ReadFile(fifo); });
    {
        TAtomicFileWriter writer(fifo);
        writer.Stream() << "through the pipe";
        writer.Commit();
    }
    reader.join();
    EXPECT_EQ(received, "through the pipe");
    tree.MakeSymlink("null", "/dev/null");
    {
        TAtomicFileWriter writer(tree / "null");
        writer.Stream() << "discarded";
        writer.Commit();
    }
    struct stat st
    { };
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    ASSERT_EQ(::lstat((tree / "null").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(Entries(tree.Path()).size(), 2u); // no temporary file left
}

TEST_F(AtomicWriterTest, WithoutCommitNothingChanges)
{
    TempTree tree;
    const std::string path = tree / "keep.txt";
    WriteFile(path, "old");
    {
        TAtomicFileWriter writer(path);
        writer.Stream() << "half";
    }
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_EQ(Entries(tree.Path()), std::vector<std::string> {"keep.txt"});
}

TEST_F(AtomicWriterTest, ReportsAMissingFolderWithTheSystemMessage)
{
    TempTree tree;
    const std::string path = tree / "missing/out.csv";
    try {
        TAtomicFileWriter writer(path);
        FAIL() << "no error";
    } catch (const EFileWriteError &e) {
        EXPECT_EQ(e.ErrorCode(), ENOENT);
        EXPECT_EQ(std::string(e.what()), path + ": No such file or directory");
    }
    EXPECT_THROW(TAtomicFileWriter writer(tree.Path()), EFileWriteError); // a folder
}

TEST_F(AtomicWriterTest, AWriteErrorLeavesTheOldFileAndNoPartialFile)
{
    TempTree tree;
    const std::string path = tree / "big.csv";
    WriteFile(path, "old");
    auto root = Root("/r", 0, 0);
    for (int i = 0; i < 5000; ++i)
        Dir(*root, "directory number " + std::to_string(i), i, i);
    TCsvTextExport exporter(root.get());
    {
        const TFileSizeLimit limit(4096);
        try {
            exporter.SaveToFile(path);
            FAIL() << "no error";
        } catch (const EFileWriteError &e) {
            EXPECT_EQ(e.ErrorCode(), EFBIG);
            EXPECT_EQ(e.FileName(), path);
        }
    }
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_EQ(Entries(tree.Path()), std::vector<std::string> {"big.csv"});

    exporter.SaveToFile(path);
    EXPECT_EQ(ReadFile(path).substr(0, 8), "/r,0,0\r\n");
}

TEST_F(AtomicWriterTest, SavingThroughALinkReplacesTheLinkedFile)
{
    TempTree tree;
    WriteFile(tree / "real.txt", "old");
    tree.MakeSymlink("link.txt", "real.txt");
    const auto root = Root("R", 1, 1);
    TCsvTextExport(root.get()).SaveToFile(tree / "link.txt");
    EXPECT_EQ(ReadFile(tree / "real.txt"), "R,1,1\r\n");
    struct stat st
    { };
    ASSERT_EQ(::lstat((tree / "link.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(AtomicWriterTest, StandardStreamsOverADescriptorReportTheSystemError)
{
    const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        GTEST_SKIP() << "no /dev/full";
    {
        TFdOStream out(fd);
        out << std::string(100000, 'x');
        out.flush();
        EXPECT_FALSE(out);
        EXPECT_EQ(out.ErrorCode(), ENOSPC);
    }
    ::close(fd);
}

} // namespace
