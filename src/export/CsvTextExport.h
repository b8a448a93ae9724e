#pragma once

#include <string>
#include <string_view>

#include "export/TreeTypesExport.h"

// Comma separated values: one line per directory, "<full path>,<size>,<file count>" and CR LF,
// no header. A field containing the separator, a double quote, CR or LF is enclosed in double
// quotes with inner quotes doubled (RFC 4180); every other field is written as it is.
class TCsvTextExport : public TTextExport
{
public:
    explicit TCsvTextExport(const TDirNode *ARootNode);

    [[nodiscard]] const std::string &CsvSeparator() const { return FCsvSeparator; }
    // One character (UTF-8); a double quote, CR, LF or anything longer is refused with
    // std::invalid_argument.
    void SetCsvSeparator(std::string_view separator);

    [[nodiscard]] static const char *ClassName() { return "TCsvTextExport"; }
    [[nodiscard]] static std::string GetFileExt() { return ".csv"; }
    [[nodiscard]] static std::string GetFileDesc();
    [[nodiscard]] static TExportFileType GetFileType() { return xfUndefined; }

protected:
    void WriteNode(const TDirNode &ANode, std::ostream &AStream) override;

private:
    std::string FCsvSeparator;
    std::string FLine;
};
