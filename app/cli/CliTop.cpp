#include "CliTop.h"

#include <ctime>
#include <iostream>
#include <sstream>

#include "CliDefaults.h"
#include "CliImport.h"
#include "CliPathText.h"
#include "import/HumanSize.h"
#include "import/LargestFiles.h"
#include "model/common/UnixTime.h"

namespace {

int TopUsage()
{
    std::cerr << "usage: zumbrel-cli top [--count N] PATH\n";
    return 2;
}

std::string DateText(double timestamp)
{
    if (timestamp == 0)
        return "-";
    const time_t t = static_cast<time_t>(LocalDateTimeToUnixSeconds(timestamp));
    tm local {};
    char text[32];
    if (!localtime_r(&t, &local) || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local) == 0)
        return "-";
    return text;
}

} // namespace

int CommandTop(const std::vector<std::string> &args)
{
    std::int64_t count = 20;
    bool countSet = false;
    std::string path;
    bool havePath = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--count" && i + 1 < args.size() && !countSet) {
            if (!ParseByteCount(args[++i], count) || count <= 0)
                return TopUsage();
            countSet = true;
        } else if (a == "--" && !havePath && i + 2 == args.size()) {
            path = args[++i];
            havePath = true;
        } else if ((a.empty() || a[0] != '-' || a == "-") && !havePath) {
            path = a;
            havePath = true;
        } else {
            return TopUsage();
        }
    }
    if (!havePath || path.empty())
        return TopUsage();
    TCliTree tree;
    if (!LoadCliTree(path, 0, tree))
        return 1;
    const auto files = CollectLargestFiles(*tree.Root, static_cast<std::size_t>(count));
    std::vector<std::string> sizes;
    std::size_t width = 4;
    for (const TLargeFile &f : files) {
        sizes.push_back(DuHumanSize(f.Size));
        width = std::max(width, sizes.back().size());
    }
    std::ostringstream out;
    out << std::string(width - 4, ' ') << "Size  Date              Path\n";
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string date = DateText(files[i].Timestamp);
        out << std::string(width - sizes[i].size(), ' ') << sizes[i] << "  " << date
            << std::string(date.size() < 16 ? 16 - date.size() : 0, ' ') << "  " << CliPrintablePath(files[i].Path())
            << "\n";
    }
    std::cout << out.str();
    std::cout.flush();
    KeepUntilExit(std::move(tree.Root));
    return std::cout ? 0 : 1;
}
