#include "ui/model/FileTreeModel.h"

#include <algorithm>
#include <unordered_map>

#include "ui/UiText.h"

struct TFileTreeModel::TRow
{
    TFileSystemNode *Node = nullptr; // null: the placeholder row
    TRow *Parent = nullptr;
    int Row = 0; // position among the parent's rows (changes when sorted)
    int ChildIndex = 0; // position in the parent node's child list at the last refresh
    bool IsGroupRow = false; // the node is a small-files group
    bool ParentIsGroup = false; // the node lies inside a small-files group
    bool Expanded = false;
    bool HasChildrenHint = false;
    bool Created = false; // Children holds the node's children
    bool Live = false; // the node was being scanned at the last refresh: its children change
    bool Empty = false; // the owner reported the row's cells empty (spanned)
    std::int64_t Below = 0; // rows created below this one, at any depth
    // The node's child count and last child at the last refresh: a list that only grows at its
    // end, and whose folded group's file comes back at the end, is unchanged when both are.
    std::int32_t SeenCount = 0;
    const TFileSystemNode *SeenLast = nullptr;
    // For rows that a fold-back can leave without a node (a group and the files in it): the
    // name, so the row reads the same until the refresh that removes it.
    QString Name;
    std::vector<std::unique_ptr<TRow>> Children;
};

namespace {

template <typename TRowType> void AddBelow(TRowType *row, std::int64_t count)
{
    for (TRowType *up = row; up; up = up->Parent)
        up->Below += count;
}

} // namespace

// A new order of one row's children: position i takes the child that was at Order[i].
struct TFileTreeModel::TReorder
{
    TRow *Row = nullptr;
    std::vector<std::size_t> Order;
};

namespace {

bool IsFileGroup(const TFileSystemNode *node)
{
    return node && node->FileType() == fstFileGroup;
}

// A view lays out again every open row below a folder whose rows move; while a scan runs,
// folders with this many rows below are put in order again only after a pause.
constexpr std::int64_t ManyRowsBelow = 10000;
constexpr std::int64_t ManyRowsSortPauseMs = 2000;

bool IsIdentity(const std::vector<std::size_t> &order)
{
    for (std::size_t i = 0; i < order.size(); ++i)
        if (order[i] != i)
            return false;
    return true;
}

} // namespace

