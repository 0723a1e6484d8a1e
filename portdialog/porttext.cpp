#include "portdialog/porttext.h"

#include "facts/projector.h"

namespace PortText {

int portNumber(const QString &text)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty() || digits.size() > 9)
        return 0;
    for (const QChar ch : digits) {
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            return 0;
    }
    const int value = digits.toInt();
    return Projector::isPort(value) ? value : 0;
}

} // namespace PortText
