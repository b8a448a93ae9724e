#include "model/common/Translate.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <shared_mutex>

#include <dirent.h>
#include <libintl.h>
#include <sys/stat.h>
#include <unistd.h>

// glibc's catalog generation counter: raising it drops the look-up cache, which is keyed by the
// message locale and would otherwise keep answering in the previous language.
extern "C" int _nl_msg_cat_cntr;

namespace {

constexpr const char *Domain = TranslationDomain;

struct TEngineState
{
    std::shared_mutex Lock;
    std::string LocaleDir; // empty until InitTranslation
    std::string Current; // empty until a language was chosen
};

TEngineState &State()
{
    static TEngineState state;
    return state;
}

std::string ExecutableDirectory()
{
    std::array<char, 4096> path {};
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0)
        return ".";
    std::string exe(path.data(), static_cast<std::size_t>(n));
    const auto slash = exe.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : exe.substr(0, slash);
}

bool IsDirectory(const std::string &path)
{
    struct stat st
    { };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A build tree keeps the catalogs beside the programs; an installed program finds them in the
// shared locale tree relative to its own folder, so a relocated prefix works too.
std::string DefaultLocaleDirectory()
{
    std::string dir = ExecutableDirectory();
    if (dir.back() != '/')
        dir += '/';
    const std::string beside = dir + "locale";
#ifdef ZUMBREL_INSTALLED_LOCALE_DIR
    if (!IsDirectory(beside)) {
        const std::string installed = dir + ZUMBREL_INSTALLED_LOCALE_DIR;
        if (IsDirectory(installed))
            return installed;
    }
#endif
    return beside;
}

bool IsPlainLocale(std::string_view name)
{
    return name.empty() || name == "C" || name == "POSIX";
}

// Sets the language list of gettext; the caller holds the lock exclusively.
void ApplyLanguageLocked(TEngineState &state, const std::string &code)
{
    ::setenv("LANGUAGE", code.c_str(), 1);
    ++_nl_msg_cat_cntr;
    state.Current = code;
}

bool IsRegularFile(const std::string &path)
{
    struct stat st
    { };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

std::string _(std::string_view msgid)
{
    if (msgid.empty())
        return {};
    const std::string id(msgid);
    std::shared_lock guard(State().Lock);
    return dgettext(Domain, id.c_str());
}

void InitTranslation(const std::string &localeDir)
{
    TEngineState &state = State();
    std::unique_lock guard(state.Lock);
    state.LocaleDir = localeDir.empty() ? DefaultLocaleDirectory() : localeDir;
    ::bindtextdomain(Domain, state.LocaleDir.c_str());
    ::bind_textdomain_codeset(Domain, "UTF-8");
    // gettext ignores the language list under the "C" message locale, and a user locale that is
    // not installed leaves "C" in force; C.UTF-8 is always there in glibc.
    const char *messages = std::setlocale(LC_MESSAGES, "");
    if (!messages || IsPlainLocale(messages))
        std::setlocale(LC_MESSAGES, "C.UTF-8");
    ApplyLanguageLocked(state, SystemLanguage());
}

std::string LocaleDirectory()
{
    TEngineState &state = State();
    {
        std::shared_lock guard(state.Lock);
        if (!state.LocaleDir.empty())
            return state.LocaleDir;
    }
    return DefaultLocaleDirectory();
}

void UseLanguage(std::string_view code)
{
    const std::string chosen = code.empty() ? SystemLanguage() : std::string(code);
    TEngineState &state = State();
    std::unique_lock guard(state.Lock);
    ApplyLanguageLocked(state, chosen);
}

std::string GetCurrentLanguage()
{
    TEngineState &state = State();
    {
        std::shared_lock guard(state.Lock);
        if (!state.Current.empty())
            return state.Current;
    }
    return SystemLanguage();
}

std::string SystemLanguage()
{
    if (const char *lang = std::getenv("LANG"); lang && *lang) {
        std::string code(lang);
        code.erase(std::min(code.find('.'), code.size()));
        return IsPlainLocale(code) ? std::string("en") : code;
    }
    for (const char *name : {"LC_ALL", "LC_MESSAGES"}) {
        const char *value = std::getenv(name);
        if (!value || !*value)
            continue;
        std::string code(value);
        code.erase(std::min(code.find_first_of(".@"), code.size()));
        if (IsPlainLocale(code))
            break;
        const std::string language = code.substr(0, code.find('_'));
        if (language == "no")
            code.replace(0, 2, "nb");
        return code;
    }
    return "en";
}

void GetListOfLanguages(std::string_view domain, std::vector<std::string> &list)
{
    list.clear();
    const std::string dir = LocaleDirectory();
    const std::unique_ptr<DIR, int (*)(DIR *)> handle(::opendir(dir.c_str()), &::closedir);
    if (!handle)
        return;
    const std::string catalog = "/LC_MESSAGES/" + std::string(domain) + ".mo";
    while (const dirent *entry = ::readdir(handle.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (IsRegularFile(dir + "/" + name + catalog))
            list.push_back(name);
    }
    std::sort(list.begin(), list.end());
}
