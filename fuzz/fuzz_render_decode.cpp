// Any reply bytes against any command of the catalogue: the reply grows in
// chunks as receive events bring it, is rendered incrementally, and the
// status decoders read every stage of it, as the engine does.
//
// Input: two bytes choose the command, one byte the chunk size (its top bit
// puts an address in front of the command), the rest is the reply.

#include "protocol/catalogue.h"
#include "protocol/decode.h"
#include "protocol/render.h"

#include <cstdint>
#include <cstdlib>

namespace {

const QStringList &commands()
{
    static const QStringList all = [] {
        QStringList out;
        for (const QStringList &rows :
             {Catalogue::basicRows(), Catalogue::settingRows(), Catalogue::readRows()}) {
            for (const QString &row : rows)
                out << Catalogue::commandPart(row);
        }
        return out;
    }();
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const QStringList &list = commands();
    const bool addressed = data[2] & 0x80;
    const qsizetype chunk = (data[2] & 0x7f) + 1;
    const QString command = (addressed ? QStringLiteral("A001") : QString())
                            + list.at(((data[0] << 8) | data[1]) % list.size()) + QLatin1Char('\r');
    const QString reply =
        QString::fromLatin1(reinterpret_cast<const char *>(data) + 3, qsizetype(size) - 3);

    Render::Incremental rendered;
    Render::Legends seen = Render::NoLegend;
    QString status = QStringLiteral(" Power ON");
    for (qsizetype at = 0; at < reply.size(); at += chunk) {
        seen |= rendered.append(QStringView(reply).mid(at, chunk));
        const auto next =
            Decode::statusFor(command, rendered.sourceLength(), rendered.text(), status);
        // A command with an address in front is never decoded.
        if (next && addressed)
            abort();
        if (next)
            status = *next;
    }

    Render::Legends whole = Render::NoLegend;
    if (rendered.text() != Render::render(reply, &whole) || whole != seen)
        abort();
    if (rendered.sourceLength() != reply.size())
        abort();
    return 0;
}
