#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
        EXPECT_EQ(Entries(tree.Path()), std::vector<std::string> {"out.csv"}); // the temporary file has no name
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

// ---- files written for someone else's benefit: links, descriptors, ownership ----

constexpr uid_t OtherUser = 12345;
constexpr uid_t ThirdUser = 23456;
constexpr uid_t Nobody = 65534;

struct stat StatOf(const std::string &path)
{
    struct stat st
    { };
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

// Writes `text` through a writer and commits; returns "" or the error's text.
std::string Save(const std::string &path, const std::string &text)
{
    try {
        TAtomicFileWriter writer(path);
        writer.Stream() << text;
        writer.Commit();
        return {};
    } catch (const EFileWriteError &e) {
        return e.what();
    }
}

// Runs `body` in a child process with the user and group ids of `uid`; its exit code.
int AsUser(uid_t uid, const std::function<int()> &body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(uid) != 0 || ::setuid(uid) != 0)
            ::_exit(99);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

class WriterRulesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root to give files to other users";
        ASSERT_EQ(::chmod(FTree.Path().c_str(), 0755), 0);
    }

    TempTree FTree;
};

// A link another user planted in a shared sticky folder (/tmp, say) is not followed, as the
// kernel's protected_symlinks rule would not follow it; links of the folder's owner or our own,
// and links in ordinary folders, are.
TEST_F(WriterRulesTest, PlantedLinksInStickyWorldWritableFoldersAreNotFollowed)
{
    const std::string victim = FTree / "victim";
    WriteFile(victim, "secret");
    ASSERT_EQ(::chmod(victim.c_str(), 0600), 0);
    FTree.MakeDir("shared");
    FTree.MakeDir("private");
    ASSERT_EQ(::chown((FTree / "shared").c_str(), OtherUser, OtherUser), 0);
    ASSERT_EQ(::chmod((FTree / "shared").c_str(), 01777), 0);
    const struct
    {
        const char *folder;
        uid_t linkOwner;
        bool followed;
    } cases[] = {
        {"shared", ThirdUser, false}, // neither ours nor the folder owner's
        {"shared", OtherUser, true}, // the folder's owner
        {"shared", 0, true}, // our own
        {"private", ThirdUser, true}, // no sticky shared folder
    };
    for (const auto &c : cases) {
        WriteFile(victim, "secret");
        const std::string link = FTree / (std::string(c.folder) + "/report.csv");
        ::unlink(link.c_str());
        ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
        ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
        const std::string error = Save(link, "new");
        SCOPED_TRACE(std::string(c.folder) + " link of uid " + std::to_string(c.linkOwner));
        if (c.followed) {
            EXPECT_EQ(error, "");
            EXPECT_EQ(ReadFile(victim), "new");
        } else {
            EXPECT_EQ(error.rfind(link + ": Permission denied", 0), 0u) << error;
            EXPECT_EQ(ReadFile(victim), "secret");
            EXPECT_EQ(StatOf(victim).st_mode & 07777, 0600u);
        }
        EXPECT_TRUE(S_ISLNK(StatOf(link).st_mode));
    }
    // A planted link to a folder on the way is refused as well.
    WriteFile(victim, "secret");
    ASSERT_EQ(::symlink(FTree.Path().c_str(), (FTree / "shared/dir").c_str()), 0);
    ASSERT_EQ(::lchown((FTree / "shared/dir").c_str(), ThirdUser, ThirdUser), 0);
    EXPECT_NE(Save(FTree / "shared/dir/victim", "new"), "");
    EXPECT_EQ(ReadFile(victim), "secret");
}

