// Feeds arbitrary bytes, cut into arbitrary pieces, to the Telnet stream
// reader and checks what it gives back: never more data than bytes came in,
// every command a known verb, subnegotiations bounded, and at most one
// option answer per option command, none to a command that changes nothing.
// The COM-PORT-CONTROL answers among the commands are read without harm, and
// a server that answers each request with the value asked for agrees.

#include "ports/comport.h"
#include "ports/telnet.h"

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
    TelnetOptions options({TelnetStream::optBinary, TelnetStream::optComPort},
                          {TelnetStream::optBinary});
    LineSettings asked;
    asked.baud = qint32(1 + data[0] * 1031);
    asked.dataBits = 5 + data[0] % 4;
    asked.parity = LineSettings::Parity(data[0] % 5);
    asked.stopBits = LineSettings::StopBits(data[0] % 3);
    ComPortNegotiation comPort;
    const QByteArray requests = comPort.request(asked);
    auto checkAndAnswer = [&](const TelnetStream::Command &c) {
        check(c);
        if (c.verb == TelnetStream::SB) {
            if (c.option == TelnetStream::optComPort)
                comPort.take(c.payload);
            return;
        }
        // The same command at once again finds its state in effect: no
        // answer, unless it is refused once more.
        const QByteArray first = options.receive(c.verb, c.option);
        const QByteArray again = options.receive(c.verb, c.option);
        const bool refusedAgain =
            again == first && again.size() == 3
            && (quint8(again[1]) == TelnetStream::WONT || quint8(again[1]) == TelnetStream::DONT);
        if (first.size() > 3 || (!again.isEmpty() && !refusedAgain))
            std::abort();
    };
    for (size_t at = 1; at < size; at += step) {
        const size_t n = at + step <= size ? step : size - at;
        const QByteArray chunk(reinterpret_cast<const char *>(data + at), qsizetype(n));
        dataOut += size_t(stream.feed(chunk, checkAndAnswer).size());
    }
    if (dataOut > size)
        std::abort();
    const QString refusal = comPort.answered() ? comPort.refusal() : QString();
    if (!refusal.isEmpty() && !refusal.startsWith(QLatin1String("the server refused")))
        std::abort();
    // The requests echoed back as answers (code + 100) leave nothing refused.
    ComPortNegotiation echoed;
    echoed.request(asked);
    TelnetStream fromServer;
    fromServer.feed(requests, [&](const TelnetStream::Command &c) {
        QByteArray answer = c.payload;
        answer[0] = char(quint8(answer[0]) + 100);
        echoed.take(answer);
    });
    if (!echoed.answered() || !echoed.refusal().isEmpty())
        std::abort();
    // Escaping and reading back gives the bytes unchanged.
    const QByteArray plain(reinterpret_cast<const char *>(data), qsizetype(size));
    TelnetStream fresh;
    if (fresh.feed(TelnetStream::escape(plain), check) != plain)
        std::abort();
    return 0;
}