Qt::Alignment TFileTreeModel::ColumnAlignment(int column)
{
    switch (column) {
    case 1:
    case 2:
        return Qt::AlignRight | Qt::AlignVCenter;
    case 3:
    case 5:
        return Qt::AlignCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

TFileTreeModel::TFileTreeModel(IFileTreeOwner &owner, QObject *parent)
    : QAbstractItemModel(parent)
    , FOwner(owner)
{ }

TFileTreeModel::~TFileTreeModel() = default;

void TFileTreeModel::Rebuild(bool withTopRow)
{
    beginResetModel();
    FTop.reset();
    if (withTopRow) {
        FTop = std::make_unique<TRow>();
        FTop->Node = FOwner.TopNode();
        // The top row always shows its children, whatever the node's flag says.
        FTop->Expanded = true;
        FTop->Empty = FOwner.GetCellIsEmpty(FTop->Node, 0);
        if (FTop->Node && FTop->Node->IsGroup()) {
            auto *group = static_cast<TGroupNode *>(FTop->Node);
            FTop->IsGroupRow = IsFileGroup(group);
            FTop->HasChildrenHint = group->HasChildren() || !group->IsEmpty();
            FTop->Live = group->Scanning();
        }
    }
    endResetModel();
}

void TFileTreeModel::SetSort(int column, Qt::SortOrder order)
{
    FSortColumn = column;
    FSortOrder = order;
}

TFileTreeModel::TRow *TFileTreeModel::RowOf(const QModelIndex &index) const
{
    if (!index.isValid())
        return nullptr;
    return static_cast<TRow *>(index.internalPointer());
}

TFileSystemNode *TFileTreeModel::NodeOf(const QModelIndex &index) const
{
    const TRow *row = RowOf(index);
    return row ? row->Node : nullptr;
}

bool TFileTreeModel::IsPlaceholder(const QModelIndex &index) const
{
    const TRow *row = RowOf(index);
    return row && !row->Node;
}

bool TFileTreeModel::WasExpanded(const QModelIndex &index) const
{
    const TRow *row = RowOf(index);
    if (!row)
        return false;
    if (!row->Parent)
        return row->Expanded;
    // The node's flag follows the user's later clicks; the row keeps its first value.
    const TAccess access = AccessRow(*row);
    const TFileSystemNode *node = access.Node();
    return node && node->IsGroup() && static_cast<const TGroupNode *>(node)->IsExpanded();
}

bool TFileTreeModel::ChildrenCreated(const QModelIndex &index) const
{
    const TRow *row = RowOf(index);
    return row && row->Created;
}

TFileTreeModel::TAccess TFileTreeModel::AccessRow(const TRow &row) const
{
    TAccess access;
    if (!row.IsGroupRow && !row.ParentIsGroup) {
        access.FNode = row.Node;
        return access;
    }
    const TRow *group = row.IsGroupRow ? &row : row.Parent;
    const TRow *dir = group ? group->Parent : nullptr;
    if (!group || !dir || !dir->Node) {
        access.FNode = row.Node;
        return access;
    }
    // Directories are freed only by this thread; a group may go at any time until its
    // directory's lock is held. Ancestor first, as everywhere.
    auto *dirNode = static_cast<TGroupNode *>(dir->Node);
    access.FLocks.emplace_back(dirNode->ChildLock());
    if (group->ChildIndex >= dirNode->InterlockedChildCount()
        || dirNode->GetUnlockedChildNode(group->ChildIndex) != group->Node) {
        access.FStale = true;
        access.FLocks.clear();
        return access;
    }
    if (&row != group) {
        auto *groupNode = static_cast<TGroupNode *>(group->Node);
        access.FLocks.emplace_back(groupNode->ChildLock());
        if (row.ChildIndex >= groupNode->InterlockedChildCount()
            || groupNode->GetUnlockedChildNode(row.ChildIndex) != row.Node) {
            access.FStale = true;
            access.FLocks.clear();
            return access;
        }
    }
    access.FNode = row.Node;
    return access;
}

TFileTreeModel::TAccess TFileTreeModel::Access(const QModelIndex &index) const
{
    const TRow *row = RowOf(index);
    if (!row)
        return {};
    return AccessRow(*row);
}

QModelIndex TFileTreeModel::IndexOf(const TRow &row, int column) const
{
    return createIndex(row.Row, column, const_cast<TRow *>(&row));
}

std::unique_ptr<TFileTreeModel::TRow> TFileTreeModel::MakeRow(TFileSystemNode *node, TRow &parent, int childIndex) const
{
    auto child = std::make_unique<TRow>();
    child->Node = node;
    child->Parent = &parent;
    child->ChildIndex = childIndex;
    child->ParentIsGroup = IsFileGroup(parent.Node);
    child->Empty = FOwner.GetCellIsEmpty(node, 0);
    if (node->IsGroup()) {
        auto *group = static_cast<TGroupNode *>(node);
        child->IsGroupRow = IsFileGroup(group);
        if (child->IsGroupRow)
            child->Name = FOwner.GetText(node, 0, TTextType::Normal);
        child->Expanded = group->IsExpanded();
        child->HasChildrenHint = group->HasChildren() || !group->IsEmpty();
    }
    if (child->ParentIsGroup)
        child->Name = FOwner.GetText(node, 0, TTextType::Normal);
    return child;
}

std::vector<std::size_t> TFileTreeModel::OrderOf(const std::vector<TFileSystemNode *> &nodes) const
{
    const int column = FSortColumn;
    const bool descending = FSortOrder == Qt::DescendingOrder;
    std::vector<TSortKey> keys;
    keys.reserve(nodes.size());
    for (const TFileSystemNode *node : nodes)
        keys.push_back(FOwner.SortKey(node, column));
    std::vector<std::size_t> order(nodes.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int c = FOwner.CompareSortKeys(keys[a], keys[b], column);
        return descending ? c > 0 : c < 0;
    });
    return order;
}

void TFileTreeModel::CreateChildren(TRow &row) const
{
    if (row.Created)
        return;
    row.Created = true;
    TAccess access = AccessRow(row);
    TFileSystemNode *node = access.Node();
    if (!node || !node->IsGroup())
        return;
    auto *group = static_cast<TGroupNode *>(node);
    std::scoped_lock guard(group->ChildLock());
    const std::int32_t count = group->InterlockedChildCount();
    std::vector<std::unique_ptr<TRow>> made;
    std::vector<TFileSystemNode *> nodes;
    made.reserve(static_cast<std::size_t>(count));
    nodes.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        nodes.push_back(group->GetUnlockedChildNode(i));
        made.push_back(MakeRow(nodes.back(), row, i));
    }
    AddBelow(&row, count);
    row.Live = group->Scanning();
    row.SeenCount = count;
    row.SeenLast = count > 0 ? nodes.back() : nullptr;
    // Children are sorted as they appear, by the header's current column and direction.
    const std::vector<std::size_t> order = OrderOf(nodes);
    row.Children.reserve(made.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        made[order[i]]->Row = static_cast<int>(i);
        row.Children.push_back(std::move(made[order[i]]));
    }
}