// "--output /dev/stdout >> app.log" must add to app.log, not replace it by a new file.
TEST_F(WriterRulesTest, OwnDescriptorsAreWrittenThroughNeverReplaced)
{
    const std::string log = FTree / "app.log";
    WriteFile(log, "old\n");
    const ino_t inode = StatOf(log).st_ino;
    const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (const std::string &name : {"/dev/fd/" + std::to_string(fd), "/proc/self/fd/" + std::to_string(fd),
             "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(fd)}) {
        EXPECT_EQ(Save(name, name + "\n"), "");
    }
    // And standard output itself, in a child whose standard output is the log.
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(fd, STDOUT_FILENO);
        ::_exit(Save("/dev/stdout", "stdout\n").empty() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    ::close(fd);
    EXPECT_EQ(ReadFile(log),
        "old\n/dev/fd/" + std::to_string(fd) + "\n/proc/self/fd/" + std::to_string(fd) + "\n/proc/"
            + std::to_string(::getpid()) + "/fd/" + std::to_string(fd) + "\nstdout\n");
    EXPECT_EQ(StatOf(log).st_ino, inode);
    EXPECT_EQ(Entries(FTree.Path()), std::vector<std::string> {"app.log"});
    // A descriptor that is not open is an error, not a file to create.
    EXPECT_NE(Save("/dev/fd/987", "x"), "");
}

// A read-only file is refused like the shell refuses it, root included, and left as it was.
TEST_F(WriterRulesTest, ReadOnlyFilesAreRefusedAndUntouched)
{
    const std::string path = FTree / "report.csv";
    WriteFile(path, "keep");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(Save(path, "new"), path + ": Permission denied");
    EXPECT_EQ(ReadFile(path), "keep");
    EXPECT_EQ(StatOf(path).st_mode & 07777, 0444u);

    // The same for a user writing a read-only file of their own in their own folder.
    FTree.MakeDir("home");
    const std::string own = FTree / "home/own.csv";
    WriteFile(own, "keep");
    ASSERT_EQ(::chmod(own.c_str(), 0444), 0);
    ASSERT_EQ(::chown((FTree / "home").c_str(), Nobody, Nobody), 0);
    ASSERT_EQ(::chown(own.c_str(), Nobody, Nobody), 0);
    EXPECT_EQ(AsUser(Nobody, [&] { return Save(own, "new") == own + ": Permission denied" ? 0 : 1; }), 0);
    EXPECT_EQ(ReadFile(own), "keep");
}

// Where replacing would break what the user set up, the file is written in place.
TEST_F(WriterRulesTest, HardLinksOwnershipAndLockedFoldersAreKept)
{
    // Several names for one file: every name sees the new content.
    const std::string first = FTree / "first.csv";
    WriteFile(first, "old");
    FTree.MakeHardLink("second.csv", "first.csv");
    EXPECT_EQ(Save(first, "new"), "");
    EXPECT_EQ(ReadFile(FTree / "second.csv"), "new");
    EXPECT_EQ(StatOf(first).st_nlink, 2u);

    // Another user's writable file keeps its owner, group and mode.
    const std::string theirs = FTree / "theirs.csv";
    WriteFile(theirs, "old content that is longer");
    ASSERT_EQ(::chown(theirs.c_str(), OtherUser, ThirdUser), 0);
    ASSERT_EQ(::chmod(theirs.c_str(), 0666), 0);
    EXPECT_EQ(Save(theirs, "new"), "");
    EXPECT_EQ(ReadFile(theirs), "new");
    EXPECT_EQ(StatOf(theirs).st_uid, OtherUser);
    EXPECT_EQ(StatOf(theirs).st_gid, ThirdUser);
    EXPECT_EQ(StatOf(theirs).st_mode & 07777, 0666u);

    // A writable file in a folder the user may not write can still be saved.
    FTree.MakeDir("locked");
    const std::string inLocked = FTree / "locked/mine.csv";
    WriteFile(inLocked, "old");
    ASSERT_EQ(::chown(inLocked.c_str(), Nobody, Nobody), 0);
    EXPECT_EQ(AsUser(Nobody, [&] { return Save(inLocked, "new").empty() ? 0 : 1; }), 0);
    EXPECT_EQ(ReadFile(inLocked), "new");
    EXPECT_EQ(StatOf(inLocked).st_uid, Nobody);

    // A dangling link creates the file it names, and stays a link.
    FTree.MakeSymlink("dangling.csv", "created.csv");
    EXPECT_EQ(Save(FTree / "dangling.csv", "made"), "");
    EXPECT_TRUE(S_ISLNK(StatOf(FTree / "dangling.csv").st_mode));
    EXPECT_EQ(ReadFile(FTree / "created.csv"), "made");

    // Nothing half-made is left in any folder.
    EXPECT_EQ(Entries(FTree.Path()),
        (std::vector<std::string> {"created.csv", "dangling.csv", "first.csv", "locked", "second.csv", "theirs.csv"}));
    EXPECT_EQ(Entries(FTree / "locked"), std::vector<std::string> {"mine.csv"});
}

// An export killed half-way leaves no temporary file behind: the file has no name until it is
// complete, and where the file system cannot do that, the terminating signals remove it.
TEST_F(WriterRulesTest, AnInterruptedWriteLeavesNoTemporaryFile)
{
    const struct
    {
        bool unnamed;
        int signal;
    } cases[] = {{true, SIGKILL}, {true, SIGTERM}, {false, SIGINT}, {false, SIGTERM}, {false, SIGHUP}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.unnamed ? "unnamed, " : "named, ") + ::strsignal(c.signal));
        const std::string path = FTree / "big.csv";
        WriteFile(path, "old");
        const pid_t child = ::fork();
        if (child == 0) {
            TAtomicFileWriter::AllowUnnamedTempFiles(c.unnamed);
            TAtomicFileWriter writer(path);
            writer.Stream() << std::string(1 << 20, 'x');
            writer.Stream().flush();
            ::raise(c.signal);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
        EXPECT_EQ(Entries(FTree.Path()), std::vector<std::string> {"big.csv"});
        EXPECT_EQ(ReadFile(path), "old");
    }
    // The named temporary file still gets its place when nothing interrupts it.
    TAtomicFileWriter::AllowUnnamedTempFiles(false);
    EXPECT_EQ(Save(FTree / "big.csv", "named"), "");
    TAtomicFileWriter::AllowUnnamedTempFiles(true);
    EXPECT_EQ(ReadFile(FTree / "big.csv"), "named");
    EXPECT_EQ(Entries(FTree.Path()), std::vector<std::string> {"big.csv"});
}

// A file that cannot be replaced (here: two hard links) keeps its old content until the whole
// new content exists elsewhere: an interrupt, a failed export and a full disk leave it as it
// was, and two exports at once give one complete result, never a mixture.
class InPlaceWriterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FStage = FTree / "stage";
        FTree.MakeDir("stage");
        const char *old = std::getenv("TMPDIR");
        FOldTmp = old ? std::optional<std::string>(old) : std::nullopt;
        ::setenv("TMPDIR", FStage.c_str(), 1);
    }
    void TearDown() override
    {
        if (FOldTmp)
            ::setenv("TMPDIR", FOldTmp->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }
    // "<folder>/out.csv" holding `old`, with a second name beside it.
    std::string Linked(const std::string &folder, const std::string &old)
    {
        WriteFile(folder + "/out.csv", old);
        EXPECT_EQ(::link((folder + "/out.csv").c_str(), (folder + "/other.csv").c_str()), 0);
        return folder + "/out.csv";
    }

    TempTree FTree;
    std::string FStage;
    std::optional<std::string> FOldTmp;
};

