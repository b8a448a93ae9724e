#include "platform/UnixTime.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <ctime>

namespace {

constexpr double SecondsPerDay = 86400.0;
constexpr double UnixEpochDay = 25569.0; // 1970-01-01 as days since 1899-12-30

// localtime_r takes a global lock and walks the zone rules; zone changes happen on quarter
// hour boundaries, so one answer serves a whole quarter hour.
long LocalOffset(std::int64_t seconds)
{
    thread_local std::int64_t cachedSlot = INT64_MIN;
    thread_local long cachedOffset = 0;
    const std::int64_t slot = seconds >= 0 ? seconds / 900 : (seconds - 899) / 900;
    if (slot != cachedSlot) {
        const auto t = static_cast<time_t>(seconds);
        tm local {};
        cachedOffset = localtime_r(&t, &local) ? local.tm_gmtoff : 0;
        cachedSlot = slot;
    }
    return cachedOffset;
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