void TFileTreeModel::SortRows(TRow &row, bool recursive, std::vector<TReorder> &reorders)
{
    if (!row.Created)
        return;
    if (row.Children.size() > 1) {
        TAccess access = AccessRow(row);
        if (access.Node()) {
            std::vector<TFileSystemNode *> nodes;
            nodes.reserve(row.Children.size());
            std::scoped_lock guard(static_cast<TGroupNode *>(access.Node())->ChildLock());
            for (const auto &child : row.Children)
                nodes.push_back(child->Node);
            // Rows whose node went away sort as they are; the next refresh removes them.
            bool valid = true;
            const std::int32_t count = static_cast<TGroupNode *>(access.Node())->InterlockedChildCount();
            for (const auto &child : row.Children)
                valid = valid && child->ChildIndex < count
                    && static_cast<TGroupNode *>(access.Node())->GetUnlockedChildNode(child->ChildIndex) == child->Node;
            if (valid)
                if (std::vector<std::size_t> order = OrderOf(nodes); !IsIdentity(order))
                    reorders.push_back({&row, std::move(order)});
        }
    }
    if (recursive)
        for (const auto &child : row.Children)
            SortRows(*child, true, reorders);
}

void TFileTreeModel::ApplyReorders(std::vector<TReorder> &reorders)
{
    if (reorders.empty())
        return;
    // Naming the folders lets a view lay out only their rows again.
    QList<QPersistentModelIndex> parents;
    parents.reserve(static_cast<qsizetype>(reorders.size()));
    for (const TReorder &reorder : reorders)
        parents.push_back(IndexOf(*reorder.Row));
    emit layoutAboutToBeChanged(parents, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::pair<TRow *, int>> rows;
    rows.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex &index : before)
        rows.emplace_back(RowOf(index), index.column());
    for (TReorder &reorder : reorders) {
        std::vector<std::unique_ptr<TRow>> &children = reorder.Row->Children;
        std::vector<std::unique_ptr<TRow>> sorted;
        sorted.reserve(children.size());
        for (std::size_t i = 0; i < reorder.Order.size(); ++i) {
            sorted.push_back(std::move(children[reorder.Order[i]]));
            sorted.back()->Row = static_cast<int>(i);
        }
        children = std::move(sorted);
    }
    QModelIndexList after;
    after.reserve(before.size());
    for (const auto &[row, column] : rows)
        after.push_back(row ? IndexOf(*row, column) : QModelIndex());
    changePersistentIndexList(before, after);
    emit layoutChanged(parents, QAbstractItemModel::VerticalSortHint);
    reorders.clear();
}

void TFileTreeModel::sort(int column, Qt::SortOrder order)
{
    SetSort(column, order);
    if (!FTop)
        return;
    std::vector<TReorder> reorders;
    SortRows(*FTop, true, reorders);
    ApplyReorders(reorders);
}

