// The window's commands on the files behind the rows: open, show in the file manager,
// delete (to the Trash or for good) and undo a move to the Trash, the context menus of the
// tree, the recent folder clean-up, the homepage and the About box.
#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QToolBar>
#include <QTreeView>

#include "common/FormatText.h"
#include "common/MessageBoxes.h"
#include "common/ShellTexts.h"
#include "common/TextUtils.h"
#include "common/Translate.h"
#include "log/Logger.h"
#include "model/DeleteNodes.h"
#include "model/Paths.h"
#include "shell/NodeTarget.h"
#include "shell/ShellServices.h"
#include "ui/AboutBox.h"
#include "ui/DeleteCommand.h"
#include "ui/FormMain.h"
#include "ui/ItemContextMenu.h"
#include "ui/LargestFilesView.h"
#include "ui/UiText.h"

namespace {

std::string ParentPath(const std::string &path)
{
    const std::string clean = ExcludeTrailingPathDelimiter(path);
    const auto slash = clean.rfind(PathDelim);
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string(1, PathDelim) : clean.substr(0, slash);
}

// Files of the system: flagged so, named *.sys, or not the user's own below the system's
// folders.
bool IsSystemFile(const TFileSystemNode &node, const std::string &path)
{
    if (node.IsSysFile())
        return true;
    const std::string_view name = node.Name();
    if (name.size() >= 4) {
        std::string ext(name.substr(name.size() - 4));
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        if (ext == ".sys")
            return true;
    }
    for (const char *system : {"/boot/", "/etc/", "/usr/", "/var/"}) {
        if (path.rfind(system, 0) == 0) {
            struct stat st
            { };
            return ::lstat(path.c_str(), &st) == 0 && st.st_uid != ::geteuid();
        }
    }
    return false;
}

// Whether the entry on disk is still the one the analysis found, reached without a link from
// the analysis root; `error` says what changed when it is not.
bool FileIsAsAnalysed(const TFileSystemNode &node, std::string &error)
{
    const TResolvedTarget resolved = ResolveTarget(TargetOfNode(node));
    if (resolved.Code == 0)
        return true;
    error
        = resolved.Note.empty() ? node.GetFullPathName() + ": " + FileOperationErrorText(resolved.Code) : resolved.Note;
    return false;
}

// Keeps the window from being used while files go, but lets the progress dialog work.
class TBusyWindow
{
public:
    explicit TBusyWindow(TFormMain &form, bool &flag)
        : FForm(form)
        , FFlag(flag)
    {
        FFlag = true;
        for (QWidget *w : Parts())
            w->setEnabled(false);
    }
    ~TBusyWindow()
    {
        FFlag = false;
        for (QWidget *w : Parts())
            w->setEnabled(true);
        FForm.activateWindow();
        FForm.raise();
        if (FForm.ShowsLargestFiles())
            FForm.LargestFilesView()->setFocus();
        else
            FForm.Tree()->setFocus();
    }
    TBusyWindow(const TBusyWindow &) = delete;
    TBusyWindow &operator=(const TBusyWindow &) = delete;

private:
    std::vector<QWidget *> Parts() const
    {
        std::vector<QWidget *> parts {FForm.menuBar()};
        if (FForm.centralWidget())
            parts.push_back(FForm.centralWidget());
        for (QToolBar *bar : FForm.findChildren<QToolBar *>(Qt::FindDirectChildrenOnly))
            parts.push_back(bar);
        return parts;
    }
    TFormMain &FForm;
    bool &FFlag;
};

} // namespace

