#pragma once

#include "ports/mscomm.h"
#include "protocol/exchange.h"

#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>

class LineLog;
#include <optional>

// One line of the venue: a port and the exchanges queued for the projectors
// on it. The exchanges run one at a time, each complete before the next, so
// projectors daisy-chained on one line never answer into each other. The
// port is opened when work arrives and closed when the queue runs dry: the
// line is held only for its exchanges, and a line that another program
// holds is reported as in use, never taken away.
class VenueLine : public QObject
{
    Q_OBJECT

public:
    enum class Result : quint8 {
        Answered,   // a complete reply came
        NoAnswer,   // none within the time-out
        PortFailed, // the port could not be opened, or the line was lost
    };
    Q_ENUM(Result)

    struct Job {
        int projector = -1;  // the caller's index
        QString name;        // the projector's name, for the log
        QString prefix;      // the address prefix; empty for none
        QString command;     // the command word, without its carriage return
        bool person = false; // asked for by a person, not by a poll
        quint64 ticket = 0;  // the caller's mark for a job outside its own round; 0 for none
    };

    // One ended exchange, as the window would show it.
    struct Done {
        Job job;
        Result result = Result::PortFailed;
        QString sent; // the framed text written; empty when nothing went out
        QString sentText;
        QString reply; // everything read until the exchange ended
        QString replyText;
        std::optional<QString> status; // the window's decoded words
        QString failure;               // why, for PortFailed
        // For a port that did not open: why, as the port tells it (InUse:
        // another program holds the line).
        MSComm::OpenFailure openFailure = MSComm::OpenFailure::None;
    };

    VenueLine(const QString &device, const QString &settings, int timeoutMs,
              QObject *parent = nullptr);

    // The least time from the end of one exchange to the start of the next.
    void setGapMs(int ms) { m_gapMs = ms; }
    // Queues |job|; |urgent| puts it ahead of everything not yet started.
    void add(const Job &job, bool urgent = false);
    // Every byte and every open, close and loss goes to |log| (none:
    // nullptr), under the name of the projector whose exchange it serves.
    void setLog(LineLog *log) { m_log = log; }
    // Drops the exchanges not yet started; the one under way completes.
    void clear() { m_queue.clear(); }
    bool busy() const { return m_running || !m_queue.empty(); }
    const QString &device() const { return m_device; }

signals:
    void done(const VenueLine::Done &done);
    // The queue ran dry and the port is closed.
    void idle();

private:
    void next();
    void close();
    void opened();
    void openFailed();
    void ended(Result result);
    void failAll(const QString &reason, MSComm::OpenFailure failure = MSComm::OpenFailure::None);

    const QString m_device;
    MSComm m_port;
    Exchange m_exchange;
    std::deque<Job> m_queue;
    Job m_current;
    bool m_running = false; // an exchange or an open is under way
    bool m_opening = false;
    int m_gapMs = 0;
    QDeadlineTimer m_nextAllowed;
    QTimer m_wait;
    LineLog *m_log = nullptr;
};
