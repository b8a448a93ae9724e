#include <algorithm>

#include <QHeaderView>
#include <QLocale>
#include <QScrollBar>
#include <QTreeView>

#include "common/ByteUnit.h"
#include "ui/FormMain.h"
#include "ui/UiText.h"

// The rows of the file tree: refreshing them from the model while scans run, keeping selection
// and expansion, spans, header clicks and the status bar's view of the current row.

TFileSystemNode *TFormMain::GetSelectedNode() const
{
    if (ShowsLargestFiles())
        return SelectedLargestFile();
    const QModelIndexList rows = FTree->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return nullptr;
    TFileTreeModel::TAccess access = FModel->Access(rows.front());
    return access.Node();
}

void TFormMain::PopulateTree()
{
    const TFileSystemNode *focused = FModel->NodeOf(FTree->currentIndex());
    FSelectedNodes.clear();
    for (const QModelIndex &index : FTree->selectionModel()->selectedRows())
        if (TFileSystemNode *node = FModel->NodeOf(index))
            FSelectedNodes.push_back(node);
    FTree->setUpdatesEnabled(false);
    const QSignalBlocker blocker(FTree->selectionModel());
    FModel->Rebuild(true);
    QItemSelection selection;
    QModelIndex focusIndex;
    if (FModel->TopRowCount() > 0)
        RestoreRows(FModel->index(0, 0), focused, selection, focusIndex);
    if (!selection.isEmpty())
        FTree->selectionModel()->select(selection, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (focusIndex.isValid())
        FTree->selectionModel()->setCurrentIndex(focusIndex, QItemSelectionModel::NoUpdate);
    FTree->setUpdatesEnabled(true);
}

void TFormMain::RestoreRows(
    const QModelIndex &index, const TFileSystemNode *focused, QItemSelection &selection, QModelIndex &focusIndex)
{
    TFileSystemNode *node = FModel->NodeOf(index); // for identity only
    UpdateSpan(index);
    if (node) {
        if (auto it = std::find(FSelectedNodes.begin(), FSelectedNodes.end(), node); it != FSelectedNodes.end()) {
            selection.select(index, index.siblingAtColumn(TFileTreeModel::ColumnCount - 1));
            FSelectedNodes.erase(it);
        }
        if (node == focused && !focusIndex.isValid())
            focusIndex = index;
    }
    if (!FModel->WasExpanded(index))
        return;
    FTree->expand(index);
    const int count = FModel->rowCount(index);
    for (int i = 0; i < count; ++i)
        RestoreRows(FModel->index(i, 0, index), focused, selection, focusIndex);
}

void TFormMain::UpdateSpan(const QModelIndex &index)
{
    bool spanned = false;
    {
        // A scan thread may fold a small-files group away meanwhile: read through the access.
        const TFileTreeModel::TAccess access = FModel->Access(index);
        spanned = !access.Stale() && GetCellIsEmpty(access.Node(), 0);
    }
    if (spanned != FTree->isFirstColumnSpanned(index.row(), index.parent()))
        FTree->setFirstColumnSpanned(index.row(), index.parent(), spanned);
}

void TFormMain::RefreshTree()
{
    RefreshRows(TFileTreeModel::TRefresh::Changed);
}

void TFormMain::RefreshRows(TFileTreeModel::TRefresh what)
{
    if (FModel->TopRowCount() == 0 || FModel->NodeOf(FModel->index(0, 0)) != FPaintNode) {
        const int x = FTree->horizontalScrollBar()->value();
        const int y = FTree->verticalScrollBar()->value();
        PopulateTree();
        // Lay the rows out now, or the scroll bars keep the range of the emptied tree.
        FTree->doItemsLayout();
        FTree->horizontalScrollBar()->setValue(x);
        FTree->verticalScrollBar()->setValue(y);
        RefreshLargestFiles();
        return;
    }
    // Rows stay: persistent indexes keep focus, selection, expansion, hover and scroll position.
    QModelIndexList emptied;
    FModel->Refresh(what, &emptied);
    for (const QModelIndex &index : emptied)
        UpdateSpan(index);
    RefreshLargestFiles();
}

void TFormMain::TreeExpandedChanged(const QModelIndex &index, bool expanded)
{
    TFileTreeModel::TAccess access = FModel->Access(index);
    if (access.Node() && access.Node()->IsGroup())
        static_cast<TGroupNode *>(access.Node())->SetExpanded(expanded);
    if (!expanded)
        return;
    // Children the user had open before open again, as after a rebuild.
    const int count = FModel->rowCount(index);
    for (int i = 0; i < count; ++i) {
        const QModelIndex child = FModel->index(i, 0, index);
        UpdateSpan(child);
        if (FModel->WasExpanded(child))
            FTree->expand(child);
    }
}

void TFormMain::TreeHeaderClick(int column)
{
    Qt::SortOrder order = FModel->SortOrder();
    if (column == FModel->SortColumn())
        order = order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    FModel->sort(column, order);
    FTree->header()->setSortIndicator(column, order);
}

void TFormMain::TreeDoubleClick(const QModelIndex &index)
{
    if (FModel->IsPlaceholder(index))
        ActDirSelectExecute();
    else if (FModel->NodeOf(index))
        ActShellOpenFileExecute(); // nothing for rows that are not files
}

void TFormMain::UpdateStatusFromSelection()
{
    const QModelIndex current = FTree->currentIndex();
    TFileTreeModel::TAccess access = FModel->Access(current);
    const TFileSystemNode *node = access.Node();
    if (!node)
        return;
    SetStatusText(0, DecodeName(node->GetFullPathName()));
    SetStatusText(1,
        QLocale().toString(static_cast<qlonglong>(node->GetSize())) + QLatin1Char(' ')
            + QString::fromStdString(ByteUnit(node->GetSize())));
}

void TFormMain::InvalidateAndScrollTo(const TFileSystemNode *node)
{
    const QModelIndex index = FModel->FindCreatedRow(node);
    if (!index.isValid() || !FTree->visualRect(index).isValid()) {
        if (!index.isValid())
            return;
    }
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        if (!FTree->isExpanded(up))
            return;
    FTree->update(index);
    FTree->scrollTo(index, QAbstractItemView::PositionAtCenter);
}
