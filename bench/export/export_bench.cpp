// Exports a scanned tree of about 100,000 directories in every format and compares each
// export's time with the scan that produced the tree; reports throughput and peak memory.
//
// usage: bench_export [DIRECTORIES] [--keep] | bench_export --tree PATH
// The tree is generated below the temporary directory (fan-out 10, one small file in every
// directory and a few bigger ones) and removed afterwards unless --keep is given; --tree scans
// an existing folder instead (a kept tree, or a real one). Exit code 1 when an export takes
// longer than the scan.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <streambuf>
#include <string>
#include <vector>

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include "export/ExportRegistry.h"
#include "model/TreeTypes.h"
#include "platform/linux/LinuxPlatform.h"
#include "scan/DirScanner.h"

namespace {

using TClock = std::chrono::steady_clock;

double SecondsSince(TClock::time_point start)
{
    return std::chrono::duration<double>(TClock::now() - start).count();
}

// Counts the bytes and throws them away: the export's own speed, without the disk.
class TCountingBuf : public std::streambuf
{
public:
    std::uint64_t Bytes = 0;

protected:
    int_type overflow(int_type ch) override
    {
        if (!traits_type::eq_int_type(ch, traits_type::eof()))
            ++Bytes;
        return traits_type::not_eof(ch);
    }
    std::streamsize xsputn(const char *, std::streamsize n) override
    {
        Bytes += static_cast<std::uint64_t>(n);
        return n;
    }
};

long StatusKiB(const char *key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    return -1;
}

// Makes VmHWM start again from the current resident size (Linux 4.0 and later).
bool ResetPeakMemory()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

void WriteFile(const std::string &path, std::size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    if (size > 0 && ::ftruncate(fd, static_cast<off_t>(size)) != 0)
        std::perror("ftruncate");
    ::close(fd);
}

// Breadth first with fan-out 10 until `count` directories exist.
void GenerateTree(const std::string &root, int count)
{
    std::vector<std::string> level {root};
    int made = 0;
    while (made < count) {
        std::vector<std::string> next;
        for (const std::string &parent : level) {
            for (int i = 0; i < 10 && made < count; ++i, ++made) {
                std::string dir = parent + "/folder " + std::to_string(i) + (i % 3 == 0 ? " & <co>, \"q\"" : "");
                ::mkdir(dir.c_str(), 0755);
                WriteFile(dir + "/small.txt", static_cast<std::size_t>(made % 4096));
                if (made % 7 == 0)
                    WriteFile(dir + "/big.bin", 3u << 20);
                next.push_back(std::move(dir));
            }
        }
        level.swap(next);
    }
}

int RemoveEntry(const char *path, const struct stat *, int, struct FTW *)
{
    return ::remove(path);
}

} // namespace

int main(int argc, char **argv)
{
    int count = 100000;
    bool keep = false;
    std::string tree;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--keep")
            keep = true;
        else if (a == "--tree" && i + 1 < argc)
            tree = argv[++i];
        else
            count = std::atoi(argv[i]);
    }
    InstallPlatform(LinuxPlatform());
    TExportRegistry &registry = ExportRegistry();
    RegisterExportClasses(registry);

    std::string base = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + std::string("/zumbrel-export-XXXXXX");
    auto start = TClock::now();
    if (!tree.empty()) {
        base = tree;
        keep = true;
    } else if (!::mkdtemp(base.data())) {
        std::perror("mkdtemp");
        return 2;
    } else {
        GenerateTree(base, count);
        std::printf("generated %d directories in %s in %.2f s\n", count, base.c_str(), SecondsSince(start));
    }
    // Export files go beside the tree's folder, never into a tree that is not ours.
    const std::string outDir
        = tree.empty() ? base : std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");

    auto root = std::make_unique<TRootDirNode>();
    root->SetName(base);
    TDirScanOptions options;
    options.GroupFileSize = 1048576;
    root->SetGroupFileSize(options.GroupFileSize);
    TDirScanner scanner(root.get());
    start = TClock::now();
    scanner.StartScan(base, options);
    const double scanSeconds = SecondsSince(start);
    std::printf("scan: %.3f s, %d directories, %d files, %lld bytes\n", scanSeconds, root->GetDirCount() + 1,
        root->FileCount(), static_cast<long long>(root->GetSize()));

    const long baseRss = StatusKiB("VmRSS");
    std::printf(
        "%-16s %10s %10s %10s %12s %12s %s\n", "format", "MB", "s(null)", "MB/s", "s(file)", "peak+KiB", "vs scan");
    bool slower = false;
    for (std::int32_t i = 0; i < registry.Count(); ++i) {
        const TExportClass &c = registry.GetExportClass(i);
        const auto exporter = CreateExport(c, root.get(), rsTruncate);

        const bool peakReset = ResetPeakMemory();
        TCountingBuf counter;
        std::ostream null(&counter);
        start = TClock::now();
        exporter->SaveToStream(null);
        const double nullSeconds = SecondsSince(start);
        const long peak = peakReset ? StatusKiB("VmHWM") - baseRss : -1;

        const std::string file = outDir + "/zumbrel-bench-export" + c.GetFileExt();
        const auto fileExporter = CreateExport(c, root.get(), rsTruncate);
        start = TClock::now();
        fileExporter->SaveToFile(file);
        const double fileSeconds = SecondsSince(start);
        ::unlink(file.c_str());

        const double mb = static_cast<double>(counter.Bytes) / 1e6;
        const bool ok = fileSeconds <= scanSeconds;
        slower = slower || !ok;
        std::printf("%-16s %10.2f %10.3f %10.1f %12.3f %12ld %s\n", c.ClassName(), mb, nullSeconds,
            nullSeconds > 0 ? mb / nullSeconds : 0.0, fileSeconds, peak, ok ? "ok" : "SLOWER");
    }

    if (!keep)
        ::nftw(base.c_str(), RemoveEntry, 64, FTW_DEPTH | FTW_PHYS);
    // Freeing the tree is not what is measured.
    (void)root.release();
    return slower ? 1 : 0;
}
