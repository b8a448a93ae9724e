#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QTreeView>

#include "common/FormatText.h"
#include "common/MessageBoxes.h"
#include "common/Translate.h"
#include "import/NcduJsonImport.h"
#include "log/Logger.h"
#include "model/Paths.h"
#include "ui/FormMain.h"
#include "ui/UiText.h"

// Analyses from files: ncdu and gdu JSON exports (ours among them) opened and shown like a
// finished analysis of the folder they record.

namespace {

// Restores the cursor however the import ends.
struct TWaitCursor
{
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor &) = delete;
    TWaitCursor &operator=(const TWaitCursor &) = delete;
};

} // namespace

void TFormMain::CreateAnalysisFileActions()
{
    ActOpenAnalysis = new QAction(Tr(_("&Open Analysis...")), this);
    ActOpenAnalysis->setIconText(Tr(_("&Open Analysis")));
    ActOpenAnalysis->setToolTip(Tr(_("Open Analysis")));
    ActOpenAnalysis->setStatusTip(Tr(_("Shows an analysis saved as ncdu JSON, by Zumbrel, ncdu or gdu")));
    ActOpenAnalysis->setIcon(ThemeIcon({"document-open"}));
    connect(ActOpenAnalysis, &QAction::triggered, this, &TFormMain::ActOpenAnalysisExecute);
}

void TFormMain::ActOpenAnalysisExecute()
{
    const QString filter
        = Tr(_("ncdu JSON")) + QStringLiteral(" (*.json);;") + Tr(_("All Files")) + QStringLiteral(" (*)");
    const QString chosen = QFileDialog::getOpenFileName(this, Tr(_("Open Analysis")), QString(), filter);
    if (!chosen.isEmpty())
        OpenAnalysisFile(EncodeName(chosen));
}

bool TFormMain::ShowsImportedAnalysis() const
{
    return FRootNode && FRootNode.get() == FImportedRoot;
}

bool TFormMain::ImportedPathExists() const
{
    return ShowsImportedAnalysis() && DirectoryExists(std::string(FRootNode->Name()));
}

bool TFormMain::OpenAnalysisFile(const std::string &fileName)
{
    if (ThreadsRunning()) {
        // The running scans own parts of the tree that is about to go; they end first.
        FScanThreads->StopAll();
        QTimer::singleShot(50, this, [this, fileName] { OpenAnalysisFile(fileName); });
        return true;
    }
    ZU_LOG_INFO("OpenAnalysis: " + fileName);
    TImportResult result;
    try {
        TWaitCursor wait;
        TImportOptions options;
        options.GroupFileSize = FOptions.GroupSmallFiles ? FOptions.GroupFileSize : 0;
        result = ImportNcduJsonFile(fileName, options);
    } catch (const std::exception &e) {
        // The analysis shown so far stays as it is.
        ErrorBox(FormatText(_("The analysis file \"%s\" cannot be read: %s"), {fileName, e.what()}));
        return false;
    }

    FWaitForScanDir.clear();
    FShellFilePropsList.Clear();
    FModel->Rebuild(false);
    ShowScanDuration(-1);
    FPendingRescans.clear();
    FSelectedNodes.clear();
    FPaintNode = nullptr;
    DiscardTree(std::move(FRootNode));
    TRootDirNode *root = result.Root.get();
    FRootNode = std::move(result.Root);
    SetActiveRoot(root);
    FImportedRoot = root;
    FImportedFile = fileName;
    const std::string path(root->Name());
    if (DirectoryExists(path))
        FLastScanDir = path;
    setWindowTitle(QStringLiteral("Zumbrel - ") + DecodeName(LastPathComponent(fileName)) + QStringLiteral(" (")
        + DecodeName(path) + QStringLiteral(")"));
    // The analysis takes the start page's place, as a scan's does.
    ShowAnalysisView(path);
    RefreshTree();
    UpdateActions();
    return true;
}

void TFormMain::UpdateAnalysisFileActions()
{
    // An analysis of a folder this machine does not have cannot be repeated here.
    if (ShowsImportedAnalysis() && !ImportedPathExists()) {
        ActRefresh->setEnabled(false);
        ActRefreshNode->setEnabled(false);
    }
}