void TFileTreeModel::RemoveRows(TRow &parent, int first, int last)
{
    beginRemoveRows(IndexOf(parent), first, last);
    std::int64_t removed = 0;
    for (int i = first; i <= last; ++i)
        removed += 1 + parent.Children[static_cast<std::size_t>(i)]->Below;
    AddBelow(&parent, -removed);
    parent.Children.erase(parent.Children.begin() + first, parent.Children.begin() + last + 1);
    for (std::size_t i = static_cast<std::size_t>(first); i < parent.Children.size(); ++i)
        parent.Children[i]->Row = static_cast<int>(i);
    endRemoveRows();
}

void TFileTreeModel::RefreshRow(TRow &row, TRefresh what, std::vector<TReorder> &reorders, QModelIndexList *emptied)
{
    std::vector<int> removed; // positions among the rows, ascending
    std::vector<std::unique_ptr<TRow>> added;
    std::vector<std::size_t> order;
    std::vector<TRow *> emptiedRows;
    bool live = false;
    bool wasLive = row.Live;
    std::vector<TRow *> hintRows;
    {
        // Read the live children under the folder's lock (and, for a small-files group, its
        // folder's lock, which keeps the group alive); Qt hears of the changes after that.
        TAccess access = AccessRow(row);
        TFileSystemNode *node = access.Node();
        if (!node || !node->IsGroup())
            return; // a row gone stale is removed with its parent's refresh
        auto *group = static_cast<TGroupNode *>(node);
        std::scoped_lock guard(group->ChildLock());
        const std::int32_t count = group->InterlockedChildCount();
        live = group->Scanning();
        const TFileSystemNode *last = count > 0 ? group->GetUnlockedChildNode(count - 1) : nullptr;
        if (!live && !wasLive && what == TRefresh::Changed && count == row.SeenCount && last == row.SeenLast)
            return; // nothing came or went, and no total of a child moves
        row.SeenCount = count;
        row.SeenLast = last;
        std::vector<TFileSystemNode *> current(static_cast<std::size_t>(count));
        for (std::int32_t i = 0; i < count; ++i)
            current[static_cast<std::size_t>(i)] = group->GetUnlockedChildNode(i);
        bool same = true;
        for (const auto &child : row.Children)
            if (child->ChildIndex >= count || current[static_cast<std::size_t>(child->ChildIndex)] != child->Node) {
                same = false;
                break;
            }
        std::vector<char> shown(current.size(), 0);
        if (same) {
            for (const auto &child : row.Children)
                shown[static_cast<std::size_t>(child->ChildIndex)] = 1;
        } else {
            // Only a folded group leaves a list (the window forgets what it frees itself):
            // later children moved down, the file came back at the end.
            std::unordered_map<const TFileSystemNode *, int> where;
            where.reserve(current.size());
            for (std::size_t i = 0; i < current.size(); ++i)
                where.emplace(current[i], static_cast<int>(i));
            for (const auto &child : row.Children) {
                const auto it = where.find(child->Node);
                if (it == where.end()) {
                    removed.push_back(child->Row);
                } else {
                    child->ChildIndex = it->second;
                    shown[static_cast<std::size_t>(it->second)] = 1;
                }
            }
            std::sort(removed.begin(), removed.end());
        }
        // New rows of a folder with many rows below wait like its reorders; the next refresh
        // looks again.
        const bool hold = same && what == TRefresh::Changed && row.Below >= ManyRowsBelow && !ManyRowsMayMove();
        for (std::size_t i = 0; i < current.size(); ++i) {
            if (shown[i])
                continue;
            if (hold) {
                row.SeenCount = -1;
                continue;
            }
            added.push_back(MakeRow(current[i], row, static_cast<int>(i)));
        }
        if (!added.empty() && what == TRefresh::Changed && row.Below >= ManyRowsBelow)
            FManyRowsSortedNow = true;
        const bool changing = live || wasLive || what == TRefresh::Everything;
        std::vector<TFileSystemNode *> nodes;
        nodes.reserve(row.Children.size() + added.size());
        std::size_t next = 0;
        for (const auto &child : row.Children) {
            if (next < removed.size() && removed[next] == child->Row) {
                ++next;
                continue;
            }
            nodes.push_back(child->Node);
            if (!changing)
                continue;
            if (const bool empty = FOwner.GetCellIsEmpty(child->Node, 0); empty != child->Empty) {
                child->Empty = empty;
                emptiedRows.push_back(child.get());
            }
            if (child->Node->IsGroup() && !child->Created && !child->HasChildrenHint) {
                auto *childGroup = static_cast<TGroupNode *>(child->Node);
                child->HasChildrenHint = childGroup->HasChildren() || !childGroup->IsEmpty();
                if (child->HasChildrenHint)
                    hintRows.push_back(child.get());
            }
        }
        for (const auto &child : added)
            nodes.push_back(child->Node);
        // Totals of folders being scanned move their rows; names and dates never change.
        const bool byValue = FSortColumn >= 1 && FSortColumn <= 3;
        if (!added.empty() || !removed.empty() || what == TRefresh::Everything || (changing && byValue))
            order = OrderOf(nodes);
    }
    row.Live = live;
    for (auto it = removed.rbegin(); it != removed.rend(); ++it)
        RemoveRows(row, *it, *it);
    if (!added.empty()) {
        const int first = static_cast<int>(row.Children.size());
        beginInsertRows(IndexOf(row), first, first + static_cast<int>(added.size()) - 1);
        AddBelow(&row, static_cast<std::int64_t>(added.size()));
        for (auto &child : added) {
            child->Row = static_cast<int>(row.Children.size());
            row.Children.push_back(std::move(child));
        }
        endInsertRows();
    }
    if (!order.empty() && !IsIdentity(order)) {
        if (what == TRefresh::Changed && row.Below >= ManyRowsBelow) {
            if (!ManyRowsMayMove())
                order.clear();
            else
                FManyRowsSortedNow = true;
        }
        if (!order.empty())
            reorders.push_back({&row, std::move(order)});
    }
    FHintRows.insert(FHintRows.end(), hintRows.begin(), hintRows.end());
    if ((live || wasLive || what == TRefresh::Everything) && !row.Children.empty())
        FChangedRows.push_back(&row);
    if (emptied)
        for (TRow *child : emptiedRows)
            FEmptiedRows.push_back(child);
}

