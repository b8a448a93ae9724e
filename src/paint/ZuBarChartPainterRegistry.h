#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "paint/ZuBarChartPainter.h"

// Raised when a second painter class with an already registered display name is added.
class EAssertionFailed : public std::logic_error
{
public:
    using std::logic_error::logic_error;
};

// The painter classes the user can choose from, in registration order. One process-wide
// instance (GetInstance), filled at start-up by RegisterBarChartPainters(); user-interface
// thread only. Separate instances may be made for tests.
class TZuBarChartPainterRegistry
{
public:
    TZuBarChartPainterRegistry() = default;
    TZuBarChartPainterRegistry(const TZuBarChartPainterRegistry &) = delete;
    TZuBarChartPainterRegistry &operator=(const TZuBarChartPainterRegistry &) = delete;

    // The process-wide registry, made on first use and destroyed at program end.
    [[nodiscard]] static TZuBarChartPainterRegistry &GetInstance();

    // Appends the class. Throws EAssertionFailed ("<name> ist bereits registriert!") when a
    // class with the same display name is registered already.
    void AddToRegistry(TZuBarChartPainterClass APainterClass);

    [[nodiscard]] int Count() const { return static_cast<int>(FPainterClasses.size()); }
    // The class at 0-based Index; std::out_of_range outside 0..Count-1.
    [[nodiscard]] TZuBarChartPainterClass GetItem(int Index) const;
    [[nodiscard]] TZuBarChartPainterClass Items(int Index) const { return GetItem(Index); }
    // Index of the first class whose display name equals S exactly, or -1.
    [[nodiscard]] int IndexOf(std::string_view S) const;
    // The class with this display name (exact), or nullptr.
    [[nodiscard]] TZuBarChartPainterClass FindClassByName(std::string_view APainterName) const;
    // The class with this class name ("TSkinCrystal"), ASCII case ignored, or nullptr.
    [[nodiscard]] TZuBarChartPainterClass FindClassByClassName(std::string_view AClassName) const;
    // Replaces AItems by the display names, in registration order or, when `sorted`, in
    // ascending order ignoring case.
    void GetStrings(std::vector<std::string> &AItems, bool sorted) const;

private:
    std::vector<TZuBarChartPainterClass> FPainterClasses;
};
