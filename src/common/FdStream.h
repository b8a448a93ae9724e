#pragma once

#include <ostream>
#include <streambuf>
#include <vector>

// An output buffer over a file descriptor that remembers why writing failed: the errno of the
// first failed write (or of the failed flush) stays available after the stream went bad,
// which std::ofstream does not offer. The descriptor is not owned. One thread at a time.
class TFdStreamBuf : public std::streambuf
{
public:
    explicit TFdStreamBuf(int fd, std::size_t bufferSize = 1 << 16);
    ~TFdStreamBuf() override;
    TFdStreamBuf(const TFdStreamBuf &) = delete;
    TFdStreamBuf &operator=(const TFdStreamBuf &) = delete;

    // errno of the first failure; 0 while every write succeeded.
    [[nodiscard]] int ErrorCode() const { return FErrorCode; }

protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char *s, std::streamsize n) override;
    int sync() override;

private:
    bool WriteAll(const char *data, std::size_t size);
    bool FlushBuffer();

    int FFd;
    int FErrorCode = 0;
    std::vector<char> FBuffer;
};

// A std::ostream writing to a file descriptor it does not own (standard output, say).
class TFdOStream : public std::ostream
{
public:
    explicit TFdOStream(int fd)
        : std::ostream(nullptr)
        , FBuf(fd)
    {
        rdbuf(&FBuf);
    }
    [[nodiscard]] int ErrorCode() const { return FBuf.ErrorCode(); }

private:
    TFdStreamBuf FBuf;
};
