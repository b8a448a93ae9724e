#include <algorithm>

#include <QCoreApplication>
#include <QPointer>
#include <QTreeView>

#include "common/Drives.h"
#include "common/FileQueries.h"
#include "common/ShellTexts.h"
#include "common/TextUtils.h"
#include "import/NcduJsonImport.h"
#include "log/Logger.h"
#include "model/Paths.h"
#include "platform/Platform.h"
#include "ui/FormMain.h"
#include "ui/UiText.h"

// Scan control: starting, stopping, queueing and finishing the analyses of roots, local drives
// and sub-folders.

bool TFormMain::IsMainScanRunning() const
{
    return FMainScanThread != nullptr && FThreadRoots.count(FMainScanThread) > 0;
}

void TFormMain::StartScanTimers()
{
    FTimerAniSearch.start();
    FTimerTreeRefresh.start();
    FTimerStatusBar.start();
}

void TFormMain::StopScanTimers()
{
    FTimerAniSearch.stop();
    FTimerTreeRefresh.stop();
    FTimerStatusBar.stop();
}

TDirScanThread *TFormMain::StartScanThread(TDirNode *node, bool mainThread)
{
    TDirScanOptions options;
    if (FRootNode)
        options.GroupFileSize = FRootNode->GroupFileSize();
    TDirScanThread *thread = FScanThreads->Add(node, options);
    if (!thread)
        return nullptr;
    FThreadRoots[thread] = TThreadEntry {node};
    QPointer<TFormMain> self(this);
    thread->SetOnTerminate([self, mainThread](TDirScanThread &t) {
        if (!self)
            return;
        if (mainThread)
            self->MainScanThreadTerminate(t);
        else
            self->DirScanThreadTerminate(t);
    });
    thread->Start();
    StartScanTimers();
    return thread;
}

void TFormMain::DiscardTree(std::unique_ptr<TRootNode> root)
{
    std::erase_if(FDestroyThreads, [](const auto &t) { return t->Finished(); });
    if (!root)
        return;
    auto thread = std::make_unique<TDestroyGroupNodeThread>(std::move(root));
    thread->Start();
    FDestroyThreads.push_back(std::move(thread));
}

void TFormMain::SetActiveRoot(TRootNode *node)
{
    FImportedRoot = nullptr; // an opened file sets it again after this
    EndComparison();
    FPaintNode = node;
    StoreTreeViewState(FActiveTreeViewState);
    FActiveTreeViewState = &FTreeViewStates.DirScanView();
    ApplyTreeViewState(FActiveTreeViewState);
}

void TFormMain::ProcessPath(const std::string &choice, bool forceRescan)
{
    // Every way of choosing a folder ends here; the title, the recent folders and the export's
    // file name need the whole path, not one relative to where the program started.
    const std::string path = AbsolutePath(choice);
    ShowAnalysisView(path);
    UpdateStatusFromSelection();

    if (!forceRescan && FRootNode && !FRootNode->IsScanCanceled()) {
        const std::string rootPath = FRootNode->GetFullPathName();
        const std::string target = ExcludeTrailingPathDelimiter(path);
        if (!rootPath.empty() && PathStartsWith(path, rootPath)) {
            TFileSystemNode *node = SamePath(ExcludeTrailingPathDelimiter(rootPath), target)
                ? FRootNode.get()
                : FRootNode->FindChildNodePath(target);
            auto *dir = dynamic_cast<TDirNode *>(node);
            if (dir && dir->FileType() != fstFileGroup && !dir->Scanning()) {
                FPaintNode = dir;
                RefreshTree();
                return;
            }
        }
    }
    ScanRootDir(path);
}

bool TFormMain::ThreadsRunning() const
{
    // A thread leaves the list before its termination handler runs; until that handler has
    // run, the thread's nodes must stay.
    return !FScanThreads->IsEmpty() || !FThreadRoots.empty();
}

