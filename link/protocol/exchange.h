#pragma once

#include "protocol/render.h"

#include <QObject>
#include <QString>
#include <QStringView>
#include <QTimer>

#include <optional>

class LineLog;
class MSComm;

// One command and its reply on one port: the path every command goes out by
// and every reply comes in by, for the window and for orvactl alike.
//
// A start writes the framed command (the address prefix in front, the
// command with its carriage return) and empties the reply. Each receive
// event of the port adds what arrived to the reply, up to MaxReply
// characters; the rest of a flood is dropped. The reply is kept rendered as
// it grows and decoded on request.
//
// A reply is complete when it is an ACK alone or holds a carriage return.
// With a time-out the exchange ends by itself: when the reply is complete
// (on a network line once the line has stayed up SettleMs longer), when the
// time-out runs out, or when the line is lost. Without one (0) the owner
// ends it: the reply keeps growing until the next start or clearReply().
//
// Each exchange holds only its own port and state, so any number of them
// run side by side, one per line.
class Exchange : public QObject
{
    Q_OBJECT

public:
    enum class Outcome : quint8 {
        Pending,  // under way, or never started
        Answered, // a complete reply came
        NoAnswer, // none within the time-out, or the frame could not be written
        LineLost, // the line went away before the exchange ended
    };
    Q_ENUM(Outcome)

    // The reply keeps at most this many characters.
    static constexpr qsizetype MaxReply = 32767;
    // Shown for a reply that did not come.
    static constexpr QLatin1StringView NoAnswerMark{" X X X X "};
    // How long a network line must stay up after a complete reply: a server
    // that closes the connection right behind its text (a busy ser2net says
    // "Port already in use" and hangs up) has not answered.
    static constexpr int SettleMs = 100;

    // |timeoutMs| 0: the owner ends each exchange.
    explicit Exchange(MSComm &port, int timeoutMs = 0, QObject *parent = nullptr);

    // The text that goes out for |text|: the address prefix in front.
    static QString frame(const QString &prefix, const QString &text);
    // A command word as it is sent: with its carriage return.
    static QString command(const QString &word);
    // True when |reply| is complete: an ACK alone, or text up to a CR.
    static bool complete(QStringView reply);

    // Starts an exchange for the framed text |framed|. Whatever the port
    // still holds belongs to an earlier exchange and is dropped, and the
    // reply is emptied. True when |framed| went out and the exchange is
    // under way; false when the port refused it (closed, lost), and then
    // no signal follows.
    bool start(const QString &framed);
    // Empties the reply; what arrives next starts it afresh.
    void clearReply();
    // Every chunk sent and received from now on goes to |log| (none:
    // nullptr) under |name|, the projector's or the port's.
    void setLog(LineLog *log, const QString &name)
    {
        m_log = log;
        m_logName = name;
    }

    const QString &sent() const { return m_sent; }
    // Readable form of sent() and the legends it calls for.
    const QString &sentText() const { return m_sentText; }
    Render::Legends sentLegends() const { return m_sentLegends; }

    const QString &reply() const { return m_reply; }
    // Readable form of the reply; the no-answer mark when the exchange
    // ended with none.
    QString replyText() const;
    // The decoded status of the reply as an answer to |command| (the query
    // word and CR; see Decode::statusFor); |shown| is the status shown now.
    std::optional<QString> status(const QString &command, const QString &shown) const;
    // The decoded status of the reply that ended the exchange of the command
    // word |word|, whatever address it went to; none when no reply came or
    // the line went away.
    std::optional<QString> replyStatus(const QString &word) const;

    Outcome outcome() const { return m_outcome; }
    // Whether the line went away since it was last opened, and why.
    bool lost() const { return m_lost; }
    const QString &lostReason() const { return m_lostReason; }

public slots:
    // Receive handler of the port.
    void onComm();

signals:
    // A receive event added to the reply; |legends| are those its new
    // characters call for.
    void received(Render::Legends legends);
    // With a time-out only: the exchange ended with a complete reply.
    void completed();
    // With a time-out only: it ended without a complete reply in time.
    void timedOut();
    // The line went away while the exchange was under way (with a
    // time-out, that ends it).
    void lineLost(const QString &reason);

private:
    enum class State : quint8 { Collecting, Settling, Ended };
    void end(Outcome outcome);
    void handleLoss(const QString &reason);
    void logReceived(const QString &chunk);

    MSComm &m_port;
    const int m_timeoutMs;
    State m_state = State::Collecting;
    Outcome m_outcome = Outcome::Pending;
    QString m_sent;
    QString m_sentText;
    Render::Legends m_sentLegends = Render::NoLegend;
    QString m_reply;
    Render::Incremental m_renderedReply;
    bool m_lost = false;
    QString m_lostReason;
    QTimer m_timeout{this};
    QTimer m_settle{this};
    LineLog *m_log = nullptr;
    QString m_logName;
};
