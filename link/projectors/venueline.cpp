#include "projectors/venueline.h"

#include "ports/portreason.h"
#include "protocol/linelog.h"

#include <QFileInfo>

VenueLine::VenueLine(const QString &device, const QString &settings, int timeoutMs, QObject *parent)
    : QObject(parent)
    , m_device(device)
    , m_exchange(m_port, timeoutMs)
{
    m_port.setDevice(device);
    m_port.setSettings(settings);
    m_wait.setSingleShot(true);
    m_wait.setTimerType(Qt::PreciseTimer);
    connect(&m_wait, &QTimer::timeout, this, &VenueLine::next);
    connect(&m_exchange, &Exchange::completed, this, [this]() { ended(Result::Answered); });
    connect(&m_exchange, &Exchange::timedOut, this, [this]() { ended(Result::NoAnswer); });
    connect(&m_exchange, &Exchange::lineLost, this,
            [this](const QString &) { ended(Result::PortFailed); });
    connect(&m_port, &MSComm::opened, this, &VenueLine::opened);
    connect(&m_port, &MSComm::openFailed, this, &VenueLine::openFailed);
}

void VenueLine::add(const Job &job, bool urgent)
{
    if (urgent)
        m_queue.push_front(job);
    else
        m_queue.push_back(job);
    if (!m_running && !m_wait.isActive())
        next();
}

void VenueLine::next()
{
    if (m_running)
        return;
    if (m_queue.empty()) {
        close();
        emit idle();
        return;
    }
    if (!m_nextAllowed.hasExpired()) {
        m_wait.start(int(qMax<qint64>(1, m_nextAllowed.remainingTime())));
        return;
    }
    m_running = true;
    if (!m_port.portOpen()) {
        m_opening = true;
        m_port.startOpen();
        return;
    }
    m_current = m_queue.front();
    m_queue.pop_front();
    m_exchange.setLog(m_log, m_current.name);
    if (!m_exchange.start(Exchange::frame(m_current.prefix, Exchange::command(m_current.command))))
        ended(m_exchange.lost() ? Result::PortFailed : Result::NoAnswer);
}

void VenueLine::opened()
{
    if (!m_opening)
        return;
    m_opening = false;
    m_running = false;
    if (m_log && !m_queue.empty())
        m_log->event(m_queue.front().name, LineLog::Event::Open, m_device);
    next();
}

void VenueLine::openFailed()
{
    if (!m_opening)
        return;
    m_opening = false;
    m_running = false;
    failAll(PortReason::detail(m_port.openFailure(), 0, m_device, QFileInfo(m_device).group(),
                               m_port.openFailureText()),
            m_port.openFailure());
}

void VenueLine::ended(Result result)
{
    if (!m_running)
        return;
    m_running = false;
    Done d;
    d.job = m_current;
    d.sent = m_exchange.sent();
    d.sentText = m_exchange.sentText();
    d.reply = m_exchange.reply();
    d.replyText = m_exchange.replyText();
    // A line that went away brought no reply, whatever came before the close
    // (a busy server's "Port already in use", say).
    if (m_exchange.lost())
        result = Result::PortFailed;
    d.result = result;
    if (result == Result::PortFailed)
        d.failure = QStringLiteral("the line was lost: ") + m_exchange.lostReason();
    else
        d.status = m_exchange.replyStatus(m_current.command);
    m_nextAllowed.setRemainingTime(m_gapMs, Qt::PreciseTimer);
    const QString failure = d.failure;
    emit done(d);
    // After a loss the commands still queued are not sent: they would go out
    // on a line that is not there, or shifted against their replies.
    if (result == Result::PortFailed)
        failAll(failure);
    else
        next();
}

void VenueLine::close()
{
    if (!m_port.portOpen())
        return;
    m_port.setPortOpen(false);
    if (m_log)
        m_log->event(m_current.name, LineLog::Event::Close, m_device);
}

void VenueLine::failAll(const QString &reason, MSComm::OpenFailure failure)
{
    if (m_log && (failure != MSComm::OpenFailure::None || !m_port.portOpen()))
        m_log->event(m_queue.empty() ? m_current.name : m_queue.front().name, LineLog::Event::Lost,
                     failure != MSComm::OpenFailure::None ? QStringLiteral("cannot open: ") + reason
                                                          : reason);
    close();
    // Whatever a receiver of done() queues meanwhile starts afresh.
    std::deque<Job> dropped;
    dropped.swap(m_queue);
    for (const Job &job : dropped) {
        Done d;
        d.job = job;
        d.failure = reason;
        d.openFailure = failure;
        emit done(d);
    }
    if (!busy())
        emit idle();
}
