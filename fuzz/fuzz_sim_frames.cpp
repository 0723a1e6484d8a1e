// Any bytes written to the simulated projector: fed at once or in chunks,
// they get the same answers and leave the same state, and every answer is an
// ACK or a line ended by a carriage return.
//
// Input: one byte for the chunk size, the rest is what the controller wrote.

#include "sim/projector.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const qsizetype chunk = data[0] + 1;
    const QByteArray written(reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1);

    SimProjector whole;
    const QByteArray answers = whole.feed(written);

    SimProjector pieces;
    QByteArray pieceAnswers;
    for (qsizetype at = 0; at < written.size(); at += chunk)
        pieceAnswers += pieces.feed(written.mid(at, chunk));
    if (pieceAnswers != answers || pieces.powerOn() != whole.powerOn()
        || pieces.input() != whole.input())
        abort();
    if (whole.input() < 1 || whole.input() > 4)
        abort();

    // At most one answer per carriage return written, none longer than the
    // temperatures line.
    if (answers.size() > 19 * written.count('\r'))
        abort();
    qsizetype at = 0;
    while (at < answers.size()) {
        if (answers.at(at) == '\x06') {
            ++at;
            continue;
        }
        const qsizetype end = answers.indexOf('\r', at);
        if (end < 0)
            abort();
        at = end + 1;
    }
    return 0;
}