void TFormMain::ScanRootDir(const std::string &choice)
{
    const std::string path = AbsolutePath(choice);
    if (ThreadsRunning()) {
        FWaitForScanDir = path;
        FScanThreads->StopAll();
        return;
    }
    if (!IsDriveRoot(path) && DirectoryExists(path))
        FMRUDirList.AddDirectory(path);
    FLastScanDir = path;
    FWaitForScanDir.clear();
    FShellFilePropsList.Clear();
    setWindowTitle(PlainWindowTitle(QStringLiteral("Zumbrel - ") + DecodeName(path)));
    FModel->Rebuild(false);
    ShowScanDuration(-1);
    FPendingRescans.clear();
    FSelectedNodes.clear();
    FPaintNode = nullptr;
    DiscardTree(std::move(FRootNode));

    auto root = std::make_unique<TRootDirNode>();
    TRootDirNode *rootNode = root.get();
    FRootNode = std::move(root);
    SetActiveRoot(rootNode);
    rootNode->SetName(path);
    rootNode->SetTimestamp(FileTimestamp(path));
    rootNode->SetGroupFileSize(FOptions.GroupSmallFiles ? FOptions.GroupFileSize : 0);
    FMainScanThread = StartScanThread(rootNode, true);
    RefreshTree();
    UpdateActions();
    SetTaskbarProgress(TTaskbarState::Indeterminate);
}

void TFormMain::ScanFixedDrives()
{
    if (ThreadsRunning()) {
        FWaitForScanDir = LocalDrivesCaption();
        FScanThreads->StopAll();
        return;
    }
    FWaitForScanDir.clear();
    FShellFilePropsList.Clear();
    setWindowTitle(PlainWindowTitle(QStringLiteral("Zumbrel - ") + QString::fromStdString(LocalDrivesCaption())));
    FModel->Rebuild(false);
    ShowScanDuration(-1);
    FPendingRescans.clear();
    FSelectedNodes.clear();
    FPaintNode = nullptr;
    FRootNode.reset();

    auto root = std::make_unique<TFixedDrivesNode>();
    TFixedDrivesNode *rootNode = root.get();
    FRootNode = std::move(root);
    SetActiveRoot(rootNode);
    rootNode->SetScanning(true);
    rootNode->SetGroupFileSize(FOptions.GroupSmallFiles ? FOptions.GroupFileSize : 0);
    std::vector<TDirNode *> drives;
    {
        std::scoped_lock guard(rootNode->ChildLock());
        for (std::int32_t i = 0; i < rootNode->InterlockedChildCount(); ++i)
            if (auto *drive = dynamic_cast<TDirNode *>(rootNode->GetUnlockedChildNode(i)))
                drives.push_back(drive);
    }
    for (TDirNode *drive : drives)
        StartScanThread(drive, false);
    if (FThreadRoots.empty())
        rootNode->SetScanning(false);
    RefreshTree();
    UpdateActions();
}

bool TFormMain::HasThreadBelow(const TGroupNode *node) const
{
    for (const auto &[thread, entry] : FThreadRoots)
        for (const TGroupNode *up = entry.Root->Parent(); up; up = up->Parent())
            if (up == node)
                return true;
    return false;
}

void TFormMain::ScanSubDirNode(TDirNode *node)
{
    if (!node || FScanThreads->IsFull()) {
        ZU_LOG_DEBUG("exit ScanSubDirNode");
        return;
    }
    ZU_LOG_INFO("ScanSubDir: " + node->GetFullPathName());
    // A folder whose ancestor is still being scanned counts as being scanned: that scan adds
    // the folder's old totals to its ancestors when it gets back up.
    bool scanning = node->Scanning();
    for (const TGroupNode *up = node->Parent(); up && !scanning; up = up->Parent())
        scanning = up->Scanning();
    if (scanning) {
        ZU_LOG_DEBUG("already scanning");
        return;
    }
    if (HasThreadBelow(node)) {
        // The threads below are stopped, but their nodes are freed only once every one of them
        // has ended: until its termination handler has run, a thread may still touch its root
        // and that root's parents.
        if (FScanThreads->StopAllChildren(node) > 0)
            ZU_LOG_DEBUG("children stopped");
        if (std::find(FPendingRescans.begin(), FPendingRescans.end(), node) == FPendingRescans.end())
            FPendingRescans.push_back(node);
        return;
    }
    RescanNow(node);
}

