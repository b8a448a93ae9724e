// The program's own hierarchy: configured on first use, and again by ConfigureProgramLogging.
#include <gtest/gtest.h>

#include "LogTestSupport.h"
#include "log/Configurator.h"
#include "log/Logger.h"
#include "support/TempTree.h"

namespace {

TEST(LogStartup, ProgramLoggingReadsLogCfgFromTheGivenFolder)
{
    TInternalChannelCapture channel;
    TLogHierarchy &hierarchy = DefaultHierarchy();
    EXPECT_EQ(hierarchy.Root().Level(), &TLogLevel::Debug);
    // The start-up ran on first use.
    const auto ods = hierarchy.Root().GetAppender("ODS");
    ASSERT_NE(ods, nullptr);
    ConfigureProgramLogging(LogExecutableDir());
    ConfigureProgramLogging(LogExecutableDir() + "/.");
    EXPECT_EQ(hierarchy.Root().GetAppender("ODS"), ods) << "the same folder again changes nothing";

    TempTree tree;
    WriteWholeFile(tree / "log.cfg",
        "log4d.rootLogger=info,R\n"
        "log4d.appender.R=TLogRollingFileAppender\n"
        "log4d.appender.R.append=true\n"
        "log4d.appender.R.fileName="
            + (tree / "out/zumbrel.log")
            + "\n"
              "log4d.appender.R.maxFileSize=1KB\n"
              "log4d.appender.R.maxBackupIndex=2\n"
              "log4d.appender.R.layout=TLogPatternLayout\n"
              "log4d.appender.R.layout.pattern=%p %c - %m%n\n");
    ConfigureProgramLogging(tree.Path());
    EXPECT_EQ(hierarchy.Root().GetAppender("ODS"), nullptr);
    ZU_LOG_DEBUG("hidden");
    ZU_LOG_INFO("CmdLine: zumbrel-cli scan /data");
    ProgramLogger().Error("failed", nullptr);
    EXPECT_EQ(ReadWholeFile(tree / "out/zumbrel.log"),
        "info Zumbrel - CmdLine: zumbrel-cli scan /data\nerror Zumbrel - failed\n");
    EXPECT_EQ(channel.Text(), "");

    // Going back to a folder without log.cfg restores the defaults.
    TempTree empty;
    ConfigureProgramLogging(empty.Path());
    EXPECT_NE(hierarchy.Root().GetAppender("ODS"), nullptr);
    EXPECT_EQ(hierarchy.Root().GetAppender("R"), nullptr);
}

} // namespace
