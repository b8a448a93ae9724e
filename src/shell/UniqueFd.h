#pragma once

#include <unistd.h>

// A file descriptor that closes itself.
class TFd
{
public:
    explicit TFd(int fd = -1)
        : FFd(fd)
    { }
    ~TFd()
    {
        if (FFd >= 0)
            ::close(FFd);
    }
    TFd(TFd &&other) noexcept
        : FFd(other.Release())
    { }
    TFd &operator=(TFd &&other) noexcept
    {
        if (this != &other) {
            if (FFd >= 0)
                ::close(FFd);
            FFd = other.Release();
        }
        return *this;
    }
    TFd(const TFd &) = delete;
    TFd &operator=(const TFd &) = delete;
    [[nodiscard]] int Get() const { return FFd; }
    [[nodiscard]] bool Valid() const { return FFd >= 0; }
    int Release()
    {
        const int fd = FFd;
        FFd = -1;
        return fd;
    }

private:
    int FFd;
};
