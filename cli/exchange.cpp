#include "cli/exchange.h"

#include "ports/mscomm.h"
#include "protocol/decode.h"
#include "protocol/engine.h"
#include "protocol/render.h"

#include <QEventLoop>
#include <QTimer>

namespace {
// How long a network line must stay up after a complete reply.
constexpr int kSettleMs = 100;
} // namespace

Line::Line(MSComm &port, QString addressPrefix, int timeoutMs)
    : m_port(port)
    , m_addressPrefix(std::move(addressPrefix))
    , m_timeoutMs(timeoutMs)
{
    connect(&m_port, &MSComm::linkLost, this, [this](const QString &reason) {
        m_lost = true;
        m_lostReason = reason;
    });
}

bool Line::complete(const QString &reply)
{
    return reply == QLatin1String("\x06") || reply.contains(QLatin1Char('\r'));
}

Exchange Line::send(const QString &command)
{
    Exchange ex;
    ex.command = command;
    ex.sent = m_addressPrefix + command + QLatin1Char('\r');
    ex.sentText = Render::render(ex.sent);

    // Whatever is still waiting belongs to an earlier exchange.
    m_port.input();

    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    timeout.setTimerType(Qt::PreciseTimer);
    connect(&timeout, &QTimer::timeout, &loop, [&]() {
        ex.timedOut = true;
        loop.quit();
    });
    // A server that closes the connection right behind its text (a busy
    // ser2net says "Port already in use" and hangs up) has not answered: on
    // a network line a complete reply counts once the line has stayed up a
    // moment longer. What arrives meanwhile is left for the next exchange to
    // discard.
    QTimer settle;
    settle.setSingleShot(true);
    connect(&settle, &QTimer::timeout, &loop, &QEventLoop::quit);
    const QMetaObject::Connection received = connect(&m_port, &MSComm::OnComm, &loop, [&]() {
        if (m_port.commEvent() != MSComm::comEvReceive || settle.isActive())
            return;
        QString arrived = m_port.input();
        // A peer that never ends its reply fills no more than the panel's
        // reply buffer would hold.
        const qsizetype room = TransactionEngine::MaxReply - ex.received.size();
        if (arrived.size() > room)
            arrived.truncate(qMax<qsizetype>(0, room));
        ex.received += arrived;
        if (!complete(ex.received))
            return;
        timeout.stop();
        if (m_port.overNetwork())
            settle.start(kSettleMs);
        else
            loop.quit();
    });
    const QMetaObject::Connection gone =
        connect(&m_port, &MSComm::linkLost, &loop, [&]() { loop.quit(); });

    if (!lost() && m_port.output(ex.sent)) {
        timeout.start(m_timeoutMs);
        loop.exec();
    } else {
        ex.timedOut = true;
    }
    disconnect(received);
    disconnect(gone);
    // A line that the far end closed during the exchange brought no reply,
    // whatever came before the close (a busy server's "Port already in
    // use", say).
    if (lost())
        ex.timedOut = true;

    ex.receivedText = ex.received.isEmpty() && ex.timedOut
                          ? QString(TransactionEngine::NoAnswerMark)
                          : Render::render(ex.received);
    // The decoders know a query by its word and carriage return; the
    // address only chose which projector answers.
    if (!ex.received.isEmpty() && !lost()) {
        if (const auto status = Decode::statusFor(command + QLatin1Char('\r'), ex.received.size(),
                                                  Render::render(ex.received), QString()))
            ex.status = status->trimmed();
    }
    return ex;
}