void TFormMain::CreateFileCommandActions()
{
    const auto make = [this](const std::string &caption, const std::string &hint, const char *icon) {
        auto *action = new QAction(Tr(caption), this);
        const QString h = Tr(hint);
        const auto bar = h.indexOf(QLatin1Char('|'));
        action->setToolTip(bar < 0 ? h : h.left(bar));
        action->setStatusTip(bar < 0 ? h : h.mid(bar + 1));
        if (icon)
            action->setIcon(QIcon::fromTheme(QString::fromLatin1(icon)));
        return action;
    };
    ActionRemoveInvalidRecentItems = make(_("&Remove invalid recent items..."), std::string(), "edit-clear-history");
    ActShellOpenFile = make(_("&Open File"), std::string(), "document-open");
    ActShellOpenFile->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    ActShellOpenFile->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    ActDelete = make(_("&Delete"), _("Delete|Deletes the selected files/directories"), "edit-delete");
    ActDelete->setIconText(Tr(_("&Delete")));
    ActDelete->setShortcut(QKeySequence(Qt::Key_Delete));
    ActDelete->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    ActUndoTrash = make(_("&Undo Move to Trash"), _("Puts the files last moved to the trash back"), "edit-undo");
    ActUndoTrash->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    ActOpenInExplorer = make(_("&Open directory with File Manager..."),
        _("Open Directory in File Manager|Opens the selected directory in the file manager"), "system-file-manager");
    ActOpenInExplorer->setIconText(Tr(_("&Open")));
    ActOpenInExplorer->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    Action1 = make(_("&About Zumbrel"), _("Shows information about Zumbrel"), "help-about");
    ActionHomepage = make(_("Zumbrel &Homepage"), std::string(), "go-home");

    // The tree takes the keys of its rows; the window's other parts keep theirs.
    for (QAction *action : {ActShellOpenFile, ActDelete})
        FTree->addAction(action);
    auto *permanent = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Delete), FTree);
    permanent->setContext(Qt::WidgetWithChildrenShortcut);
    connect(permanent, &QShortcut::activated, this, [this] { DeleteSelection(true); });

    connect(
        ActionRemoveInvalidRecentItems, &QAction::triggered, this, &TFormMain::ActionRemoveInvalidRecentItemsExecute);
    connect(ActShellOpenFile, &QAction::triggered, this, &TFormMain::ActShellOpenFileExecute);
    connect(ActDelete, &QAction::triggered, this, &TFormMain::ActDeleteExecute);
    connect(ActUndoTrash, &QAction::triggered, this, &TFormMain::ActUndoTrashExecute);
    connect(ActOpenInExplorer, &QAction::triggered, this, &TFormMain::ActOpenInExplorerExecute);
    connect(Action1, &QAction::triggered, this, &TFormMain::Action1Execute);
    connect(ActionHomepage, &QAction::triggered, this, &TFormMain::ActionHomepageExecute);

    FTree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(FTree, &QWidget::customContextMenuRequested, this, &TFormMain::TreeContextMenu);
    FPopupTree = new QMenu(this);
    FPopupTree->setObjectName(QStringLiteral("PopupTree"));
    FPopupTreeHeader = FPopupTree->addAction(QString());
    FPopupTreeHeader->setEnabled(false);
    FPopupTree->addSeparator();
    FPopupTree->addAction(ActOpenInExplorer);
    FPopupTree->addAction(ActRefreshNode);
}

bool TFormMain::ShowsFilesOnDisk() const
{
    return !ShowsImportedAnalysis() || ImportedPathExists();
}

bool TFormMain::CanDeleteFiles() const
{
    return !FFileOperationRunning && !IsMainScanRunning() && ShowsFilesOnDisk();
}

void TFormMain::UpdateFileCommandActions()
{
    // Commands on the files behind the rows, of whichever view is shown; none for an opened
    // analysis of a folder this machine does not have.
    const bool idle = !FFileOperationRunning && ShowsFilesOnDisk();
    const bool list = ShowsLargestFiles();
    const bool anySelected
        = list ? !SelectedLargestFileRows().empty() : !FTree->selectionModel()->selectedRows().isEmpty();
    ActDelete->setEnabled(CanDeleteFiles() && anySelected);
    const TFileSystemNode *selected = GetSelectedNode();
    ActShellOpenFile->setEnabled(idle && selected && selected->FileType() == fstFile);
    ActOpenInExplorer->setEnabled(
        idle && (list ? static_cast<QWidget *>(FLargestFiles) : FTree)->isVisible() && selected != nullptr);
    ActUndoTrash->setEnabled(!FFileOperationRunning && !IsMainScanRunning() && !FLastTrashed.empty());
    ActionRemoveInvalidRecentItems->setEnabled(FHasInvalidRecentItems);
}

