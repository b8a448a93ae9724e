#pragma once

#include <cstddef>
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
// U+FFFD, so a name never breaks its line. Past MaxIndentedLevels the indentation stops
// growing and a marker names the level ("[level 70] `-- name"): nobody follows 70 columns
// of branches, and a chain of a million folders would otherwise take terabytes.
inline constexpr std::size_t MaxIndentedLevels = 64;

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
