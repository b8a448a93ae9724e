#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <shared_mutex>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/MoCatalog.h"
#include "common/TranslatePlural.h"
#include "log/Logger.h"

#ifndef ZUMBREL_TEXT_DOMAIN
#error "the build names the text domain (ZUMBREL_TEXT_DOMAIN)"
#endif

namespace {

struct TEngineState
{
    // Look-ups hold it shared while they read the catalog; a switch holds it exclusively only
    // to exchange the catalog pointer, the file is read before.
    std::shared_mutex Lock;
    std::string LocaleDir; // empty until InitTranslation
    std::string Current; // empty until a language was chosen
    std::shared_ptr<const TMoCatalog> Catalog; // null: the English ids
    // Serialises whole switches, so two threads switching at once end with matching code and
    // catalog.
    std::mutex SwitchLock;
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

bool IsRegularFile(const std::string &path)
{
    struct stat st
    { };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The folder names a code's catalog is looked for under, most specific first: "de_AT.UTF-8@euro",
// "de_AT", "de". Codes that would leave the locale folder give nothing.
std::vector<std::string> CatalogNames(const std::string &code)
{
    std::vector<std::string> names;
    if (code.empty() || code.find('/') != std::string::npos || code == "." || code == "..")
        return names;
    const auto add = [&names](std::string name) {
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(std::move(name));
    };
    add(code);
    const std::string plain = code.substr(0, code.find_first_of(".@"));
    add(plain);
    add(plain.substr(0, plain.find('_')));
    return names;
}

// The catalog of `code` in `dir`, or null (logged when a catalog exists but cannot be read).
std::shared_ptr<const TMoCatalog> LoadCatalog(const std::string &dir, const std::string &code)
{
    for (const std::string &name : CatalogNames(code)) {
        const std::string file = dir + "/" + name + "/LC_MESSAGES/" + std::string(TextDomain()) + ".mo";
        if (!IsRegularFile(file))
            continue;
        try {
            auto catalog = std::make_shared<const TMoCatalog>(TMoCatalog::LoadFromFile(file));
            if (!catalog->PluralRuleError().empty())
                ZU_LOG_WARN(file + ": " + catalog->PluralRuleError());
            return catalog;
        } catch (const std::exception &e) {
            ZU_LOG_WARN(std::string("message catalog not used: ") + e.what());
        }
    }
    return nullptr;
}

void SwitchTo(const std::string &code)
{
    TEngineState &state = State();
    std::scoped_lock switching(state.SwitchLock);
    const std::string dir = LocaleDirectory();
    std::shared_ptr<const TMoCatalog> catalog = LoadCatalog(dir, code);
    {
        std::unique_lock guard(state.Lock);
        state.Catalog.swap(catalog);
        state.Current = code;
    }
    // The previous catalog is freed here, outside the lock.
}

} // namespace

std::string_view TextDomain()
{
    return ZUMBREL_TEXT_DOMAIN;
}

std::string _(std::string_view msgid)
{
    if (msgid.empty())
        return {};
    TEngineState &state = State();
    std::shared_lock guard(state.Lock);
    if (state.Catalog)
        if (const std::string *text = state.Catalog->Find(msgid))
            return *text;
    return std::string(msgid);
}

std::string _n(std::string_view singular, std::string_view plural, std::uint64_t n)
{
    if (singular.empty())
        return {};
    TEngineState &state = State();
    std::shared_lock guard(state.Lock);
    if (state.Catalog)
        if (const std::string *text = state.Catalog->FindPlural(singular, n))
            return *text;
    return std::string(n == 1 ? singular : plural);
}

std::string CatalogTranslator()
{
    std::string header;
    {
        std::shared_lock guard(State().Lock);
        // The empty message id holds the catalog's header.
        if (State().Catalog)
            header = State().Catalog->Header();
    }
    const std::string key = "Last-Translator:";
    const auto pos = header.find(key);
    if (pos == std::string::npos)
        return {};
    std::string value = header.substr(pos + key.size());
    value = value.substr(0, value.find('\n'));
    if (const auto mail = value.find('<'); mail != std::string::npos)
        value.erase(mail);
    const auto first = value.find_first_not_of(' ');
    const auto last = value.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
}

void InitTranslation(const std::string &localeDir)
{
    TEngineState &state = State();
    {
        std::unique_lock guard(state.Lock);
        state.LocaleDir = localeDir.empty() ? DefaultLocaleDirectory() : localeDir;
    }
    SwitchTo(SystemLanguage());
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
    SwitchTo(code.empty() ? SystemLanguage() : std::string(code));
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
