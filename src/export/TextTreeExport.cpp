#include "export/TextTreeExport.h"

#include <algorithm>

#include "common/Translate.h"
#include "export/TextEscape.h"
#include "model/TreeTypes.h"

std::string TTextTreeExport::GetFileDesc()
{
    return _("Text File (Tree Structure)");
}

void TTextTreeExport::WriteHeader(std::ostream &)
{
    // Looked up once: a catalog lookup per line would dominate large exports.
    FFileWord = _("File");
    FFilesWord = _("Files");
}

void TTextTreeExport::WriteNode(const TDirNode &ANode, std::ostream &AStream)
{
    FLine.clear();
    const std::size_t level = NodeLevel();
    if (level == 0) {
        FLine += "   ";
    } else {
        FLine += "    "; // the root never has a later sibling
        const std::size_t drawn = std::min(level, MaxIndentedLevels);
        for (std::size_t l = 1; l < drawn; ++l)
            FLine += HasLaterDirSibling(l) ? "   |" : "    ";
        if (drawn < level) {
            FLine += " [level ";
            FLine += std::to_string(level);
            FLine += ']';
        }
        FLine += HasLaterDirSibling(level) ? "   |-- " : "   `-- ";
    }
    AppendLineText(FLine, ANode.Name());
    const std::int32_t count = ANode.FileCount();
    FLine += "   (";
    AppendLineText(FLine, FormatSize(ANode.GetSize()));
    FLine += ", ";
    FLine += std::to_string(count);
    FLine += ' ';
    FLine += count == 1 ? FFileWord : FFilesWord;
    FLine += ")\r\n";
    WriteText(AStream, FLine);
}
