#include "cli/venuerun.h"

#include <QHash>
#include <QTimer>

VenueRun::VenueRun(const QList<VenueProjector> &projectors, const QStringList &commands,
                   int timeoutMs, QObject *parent)
    : QObject(parent)
    , m_projectors(projectors)
    , m_commands(commands)
    , m_timeoutMs(timeoutMs)
    , m_outcomes(projectors.size())
{}

VenueRun::~VenueRun() = default;

void VenueRun::start()
{
    QHash<QString, VenueLine *> byKey;
    QList<std::pair<VenueLine *, VenueLine::Job>> jobs;
    for (int i = 0; i < m_projectors.size(); ++i) {
        const VenueProjector &p = m_projectors[i];
        if (!p.usable()) {
            m_outcomes[i].failure = p.error;
            continue;
        }
        VenueLine *&line = byKey[p.lineKey()];
        if (!line) {
            m_lines.push_back(std::make_unique<VenueLine>(
                p.device, Projector::settingsFor(p.baudCode), m_timeoutMs));
            line = m_lines.back().get();
            line->setLog(m_log);
            connect(line, &VenueLine::done, this, [this](const VenueLine::Done &d) {
                Outcome &o = m_outcomes[d.job.projector];
                o.exchanges.append(d);
                if (d.result == VenueLine::Result::PortFailed && o.failure.isEmpty())
                    o.failure = d.failure;
                --m_pending;
                check();
            });
        }
        for (const QString &command : m_commands)
            jobs.append({line, VenueLine::Job{i, p.name, p.prefix, command}});
    }
    m_pending = jobs.size();
    // Every job is queued before any line starts, so that each line opens
    // once for all the projectors on it.
    for (const auto &[line, job] : std::as_const(jobs))
        line->add(job);
    if (!m_pending)
        QTimer::singleShot(0, this, &VenueRun::finished);
}

void VenueRun::check()
{
    if (m_pending == 0)
        emit finished();
}