void TFormMain::RescanNow(TDirNode *node)
{
    // Pending rescans inside this directory go with its old children.
    std::erase_if(FPendingRescans, [node](TDirNode *pending) {
        for (const TGroupNode *up = pending->Parent(); up; up = up->Parent())
            if (up == node)
                return true;
        return false;
    });
    const std::string name(node->Name());
    const bool expanded = node->IsExpanded();
    // The rows of the children go before their nodes do; the folder shows collapsed until the
    // user opens it again.
    if (const QModelIndex row = FModel->FindCreatedRow(node); row.isValid())
        FTree->collapse(row);
    FModel->ForgetChildren(node);
    node->Clear();
    node->SetScanning(true);
    node->SetName(name);
    node->SetExpanded(expanded);
    RefreshTree();
    if (!StartScanThread(node, false))
        node->SetScanning(false);
}

void TFormMain::RunPendingRescans()
{
    std::vector<TDirNode *> pending = FPendingRescans;
    for (TDirNode *node : pending) {
        if (std::find(FPendingRescans.begin(), FPendingRescans.end(), node) == FPendingRescans.end())
            continue; // dropped by an earlier rescan of an ancestor
        if (HasThreadBelow(node) || FScanThreads->IsFull())
            continue;
        std::erase(FPendingRescans, node);
        if (!node->Scanning())
            RescanNow(node);
    }
}

void TFormMain::DirScanThreadTerminate(TDirScanThread &thread)
{
    if (FShutDown)
        return; // the tree is gone
    TDirNode *root = thread.DirScanner().RootNode();
    FThreadRoots.erase(&thread);
    if (!ThreadsRunning())
        ScanFinished(thread);
    for (TGroupNode *up = root->Parent(); up && dynamic_cast<TDirNode *>(up); up = up->Parent())
        up->RecalcSizeAndFileCount();
    // The new totals may move the rows of the ancestors among their siblings.
    RefreshRows(TFileTreeModel::TRefresh::Everything);
    for (TGroupNode *up = root->Parent(); up && dynamic_cast<TDirNode *>(up); up = up->Parent())
        InvalidateAndScrollTo(up);
    InvalidateAndScrollTo(root);
    PostPendingRequest();
}

void TFormMain::MainScanThreadTerminate(TDirScanThread &thread)
{
    Platform().System->DebugOutput("Scan Thread terminated");
    if (FShutDown)
        return;
    FMainScanThread = nullptr;
    SetTaskbarProgress(TTaskbarState::NoProgress);
    FThreadRoots.erase(&thread);
    if (!ThreadsRunning())
        ScanFinished(thread);
    PostPendingRequest();
}

void TFormMain::ScanFinished(TDirScanThread &thread)
{
    if (FRootNode)
        FRootNode->SetScanning(false);
    StopScanTimers();
    SetStatusText(0, QString());
    ShowScanDuration(thread.DirScanner().ScanSeconds());
    SetApplicationTitle(QStringLiteral("Zumbrel"));
    // Final totals: every created row takes its place once more.
    RefreshRows(TFileTreeModel::TRefresh::Everything);
    UpdateActions();
}

void TFormMain::PostPendingRequest()
{
    if ((FWaitForScanDir.empty() && FPendingRescans.empty()) || FPendingPosted)
        return;
    // Never inside a termination handler: the thread that runs it is still waiting for it.
    FPendingPosted = true;
    QMetaObject::invokeMethod(
        this, [this] { StartPendingRequest(); }, Qt::QueuedConnection);
}

void TFormMain::StartPendingRequest()
{
    FPendingPosted = false;
    if (FShutDown)
        return;
    if (!FWaitForScanDir.empty()) {
        const std::string request = FWaitForScanDir;
        if (request != LocalDrivesCaption())
            ScanRootDir(request);
        else
            ScanFixedDrives();
    }
    RunPendingRescans();
}

void TFormMain::ProcessCommandLine(const std::vector<std::string> &args, const std::string &commandLine)
{
    std::string line = commandLine;
    if (line.empty())
        for (const std::string &arg : args)
            line += (line.empty() ? "" : " ") + arg;
    ZU_LOG_INFO("CmdLine: " + line);
    if (!args.empty() && DirectoryExists(args.front())) {
        // The folder is shown at once rather than behind a start page.
        ProcessPath(args.front(), false);
        QCoreApplication::processEvents();
    } else if (!args.empty()) {
        // A saved analysis (zumbrel FILE.json); anything else, a missing folder included, is
        // refused with the reason rather than ignored.
        OpenAnalysisFile(args.front());
    }
}
