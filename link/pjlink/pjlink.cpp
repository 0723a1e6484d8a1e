#include "pjlink/pjlink.h"

#include <QCryptographicHash>
#include <QString>

namespace PJLink {

namespace {

// The mapping, written out the same way in the README's "PJLink bridge".
// clang-format off
constexpr Row kTable[] = {
    {"POWR", "1",  "C00", nullptr, From::Reply,  nullptr},
    {"POWR", "0",  "C01", nullptr, From::Reply,  nullptr},
    {"POWR", "?",  "CR0", nullptr, From::Power,  nullptr},
    {"INPT", "11", "C05", nullptr, From::Reply,  nullptr},
    {"INPT", "12", "C06", nullptr, From::Reply,  nullptr},
    {"INPT", "13", "C07", nullptr, From::Reply,  nullptr},
    {"INPT", "51", "C08", nullptr, From::Reply,  nullptr},
    {"INPT", "?",  "CR1", nullptr, From::Input,  nullptr},
    {"AVMT", "11", "C0D", nullptr, From::Reply,  nullptr},
    {"AVMT", "10", "C0E", nullptr, From::Reply,  nullptr},
    {"AVMT", "?",  nullptr, nullptr, From::Fixed, "ERR1"},
    {"ERST", "?",  "CR0", nullptr, From::Errors, nullptr},
    {"LAMP", "?",  "CR3", "CR0",   From::Lamp,   nullptr},
    {"INST", "?",  nullptr, nullptr, From::Fixed, "11 12 13 51"},
    {"NAME", "?",  nullptr, nullptr, From::Name,  nullptr},
    {"INF1", "?",  nullptr, nullptr, From::Fixed, "ORVA"},
    {"INF2", "?",  nullptr, nullptr, From::Fixed, "RS-232C bridge"},
    {"INFO", "?",  nullptr, nullptr, From::Fixed, "ORVA PJLink bridge to an RS-232C projector"},
    {"CLSS", "?",  nullptr, nullptr, From::Fixed, "1"},
};
// clang-format on

bool printable(QByteArrayView text)
{
    for (const char c : text) {
        if (c < 0x20 || c > 0x7e)
            return false;
    }
    return true;
}

} // namespace

std::span<const Row> table()
{
    return kTable;
}

Request parse(QByteArrayView line)
{
    Request r;
    // "%1" and four characters of command: anything else cannot even be
    // answered in kind.
    if (line.size() < 6 || line[0] != '%' || !printable(line.first(6)))
        return r;
    r.header = line.first(6).toByteArray();
    const QByteArrayView command = line.sliced(2, 4);
    bool known = false;
    for (const Row &row : kTable)
        known = known || command == row.command;
    if (line[1] != '1' || !known) {
        r.error = QByteArrayLiteral("ERR1");
        return r;
    }
    if (line.size() > 7 && line[6] == ' ') {
        const QByteArrayView parameter = line.sliced(7);
        for (const Row &row : kTable) {
            if (command == row.command && parameter == row.parameter) {
                r.row = &row;
                return r;
            }
        }
    }
    r.error = QByteArrayLiteral("ERR2");
    return r;
}

QByteArray answer(const Request &request, QByteArrayView value)
{
    return request.header + '=' + value.toByteArray() + '\r';
}

bool inTransition(const ProjectorState &state)
{
    return state.power == QLatin1String("countdown") || state.power == QLatin1String("cooling");
}

QByteArray fromState(const Row &row, const ProjectorState &state)
{
    const QByteArray failure = QByteArrayLiteral("ERR4");
    const QString power = state.power.value_or(QString());
    switch (row.from) {
    case From::Power:
        if (power == QLatin1String("standby"))
            return "0";
        if (power == QLatin1String("on"))
            return "1";
        if (power == QLatin1String("cooling"))
            return "2";
        if (power == QLatin1String("countdown"))
            return "3";
        return failure; // a fault, or no reply
    case From::Errors:
        // Fan, lamp, temperature, cover, filter, other: the status read
        // tells only lamp and temperature failures and other (power) ones.
        if (!state.power || power == QLatin1String("unknown"))
            return failure;
        if (power == QLatin1String("lamp-fault"))
            return "020000";
        if (power == QLatin1String("temperature-fault"))
            return "002000";
        if (power == QLatin1String("power-fault"))
            return "000002";
        return "000000";
    case From::Lamp:
        if (!state.lampHours || !state.power || power == QLatin1String("unknown"))
            return failure;
        return QByteArray::number(*state.lampHours)
               + (power == QLatin1String("on") || power == QLatin1String("countdown") ? " 1"
                                                                                      : " 0");
    case From::Input: {
        const QString input = state.input.value_or(QString());
        for (const auto &[word, value] : {std::pair{"1", "11"},
                                          {"2", "12"},
                                          {"3", "13"},
                                          {"wired", "51"},
                                          {"wireless", "52"}}) {
            if (input == QLatin1String(word))
                return value;
        }
        return failure;
    }
    case From::Reply:
    case From::Name:
    case From::Fixed:
        break;
    }
    return failure;
}

QByteArray fromReply(QByteArrayView reply)
{
    // The projector acknowledges a command it takes with ACK; "?" or
    // anything else means it cannot take it now.
    return reply.contains('\x06') ? QByteArrayLiteral("OK") : QByteArrayLiteral("ERR3");
}

QByteArray nameValue(const QString &name)
{
    QString text = name;
    text.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    QByteArray bytes = text.toUtf8();
    // Cut at a character boundary.
    while (bytes.size() > kMaxName) {
        text.chop(1);
        bytes = text.toUtf8();
    }
    return bytes;
}

QByteArray greeting(QByteArrayView random)
{
    return random.isEmpty() ? QByteArrayLiteral("PJLINK 0\r")
                            : QByteArrayLiteral("PJLINK 1 ") + random.toByteArray() + '\r';
}

QByteArray digest(QByteArrayView random, QByteArrayView password)
{
    return QCryptographicHash::hash(random.toByteArray() + password.toByteArray(),
                                    QCryptographicHash::Md5)
        .toHex();
}

} // namespace PJLink
