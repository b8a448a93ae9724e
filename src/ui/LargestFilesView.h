#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <QAbstractTableModel>
#include <QTreeView>

#include "import/LargestFiles.h"

class TGroupNode;
class TTreeViewState;

// The rows of the "Largest Files" view: copies taken from the tree, so they stay readable
// whatever a scan does to the nodes meanwhile.
class TLargestFilesModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum TColumn { ColName, ColSize, ColPercent, ColFolder, ColDate, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    // Replaces the rows; `total` is the size the percentages refer to (the shown root's).
    void SetFiles(std::vector<TLargeFile> files, std::int64_t total);
    [[nodiscard]] const TLargeFile &File(int row) const { return FFiles.at(static_cast<std::size_t>(row)); }
    [[nodiscard]] double Ratio(int row) const;
    // The size text of the window's rounding preference.
    void SetSizeText(std::function<QString(std::int64_t)> sizeText) { FSizeText = std::move(sizeText); }
    // The text of the percentage bar, which a screen reader reads for the bar's cell.
    void SetPercentText(std::function<QString(double)> percentText) { FPercentText = std::move(percentText); }

    [[nodiscard]] int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;
    [[nodiscard]] int SortColumn() const { return FSortColumn; }
    [[nodiscard]] Qt::SortOrder SortOrder() const { return FSortOrder; }

private:
    void SortRows();

    std::vector<TLargeFile> FFiles;
    std::int64_t FTotal = 0;
    int FSortColumn = ColSize;
    Qt::SortOrder FSortOrder = Qt::DescendingOrder;
    std::function<QString(std::int64_t)> FSizeText;
    std::function<QString(double)> FPercentText;
};

// A flat list of an analysis's largest files (Name, Size, percentage bar, Folder, Date),
// sortable by every column; its layout lives in the "LargeFiles" tree view state.
class TLargestFilesView final : public QTreeView
{
    Q_OBJECT

public:
    // How many files the list shows.
    static constexpr std::size_t MaxFiles = 500;
    // Paints the percentage bar of `ratio` into `rect` in the window's bar style.
    using TBarPainter = std::function<void(QPainter &, const QRect &, double ratio, bool selected)>;

    explicit TLargestFilesView(QWidget *parent = nullptr);

    [[nodiscard]] TLargestFilesModel *Model() const { return FModel; }
    void SetBarPainter(TBarPainter painter) { FBarPainter = std::move(painter); }
    // Takes the largest files below `root` again, percentages relative to `total`; keeps the
    // selected file and the scroll position where they can be kept. An empty list without root.
    void Refresh(const TGroupNode *root, std::int64_t total);
    void StoreState(TTreeViewState &state) const;
    void ApplyState(const TTreeViewState &state);

private:
    friend class TLargestFilesDelegate;
    TLargestFilesModel *FModel;
    TBarPainter FBarPainter;
};
