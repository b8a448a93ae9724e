#include "CliArgs.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "CliDefaults.h"
#include "common/CEscape.h"
#include "common/FormatText.h"
#include "common/Translate.h"

bool TArgReader::Next()
{
    ++FIndex;
    if (FIndex >= FArgs.size())
        return false;
    if (!FOperandsOnly && FArgs[FIndex] == "--") {
        FOperandsOnly = true;
        return Next();
    }
    return true;
}

bool TArgReader::Is(std::string_view name) const
{
    if (IsOperand())
        return false;
    const std::string_view a = Current();
    return a == name || (a.size() > name.size() && a.substr(0, name.size()) == name && a[name.size()] == '=');
}

bool TArgReader::IsFlag(std::string_view name) const
{
    if (!Is(name))
        return false;
    if (Current() != name)
        throw ECliUsage(FormatText(_("%s takes no value"), {name}));
    return true;
}

std::string TArgReader::OptionName() const
{
    const std::string &a = Current();
    const auto equals = a.find('=');
    return a.rfind("--", 0) == 0 && equals != std::string::npos ? a.substr(0, equals) : a;
}

std::string TArgReader::Value()
{
    const std::string name = OptionName();
    const std::string &a = Current();
    if (a.size() > name.size())
        return a.substr(name.size() + 1);
    if (FIndex + 1 >= FArgs.size())
        throw ECliUsage(FormatText(_("%s needs a value"), {name}));
    return FArgs[++FIndex];
}

bool TArgReader::IsOperand() const
{
    const std::string &a = Current();
    return FOperandsOnly || a.empty() || a[0] != '-' || a == "-";
}

void TArgReader::Unknown() const
{
    if (IsOperand())
        throw ECliUsage(FormatText(_("unexpected argument '%s'"), {CEscaped(Current())}));
    throw ECliUsage(FormatText(_("unknown option '%s'"), {CEscaped(OptionName())}));
}

std::int64_t ParseCount(std::string_view text, std::int64_t minimum, const std::string &message)
{
    std::int64_t value = 0;
    if (!ParseByteCount(std::string(text), value) || value < minimum)
        throw ECliUsage(message);
    return value;
}

bool ParseScanArgument(TArgReader &reader, TScanArgs &args)
{
    if (reader.IsFlag("--no-grouping")) {
        args.Options.GroupFileSize = 0;
    } else if (reader.Is("--group-size")) {
        args.Options.GroupFileSize = ParseCount(reader.Value(), 0, _("--group-size needs a number of bytes"));
    } else if (reader.IsFlag("--size-on-disk")) {
        args.Size = skDisk;
    } else if (reader.IsFlag("--apparent-size")) {
        args.Size = skLogical;
    } else if (reader.Is("--exclude")) {
        std::string pattern = reader.Value();
        if (pattern.empty())
            throw ECliUsage(_("--exclude needs a pattern"));
        args.Options.ExcludePatterns.push_back(std::move(pattern));
    } else if (reader.Is("--exclude-from")) {
        for (std::string &pattern : ReadExcludeFile(reader.Value()))
            args.Options.ExcludePatterns.push_back(std::move(pattern));
    } else if (reader.IsFlag("--exclude-caches")) {
        args.Options.ExcludeCaches = true;
    } else if (reader.IsFlag("--cross-mounts")) {
        args.Options.CrossMounts = true;
    } else if (reader.IsFlag("-x") || reader.IsFlag("--one-file-system")) {
        args.Options.CrossMounts = false; // the default; accepted as du and ncdu users type it
    } else if (reader.Is("--threads") || reader.Is("-t")) {
        // Workers of the walk: 0 (the default) means one per processor.
        const std::int64_t threads = ParseCount(reader.Value(), 1, _("--threads needs a number from 1 to 64"));
        if (threads > 64)
            throw ECliUsage(_("--threads needs a number from 1 to 64"));
        args.Options.Threads = static_cast<std::int32_t>(threads);
    } else if (reader.IsFlag("-q") || reader.IsFlag("--quiet")) {
        args.Quiet = true;
    } else if (reader.IsOperand()) {
        if (args.HavePath)
            throw ECliUsage(
                FormatText(_("only one folder can be given; '%s' is a second one"), {CEscaped(reader.Current())}));
        if (reader.Current().empty())
            throw ECliUsage(_("the folder is an empty text"));
        args.Path = reader.Current();
        args.HavePath = true;
    } else {
        return false;
    }
    return true;
}

std::vector<std::string> ReadExcludeFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw ECliUsage(FormatText(_("cannot read the patterns of '%s': %s"), {CEscaped(path), std::strerror(errno)}));
    std::vector<std::string> patterns;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            patterns.push_back(line);
    }
    if (in.bad())
        throw ECliUsage(FormatText(_("cannot read the patterns of '%s': %s"), {CEscaped(path), std::strerror(EIO)}));
    return patterns;
}

void RequirePath(const TScanArgs &args)
{
    if (!args.HavePath)
        throw ECliUsage(_("no folder given"));
}

TRoundingStyle ParseRoundingArgument(std::string_view text)
{
    if (text == "none")
        return rsNone;
    if (text == "bankers")
        return rsBankers;
    if (text == "truncate")
        return rsTruncate;
    throw ECliUsage(FormatText(_("unknown rounding '%s' (none, bankers, truncate)"), {CEscaped(text)}));
}
