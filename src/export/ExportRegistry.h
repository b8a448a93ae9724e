#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/SizeText.h"
#include "export/TreeTypesExport.h"

class TDirNode;

// A reference to an export format class: creates exports of it and answers its class-level
// questions without an instance. Cheap to copy.
class TExportClass
{
public:
    template <class T> [[nodiscard]] static TExportClass Of()
    {
        return TExportClass(T::ClassName(), &T::GetFileExt, &T::GetFileDesc, &T::GetFileType,
            [](const TDirNode *root) -> std::unique_ptr<TTreeTypesExport> { return std::make_unique<T>(root); });
    }

    // A new export of the subtree of `ARootNode` (not owned; it must outlive the export).
    [[nodiscard]] std::unique_ptr<TTreeTypesExport> Create(const TDirNode *ARootNode) const
    {
        return FCreate(ARootNode);
    }
    // The file extension with its dot (".csv").
    [[nodiscard]] std::string GetFileExt() const { return FGetFileExt(); }
    // The description shown in the save dialog, translated.
    [[nodiscard]] std::string GetFileDesc() const { return FGetFileDesc(); }
    [[nodiscard]] TExportFileType GetFileType() const { return FGetFileType(); }
    [[nodiscard]] const char *ClassName() const { return FClassName; }

    friend bool operator==(const TExportClass &a, const TExportClass &b) { return a.FCreate == b.FCreate; }

private:
    using TTextFunc = std::string (*)();
    using TTypeFunc = TExportFileType (*)();
    using TCreateFunc = std::unique_ptr<TTreeTypesExport> (*)(const TDirNode *);
    TExportClass(const char *className, TTextFunc ext, TTextFunc desc, TTypeFunc type, TCreateFunc create)
        : FClassName(className)
        , FGetFileExt(ext)
        , FGetFileDesc(desc)
        , FGetFileType(type)
        , FCreate(create)
    { }

    const char *FClassName;
    TTextFunc FGetFileExt;
    TTextFunc FGetFileDesc;
    TTypeFunc FGetFileType;
    TCreateFunc FCreate;
};

// The export formats on offer, in registration order (which is the order of the save
// dialog's filters). Appended to, never shrunk; duplicates are not checked. Not thread-safe:
// fill it at start-up, before any window, and read it from the user interface thread.
class TExportRegistry
{
public:
    TExportRegistry() = default;
    TExportRegistry(const TExportRegistry &) = delete;
    TExportRegistry &operator=(const TExportRegistry &) = delete;

    void RegisterExportClass(const TExportClass &AExportClass);
    [[nodiscard]] std::int32_t Count() const { return static_cast<std::int32_t>(FExporters.size()); }
    // The class at the 0-based `Index`; std::out_of_range outside 0..Count()-1.
    [[nodiscard]] const TExportClass &GetExportClass(std::int32_t Index) const;
    // GetFileExt of the class at `Index`; std::out_of_range outside 0..Count()-1.
    [[nodiscard]] std::string GetExtension(std::int32_t Index) const;
    // The save dialog's filter string: "<desc> (*<ext>)|*<ext>" per class, joined by "|";
    // empty without classes. A dialog's 1-based filter index minus 1 is the registry index.
    [[nodiscard]] std::string GetExportFilters() const;
    // The index of the class named `className` ("TCsvTextExport"), or -1.
    [[nodiscard]] std::int32_t IndexOfClass(std::string_view className) const;

private:
    std::vector<TExportClass> FExporters;
};

// The process-wide registry, created on first use and destroyed at program end.
TExportRegistry &ExportRegistry();

// Registers the formats in their fixed order: CSV, text tree, HTML, XML, XML 2.0, ncdu JSON. The
// program calls it once at start-up (a second call would list every format twice).
void RegisterExportClasses(TExportRegistry &registry = ExportRegistry());

// The size text the window's rounding setting stands for: FileSizeToStrRounded for rsBankers,
// FileSizeToStrTruncated for rsTruncate, null (plain byte counts) for rsNone.
[[nodiscard]] TFormatFileSizeProc SizeFormatterFor(TRoundingStyle style);

// Creates an export of `AExportClass` for `ARootNode` the way the save command does: only an
// xfVisual format (one meant for people) gets the size text of `rounding` and lists folders in
// `order`, the window's or biggest first; the data formats always write byte counts in the
// stored order. Then call SaveToFile or SaveToStream on the result.
[[nodiscard]] std::unique_ptr<TTreeTypesExport> CreateExport(const TExportClass &AExportClass,
    const TDirNode *ARootNode, TRoundingStyle rounding, TExportOrder order = TExportOrder::BiggestFirst());
