#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "CliDefaults.h"
#include "common/SizeText.h"
#include "model/TreeTypes.h"
#include "scan/DirScanner.h"

// A mistake on the command line. main prints "zumbrel-cli: <what>" and the command's usage
// on standard error and exits with 2.
class ECliUsage : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Walks the arguments of one command. An option's value is the next argument or follows "="
// ("--top 5", "--top=5"); after "--" every argument is an operand.
//
//   TArgReader r(args);
//   while (r.Next()) {
//       if (r.Is("--top")) top = ParseCount(r, r.Value(), 1);
//       else if (!ParseScanArgument(r, scan)) r.Unknown();
//   }
class TArgReader
{
public:
    explicit TArgReader(const std::vector<std::string> &args)
        : FArgs(args)
    { }

    // Moves to the next argument; false after the last one.
    bool Next();
    // True when the current argument is the option `name`, alone or as "name=value".
    [[nodiscard]] bool Is(std::string_view name) const;
    // True when the current argument is the option `name` without a value; throws when it
    // comes with one ("--quiet=yes").
    [[nodiscard]] bool IsFlag(std::string_view name) const;
    // The value of the current option; throws "--name needs a value" when there is none.
    std::string Value();
    // The current argument is no option: a plain word, "-", or anything after "--".
    [[nodiscard]] bool IsOperand() const;
    [[nodiscard]] const std::string &Current() const { return FArgs[FIndex]; }
    // The option name of the current argument ("--top" of "--top=5").
    [[nodiscard]] std::string OptionName() const;
    // Throws the error for an argument nobody took.
    [[noreturn]] void Unknown() const;

private:
    const std::vector<std::string> &FArgs;
    std::size_t FIndex = static_cast<std::size_t>(-1);
    bool FOperandsOnly = false;
};

// What every command that scans takes: grouping, the progress line and the folder.
struct TScanArgs
{
    TScanArgs() { Options.GroupFileSize = CliDefaults().GroupFileSize; }

    TDirScanOptions Options;
    // Which size the totals and rows show: the logical one unless --size-on-disk.
    TSizeKind Size = skLogical;
    bool Quiet = false;
    std::string Path;
    bool HavePath = false;
};

// Takes the current argument when it is one of the scanning options or the folder; false for
// anything else. Throws ECliUsage for a bad value or a second folder.
bool ParseScanArgument(TArgReader &reader, TScanArgs &args);
// The patterns of an --exclude-from file, one a line (empty lines skipped); throws ECliUsage
// when it cannot be read.
std::vector<std::string> ReadExcludeFile(const std::string &path);

// Throws when no folder was given.
void RequirePath(const TScanArgs &args);

// A whole number of at least `minimum` for the option `option`; throws `message` otherwise.
std::int64_t ParseCount(std::string_view text, std::int64_t minimum, const std::string &message);

// "none", "bankers" or "truncate"; throws for anything else.
TRoundingStyle ParseRoundingArgument(std::string_view text);
