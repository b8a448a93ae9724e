#include "settings/VirtualTreeUtils.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "common/TextUtils.h"

namespace {

// The next token of the text (up to the next ","), or empty when the text is used up.
std::string CutToken(std::string_view &text)
{
    const auto comma = text.find(',');
    std::string token(text.substr(0, comma));
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    return token;
}

} // namespace

std::string ColumnWidthsToString(const IColumnCollection &columns)
{
    std::string text;
    for (int i = 0; i < columns.Count(); ++i) {
        if (i > 0)
            text += ',';
        const int width = columns.Width(i);
        text += std::to_string(columns.Visible(i) ? width : -width);
    }
    return text;
}

void StringToColumnWidths(std::string_view text, IColumnCollection &columns)
{
    for (int i = 0; i < columns.Count(); ++i) {
        const std::string token = CutToken(text);
        std::int64_t value = 0;
        if (!TryStrToInt64(token, value))
            continue;
        const std::int64_t width = std::min<std::int64_t>(value < 0 ? -value : value, std::numeric_limits<int>::max());
        columns.SetWidth(i, static_cast<int>(width));
        columns.SetVisible(i, value > 0);
    }
}

std::string ColumnPositionsToString(const IColumnCollection &columns)
{
    std::string text;
    for (int i = 0; i < columns.Count(); ++i) {
        if (i > 0)
            text += ',';
        text += std::to_string(columns.Position(i));
    }
    return text;
}

void StringToColumnPositions(std::string_view text, IColumnCollection &columns)
{
    const int count = columns.Count();
    struct TMove
    {
        int Column;
        int Position;
    };
    std::vector<TMove> moves;
    for (int i = 0; i < count; ++i) {
        const std::string token = CutToken(text);
        int position = columns.Position(i);
        if (!TryStrToInt(token, position))
            position = columns.Position(i);
        moves.push_back({i, std::clamp(position, 0, count - 1)});
    }
    // Placing the leftmost target first means no later move disturbs an earlier one.
    std::stable_sort(
        moves.begin(), moves.end(), [](const TMove &a, const TMove &b) { return a.Position < b.Position; });
    for (const TMove &move : moves)
        columns.SetPosition(move.Column, move.Position);
}
