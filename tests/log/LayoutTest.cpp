#include "log/Layout.h"

#include <ctime>
#include <stdexcept>

#include <gtest/gtest.h>

#include "LogTestSupport.h"
#include "log/Level.h"

namespace {

// Dates are shown in local time; the tests pin the zone.
struct TFixedZone
{
    TFixedZone()
    {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

class TCaller
{
public:
    static TLogEvent Event(const std::exception *e)
    {
        TLogEvent event = MakeLogEvent(TLogLevel::Warn, "Zumbrel.scan.thread", "disk 50% full", e);
        event.ElapsedMs = 1234;
        event.ThreadId = 4711;
        event.Context = "ctx one";
        // 2024-02-29 13:05:09.042 UTC
        event.Time = std::chrono::system_clock::time_point(std::chrono::milliseconds(1709211909042LL));
        return event;
    }
};

struct TPatternCase
{
    const char *Pattern;
    const char *Expected;
};

TEST(LogPatternLayout, EveryConversionCharacter)
{
    TFixedZone zone;
    const std::runtime_error failure("no space left");
    const TLogEvent event = TCaller::Event(&failure);
    const std::string line = std::to_string(event.Location.line());
#if defined(__cpp_lib_source_location)
    const std::string location = "TCaller::Event(LayoutTest.cpp:" + line + ")";
    const char *const classMethodFile = "TCaller|Event|LayoutTest.cpp";
#else
    // Without std::source_location the class of the caller is unknown.
    const std::string location = "Event(LayoutTest.cpp:" + line + ")";
    const char *const classMethodFile = "|Event|LayoutTest.cpp";
#endif
    const TPatternCase cases[] = {
        {"%r [%t] %p %c %x - %m%n", "1234 [4711] warn Zumbrel.scan.thread ctx one - disk 50% full\n"},
        {"%c{1}|%c{2}|%c{9}", "thread|scan.thread|Zumbrel.scan.thread"},
        {"%C|%M|%F", classMethodFile},
        {"%L", line.c_str()},
        {"%l", location.c_str()},
        {"%e|%m", "no space left|disk 50% full"},
        {"%d", "2024-02-29 13:05:09.042"},
        {"%d{dd.mm.yy hh:nn}", "29.02.24 13:05"},
        {"%d{yyyy-mm-dd 'at' hh:mm:ss.z}", "2024-02-29 at 13:05:09.42"},
        {"%d{ddd d mmm, mmmm dddd}", "Thu 29 Feb, February Thursday"},
        {"100%% %p", "100% warn"},
        {"[%6p][%-6p][%.3c][%8.4m]", "[  warn][warn  ][ead][    full]"},
        {"plain text only", "plain text only"},
        {"%", "%"},
        {"%q%p", "%qwarn"},
        {"%c{", "Zumbrel.scan.thread{"},
        {"%999999999999p|", nullptr},
    };
    TInternalChannelCapture channel;
    for (const TPatternCase &c : cases) {
        SCOPED_TRACE(c.Pattern);
        TLogPatternLayout layout(c.Pattern);
        std::string out;
        layout.Format(event, out);
        if (c.Expected)
            EXPECT_EQ(out, c.Expected);
        else
            EXPECT_EQ(out.size(), 4097u) << "absurd widths are clamped";
    }
    EXPECT_NE(channel.Text().find("Unknown conversion \"%q\""), std::string::npos);
}

TEST(LogPatternLayout, WithoutExceptionAndWithDateFormatOption)
{
    TFixedZone zone;
    const TLogEvent event = TCaller::Event(nullptr);
    TLogPatternLayout layout("%d <%e>");
    EXPECT_TRUE(layout.SetOption("DATEFORMAT", "hh:nn:ss"));
    EXPECT_TRUE(layout.SetOption("pattern", "%d <%e>"));
    EXPECT_FALSE(layout.SetOption("colour", "red"));
    std::string out;
    layout.Format(event, out);
    EXPECT_EQ(out, "13:05:09 <>");
}

// Date formats from log.cfg are formatted for every event: a huge one is ignored with a
// warning (it took minutes per start), a normal one still works.
TEST(LogPatternLayout, HugeDateFormatsAreIgnored)
{
    TFixedZone zone;
    TInternalChannelCapture channel;
    const TLogEvent event = TCaller::Event(nullptr);
    const std::string huge(100000, 'y');
    TLogPatternLayout layout("%d{" + huge + "} %m");
    EXPECT_TRUE(layout.SetOption("dateFormat", huge));
    std::string out;
    layout.Format(event, out);
    EXPECT_LT(out.size(), 100u) << out.substr(0, 100);
    EXPECT_NE(channel.Text().find("date format longer than 256"), std::string::npos);
}

TEST(LogSimpleLayout, LevelDashMessage)
{
    const TLogEvent event = TCaller::Event(nullptr);
    std::string out;
    TLogSimpleLayout().Format(event, out);
    EXPECT_EQ(out, "warn - disk 50% full\n");
}

TEST(LogHTMLLayout, EscapesTextAndFramesTheRowsWithHeaderAndFooter)
{
    TLogHTMLLayout layout;
    ASSERT_TRUE(layout.SetOption("title", "Zumbrel <log>"));
    TLogEvent event = TCaller::Event(nullptr);
    event.Message = "a <b> & \"c\"\nnext";
    std::string row;
    layout.Format(event, row);
    EXPECT_NE(layout.Header().find("<title>Zumbrel &lt;log&gt;</title>"), std::string::npos);
    EXPECT_NE(row.find("<td>a &lt;b&gt; &amp; &quot;c&quot;<br>next</td>"), std::string::npos);
    EXPECT_NE(row.find("<td class=\"warn\">warn</td>"), std::string::npos);
    EXPECT_EQ(row.find('\n'), row.size() - 1) << "one line per event";
    EXPECT_EQ(layout.Footer(), "</table>\n</body>\n</html>\n");

    const std::logic_error failure("x < y");
    event.Exception = &failure;
    row.clear();
    layout.Format(event, row);
    EXPECT_NE(row.find("<td colspan=\"7\">x &lt; y</td>"), std::string::npos);
}

} // namespace
