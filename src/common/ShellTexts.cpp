#include "common/ShellTexts.h"

#include <utility>
#include <vector>

#include "common/TextUtils.h"
#include "common/Translate.h"
#include "platform/Platform.h"

namespace {

constexpr std::pair<int, const char *> FileOperationTexts[] = {
    {113, "The source and destination files are the same file."},
    {114, "Multiple file paths were specified in the source buffer, but only one destination file path."},
    {115,
        "Rename operation was specified but the destination path is a different directory. Use the move "
        "operation instead."},
    {116, "The source is a root directory, which cannot be moved or renamed."},
    {117,
        "The operation was cancelled by the user, or silently cancelled if the appropriate flags were supplied "
        "to SHFileOperation."},
    {118, "The destination is a subtree of the source."},
    {120, "Security settings denied access to the source."},
    {121, "The source or destination path exceeded or would exceed MAX_PATH."},
    {122, "The operation involved multiple destination paths, which can fail in the case of a move operation."},
    {124, "The path in the source or destination or both was invalid."},
    {125, "The source and destination have the same parent folder."},
    {126, "The destination path is an existing file."},
    {128, "The destination path is an existing folder."},
    {129, "The name of the file exceeds MAX_PATH."},
    {130, "The destination is a read-only CD-ROM, possibly unformatted."},
    {131, "The destination is a read-only DVD, possibly unformatted."},
    {132, "The destination is a writable CD-ROM, possibly unformatted."},
    {133, "The file involved in the operation is too large for the destination media or file system."},
    {134, "The source is a read-only CD-ROM, possibly unformatted."},
    {135, "The source is a read-only DVD, possibly unformatted."},
    {136, "The source is a writable CD-ROM, possibly unformatted."},
    {183, "MAX_PATH was exceeded during the operation."},
    {1026,
        "An unknown error occurred. This is typically due to an invalid path in the source or destination. This "
        "error does not occur on Windows Vista and later."},
    {65536, "An unspecified error occurred on the destination."},
    {65652, "Destination is a root directory and cannot be renamed."},
};

} // namespace

std::string FileOperationErrorText(int errnoCode)
{
    return FileOperationErrorText(errnoCode, *Platform().System);
}

std::string FileOperationErrorText(int errnoCode, ISystem &system)
{
    return system.ErrorMessage(errnoCode);
}

std::string ShellOperationErrorText(int shellCode)
{
    for (const auto &[known, text] : FileOperationTexts)
        if (known == shellCode)
            return text;
    return Platform().System->ErrorMessage(shellCode);
}

std::uint32_t GetExplorerAltColor()
{
    return 0x00FF0000;
}

std::string VersionCaption(std::string_view version)
{
    std::vector<std::string> parts;
    if (SplitText(version, ".", parts) == 0)
        return {};
    std::string caption = std::string(_("Version")) + " " + parts[0];
    if (parts.size() > 1)
        caption += "." + parts[1];
    if (parts.size() > 2 && parts[2] != "0")
        caption += "." + parts[2];
    return caption;
}
