// Feeds arbitrary bytes to the log.cfg reader and logs through whatever it built.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include <unistd.h>

#include "log/Configurator.h"
#include "log/LogLog.h"
#include "log/Logger.h"
#include "log/Text.h"

namespace {

namespace fs = std::filesystem;

const std::string &Sandbox()
{
    static const std::string dir = [] {
        std::string path = fs::temp_directory_path() / ("zumbrel-fuzz-" + std::to_string(::getpid()));
        fs::create_directories(path);
        return path;
    }();
    return dir;
}

// File names from the input are kept inside the sandbox so that the fuzzer cannot write
// anywhere else on the machine.
std::string Confine(std::string_view text)
{
    std::string out;
    for (std::string_view line : LogSplit(text, '\n')) {
        const std::size_t eq = line.find('=');
        const std::string_view key = line.substr(0, eq);
        if (eq != std::string_view::npos && key.size() >= 8
            && LogTextEqualsNoCase(key.substr(key.size() - 8), "fileName")) {
            std::string value(line.substr(eq + 1));
            for (std::size_t pos; (pos = value.find("..")) != std::string::npos;)
                value.replace(pos, 2, "__");
            out.append(key);
            out += '=';
            out += Sandbox() + "/" + value;
        } else {
            out.append(line);
        }
        out += '\n';
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const bool quiet = [] {
        TLogLog::SetSink([](const TLogLevel &, std::string_view message) {
            volatile std::size_t sink = message.size();
            (void)sink;
        });
        return true;
    }();
    (void)quiet;
    static unsigned runs = 0;
    if (++runs % 2000 == 0) {
        std::error_code ignored;
        fs::remove_all(Sandbox(), ignored);
        fs::create_directories(Sandbox(), ignored);
    }

    const std::string text = Confine(std::string_view(reinterpret_cast<const char *>(data), size));
    TLogHierarchy hierarchy;
    RunProgramLoggingStartup(hierarchy, "");
    TLogPropertyConfigurator(hierarchy).ConfigureFromText(text);

    const std::runtime_error failure("fuzzed failure");
    TLogNDCScope context("fuzz");
    hierarchy.GetLogger("Zumbrel").Info("CmdLine: zumbrel-cli scan /tmp");
    hierarchy.GetLogger("Zumbrel.scan").Error("scan failed <&>", &failure);
    hierarchy.GetLogger("a.b").Debug(std::string(300, 'x'));
    hierarchy.Root().Fatal("done");
    TLogLog::SetInternalDebugging(false);
    return 0;
}