bool TFileTreeModel::ManyRowsMayMove() const
{
    return !FManyRowsSorted.isValid() || FManyRowsSorted.elapsed() >= ManyRowsSortPauseMs;
}

bool TFileTreeModel::Refresh(TRefresh what, QModelIndexList *emptied)
{
    if (!FTop || FTop->Node != FOwner.TopNode()) {
        Rebuild(true);
        return true;
    }
    FChangedRows.clear();
    FEmptiedRows.clear();
    FHintRows.clear();
    FManyRowsSortedNow = false;
    std::vector<TReorder> reorders;
    // Parents before their children: a row removed with its parent is never visited.
    std::vector<TRow *> pending {FTop.get()};
    while (!pending.empty()) {
        TRow *row = pending.back();
        pending.pop_back();
        if (!row->Created)
            continue;
        RefreshRow(*row, what, reorders, emptied);
        for (const auto &child : row->Children)
            if (child->Created)
                pending.push_back(child.get());
    }
    if (FManyRowsSortedNow)
        FManyRowsSorted.start();
    ApplyReorders(reorders);
    // A view learns of a new expand button from a change report of the row's first cell.
    for (const TRow *row : FHintRows)
        emit dataChanged(IndexOf(*row), IndexOf(*row));
    if (FTop->Node && FTop->Node->IsGroup()) {
        const bool live = static_cast<const TGroupNode *>(FTop->Node)->Scanning();
        if (live || FTop->Live || what == TRefresh::Everything)
            emit dataChanged(IndexOf(*FTop), IndexOf(*FTop, ColumnCount - 1));
        FTop->Live = live;
    }
    for (const TRow *row : FChangedRows)
        emit dataChanged(IndexOf(*row->Children.front()), IndexOf(*row->Children.back(), ColumnCount - 1));
    if (emptied)
        for (const TRow *row : FEmptiedRows)
            emptied->push_back(IndexOf(*row));
    FChangedRows.clear();
    FEmptiedRows.clear();
    FHintRows.clear();
    return false;
}

