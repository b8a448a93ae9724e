#include "CliTop.h"

#include <ctime>
#include <iostream>
#include <sstream>

#include "CliArgs.h"
#include "CliDefaults.h"
#include "CliImport.h"
#include "CliScan.h"
#include "common/CEscape.h"
#include "common/Translate.h"
#include "import/HumanSize.h"
#include "import/LargestFiles.h"
#include "platform/UnixTime.h"

namespace {

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

const char *const TopUsage = "zumbrel-cli top [--count N] [--quiet] PATH";

std::string TopHelp()
{
    return _("Prints the largest files of PATH, a folder or a JSON file written by export --format ncdu, "
             "ncdu -o or gdu -o: size as du -h prints it, last change and path.\n"
             "  --count N            how many files (default 20)");
}

int CommandTop(const std::vector<std::string> &args)
{
    std::int64_t count = 20;
    bool quiet = false;
    std::string path;
    bool havePath = false;
    TArgReader reader(args);
    while (reader.Next()) {
        if (reader.IsOperand()) {
            if (havePath)
                throw ECliUsage(_("top takes one folder or file"));
            path = reader.Current();
            havePath = true;
        } else if (reader.Is("--count")) {
            count = ParseCount(reader.Value(), 1, _("--count needs a whole number of at least 1"));
        } else if (reader.IsFlag("-q") || reader.IsFlag("--quiet")) {
            quiet = true;
        } else {
            reader.Unknown();
        }
    }
    if (!havePath || path.empty())
        throw ECliUsage(_("no folder or file given"));
    TCliTree tree;
    if (!LoadCliTree(path, 0, quiet, tree))
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
            << std::string(date.size() < 16 ? 16 - date.size() : 0, ' ') << "  " << CEscaped(files[i].Path()) << "\n";
    }
    KeepUntilExit(std::move(tree.Root));
    return WriteStandardOutput(out.str()) ? 0 : 1;
}
