#include "paint/Contrast.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

double Linear(int channel)
{
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// The contrast that all but the weakest twentieth of the pixels reach.
double TypicalWeakestContrast(QRgb text, const std::vector<QRgb> &under)
{
    std::vector<double> ratios;
    ratios.reserve(under.size());
    for (const QRgb pixel : under)
        ratios.push_back(ContrastRatio(text, pixel));
    const std::size_t index = ratios.size() / 20;
    std::nth_element(ratios.begin(), ratios.begin() + static_cast<std::ptrdiff_t>(index), ratios.end());
    return ratios[index];
}

} // namespace

double RelativeLuminance(QRgb color)
{
    return 0.2126 * Linear(qRed(color)) + 0.7152 * Linear(qGreen(color)) + 0.0722 * Linear(qBlue(color));
}

double ContrastRatio(QRgb a, QRgb b)
{
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TColor ReadableTextColor(TColor preferred, const std::vector<QRgb> &under)
{
    if (under.empty())
        return preferred;
    const QRgb wanted = ToQColor(preferred).rgb();
    if (TypicalWeakestContrast(wanted, under) >= ReadableContrast)
        return preferred;
    const double black = TypicalWeakestContrast(qRgb(0, 0, 0), under);
    const double white = TypicalWeakestContrast(qRgb(255, 255, 255), under);
    return black >= white ? clBlack : clWhite;
}
