#pragma once

#include <string>

#include "export/TreeTypesExport.h"

// An indented text tree, one line per directory:
//
//    R   (1234, 56 Files)
//        |-- A   (100, 3 Files)
//        |   `-- C   (50, 1 File)
//        `-- B   (20, 2 Files)
//
// Branches are drawn from directory siblings only. Control characters in names are shown as
// U+FFFD, so a name never breaks its line.
class TTextTreeExport : public TTextExport
{
public:
    using TTextExport::TTextExport;

    [[nodiscard]] static const char *ClassName() { return "TTextTreeExport"; }
    [[nodiscard]] static std::string GetFileExt() { return ".txt"; }
    [[nodiscard]] static std::string GetFileDesc();
    [[nodiscard]] static TExportFileType GetFileType() { return xfVisual; }

protected:
    void WriteHeader(std::ostream &AStream) override;
    void WriteNode(const TDirNode &ANode, std::ostream &AStream) override;

private:
    std::string FFileWord;
    std::string FFilesWord;
    std::string FLine;
};
