#include "ports/comport.h"

#include "ports/telnet.h"

#include <QStringList>

#include <iterator>

namespace {

using Parity = LineSettings::Parity;
using StopBits = LineSettings::StopBits;

// The server answers a request with its code plus this.
constexpr quint8 kServerReply = 100;

quint32 parityCode(Parity parity)
{
    switch (parity) {
    case Parity::None:
        return 1;
    case Parity::Odd:
        return 2;
    case Parity::Even:
        return 3;
    case Parity::Mark:
        return 4;
    case Parity::Space:
        return 5;
    }
    return 1;
}

quint32 stopCode(StopBits stop)
{
    switch (stop) {
    case StopBits::One:
        return 1;
    case StopBits::Two:
        return 2;
    case StopBits::OneAndHalf:
        return 3;
    }
    return 1;
}

QString parityWords(quint32 code)
{
    switch (code) {
    case 1:
        return ComPortNegotiation::tr("no parity");
    case 2:
        return ComPortNegotiation::tr("odd parity");
    case 3:
        return ComPortNegotiation::tr("even parity");
    case 4:
        return ComPortNegotiation::tr("mark parity");
    case 5:
        return ComPortNegotiation::tr("space parity");
    }
    return ComPortNegotiation::tr("parity code %1").arg(code);
}

QString stopWords(quint32 code)
{
    switch (code) {
    case 1:
        return ComPortNegotiation::tr("1 stop bit");
    case 2:
        return ComPortNegotiation::tr("2 stop bits");
    case 3:
        return ComPortNegotiation::tr("1.5 stop bits");
    }
    return ComPortNegotiation::tr("stop size code %1").arg(code);
}

// One line setting: its request code, the size of its value on the wire
// (most significant byte first, in the request and in the answer), the
// value that asks for a setting, and a value in words. An answer counts as
// agreement when its value is the one asked for.
struct Setting {
    quint8 code;
    int size;
    quint32 (*wire)(const LineSettings &);
    QString (*words)(quint32 value);
};

const Setting kTable[] = {
    {1, 4, [](const LineSettings &s) { return quint32(s.baud); },
     [](quint32 v) { return ComPortNegotiation::tr("%1 baud").arg(v); }},
    {2, 1, [](const LineSettings &s) { return quint32(s.dataBits); },
     [](quint32 v) { return ComPortNegotiation::tr("%1 data bits").arg(v); }},
    {3, 1, [](const LineSettings &s) { return parityCode(s.parity); }, parityWords},
    {4, 1, [](const LineSettings &s) { return stopCode(s.stopBits); }, stopWords},
};

QString inWords(const std::vector<quint32> &values)
{
    QStringList parts;
    for (size_t i = 0; i < values.size(); ++i)
        parts << kTable[i].words(values[i]);
    return parts.join(QStringLiteral(", "));
}

} // namespace

QByteArray ComPortNegotiation::request(const LineSettings &settings)
{
    m_wanted.clear();
    m_got.assign(std::size(kTable), std::nullopt);
    QByteArray out;
    for (const Setting &row : kTable) {
        const quint32 value = row.wire(settings);
        m_wanted.push_back(value);
        QByteArray payload(1, char(row.code));
        for (int shift = 8 * (row.size - 1); shift >= 0; shift -= 8)
            payload.append(char((value >> shift) & 0xFF));
        out += TelnetStream::subnegotiation(TelnetStream::optComPort, payload);
    }
    return out;
}

bool ComPortNegotiation::take(const QByteArray &payload)
{
    for (size_t i = 0; i < m_got.size(); ++i) {
        const Setting &row = kTable[i];
        if (payload.isEmpty() || quint8(payload[0]) != row.code + kServerReply
            || payload.size() < 1 + row.size)
            continue;
        quint32 value = 0;
        for (int at = 1; at <= row.size; ++at)
            value = (value << 8) | quint8(payload[at]);
        m_got[i] = value;
        return true;
    }
    return false;
}

bool ComPortNegotiation::answered() const
{
    if (m_got.empty())
        return false;
    for (const std::optional<quint32> &value : m_got) {
        if (!value)
            return false;
    }
    return true;
}

QString ComPortNegotiation::refusal() const
{
    std::vector<quint32> got;
    for (const std::optional<quint32> &value : m_got)
        got.push_back(value.value_or(0));
    if (got == m_wanted)
        return {};
    return tr("the server refused the line settings: asked for %1; it set %2")
        .arg(inWords(m_wanted), inWords(got));
}

QString ComPortNegotiation::optionRefused()
{
    return tr("the server refused the line settings (it does not take COM-PORT-CONTROL)");
}
