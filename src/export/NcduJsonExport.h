#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "export/TreeTypesExport.h"

// The tree in the JSON export format of ncdu, version 1.2, which ncdu and gdu read back:
//   [1,2,{"progname":"zumbrel",...},[{"name":"/root/path",...},{"name":"file","asize":5},
//    [{"name":"subdir"},...]]]
// Every file is written, also those of small-files groups. Known facts only: asize (the
// logical size), mtime (whole seconds), read_error for folders that could not be read
// completely, notreg for symbolic links and "excluded":"otherfs" for mount points, which
// are never entered. The node model holds no allocated sizes, inode or device numbers, so
// dsize, ino, dev and hlnkc are left out. Names are written as their raw bytes, as the
// format asks: only the double quote, the backslash and control characters are escaped.
// The format has one root: an analysis of all local drives is written as the tree of their
// common folder (mostly "/") with each drive at its mount point, and reads back as that.
class TNcduJsonExport : public TTextExport
{
public:
    using TTextExport::TTextExport;

    [[nodiscard]] static const char *ClassName() { return "TNcduJsonExport"; }
    [[nodiscard]] static std::string GetFileExt() { return ".json"; }
    [[nodiscard]] static std::string GetFileDesc();
    [[nodiscard]] static TExportFileType GetFileType() { return xfData; }

protected:
    void WriteHeader(std::ostream &AStream) override;
    void WriteFooter(std::ostream &AStream) override;
    void WriteNode(const TDirNode &ANode, std::ostream &AStream) override;

private:
    std::string FBuffer;
};

// Appends `name` as a JSON string in the ncdu manner: quotes around the raw bytes, with `"`,
// `\` and the bytes below 0x20 and 0x7F escaped.
void AppendNcduJsonString(std::string &out, std::string_view name);
