#pragma once

#include <cstdint>
#include <string>

#include "export/TreeTypesExport.h"

// An HTML 4.01 page with a table of all directories: full path, size, a percentage gauge of
// the root's size and the file count, rows alternating white and light grey. The root path
// in the title and the heading is escaped like the rows. Percentages are taken against the
// root's size as it stands when the header is written, so that a file saved while a scan runs
// stays consistent with itself.
class THtmlTableExport : public TTextExport
{
public:
    using TTextExport::TTextExport;

    [[nodiscard]] static const char *ClassName() { return "THtmlTableExport"; }
    [[nodiscard]] static std::string GetFileExt() { return ".html"; }
    [[nodiscard]] static std::string GetFileDesc();
    [[nodiscard]] static TExportFileType GetFileType() { return xfVisual; }

protected:
    void WriteHeader(std::ostream &AStream) override;
    void WriteNode(const TDirNode &ANode, std::ostream &AStream) override;
    void WriteFooter(std::ostream &AStream) override;

private:
    bool FAlternate = false;
    std::int64_t FRootSize = 0;
    std::string FWhite;
    std::string FGrey;
    std::string FLine;
};

// GeneratedByText, a blank and a link to the maker's homepage.
[[nodiscard]] std::string GeneratedByLink();

// The gauge width (0..100 for sizes within the root's) and the percent text of `size` against
// `rootSize`, both rounded half to even; percent with one decimal at most, the current
// decimal separator and no trailing zeros ("42.5", "100", "0").
struct THtmlShare
{
    std::int64_t Gauge;
    std::string Percent;
};
[[nodiscard]] THtmlShare HtmlShare(std::int64_t size, std::int64_t rootSize);
