#include "paint/ZuBarChartPainterRegistry.h"

#include <algorithm>
#include <stdexcept>

#include <QString>

namespace {

bool SameTextAscii(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace

TZuBarChartPainterRegistry &TZuBarChartPainterRegistry::GetInstance()
{
    static TZuBarChartPainterRegistry instance;
    return instance;
}

void TZuBarChartPainterRegistry::AddToRegistry(TZuBarChartPainterClass APainterClass)
{
    if (!APainterClass) {
        throw std::invalid_argument("No painter class");
    }
    const std::string name = APainterClass->PainterName();
    if (IndexOf(name) >= 0) {
        throw EAssertionFailed(name + " ist bereits registriert!");
    }
    FPainterClasses.push_back(APainterClass);
}

TZuBarChartPainterClass TZuBarChartPainterRegistry::GetItem(int Index) const
{
    if (Index < 0 || Index >= Count()) {
        throw std::out_of_range("Painter index out of range: " + std::to_string(Index));
    }
    return FPainterClasses[static_cast<std::size_t>(Index)];
}

int TZuBarChartPainterRegistry::IndexOf(std::string_view S) const
{
    for (std::size_t i = 0; i < FPainterClasses.size(); ++i) {
        if (FPainterClasses[i]->PainterName() == S) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

TZuBarChartPainterClass TZuBarChartPainterRegistry::FindClassByName(std::string_view APainterName) const
{
    const int index = IndexOf(APainterName);
    return index < 0 ? nullptr : FPainterClasses[static_cast<std::size_t>(index)];
}

TZuBarChartPainterClass TZuBarChartPainterRegistry::FindClassByClassName(std::string_view AClassName) const
{
    for (TZuBarChartPainterClass c : FPainterClasses) {
        if (SameTextAscii(c->ClassName, AClassName)) {
            return c;
        }
    }
    return nullptr;
}

void TZuBarChartPainterRegistry::GetStrings(std::vector<std::string> &AItems, bool sorted) const
{
    AItems.clear();
    AItems.reserve(FPainterClasses.size());
    for (TZuBarChartPainterClass c : FPainterClasses) {
        AItems.push_back(c->PainterName());
    }
    if (sorted) {
        // Display names may be translated, so the comparison folds case beyond ASCII.
        std::stable_sort(AItems.begin(), AItems.end(), [](const std::string &a, const std::string &b) {
            return QString::compare(QString::fromStdString(a), QString::fromStdString(b), Qt::CaseInsensitive) < 0;
        });
    }
}
