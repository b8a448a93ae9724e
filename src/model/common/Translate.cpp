#include "model/common/Translate.h"

#include <cstdlib>
#include <libintl.h>

std::string _(std::string_view msgid)
{
    if (msgid.empty())
        return {};
    const std::string id(msgid);
    return dgettext("default", id.c_str());
}

std::string GetCurrentLanguage()
{
    const char *lang = std::getenv("LANG");
    std::string code = lang && *lang ? lang : "en";
    const auto cut = code.find_first_of(".@");
    if (cut != std::string::npos)
        code.erase(cut);
    if (code == "C" || code == "POSIX" || code.empty())
        code = "en";
    return code;
}
