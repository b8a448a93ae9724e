#include "shell/NetworkResources.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>

#include <dirent.h>
#include <sys/stat.h>

#include "common/CEscape.h"
#include "common/FormatText.h"
#include "common/Translate.h"
#include "model/Paths.h"

namespace {

// gvfs escapes the characters of its key syntax (",", "=", "/", blanks) as %XX.
std::string Unescape(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = HexDigitValue(text[i + 1]);
            const int lo = HexDigitValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

// "SHARE on SERVER", translated; a "%s" inside a name stays as it is.
std::string OnText(const std::string &what, const std::string &where)
{
    return FormatText(_("%s on %s"), {what, where});
}

} // namespace

TNetworkResource GvfsLocation(const std::string &gvfsDir, std::string_view folderName)
{
    TNetworkResource r;
    r.ResourceName = JoinPath(gvfsDir, folderName);
    const auto colon = folderName.find(':');
    if (colon == std::string_view::npos) {
        r.Comment = std::string(folderName);
        return r;
    }
    const std::string_view scheme = folderName.substr(0, colon);
    std::map<std::string, std::string, std::less<>> keys;
    std::string_view rest = folderName.substr(colon + 1);
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        const std::string_view pair = rest.substr(0, comma);
        const auto eq = pair.find('=');
        if (eq != std::string_view::npos)
            keys[std::string(pair.substr(0, eq))] = Unescape(pair.substr(eq + 1));
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    const auto value = [&](std::string_view key) {
        const auto found = keys.find(key);
        return found == keys.end() ? std::string() : found->second;
    };
    const std::string host = !value("server").empty() ? value("server") : value("host");
    const std::string share = !value("share").empty() ? value("share") : value("volume");
    if (!share.empty() && !host.empty()) {
        r.DisplayType = ndtShare;
        r.Comment = OnText(share, host);
    } else if (!host.empty()) {
        r.DisplayType = ndtServer;
        r.Comment = value("user").empty() ? host : OnText(value("user"), host);
    } else {
        r.Comment = std::string(scheme);
    }
    return r;
}

std::vector<TNetworkResource> ReadGvfsLocations(const std::string &gvfsDir)
{
    std::vector<TNetworkResource> list;
    if (gvfsDir.empty())
        return list;
    std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(gvfsDir.c_str()), &::closedir);
    if (!dir)
        return list;
    while (const dirent *entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        // Only the type from the directory entry: a stat would wait on the remote end.
        if (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN)
            continue;
        list.push_back(GvfsLocation(gvfsDir, name));
    }
    std::sort(list.begin(), list.end(),
        [](const TNetworkResource &a, const TNetworkResource &b) { return a.Comment < b.Comment; });
    return list;
}

std::string GvfsDirectory()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime)
        return {};
    return JoinPath(runtime, "gvfs");
}
