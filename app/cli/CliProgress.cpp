#include "CliProgress.h"

#include <chrono>
#include <cstdlib>

#include <sys/ioctl.h>
#include <unistd.h>

#include "CliText.h"
#include "common/CEscape.h"
#include "common/FormatText.h"
#include "common/SizeText.h"
#include "common/Translate.h"
#include "common/TranslatePlural.h"
#include "model/TreeTypes.h"

namespace {

using TClock = std::chrono::steady_clock;

// How long a scan runs before the line appears. Tests shorten it through the environment.
std::chrono::milliseconds FirstDrawDelay()
{
    if (const char *text = std::getenv("ZUMBREL_PROGRESS_DELAY_MS")) {
        char *end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (end != text && *end == 0 && value >= 0)
            return std::chrono::milliseconds(value);
    }
    return std::chrono::milliseconds(500);
}

std::size_t TerminalWidth()
{
    winsize size {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

void WriteAll(const std::string &text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
        if (n <= 0)
            return; // a progress line is not worth an error
        done += static_cast<std::size_t>(n);
    }
}

const char *const EraseLine = "\r\033[K";

} // namespace

std::string TScanProgressLine::EraseText() const
{
    if (!TerminalIsDumb())
        return EraseLine;
    return "\r" + std::string(FShownWidth, ' ') + "\r";
}

bool ProgressWanted(bool quiet)
{
    return !quiet && ::isatty(STDERR_FILENO) == 1;
}

TScanProgressLine::TScanProgressLine(
    const TGroupNode &root, std::function<std::string()> currentDir, const std::atomic<std::int64_t> &directories)
    : FRoot(root)
    , FCurrentDir(std::move(currentDir))
    , FDirectories(directories)
    , FThread([this] { Run(); })
{ }

TScanProgressLine::~TScanProgressLine()
{
    Stop();
}

void TScanProgressLine::Stop()
{
    {
        std::scoped_lock guard(FLock);
        FStopping = true;
    }
    FWake.notify_all();
    if (FThread.joinable())
        FThread.join();
}

void TScanProgressLine::Run()
{
    const TClock::time_point start = TClock::now();
    TClock::time_point next = start + FirstDrawDelay();
    std::unique_lock lock(FLock);
    while (!FWake.wait_until(lock, next, [this] { return FStopping; })) {
        lock.unlock();
        Draw(std::chrono::duration<double>(TClock::now() - start).count());
        lock.lock();
        next = TClock::now() + std::chrono::milliseconds(100);
    }
    if (FShown)
        WriteAll(EraseText());
}

void TScanProgressLine::Draw(double seconds)
{
    const std::int64_t entries = static_cast<std::int64_t>(FRoot.FileCount()) + FDirectories.load();
    const std::int64_t bytes = FRoot.GetSize();
    const auto perSecond = seconds > 0 ? static_cast<std::int64_t>(static_cast<double>(entries) / seconds) : 0;
    std::string line = FormatText(_n("%s entry, %s, %s entries/s", "%s entries, %s, %s entries/s",
                                      static_cast<std::uint64_t>(std::max<std::int64_t>(entries, 0))),
        {CountText(entries), FileSizeToStrTruncated(bytes), CountText(perSecond)});
    // Three columns stay free: a line that fills the terminal exactly wraps on some, and the
    // "^C" the terminal echoes must not wrap either, or erasing the line would leave half of it.
    const std::size_t columns = TerminalWidth();
    const std::size_t width = columns > 3 ? columns - 3 : 0;
    const std::size_t used = DisplayWidth(line) + 2;
    const std::string folder = FCurrentDir();
    if (used < width && !folder.empty())
        line += "  " + KeepTail(CEscaped(folder), width - used);
    else
        line = KeepTail(line, width);
    WriteAll(EraseText() + line);
    FShown = true;
    FShownWidth = DisplayWidth(line);
}
