#include "export/XmlTreeExport.h"

#include <algorithm>

#include "common/Translate.h"
#include "export/TextEscape.h"
#include "export/TextTreeExport.h"
#include "model/TreeTypes.h"

namespace {

// A comment must not contain "--"; the version and the address are build settings.
std::string CommentText(std::string text)
{
    for (auto pos = text.find("--"); pos != std::string::npos; pos = text.find("--", pos))
        text.replace(pos, 2, "- -");
    if (!text.empty() && text.back() == '-')
        text += ' ';
    std::string valid;
    AppendUtf8(valid, text);
    return valid;
}

} // namespace

std::string TXmlTreeExport::GetFileDesc()
{
    return _("XML File");
}

void TXmlTreeExport::WriteXmlLine(std::ostream &AStream, std::string_view S, std::int32_t ALevel)
{
    if (!FPrettyXml) {
        WriteText(AStream, S);
        return;
    }
    // Indentation stops growing where the text tree's does: past it, it shows nothing more.
    const std::size_t level = ALevel > 0 ? std::min(static_cast<std::size_t>(ALevel), MaxIndentedLevels) : 0;
    std::string line(4 * level, ' ');
    line += S;
    line += "\r\n";
    WriteText(AStream, line);
}

void TXmlTreeExport::WriteHeader(std::ostream &AStream)
{
    const std::string header = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- "
        + CommentText(GeneratedByText() + " (" + HomepageUrl() + ")") + " -->\r\n<Zumbrel>";
    WriteXmlLine(AStream, header, 0);
}

void TXmlTreeExport::WriteFooter(std::ostream &AStream)
{
    WriteXmlLine(AStream, "</Zumbrel>", 0);
}

void TXmlTreeExport::WriteDirStart(std::ostream &AStream)
{
    WriteXmlLine(AStream, "<dir>", FLevel);
    ++FLevel;
}

void TXmlTreeExport::WriteNode(const TDirNode &ANode, std::ostream &AStream)
{
    FFragment = "<name>";
    AppendXmlEscaped(FFragment, ANode.Name(), false);
    FFragment += "</name>";
    WriteXmlLine(AStream, FFragment, FLevel);
    FFragment = "<size>";
    AppendXmlEscaped(FFragment, FormatSize(ANode.GetSize()), false);
    FFragment += "</size>";
    WriteXmlLine(AStream, FFragment, FLevel);
    FFragment = "<count>" + std::to_string(ANode.FileCount()) + "</count>";
    WriteXmlLine(AStream, FFragment, FLevel);
}

void TXmlTreeExport::WriteSubDirsStart(std::ostream &AStream)
{
    WriteXmlLine(AStream, "<subdirs>", FLevel);
    ++FLevel;
}

void TXmlTreeExport::WriteSubDirsEnd(std::ostream &AStream)
{
    --FLevel;
    WriteXmlLine(AStream, "</subdirs>", FLevel);
}

void TXmlTreeExport::WriteDirEnd(std::ostream &AStream)
{
    --FLevel;
    WriteXmlLine(AStream, "</dir>", FLevel);
}

std::string TXmlTreeExport2::GetFileDesc()
{
    return _("XML File v2.0");
}

void TXmlTreeExport2::WriteDirStart(std::ostream &)
{
    ++FLevel;
}

void TXmlTreeExport2::WriteNode(const TDirNode &ANode, std::ostream &AStream)
{
    FFragment = "<dir name=\"";
    AppendXmlEscaped(FFragment, ANode.Name(), false);
    FFragment += "\" size=\"";
    AppendXmlEscaped(FFragment, FormatSize(ANode.GetSize()), false);
    FFragment += "\" filecount=\"";
    FFragment += std::to_string(ANode.FileCount());
    FFragment += "\">";
    WriteXmlLine(AStream, FFragment, FLevel);
}

void TXmlTreeExport2::WriteSubDirsStart(std::ostream &)
{
    ++FLevel;
}

void TXmlTreeExport2::WriteSubDirsEnd(std::ostream &)
{
    --FLevel;
}

void TXmlTreeExport2::WriteDirEnd(std::ostream &AStream)
{
    WriteXmlLine(AStream, "</dir>", FLevel);
    --FLevel;
}
