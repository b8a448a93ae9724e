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
    const std::int64_t local = seconds + LocalOffset(seconds);
    return UnixEpochDay + (static_cast<double>(local) + nanoseconds / 1e9) / SecondsPerDay;
}

std::int64_t LocalDateTimeToUnixSeconds(double dateTime)
{
    // A whole second stored as days comes back a few microseconds off; the margin keeps it
    // from falling into the second before.
    const double localSeconds = std::floor((dateTime - UnixEpochDay) * SecondsPerDay + 1e-4);
    if (!(localSeconds > -1e15 && localSeconds < 1e15))
        return 0;
    const auto local = static_cast<std::int64_t>(localSeconds);
    // Two candidates: the offset at the local reading and at the instant it leads to. Both
    // agree except around a zone change, where the earlier one that reads back right wins.
    const std::int64_t first = local - LocalOffset(local);
    const std::int64_t second = local - LocalOffset(first);
    const bool firstFits = first + LocalOffset(first) == local;
    const bool secondFits = second + LocalOffset(second) == local;
    if (firstFits && secondFits)
        return std::min(first, second);
    return firstFits ? first : second;
}
