#include "ui/model/FileTreeModel.h"

#include <algorithm>

#include "ui/UiText.h"

struct TFileTreeModel::TRow
{
    TFileSystemNode *Node = nullptr; // null: the placeholder row
    TRow *Parent = nullptr;
    int Row = 0; // position among the parent's rows (changes when sorted)
    int ChildIndex = 0; // position in the parent node's child list when the row was made
    bool IsGroupRow = false; // the node is a small-files group
    bool ParentIsGroup = false; // the node lies inside a small-files group
    bool Expanded = false;
    bool HasChildrenHint = false;
    bool Created = false; // Children holds the node's children
    std::vector<std::unique_ptr<TRow>> Children;
};

namespace {

bool IsFileGroup(const TFileSystemNode *node)
{
    return node && node->FileType() == fstFileGroup;
}

} // namespace

Qt::Alignment TFileTreeModel::ColumnAlignment(int column)
{
    switch (column) {
    case 1:
    case 2:
        return Qt::AlignRight | Qt::AlignVCenter;
    case 3:
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
        if (FTop->Node && FTop->Node->IsGroup()) {
            auto *group = static_cast<TGroupNode *>(FTop->Node);
            FTop->IsGroupRow = IsFileGroup(group);
            FTop->HasChildrenHint = group->HasChildren() || !group->IsEmpty();
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
    return row && row->Expanded;
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
    row.Children.reserve(static_cast<std::size_t>(count));
    const bool inGroup = IsFileGroup(group);
    for (std::int32_t i = 0; i < count; ++i) {
        auto child = std::make_unique<TRow>();
        child->Node = group->GetUnlockedChildNode(i);
        child->Parent = &row;
        child->ChildIndex = i;
        child->ParentIsGroup = inGroup;
        if (child->Node->IsGroup()) {
            auto *childGroup = static_cast<TGroupNode *>(child->Node);
            child->IsGroupRow = IsFileGroup(childGroup);
            child->Expanded = childGroup->IsExpanded();
            child->HasChildrenHint = childGroup->HasChildren() || !childGroup->IsEmpty();
        }
        row.Children.push_back(std::move(child));
    }
    // Children are sorted as they appear, by the header's current column and direction.
    const_cast<TFileTreeModel *>(this)->SortRows(row, false);
}

void TFileTreeModel::SortRows(TRow &row, bool recursive)
{
    if (!row.Created)
        return;
    if (row.Children.size() > 1) {
        TAccess access = AccessRow(row);
        if (access.Node()) {
            const int column = FSortColumn;
            const bool descending = FSortOrder == Qt::DescendingOrder;
            std::scoped_lock guard(static_cast<TGroupNode *>(access.Node())->ChildLock());
            std::stable_sort(row.Children.begin(), row.Children.end(), [&](const auto &a, const auto &b) {
                const int c = FOwner.CompareNodes(a->Node, b->Node, column);
                return descending ? c > 0 : c < 0;
            });
        }
    }
    for (std::size_t i = 0; i < row.Children.size(); ++i) {
        row.Children[i]->Row = static_cast<int>(i);
        if (recursive)
            SortRows(*row.Children[i], true);
    }
}

void TFileTreeModel::sort(int column, Qt::SortOrder order)
{
    SetSort(column, order);
    if (!FTop)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::pair<TRow *, int>> rows;
    rows.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex &index : before)
        rows.emplace_back(RowOf(index), index.column());
    SortRows(*FTop, true);
    QModelIndexList after;
    after.reserve(before.size());
    for (const auto &[row, column] : rows)
        after.push_back(row ? createIndex(row->Row, column, row) : QModelIndex());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

TFileTreeModel::TRow *TFileTreeModel::FindRow(TRow &row, const TFileSystemNode *node)
{
    if (row.Node == node)
        return &row;
    for (const auto &child : row.Children)
        if (TRow *found = FindRow(*child, node))
            return found;
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
    case Qt::ToolTipRole: {
        TAccess access = AccessRow(*row);
        if (access.Stale())
            return {};
        if (role == Qt::ToolTipRole)
            return index.column() == 0 ? PlainToolTip(FOwner.GetText(access.Node(), 0, TTextType::Normal)) : QVariant();
        return FOwner.GetText(access.Node(), index.column(), TTextType::Normal);
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(ColumnAlignment(index.column()));
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
