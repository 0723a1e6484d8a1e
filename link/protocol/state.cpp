#include "protocol/state.h"

#include "protocol/decode.h"
#include "protocol/render.h"

#include <QJsonArray>

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Five digits and CR, the reply the lamp time is shown from.
std::optional<int> lampHoursOf(const QString &reply)
{
    if (reply.size() != Decode::LampReplyLength || reply.back() != QLatin1Char('\r'))
        return std::nullopt;
    for (qsizetype i = 0; i + 1 < reply.size(); ++i) {
        if (!isDigit(reply[i]))
            return std::nullopt;
    }
    return reply.left(5).toInt();
}

// A temperature field: an optional sign, digits, and at most one point
// between digits ("035.0", "-05.5", "+0041").
std::optional<double> degrees(QStringView field)
{
    const bool sign =
        !field.isEmpty() && (field[0] == QLatin1Char('+') || field[0] == QLatin1Char('-'));
    const QStringView number = field.mid(sign ? 1 : 0);
    qsizetype digits = 0;
    qsizetype point = -1;
    for (qsizetype i = 0; i < number.size(); ++i) {
        if (isDigit(number[i]))
            ++digits;
        else if (number[i] == QLatin1Char('.') && point < 0 && i > 0 && i + 1 < number.size())
            point = i;
        else
            return std::nullopt;
    }
    if (digits == 0)
        return std::nullopt;
    bool ok = false;
    const double value = field.toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

// Three fields of five characters, a blank between them, and CR.
std::optional<std::array<double, 3>> temperaturesOf(const QString &reply)
{
    if (reply.size() != Decode::TemperatureReplyLength || reply.back() != QLatin1Char('\r')
        || reply[5] != QLatin1Char(' ') || reply[11] != QLatin1Char(' '))
        return std::nullopt;
    std::array<double, 3> values{};
    for (int i = 0; i < 3; ++i) {
        const auto value = degrees(QStringView(reply).mid(i * 6, 5));
        if (!value)
            return std::nullopt;
        values[i] = *value;
    }
    return values;
}

QString orMark(const std::optional<QString> &value)
{
    return value.value_or(QStringLiteral("?"));
}

QString degreesText(double value)
{
    return QString::number(value, 'f', 1);
}

} // namespace

void ProjectorState::take(const QString &query, const QString &reply)
{
    const bool none = reply.isEmpty();
    const auto unknown = [](std::optional<QString> value) {
        return value.value_or(QStringLiteral("unknown"));
    };
    if (query == QLatin1String("CR0"))
        power = none ? std::nullopt
                     : std::optional<QString>(unknown(Decode::powerValue(Render::render(reply))));
    else if (query == QLatin1String("CR1"))
        input = none ? std::nullopt
                     : std::optional<QString>(unknown(Decode::inputValue(Render::render(reply))));
    else if (query == QLatin1String("CR3"))
        lampHours = lampHoursOf(reply);
    else if (query == QLatin1String("CR6"))
        temperatures = temperaturesOf(reply);
}

QString ProjectorState::text() const
{
    const QString mark = QStringLiteral("?");
    QString degrees = QStringLiteral("?/?/?");
    if (temperatures)
        degrees = degreesText((*temperatures)[0]) + QLatin1Char('/')
                  + degreesText((*temperatures)[1]) + QLatin1Char('/')
                  + degreesText((*temperatures)[2]);
    return QStringLiteral("%1, input %2, lamp %3 h, %4 \u00B0C")
        .arg(orMark(power), orMark(input), lampHours ? QString::number(*lampHours) : mark, degrees);
}

QJsonObject ProjectorState::json() const
{
    QJsonObject o;
    o[QStringLiteral("power")] = power ? QJsonValue(*power) : QJsonValue();
    o[QStringLiteral("input")] = input ? QJsonValue(*input) : QJsonValue();
    o[QStringLiteral("lampHours")] = lampHours ? QJsonValue(*lampHours) : QJsonValue();
    QJsonValue degrees;
    if (temperatures)
        degrees = QJsonArray{(*temperatures)[0], (*temperatures)[1], (*temperatures)[2]};
    o[QStringLiteral("temperatures")] = degrees;
    return o;
}
