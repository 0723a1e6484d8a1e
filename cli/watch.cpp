#include "cli/watch.h"

#include "pjlink/bridge.h"
#include "projectors/metrics.h"
#include "projectors/venue.h"
#include "projectors/watcher.h"
#include "protocol/linelog.h"
#include "store/settingsstore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <memory>
#include <unistd.h>

namespace {

int g_stopPipe[2] = {-1, -1};

// Only async-signal-safe work here: the event loop notices the byte.
void requestStop(int)
{
    const char byte = 0;
    (void)!::write(g_stopPipe[1], &byte, 1);
}

QTextStream &out()
{
    static QTextStream s(stdout);
    return s;
}

QTextStream &err()
{
    static QTextStream s(stderr);
    return s;
}

// "lamp 1999 h -> 2000 h", "power on -> standby"; "?" for what was not known.
QString changeText(const Watcher::Change &change)
{
    const auto shown = [&](const QString &value) {
        if (value.isEmpty())
            return QStringLiteral("?");
        return change.kind == QLatin1String("lamp") ? value + QStringLiteral(" h") : value;
    };
    return QStringLiteral("%1 %2 -> %3").arg(change.kind, shown(change.from), shown(change.to));
}

QList<ProjectorMetrics> metricsOf(const Watcher &watcher)
{
    QList<ProjectorMetrics> list;
    for (const Watcher::Watched &w : watcher.watched()) {
        ProjectorMetrics m;
        m.name = w.projector.name;
        m.answered = w.answeredLast;
        m.power = w.state.power;
        m.lampHours = w.state.lampHours;
        m.temperatures = w.state.temperatures;
        if (w.lastAnswer.isValid())
            m.lastAnswer = w.lastAnswer;
        m.answeredTotal = w.answered;
        m.noAnswerTotal = w.noAnswer;
        m.portFailedTotal = w.portFailed;
        list.append(m);
    }
    return list;
}

// The venue's projectors that |names| select (all when empty), and its bad
// lines reported on standard error.
QList<VenueProjector> chosen(const QStringList &names)
{
    QList<VenueProjector> list;
    for (const VenueProjector &p : Venue::read()) {
        if (!names.isEmpty() && !names.contains(p.name, Qt::CaseInsensitive))
            continue;
        if (!p.usable())
            err() << "orvactl: " << p.name << ": " << p.error << "\n";
        list.append(p);
    }
    err().flush();
    return list;
}

bool sameProjectors(const QList<VenueProjector> &a, const QList<VenueProjector> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || a[i].lineKey() != b[i].lineKey() || a[i].prefix != b[i].prefix
            || a[i].baudCode != b[i].baudCode || a[i].error != b[i].error)
            return false;
    }
    return true;
}

class Session : public QObject
{
public:
    explicit Session(const WatchOptions &options)
        : m_options(options)
    {
        if (!options.logPath.isEmpty())
            m_log = std::make_unique<LineLog>(options.logPath);
    }

    void begin(const QList<VenueProjector> &projectors)
    {
        m_projectors = projectors;
        Watcher::Options o;
        o.intervalMs = m_options.intervalMs;
        o.timeoutMs = m_options.timeoutMs;
        o.lampWarnHours = m_options.lampWarnHours;
        m_watcher = std::make_unique<Watcher>(projectors, o);
        m_watcher->setLog(m_log.get());
        connect(m_watcher.get(), &Watcher::changed, this, &Session::print);
        connect(m_watcher.get(), &Watcher::roundEnded, this, &Session::writeMetrics);
        connect(m_watcher.get(), &Watcher::stopped, this, &Session::stopped);
        if (m_options.pjlink)
            serve();
        m_watcher->start();
    }

    // The PJLink bridge could not start at all.
    bool failed() const { return m_failed; }

    // The settings file changed: its bad lines are told again, and a venue
    // that changed is watched afresh.
    void reread()
    {
        const QList<VenueProjector> now = chosen(m_options.names);
        if (sameProjectors(now, m_projectors) || m_restarting || m_ending)
            return;
        m_restarting = true;
        m_next = now;
        m_bridge.reset();
        m_watcher->stop();
    }

