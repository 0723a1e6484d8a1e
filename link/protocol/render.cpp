#include "protocol/render.h"

namespace Render {

Legends appendMarks(QStringView source, QString &out)
{
    Legends legends = NoLegend;
    out.reserve(out.size() + 2 * source.size());
    for (const QChar ch : source) {
        const char16_t code = ch.unicode();
        switch (code) {
        case 6:
            out += QLatin1String(" [ACK] ");
            legends |= AckLegend;
            break;
        case 13:
            out += QLatin1String(" [CR] ");
            legends |= CrLegend;
            break;
        case 10:
            out += QLatin1String(" [LF]  ");
            break;
        case 32:
            out += QLatin1String("_ ");
            legends |= SpaceLegend;
            break;
        default:
            if (code >= 33 && code <= 122) {
                out += ch;
                out += QLatin1Char(' ');
            } else {
                out += QLatin1String("? ");
            }
            break;
        }
    }
    return legends;
}

QString render(QStringView source, Legends *legends)
{
    QString out = QStringLiteral(" ");
    const Legends found = appendMarks(source, out);
    if (legends)
        *legends = found;
    return out;
}

} // namespace Render
