#pragma once

#include <string>
#include <string_view>

#include "platform/Platform.h"

// Path joins that never produce "//" and never strip the root "/" to nothing.
inline std::string ExcludeTrailingPathDelimiter(std::string_view path)
{
    while (path.size() > 1 && path.back() == PathDelim)
        path.remove_suffix(1);
    return std::string(path);
}

inline std::string IncludeTrailingPathDelimiter(std::string_view path)
{
    std::string result(path);
    if (result.empty() || result.back() != PathDelim)
        result += PathDelim;
    return result;
}

inline std::string JoinPath(std::string_view parent, std::string_view name)
{
    std::string result = IncludeTrailingPathDelimiter(parent);
    result.append(name);
    return result;
}

inline std::string_view LastPathComponent(std::string_view path)
{
    if (path.size() <= 1)
        return path;
    const auto pos = path.rfind(PathDelim);
    return pos == std::string_view::npos ? path : path.substr(pos + 1);
}
