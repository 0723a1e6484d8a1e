#pragma once

#include "projectors/venue.h"
#include "projectors/venueline.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <memory>
#include <vector>

// The same commands on several projectors of the venue at once: one
// VenueLine per line, all lines side by side in one event loop, the
// projectors that share a line one after the other on it.
class VenueRun : public QObject
{
    Q_OBJECT

public:
    struct Outcome {
        QList<VenueLine::Done> exchanges; // in command order
        QString failure;                  // why its port failed (a bad venue line, an open, a loss)
    };

    VenueRun(const QList<VenueProjector> &projectors, const QStringList &commands, int timeoutMs,
             QObject *parent = nullptr);
    ~VenueRun() override;

    // Every byte goes to |log| (none: nullptr); set before start().
    void setLog(LineLog *log) { m_log = log; }
    // Queues every exchange; finished() follows when all have ended.
    void start();
    // One outcome per projector, in the order they were given.
    const QList<Outcome> &outcomes() const { return m_outcomes; }

signals:
    void finished();

private:
    void check();

    const QList<VenueProjector> m_projectors;
    const QStringList m_commands;
    const int m_timeoutMs;
    std::vector<std::unique_ptr<VenueLine>> m_lines;
    QList<Outcome> m_outcomes;
    qsizetype m_pending = 0;
    LineLog *m_log = nullptr;
};
