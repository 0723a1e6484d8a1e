// Feeds arbitrary bytes, cut into arbitrary pieces, to the Telnet stream
// reader and checks what it gives back: never more data than bytes came in,
// every command a known verb, subnegotiations bounded.

#include "telnet.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses where the input is cut.
    const size_t step = 1 + data[0] % 17;
    TelnetStream stream;
    size_t dataOut = 0;
    auto check = [](const TelnetStream::Command &c) {
        const bool known = c.verb == TelnetStream::SB || c.verb == TelnetStream::DO
                           || c.verb == TelnetStream::DONT || c.verb == TelnetStream::WILL
                           || c.verb == TelnetStream::WONT;
        if (!known || c.payload.size() > TelnetStream::maxSubnegotiation)
            std::abort();
    };
    for (size_t at = 1; at < size; at += step) {
        const size_t n = at + step <= size ? step : size - at;
        const QByteArray chunk(reinterpret_cast<const char *>(data + at), qsizetype(n));
        dataOut += size_t(stream.feed(chunk, check).size());
    }
    if (dataOut > size)
        std::abort();
    // Escaping and reading back gives the bytes unchanged.
    const QByteArray plain(reinterpret_cast<const char *>(data), qsizetype(size));
    TelnetStream fresh;
    if (fresh.feed(TelnetStream::escape(plain), check) != plain)
        std::abort();
    return 0;
}
