#include "export/HtmlTableExport.h"

#include <cmath>

#include "common/SizeText.h"
#include "common/Translate.h"
#include "export/TextEscape.h"
#include "model/TreeTypes.h"

namespace {

constexpr std::uint32_t ColorWhite = 0xFFFFFF;
constexpr std::uint32_t ColorLightGrey = 0xF0F0F0;
constexpr std::uint32_t SysActiveCaption = 0xFF000002;
constexpr std::uint32_t SysCaptionText = 0xFF000009;
constexpr std::uint32_t SysActiveBorder = 0xFF00000A;

std::string Escaped(std::string_view text)
{
    return XmlEscape(text, true);
}

} // namespace

std::string GeneratedByLink()
{
    const std::string url = Escaped(HomepageUrl());
    std::string text;
    AppendUtf8(text, GeneratedByText());
    return text + " <a href=\"" + url + "\" title=\"Zumbrel Website\">" + url + "</a>";
}

THtmlShare HtmlShare(std::int64_t size, std::int64_t rootSize)
{
    const double ratio = rootSize > 0 ? static_cast<double>(size) / static_cast<double>(rootSize) : 0.0;
    // nearbyint rounds halves to even in the default rounding mode.
    const double gauge = std::nearbyint(ratio * 100);
    double percent = std::nearbyint(ratio * 1000) / 10;
    if (percent == 0)
        percent = 0; // no "-0"
    return {static_cast<std::int64_t>(gauge), FloatToStr(percent)};
}

std::string THtmlTableExport::GetFileDesc()
{
    return _("HTML File");
}

void THtmlTableExport::WriteHeader(std::ostream &AStream)
{
    FAlternate = false;
    FRootSize = RootNode() ? RootNode()->GetSize() : 0;
    FWhite = ColorToHtml(ColorWhite);
    FGrey = ColorToHtml(ColorLightGrey);
    const std::string rootPath = RootNode() ? Escaped(RootNode()->GetFullPathName()) : std::string();
    std::string generatedBy;
    AppendUtf8(generatedBy, GeneratedByText());

    std::string h;
    h += "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"\r\n";
    h += "\t\"http://www.w3.org/TR/html4/loose.dtd\">\r\n";
    h += "<!-- " + generatedBy + " -->\r\n";
    h += "<html>\r\n";
    h += "<head>\r\n";
    h += "\t<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">\r\n";
    h += "\t<title>Zumbrel - " + rootPath + "</title>\r\n";
    h += "\t<style type=\"text/css\">\r\n";
    h += "<!--\r\n";
    h += "body { font-family:Arial,sans-serif; }\r\n";
    h += "h1 { font-size:1.2em; }\r\n";
    h += "th { color: " + ColorToHtml(SysCaptionText) + "; }\r\n";
    h += "td { font-size:0.7em; font-family:Tahoma,Arial,sans-serif; }\r\n";
    h += "table.gauge { empty-cells:show; }\r\n";
    h += "td.gauge { color: #000000; border: 1px solid #0376E0; background-color: #3492FE; }\r\n";
    h += "-->\r\n";
    h += "\t</style>\r\n";
    h += "</head>\r\n";
    h += "<body>\r\n";
    h += "<code>" + GeneratedByLink() + "</code>\r\n";
    h += "<h1>" + rootPath + "</h1>\r\n";
    h += "<table cellpadding=\"3\" cellspacing=\"1\" bgcolor=\"" + ColorToHtml(SysActiveBorder) + "\">\r\n";
    h += "<tr bgcolor=\"" + ColorToHtml(SysActiveCaption) + "\"><th>" + Escaped(_("Folder")) + "</th><th>"
        + Escaped(_("Size")) + "</th><th>" + Escaped(_("Percent")) + "</th><th>" + Escaped(_("Files"))
        + "</th></tr>\r\n";
    WriteText(AStream, h);
}

void THtmlTableExport::WriteNode(const TDirNode &ANode, std::ostream &AStream)
{
    FAlternate = !FAlternate;
    const std::int64_t size = ANode.GetSize();
    const THtmlShare share = HtmlShare(size, FRootSize);
    FLine = "<tr bgcolor=\"";
    FLine += FAlternate ? FWhite : FGrey;
    FLine += "\"><td>";
    AppendXmlEscaped(FLine, NodePath(), true);
    FLine += "</td><td align=\"right\">";
    AppendXmlEscaped(FLine, FormatSize(size), true);
    FLine += "</td><td><table class=\"gauge\" cellpadding=\"0\" cellspacing=\"0\"><tr><td class=\"gauge\" width=\"";
    FLine += std::to_string(share.Gauge);
    FLine += "\"></td><td>&nbsp;";
    AppendXmlEscaped(FLine, share.Percent, true);
    FLine += "%</td></tr></table></td><td align=\"right\">";
    FLine += std::to_string(ANode.FileCount());
    FLine += "</td></tr>\r\n";
    WriteText(AStream, FLine);
}

void THtmlTableExport::WriteFooter(std::ostream &AStream)
{
    WriteText(AStream, "</table>\r\n<code>" + GeneratedByLink() + "</code>\r\n</body></html>\r\n");
}
