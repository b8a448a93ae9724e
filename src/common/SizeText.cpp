#include "common/SizeText.h"

#include <array>
#include <atomic>
#include <charconv>
#include <cmath>

#include "common/ByteUnit.h"
#include "common/Translate.h"

namespace {

constexpr std::array<const char *, 5> UnitNames = {"Bytes", "KB", "MB", "GB", "TB"};
constexpr int PastLastUnit = 5;

// Up to four bytes of the separator and their count in bits 32..39, so that size texts built
// on any thread read the separator whole without a lock.
constexpr std::uint64_t PackedDot = (std::uint64_t {1} << 32) | static_cast<unsigned char>('.');
std::atomic<std::uint64_t> PackedSeparator {PackedDot};

double RoundHalfEven(double x)
{
    const double lower = std::floor(x);
    const double fraction = x - lower;
    if (fraction > 0.5)
        return lower + 1;
    if (fraction < 0.5)
        return lower;
    return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

// Picks the unit: the value divided by 1024 until it is below 1024, at most five times.
int ChooseUnit(std::int64_t size, double &value)
{
    value = static_cast<double>(size);
    int unit = 0;
    while (value >= 1024 && unit < PastLastUnit) {
        value /= 1024;
        ++unit;
    }
    return unit;
}

std::string WithUnit(std::string number, int unit)
{
    number += ' ';
    number += unit == 0 && (number == "1 " || number == "-1 ") ? "Byte" : UnitNames[static_cast<std::size_t>(unit)];
    return number;
}

} // namespace

void SetDecimalSeparator(std::string_view separator)
{
    if (separator.empty() || separator.size() > 4) {
        PackedSeparator.store(PackedDot, std::memory_order_relaxed);
        return;
    }
    std::uint64_t packed = std::uint64_t {separator.size()} << 32;
    for (std::size_t i = 0; i < separator.size(); ++i)
        packed |= std::uint64_t {static_cast<unsigned char>(separator[i])} << (8 * i);
    PackedSeparator.store(packed, std::memory_order_relaxed);
}

std::string DecimalSeparator()
{
    const std::uint64_t packed = PackedSeparator.load(std::memory_order_relaxed);
    const auto length = static_cast<std::size_t>(packed >> 32);
    std::string result;
    for (std::size_t i = 0; i < length; ++i)
        result += static_cast<char>((packed >> (8 * i)) & 0xFF);
    return result;
}

std::string FloatToStr(double value)
{
    // to_chars ignores the C locale, which Qt sets from the environment at start-up; the
    // separator is ours to choose.
    std::array<char, 64> buffer {};
    const auto [end, ec]
        = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::general, 15);
    std::string text(buffer.data(), ec == std::errc() ? end : buffer.data());
    if (const auto dot = text.find('.'); dot != std::string::npos)
        text.replace(dot, 1, DecimalSeparator());
    return text;
}

std::string FloatToStrDecimals(int decimals, double value)
{
    std::string text = FloatToStr(value);
    // Very large and very small values come with an exponent; only the mantissa is cut.
    std::string exponent;
    if (const auto e = text.find('e'); e != std::string::npos) {
        exponent = text.substr(e);
        text.erase(e);
    }
    const std::string separator = DecimalSeparator();
    const auto pos = text.find(separator);
    if (pos != std::string::npos) {
        const std::size_t keep = decimals <= 0 ? pos : pos + separator.size() + static_cast<std::size_t>(decimals);
        if (keep < text.size())
            text.erase(keep);
    }
    return text + exponent;
}

std::string ByteUnit(std::int64_t count)
{
    return count == 1 || count == -1 ? "Byte" : "Bytes";
}

std::string FileSizeToStrTruncated(std::int64_t ASize)
{
    double v = 0;
    const int unit = ChooseUnit(ASize, v);
    if (unit == PastLastUnit)
        return WithUnit(FloatToStrDecimals(0, v * 1024), PastLastUnit - 1);
    std::string number;
    if (v < 10)
        number = FloatToStrDecimals(2, v);
    else if (v < 100)
        number = FloatToStrDecimals(1, v);
    else
        number = std::to_string(static_cast<std::int64_t>(v));
    return WithUnit(std::move(number), unit);
}

std::string FileSizeToStrRounded(std::int64_t ASize)
{
    double v = 0;
    const int unit = ChooseUnit(ASize, v);
    if (unit == PastLastUnit)
        return WithUnit(FloatToStr(RoundHalfEven(v * 1024)), PastLastUnit - 1);
    double rounded = 0;
    if (v < 10)
        rounded = RoundHalfEven(v * 100) / 100;
    else if (v < 100)
        rounded = RoundHalfEven(v * 10) / 10;
    else
        rounded = RoundHalfEven(v);
    return WithUnit(FloatToStr(rounded), unit);
}

std::string RoundingStyleText(TRoundingStyle style)
{
    switch (style) {
    case rsBankers:
        return std::string(_("Bankers' Rounding"));
    case rsTruncate:
        return std::string(_("Round down (file-manager style)"));
    case rsNone:
        break;
    }
    return {};
}

std::vector<std::string> RoundingStyleTexts()
{
    return {RoundingStyleText(rsBankers), RoundingStyleText(rsTruncate)};
}

TRoundingStyle TextToRoundingStyle(std::string_view text)
{
    for (const TRoundingStyle style : {rsNone, rsBankers, rsTruncate})
        if (text == RoundingStyleText(style))
            return style;
    return rsNone;
}
