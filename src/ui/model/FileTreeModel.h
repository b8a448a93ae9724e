#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>

#include <QAbstractItemModel>
#include <QElapsedTimer>
#include <QIcon>

#include "model/TreeTypes.h"

// Accessible: what a screen reader says for a cell that is painted rather than written.
enum class TTextType { Normal, Static, Accessible };
enum class TImageKind { Normal, Selected, State, Overlay };

// One row's sort value for one column, read once before a sort: totals of folders being
// scanned change between two comparisons, and a sort must never see a value change.
struct TSortKey
{
    std::int64_t Number = 0;
    double Real = 0;
    QString Text;
};

// What the tree-grid asks its owner for. Every call runs on the user interface thread; a null
// node stands for the placeholder row shown before any analysis.
class IFileTreeOwner
{
public:
    virtual ~IFileTreeOwner() = default;
    // The node of the single top row (null: the placeholder row).
    [[nodiscard]] virtual TFileSystemNode *TopNode() const = 0;
    [[nodiscard]] virtual QString GetText(const TFileSystemNode *node, int column, TTextType type) const = 0;
    [[nodiscard]] virtual bool GetCellIsEmpty(const TFileSystemNode *node, int column) const = 0;
    [[nodiscard]] virtual TSortKey SortKey(const TFileSystemNode *node, int column) const = 0;
    // Negative, zero or positive, ascending order.
    [[nodiscard]] virtual int CompareSortKeys(const TSortKey &a, const TSortKey &b, int column) const = 0;
    [[nodiscard]] virtual QString HeaderText(int column) const = 0;
};

// The tree-grid's rows over the node model: each row holds one node reference and nothing
// else; texts come from the owner. Rows are created on demand (children when a parent is
// first asked for them) and sorted stably by the current sort column when they are created.
// Refresh brings the created rows up to the live model with row insertions, removals, moves
// and data changes, so persistent indexes (the view's expansion, selection, focus, hover and
// scroll position) stay valid; Rebuild drops every row.
//
// Scan threads fold a small-files group holding a single file back into its directory and
// free the group, so a row inside or of a group may outlive its node until the next refresh.
// Access validates such rows against the live model and holds the locks that keep them alive
// while the caller reads. Every other node a row holds is freed only by the user interface
// thread, which first tells the model (ForgetChildren, ForgetRow).
class TFileTreeModel final : public QAbstractItemModel
{
public:
    // Name, Size, Files, Percent, Date, and Change (shown only while comparing).
    static constexpr int ColumnCount = 6;
    // data() of this role: how many rows the model has created below the row, at any depth.
    static constexpr int RowsBelowRole = Qt::UserRole + 1;
    [[nodiscard]] static Qt::Alignment ColumnAlignment(int column);

    explicit TFileTreeModel(IFileTreeOwner &owner, QObject *parent = nullptr);
    ~TFileTreeModel() override;

    // Drops every row; with `withTopRow` the single top row is created again for TopNode().
    void Rebuild(bool withTopRow = true);

    enum class TRefresh { Changed, Everything };
    // Brings the created rows up to the model: rows of new children are inserted, rows of
    // children that went away (folded groups) removed, the children of folders being scanned
    // (or, with Everything, of every created row) sorted again by their current values, and
    // their cells reported changed. With Changed, a folder with many rows below gets new rows
    // and is sorted again at most every two seconds: a view lays out all those rows again. A new top node rebuilds
    // every row instead: returns true then. `emptied` receives the rows whose cells changed between empty and not
    // (failures).
    bool Refresh(TRefresh what, QModelIndexList *emptied = nullptr);
    // Before the user interface thread frees nodes: drops the rows of `node`'s children, or
    // the row of `node` itself.
    void ForgetChildren(const TFileSystemNode *node);
    void ForgetRow(const TFileSystemNode *node);
    [[nodiscard]] int TopRowCount() const { return FTop ? 1 : 0; }

    // The sort used for children as they are created.
    void SetSort(int column, Qt::SortOrder order);
    [[nodiscard]] int SortColumn() const { return FSortColumn; }
    [[nodiscard]] Qt::SortOrder SortOrder() const { return FSortOrder; }
    // Sorts every row created so far (rows not created yet are sorted when they are).
    void sort(int column, Qt::SortOrder order) override;

    // The node of a row without any check: only for identity comparisons.
    [[nodiscard]] TFileSystemNode *NodeOf(const QModelIndex &index) const;
    [[nodiscard]] bool IsPlaceholder(const QModelIndex &index) const;
    // The group's Expanded flag (the state the user left the row in); true for the top row.
    [[nodiscard]] bool WasExpanded(const QModelIndex &index) const;
    // True when the row's children have been created.
    [[nodiscard]] bool ChildrenCreated(const QModelIndex &index) const;

    // A node that is safe to read while the object lives, or null when the row's node is gone
    // (or the row is the placeholder row).
    class TAccess
    {
    public:
        TAccess() = default;
        TAccess(TAccess &&) = default;
        TAccess &operator=(TAccess &&) = default;
        [[nodiscard]] TFileSystemNode *Node() const { return FNode; }
        [[nodiscard]] bool Stale() const { return FStale; }

    private:
        friend class TFileTreeModel;
        using TLock = std::remove_cvref_t<decltype(std::declval<const TGroupNode &>().ChildLock())>;
        std::vector<std::unique_lock<TLock>> FLocks;
        TFileSystemNode *FNode = nullptr;
        bool FStale = false;
    };
    [[nodiscard]] TAccess Access(const QModelIndex &index) const;

    // The index of the first created row holding `node` in display order, or invalid.
    [[nodiscard]] QModelIndex FindCreatedRow(const TFileSystemNode *node) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    struct TRow;
    struct TReorder;
    TRow *RowOf(const QModelIndex &index) const;
    QModelIndex IndexOf(const TRow &row, int column = 0) const;
    std::unique_ptr<TRow> MakeRow(TFileSystemNode *node, TRow &parent, int childIndex) const;
    void CreateChildren(TRow &row) const;
    // The order of `nodes` by the current sort column, each node's key read once.
    [[nodiscard]] std::vector<std::size_t> OrderOf(const std::vector<TFileSystemNode *> &nodes) const;
    void SortRows(TRow &row, bool recursive, std::vector<TReorder> &reorders);
    void ApplyReorders(std::vector<TReorder> &reorders);
    void RefreshRow(TRow &row, TRefresh what, std::vector<TReorder> &reorders, QModelIndexList *emptied);
    void RemoveRows(TRow &parent, int first, int last);
    [[nodiscard]] TAccess AccessRow(const TRow &row) const;
    // False during the pause after folders with many rows below got rows or moved them.
    [[nodiscard]] bool ManyRowsMayMove() const;
    static TRow *FindRow(TRow &row, const TFileSystemNode *node);

    IFileTreeOwner &FOwner;
    std::unique_ptr<TRow> FTop;
    // Scratch of one refresh: parents whose children's cells changed, rows that became empty
    // or not, rows not opened yet that gained children.
    std::vector<const TRow *> FChangedRows;
    std::vector<const TRow *> FEmptiedRows;
    std::vector<const TRow *> FHintRows;
    // When folders with many rows below were last put in order while a scan ran.
    QElapsedTimer FManyRowsSorted;
    bool FManyRowsSortedNow = false;
    int FSortColumn = 1;
    Qt::SortOrder FSortOrder = Qt::DescendingOrder;
};