    void end()
    {
        if (m_ending)
            return;
        m_ending = true;
        m_bridge.reset();
        if (!m_restarting)
            m_watcher->stop();
    }

private:
    void serve()
    {
        PJLinkBridge::Options o;
        o.listen = m_options.pjlinkListen;
        o.password = m_options.pjlinkPassword;
        o.noPassword = m_options.pjlinkNoPassword;
        m_bridge = std::make_unique<PJLinkBridge>(*m_watcher, o);
        QString why;
        if (!m_bridge->start(&why)) {
            m_bridge.reset();
            err() << "orvactl: " << why << "\n";
            m_failed = true;
        } else if (m_bridge->served() == 0) {
            err() << "orvactl: no projector watched has a pjlink= port; none answers PJLink\n";
        }
        err().flush();
    }

    void stopped()
    {
        writeMetrics();
        if (m_ending) {
            QCoreApplication::quit();
            return;
        }
        m_restarting = false;
        m_watcher.release()->deleteLater();
        begin(m_next);
    }

    void print(const Watcher::Change &change)
    {
        const Watcher::Watched &w = m_watcher->watched()[change.projector];
        const bool withReason = change.kind == QLatin1String("link") && !w.linkReason.isEmpty()
                                && change.to != QLatin1String("open");
        if (m_options.json) {
            QJsonObject o;
            o[QStringLiteral("time")] = LineLog::timeText(change.time);
            o[QStringLiteral("projector")] = w.projector.name;
            o[QStringLiteral("kind")] = change.kind;
            o[QStringLiteral("from")] =
                change.from.isEmpty() ? QJsonValue() : QJsonValue(change.from);
            o[QStringLiteral("to")] = change.to;
            if (withReason)
                o[QStringLiteral("reason")] = w.linkReason;
            out() << QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) << "\n";
        } else {
            out() << LineLog::timeText(change.time) << " " << w.projector.name << " "
                  << changeText(change);
            if (withReason)
                out() << " (" << w.linkReason << ")";
            out() << "\n";
        }
        out().flush();
    }

    void writeMetrics()
    {
        if (m_options.metricsPath.isEmpty() || !m_watcher)
            return;
        QString why;
        if (Metrics::write(m_options.metricsPath, Metrics::text(metricsOf(*m_watcher)), &why)) {
            m_metricsFailed = false;
        } else if (!m_metricsFailed) {
            // Once, until it works again; the watching goes on.
            m_metricsFailed = true;
            err() << "orvactl: cannot write the metrics file " << m_options.metricsPath << ": "
                  << why << "\n";
            err().flush();
        }
    }

    const WatchOptions m_options;
    std::unique_ptr<LineLog> m_log;
    std::unique_ptr<Watcher> m_watcher;
    std::unique_ptr<PJLinkBridge> m_bridge;
    bool m_failed = false;
    QList<VenueProjector> m_projectors;
    QList<VenueProjector> m_next;
    bool m_restarting = false;
    bool m_ending = false;
    bool m_metricsFailed = false;
};

} // namespace

int watch(const WatchOptions &options)
{
    if (::pipe(g_stopPipe) != 0)
        return 1;
    QSocketNotifier stopper(g_stopPipe[0], QSocketNotifier::Read);
    std::signal(SIGTERM, requestStop);
    std::signal(SIGINT, requestStop);

    Session session(options);
    QObject::connect(&stopper, &QSocketNotifier::activated, &session, [&]() {
        char byte;
        (void)!::read(g_stopPipe[0], &byte, 1);
        session.end();
    });

    // The settings file is usually replaced rather than written in place,
    // so its folder is watched too.
    const QString file = SettingsStore::fileName(QString::fromLatin1(SettingsStore::kApplication));
    QFileSystemWatcher settings;
    settings.addPath(QFileInfo(file).absolutePath());
    if (QFileInfo::exists(file))
        settings.addPath(file);
    // Other files of the folder change too: only a change of this one's
    // size, time or identity counts.
    const auto stamp = [&file]() {
        const QFileInfo info(file);
        return info.exists() ? QStringLiteral("%1 %2 %3")
                                   .arg(info.lastModified().toMSecsSinceEpoch())
                                   .arg(info.size())
                                   .arg(info.metadataChangeTime().toMSecsSinceEpoch())
                             : QString();
    };
    QString last = stamp();
    const auto changed = [&]() {
        if (QFileInfo::exists(file) && !settings.files().contains(file))
            settings.addPath(file);
        const QString now = stamp();
        if (now == last)
            return;
        last = now;
        session.reread();
    };
    QObject::connect(&settings, &QFileSystemWatcher::fileChanged, &session, changed);
    QObject::connect(&settings, &QFileSystemWatcher::directoryChanged, &session, changed);

    session.begin(chosen(options.names));
    if (session.failed())
        return 3; // as for a port that cannot be opened

    return QCoreApplication::exec();
}
