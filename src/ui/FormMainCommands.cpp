#include <algorithm>

#include <QItemSelectionModel>
#include <QTreeView>

#include "common/Translate.h"
#include "ui/FormMain.h"
#include "ui/ShellBrowseForFolder.h"

// The analysis commands of the menus and the toolbar.

void TFormMain::ActDirSelectExecute()
{
    std::string folder;
    if (BrowseForFolder(this, _("Please choose a drive or folder you would like to analyze:"), FLastScanDir, folder))
        ProcessPath(folder, false);
}

void TFormMain::ActRefreshExecute()
{
    if (dynamic_cast<TFixedDrivesNode *>(FRootNode.get()))
        ScanFixedDrives();
    else if (FRootNode)
        ProcessPath(std::string(FRootNode->Name()), true);
}

void TFormMain::ActStopScanExecute()
{
    FScanThreads->StopAll();
}

namespace {

// The folders of `folders` that lie in none of the others, each once. A rescan frees the nodes
// below its folder at once, so a folder inside another one of the list must not be visited
// after that one: it is read again with it anyway.
std::vector<TDirNode *> OutermostFolders(const std::vector<TDirNode *> &folders)
{
    std::vector<TDirNode *> outermost;
    for (TDirNode *dir : folders) {
        bool inside = std::find(outermost.begin(), outermost.end(), dir) != outermost.end();
        for (const TGroupNode *up = dir->Parent(); up && !inside; up = up->Parent())
            inside = std::find(folders.begin(), folders.end(), up) != folders.end();
        if (!inside)
            outermost.push_back(dir);
    }
    return outermost;
}

} // namespace

void TFormMain::ActRefreshNodeExecute()
{
    if (ShowsLargestFiles()) {
        // The folders that hold the listed files are read again.
        std::vector<TDirNode *> folders;
        for (const TDeleteEntry &file : SelectedLargestFiles()) {
            TGroupNode *parent = file.Node->Parent();
            if (parent && parent->FileType() == fstFileGroup)
                parent = parent->Parent();
            auto *dir = dynamic_cast<TDirNode *>(parent);
            if (dir && std::find(folders.begin(), folders.end(), dir) == folders.end())
                folders.push_back(dir);
        }
        for (TDirNode *dir : OutermostFolders(folders))
            ScanSubDirNode(dir);
        return;
    }
    QItemSelectionModel *selection = FTree->selectionModel();
    const QModelIndexList rows = selection->selectedRows();
    std::vector<TDirNode *> targets;
    for (const QModelIndex &index : rows) {
        TFileTreeModel::TAccess access = FModel->Access(index);
        TFileSystemNode *node = access.Node();
        if (!node)
            continue;
        if (auto *dir = dynamic_cast<TDirNode *>(node); dir && node->FileType() != fstFileGroup) {
            targets.push_back(dir);
            continue;
        }
        TGroupNode *parent = node->Parent();
        if (parent && parent->FileType() == fstFileGroup)
            parent = parent->Parent();
        auto *parentDir = dynamic_cast<TDirNode *>(parent);
        if (!parentDir)
            continue;
        QModelIndex parentRow = index.parent();
        while (parentRow.isValid() && FModel->NodeOf(parentRow) != parentDir)
            parentRow = parentRow.parent();
        if (parentRow.isValid()) {
            const bool focusInside
                = FTree->currentIndex().parent() == index.parent() || FTree->currentIndex().parent() == parentRow;
            selection->select(index, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
            selection->select(parentRow, QItemSelectionModel::Select | QItemSelectionModel::Rows);
            if (focusInside)
                selection->setCurrentIndex(parentRow, QItemSelectionModel::NoUpdate);
        }
        targets.push_back(parentDir);
    }
    for (TDirNode *target : OutermostFolders(targets))
        ScanSubDirNode(target);
}
