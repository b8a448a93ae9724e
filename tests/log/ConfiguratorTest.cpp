#include "log/Configurator.h"

#include <filesystem>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "LogTestSupport.h"
#include "log/FileAppender.h"
#include "log/Logger.h"
#include "support/TempTree.h"

namespace {

namespace fs = std::filesystem;

// A private hierarchy set up like the program's: root at debug with the "ODS" appender.
struct TConfigFixture : testing::Test
{
    TempTree Tree;
    TLogHierarchy Hierarchy;
    TInternalChannelCapture Channel;

    TConfigFixture() { RunProgramLoggingStartup(Hierarchy, ""); }

    void Configure(const std::string &text) { TLogPropertyConfigurator(Hierarchy).ConfigureFromText(text); }

    std::vector<std::string> AppenderNames(TLogLogger &logger)
    {
        std::vector<std::string> names;
        for (const auto &appender : logger.Appenders())
            names.push_back(appender->Name());
        return names;
    }
    using TNames = std::vector<std::string>;
};

TEST_F(TConfigFixture, StartupGivesRootDebugAndTheODSAppenderWithTheDefaultPattern)
{
    EXPECT_EQ(Hierarchy.Root().Level(), &TLogLevel::Debug);
    ASSERT_EQ(AppenderNames(Hierarchy.Root()), TNames {"ODS"});
    auto appender = Hierarchy.Root().GetAppender("ODS");
    EXPECT_NE(dynamic_cast<TLogODSAppender *>(appender.get()), nullptr);
    auto layout = std::dynamic_pointer_cast<TLogPatternLayout>(appender->Layout());
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(layout->Pattern(), "%r [%t] %p %c %x - %m%n");
}

TEST_F(TConfigFixture, TheFileOfTheTaskWritesPatternLinesIntoARollingFile)
{
    const std::string path = Tree / "logs/zumbrel.log";
    Configure("log4d.rootLogger=info,R\n"
              "log4d.appender.R=TLogRollingFileAppender\n"
              "log4d.appender.R.append=true\n"
              "log4d.appender.R.fileName="
        + path
        + "\n"
          "log4d.appender.R.maxFileSize=1KB\n"
          "log4d.appender.R.maxBackupIndex=2\n"
          "log4d.appender.R.layout=TLogPatternLayout\n"
          "log4d.appender.R.layout.pattern=%p %c - %m%n\n");
    EXPECT_EQ(Channel.Text(), "");
    EXPECT_EQ(Hierarchy.Root().Level(), &TLogLevel::Info);
    ASSERT_EQ(AppenderNames(Hierarchy.Root()), TNames {"R"}) << "the entry replaced the ODS appender";
    auto rolling = std::dynamic_pointer_cast<TLogRollingFileAppender>(Hierarchy.Root().GetAppender("R"));
    ASSERT_NE(rolling, nullptr);
    EXPECT_EQ(rolling->MaxFileSize(), 1024);
    EXPECT_EQ(rolling->MaxBackupIndex(), 2);
    EXPECT_TRUE(rolling->Append());
    Hierarchy.GetLogger("Zumbrel").Debug("not at info");
    Hierarchy.GetLogger("Zumbrel").Info("CmdLine: zumbrel-cli scan /tmp");
    EXPECT_EQ(ReadWholeFile(path), "info Zumbrel - CmdLine: zumbrel-cli scan /tmp\n");
}

TEST_F(TConfigFixture, AppendCountsOnlyWhenItComesBeforeFileName)
{
    const std::string before = Tree / "before.log";
    const std::string after = Tree / "after.log";
    WriteWholeFile(before, "old\n");
    WriteWholeFile(after, "old\n");
    Configure("log4d.rootLogger=,A,B\n"
              "log4d.appender.A=TLogFileAppender\n"
              "log4d.appender.A.layout=TLogSimpleLayout\n"
              "log4d.appender.A.append=YES\n"
              "log4d.appender.A.fileName="
        + before
        + "\n"
          "log4d.appender.B=TLogFileAppender\n"
          "log4d.appender.B.layout=TLogSimpleLayout\n"
          "log4d.appender.B.fileName="
        + after + "\nlog4d.appender.B.append=true\n");
    Hierarchy.Root().Warn("new");
    EXPECT_EQ(ReadWholeFile(before), "old\nwarn - new\n");
    EXPECT_EQ(ReadWholeFile(after), "warn - new\n");
    EXPECT_EQ(Hierarchy.Root().Level(), &TLogLevel::Debug) << "an empty level token keeps the level";
}

TEST_F(TConfigFixture, TokensAreNotTrimmedAndLoggerEntriesReplaceAppenders)
{
    Configure("log4d.appender.N=TLogNullAppender\n"
              "log4d.appender. N=TLogNullAppender\n"
              "log4d.logger.Zumbrel=warn, N\n"
              "log4d.logger.Zumbrel.scan=inherited,N\n"
              "log4d.logger.other=info,N,ODS\n"
              "log4d.additive.Zumbrel=no\n"
              "log4d.additive.other=maybe\n");
    TLogLogger &zumbrel = Hierarchy.GetLogger("Zumbrel");
    EXPECT_EQ(zumbrel.Level(), &TLogLevel::Warn);
    EXPECT_EQ(AppenderNames(zumbrel), TNames {" N"}) << "the blank belongs to the name";
    EXPECT_FALSE(zumbrel.Additive());
    TLogLogger &scan = Hierarchy.GetLogger("Zumbrel.scan");
    EXPECT_EQ(scan.Level(), nullptr);
    EXPECT_EQ(&scan.EffectiveLevel(), &TLogLevel::Warn);
    EXPECT_EQ(AppenderNames(Hierarchy.GetLogger("other")), (TNames {"N", "ODS"})) << "ODS can be named again";
    EXPECT_TRUE(Hierarchy.GetLogger("other").Additive()) << "a non-boolean leaves the default";
    EXPECT_EQ(AppenderNames(Hierarchy.Root()), TNames {"ODS"}) << "no root entry: ODS stays";

    Configure("log4d.logger.Zumbrel.scan=debug\nlog4d.logger.Zumbrel=inherited,\nlog4d.rootLogger=inherited\n");
    EXPECT_EQ(scan.Level(), &TLogLevel::Debug);
    EXPECT_TRUE(scan.Appenders().empty());
    EXPECT_EQ(zumbrel.Level(), nullptr);
    EXPECT_EQ(Hierarchy.Root().Level(), &TLogLevel::Debug);
    EXPECT_NE(Channel.Text().find("root logger cannot inherit"), std::string::npos);
}

TEST_F(TConfigFixture, ThresholdFactoryKeysInAnyCaseAndFiltersFromTheFile)
{
    Configure("LOG4D.THRESHOLD=warn\n"
              "log4d.loggerFactory=TLogDefaultLoggerFactory\n"
              "log4d.rootlogger=all,S\n"
              "log4d.appender.S=TLogNullAppender\n"
              "log4d.appender.S.threshold=error\n"
              "log4d.appender.S.filter1=TLogStringFilter\n"
              "log4d.appender.S.filter1.match=x\n"
              "log4d.appender.S.filter1.ignoreCase=true\n"
              "log4d.appender.S.filter1.acceptOnMatch=false\n"
              "log4d.renderer.TFoo=TFooRenderer\n");
    EXPECT_EQ(&Hierarchy.Threshold(), &TLogLevel::Warn);
    EXPECT_EQ(Hierarchy.Root().Level(), &TLogLevel::All);
    auto appender = Hierarchy.Root().GetAppender("S");
    ASSERT_NE(appender, nullptr);
    EXPECT_EQ(appender->Threshold(), &TLogLevel::Error);
    EXPECT_EQ(Channel.Text(), "");
}

struct TDamageCase
{
    const char *Name;
    std::string Text;
    const char *Reported; // expected on the internal channel
};

TEST_F(TConfigFixture, DamagedEntriesAreSkippedWithAReason)
{
    Tree.MakeFile("file");
    Tree.MakeDir("dir");
    const TDamageCase cases[] = {
        {"unknown class", "log4d.rootLogger=info,A\nlog4d.appender.A=TLogTelegraphAppender\n",
            "Unknown appender class \"TLogTelegraphAppender\""},
        {"undefined appender", "log4d.rootLogger=info,Nope\n", "Appender \"Nope\" is not defined"},
        {"missing layout", "log4d.rootLogger=info,A\nlog4d.appender.A=TLogODSAppender\n", "needs a layout"},
        {"unknown layout",
            "log4d.rootLogger=info,A\nlog4d.appender.A=TLogODSAppender\nlog4d.appender.A.layout=TLogFancyLayout\n",
            "Unknown layout class"},
        {"folder cannot be made",
            "log4d.rootLogger=info,A\nlog4d.appender.A=TLogFileAppender\nlog4d.appender.A.layout=TLogSimpleLayout\n"
            "log4d.appender.A.fileName="
                + (Tree / "file/sub/x.log") + "\n",
            "cannot create the folder"},
        {"file name is a folder",
            "log4d.rootLogger=info,A\nlog4d.appender.A=TLogFileAppender\nlog4d.appender.A.layout=TLogSimpleLayout\n"
            "log4d.appender.A.fileName="
                + (Tree / "dir") + "\n",
            "Is a directory"},
        {"no file name",
            "log4d.rootLogger=info,A\nlog4d.appender.A=TLogFileAppender\nlog4d.appender.A.layout=TLogSimpleLayout\n",
            "no \"fileName\" was given"},
        {"stream from a file",
            "log4d.rootLogger=info,A\nlog4d.appender.A=TLogStreamAppender\nlog4d.appender.A.layout=TLogSimpleLayout\n",
            "only code can give"},
        {"unknown level", "log4d.rootLogger=loud,ODS\n", "Unknown level \"loud\""},
        {"unknown threshold", "log4d.threshold=everything\n", "Unknown level \"everything\""},
        {"unknown factory", "log4d.loggerFactory=TMyFactory\n", "Unknown logger factory class"},
        {"circular fallback",
            "log4d.rootLogger=info,A\nlog4d.appender.A=TLogNullAppender\n"
            "log4d.appender.A.errorHandler=TLogFallbackErrorHandler\nlog4d.appender.A.errorHandler.appender=A\n",
            "refers to itself"},
        {"huge size",
            "log4d.rootLogger=info,A\nlog4d.appender.A=TLogRollingFileAppender\n"
            "log4d.appender.A.maxFileSize=99999999999999999999GB\n",
            "Bad \"maxFileSize\""},
        {"unknown option", "log4d.rootLogger=info,A\nlog4d.appender.A=TLogNullAppender\nlog4d.appender.A.colour=red\n",
            "Unknown option \"colour\""},
    };
    for (const TDamageCase &c : cases) {
        SCOPED_TRACE(c.Name);
        TInternalChannelCapture channel;
        Configure(c.Text);
        EXPECT_NE(channel.Text().find(c.Reported), std::string::npos) << channel.Text();
        // Whatever went wrong, logging goes on.
        Hierarchy.GetLogger("Zumbrel").Fatal("still alive");
        RunProgramLoggingStartup(Hierarchy, "");
    }
}

// A chain of fallbacks A -> B -> C is accepted and events reach C when A and B fail; only a
// backup whose chain comes back to the primary is a circle.
TEST_F(TConfigFixture, FallbackChainsAreAcceptedOnlyCirclesAreRefused)
{
    if (::access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full";
    const std::string last = Tree / "c.log";
    Configure("log4d.rootLogger=info,A\n"
              "log4d.appender.A=TLogFileAppender\n"
              "log4d.appender.A.fileName=/dev/full\n"
              "log4d.appender.A.layout=TLogSimpleLayout\n"
              "log4d.appender.A.errorHandler=TLogFallbackErrorHandler\n"
              "log4d.appender.A.errorHandler.appender=B\n"
              "log4d.appender.B=TLogFileAppender\n"
              "log4d.appender.B.fileName=/dev/full\n"
              "log4d.appender.B.layout=TLogSimpleLayout\n"
              "log4d.appender.B.errorHandler=TLogFallbackErrorHandler\n"
              "log4d.appender.B.errorHandler.appender=C\n"
              "log4d.appender.C=TLogFileAppender\n"
              "log4d.appender.C.fileName="
        + last
        + "\n"
          "log4d.appender.C.layout=TLogPatternLayout\n"
          "log4d.appender.C.layout.pattern=%m%n\n");
    EXPECT_EQ(Channel.Text().find("circle"), std::string::npos) << Channel.Text();
    Hierarchy.GetLogger("Zumbrel").Info("reaches the end of the chain");
    EXPECT_EQ(ReadWholeFile(last), "reaches the end of the chain\n");

    // Closing the line into a ring is refused, in code as in the file.
    auto a = Hierarchy.Root().GetAppender("A");
    ASSERT_NE(a, nullptr);
    auto b = std::dynamic_pointer_cast<TLogFallbackErrorHandler>(a->ErrorHandler())->BackupAppender();
    ASSERT_NE(b, nullptr);
    auto c = std::dynamic_pointer_cast<TLogFallbackErrorHandler>(b->ErrorHandler())->BackupAppender();
    ASSERT_NE(c, nullptr);
    TLogFallbackErrorHandler ring;
    EXPECT_FALSE(ring.SetBackupAppender(a, c.get())) << "C -> A -> B -> C";
    EXPECT_TRUE(ring.SetBackupAppender(b, a.get())) << "A -> B -> C is no circle";
}

// A relative "fileName" in log.cfg names a file beside log.cfg, wherever the program starts.
TEST_F(TConfigFixture, RelativeFileNamesAreTakenFromTheFolderOfLogCfg)
{
    Tree.MakeDir("config");
    Tree.MakeDir("elsewhere");
    WriteWholeFile(Tree / "config/log.cfg",
        "log4d.rootLogger=info,F\n"
        "log4d.appender.F=TLogFileAppender\n"
        "log4d.appender.F.fileName=logs/zumbrel.log\n"
        "log4d.appender.F.layout=TLogPatternLayout\n"
        "log4d.appender.F.layout.pattern=%m%n\n");
    const fs::path previous = fs::current_path();
    fs::current_path(Tree / "elsewhere");
    RunProgramLoggingStartup(Hierarchy, Tree / "config");
    Hierarchy.GetLogger("Zumbrel").Info("beside log.cfg");
    fs::current_path(previous);
    EXPECT_EQ(ReadWholeFile(Tree / "config/logs/zumbrel.log"), "beside log.cfg\n");
    EXPECT_FALSE(fs::exists(Tree / "elsewhere/logs"));
}

TEST_F(TConfigFixture, ConfigDebugReportsTheStepsAndTheEnd)
{
    Configure("log4d.configDebug=true\nlog4d.rootLogger=info,N\nlog4d.appender.N=TLogNullAppender\n");
    const std::string text = Channel.Text();
    EXPECT_NE(text.find("debug: Making appender \"N\" of class \"TLogNullAppender\""), std::string::npos) << text;
    EXPECT_NE(text.find("debug: Finished configuring with TLogPropertyConfigurator"), std::string::npos) << text;
}

TEST_F(TConfigFixture, StartupReadsLogCfgBesideTheExecutableAndReportsUnreadableOnes)
{
    RunProgramLoggingStartup(Hierarchy, Tree.Path());
    EXPECT_EQ(Channel.Text(), "") << "a missing log.cfg is normal";
    EXPECT_EQ(AppenderNames(Hierarchy.Root()), TNames {"ODS"});

    Tree.MakeDir("log.cfg");
    RunProgramLoggingStartup(Hierarchy, Tree.Path());
    EXPECT_NE(Channel.Text().find("Couldn't read configuration file \"" + (Tree / "log.cfg") + "\" - Is a directory"),
        std::string::npos)
        << Channel.Text();
    EXPECT_NE(Channel.Text().find("Ignoring configuration file \"" + (Tree / "log.cfg") + "\""), std::string::npos);
    EXPECT_EQ(AppenderNames(Hierarchy.Root()), TNames {"ODS"}) << "the defaults stay";
    fs::remove(Tree / "log.cfg");

    WriteWholeFile(Tree / "log.cfg", "log4d.rootLogger=error,N\r\nlog4d.appender.N=TLogNullAppender\r\n");
    RunProgramLoggingStartup(Hierarchy, Tree.Path());
    EXPECT_EQ(Hierarchy.Root().Level(), &TLogLevel::Error) << "Windows line ends are read too";
    EXPECT_EQ(AppenderNames(Hierarchy.Root()), TNames {"N"});
}

TEST_F(TConfigFixture, BinaryJunkChangesNothing)
{
    std::string junk;
    for (int i = 0; i < 4096; ++i)
        junk += static_cast<char>((i * 7919) % 256);
    junk += "\nlog4d.rootLogger=\xff\xfe,\x01\n=\n==\nlog4d.=x\nlog4d.appender.=\n";
    WriteWholeFile(Tree / "log.cfg", junk);
    RunProgramLoggingStartup(Hierarchy, Tree.Path());
    EXPECT_EQ(Hierarchy.Root().Level(), &TLogLevel::Debug);
    EXPECT_TRUE(Hierarchy.Root().Appenders().empty()) << "the damaged root entry removed ODS and named nothing usable";
    EXPECT_FALSE(Channel.Text().empty());
}

} // namespace
