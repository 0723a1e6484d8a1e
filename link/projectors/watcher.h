#pragma once

#include "projectors/venue.h"
#include "projectors/venueline.h"
#include "protocol/state.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Reconnector;

// Keeps watching the projectors of a venue: asks each one's state once per
// interval, the projectors spread over the interval, and reports what
// changed. It is gentle with the lines: one exchange at a time on each, a
// pause between two, the line held only for its exchanges. A projector that
// is warming up or cooling down is asked its power state only; one that
// missed three polls in a row is silent and asked only that until it answers
// again. A line that is lost or cannot be opened is tried again with backoff
// (and at once when its USB adapter comes back); a line that another program
// holds is in use and tried again at the next interval.
class Watcher : public QObject
{
    Q_OBJECT

public:
    struct Options {
        int intervalMs = 60000;
        int timeoutMs = 1000; // for each reply
        int gapMs = 200;      // between two exchanges on one line
        std::optional<int> lampWarnHours;
    };

    // The link as the watcher last found it.
    enum class Link : quint8 { Unknown, Open, Lost, InUse };
    static QString linkName(Link link);

    // What the watcher knows of one projector.
    struct Watched {
        VenueProjector projector;
        ProjectorState state;
        Link link = Link::Unknown;
        QString linkReason; // why it is lost or in use
        bool silent = false;
        int missed = 0;            // polls in a row without any answer
        bool answeredLast = false; // its last poll brought an answer
        bool waiting = false;      // its line waits to be tried again
        QDateTime lastAnswer;      // invalid until one came
        quint64 answered = 0;      // exchanges by result
        quint64 noAnswer = 0;
        quint64 portFailed = 0;
    };

    // One change: kind "power", "fault", "input", "link", "silent" or
    // "lamp"; |from| is empty when nothing was known before.
    struct Change {
        QDateTime time;
        int projector = -1;
        QString kind;
        QString from;
        QString to;
    };

    // Only usable projectors are watched.
    Watcher(const QList<VenueProjector> &projectors, const Options &options,
            QObject *parent = nullptr);
    ~Watcher() override;

    // Every byte, open, close, loss and reconnection goes to |log| (none:
    // nullptr); set before start().
    void setLog(LineLog *log);
    void start();
    // Ends watching: nothing new is started, the exchanges under way
    // complete, the lines close, then stopped() follows.
    void stop();

    const std::vector<Watched> &watched() const { return m_watched; }

    // Sends |command| (a command word) to projector |index| on its line,
    // ahead of the polls not yet started; its power state is asked again
    // right after it.
    void send(int index, const QString &command);
    // Lends the line of projector |index| to someone else (|lent|): no poll
    // and no reconnection try starts on it until it is given back, when its
    // projectors are asked at once. lineBusy() tells whether an exchange on
    // it is still under way or queued.
    void lend(int index, bool lent);
    // Whether the line of projector |index| is lent.
    bool lent(int index) const;
    bool lineBusy(int index) const;
    // For programs that share the watcher's lines (the PJLink bridge):
    // sends |command| to projector |index| between the polls, ahead of them
    // when |urgent|, and hands the ended exchange to |done|. What the watcher
    // knows of the projector is left to its own polls.
    using AskDone = std::function<void(const VenueLine::Done &)>;
    void ask(int index, const QString &command, bool urgent, const AskDone &done);
    int intervalMs() const { return m_options.intervalMs; }

signals:
    void changed(const Watcher::Change &change);
    // Every projector has had its turn in the interval just ended.
    void roundEnded();
    void stopped();
    // One exchange with projector |index| ended (after the state it brought
    // is taken): what went out and what came back, as the window shows it.
    void exchanged(int index, const VenueLine::Done &done);

private:
    struct Line;
    // Asks projector |index| its state; only its power when |powerOnly|.
    void poll(int index, bool powerOnly = false);
    void handle(Line &line, const VenueLine::Done &done);
    void pollEnded(int index);
    void lineFailed(Line &line, const VenueLine::Done &done);
    void report(int index, const QString &kind, const QString &from, const QString &to);
    void checkStopped();

    const Options m_options;
    std::vector<Watched> m_watched;
    std::vector<std::unique_ptr<Line>> m_lines;
    std::vector<Line *> m_lineOf;         // by projector
    std::vector<int> m_pendingOf;         // exchanges of the poll under way, by projector
    std::vector<ProjectorState> m_polled; // what the poll under way brought
    std::vector<bool> m_answeredIn;       // whether the poll under way brought any answer
    std::vector<bool> m_powerAfterPoll;   // a command came during it: power is asked after it
    std::vector<std::unique_ptr<QTimer>> m_timers;
    QTimer m_round;
    bool m_stopping = false;
    LineLog *m_log = nullptr;
    // The exchanges asked for through ask(), by ticket.
    QHash<quint64, AskDone> m_asks;
    quint64 m_lastTicket = 0;
};