TEST_F(InPlaceWriterTest, TheOldContentStaysUntilTheNewIsComplete)
{
    const std::string path = Linked(FTree.Path(), "old content");
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed" : "named");
        // Killed by SIGINT half way through a long export.
        const pid_t child = ::fork();
        if (child == 0) {
            TAtomicFileWriter::AllowUnnamedTempFiles(unnamed);
            TAtomicFileWriter writer(path);
            writer.Stream() << std::string(4 << 20, 'x');
            writer.Stream().flush();
            ::raise(SIGINT);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
        EXPECT_EQ(ReadFile(path), "old content");
        EXPECT_TRUE(Entries(FStage).empty()) << "the complete copy goes with the process";
    }
    // Written, not committed: nothing changes.
    {
        TAtomicFileWriter writer(path);
        ASSERT_EQ(writer.Method(), TAtomicFileWriter::TMethod::InPlace);
        writer.Stream() << "never";
    }
    EXPECT_EQ(ReadFile(path), "old content");
    // Committed: both names see the new content, the stage is gone.
    EXPECT_EQ(Save(path, "new"), "");
    EXPECT_EQ(ReadFile(FTree / "other.csv"), "new");
    EXPECT_TRUE(Entries(FStage).empty());
}

TEST_F(InPlaceWriterTest, TwoExportsAtOnceGiveOneCompleteResult)
{
    const std::string path = Linked(FTree.Path(), "old");
    const std::string a(300000, 'a');
    const std::string b(200000, 'b');
    for (int round = 0; round < 20; ++round) {
        std::thread first([&] { EXPECT_EQ(Save(path, a), ""); });
        std::thread second([&] { EXPECT_EQ(Save(path, b), ""); });
        first.join();
        second.join();
        const std::string result = ReadFile(path);
        ASSERT_TRUE(result == a || result == b) << "round " << round << ": " << result.size() << " bytes";
    }
}

// A full disk under the file, and a full temporary folder: the export fails, the old content
// stays. Needs a small tmpfs of its own.
TEST_F(InPlaceWriterTest, AFullDiskKeepsTheOldContent)
{
    FTree.MakeDir("small");
    const std::string small = FTree / "small";
    if (::geteuid() != 0 || std::system(("mount -t tmpfs -o size=1m tmpfs " + small + " 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "mounting a tmpfs needs root (and mount permission); not tested here";
    struct TUnmount
    {
        std::string Path;
        ~TUnmount() { (void)std::system(("umount " + Path).c_str()); }
    } unmount {small};

    const std::string path = Linked(small, std::string(100000, 'o'));
    // Fill the rest of the disk.
    {
        std::ofstream fill(small + "/fill", std::ios::binary);
        const std::string block(4096, 'f');
        for (int i = 0; i < 1024 && fill; ++i)
            fill << block;
    }
    const std::string message = Save(path, std::string(600000, 'n'));
    EXPECT_NE(message.find("the old content is kept"), std::string::npos) << message;
    EXPECT_EQ(ReadFile(path), std::string(100000, 'o'));

    // The temporary folder itself on the full disk: refused before the file is touched.
    ::setenv("TMPDIR", small.c_str(), 1);
    EXPECT_NE(Save(path, std::string(600000, 'n')), "");
    EXPECT_EQ(ReadFile(path), std::string(100000, 'o'));
}

} // namespace
