#include <algorithm>

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

#include "common/FormatText.h"
#include "common/MessageBoxes.h"
#include "common/ShellTexts.h"
#include "common/TextUtils.h"
#include "common/Translate.h"
#include "export/ExportEstimate.h"
#include "export/ExportRegistry.h"
#include "log/Logger.h"
#include "model/Paths.h"
#include "platform/Platform.h"
#include "ui/FormMain.h"
#include "ui/UiText.h"

// Saving an analysis to a file in one of the export formats.

bool TFormMain::CanSaveScanResult() const
{
    return !IsMainScanRunning() && FRootNode && FRootNode->HasChildren();
}

std::string TFormMain::ProposedSaveFileName(const std::string &displayName)
{
    std::string name = displayName;
    RemoveChars(name, ":");
    return MakeFileName(name, '_', " ");
}

void TFormMain::SaveScanResult(const std::string &fileName, int filterIndex)
{
    if (!FRootNode)
        return;
    const TExportClass &exportClass = ExportRegistry().GetExportClass(filterIndex - 1);
    // The formats meant for people list the folders in the order the tree shows them.
    static constexpr TExportOrder::TKey columnKeys[] = {TExportOrder::Name, TExportOrder::Size, TExportOrder::Files,
        TExportOrder::Size, TExportOrder::Date, TExportOrder::Size};
    const int column = FModel->SortColumn();
    const TExportOrder order {
        column >= 0 && column < static_cast<int>(std::size(columnKeys)) ? columnKeys[column] : TExportOrder::Size,
        FModel->SortOrder() == Qt::DescendingOrder};
    std::unique_ptr<TTreeTypesExport> exporter
        = CreateExport(exportClass, FRootNode.get(), FOptions.FileSizeRounding, order);
    exporter->SaveToFile(fileName);
}

std::string TFormMain::ProposedSaveFolder() const
{
    const std::string last = FSettings.ReadSettingStr("LastSaveDir", "");
    if (!last.empty() && DirectoryExists(last))
        return IncludeTrailingPathDelimiter(last);
    // Nothing is created here: the user may still cancel the dialog.
    std::string base = Platform().System->SpecialFolder(TSpecialFolder::Documents);
    if (base.empty())
        base = Platform().System->SpecialFolder(TSpecialFolder::Home);
    if (base.empty())
        return {};
    const std::string own = IncludeTrailingPathDelimiter(base) + "Zumbrel";
    return IncludeTrailingPathDelimiter(DirectoryExists(own) ? own : base);
}

void TFormMain::ActSaveScanResultExecute()
{
    if (!CanSaveScanResult())
        return;
    TExportRegistry &registry = ExportRegistry();
    int filterIndex = std::clamp(
        FSettings.ReadSettingInt("LastFilterIndex", 1), 1, std::max(1, static_cast<int>(registry.Count())));
    // "desc (*.ext)|*.ext|..." becomes Qt's "desc (*.ext);;...".
    std::vector<std::string> parts;
    SplitText(registry.GetExportFilters(), "|", parts);
    QStringList filters;
    for (std::size_t i = 0; i < parts.size(); i += 2)
        filters << QString::fromStdString(parts[i]);
    const std::string dir = ProposedSaveFolder();
    const std::string proposed
        = ProposedSaveFileName(FRootNode->GetDisplayName()) + registry.GetExtension(filterIndex - 1);
    QString selectedFilter = filters.value(filterIndex - 1);
    const QString chosen = QFileDialog::getSaveFileName(this, Tr(_("Save Analysis Result")), DecodeName(dir + proposed),
        filters.join(QStringLiteral(";;")), &selectedFilter);
    if (chosen.isEmpty())
        return;
    filterIndex = std::max(1, static_cast<int>(filters.indexOf(selectedFilter)) + 1);
    std::string fileName = EncodeName(chosen);
    const std::string ext = registry.GetExtension(filterIndex - 1);
    if (QFileInfo(chosen).suffix().isEmpty()) {
        fileName += ext;
        // The dialog asked about the name without the extension; ask about the real one.
        if (QFileInfo::exists(DecodeName(fileName))) {
            if (!ConfirmBox(FormatText(_("The file \"%s\" already exists. Do you want to replace it?"), {fileName})))
                return;
        }
    }
    try {
        FSettings.SaveSettingStr(
            "LastSaveDir", IncludeTrailingPathDelimiter(EncodeName(QFileInfo(chosen).absolutePath())));
        FSettings.SaveSettingInt("LastFilterIndex", filterIndex);
    } catch (const std::exception &e) {
        // The settings file failing must not cost the user the saved analysis.
        ProgramLogger().ErrorMsg(e.what(), &e);
    }
    // Output grows with the square of the depth: a small analysis of a deep tree can fill a disk.
    if (FRootNode) {
        const TExportSizeCheck size
            = CheckExportSize(*FRootNode, ExportRegistry().GetExportClass(filterIndex - 1).ClassName(), fileName);
        if (size.NeedsConfirmation()
            && !ConfirmBox(FormatText(_("The export would take about %s, more than %s (4 GiB or the free space "
                                        "there). Do you want to write it anyway?"),
                {FFileSizeStrProc(static_cast<std::int64_t>(size.Estimate)),
                    FFileSizeStrProc(static_cast<std::int64_t>(size.Limit))})))
            return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        SaveScanResult(fileName, filterIndex);
    } catch (const std::exception &e) {
        QApplication::restoreOverrideCursor();
        // A save that failed (a full disk, a folder without write permission) must not pass
        // for done: the old file is untouched and the user learns why.
        ProgramLogger().ErrorMsg(e.what(), &e);
        ExceptionBox(e);
        return;
    }
    QApplication::restoreOverrideCursor();
}
