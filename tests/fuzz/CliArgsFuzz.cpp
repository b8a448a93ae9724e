// Feeds arbitrary command lines to zumbrel-cli's own entry point: the input's NUL-separated
// pieces are its arguments. The program's main() is compiled in under another name, so the
// parsing is fuzzed exactly as it is, scans and exports included.
//
// Commands run for real, so the target locks itself into a sandbox first: it changes its root
// to the working folder, which must be named "zumbrel-fuzz-cli*" (tests/fuzz/run-fuzzers.sh
// prepares one with a small tree and the corpus inside, the corpus on a file system of its own so
// that scans do not descend into it), and refuses to run anywhere else. The scans keep their
// trees (the program exits right after them), so memory grows with the number of runs.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

int ZumbrelCliMain(int argc, char **argv);

namespace {

// Files the commands wrote (--output NAME) would pile up and make every later scan bigger;
// the sandbox goes back to its first state after each input.
void RemoveOutputs(const char *folder, std::initializer_list<std::string_view> keep)
{
    DIR *dir = ::opendir(folder);
    if (!dir)
        return;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        bool kept = name == "." || name == "..";
        for (const std::string_view k : keep)
            kept = kept || name == k || (k.back() == '-' && name.substr(0, k.size()) == k);
        if (!kept)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    char cwd[4096];
    if (!::getcwd(cwd, sizeof cwd) || std::string(cwd).find("/zumbrel-fuzz-cli") == std::string::npos) {
        std::fprintf(stderr, "fuzz_cli_args: run me inside a folder named zumbrel-fuzz-cli*\n");
        std::exit(2);
    }
    if (::chroot(".") != 0 || ::chdir("/") != 0) {
        std::perror("fuzz_cli_args: chroot");
        std::exit(2);
    }
    ::setenv("HOME", "/home", 1);
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("ZUMBREL_DEBUG");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::vector<std::string> args {"zumbrel-cli"};
    std::string current;
    for (std::size_t i = 0; i < size && args.size() < 64; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    if (!current.empty() && args.size() < 64)
        args.push_back(current);
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int code = ZumbrelCliMain(static_cast<int>(args.size()), argv.data());
    RemoveOutputs(
        "/", {"tree", "home", "dev", "corpus", "cli_args.dict", "crash-", "oom-", "leak-", "timeout-", "slow-unit-"});
    RemoveOutputs("/tree", {"a", "c"});
    if (code < 0 || code > 2)
        std::abort(); // the documented exit codes are 0, 1 and 2
    return 0;
}
