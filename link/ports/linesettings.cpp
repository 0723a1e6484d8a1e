#include "ports/linesettings.h"

#include <QStringList>

bool LineSettings::parse(const QString &text, LineSettings *out)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    LineSettings s;
    bool ok = false;
    s.baud = parts[0].trimmed().toInt(&ok);
    if (!ok || s.baud <= 0)
        return false;
    const QString parity = parts[1].trimmed().toUpper();
    if (parity == QLatin1String("N"))
        s.parity = Parity::None;
    else if (parity == QLatin1String("E"))
        s.parity = Parity::Even;
    else if (parity == QLatin1String("O"))
        s.parity = Parity::Odd;
    else if (parity == QLatin1String("M"))
        s.parity = Parity::Mark;
    else if (parity == QLatin1String("S"))
        s.parity = Parity::Space;
    else
        return false;
    s.dataBits = parts[2].trimmed().toInt(&ok);
    if (!ok || s.dataBits < 5 || s.dataBits > 8)
        return false;
    const QString stop = parts[3].trimmed();
    if (stop == QLatin1String("1"))
        s.stopBits = StopBits::One;
    else if (stop == QLatin1String("1.5"))
        s.stopBits = StopBits::OneAndHalf;
    else if (stop == QLatin1String("2"))
        s.stopBits = StopBits::Two;
    else
        return false;
    *out = s;
    return true;
}