void TFormMain::RefreshInvalidRecentItems()
{
    FHasInvalidRecentItems = std::any_of(FMRUDirList.Items().begin(), FMRUDirList.Items().end(),
        [](const std::string &dir) { return !DirectoryExists(dir); });
    if (ActionRemoveInvalidRecentItems)
        ActionRemoveInvalidRecentItems->setEnabled(FHasInvalidRecentItems);
}

// ---------------------------------------------------------------- open

void TFormMain::ActShellOpenFileExecute()
{
    TFileSystemNode *node = GetSelectedNode();
    if (!node || node->FileType() != fstFile || FFileOperationRunning || !ShowsFilesOnDisk())
        return;
    const std::string path = node->GetFullPathName();
    const std::string name(node->Name());
    if (IsSystemFile(*node, path)) {
        if (!WarningBox(
                FormatText(_("You are trying to open a system file (%s). Are you sure you want to continue?"), {name})))
            return;
    }
    ZU_LOG_DEBUG("open " + name);
    std::string error;
    if (!FileIsAsAnalysed(*node, error)) {
        ProgramLogger().Error("Error: " + error);
        ErrorBox(error);
        return;
    }
    if (DesktopServices().OpenPath(path, error)) {
        ZU_LOG_DEBUG(name + " opened");
        return;
    }
    ProgramLogger().Error("Error: " + error);
    ErrorBox(error);
}

void TFormMain::ActOpenInExplorerExecute()
{
    const TFileSystemNode *node = GetSelectedNode();
    if (!node || FFileOperationRunning || !ShowsFilesOnDisk())
        return;
    const std::string path = node->GetFullPathName();
    struct stat st
    { };
    std::string error;
    if (node->FileType() != fstFileGroup && ::lstat(path.c_str(), &st) == 0 && !FileIsAsAnalysed(*node, error)) {
        ProgramLogger().Error("Error: " + error);
        ErrorBox(error);
        return;
    }
    // A group row or a vanished entry: its folder.
    if (!ShowInFileManager(::lstat(path.c_str(), &st) == 0 ? path : ParentPath(path), error)) {
        ProgramLogger().Error("Error: " + error);
        ErrorBox(error);
    }
}

void TFormMain::ActionHomepageExecute()
{
    DesktopServices().OpenUrl(ProgramHomepageUrl());
}

void TFormMain::Action1Execute()
{
    TFormAbout about(this);
    about.exec();
}

void TFormMain::ActionRemoveInvalidRecentItemsExecute()
{
    std::string list;
    for (const std::string &dir : FMRUDirList.Items())
        if (!DirectoryExists(dir))
            list += "\r\n" + dir;
    if (list.empty())
        return;
    if (ConfirmBox(_("Do you really want to remove the following invalid entries?") + list))
        FMRUDirList.RemoveInvalidDirectories();
    RefreshInvalidRecentItems();
}

// ---------------------------------------------------------------- delete

void TFormMain::ActDeleteExecute()
{
    DeleteSelection(QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier));
}

