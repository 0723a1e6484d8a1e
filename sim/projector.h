#pragma once

#include <QByteArray>
#include <QString>

// A simulated projector: takes the bytes a controller writes and returns the
// bytes a projector would answer. Commands end with a carriage return and
// may carry an address ("A001".."A004", or "AFFF" for all projectors).
class SimProjector
{
public:
    explicit SimProjector(QString id = QStringLiteral("001"));

    // Feeds received bytes; returns what the projector answers to every
    // command they complete.
    QByteArray feed(const QByteArray &bytes);
    // Another controller takes the line: a command the previous one left
    // unfinished is dropped. The projector's own state stays.
    void newClient() { m_pending.clear(); }

    // The answer to one command (without its carriage return).
    QByteArray answer(const QByteArray &frame);

    bool powerOn() const { return m_powerOn; }
    int input() const { return m_input; }

private:
    QByteArray handle(const QByteArray &command);

    QString m_id;
    QByteArray m_pending;
    bool m_powerOn = false;
    int m_input = 1;
    int m_lampHours = 1234;
    bool m_lampFull = true;
};
