#include "projectors/watcher.h"

#include "ports/reconnect.h"
#include "protocol/linelog.h"

#include <QHash>

namespace {

const QStringList kFullPoll = {QStringLiteral("CR0"), QStringLiteral("CR1"), QStringLiteral("CR3"),
                               QStringLiteral("CR6")};
const QStringList kPowerOnly = {QStringLiteral("CR0")};

bool isFault(const std::optional<QString> &power)
{
    return power && power->endsWith(QLatin1String("-fault"));
}

bool inTransition(const std::optional<QString> &power)
{
    return power == QLatin1String("countdown") || power == QLatin1String("cooling");
}

QString valueText(const std::optional<QString> &value)
{
    return value.value_or(QString());
}

} // namespace

struct Watcher::Line {
    std::unique_ptr<VenueLine> line;
    std::vector<int> projectors;
    Reconnector reconnector;
    bool waiting = false; // lost: only the reconnector's tries go out
    bool probing = false; // one of those tries is under way
    bool lent = false;    // someone else holds it: nothing starts on it
};

QString Watcher::linkName(Link link)
{
    switch (link) {
    case Link::Open:
        return QStringLiteral("open");
    case Link::Lost:
        return QStringLiteral("lost");
    case Link::InUse:
        return QStringLiteral("in use");
    case Link::Unknown:
        break;
    }
    return QString();
}

Watcher::Watcher(const QList<VenueProjector> &projectors, const Options &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
{
    QHash<QString, Line *> byKey;
    for (const VenueProjector &p : projectors) {
        if (!p.usable())
            continue;
        const int index = int(m_watched.size());
        m_watched.push_back(Watched{p, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}});
        Line *&line = byKey[p.lineKey()];
        if (!line) {
            m_lines.push_back(std::make_unique<Line>());
            line = m_lines.back().get();
            line->line = std::make_unique<VenueLine>(p.device, Projector::settingsFor(p.baudCode),
                                                     options.timeoutMs);
            line->line->setGapMs(options.gapMs);
            connect(line->line.get(), &VenueLine::done, this,
                    [this, line](const VenueLine::Done &done) { handle(*line, done); });
            connect(line->line.get(), &VenueLine::idle, this, &Watcher::checkStopped);
            connect(&line->reconnector, &Reconnector::tryNow, this, [this, line]() {
                if (line->lent)
                    return;
                line->probing = true;
                poll(line->projectors.front());
            });
        }
        line->projectors.push_back(index);
        m_lineOf.push_back(line);
    }
    m_pendingOf.assign(m_watched.size(), 0);
    m_polled.resize(m_watched.size());
    m_answeredIn.assign(m_watched.size(), false);
    m_powerAfterPoll.assign(m_watched.size(), false);
    m_round.setInterval(m_options.intervalMs);
    connect(&m_round, &QTimer::timeout, this, &Watcher::roundEnded);
}

Watcher::~Watcher() = default;

void Watcher::setLog(LineLog *log)
{
    m_log = log;
    for (const auto &line : m_lines)
        line->line->setLog(log);
}

void Watcher::start()
{
    // Each projector has its own moment in the interval, so that the
    // questions are spread over it rather than all asked at once.
    const qsizetype count = qsizetype(m_watched.size());
    for (qsizetype i = 0; i < count; ++i) {
        auto timer = std::make_unique<QTimer>();
        QTimer *t = timer.get();
        connect(t, &QTimer::timeout, this, [this, t, i]() {
            if (t->interval() != m_options.intervalMs)
                t->setInterval(m_options.intervalMs);
            poll(int(i));
        });
        t->start(int(qint64(m_options.intervalMs) * i / count));
        m_timers.push_back(std::move(timer));
    }
    m_round.start();
}

void Watcher::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_timers.clear();
    m_round.stop();
    for (const auto &line : m_lines) {
        line->reconnector.stop();
        line->line->clear();
    }
    QMetaObject::invokeMethod(this, &Watcher::checkStopped, Qt::QueuedConnection);
}

void Watcher::checkStopped()
{
    if (!m_stopping)
        return;
    for (const auto &line : m_lines) {
        if (line->line->busy())
            return;
    }
    m_stopping = false; // once
    m_lines.clear();
    emit stopped();
}

void Watcher::poll(int index, bool powerOnly)
{
    Line &line = *m_lineOf[index];
    if (m_stopping || m_pendingOf[index] > 0 || (line.waiting && !line.probing) || line.lent)
        return;
    const Watched &w = m_watched[index];
    const QStringList &queries =
        powerOnly || w.silent || inTransition(w.state.power) || line.probing ? kPowerOnly
                                                                             : kFullPoll;
    m_polled[index] = w.state;
    m_answeredIn[index] = false;
    m_pendingOf[index] = int(queries.size());
    for (const QString &query : queries)
        line.line->add({index, w.projector.name, w.projector.prefix, query});
}

void Watcher::send(int index, const QString &command)
{
    if (m_stopping || index < 0 || index >= int(m_watched.size()))
        return;
    const Watched &w = m_watched[index];
    VenueLine::Job job{index, w.projector.name, w.projector.prefix, command};
    job.person = true;
    m_lineOf[index]->line->add(job, true);
}

void Watcher::lend(int index, bool lent)
{
    if (index < 0 || index >= int(m_watched.size()))
        return;
    Line &line = *m_lineOf[index];
    if (line.lent == lent)
        return;
    line.lent = lent;
    if (lent) {
        // A lost line is not tried while it is lent; when it comes back,
        // the first poll tries it and the backoff starts afresh.
        line.reconnector.stop();
        line.waiting = false;
        line.probing = false;
        for (const int other : line.projectors)
            m_watched[other].waiting = false;
        return;
    }
    for (const int other : line.projectors)
        poll(other);
}

