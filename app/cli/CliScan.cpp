#include "CliScan.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "CliDefaults.h"
#include "model/Paths.h"
#include "scan/QueueDispatcher.h"
#include "scan/ScanThread.h"

TCliScanResult RunCliScan(const std::string &path, const TDirScanOptions &options)
{
    TCliScanResult result;
    result.Root = std::make_unique<TRootDirNode>();
    result.Root->SetName(ExcludeTrailingPathDelimiter(path));
    result.Root->SetGroupFileSize(options.GroupFileSize);

    TQueueDispatcher dispatcher;
    TDirScanThreadList threads(9, dispatcher);
    std::atomic<bool> finished {false};
    TDirScanThread *thread = threads.Add(result.Root.get(), options);
    thread->SetOnTerminate([&](TDirScanThread &t) {
        result.Seconds = t.DirScanner().ScanSeconds();
        result.Failed = t.Failed();
        finished = true;
    });
    thread->Start();
    dispatcher.ProcessUntil([&] { return finished.load() && threads.IsEmpty(); });
    return result;
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

bool ParseThreadCount(const std::string &text, std::int32_t &threads)
{
    std::int64_t value = 0;
    if (!ParseByteCount(text, value) || value < 1 || value > 64)
        return false;
    threads = static_cast<std::int32_t>(value);
    return true;
}
