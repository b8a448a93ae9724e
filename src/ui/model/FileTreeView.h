#pragma once

#include <vector>

#include <QElapsedTimer>
#include <QPersistentModelIndex>
#include <QTreeView>

// The tree-grid of the main window. QTreeView lays out every open row again after any row
// insertion under an open folder, any reorder and any change report spanning rows; with a
// couple of hundred thousand open rows that is tens of milliseconds a refresh. This view lays
// out only the folders whose rows came or moved when they are few, and repaints changed cells
// without walking the rows between them (every row has the same height).
class TFileTreeView final : public QTreeView
{
public:
    explicit TFileTreeView(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
    void doItemsLayout() override;

    // The duration of the last layout of every open row, and the time since it ended.
    [[nodiscard]] double FullLayoutMs() const { return FFullLayoutMs; }
    [[nodiscard]] qint64 MsSinceFullLayout() const;
    [[nodiscard]] int FullLayoutCount() const { return FFullLayouts; }
    [[nodiscard]] int PartialLayoutCount() const { return FPartialLayouts; }

protected:
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles) override;
    void changeEvent(QEvent *event) override;

private:
    // True when `index` and every row above it are open: its rows are laid out.
    [[nodiscard]] bool IsShownOpen(const QModelIndex &index) const;
    void RelayoutLater(const QModelIndex &parent);
    void NeedFullLayout();

    // Open folders whose rows came or moved since the last layout; FFull: rows changed in a
    // way only a layout of every row follows (removals, resets, whole-model reorders).
    std::vector<QPersistentModelIndex> FRelayout;
    // Rows whose expand button may have changed while a layout of some folders was pending.
    std::vector<QPersistentModelIndex> FHintRows;
    bool FFull = true;
    double FFullLayoutMs = 0;
    QElapsedTimer FSinceFullLayout;
    int FFullLayouts = 0;
    int FPartialLayouts = 0;
};