bool Watcher::lent(int index) const
{
    return index >= 0 && index < int(m_watched.size()) && m_lineOf[index]->lent;
}

bool Watcher::lineBusy(int index) const
{
    return index >= 0 && index < int(m_watched.size()) && m_lineOf[index]->line->busy();
}

void Watcher::handle(Line &line, const VenueLine::Done &done)
{
    if (done.job.ticket != 0) {
        if (const AskDone asked = m_asks.take(done.job.ticket))
            asked(done);
        return;
    }
    const int index = done.job.projector;
    Watched &w = m_watched[index];
    // A person's command counts like any exchange, but it is no part of a
    // poll: what it brought is not taken as the poll's.
    const bool polled = !done.job.person;
    switch (done.result) {
    case VenueLine::Result::Answered:
        ++w.answered;
        if (polled) {
            m_answeredIn[index] = true;
            m_polled[index].take(done.job.command, done.reply);
        }
        w.lastAnswer = QDateTime::currentDateTime();
        break;
    case VenueLine::Result::NoAnswer:
        ++w.noAnswer;
        break;
    case VenueLine::Result::PortFailed:
        ++w.portFailed;
        lineFailed(line, done);
        break;
    }
    if (!polled) {
        emit exchanged(index, done);
        // The state it changed is asked at once, or after the poll under
        // way, whose own power answer may be older than the command.
        if (done.result != VenueLine::Result::PortFailed) {
            m_powerAfterPoll[index] = m_pendingOf[index] > 0;
            poll(index, true);
        }
        return;
    }
    if (--m_pendingOf[index] == 0 && done.result != VenueLine::Result::PortFailed)
        pollEnded(index);
    emit exchanged(index, done);
    if (m_pendingOf[index] == 0 && m_powerAfterPoll[index]) {
        m_powerAfterPoll[index] = false;
        poll(index, true);
    }
}

void Watcher::lineFailed(Line &line, const VenueLine::Done &done)
{
    const bool inUse = done.openFailure == MSComm::OpenFailure::InUse;
    const Link link = inUse ? Link::InUse : Link::Lost;
    for (const int index : line.projectors) {
        Watched &w = m_watched[index];
        w.linkReason = done.failure;
        w.answeredLast = false;
        if (w.link != link)
            report(index, QStringLiteral("link"), linkName(w.link), linkName(link));
        w.link = link;
        w.waiting = !inUse;
    }
    if (m_stopping)
        return;
    // Another program's line is asked again at the next interval, never
    // taken away; a lost one is tried with backoff.
    if (inUse) {
        line.waiting = false;
        line.probing = false;
        line.reconnector.stop();
    } else if (line.probing) {
        line.probing = false;
        line.reconnector.failed();
    } else if (!line.waiting) {
        line.waiting = true;
        line.reconnector.start(line.line->device());
    }
}

void Watcher::pollEnded(int index)
{
    Line &line = *m_lineOf[index];
    Watched &w = m_watched[index];
    if (line.probing || line.waiting) {
        if (m_log)
            m_log->event(w.projector.name, LineLog::Event::Reconnect, line.line->device());
        line.probing = false;
        line.waiting = false;
        line.reconnector.succeeded();
    }
    for (const int other : line.projectors)
        m_watched[other].waiting = false;
    if (w.link != Link::Open) {
        if (w.link != Link::Unknown)
            report(index, QStringLiteral("link"), linkName(w.link), linkName(Link::Open));
        w.link = Link::Open;
        w.linkReason.clear();
    }
    w.answeredLast = m_answeredIn[index];
    if (!w.answeredLast) {
        if (++w.missed >= 3 && !w.silent) {
            w.silent = true;
            report(index, QStringLiteral("silent"), QStringLiteral("answering"),
                   QStringLiteral("silent"));
        }
        return;
    }
    w.missed = 0;
    if (w.silent) {
        w.silent = false;
        report(index, QStringLiteral("silent"), QStringLiteral("silent"),
               QStringLiteral("answering"));
    }
    const ProjectorState before = w.state;
    w.state = m_polled[index];
    const ProjectorState &now = w.state;
    if (now.power != before.power && now.power)
        report(index,
               isFault(before.power) || isFault(now.power) ? QStringLiteral("fault")
                                                           : QStringLiteral("power"),
               valueText(before.power), *now.power);
    if (now.input != before.input && now.input)
        report(index, QStringLiteral("input"), valueText(before.input), *now.input);
    if (m_options.lampWarnHours && now.lampHours && *now.lampHours >= *m_options.lampWarnHours
        && !(before.lampHours && *before.lampHours >= *m_options.lampWarnHours))
        report(index, QStringLiteral("lamp"),
               before.lampHours ? QString::number(*before.lampHours) : QString(),
               QString::number(*now.lampHours));
}

void Watcher::report(int index, const QString &kind, const QString &from, const QString &to)
{
    emit changed(Change{QDateTime::currentDateTime(), index, kind, from, to});
}

void Watcher::ask(int index, const QString &command, bool urgent, const AskDone &done)
{
    const Watched &w = m_watched[size_t(index)];
    VenueLine::Job job{index, w.projector.name, w.projector.prefix, command};
    job.ticket = ++m_lastTicket;
    if (m_stopping || m_lines.empty()) {
        VenueLine::Done d;
        d.job = job;
        d.failure = QStringLiteral("watching has ended");
        done(d);
        return;
    }
    m_asks.insert(job.ticket, done);
    m_lineOf[size_t(index)]->line->add(job, urgent);
}
