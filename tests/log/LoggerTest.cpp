#include "log/Logger.h"

#include <climits>
#include <sstream>

#include <gtest/gtest.h>

#include "LogTestSupport.h"

namespace {

struct TLevelCase
{
    const char *Name;
    const TLogLevel *Level;
    int Value;
};

TEST(LogLevel, NamesAndValuesMatchTheTableInAnyCase)
{
    const TLevelCase cases[] = {{"all", &TLogLevel::All, INT_MIN}, {"DEBUG", &TLogLevel::Debug, 10000},
        {"Info", &TLogLevel::Info, 20000}, {"warn", &TLogLevel::Warn, 30000}, {"ERROR", &TLogLevel::Error, 40000},
        {"fatal", &TLogLevel::Fatal, 50000}, {"oFF", &TLogLevel::Off, INT_MAX}};
    for (const TLevelCase &c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(TLogLevel::FromName(c.Name), c.Level);
        EXPECT_EQ(c.Level->Value(), c.Value);
    }
    EXPECT_EQ(TLogLevel::FromName(" info"), nullptr);
    EXPECT_EQ(TLogLevel::FromName("information"), nullptr);
    EXPECT_EQ(TLogLevel::FromName(""), nullptr);
    EXPECT_EQ(&TLogLevel::FromValue(25000), &TLogLevel::Info);
}

// A stream appender on a logger of a private hierarchy, for checking what arrives.
struct TStreamFixture : testing::Test
{
    TLogHierarchy Hierarchy;
    std::ostringstream RootOut;
    std::ostringstream ChildOut;
    std::shared_ptr<TLogStreamAppender> RootAppender = std::make_shared<TLogStreamAppender>("root", RootOut);
    std::shared_ptr<TLogStreamAppender> ChildAppender = std::make_shared<TLogStreamAppender>("child", ChildOut);

