// Any text in the port dialog's number box, read as UTF-8 and as UTF-16: the
// number it names is 0 or a port number, and only a box of digits (blanks
// around them allowed) names one.

#include "facts/projector.h"
#include "portdialog/porttext.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(const QString &text)
{
    const int port = PortText::portNumber(text);
    if (port == 0)
        return;
    if (!Projector::isPort(port))
        abort();
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).isSpace())
        ++first;
    while (last > first && text.at(last - 1).isSpace())
        --last;
    int value = 0;
    for (qsizetype i = first; i < last; ++i) {
        const char16_t ch = text.at(i).unicode();
        if (ch < u'0' || ch > u'9')
            abort();
        value = qMin(value * 10 + (ch - u'0'), 1000);
    }
    if (value != port)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    check(QString::fromUtf8(bytes, qsizetype(size)));
    check(QString(reinterpret_cast<const QChar *>(bytes), qsizetype(size / 2)));
    return 0;
}