void TFileTreeModel::ForgetChildren(const TFileSystemNode *node)
{
    TRow *row = FTop && node ? FindRow(*FTop, node) : nullptr;
    if (!row)
        return;
    if (!row->Children.empty())
        RemoveRows(*row, 0, static_cast<int>(row->Children.size()) - 1);
    row->HasChildrenHint = false;
    row->SeenCount = -1; // whatever the node holds next is new
    row->SeenLast = nullptr;
}

void TFileTreeModel::ForgetRow(const TFileSystemNode *node)
{
    TRow *row = FTop && node ? FindRow(*FTop, node) : nullptr;
    if (!row)
        return;
    if (!row->Parent) {
        Rebuild(false);
        return;
    }
    RemoveRows(*row->Parent, row->Row, row->Row);
}

TFileTreeModel::TRow *TFileTreeModel::FindRow(TRow &row, const TFileSystemNode *node)
{
    // In display order, without recursion: expanded chains can be thousands of levels deep.
    std::vector<TRow *> pending {&row};
    while (!pending.empty()) {
        TRow *current = pending.back();
        pending.pop_back();
        if (current->Node == node)
            return current;
        for (auto it = current->Children.rbegin(); it != current->Children.rend(); ++it)
            pending.push_back(it->get());
    }
    return nullptr;
}

QModelIndex TFileTreeModel::FindCreatedRow(const TFileSystemNode *node) const
{
    if (!FTop || !node)
        return {};
    TRow *row = FindRow(*FTop, node);
    return row ? createIndex(row->Row, 0, row) : QModelIndex();
}

QModelIndex TFileTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || column >= ColumnCount)
        return {};
    if (!parent.isValid()) {
        if (!FTop || row != 0)
            return {};
        return createIndex(0, column, FTop.get());
    }
    TRow *parentRow = RowOf(parent);
    CreateChildren(*parentRow);
    if (row >= static_cast<int>(parentRow->Children.size()))
        return {};
    return createIndex(row, column, parentRow->Children[static_cast<std::size_t>(row)].get());
}

QModelIndex TFileTreeModel::parent(const QModelIndex &child) const
{
    const TRow *row = RowOf(child);
    if (!row || !row->Parent)
        return {};
    return createIndex(row->Parent->Row, 0, row->Parent);
}

int TFileTreeModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return TopRowCount();
    if (parent.column() != 0)
        return 0;
    TRow *row = RowOf(parent);
    CreateChildren(*row);
    return static_cast<int>(row->Children.size());
}

int TFileTreeModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

bool TFileTreeModel::hasChildren(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return TopRowCount() > 0;
    if (parent.column() != 0)
        return false;
    const TRow *row = RowOf(parent);
    return row->Created ? !row->Children.empty() : row->HasChildrenHint;
}

QVariant TFileTreeModel::data(const QModelIndex &index, int role) const
{
    const TRow *row = RowOf(index);
    if (!row)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole: {
        TAccess access = AccessRow(*row);
        if (access.Stale())
            return role != Qt::ToolTipRole && index.column() == 0 ? QVariant(row->Name) : QVariant();
        if (role == Qt::ToolTipRole)
            return index.column() == 0 ? PlainToolTip(FOwner.GetText(access.Node(), 0, TTextType::Normal)) : QVariant();
        return FOwner.GetText(
            access.Node(), index.column(), role == Qt::AccessibleTextRole ? TTextType::Accessible : TTextType::Normal);
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(ColumnAlignment(index.column()));
    case RowsBelowRole:
        return QVariant::fromValue(static_cast<qlonglong>(row->Below));
    default:
        return {};
    }
}

QVariant TFileTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return FOwner.HeaderText(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(ColumnAlignment(section));
    return {};
}

Qt::ItemFlags TFileTreeModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