bool TFormMain::IsBusyForDelete(const TDeleteEntry &entry) const
{
    const std::string path = IncludeTrailingPathDelimiter(entry.Path);
    for (const auto &[thread, scan] : FThreadRoots) {
        if (entry.Node && (IsSameOrBelow(scan.Root, entry.Node) || IsSameOrBelow(entry.Node, scan.Root)))
            return true;
        // A path the model does not know yet may be what the thread is adding.
        const std::string root = IncludeTrailingPathDelimiter(scan.Root->GetFullPathName());
        if (PathStartsWith(path, root) || PathStartsWith(root, path))
            return true;
    }
    for (const TFileSystemNode *up = entry.Node; up; up = up->Parent())
        if (up->IsGroup() && static_cast<const TGroupNode *>(up)->Scanning())
            return true;
    return false;
}

void TFormMain::DeleteSelection(bool permanent)
{
    if (!CanDeleteFiles())
        return;
    if (ShowsLargestFiles()) {
        if (const std::vector<TDeleteEntry> files = SelectedLargestFiles(); !files.empty())
            DeleteEntries(files, permanent);
        return;
    }
    std::vector<TDeleteEntry> entries;
    for (const QModelIndex &index : FTree->selectionModel()->selectedRows()) {
        const TFileTreeModel::TAccess access = FModel->Access(index);
        if (TFileSystemNode *node = access.Node(); node && !access.Stale())
            entries.push_back({node->GetFullPathName(), node});
    }
    if (entries.empty())
        return;
    DeleteEntries(entries, permanent);
}

void TFormMain::DeleteEntries(const std::vector<TDeleteEntry> &entries, bool permanent)
{
    // The analysed folder itself (and what holds it) is not deleted from inside the analysis.
    const std::string rootPath = FRootNode ? FRootNode->GetFullPathName() : std::string();
    for (const TDeleteEntry &entry : entries) {
        const bool top = entry.Node && IsSameOrBelow(FPaintNode, entry.Node);
        const bool holdsRoot = !rootPath.empty()
            && PathStartsWith(IncludeTrailingPathDelimiter(rootPath), IncludeTrailingPathDelimiter(entry.Path));
        if (top || holdsRoot) {
            ErrorBox(_("The folder at the top of the analysis cannot be deleted from within it. Go up to its parent "
                       "folder or to the start page first."));
            return;
        }
    }
    // The row that takes the selection afterwards: the nearest ancestor of the first entry
    // that stays.
    const std::vector<TDeleteEntry> targets = TDeleteCommand::Targets(entries);
    const TFileSystemNode *survivor = entries.front().Node ? entries.front().Node->Parent() : nullptr;
    for (; survivor; survivor = survivor->Parent()) {
        const bool goes = std::any_of(targets.begin(), targets.end(),
            [survivor](const TDeleteEntry &t) { return t.Node && IsSameOrBelow(survivor, t.Node); });
        if (!goes && survivor->FileType() != fstFileGroup)
            break;
    }

    // In the list, the row where the first deleted file was takes the selection.
    const std::vector<int> listRows = ShowsLargestFiles() ? SelectedLargestFileRows() : std::vector<int>();
    const int listRow = listRows.empty() ? -1 : listRows.front();

    TDeleteCommand::TOutcome outcome;
    {
        TBusyWindow busy(*this, FFileOperationRunning);
        outcome = TDeleteCommand::Run(
            this, FRootNode.get(), entries, permanent, FFileSizeStrProc,
            [this](const TDeleteEntry &entry) { return IsBusyForDelete(entry); },
            [this, survivor, listRow] {
                // The rows of the freed nodes are gone; the rest are brought up to date.
                RefreshTree();
                SelectLargestFileRow(listRow);
                const QModelIndex row = FModel->FindCreatedRow(survivor);
                if (row.isValid()) {
                    FTree->selectionModel()->setCurrentIndex(
                        row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                    FTree->scrollTo(row);
                }
            },
            [this](const TFileSystemNode *node) {
                // The rows of the folder that holds the node go before the node is freed (a
                // small-files group may go with its last member); the refresh brings the
                // remaining rows back.
                const TFileSystemNode *holder = node->Parent();
                if (holder && holder->FileType() == fstFileGroup)
                    holder = holder->Parent();
                if (holder)
                    FModel->ForgetChildren(holder);
                else
                    FModel->ForgetRow(node);
            });
    }
    if (!outcome.Confirmed)
        return;
    if (!outcome.Result.Trashed.empty())
        FLastTrashed = outcome.Result.Trashed;
    else if (permanent)
        FLastTrashed.clear();
    for (const std::string &folder : outcome.RescanFolders)
        if (auto *dir = dynamic_cast<TDirNode *>(FRootNode ? FRootNode->FindChildNodePath(folder) : nullptr))
            ScanSubDirNode(dir);
    RefreshInvalidRecentItems();
    UpdateActions();
}

void TFormMain::ActUndoTrashExecute()
{
    if (FLastTrashed.empty() || FFileOperationRunning)
        return;
    const std::vector<TTrashedItem> items = std::exchange(FLastTrashed, {});
    std::vector<std::string> folders;
    std::string failures;
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        std::string restored;
        std::string note;
        if (const int code = RestoreFromTrash(*it, &restored, &note); code != 0) {
            failures += "\n" + it->OriginalPath + ": " + (note.empty() ? FileOperationErrorText(code) : note);
            continue;
        }
        ZU_LOG_INFO("restored from the trash: " + restored);
        const std::string parent = ParentPath(restored);
        if (std::find(folders.begin(), folders.end(), parent) == folders.end())
            folders.push_back(parent);
    }
    // The folders the items came back to are read again.
    if (FRootNode) {
        const std::string rootPath = ExcludeTrailingPathDelimiter(FRootNode->GetFullPathName());
        for (const std::string &folder : folders) {
            TDirNode *dir
                = folder == rootPath ? FRootNode.get() : dynamic_cast<TDirNode *>(FRootNode->FindChildNodePath(folder));
            if (dir && dir->FileType() != fstComputer)
                ScanSubDirNode(dir);
        }
    }
    RefreshInvalidRecentItems();
    UpdateActions();
    if (!failures.empty())
        ErrorBox(_("Some items could not be put back from the trash:") + failures);
}

