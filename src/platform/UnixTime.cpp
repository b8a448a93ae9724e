#include "platform/UnixTime.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <ctime>

namespace {

constexpr double SecondsPerDay = 86400.0;
constexpr double UnixEpochDay = 25569.0; // 1970-01-01 as days since 1899-12-30
// Times within this many seconds of 1970 (about 31 million years) get their zone offset.
constexpr std::int64_t MaxZonedSeconds = 1'000'000'000'000'000;

// localtime_r takes a global lock and walks the zone rules; zone changes happen on quarter
// hour boundaries, so one answer serves a whole quarter hour. The answers of recent quarter
// hours are kept in a small table: the files of one folder often share a handful of times
// (one per install or build), which a single remembered answer keeps missing.
long LocalOffset(std::int64_t seconds)
{
    struct TSlot
    {
        std::int64_t Slot = INT64_MIN;
        long Offset = 0;
    };
    constexpr std::size_t Slots = 512;
    thread_local TSlot cache[Slots];
    const std::int64_t slot = seconds / 900 - (seconds % 900 < 0 ? 1 : 0); // rounded down
    TSlot &entry = cache[static_cast<std::uint64_t>(slot) % Slots];
    if (entry.Slot != slot) {
        const auto t = static_cast<time_t>(seconds);
        tm local {};
        entry.Offset = localtime_r(&t, &local) ? local.tm_gmtoff : 0;
        entry.Slot = slot;
    }
    return entry.Offset;
}

} // namespace

double UnixSecondsToLocalDateTime(std::int64_t seconds, std::uint32_t nanoseconds)
{
    // Beyond the zone rules (and near the ends of the range, where adding the offset would
    // overflow) the time is taken as UTC.
    if (seconds < -MaxZonedSeconds || seconds > MaxZonedSeconds)
        return UnixEpochDay + (static_cast<double>(seconds) + nanoseconds / 1e9) / SecondsPerDay;
    const std::int64_t local = seconds + LocalOffset(seconds);
    return UnixEpochDay + (static_cast<double>(local) + nanoseconds / 1e9) / SecondsPerDay;
}

std::int64_t LocalDateTimeToUnixSeconds(double dateTime)
{
    // A whole second stored as days comes back a few microseconds off; the margin keeps it
    // from falling into the second before.
    const double localSeconds = std::floor((dateTime - UnixEpochDay) * SecondsPerDay + 1e-4);
    if (std::isnan(localSeconds))
        return 0;
    // Far times come back as they went in (as UTC, see above), the ends of the range clamped:
    // never as 1970. A day of margin covers the zone offsets at the border.
    const double zoned = static_cast<double>(MaxZonedSeconds) + SecondsPerDay;
    if (!(localSeconds > -zoned && localSeconds < zoned)) {
        if (localSeconds <= -9.2e18)
            return INT64_MIN;
        if (localSeconds >= 9.2e18)
            return INT64_MAX;
        return static_cast<std::int64_t>(localSeconds);
    }
    const auto local = static_cast<std::int64_t>(localSeconds);
    // Two candidates: the offset at the local reading and at the instant it leads to. Both
    // agree except around a zone change, where the earlier one that reads back right wins.
    const std::int64_t first = local - LocalOffset(local);
    const std::int64_t second = local - LocalOffset(first);
    const auto fits = [local](std::int64_t candidate) {
        return candidate >= -MaxZonedSeconds && candidate <= MaxZonedSeconds
            && candidate + LocalOffset(candidate) == local;
    };
    const bool firstFits = fits(first);
    const bool secondFits = fits(second);
    if (firstFits && secondFits)
        return std::min(first, second);
    if (!firstFits && !secondFits && (local < -MaxZonedSeconds || local > MaxZonedSeconds))
        return local; // just beyond the zone rules: it went in as UTC
    return firstFits ? first : second;
}
