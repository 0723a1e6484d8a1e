#include "protocol/exchange.h"

#include "ports/mscomm.h"
#include "protocol/decode.h"
#include "protocol/linelog.h"

Exchange::Exchange(MSComm &port, int timeoutMs, QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_timeoutMs(timeoutMs)
{
    m_timeout.setSingleShot(true);
    m_timeout.setTimerType(Qt::PreciseTimer);
    m_settle.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this]() { end(Outcome::NoAnswer); });
    connect(&m_settle, &QTimer::timeout, this, [this]() { end(Outcome::Answered); });
    connect(&m_port, &MSComm::OnComm, this, &Exchange::onComm);
    connect(&m_port, &MSComm::linkLost, this, &Exchange::handleLoss);
    // A reopened line is a new line: its loss belongs to the past.
    connect(&m_port, &MSComm::opened, this, [this]() {
        m_lost = false;
        m_lostReason.clear();
    });
}

QString Exchange::frame(const QString &prefix, const QString &text)
{
    return prefix + text;
}

QString Exchange::command(const QString &word)
{
    return word + QLatin1Char('\r');
}

bool Exchange::complete(QStringView reply)
{
    return reply == QLatin1String("\x06") || reply.contains(QLatin1Char('\r'));
}

bool Exchange::start(const QString &framed)
{
    // What still waits belongs to an earlier exchange.
    if (m_port.inBufferCount() > 0)
        logReceived(m_port.input());
    clearReply();
    m_sent = framed;
    m_sentLegends = Render::NoLegend;
    m_sentText = Render::render(m_sent, &m_sentLegends);
    m_timeout.stop();
    m_settle.stop();
    m_state = State::Collecting;
    m_outcome = Outcome::Pending;
    if (!m_port.output(m_sent)) {
        if (m_outcome == Outcome::Pending)
            m_outcome = Outcome::NoAnswer;
        if (m_timeoutMs)
            m_state = State::Ended;
        return false;
    }
    if (m_log)
        m_log->chunk(m_logName, LineLog::Event::Sent, m_sent);
    if (m_state == State::Ended) // lost while it was written
        return false;
    if (m_timeoutMs)
        m_timeout.start(m_timeoutMs);
    return true;
}

void Exchange::clearReply()
{
    m_reply.clear();
    m_renderedReply.clear();
}

QString Exchange::replyText() const
{
    if (m_state == State::Ended && m_outcome != Outcome::Answered && m_reply.isEmpty())
        return QString(NoAnswerMark);
    return m_renderedReply.text();
}

std::optional<QString> Exchange::status(const QString &command, const QString &shown) const
{
    return Decode::statusFor(command, m_reply.size(), m_renderedReply.text(), shown);
}

std::optional<QString> Exchange::replyStatus(const QString &word) const
{
    // The decoders know a query by its word and carriage return; the
    // address only chose which projector answers.
    if (m_reply.isEmpty() || m_lost)
        return std::nullopt;
    return status(command(word), QString());
}

void Exchange::onComm()
{
    // What arrives while a network line settles is left for the next start
    // to drop.
    if (m_port.commEvent() != MSComm::comEvReceive || m_state != State::Collecting)
        return;
    QString arrived = m_port.input();
    logReceived(arrived);
    const qsizetype room = MaxReply - m_reply.size();
    if (arrived.size() > room)
        arrived.truncate(qMax<qsizetype>(0, room));
    m_reply += arrived;
    emit received(m_renderedReply.append(arrived));
    if (!m_timeoutMs || m_state != State::Collecting || !complete(m_reply))
        return;
    m_timeout.stop();
    if (m_port.overNetwork()) {
        m_state = State::Settling;
        m_settle.start(SettleMs);
    } else {
        end(Outcome::Answered);
    }
}

void Exchange::logReceived(const QString &chunk)
{
    if (m_log)
        m_log->chunk(m_logName, LineLog::Event::Received, chunk);
}

void Exchange::end(Outcome outcome)
{
    m_timeout.stop();
    m_settle.stop();
    m_state = State::Ended;
    m_outcome = outcome;
    if (outcome == Outcome::Answered)
        emit completed();
    else if (outcome == Outcome::NoAnswer)
        emit timedOut();
    else
        emit lineLost(m_lostReason);
}

void Exchange::handleLoss(const QString &reason)
{
    m_lost = true;
    m_lostReason = reason;
    if (m_state == State::Ended)
        return;
    if (m_timeoutMs) {
        end(Outcome::LineLost);
        return;
    }
    m_outcome = Outcome::LineLost;
    emit lineLost(reason);
}
