#include "protocol/decode.h"

#include <QLatin1StringView>

#include <span>

namespace {

// |value| is the word a script compares; rows without one are shown only.
struct Row {
    const char *key;
    const char *words;
    const char *value = nullptr;
};

constexpr Row kStatusRows[] = {
    {" 0 0", " Power ON", "on"},
    {" 8 0", " Stand by", "standby"},
    {" 4 0", " Count down", "countdown"},
    {" 2 0", " Cooling down", "cooling"},
    {" 1 0", " Power abnormality", "power-fault"},
    {" 0 8", " Temperature abnormality", "temperature-fault"},
    {" 1 8", " Temperature abnormality", "temperature-fault"},
    {" 2 8", " Temperature abnormality", "temperature-fault"},
    {" 4 8", " Temperature abnormality", "temperature-fault"},
    {" 8 8", " Temperature abnormality", "temperature-fault"},
    {" 2 1", " Lamp Failure", "lamp-fault"},
    {" 8 1", " Lamp Failure", "lamp-fault"},
};

constexpr Row kInputRows[] = {
    {" 1", " Input 1", "1"},
    {" 2", " Input 2", "2"},
    {" 3", " Input 3", "3"},
    {" 4", " Wired", "wired"},
    {" 5", " Wireless/Viewer", "wireless"},
};

constexpr Row kSettingRows[] = {
    {" 1 1", " Normally"},
    {" 1 0", " Top/Bottom reversal"},
    {" 0 1", " Left/Right reversal"},
    {" 0 0", " Top/Bottom , Left/Right reversal"},
};

// Lamp state and lamp mode replies carry a blank after the lamp count; the
// patterns are written with that blank as a blank, so the key is compared
// with every "_" read back as the blank it stands for.
constexpr Row kLampStateRows[] = {
    {" 0 0 0   1 I", " Lamp is ON"},
    {" 0 0 0   1 O", " Lamp is OFF"},
    {" 0 0 0   1 X", " Lamp is failure"},
};

constexpr Row kLampModeRows[] = {
    {" 0 0 0   H I G H", " Lamp Mode is High"},
    {" 0 0 0   N O R M A L", " Lamp Mode is NORMAL"},
    {" 0 0 0   E C O", " Lamp Mode is Eco"},
};

const Row *rowFor(std::span<const Row> rows, const QString &key)
{
    for (const Row &row : rows) {
        if (key == QLatin1StringView(row.key))
            return &row;
    }
    return nullptr;
}

std::optional<QString> lookUp(std::span<const Row> rows, const QString &key)
{
    if (const Row *row = rowFor(rows, key))
        return QString::fromLatin1(row->words);
    return std::nullopt;
}

std::optional<QString> valueOf(std::span<const Row> rows, const QString &key)
{
    if (const Row *row = rowFor(rows, key))
        return QString::fromLatin1(row->value);
    return std::nullopt;
}

bool is(const QString &command, const char *query)
{
    return command.size() == qsizetype(qstrlen(query)) + 1
           && command.startsWith(QLatin1StringView(query)) && command.back() == QLatin1Char('\r');
}

QString lampHours(const QString &rendered, const QString &status)
{
    QString out = status;
    const qsizetype m = rendered.size() - 5;
    bool significant = false;
    for (qsizetype i = 0; i < m; ++i) {
        const QChar ch = rendered[i];
        if (!significant && (ch == QLatin1Char(' ') || ch == QLatin1Char('0'))) {
            out += QLatin1Char(' ');
            continue;
        }
        significant = true;
        out += ch;
    }
    out += QLatin1String(" Hour Use");
    return out;
}

QString temperatures(const QString &rendered)
{
    const QLatin1StringView unit(" deg C ");
    return rendered.left(10) + unit + rendered.mid(13, 9) + unit + rendered.mid(25, 9) + unit;
}

QString blanksRestored(QString key)
{
    return key.replace(QLatin1Char('_'), QLatin1Char(' '));
}

} // namespace

namespace Decode {

std::optional<QString> statusFor(const QString &currentCommand, qsizetype sourceLength,
                                 const QString &rendered, const QString &status)
{
    if (is(currentCommand, "CR0"))
        return lookUp(kStatusRows, rendered.left(4));
    if (is(currentCommand, "CR1"))
        return lookUp(kInputRows, rendered.left(2));
    if (is(currentCommand, "CR4"))
        return lookUp(kSettingRows, rendered.left(4));
    if (is(currentCommand, "CR3")) {
        if (sourceLength != LampReplyLength)
            return std::nullopt;
        return lampHours(rendered, status);
    }
    if (is(currentCommand, "CR6")) {
        if (sourceLength != TemperatureReplyLength)
            return std::nullopt;
        return temperatures(rendered);
    }
    if (is(currentCommand, "CR LAMPSTS"))
        return lookUp(kLampStateRows, blanksRestored(rendered.left(12)));
    if (is(currentCommand, "CR LAMPMODE"))
        return lookUp(kLampModeRows,
                      blanksRestored(rendered.left(qMax<qsizetype>(0, rendered.size() - 7))));
    return std::nullopt;
}

std::optional<QString> powerValue(const QString &rendered)
{
    return valueOf(kStatusRows, rendered.left(4));
}

std::optional<QString> inputValue(const QString &rendered)
{
    return valueOf(kInputRows, rendered.left(2));
}

} // namespace Decode
