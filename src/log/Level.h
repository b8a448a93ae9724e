#pragma once

#include <string_view>

// A severity with its name and value; an event passes a threshold when its value is at least the threshold's.
class TLogLevel
{
public:
    constexpr TLogLevel(std::string_view name, int value)
        : FName(name)
        , FValue(value)
    { }
    TLogLevel(const TLogLevel &) = delete;
    TLogLevel &operator=(const TLogLevel &) = delete;

    [[nodiscard]] std::string_view Name() const { return FName; }
    [[nodiscard]] int Value() const { return FValue; }

    static const TLogLevel All;
    static const TLogLevel Debug;
    static const TLogLevel Info;
    static const TLogLevel Warn;
    static const TLogLevel Error;
    static const TLogLevel Fatal;
    static const TLogLevel Off;

    // Case-insensitive; nullptr for a name that is no level.
    static const TLogLevel *FromName(std::string_view name);
    // The highest level whose value is at most `value` (All for anything below debug).
    static const TLogLevel &FromValue(int value);

private:
    std::string_view FName;
    int FValue;
};
