#include "platform/linux/LinuxSystem.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <sstream>

#include <pwd.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include "log/Appender.h"

namespace {

std::string HomeFolder()
{
    if (const char *home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd *pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return {};
}

std::string ConfigHome()
{
    if (const char *config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        return config;
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.config";
}

bool IsDirectory(const std::string &path)
{
    struct stat st
    { };
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string StripTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

std::string ParseUserDir(const std::string &userDirsText, const std::string &key, const std::string &home)
{
    std::istringstream in(userDirsText);
    const std::string prefix = "XDG_" + key + "_DIR=";
    std::string line;
    std::string result;
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) != 0)
            continue;
        std::string value = line.substr(prefix.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0)
            value = home + value.substr(5);
        else if (value.empty() || value.front() != '/')
            continue;
        result = value;
    }
    return result;
}

std::string TLinuxSystem::SpecialFolder(TSpecialFolder folder)
{
    const std::string home = HomeFolder();
    std::string path;
    const char *key = nullptr;
    switch (folder) {
    case TSpecialFolder::Home:
        path = home;
        break;
    case TSpecialFolder::AppData:
        // The configuration folder may not exist yet; the settings store creates it.
        return StripTrailingSlash(ConfigHome());
    case TSpecialFolder::Desktop:
        key = "DESKTOP";
        break;
    case TSpecialFolder::Documents:
        key = "DOCUMENTS";
        break;
    case TSpecialFolder::Pictures:
        key = "PICTURES";
        break;
    case TSpecialFolder::Music:
        key = "MUSIC";
        break;
    case TSpecialFolder::Videos:
        key = "VIDEOS";
        break;
    case TSpecialFolder::Downloads:
        key = "DOWNLOAD";
        break;
    }
    if (key) {
        std::ifstream in(ConfigHome() + "/user-dirs.dirs");
        std::stringstream text;
        text << in.rdbuf();
        path = ParseUserDir(text.str(), key, home);
        // A user directory set to the home folder itself means "not used".
        if (StripTrailingSlash(path) == StripTrailingSlash(home))
            path.clear();
    }
    path = StripTrailingSlash(path);
    return IsDirectory(path) ? path : std::string();
}

std::string TLinuxSystem::ErrorMessage(int code)
{
    char buffer[256];
    const char *text = ::strerror_r(code, buffer, sizeof buffer);
    return text ? std::string(text) : std::string("Unknown error ") + std::to_string(code);
}

std::int64_t TLinuxSystem::CounterFrequency()
{
    return 1000000000;
}

std::int64_t TLinuxSystem::CounterValue()
{
    timespec ts {};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void TLinuxSystem::DebugOutput(std::string_view text)
{
    // The platform's debugger output channel: the journal, copied to standard error with
    // ZUMBREL_DEBUG=1 (see TLogODSAppender).
    (void)LogWriteDebugChannel(text, LOG_DEBUG);
}
