#pragma once

#include <cstdint>

// Conversions between Unix times (seconds since 1970, UTC) and the local date-times of the
// node model (days since 1899-12-30). The zone offset is looked up once per quarter hour of
// time and per thread, so converting millions of times stays cheap. Any thread.

// The local date-time of a Unix time, with its fraction of a second.
[[nodiscard]] double UnixSecondsToLocalDateTime(std::int64_t seconds, std::uint32_t nanoseconds = 0);

// The Unix time (whole seconds, rounded down) of a local date-time. In the hour that repeats
// when summer time ends, the earlier of the two instants.
[[nodiscard]] std::int64_t LocalDateTimeToUnixSeconds(double dateTime);
