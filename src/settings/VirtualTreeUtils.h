#pragma once

#include <string>
#include <string_view>

// The columns of a tree-grid as the layout texts see them; the window adapts its header.
// Columns are addressed by index (creation order); Position is the display position
// (0 = leftmost).
class IColumnCollection
{
public:
    virtual ~IColumnCollection() = default;
    [[nodiscard]] virtual int Count() const = 0;
    [[nodiscard]] virtual int Width(int column) const = 0;
    virtual void SetWidth(int column, int width) = 0;
    [[nodiscard]] virtual bool Visible(int column) const = 0;
    virtual void SetVisible(int column, bool visible) = 0;
    [[nodiscard]] virtual int Position(int column) const = 0;
    // Moves the column to a display position; the others move to make room.
    virtual void SetPosition(int column, int position) = 0;
};

// Widths text: one number per column in index order, joined by ","; the width, negated for a
// hidden column. "196,90,100,285,-105" hides the last column.
[[nodiscard]] std::string ColumnWidthsToString(const IColumnCollection &columns);
// Applies a widths text: each column takes the absolute value of its token as width and is
// shown when the token is positive, hidden otherwise. Tokens that are missing, empty or not
// numbers keep the column as it is; surplus tokens are ignored.
void StringToColumnWidths(std::string_view text, IColumnCollection &columns);

// Positions text: each column's display position in index order, joined by ",".
[[nodiscard]] std::string ColumnPositionsToString(const IColumnCollection &columns);
// Applies a positions text. Tokens that are missing or not numbers keep the column's current
// position, negative ones count as 0, too large ones as the last position. The columns are
// moved in the order of their new positions, so a text that names every position once gives
// exactly that arrangement whatever the grid's current one.
void StringToColumnPositions(std::string_view text, IColumnCollection &columns);
