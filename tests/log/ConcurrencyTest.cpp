#include <filesystem>
#include <set>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "LogTestSupport.h"
#include "log/Configurator.h"
#include "log/FileAppender.h"
#include "log/Logger.h"
#include "support/TempTree.h"

namespace {

namespace fs = std::filesystem;

constexpr int Threads = 6;
constexpr int EventsPerThread = 400;

std::string Message(int thread, int event)
{
    // Long enough that a torn write would show as a broken line.
    return "thread " + std::to_string(thread) + " event " + std::to_string(event) + " " + std::string(60, 'x');
}

TEST(LogConcurrency, ManyThreadsIntoARollingFileLoseNoLineAndTearNone)
{
    TempTree tree;
    TInternalChannelCapture channel;
    TLogHierarchy hierarchy;
    const std::string path = tree / "busy.log";
    auto appender = std::make_shared<TLogRollingFileAppender>("R");
    appender->SetLayout(std::make_shared<TLogPatternLayout>("[%t] %m%n"));
    appender->SetMaxFileSize(4096);
    appender->SetMaxBackupIndex(1000);
    ASSERT_TRUE(appender->OpenFile(path));
    hierarchy.Root().AddAppender(appender);

    std::vector<std::thread> workers;
    for (int t = 0; t < Threads; ++t)
        workers.emplace_back([&hierarchy, t] {
            TLogLogger &logger = hierarchy.GetLogger("Zumbrel.scan" + std::to_string(t % 2));
            for (int e = 0; e < EventsPerThread; ++e)
                logger.Info(Message(t, e));
        });
    for (auto &worker : workers)
        worker.join();

    std::set<std::string> seen;
    int files = 0;
    for (const auto &entry : fs::directory_iterator(tree.Path())) {
        ++files;
        const std::string text = ReadWholeFile(entry.path());
        EXPECT_LE(text.size(), 4096u + 100u) << entry.path() << " was not rolled in time";
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            const std::size_t close = line.find("] ");
            ASSERT_NE(close, std::string::npos) << line;
            EXPECT_TRUE(seen.insert(line.substr(close + 2)).second) << "duplicated: " << line;
        }
    }
    EXPECT_GT(files, 10);
    for (int t = 0; t < Threads; ++t)
        for (int e = 0; e < EventsPerThread; ++e)
            EXPECT_EQ(seen.count(Message(t, e)), 1u) << "lost: " << Message(t, e);
    EXPECT_EQ(channel.Text(), "");
}

TEST(LogConcurrency, ReconfiguringWhileThreadsLogIsSafe)
{
    TempTree tree;
    TInternalChannelCapture channel;
    TLogHierarchy hierarchy;
    auto configure = [&](int round) {
        TLogPropertyConfigurator(hierarchy).ConfigureFromText(
            "log4d.rootLogger=" + std::string(round % 2 ? "info" : "debug")
            + ",F\n"
              "log4d.logger.Zumbrel.a=inherited,F\n"
              "log4d.appender.F=TLogFileAppender\n"
              "log4d.appender.F.layout=TLogPatternLayout\n"
              "log4d.appender.F.fileName="
            + (tree / ("round" + std::to_string(round % 3) + ".log")) + "\n");
    };
    configure(0);
    std::atomic<bool> stop {false};
    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t)
        workers.emplace_back([&] {
            while (!stop.load()) {
                hierarchy.GetLogger("Zumbrel").Info("busy");
                hierarchy.GetLogger("Zumbrel.a.b").Debug("busier");
            }
        });
    // Every logger always has its old or its new appenders, so no event finds none.
    for (int round = 1; round < 30; ++round)
        configure(round);
    stop = true;
    for (auto &worker : workers)
        worker.join();
    EXPECT_EQ(channel.Text(), "");
    for (int i = 0; i < 3; ++i) {
        const std::string text = ReadWholeFile(tree / ("round" + std::to_string(i) + ".log"));
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);)
            EXPECT_TRUE(line == "busy" || line == "busier") << line;
    }
}

} // namespace