    TStreamFixture()
    {
        RootAppender->SetLayout(std::make_shared<TLogPatternLayout>("%p %c %m|"));
        ChildAppender->SetLayout(std::make_shared<TLogPatternLayout>("%p %c %m|"));
        Hierarchy.Root().AddAppender(RootAppender);
    }
};

TEST_F(TStreamFixture, LoggersInheritTheNearestAncestorsLevelEvenWhenMadeOutOfOrder)
{
    TLogLogger &grandChild = Hierarchy.GetLogger("a.b.c");
    EXPECT_EQ(grandChild.Parent(), &Hierarchy.Root());
    TLogLogger &parent = Hierarchy.GetLogger("a");
    EXPECT_EQ(grandChild.Parent(), &parent);
    TLogLogger &middle = Hierarchy.GetLogger("a.b");
    EXPECT_EQ(grandChild.Parent(), &middle);
    EXPECT_EQ(middle.Parent(), &parent);
    EXPECT_EQ(&Hierarchy.GetLogger("A.B"), &middle) << "names compare without case";
    EXPECT_EQ(&Hierarchy.GetLogger("root"), &Hierarchy.Root());

    parent.SetLevel(&TLogLevel::Warn);
    EXPECT_EQ(&grandChild.EffectiveLevel(), &TLogLevel::Warn);
    EXPECT_FALSE(grandChild.IsEnabledFor(TLogLevel::Info));
    EXPECT_TRUE(grandChild.IsEnabledFor(TLogLevel::Error));
    middle.SetLevel(&TLogLevel::Debug);
    EXPECT_TRUE(grandChild.IsEnabledFor(TLogLevel::Debug));
    middle.SetLevel(nullptr);
    EXPECT_FALSE(grandChild.IsEnabledFor(TLogLevel::Debug));

    Hierarchy.Root().SetLevel(nullptr);
    EXPECT_EQ(Hierarchy.Root().Level(), &TLogLevel::Debug) << "the root always keeps a level";
}

TEST_F(TStreamFixture, AdditivityDecidesWhetherAncestorsAppendersSeeTheEvent)
{
    TLogLogger &child = Hierarchy.GetLogger("Zumbrel.scan");
    child.AddAppender(ChildAppender);
    child.Info("one");
    EXPECT_EQ(ChildOut.str(), "info Zumbrel.scan one|");
    EXPECT_EQ(RootOut.str(), "info Zumbrel.scan one|");

    child.SetAdditive(false);
    child.Warn("two");
    EXPECT_EQ(ChildOut.str(), "info Zumbrel.scan one|warn Zumbrel.scan two|");
    EXPECT_EQ(RootOut.str(), "info Zumbrel.scan one|");
}

TEST_F(TStreamFixture, RepositoryThresholdSilencesEveryLogger)
{
    TLogLogger &logger = Hierarchy.GetLogger("x");
    logger.SetLevel(&TLogLevel::All);
    Hierarchy.SetThreshold(TLogLevel::Error);
    logger.Warn("dropped");
    logger.Error("kept");
    logger.Fatal("kept too");
    EXPECT_EQ(RootOut.str(), "error x kept|fatal x kept too|");
    Hierarchy.SetThreshold(TLogLevel::Off);
    EXPECT_FALSE(logger.IsEnabledFor(TLogLevel::Fatal));
}

TEST_F(TStreamFixture, EveryOperationLogsAtItsLevelAndCarriesTheException)
{
    auto layout = std::make_shared<TLogPatternLayout>("%p:%m:%e|");
    RootAppender->SetLayout(layout);
    TLogLogger &logger = Hierarchy.GetLogger("ops");
    const std::runtime_error failure("disk on fire");
    logger.Debug("d");
    logger.Info("i");
    logger.Warn("w");
    logger.Error("e", &failure);
    logger.Fatal("f");
    logger.ErrorMsg("old name", &failure);
    EXPECT_EQ(RootOut.str(), "debug:d:|info:i:|warn:w:|error:e:disk on fire|fatal:f:|error:old name:disk on fire|");
}

TEST_F(TStreamFixture, ThresholdAndFiltersOfAnAppenderDecideInChainOrder)
{
    TLogLogger &logger = Hierarchy.GetLogger("f");
    RootAppender->SetThreshold(&TLogLevel::Info);
    auto match = std::make_shared<TLogLevelMatchFilter>();
    match->FMatch = &TLogLevel::Warn;
    match->FAcceptOnMatch = false;
    auto text = std::make_shared<TLogStringFilter>();
    text->FMatch = "SECRET";
    text->FIgnoreCase = true;
    text->FAcceptOnMatch = false;
    RootAppender->AddFilter(match);
    RootAppender->AddFilter(text);
    logger.Debug("below threshold");
    logger.Info("plain");
    logger.Warn("denied by level match");
    logger.Error("has a secret inside");
    logger.Error("fine");
    EXPECT_EQ(RootOut.str(), "info f plain|error f fine|");

    RootAppender->ClearFilters();
    auto range = std::make_shared<TLogLevelRangeFilter>();
    range->FMinimum = &TLogLevel::Warn;
    range->FMaximum = &TLogLevel::Error;
    RootAppender->AddFilter(range);
    RootAppender->AddFilter(std::make_shared<TLogDenyAllFilter>());
    RootOut.str("");
    logger.Warn("in range but then denied");
    EXPECT_EQ(RootOut.str(), "");
    range->FAcceptOnMatch = true;
    logger.Warn("in range, accepted");
    logger.Fatal("out of range");
    EXPECT_EQ(RootOut.str(), "warn f in range, accepted|");
}

TEST(LogLogger, NoAppenderIsReportedOnceOnTheInternalChannel)
{
    TInternalChannelCapture channel;
    TLogHierarchy hierarchy;
    hierarchy.GetLogger("lonely").Info("nobody listens");
    hierarchy.GetLogger("lonely").Info("still nobody");
    EXPECT_EQ(channel.Lines(), std::vector<std::string> {"warn: No appenders could be found for logger \"lonely\""});
}

int GBuilt = 0;
std::string BuildMessage()
{
    ++GBuilt;
    return "built";
}

TEST(LogProgramLogger, IsNamedZumbrelAndMacrosBuildMessagesOnlyWhenEnabled)
{
    TLogLogger &logger = ProgramLogger();
    EXPECT_EQ(logger.Name(), "Zumbrel");
    EXPECT_EQ(&logger, &DefaultHierarchy().GetLogger("Zumbrel"));

    std::ostringstream out;
    auto appender = std::make_shared<TLogStreamAppender>("capture", out);
    appender->SetLayout(std::make_shared<TLogPatternLayout>("%p %c - %m%n"));
    logger.AddAppender(appender);
    logger.SetAdditive(false);
    logger.SetLevel(&TLogLevel::Warn);

    GBuilt = 0;
    ZU_LOG_DEBUG(BuildMessage());
    ZU_LOG_INFO(BuildMessage());
    EXPECT_EQ(GBuilt, 0);
    EXPECT_FALSE(ProgramLogger().IsEnabledFor(TLogLevel::Info.Value()));
    ZU_LOG_WARN(BuildMessage());
    ZU_LOG_ERROR(std::string_view("view"));
    EXPECT_EQ(GBuilt, 1);
    EXPECT_EQ(out.str(), "warn Zumbrel - built\nerror Zumbrel - view\n");

    logger.RemoveAllAppenders();
    logger.SetAdditive(true);
    logger.SetLevel(nullptr);
}

TEST(LogNDC, ContextIsPerThreadAndShownByX)
{
    TLogHierarchy hierarchy;
    std::ostringstream out;
    auto appender = std::make_shared<TLogStreamAppender>("s", out);
    appender->SetLayout(std::make_shared<TLogPatternLayout>("[%x] %m|"));
    hierarchy.Root().AddAppender(appender);
    {
        TLogNDCScope outer("scan");
        TLogNDCScope inner("/home");
        hierarchy.Root().Info("inside");
    }
    hierarchy.Root().Info("outside");
    EXPECT_EQ(out.str(), "[scan /home] inside|[] outside|");
    EXPECT_EQ(TLogNDC::Depth(), 0u);
}

} // namespace
