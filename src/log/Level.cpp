#include "log/Level.h"

#include <climits>

#include "log/Text.h"

const TLogLevel TLogLevel::All {"all", INT_MIN};
const TLogLevel TLogLevel::Debug {"debug", 10000};
const TLogLevel TLogLevel::Info {"info", 20000};
const TLogLevel TLogLevel::Warn {"warn", 30000};
const TLogLevel TLogLevel::Error {"error", 40000};
const TLogLevel TLogLevel::Fatal {"fatal", 50000};
const TLogLevel TLogLevel::Off {"off", INT_MAX};

namespace {
const TLogLevel *const Levels[] = {&TLogLevel::All, &TLogLevel::Debug, &TLogLevel::Info, &TLogLevel::Warn,
    &TLogLevel::Error, &TLogLevel::Fatal, &TLogLevel::Off};
} // namespace

const TLogLevel *TLogLevel::FromName(std::string_view name)
{
    for (const TLogLevel *level : Levels)
        if (LogTextEqualsNoCase(level->Name(), name))
            return level;
    return nullptr;
}

const TLogLevel &TLogLevel::FromValue(int value)
{
    const TLogLevel *best = &All;
    for (const TLogLevel *level : Levels)
        if (level->Value() <= value)
            best = level;
    return *best;
}
