#include "common/FdStream.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

TFdStreamBuf::TFdStreamBuf(int fd, std::size_t bufferSize)
    : FFd(fd)
    , FBuffer(bufferSize > 0 ? bufferSize : 1)
{
    setp(FBuffer.data(), FBuffer.data() + FBuffer.size());
}

TFdStreamBuf::~TFdStreamBuf()
{
    // Whatever is still buffered goes out; its error can no longer be reported.
    FlushBuffer();
}

bool TFdStreamBuf::WriteAll(const char *data, std::size_t size)
{
    if (FErrorCode != 0)
        return false;
    while (size > 0) {
        const ssize_t written = ::write(FFd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            FErrorCode = errno;
            return false;
        }
        if (written == 0) {
            FErrorCode = EIO;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool TFdStreamBuf::FlushBuffer()
{
    const auto pending = static_cast<std::size_t>(pptr() - pbase());
    const bool ok = WriteAll(pbase(), pending);
    setp(FBuffer.data(), FBuffer.data() + FBuffer.size());
    return ok;
}

TFdStreamBuf::int_type TFdStreamBuf::overflow(int_type ch)
{
    if (!FlushBuffer())
        return traits_type::eof();
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(ch);
        pbump(1);
    }
    return traits_type::not_eof(ch);
}

std::streamsize TFdStreamBuf::xsputn(const char *s, std::streamsize n)
{
    if (n <= 0)
        return 0;
    const auto size = static_cast<std::size_t>(n);
    const auto room = static_cast<std::size_t>(epptr() - pptr());
    if (size <= room) {
        std::memcpy(pptr(), s, size);
        pbump(static_cast<int>(n));
        return n;
    }
    // Large pieces go straight to the descriptor instead of through the buffer.
    if (!FlushBuffer())
        return 0;
    if (size >= FBuffer.size())
        return WriteAll(s, size) ? n : 0;
    std::memcpy(pptr(), s, size);
    pbump(static_cast<int>(n));
    return n;
}

int TFdStreamBuf::sync()
{
    return FlushBuffer() ? 0 : -1;
}
