#include "ui/model/FileTreeView.h"

#include <algorithm>

#include <QAccessible>
#include <QEvent>
#include <QSet>
#include <QSignalBlocker>

#include "ui/model/FileTreeModel.h"

namespace {

// Beyond this many folders a layout of every open row costs less than laying out each one:
// every folder laid out again moves the view's list of open rows behind it.
constexpr std::size_t MaxPartialFolders = 8;
constexpr qlonglong MaxPartialRowsBelow = 20000;

} // namespace

TFileTreeView::TFileTreeView(QWidget *parent)
    : QTreeView(parent)
{
    // While a layout of only some folders is pending, the base view records an expansion or
    // collapse without laying the row out: the folder holding the row is laid out with them.
    const auto follow = [this](const QModelIndex &index) {
        if (FRelayout.empty())
            return;
        if (index.parent().isValid())
            RelayoutLater(index.parent());
        else
            NeedFullLayout();
    };
    connect(this, &QTreeView::expanded, this, follow);
    connect(this, &QTreeView::collapsed, this, follow);
}

void TFileTreeView::setModel(QAbstractItemModel *model)
{
    if (QAbstractItemModel *old = this->model())
        disconnect(old, nullptr, this, nullptr);
    QTreeView::setModel(model);
    NeedFullLayout();
    if (!model)
        return;
    // Connected after the base view's own handlers, which only schedule a layout.
    connect(model, &QAbstractItemModel::layoutChanged, this,
        [this](const QList<QPersistentModelIndex> &parents, QAbstractItemModel::LayoutChangeHint) {
            if (parents.isEmpty()) {
                NeedFullLayout();
                return;
            }
            for (const QPersistentModelIndex &parent : parents)
                RelayoutLater(parent);
        });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { NeedFullLayout(); });
    connect(model, &QAbstractItemModel::rowsMoved, this, [this] { NeedFullLayout(); });
    connect(model, &QAbstractItemModel::columnsInserted, this, [this] { NeedFullLayout(); });
    connect(model, &QAbstractItemModel::columnsRemoved, this, [this] { NeedFullLayout(); });
    connect(model, &QAbstractItemModel::columnsMoved, this, [this] { NeedFullLayout(); });
}

qint64 TFileTreeView::MsSinceFullLayout() const
{
    return FSinceFullLayout.isValid() ? FSinceFullLayout.elapsed() : 0;
}

bool TFileTreeView::IsShownOpen(const QModelIndex &index) const
{
    for (QModelIndex up = index; up.isValid(); up = up.parent())
        if (!isExpanded(up))
            return false;
    return true;
}

void TFileTreeView::RelayoutLater(const QModelIndex &parent)
{
    if (FFull)
        return;
    if (!parent.isValid() || parent.column() != 0) {
        NeedFullLayout();
        return;
    }
    FRelayout.emplace_back(parent);
    scheduleDelayedItemsLayout();
}

void TFileTreeView::NeedFullLayout()
{
    FFull = true;
    FRelayout.clear();
    FHintRows.clear();
    scheduleDelayedItemsLayout();
}

void TFileTreeView::doItemsLayout()
{
    std::vector<QModelIndex> folders;
    if (!FFull && model()) {
        // Only folders shown open have rows laid out; a folder inside another one in the
        // list is laid out with it.
        QSet<QModelIndex> listed;
        for (const QPersistentModelIndex &folder : FRelayout)
            if (folder.isValid() && IsShownOpen(folder))
                listed.insert(folder);
        for (const QModelIndex &folder : std::as_const(listed)) {
            bool inner = false;
            for (QModelIndex up = folder.parent(); up.isValid() && !inner; up = up.parent())
                inner = listed.contains(up);
            if (!inner)
                folders.push_back(folder);
        }
    }
    // Laying out a folder again moves the view's list of rows behind it once for every open
    // folder inside: past some rows below, one layout of every row costs less.
    qlonglong below = 0;
    for (const QModelIndex &folder : folders)
        below += folder.data(TFileTreeModel::RowsBelowRole).toLongLong();
    const bool partial
        = !FFull && !FRelayout.empty() && folders.size() <= MaxPartialFolders && below <= MaxPartialRowsBelow;
    FRelayout.clear();
    if (!partial) {
        FFull = false;
        FHintRows.clear();
        QElapsedTimer timer;
        timer.start();
        QTreeView::doItemsLayout();
        FFullLayoutMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        FSinceFullLayout.start();
        ++FFullLayouts;
        return;
    }
    ++FPartialLayouts;
    {
        // Closing a folder drops its laid out rows; opening it again lays out its rows as the
        // model has them now, open sub-folders included. Nobody else hears of either.
        const bool animated = isAnimated();
        setAnimated(false);
        const QSignalBlocker blocker(this);
        for (const QModelIndex &folder : folders) {
            collapse(folder);
            expand(folder);
        }
        setAnimated(animated);
    }
    // The expand buttons of rows reported while the layout was pending.
    std::vector<QPersistentModelIndex> hints;
    hints.swap(FHintRows);
    QAbstractItemView::doItemsLayout(); // geometries and a repaint
    for (const QPersistentModelIndex &row : hints)
        if (row.isValid())
            QTreeView::dataChanged(row, row, {});
}

void TFileTreeView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    if (!FFull && parent.isValid() && parent.column() == 0 && IsShownOpen(parent)) {
        RelayoutLater(parent);
        QAbstractItemView::rowsInserted(parent, start, end);
        return;
    }
    if (!parent.isValid())
        NeedFullLayout();
    QTreeView::rowsInserted(parent, start, end);
}

void TFileTreeView::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end)
{
    // The base view drops every laid out row here.
    NeedFullLayout();
    QTreeView::rowsAboutToBeRemoved(parent, start, end);
}

void TFileTreeView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles)
{
    if (topLeft == bottomRight) {
        // One cell: the row may have gained an expand button. A pending layout of some
        // folders would drop the report, so it is kept for after that layout.
        if (!FRelayout.empty() && topLeft.column() == 0)
            FHintRows.emplace_back(topLeft);
        QTreeView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    // Rows have one height, so nothing needs measuring again, and cells read the model when
    // they are painted: the base view's walk over every row laid out between the two ends
    // (open sub-folders included) is not needed.
    if (QAccessible::isActive()) {
        QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    viewport()->update();
}

void TFileTreeView::changeEvent(QEvent *event)
{
    // Fonts and styles change the row height, which only a layout of every row measures.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        NeedFullLayout();
    QTreeView::changeEvent(event);
}
