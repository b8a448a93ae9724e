#pragma once

#include <cstdint>
#include <string>

// "Byte" for one (or minus one), "Bytes" for every other count: the unit after a byte count,
// as the size texts of common/SizeText.h write it ("1 Byte", "0 Bytes", "1023 Bytes").
[[nodiscard]] std::string ByteUnit(std::int64_t count);
