#pragma once

#include <QObject>
#include <QString>

class MSComm;

// One command and what came back for it.
struct Exchange {
    QString command;      // the command word as given
    QString sent;         // the framed text written, one character per byte
    QString received;     // everything read until the reply was complete
    QString sentText;     // readable forms
    QString receivedText; // the no-answer mark when nothing came
    QString status;       // decoded words, empty when no decoder applies
    // No reply: none was complete within the time-out, or the line was lost
    // during the exchange.
    bool timedOut = false;
};

// Sends commands over an open port one after the other, each framed with the
// address prefix, and waits for each reply: an ACK alone, or text up to a
// carriage return. A reply that is not complete when the time-out runs out
// counts as no answer, and so does one on a line that is lost before the
// exchange ends (on a network line, a moment after the reply is complete).
class Line : public QObject
{
    Q_OBJECT

public:
    Line(MSComm &port, QString addressPrefix, int timeoutMs);

    Exchange send(const QString &command);

    // Set when the port went away during a wait; nothing more can be sent.
    bool lost() const { return m_lost; }
    QString lostReason() const { return m_lostReason; }

    // True when |reply| is complete.
    static bool complete(const QString &reply);

private:
    MSComm &m_port;
    QString m_addressPrefix;
    int m_timeoutMs;
    bool m_lost = false;
    QString m_lostReason;
};
