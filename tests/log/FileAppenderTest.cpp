#include "log/FileAppender.h"

#include <filesystem>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "LogTestSupport.h"
#include "log/Logger.h"
#include "support/TempTree.h"

namespace {

namespace fs = std::filesystem;

struct TFileFixture : testing::Test
{
    TempTree Tree;
    TLogHierarchy Hierarchy;
    TInternalChannelCapture Channel;

    template <typename T> std::shared_ptr<T> Attach(const std::string &name)
    {
        auto appender = std::make_shared<T>(name);
        appender->SetLayout(std::make_shared<TLogPatternLayout>("%m%n"));
        Hierarchy.Root().AddAppender(appender);
        return appender;
    }
};

TEST_F(TFileFixture, AppendKeepsOldContentOtherwiseTheFileIsEmptiedAndFoldersAreMade)
{
    const std::string path = Tree / "new/sub dir/app.log";
    auto appender = Attach<TLogFileAppender>("F");
    ASSERT_TRUE(appender->OpenFile(path));
    Hierarchy.Root().Info("first");
    EXPECT_EQ(ReadWholeFile(path), "first\n");

    appender->SetAppend(true);
    ASSERT_TRUE(appender->OpenFile(path));
    Hierarchy.Root().Info("second");
    EXPECT_EQ(ReadWholeFile(path), "first\nsecond\n");

    appender->SetAppend(false);
    ASSERT_TRUE(appender->OpenFile(path));
    Hierarchy.Root().Info("third");
    EXPECT_EQ(ReadWholeFile(path), "third\n");
    EXPECT_EQ(Channel.Text(), "");
}

TEST_F(TFileFixture, FilesThatCannotBeOpenedAreReportedNotThrown)
{
    Tree.MakeFile("plain-file");
    Tree.MakeDir("a-dir");
    const std::string cases[] = {Tree / "plain-file/below.log", Tree / "a-dir", ""};
    for (const std::string &path : cases) {
        SCOPED_TRACE(path);
        TLogFileAppender appender("F");
        EXPECT_FALSE(appender.OpenFile(path));
        EXPECT_FALSE(appender.NotReadyReason().empty());
    }
    const std::string text = Channel.Text();
    EXPECT_NE(text.find("Not a directory"), std::string::npos) << text;
    EXPECT_NE(text.find("Is a directory"), std::string::npos) << text;
}

TEST_F(TFileFixture, WriteFailuresGoToTheErrorHandlerOnce)
{
    if (::access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full";
    auto appender = Attach<TLogFileAppender>("Full");
    ASSERT_TRUE(appender->OpenFile("/dev/full"));
    Hierarchy.Root().Info("lost");
    Hierarchy.Root().Info("lost again");
    const auto lines = Channel.Lines();
    ASSERT_EQ(lines.size(), 1u) << Channel.Text();
    EXPECT_NE(lines[0].find("No space left on device"), std::string::npos);
}

TEST_F(TFileFixture, FallbackHandlerPassesFailedEventsToItsBackup)
{
    if (::access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full";
    auto primary = Attach<TLogFileAppender>("Primary");
    ASSERT_TRUE(primary->OpenFile("/dev/full"));
    std::ostringstream out;
    auto backup = std::make_shared<TLogStreamAppender>("Backup", out);
    backup->SetLayout(std::make_shared<TLogPatternLayout>("backup: %m%n"));
    auto handler = std::make_shared<TLogFallbackErrorHandler>();
    EXPECT_FALSE(handler->SetBackupAppender(primary, primary.get())) << "falling back on itself would deadlock";
    ASSERT_TRUE(handler->SetBackupAppender(backup, primary.get()));
    primary->SetErrorHandler(handler);
    Hierarchy.Root().Info("saved");
    Hierarchy.Root().Info("saved too");
    EXPECT_EQ(out.str(), "backup: saved\nbackup: saved too\n");
    EXPECT_EQ(Channel.Lines().size(), 1u);
}

TEST_F(TFileFixture, HtmlFileGetsHeaderOnceAndFooterOnClose)
{
    const std::string path = Tree / "log.html";
    auto appender = std::make_shared<TLogFileAppender>("H");
    ASSERT_TRUE(appender->OpenFile(path));
    appender->SetLayout(std::make_shared<TLogHTMLLayout>());
    Hierarchy.Root().AddAppender(appender);
    Hierarchy.Root().Info("one");
    Hierarchy.Root().Info("two");
    Hierarchy.Shutdown();
    Hierarchy.Root().Info("after close");
    const std::string html = ReadWholeFile(path);
    EXPECT_EQ(html.find("<!DOCTYPE html>"), 0u);
    EXPECT_EQ(html.rfind("<!DOCTYPE html>"), 0u);
    EXPECT_NE(html.find("<td>two</td>"), std::string::npos);
    EXPECT_EQ(html.find("after close"), std::string::npos);
    EXPECT_TRUE(html.ends_with("</html>\n"));
}

// ---- rolling ----

TEST_F(TFileFixture, RolledHtmlFilesAreEachACompletePage)
{
    const std::string path = Tree / "log.html";
    auto appender = std::make_shared<TLogRollingFileAppender>("H");
    appender->SetLayout(std::make_shared<TLogHTMLLayout>());
    appender->SetMaxFileSize(1);
    appender->SetMaxBackupIndex(2);
    ASSERT_TRUE(appender->OpenFile(path));
    Hierarchy.Root().AddAppender(appender);
    // Every event fills a file, which is closed with the footer and rolled.
    for (int i = 0; i < 3; ++i)
        Hierarchy.Root().Info("event " + std::to_string(i));
    Hierarchy.Shutdown();
    for (const auto &[file, event] : {std::pair {path + ".2", "event 1"}, std::pair {path + ".1", "event 2"}}) {
        SCOPED_TRACE(file);
        const std::string html = ReadWholeFile(file);
        EXPECT_TRUE(html.starts_with("<!DOCTYPE html>"));
        EXPECT_NE(html.find(event), std::string::npos);
        EXPECT_TRUE(html.ends_with("</html>\n"));
    }
    EXPECT_EQ(ReadWholeFile(path), "") << "the new file has had no event yet";
    EXPECT_FALSE(fs::exists(path + ".3"));
}

TEST_F(TFileFixture, RollingKeepsMaxBackupIndexBackupsNewestFirst)
{
    const std::string path = Tree / "roll.log";
    auto appender = Attach<TLogRollingFileAppender>("R");
    appender->SetMaxFileSize(10);
    appender->SetMaxBackupIndex(2);
    ASSERT_TRUE(appender->OpenFile(path));
    // Each message is 10 bytes with its line end, so every event fills the file and rolls it.
    for (const char *message : {"message-1", "message-2", "message-3", "message-4"})
        Hierarchy.Root().Info(message);
    EXPECT_EQ(ReadWholeFile(path), "");
    EXPECT_EQ(ReadWholeFile(path + ".1"), "message-4\n");
    EXPECT_EQ(ReadWholeFile(path + ".2"), "message-3\n");
    EXPECT_FALSE(fs::exists(path + ".3"));
    EXPECT_EQ(Channel.Text(), "");
}

TEST_F(TFileFixture, RollingMovesExistingBackupsUpAndDropsTheOldest)
{
    const std::string path = Tree / "app.log";
    WriteWholeFile(path, "current\n");
    WriteWholeFile(path + ".1", "one\n");
    WriteWholeFile(path + ".3", "three\n");
    WriteWholeFile(path + ".4", "four\n");
    WriteWholeFile(path + ".01", "not a backup\n");
    auto appender = Attach<TLogRollingFileAppender>("R");
    appender->SetMaxBackupIndex(4);
    appender->SetAppend(true);
    ASSERT_TRUE(appender->OpenFile(path));
    appender->RollOver();
    EXPECT_EQ(ReadWholeFile(path), "");
    EXPECT_EQ(ReadWholeFile(path + ".1"), "current\n");
    EXPECT_EQ(ReadWholeFile(path + ".2"), "one\n");
    EXPECT_FALSE(fs::exists(path + ".3"));
    EXPECT_EQ(ReadWholeFile(path + ".4"), "three\n") << "backup 4 was deleted first, then 3 moved up";
    EXPECT_EQ(ReadWholeFile(path + ".01"), "not a backup\n");
}

TEST_F(TFileFixture, RollingWithNoBackupsNeverRolls)
{
    const std::string path = Tree / "grow.log";
    auto appender = Attach<TLogRollingFileAppender>("R");
    appender->SetMaxFileSize(4);
    appender->SetMaxBackupIndex(0);
    ASSERT_TRUE(appender->OpenFile(path));
    Hierarchy.Root().Info("12345");
    Hierarchy.Root().Info("67890");
    EXPECT_EQ(ReadWholeFile(path), "12345\n67890\n");
    EXPECT_FALSE(fs::exists(path + ".1"));
}

TEST_F(TFileFixture, RollingThatCannotRenameKeepsWritingToTheSameFile)
{
    // A folder in the place of the backup blocks the rename, for root as for anyone.
    Tree.MakeFile("app.log.1/keep");
    const std::string path = Tree / "app.log";
    auto appender = Attach<TLogRollingFileAppender>("R");
    appender->SetMaxFileSize(6);
    ASSERT_TRUE(appender->OpenFile(path));
    Hierarchy.Root().Info("first");
    Hierarchy.Root().Info("second");
    Hierarchy.Root().Info("third");
    EXPECT_EQ(ReadWholeFile(path), "first\nsecond\nthird\n");
    EXPECT_TRUE(fs::exists(Tree / "app.log.1/keep"));
    EXPECT_NE(Channel.Text().find("Is a directory"), std::string::npos) << Channel.Text();
}

// Only regular files roll: a log written to /dev/null or a FIFO must never see its device node or
// pipe renamed to a backup (run as root, that would move /dev/null away).
TEST_F(TFileFixture, RollingNeverRenamesADeviceNodeOrAFifo)
{
    Tree.MakeFifo("pipe");
    std::string drained;
    const int reader = ::open((Tree / "pipe").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    std::vector<std::string> outputs {Tree / "pipe"};
    if (::mknod((Tree / "null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0)
        outputs.push_back(Tree / "null");
    for (const std::string &path : outputs) {
        SCOPED_TRACE(path);
        struct stat before
        { };
        ASSERT_EQ(::lstat(path.c_str(), &before), 0);
        auto appender = Attach<TLogRollingFileAppender>("R" + path);
        appender->SetMaxFileSize(4);
        appender->SetMaxBackupIndex(2);
        ASSERT_TRUE(appender->OpenFile(path));
        for (int i = 0; i < 5; ++i)
            Hierarchy.Root().Info("longer than four bytes");
        appender->RollOver();
        struct stat after
        { };
        ASSERT_EQ(::lstat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode & S_IFMT, before.st_mode & S_IFMT);
        EXPECT_FALSE(fs::exists(path + ".1"));
        Hierarchy.Root().RemoveAllAppenders();
    }
    char buffer[4096];
    while (::read(reader, buffer, sizeof buffer) > 0) { }
    ::close(reader);
}

// A FIFO whose reader never reads: once the pipe is full, lines are dropped (and reported
// once), the logging call returns at once instead of waiting for the reader for good.
TEST_F(TFileFixture, AFullFifoDropsLinesInsteadOfBlocking)
{
    Tree.MakeFifo("pipe");
    const int reader = ::open((Tree / "pipe").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    auto appender = Attach<TLogFileAppender>("F");
    ASSERT_TRUE(appender->OpenFile(Tree / "pipe"));
    const std::string line(1000, 'x');
    for (int i = 0; i < 200; ++i) // 200 KB, more than a pipe holds
        Hierarchy.Root().Info(line);
    EXPECT_NE(Channel.Text().find("cannot write"), std::string::npos) << Channel.Text();
    Hierarchy.Root().RemoveAllAppenders();
    ::close(reader);
}

struct TSizeCase
{
    const char *Text;
    std::int64_t Expected; // -1: rejected, the default stays
};

TEST(LogRollingOptions, MaxFileSizeAndMaxBackupIndexParsing)
{
    TInternalChannelCapture channel;
    const TSizeCase sizes[]
        = {{"1KB", 1024}, {"3kb", 3072}, {"2MB", 2097152}, {"1GB", 1073741824}, {"777", 777}, {"8589934592GB", -1},
            {"99999999999999999999", -1}, {"1 KB", -1}, {"KB", -1}, {"-5", -1}, {"0", -1}, {"1TB", -1}, {"", -1}};
    for (const TSizeCase &c : sizes) {
        SCOPED_TRACE(c.Text);
        TLogRollingFileAppender appender("R");
        EXPECT_TRUE(appender.SetOption("maxFileSize", c.Text));
        EXPECT_EQ(appender.MaxFileSize(), c.Expected < 0 ? 10485760 : c.Expected);
    }
    const std::pair<const char *, int> indexes[]
        = {{"7", 7}, {"0", 0}, {"-3", -3}, {"2147483648", 1}, {"abc", 1}, {" 2", 1}};
    for (const auto &[text, expected] : indexes) {
        SCOPED_TRACE(text);
        TLogRollingFileAppender appender("R");
        EXPECT_TRUE(appender.SetOption("MAXBACKUPINDEX", text));
        EXPECT_EQ(appender.MaxBackupIndex(), expected);
    }
}

} // namespace
