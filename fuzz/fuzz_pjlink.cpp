// Feeds arbitrary bytes to the PJLink request reader and to the answers made
// from a projector's replies, and checks what the network could get out of
// it: a request row only for a line that is exactly its command and
// parameter (so nothing else is ever sent to the projector), an error that is
// ERR1 or ERR2, and answers of printable text within the line limit.

#include "pjlink/pjlink.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

bool oneLine(const QByteArray &answer)
{
    if (answer.size() > PJLink::kMaxLine || !answer.endsWith('\r'))
        return false;
    for (qsizetype i = 0; i + 1 < answer.size(); ++i) {
        if (uchar(answer[i]) < 0x20 || answer[i] == 0x7f)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const PJLink::Request r = PJLink::parse(bytes);
    if (r.header.isEmpty()) {
        check(!r.row && r.error.isEmpty());
    } else {
        check(r.header.size() == 6 && r.header[0] == '%' && bytes.startsWith(r.header));
        if (r.row)
            check(bytes == "%1" + QByteArray(r.row->command) + ' ' + r.row->parameter
                  && r.error.isEmpty());
        else
            check(r.error == "ERR1" || r.error == "ERR2");
        check(oneLine(PJLink::answer(r, r.row ? "OK" : r.error)));
    }

    // The same bytes as the projector's replies, and as a projector's name.
    ProjectorState state;
    const QString reply = QString::fromLatin1(bytes);
    for (const char *query : {"CR0", "CR1", "CR3"})
        state.take(QLatin1String(query), reply);
    const PJLink::Request lampQuery = PJLink::parse("%1LAMP ?");
    for (const PJLink::Row &row : PJLink::table()) {
        if (row.from == PJLink::From::Power || row.from == PJLink::From::Errors
            || row.from == PJLink::From::Lamp || row.from == PJLink::From::Input)
            check(oneLine(PJLink::answer(lampQuery, PJLink::fromState(row, state))));
    }
    check(oneLine(PJLink::answer(lampQuery, PJLink::fromReply(bytes))));
    const QByteArray name = PJLink::nameValue(QString::fromUtf8(bytes));
    check(name.size() <= PJLink::kMaxName && !name.contains('\r') && !name.contains('\n'));
    return 0;
}
