#include "export/ExportRegistry.h"

#include <stdexcept>

#include "export/CsvTextExport.h"
#include "export/HtmlTableExport.h"
#include "export/NcduJsonExport.h"
#include "export/TextTreeExport.h"
#include "export/XmlTreeExport.h"

void TExportRegistry::RegisterExportClass(const TExportClass &AExportClass)
{
    FExporters.push_back(AExportClass);
}

const TExportClass &TExportRegistry::GetExportClass(std::int32_t Index) const
{
    if (Index < 0 || Index >= Count())
        throw std::out_of_range("Export format index out of range: " + std::to_string(Index));
    return FExporters[static_cast<std::size_t>(Index)];
}

std::string TExportRegistry::GetExtension(std::int32_t Index) const
{
    return GetExportClass(Index).GetFileExt();
}

std::string TExportRegistry::GetExportFilters() const
{
    std::string filters;
    for (const TExportClass &c : FExporters) {
        const std::string ext = c.GetFileExt();
        if (!filters.empty())
            filters += '|';
        filters += c.GetFileDesc() + " (*" + ext + ")|*" + ext;
    }
    return filters;
}

std::int32_t TExportRegistry::IndexOfClass(std::string_view className) const
{
    for (std::size_t i = 0; i < FExporters.size(); ++i)
        if (className == FExporters[i].ClassName())
            return static_cast<std::int32_t>(i);
    return -1;
}

TExportRegistry &ExportRegistry()
{
    static TExportRegistry registry;
    return registry;
}

void RegisterExportClasses(TExportRegistry &registry)
{
    registry.RegisterExportClass(TExportClass::Of<TCsvTextExport>());
    registry.RegisterExportClass(TExportClass::Of<TTextTreeExport>());
    registry.RegisterExportClass(TExportClass::Of<THtmlTableExport>());
    registry.RegisterExportClass(TExportClass::Of<TXmlTreeExport>());
    registry.RegisterExportClass(TExportClass::Of<TXmlTreeExport2>());
    // Appended after the original five, so a stored filter index keeps its meaning.
    registry.RegisterExportClass(TExportClass::Of<TNcduJsonExport>());
}

TFormatFileSizeProc SizeFormatterFor(TRoundingStyle style)
{
    switch (style) {
    case rsBankers:
        return &FileSizeToStrRounded;
    case rsTruncate:
        return &FileSizeToStrTruncated;
    default:
        return nullptr;
    }
}

std::unique_ptr<TTreeTypesExport> CreateExport(
    const TExportClass &AExportClass, const TDirNode *ARootNode, TRoundingStyle rounding, TExportOrder order)
{
    auto result = AExportClass.Create(ARootNode);
    if (AExportClass.GetFileType() == xfVisual) {
        result->SetFormatFileSizeProc(SizeFormatterFor(rounding));
        result->SetOrder(order);
    }
    return result;
}
