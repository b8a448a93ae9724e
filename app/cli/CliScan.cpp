#include "CliScan.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "CliArgs.h"
#include "CliDefaults.h"
#include "CliProgress.h"
#include "CliSignals.h"
#include "common/CEscape.h"
#include "export/AtomicFileWriter.h"
#include "export/FdStream.h"
#include "model/Paths.h"
#include "platform/Platform.h"
#include "scan/QueueDispatcher.h"
#include "scan/ScanThread.h"

const char *const ScanUsage = "zumbrel-cli scan [--size-on-disk] [--json] [SCAN OPTIONS] PATH | -f FILE";

void KeepUntilExit(std::unique_ptr<TRootDirNode> root)
{
    static TRootDirNode *kept = nullptr;
    // Only a second command in one process (the fuzzer's) gets here with a tree kept already.
    const std::unique_ptr<TRootDirNode> previous(kept);
    kept = root.release();
}

void PrintError(const std::string &message)
{
    std::cerr << "zumbrel-cli: " << message << std::endl;
}

TCliScanResult RunCliScan(const std::string &path, const TDirScanOptions &options, bool quiet)
{
    TCliScanResult result;
    result.Root = std::make_unique<TRootDirNode>();
    result.Root->SetName(ExcludeTrailingPathDelimiter(path));
    result.Root->SetGroupFileSize(options.GroupFileSize);

    TQueueDispatcher dispatcher;
    TDirScanThreadList threads(9, dispatcher);
    std::atomic<bool> finished {false};
    std::atomic<std::int64_t> directories {0};
    TDirScanThread *thread = threads.Add(result.Root.get(), options);
    // Only the progress line needs the live count: a counter that every worker bumps for
    // every folder costs a shared cache line each time.
    const bool showProgress = ProgressWanted(quiet);
    if (showProgress)
        thread->DirScanner().OnFind
            = [&directories](const TDirNode &, std::int32_t) { directories.fetch_add(1, std::memory_order_relaxed); };
    thread->SetOnTerminate([&](TDirScanThread &t) {
        result.Seconds = t.DirScanner().ScanSeconds();
        result.Directories = t.DirScanner().DirCount();
        result.Errors = t.DirScanner().ErrorCount();
        result.Failed = t.Failed();
        finished = true;
    });
    thread->Start();
    {
        const TInterruptScope stopOnInterrupt([&threads] { threads.StopAll(); });
        std::optional<TScanProgressLine> progress;
        if (showProgress)
            progress.emplace(
                *result.Root, [&threads] { return threads.GetFirstThreadCurrentDir(); }, directories);
        dispatcher.ProcessUntil([&] { return finished.load() && threads.IsEmpty(); });
    }
    result.Interrupted = InterruptSignal() != 0;
    return result;
}

bool CheckScanRoot(const std::string &path)
{
    struct stat st
    { };
    int error = 0;
    if (::stat(path.c_str(), &st) != 0)
        error = errno;
    else if (!S_ISDIR(st.st_mode))
        error = ENOTDIR;
    if (error == 0)
        return true;
    PrintError(CEscaped(path) + ": " + Platform().System->ErrorMessage(error));
    return false;
}

int ScanOutcome(const std::string &path, const TCliScanResult &result)
{
    if (result.Interrupted)
        return InterruptExitCode();
    if (result.Failed)
        return 1; // the scan's error is on standard error already
    if (const int error = result.Root->ErrorCode(); error != 0) {
        PrintError(CEscaped(path) + ": " + Platform().System->ErrorMessage(error));
        return 1;
    }
    return 0;
}

std::int64_t CountErrorNodes(const TGroupNode &root)
{
    std::int64_t errors = 0;
    std::vector<const TGroupNode *> pending {&root};
    while (!pending.empty()) {
        const TGroupNode *node = pending.back();
        pending.pop_back();
        if (node->ErrorCode() != 0)
            ++errors;
        std::scoped_lock guard(node->ChildLock());
        for (std::int32_t i = 0; i < node->InterlockedChildCount(); ++i)
            if (TFileSystemNode *child = node->GetUnlockedChildNode(i); child->IsGroup())
                pending.push_back(static_cast<const TGroupNode *>(child));
    }
    return errors;
}

bool ParseByteCount(const std::string &text, std::int64_t &value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    char *end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != 0)
        return false;
    value = v;
    return true;
}

bool WriteStandardOutput(const std::string &text)
{
    TFdOStream out(STDOUT_FILENO);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (out)
        return true;
    PrintError(EFileWriteError("standard output", out.ErrorCode() ? out.ErrorCode() : EIO).what());
    return false;
}

std::string ScanTotalsText(const std::string &path, const TGroupNode &root, std::int64_t directories,
    std::int64_t errors, double seconds, TSizeKind kind, bool json)
{
    char secondsText[64];
    std::snprintf(secondsText, sizeof secondsText, "%.3f", seconds);
    if (!json) {
        std::string text = "path=";
        AppendCEscaped(text, path);
        text += "\nfiles=" + std::to_string(root.FileCount()) + "\ndirectories=" + std::to_string(directories)
            + "\nbytes=" + std::to_string(root.GetSizeOf(kind)) + "\nerrors=" + std::to_string(errors)
            + "\nseconds=" + secondsText + "\n";
        return text;
    }
    // One object for scripts: both sizes, whichever one the rows would show.
    std::string text = "{\"path\":\"";
    AppendJsonEscaped(text, path);
    text += "\",\"files\":" + std::to_string(root.FileCount()) + ",\"directories\":" + std::to_string(directories)
        + ",\"bytes\":" + std::to_string(root.GetSize()) + ",\"disk_bytes\":" + std::to_string(root.GetDiskSize())
        + ",\"size\":\"" + (kind == skDisk ? "disk" : "apparent") + "\",\"errors\":" + std::to_string(errors)
        + ",\"seconds\":" + secondsText + "}\n";
    return text;
}

void AppendJsonEscaped(std::string &out, std::string_view text)
{
    static const char Hex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20 || c == 0x7f) {
            out += "\\u00";
            out += Hex[c >> 4];
            out += Hex[c & 15];
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else {
            // Valid UTF-8 goes as it is; other bytes become U+FFFD (JSON holds only text).
            std::size_t length = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
            bool valid = length > 0 && i + length <= text.size();
            for (std::size_t k = 1; valid && k < length; ++k)
                valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
            if (valid) {
                out.append(text.substr(i, length));
                i += length;
            } else {
                out += "\xEF\xBF\xBD";
                ++i;
            }
        }
    }
}

int CommandScan(const std::vector<std::string> &argList)
{
    TScanArgs args;
    bool json = false;
    TArgReader reader(argList);
    while (reader.Next())
        if (reader.IsFlag("--json"))
            json = true;
        else if (!ParseScanArgument(reader, args))
            reader.Unknown();
    RequirePath(args);
    if (!CheckScanRoot(args.Path))
        return 1;

    TCliScanResult result = RunCliScan(args.Path, args.Options, args.Quiet);
    if (const int code = ScanOutcome(args.Path, result))
        return code;
    const std::string text
        = ScanTotalsText(args.Path, *result.Root, result.Directories, result.Errors, result.Seconds, args.Size, json);
    KeepUntilExit(std::move(result.Root));
    return WriteStandardOutput(text) ? 0 : 1;
}