// ---------------------------------------------------------------- context menus

void TFormMain::DeletePaths(const std::vector<std::string> &paths, bool permanent)
{
    if (FFileOperationRunning || IsMainScanRunning() || paths.empty())
        return;
    std::vector<TDeleteEntry> entries;
    for (const std::string &path : paths)
        entries.push_back({path, FRootNode ? FindNodeOrGroupMember(*FRootNode, path) : nullptr});
    DeleteEntries(entries, permanent);
}

void TFormMain::ShowItemContextMenu(const std::string &path, const QPoint &globalPos)
{
    ::ShowItemContextMenu(
        path, globalPos, this, [this](const std::string &target, bool permanent) { DeletePaths({target}, permanent); },
        !IsMainScanRunning() && !FFileOperationRunning);
}

void TFormMain::TreeContextMenu(const QPoint &pos)
{
    const QModelIndex index = FTree->indexAt(pos);
    if (!index.isValid())
        return;
    const QPoint global = FTree->viewport()->mapToGlobal(pos);
    std::string path;
    TFileType kind = fstNone;
    {
        const TFileTreeModel::TAccess access = FModel->Access(FTree->currentIndex());
        const TFileSystemNode *node = access.Node();
        if (!node || access.Stale())
            return;
        path = node->GetFullPathName();
        kind = node->FileType();
    }
    switch (kind) {
    case fstDrive:
    case fstFile:
    case fstDirectory:
        ZU_LOG_DEBUG("start of DisplayContextMenu");
        ShowItemContextMenu(path, global);
        ZU_LOG_DEBUG("end of DisplayContextMenu");
        break;
    case fstFileGroup:
        FPopupTreeHeader->setText(fontMetrics().elidedText(DecodeName(ParentPath(path)), Qt::ElideMiddle, 300));
        FPopupTree->popup(global);
        break;
    default:
        break;
    }
}
