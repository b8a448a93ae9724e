#pragma once

#include <string>

// Something the configuration file can set options on ("log4d.appender.R.maxFileSize=1MB").
class TLogOptionHandler
{
public:
    virtual ~TLogOptionHandler() = default;
    // Returns false for an option name the object does not know. A known option with a bad
    // value is reported on the internal channel and leaves the option unchanged.
    virtual bool SetOption(const std::string &name, const std::string &value);
};
