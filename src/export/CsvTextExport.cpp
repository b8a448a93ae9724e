#include "export/CsvTextExport.h"

#include <stdexcept>

#include "common/Translate.h"
#include "export/TextEscape.h"
#include "model/TreeTypes.h"

TCsvTextExport::TCsvTextExport(const TDirNode *ARootNode)
    : TTextExport(ARootNode)
    , FCsvSeparator(",")
{ }

void TCsvTextExport::SetCsvSeparator(std::string_view separator)
{
    char32_t cp = 0;
    if (separator.empty() || DecodeUtf8(separator, cp) != separator.size() || cp == '"' || cp == '\r' || cp == '\n')
        throw std::invalid_argument("A CSV separator is one character other than a quote or a line break");
    FCsvSeparator.assign(separator);
}

std::string TCsvTextExport::GetFileDesc()
{
    return _("CSV (Comma separated)");
}

void TCsvTextExport::WriteNode(const TDirNode &ANode, std::ostream &AStream)
{
    FLine.clear();
    AppendCsvField(FLine, NodePath(), FCsvSeparator);
    FLine += FCsvSeparator;
    AppendCsvField(FLine, FormatSize(ANode.GetSize()), FCsvSeparator);
    FLine += FCsvSeparator;
    FLine += std::to_string(ANode.FileCount());
    FLine += "\r\n";
    WriteText(AStream, FLine);
}
